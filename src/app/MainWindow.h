#pragma once

#include <QList>
#include <QMainWindow>
#include <memory>

class QImage;
class QLabel;
class QTabWidget;
class QMenu;

namespace ks {

class Program;
struct Services;
class VaultPage;
class JournalPage;
class ImagesPage;
class FilesPage;
class OptionsPage;
class AboutWindow;
class ImageViewer;
class WorkStatus;
class WindowMemory;

// The main window `Form1`: five tabs, the button panel of the current tab, the menus.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(Program& program, Services& services);
    ~MainWindow() override;

    // A user has logged in: the window shows and activates for them.
    void showForLogin();
    // Each time the window is shown by the program or comes back from another of its windows:
    // the start-up picture the first time, the normal activation afterwards.
    void activateFromProgram();
    // The account's rows were written again in another form: the lists are read afresh (what
    // is typed in the journal stays).
    void readAccountAgain();
    // Rows were changed from elsewhere (a merge, another machine): the lists are read again
    // once no question or other window of the program is in front; an open record editor and
    // text typed in the journal stay as they are.
    void showChangesFromElsewhere();
    // Shows the panel of the current tab only and empties the change-password boxes.
    void ShowTabPanel();

    // Switches to a tab, then presses one of its buttons as a click would.
    void pressButtonOfTab(int tab, const QString& button);
    // Presses a button of the window from code; false when there is none.
    bool pressButton(const QString& objectName);

    // Shows the About window modally.
    void showAbout();

    // The session or the program ends: a password copied from the vault leaves the clipboard,
    // and the status bar forgets what was copied.
    void forgetCopiedSecrets();
    // Whether the record editor is open with typed values that are not saved.
    bool editorHasChanges() const;
    // Saves unsaved journal text without asking; false when it could not be saved.
    bool saveJournalUnattended();
    // The session ends: the record editor closes, and every value of the session leaves the tabs
    // (boxes, lists, searches and the stores' decrypted texts).
    void forgetSession();

    OptionsPage* optionsPage() const { return options_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void loadOnce();
    void normalActivation();
    ImageViewer* imageViewer();
    // Shows a picture in the viewer until it is hidden; the window then activates again.
    void viewPicture(const QImage& picture);
    void buildTabs();
    // The tabs beside the column of button panels.
    void buildFrame();
    void buildMenus();
    void connectPages();
    void buildProgrammeMenu();
    void addFrameButtons(QWidget* panel, const QString& about, const QString& quit);
    QAction* addMenuItem(QMenu* menu, const QString& name, const QString& caption);

    Program& program_;
    Services& services_;
    QLabel* imgMainBackDrop_;
    QTabWidget* SSTab1_;
    VaultPage* vault_;
    JournalPage* journal_;
    ImagesPage* images_;
    FilesPage* files_;
    OptionsPage* options_;
    QList<QWidget*> panels_;
    AboutWindow* about_ = nullptr;
    ImageViewer* viewer_ = nullptr;
    // Disables the window and shows `Form11` during the long steps of a tab.
    std::unique_ptr<WorkStatus> workStatus_;
    bool loaded_ = false;
    // Size, position and column widths on this machine, from one login to the next.
    std::unique_ptr<WindowMemory> memory_;
};

}  // namespace ks
