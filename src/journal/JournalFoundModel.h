#pragma once

#include <QAbstractListModel>
#include <QList>

#include "journal/JournalSearch.h"

namespace ks {

// The days a journal search found, as the list shows them: each day's date text and the words
// around its match, the day itself under Qt::UserRole and the whole snippet as the tip. A search
// that found nothing shows one line that says so and cannot be chosen. The texts are made for
// the rows painted, not for every day found.
class JournalFoundModel : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int kDayRole = Qt::UserRole;

    using QAbstractListModel::QAbstractListModel;

    // The days of a search, newest first; none shows the line that says so.
    void setHits(const QList<JournalHit>& hits);
    // No search: no line at all.
    void clear();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QList<JournalHit> hits_;
    bool searched_ = false;
};

}  // namespace ks
