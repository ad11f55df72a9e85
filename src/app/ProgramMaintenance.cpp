#include "app/ProgramMaintenance.h"

#include <QCoreApplication>

#include "app/MainWindow.h"
#include "app/Program.h"
#include "app/StatusWindow.h"
#include "options/OptionsMessages.h"

namespace ks {

ProgramMaintenance::ProgramMaintenance(Program& program, QObject* parent)
    : QObject(parent), program_(program) {
}

void ProgramMaintenance::compactBeforeExport() {
    program_.compactOnDemand();
}

void ProgramMaintenance::beginBusy() {
    if (MainWindow* main = program_.mainWindow()) {
        main->setEnabled(false);
    }
    program_.statusWindow().showStatus(QString());
}

void ProgramMaintenance::beginBackgroundWork(const QString& status) {
    StatusWindow& form11 = program_.statusWindow();
    if (MainWindow* main = program_.mainWindow()) {
        main->setEnabled(false);
        form11.move(main->geometry().center() - form11.rect().center());
    }
    form11.setBusy(true);
    form11.showStatus(status);
}

void ProgramMaintenance::accountChanged() {
    if (MainWindow* main = program_.mainWindow()) {
        main->readAccountAgain();
    }
}

void ProgramMaintenance::rowsChanged() {
    if (MainWindow* main = program_.mainWindow()) {
        main->showChangesFromElsewhere();
    }
}

void ProgramMaintenance::syncSettingsChanged() {
    program_.syncSettingsChanged();
}

void ProgramMaintenance::holdSync() {
    program_.holdSync();
}

void ProgramMaintenance::resumeSync() {
    program_.resumeSync();
}

void ProgramMaintenance::endBusy() {
    program_.statusWindow().setBusy(false);
    program_.statusWindow().hide();
    if (MainWindow* main = program_.mainWindow()) {
        main->setEnabled(true);
        main->raise();
        main->activateWindow();
    }
    QCoreApplication::processEvents();
}

void ProgramMaintenance::restartProgram() {
    if (MainWindow* main = program_.mainWindow()) {
        main->hide();
    }
    if (program_.hasDatabase()) {
        program_.database().CloseAllDatabaseObjects();
    }
    // The new copy starts at its login window once this one has let the data folder go; it
    // must not find this copy answering in the meantime.
    program_.handOver();
    const auto& start = program_.options().startProgram;
    if (!start || !start(QCoreApplication::applicationFilePath(), {})) {
        program_.dialogs().message(MessageIcon::Critical, program_.state().AppTitle,
                                   restartFailedMessage(program_.state().AppTitle));
    }
    program_.UnloadAllForms();
}

}  // namespace ks
