#include "vault/RecordListModel.h"

namespace ks {

void RecordListModel::setLines(const ListedRecords& lines) {
    beginResetModel();
    lines_ = lines;
    endResetModel();
}

int RecordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lines_.lines.size());
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= lines_.lines.size()) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            return shortName(index.row());
        case Qt::UserRole:
            return line(index.row()).counter;
        default:
            return {};
    }
}

}  // namespace ks
