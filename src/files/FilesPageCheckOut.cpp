// The Files tab's check-out and launch: the window `Form6`, the walk with the status window,
// and opening one stored file on the desktop.
#include <QTreeWidget>

#include "core/FailureReport.h"
#include "files/CheckOut.h"
#include "files/CheckOutWindow.h"
#include "files/FilesPage.h"
#include "files/WorkStatus.h"
#include "widgets/Controls.h"

namespace ks {

void FilesPage::useUrlOpener(UrlOpener open) {
    open_ = std::move(open);
}

void FilesPage::openCheckOut(CheckOutKind kind, const QList<qint64>& selected, int rows) {
    if (rows == 0) {
        services_.dialogs.message(MessageIcon::Information, services_.state.AppTitle,
                                  noItemsToExportMessage(kind));
        return;
    }
    if (form6_ == nullptr) {
        form6_ = new CheckOutWindow(services_, window());
        connect(form6_, &CheckOutWindow::startRequested, this, &FilesPage::runCheckOut);
    }
    form6_->openFor(kind, selected);
}

void FilesPage::runCheckOut(CheckOutKind kind, bool all, const QList<qint64>& selection,
                            const QString& destination) {
    if (busy_) {
        return;
    }
    CheckOutReport report;
    whileBusy([&] {
        report = CheckOutItems(services_.database, *archiver_, status_,
                               {kind, all, selection, destination, services_.state.CurrentAccount,
                                services_.state.TempFolder});
    });
    // The window goes before the outcome is told.
    if (form6_ != nullptr) {
        form6_->dismiss();
    }
    reportCheckOut(kind, destination, report);
}

void FilesPage::reportCheckOut(CheckOutKind kind, const QString& destination,
                               const CheckOutReport& report) {
    const QString& title = services_.state.AppTitle;
    if (report.destinationNotWritable) {
        services_.dialogs.message(MessageIcon::Exclamation, title,
                                  destinationNotWritableMessage(destination));
    }
    for (const NotCheckedOut& item : report.failed) {
        // A name is told on one line, whatever characters it holds.
        const QString name = oneLineText(item.name);
        const QString message = kind == CheckOutKind::Files ? extractionFailedMessage(name)
                                                            : pictureNotWrittenMessage(name);
        services_.dialogs.message(MessageIcon::Exclamation, title,
                                  withReason(message, item.reason));
    }
    if (report.failure) {
        reportDatabaseFailure(services_, checkOutFailedText(), *report.failure);
    }
    if (!report.written.isEmpty()) {
        services_.dialogs.message(MessageIcon::Information, title,
                                  checkedOutMessage(kind, report.written.size(), destination));
    }
}

void FilesPage::launchSelection(bool warnOfMore) {
    const QList<QTreeWidgetItem*> rows = selectedRows();
    const QString& title = services_.state.AppTitle;
    if (rows.isEmpty()) {
        services_.dialogs.message(MessageIcon::Information, title, selectFileToLaunchMessage());
        return;
    }
    if (warnOfMore && rows.size() > 1) {
        services_.dialogs.message(MessageIcon::Information, title, oneFileAtATimeMessage(title));
    }
    if (std::optional<qint64> counter = rowCounter(rows.first())) {
        LaunchStoredFile(*counter);
    }
}

void FilesPage::LaunchStoredFile(qint64 counter) {
    if (busy_) {
        return;
    }
    LaunchResult result;
    const ProgramState& state = services_.state;
    whileBusy([&] {
        result = ks::LaunchStoredFile(
            services_.database, *archiver_, status_,
            {state.CurrentAccount, state.TempFolder, state.AppTitle, counter}, open_);
    });
    if (result.outcome == LaunchOutcome::CheckOutFailed && !result.fileName.isNull()) {
        services_.dialogs.message(
            MessageIcon::Exclamation, state.AppTitle,
            withReason(extractionFailedMessage(oneLineText(result.fileName)), result.error));
    } else if (result.outcome == LaunchOutcome::NotOpened) {
        services_.dialogs.message(MessageIcon::Exclamation, state.AppTitle,
                                  launchNotOpenedMessage(oneLineText(result.fileName)));
    }
}

}  // namespace ks
