#include "journal/JournalFoundModel.h"

#include "journal/JournalDate.h"
#include "widgets/Controls.h"

namespace ks {

namespace {

// Characters of an entry shown before the match: the list is narrow, and the match must show.
constexpr qsizetype kLead = 12;

}  // namespace

void JournalFoundModel::setHits(const QList<JournalHit>& hits) {
    beginResetModel();
    hits_ = hits;
    searched_ = true;
    endResetModel();
}

void JournalFoundModel::clear() {
    beginResetModel();
    hits_.clear();
    searched_ = false;
    endResetModel();
}

int JournalFoundModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) {
        return 0;
    }
    return hits_.isEmpty() ? (searched_ ? 1 : 0) : static_cast<int>(hits_.size());
}

QVariant JournalFoundModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    if (hits_.isEmpty()) {
        return role == Qt::DisplayRole ? QVariant(tr("No entry contains that text.")) : QVariant();
    }
    const JournalHit& hit = hits_.at(index.row());
    switch (role) {
        case Qt::DisplayRole:
            return journalDateText(hit.day) + QStringLiteral("  ") + snippetNearMatch(hit, kLead);
        case Qt::ToolTipRole:
            return plainToolTip(hit.snippet);
        case kDayRole:
            return hit.day;
        default:
            return {};
    }
}

Qt::ItemFlags JournalFoundModel::flags(const QModelIndex& index) const {
    return hits_.isEmpty() ? Qt::NoItemFlags : QAbstractListModel::flags(index);
}

}  // namespace ks
