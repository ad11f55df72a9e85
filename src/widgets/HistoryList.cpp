#include "widgets/HistoryList.h"

#include <QDateTime>
#include <QHeaderView>
#include <QTreeWidget>

namespace ks {

QTreeWidget* makeHistoryList(QWidget* parent, const QStringList& headers) {
    auto* list = new QTreeWidget(parent);
    list->setObjectName(QStringLiteral("lstHistory"));
    list->setHeaderLabels(headers);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setTextElideMode(Qt::ElideRight);
    list->header()->setStretchLastSection(true);
    list->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    return list;
}

QString historyTimeText(qint64 utcMilliseconds) {
    return QDateTime::fromMSecsSinceEpoch(utcMilliseconds)
        .toLocalTime()
        .toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

}  // namespace ks
