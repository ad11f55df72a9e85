#pragma once

#include <QAbstractListModel>
#include <QList>

#include "vault/RecordListing.h"

namespace ks {

// The lines of the record list as the view shows them: each line's short name, with its
// Counter under Qt::UserRole. The lines are taken whole (shared, not copied) at each fill; a
// protected account's short names open as the view asks for them.
class RecordListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    void setLines(const ListedRecords& lines);
    const RecordLine& line(int row) const { return lines_.lines.at(row); }
    QString shortName(int row) const { return lines_.shortName(line(row)); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    ListedRecords lines_;
};

}  // namespace ks
