#include "vault/RecordListModel.h"

namespace ks {

void RecordListModel::setLines(const QList<RecordLine>& lines) {
    beginResetModel();
    lines_ = lines;
    endResetModel();
}

int RecordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= lines_.size()) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            return lines_.at(index.row()).shortName;
        case Qt::UserRole:
            return lines_.at(index.row()).counter;
        default:
            return {};
    }
}

}  // namespace ks
