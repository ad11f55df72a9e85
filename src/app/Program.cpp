#include "app/Program.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QScreen>
#include <QTimer>

#include "app/CompactPrompt.h"
#include "app/DatabasePreparation.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/SessionLock.h"
#include "app/SingleInstance.h"
#include "app/StatusWindow.h"
#include "app/SyncPasses.h"
#include "core/BackupKeeping.h"
#include "core/CommonTexts.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "storage/DataFolder.h"
#include "storage/FileServices.h"
#include "storage/ProgramPaths.h"
#include "storage/SettingsFile.h"
#include "storage/TempFolder.h"
#include "storage/WorkFiles.h"

namespace ks {

ProgramOptions ProgramOptions::forDesktop() {
    ProgramOptions options;
    options.appFolder = programFilesFolder(QCoreApplication::applicationDirPath());
    options.endProcess = [](int code) { QCoreApplication::exit(code); };
    options.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    options.startProgram = &FileServices::StartDetached;
    return options;
}

Program::Program(Dialogs& dialogs, ProgramOptions options)
    : dialogs_(dialogs), options_(std::move(options)) {
}

Program::~Program() {
    setCipherDialogs(nullptr, QString());
    if (database_) {
        database_->setCommitListener(nullptr);
    }
    sync_.reset();
    main_.reset();
    prompt_.reset();
    status_.reset();
    login_.reset();
}

void Program::start() {
    // Loading of the login window.
    state_.AppFolder = withTrailingSlash(options_.appFolder);
    state_.Quitting = false;
    if (!prepareDataFolder()) {
        return;
    }
    const QString socketPath = SingleInstance::socketPathIn(state_.DataFolder);
    if (SingleInstance::askToShow(socketPath, options_.answerWaitMs)) {
        // The copy running on this data folder has brought its window to the front.
        ended_ = true;
        if (options_.endProcess) {
            options_.endProcess(0);
        }
        return;
    }
    if (!lockDataFolder()) {
        refuseStart(state_.AppTitle + QStringLiteral(" is already running."));
        return;
    }
    state_.FirstActivation = true;
    // What a run killed midway left (plain copies of stored files, partial copies of the
    // database) goes now; only while this copy holds the data folder, so never another's.
    const bool ownsDataFolder = lock_ != nullptr;
    state_.TempFolder = prepareWorkFolder(preparePrivateTempFolder(state_.AppTitle),
                                          state_.DataFolder, ownsDataFolder);
    if (ownsDataFolder) {
        removeStaleWorkFiles(state_.DataFolder);
    }
    setCipherDialogs(&dialogs_, state_.AppTitle);
    // Other starts are answered from the event loop, so once the login window is up.
    instance_ = std::make_unique<SingleInstance>(socketPath);
    instance_->showWindow = [this] { return showForAnotherStart(); };
    instance_->listen();

    login_ = std::make_unique<LoginWindow>(*this);
    showLoginWindow();
    QMetaObject::invokeMethod(this, &Program::prepareDatabaseAhead, Qt::QueuedConnection);
}

void Program::prepareDatabaseAhead() {
    const QString path = databasePathIn(state_.DataFolder);
    if (ended_ || state_.LoggedIn || !FileServices::FileExists(path)) {
        return;
    }
    useDatabase(path);
    // A database that cannot be opened now is told about by the login, as always.
    database_->open();
    // Other machines' changes come in while the login window waits.
    sync().applyNow();
    // A step of its own, so that the login window handles what came meanwhile.
    QMetaObject::invokeMethod(this, &Program::buildMainWindowAhead, Qt::QueuedConnection);
}

void Program::buildMainWindowAhead() {
    // The main window holds nobody's data until a login shows it.
    if (!ended_ && !state_.LoggedIn && !main_ && services_) {
        main_ = std::make_unique<MainWindow>(*this, *services_);
    }
}

bool Program::prepareDataFolder() {
    const DataFolderChoice choice = chooseDataFolder(options_.environment, state_.AppTitle);
    state_.DataFolder = choice.folder;
    for (qsizetype i = 0; i < choice.createAtStart.size(); ++i) {
        const QString& folder = choice.createAtStart.at(i);
        // The outer folder is shared by the accounts of the machine, the inner one is private.
        i + 1 < choice.createAtStart.size() ? ensureSharedFolder(folder)
                                            : ensurePrivateFolder(folder);
    }
    // The folder is made now (privately) so that it can hold the lock; a folder that cannot be
    // made holds no data to guard, and the first login attempt says why.
    ensurePrivateFolder(state_.DataFolder);
    // Nothing is written to, or read from, a folder that another account controls.
    if (const FsResult trusted = checkDataFolder(state_.DataFolder, true); !trusted) {
        refuseStart(untrustedDataFolderMessage(state_.AppTitle, state_.DataFolder, trusted.error));
        return false;
    }
    return true;
}

bool Program::lockDataFolder() {
    lock_ = std::make_unique<DataFolderLock>(state_.DataFolder);
    switch (lock_->tryLock(options_.lockWaitMs)) {
        case DataFolderLock::Outcome::Taken:
            return true;
        case DataFolderLock::Outcome::HeldByAnother:
            lock_.reset();
            return false;
        case DataFolderLock::Outcome::Unavailable:
            break;
    }
    lock_.reset();
    return true;  // a folder where no lock can be had (none made yet, no locks) is used as is
}

void Program::refuseStart(const QString& why) {
    dialogs_.message(MessageIcon::Exclamation, state_.AppTitle, why);
    ended_ = true;
    exitCode_ = 1;
    if (options_.endProcess) {
        options_.endProcess(1);
    }
}

bool Program::showForAnotherStart() {
    if (ended_ || state_.Quitting) {
        return false;
    }
    // The window in front: a modal one, else the main or login window, else another of ours
    // (the record editor while the main window is hidden).
    QWidget* window = QApplication::activeModalWidget();
    for (QWidget* candidate :
         {static_cast<QWidget*>(main_.get()), static_cast<QWidget*>(login_.get())}) {
        if (window == nullptr && candidate != nullptr && candidate->isVisible()) {
            window = candidate;
        }
    }
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* candidate : windows) {
        if (window == nullptr && candidate->isVisible() && candidate->isWindow() &&
            !candidate->windowFlags().testFlag(Qt::Popup)) {
            window = candidate;
        }
    }
    if (window == nullptr) {
        return false;
    }
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
    return true;
}

