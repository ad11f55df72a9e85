#include "app/MainWindow.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/AboutWindow.h"
#include "app/Program.h"
#include "app/ProgramMaintenance.h"
#include "app/StatusWindow.h"
#include "app/TransferMenus.h"
#include "app/WindowMemory.h"
#include "files/FilesPage.h"
#include "files/WorkStatus.h"
#include "images/ImageViewer.h"
#include "images/ImagesPage.h"
#include "journal/JournalPage.h"
#include "options/OptionsPage.h"
#include "storage/ProgramPaths.h"
#include "vault/VaultPage.h"
#include "widgets/Captions.h"
#include "widgets/Icons.h"

namespace ks {

namespace {

enum Tab { kVaultTab = 0, kJournalTab = 1, kImagesTab = 2, kFilesTab = 3, kOptionsTab = 4 };

// Room for one picture button with the panel's margins.
constexpr int kPanelWidth = 104;

// A menu item that switches to a tab and presses one of its buttons.
struct TabMenuItem {
    const char* name;
    QString caption;
    int tab;
    const char* button;
};
struct TabMenu {
    const char* name;
    QString caption;
    QList<TabMenuItem> items;
};

// The menus that repeat the buttons of the tabs, in menu-bar order.
QList<TabMenu> tabMenus() {
    // The Images and Files menus offer items of the same captions.
    const QString checkIn = QStringLiteral("&Check In");
    const QString checkOut = QStringLiteral("Check &Out");
    const QString remove = QStringLiteral("&Delete");
    return {
        {"mnuPasswordVault",
         QStringLiteral("&Password Vault"),
         {{"mnuNewEntry", QStringLiteral("&New Entry"), kVaultTab, "cmdLoginsNew"},
          {"mnuEditEntry", QStringLiteral("&Edit Entry"), kVaultTab, "cmdLoginsEdit"},
          {"mnuDeleteEntry", QStringLiteral("&Delete Entry"), kVaultTab, "cmdLoginsDelete"}}},
        {"mnuJournal",
         QStringLiteral("&Journal"),
         {{"mnuSave", QStringLiteral("&Save"), kJournalTab, "cmdJournalSave"}}},
        {"mnuImages",
         QStringLiteral("&Images"),
         {{"mnuCheckIn", checkIn, kImagesTab, "cmdIMGNew"},
          {"mnuViewImage", QStringLiteral("&View Image"), kImagesTab, "cmdIMGView"},
          {"mnuCheckOut", checkOut, kImagesTab, "cmdIMGCheckOut"},
          {"mnuDelete", remove, kImagesTab, "cmdIMGDelete"}}},
        {"mnuFiles",
         QStringLiteral("&Files"),
         {{"mnuFilesCheckIn", checkIn, kFilesTab, "cmdFileNew"},
          {"mnuOpenFile", QStringLiteral("&Launch"), kFilesTab, "cmdOpenFile"},
          {"mnuFilesCheckOut", checkOut, kFilesTab, "cmdFileCheckOut"},
          {"mnuFilesDelete", remove, kFilesTab, "cmdFileDelete"}}},
    };
}

// The long steps of a tab: the main window disabled, `Form11` up with its busy bar.
class StatusWindowWork final : public WorkStatus {
public:
    StatusWindowWork(QWidget& mainWindow, Program& program)
        : mainWindow_(mainWindow), program_(program) {}
    void begin(const QString& status) override {
        mainWindow_.setEnabled(false);
        StatusWindow& form11 = program_.statusWindow();
        form11.move(mainWindow_.geometry().center() - form11.rect().center());
        form11.setBusy(true);
        form11.showStatus(status);
    }
    void showStatus(const QString& status) override { program_.statusWindow().showStatus(status); }
    void end() override {
        program_.statusWindow().setBusy(false);
        program_.statusWindow().hide();
        mainWindow_.setEnabled(true);
    }

private:
    QWidget& mainWindow_;
    Program& program_;
};

}  // namespace

MainWindow::MainWindow(Program& program, Services& services)
    : program_(program),
      services_(services),
      workStatus_(std::make_unique<StatusWindowWork>(*this, program)),
      memory_(std::make_unique<WindowMemory>(windowSettingsPath(program.options().environment))) {
    setObjectName(QStringLiteral("Form1"));
    setWindowIcon(appIcon());

    imgMainBackDrop_ = new QLabel(this);
    imgMainBackDrop_->setObjectName(QStringLiteral("imgMainBackDrop"));
    imgMainBackDrop_->setScaledContents(true);
    imgMainBackDrop_->setPixmap(backdropPicture(palette()));

    buildTabs();
    buildFrame();
    buildMenus();
    addTransferMenuItems(*this, services_, *vault_);
    connectPages();

    resize(960, 640);
    ShowTabPanel();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildTabs() {
    vault_ = new VaultPage(services_);
    journal_ = new JournalPage(services_);
    images_ = new ImagesPage(services_);
    files_ = new FilesPage(services_, *workStatus_);
    options_ = new OptionsPage(services_, *new ProgramMaintenance(program_, this));

    SSTab1_ = new QTabWidget;
    SSTab1_->setObjectName(QStringLiteral("SSTab1"));
    SSTab1_->addTab(vault_, QStringLiteral("Password Vault"));
    SSTab1_->addTab(journal_, QStringLiteral("Journal"));
    SSTab1_->addTab(images_, imagesCaption());
    SSTab1_->addTab(files_, filesCaption());
    SSTab1_->addTab(options_, QStringLiteral("Options"));

    panels_ = {vault_->buttonPanel(), journal_->buttonPanel(), images_->buttonPanel(),
               files_->buttonPanel(), options_->buttonPanel()};
    addFrameButtons(panels_[kVaultTab], QStringLiteral("cmdLoginsAbout"),
                    QStringLiteral("cmdLoginsQuit"));
    addFrameButtons(panels_[kJournalTab], QStringLiteral("cmdJournalAbout"),
                    QStringLiteral("cmdJournalQuit"));
    addFrameButtons(panels_[kImagesTab], QStringLiteral("cmdIMGAbout"),
                    QStringLiteral("cmdIMGQuit"));
    addFrameButtons(panels_[kFilesTab], QStringLiteral("cmdFileAbout"),
                    QStringLiteral("cmdFileQuit"));
    addFrameButtons(panels_[kOptionsTab], QStringLiteral("cmdOptionsAbout"),
                    QStringLiteral("cmdOptionsQuit"));
}

void MainWindow::buildFrame() {
    auto* panelColumn = new QVBoxLayout;
    panelColumn->setContentsMargins(0, 0, 0, 0);
    for (QWidget* panel : panels_) {
        panel->setFixedWidth(kPanelWidth);
        panelColumn->addWidget(panel);
    }
    auto* central = new QWidget;
    central->setObjectName(QStringLiteral("frame"));
    auto* layout = new QHBoxLayout(central);
    layout->addWidget(SSTab1_, 1);
    layout->addLayout(panelColumn);
    setCentralWidget(central);
    imgMainBackDrop_->lower();
}

void MainWindow::connectPages() {
    // What was copied, and when it leaves the clipboard again.
    statusBar()->setObjectName(QStringLiteral("stbMain"));
    connect(vault_, &VaultPage::statusMessage, statusBar(), &QStatusBar::showMessage);
    connect(SSTab1_, &QTabWidget::currentChanged, this, &MainWindow::ShowTabPanel);
    connect(vault_, &VaultPage::hideMainWindowRequested, this, &QWidget::hide);
    connect(vault_, &VaultPage::returnToMainWindow, this, [this] {
        show();
        activateFromProgram();
    });
    connect(images_, &ImagesPage::viewPicture, this, &MainWindow::viewPicture);
    // Pictures are checked out with the file store's check-out window.
    connect(images_, &ImagesPage::checkOutRequested, files_,
            [this](const QList<qint64>& selected, int rows) {
                files_->openCheckOut(CheckOutKind::Images, selected, rows);
            });
    files_->useUrlOpener(program_.options().openUrl);
    connect(journal_, &JournalPage::showJournalTab, this,
            [this] { SSTab1_->setCurrentIndex(kJournalTab); });
    connect(options_, &OptionsPage::saveOnExitPolicy, this,
            [this](int policy) { program_.saveOnExitPolicy(policy); });
    connect(options_, &OptionsPage::saveLockSettings, this,
            [this](const LockSettings& lock) { program_.saveLockSettings(lock); });
}

void MainWindow::addFrameButtons(QWidget* panel, const QString& about, const QString& quit) {
    auto* layout = qobject_cast<QVBoxLayout*>(panel->layout());
    auto* aboutButton = makePictureButton(
        panel, about, themedIcon(QStringLiteral("help-about"), QStringLiteral("about")),
        tr("About Keystead"));
    auto* quitButton = makePictureButton(
        panel, quit, themedIcon(QStringLiteral("application-exit"), QStringLiteral("quit")),
        tr("End the program"));
    layout->addWidget(aboutButton);
    layout->addWidget(quitButton);
    layout->addStretch();
    connect(aboutButton, &QAbstractButton::clicked, this, &MainWindow::showAbout);
    connect(quitButton, &QAbstractButton::clicked, this, [this] { program_.QuitApplication(); });
}

QAction* MainWindow::addMenuItem(QMenu* menu, const QString& name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

void MainWindow::buildMenus() {
    for (const TabMenu& m : tabMenus()) {
        QMenu* menu = menuBar()->addMenu(m.caption);
        menu->setObjectName(QString::fromLatin1(m.name));
        for (const TabMenuItem& item : m.items) {
            QAction* action = addMenuItem(menu, QString::fromLatin1(item.name), item.caption);
            const QString button = QString::fromLatin1(item.button);
            // An item of a part that is not built yet is shown but cannot be used.
            auto* target = findChild<QAbstractButton*>(button);
            action->setEnabled(target != nullptr && target->isEnabled());
            connect(action, &QAction::triggered, this,
                    [this, tab = item.tab, button] { pressButtonOfTab(tab, button); });
        }
    }
    buildProgrammeMenu();
}

void MainWindow::buildProgrammeMenu() {
    QMenu* programme = menuBar()->addMenu(QStringLiteral("&Programme"));
    programme->setObjectName(QStringLiteral("mnuProgramme"));
    connect(addMenuItem(programme, QStringLiteral("mnuLogOut"), QStringLiteral("&Log Out")),
            &QAction::triggered, this, [this] { program_.logOut(); });
    connect(addMenuItem(programme, QStringLiteral("mnuCompactDatabase"),
                        QStringLiteral("&Compact Database")),
            &QAction::triggered, this, [this] { program_.compactOnDemand(); });
    QAction* quit = addMenuItem(programme, QStringLiteral("mnuQuit"), QStringLiteral("&Quit"));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, [this] { program_.QuitApplication(); });
    programme->addSeparator();
    connect(addMenuItem(programme, QStringLiteral("mnuAbout"), QStringLiteral("&About")),
            &QAction::triggered, this, &MainWindow::showAbout);
    QAction* help = addMenuItem(programme, QStringLiteral("mnuHelp"), QStringLiteral("&Help!"));
    help->setShortcut(QKeySequence::HelpContents);
    connect(help, &QAction::triggered, this, [this] { program_.showHelp(); });
}

void MainWindow::showForLogin() {
    if (!loaded_ && !memory_->restore(*this)) {
        if (const QScreen* screen = QGuiApplication::primaryScreen(); screen != nullptr) {
            move(screen->availableGeometry().center() - rect().center());
        }
    }
    show();
    raise();
    activateWindow();
    if (!loaded_) {
        loadOnce();
    } else {
        journal_->reloadEntry();
    }
    // The figures of the previous user's typing, or their search, are not shown to the next one.
    journal_->startStatisticsAfresh();
    vault_->startAfresh();
    activateFromProgram();
}

void MainWindow::loadOnce() {
    loaded_ = true;
    services_.state.DataDeleted = false;
    imgMainBackDrop_->setGeometry(rect());
    journal_->goToToday();
}

void MainWindow::activateFromProgram() {
    if (services_.state.Quitting) {
        return;
    }
    if (services_.state.FirstActivation) {
        // The start-up picture hides itself at once and clears the flag.
        imageViewer()->showFullScreenModal();
        services_.state.FirstActivation = false;
    }
    normalActivation();
}

ImageViewer* MainWindow::imageViewer() {
    if (viewer_ == nullptr) {
        viewer_ = new ImageViewer(services_.state, this);
    }
    return viewer_;
}

void MainWindow::viewPicture(const QImage& picture) {
    imageViewer()->setPicture(picture);
    viewer_->showFullScreenModal();
    activateFromProgram();
}

void MainWindow::readAccountAgain() {
    vault_->startAfresh();
    normalActivation();
}

void MainWindow::normalActivation() {
    ProgramState& state = services_.state;
    setWindowTitle(state.AppTitle + QStringLiteral(" - ") + state.LoginUserName);
    services_.database.EndOperations();
    vault_->reloadLists();
    images_->ListImages();
    files_->RefreshFileList();
    journal_->resetStatistics();
    ShowTabPanel();
    options_->selectOnExitPolicy(state.CompactPolicy);
    options_->selectLockSettings(state.Lock);
    program_.selectPromptPolicy(state.CompactPolicy);
}

void MainWindow::ShowTabPanel() {
    for (QWidget* panel : panels_) {
        panel->hide();
    }
    options_->clearPasswordBoxes();
    const int tab = SSTab1_->currentIndex();
    if (tab >= 0 && tab < panels_.size()) {
        panels_[tab]->show();
    }
}

void MainWindow::pressButtonOfTab(int tab, const QString& button) {
    SSTab1_->setCurrentIndex(tab);
    pressButton(button);
}

bool MainWindow::pressButton(const QString& objectName) {
    auto* button = findChild<QAbstractButton*>(objectName);
    if (button == nullptr || !button->isEnabled()) {
        return false;
    }
    button->click();
    return true;
}

void MainWindow::showAbout() {
    if (about_ == nullptr) {
        about_ = new AboutWindow(services_.state.AppTitle, this);
    }
    about_->exec();
    activateFromProgram();
}

void MainWindow::forgetCopiedSecrets() {
    vault_->forgetCopiedPassword();
    statusBar()->clearMessage();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!services_.state.Quitting) {
        program_.QuitApplication();
    }
    event->setAccepted(services_.state.Quitting);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    imgMainBackDrop_->setGeometry(rect());
}

void MainWindow::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    if (loaded_ && !event->spontaneous()) {
        memory_->save(*this);
    }
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // The backdrop is drawn in the colours of the desktop's scheme, light or dark.
    if (event->type() == QEvent::PaletteChange) {
        imgMainBackDrop_->setPixmap(backdropPicture(palette()));
    }
}

}  // namespace ks
