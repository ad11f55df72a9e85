#include "widgets/HistoryList.h"

#include <QDateTime>
#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "widgets/Captions.h"
#include "widgets/Controls.h"

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

void layOutHistoryWindow(QDialog* window, QTreeWidget* list, QWidget* shown, int shownStretch,
                         QPushButton* restore, QWidget* extra) {
    auto* cmdClose = makeButton(window, QStringLiteral("cmdClose"), closeCaption());
    QObject::connect(cmdClose, &QPushButton::clicked, window, &QDialog::reject);
    auto* lists = new QHBoxLayout;
    lists->addWidget(list, 1);
    lists->addWidget(shown, shownStretch);
    auto* buttons = new QHBoxLayout;
    if (extra != nullptr) {
        buttons->addWidget(extra);
    }
    buttons->addStretch();
    buttons->addWidget(restore);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(window);
    layout->addLayout(lists, 1);
    layout->addLayout(buttons);
}

QString historyTimeText(qint64 utcMilliseconds) {
    return QDateTime::fromMSecsSinceEpoch(utcMilliseconds)
        .toLocalTime()
        .toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

}  // namespace ks