void Program::handOver() {
    if (instance_) {
        instance_->close();
    }
}

bool Program::saveSettings(const QString& line1, int policy) {
    return settingsSaved(writeSettings(state_.DataFolder, line1, policy));
}

bool Program::settingsSaved(const FsResult& written) {
    if (!written) {
        dialogs_.message(MessageIcon::Exclamation, state_.AppTitle,
                         settingsNotSavedMessage(written.error));
    }
    return written.ok;
}

bool Program::savePolicy(int policy) {
    return saveSettings(readSettings(state_.DataFolder).line1, policy);
}

DatabaseAccess& Program::database() {
    Q_ASSERT(database_);
    return *database_;
}

StatusWindow& Program::statusWindow() {
    if (!status_) {
        status_ = std::make_unique<StatusWindow>(state_);
    }
    return *status_;
}

void Program::useDatabase(const QString& path) {
    // The data folder, and so the database's path, is fixed for the whole run.
    if (!database_) {
        database_ = std::make_unique<DatabaseAccess>(path, PassPhrase());
        services_ =
            std::make_unique<Services>(Services{state_, dialogs_, *database_, *options_.clock});
    }
}

void Program::showLoginWindow() {
    if (!login_->isVisible()) {
        if (const QScreen* screen = QGuiApplication::primaryScreen(); screen != nullptr) {
            login_->move(screen->availableGeometry().center() - login_->rect().center());
        }
    }
    login_->show();
    login_->raise();
    login_->activateWindow();
    login_->activate();
}

void Program::loginSucceeded() {
    state_.LoggedIn = true;
    // A name that could not be remembered is told, but does not stop the login.
    saveSettings(state_.LoginUserName, state_.CompactPolicy);
    login_->hide();
    if (!main_) {
        main_ = std::make_unique<MainWindow>(*this, *services_);
    }
    main_->showForLogin();
    startSessionLock();
    sync().applyNow();
    // The day's copy waits until the window has been shown and settled: its first steps would
    // otherwise share the machine with the login's own reading and painting.
    QTimer::singleShot(kDailyBackupDelayMs, this, [this] {
        if (state_.LoggedIn) {
            startDailyBackup();
        }
    });
}

void Program::startDailyBackup() {
    if (!options_.dailyBackups) {
        return;
    }
    if (!daily_) {
        daily_ = std::make_unique<DailyBackup>(state_.DataFolder, state_.DatabasePath);
        connect(daily_.get(), &DailyBackup::failed, this, [this](const QString& why) {
            dialogs().message(MessageIcon::Exclamation, state_.AppTitle,
                              dailyBackupFailedMessage(why));
        });
    }
    daily_->startIfDue(services_->clock.now());
}

void Program::showHelp() {
    const QString page = state_.AppFolder + QStringLiteral("help/index.html");
    if (options_.openUrl && options_.openUrl(QUrl::fromLocalFile(page))) {
        return;
    }
    // No browser, or the desktop refused: the user learns where the page is.
    dialogs().message(MessageIcon::Exclamation, state_.AppTitle,
                      QStringLiteral("The help page could not be opened: the desktop has no "
                                     "program to show it.\r\rThe page is %1")
                          .arg(QDir::toNativeSeparators(page)));
}

}  // namespace ks
