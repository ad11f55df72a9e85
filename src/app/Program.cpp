#include "app/Program.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QScreen>

#include "app/CompactPrompt.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/StatusWindow.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "storage/DataFolder.h"
#include "storage/SettingsFile.h"
#include "storage/TempFolder.h"

namespace ks {

ProgramOptions ProgramOptions::forDesktop() {
    ProgramOptions options;
    options.appFolder = QCoreApplication::applicationDirPath();
    options.endProcess = [](int code) { QCoreApplication::exit(code); };
    options.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    return options;
}

Program::Program(Dialogs& dialogs, ProgramOptions options)
    : dialogs_(dialogs), options_(std::move(options)) {
}

Program::~Program() {
    setCipherDialogs(nullptr, QString());
    main_.reset();
    prompt_.reset();
    status_.reset();
    login_.reset();
}

void Program::start() {
    // Loading of the login window.
    state_.AppFolder = withTrailingSlash(options_.appFolder);
    state_.Quitting = false;
    const DataFolderChoice choice = chooseDataFolder(options_.environment, state_.AppTitle);
    state_.DataFolder = choice.folder;
    for (qsizetype i = 0; i < choice.createAtStart.size(); ++i) {
        const QString& folder = choice.createAtStart.at(i);
        // The outer folder is shared by the accounts of the machine, the inner one is private.
        i + 1 < choice.createAtStart.size() ? ensureSharedFolder(folder)
                                            : ensurePrivateFolder(folder);
    }
    state_.FirstActivation = true;
    state_.TempFolder = preparePrivateTempFolder(state_.AppTitle);
    setCipherDialogs(&dialogs_, state_.AppTitle);

    login_ = std::make_unique<LoginWindow>(*this);
    showLoginWindow();
}

DatabaseAccess& Program::database() {
    Q_ASSERT(database_);
    return *database_;
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
    writeSettings(state_.DataFolder, state_.LoginUserName, state_.CompactPolicy);
    login_->hide();
    if (!main_) {
        main_ = std::make_unique<MainWindow>(*this, *services_);
    }
    main_->showForLogin();
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
