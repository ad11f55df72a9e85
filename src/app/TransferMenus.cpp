#include "app/TransferMenus.h"

#include <QMainWindow>
#include <QMenu>

#include "core/Services.h"
#include "journal/JournalExportWindow.h"
#include "vault/RecordTransfer.h"
#include "vault/VaultPage.h"

namespace ks {

namespace {

// Adds an item at the end of the menu `menu`, after a separator when it starts a group.
QAction* addItem(QMainWindow& window, const char* menu, const char* name, const QString& caption,
                 bool startsGroup = false) {
    QMenu* target = window.findChild<QMenu*>(QString::fromLatin1(menu));
    Q_ASSERT(target != nullptr);
    if (startsGroup) {
        target->addSeparator();
    }
    QAction* action = target->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

}  // namespace

void addTransferMenuItems(QMainWindow& window, Services& services, VaultPage& vault) {
    auto* records = new RecordTransfer(services, &window);
    QObject::connect(addItem(window, "mnuPasswordVault", "mnuImportRecords",
                             QStringLiteral("&Import Records..."), true),
                     &QAction::triggered, records, &RecordTransfer::importRecords);
    QObject::connect(addItem(window, "mnuPasswordVault", "mnuExportRecords",
                             QStringLiteral("E&xport Records...")),
                     &QAction::triggered, records, &RecordTransfer::exportRecords);
    QObject::connect(records, &RecordTransfer::recordsImported, &vault,
                     &VaultPage::FillCategoryLists);
    auto* journalExport = new JournalExportWindow(services, &window);
    QObject::connect(addItem(window, "mnuJournal", "mnuExportJournal",
                             QStringLiteral("E&xport Journal..."), true),
                     &QAction::triggered, journalExport,
                     [journalExport, &services] { journalExport->open(services.clock.today()); });
}

}  // namespace ks
