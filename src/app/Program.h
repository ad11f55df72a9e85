#pragma once

#include <QObject>
#include <QProcessEnvironment>
#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>

#include "core/Clock.h"
#include "core/Dialogs.h"
#include "core/ProgramState.h"
#include "core/Services.h"
#include "storage/DataFolderLock.h"
#include "storage/Database.h"
#include "storage/FileServices.h"

namespace ks {

class LoginWindow;
class MainWindow;
class CompactPrompt;
class StatusWindow;
class SingleInstance;
class SessionLock;
enum class LockStep;
class DailyBackup;
class SyncPasses;
struct SyncOutcome;

struct ProgramOptions {
    // The program's own folder: Template.dat and the help page.
    QString appFolder;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Ends the process; the desktop program leaves its event loop.
    std::function<void(int)> endProcess;
    // Opens a page in the desktop's browser without waiting for it.
    std::function<bool(const QUrl&)> openUrl;
    // Starts a program detached, without waiting (the restart after an import).
    std::function<bool(const QString&, const QStringList&)> startProgram;
    // The time of day for every rule that depends on it.
    std::shared_ptr<const Clock> clock = std::make_shared<SystemClock>();
    // How long a start waits for another copy of the program on the same data folder to let
    // go of it (a copy that is ending, such as the one before a restart after an import).
    int lockWaitMs = 5000;
    // How long a start waits for the copy already running on the data folder to bring its
    // window to the front before it waits for the data folder instead.
    int answerWaitMs = 2000;
    // How long a minute of the lock settings lasts (tests shorten it).
    std::chrono::milliseconds lockMinute{60000};
    // Whether the first login of a day makes a copy of the database (tests of other things
    // turn it off, so that no copy is made beside what they look at).
    bool dailyBackups = true;
    // How long after a save this machine's changes are written to the sync folder, and how long
    // the sync folder must stay still after a change before other machines' files are applied.
    std::chrono::milliseconds syncWriteDelay{10000};
    std::chrono::milliseconds syncSettle{1000};

    // The options of the real program.
    static ProgramOptions forDesktop();
};

// The program: its state, its windows and the one way out.
class Program : public QObject {
    Q_OBJECT
public:
    Program(Dialogs& dialogs, ProgramOptions options);
    ~Program() override;

    // Loads and shows the login window. When another copy of the program holds the data folder,
    // or the data folder is not the user's own, says so and ends at once, without touching
    // anything.
    void start();

    ProgramState& state() { return state_; }
    Dialogs& dialogs() { return dialogs_; }
    const ProgramOptions& options() const { return options_; }
    // The database at DatabasePath; only after a login attempt has prepared it.
    DatabaseAccess& database();
    bool hasDatabase() const { return database_ != nullptr; }
    // Points the database at `path` (the first step of every login attempt).
    void useDatabase(const QString& path);

    LoginWindow* loginWindow() const { return login_.get(); }
    // The status window `Form11`, made on first use.
    StatusWindow& statusWindow();
    MainWindow* mainWindow() const { return main_.get(); }

    // A login has succeeded: remember the name, hide the login window, show the main window.
    void loginSucceeded();
    // Shows the login window again and activates it.
    void showLoginWindow();
    // Offers the journal save and the compaction, then goes back to the login window.
    void logOut();
    // Locks the session as soon as nothing holds it back: as a logout, but nothing is asked
    // (nobody is there): unsaved journal text is saved, the compaction waits for the next logout
    // or quit, windows that show secrets close, and the login window comes back with the name.
    void lock();
    // The desktop's screen locked or the computer is going to sleep: locks when the settings say
    // so.
    void desktopLocked();
    // Saving the lock settings: in force at once and kept in the settings file.
    bool saveLockSettings(const LockSettings& lock);
    SessionLock& sessionLock();

    // The one shutdown path: journal offer, compaction by policy, every window closed, the
    // temporary folder removed, the process ended.
    void QuitApplication();
    // Closes every window and ends the process, without anything else (after an import).
    void UnloadAllForms();

    // Compacts the database when data was deleted and the policy allows it (asking with the
    // prompt when the policy says so); `forced` compacts without asking and shows the main
    // window again afterwards. True unless a compaction was attempted and failed.
    bool CompactDatabase(bool forced);
    // Compaction on demand from the menu: compacts now, whatever was deleted.
    void compactOnDemand();
    // Saving the on-exit options: the policy for this run and for the settings file. False
    // (the user has been told) when the settings file could not be written.
    bool saveOnExitPolicy(int policy);
    // Selects the future-policy option of the compaction prompt.
    void selectPromptPolicy(int policy);
    // Opens the help page in the desktop's browser.
    void showHelp();

    // The sync settings were saved: the passes follow the folder.
    void syncSettingsChanged();
    // Before the database file is replaced (an import): the pass under way ends and this
    // machine's changes are written to the sync folder, then no pass runs on the file until
    // resumeSync() (the file stayed) or the restart.
    void holdSync();
    void resumeSync();
    // The passes over the sync folder, once the database is known (null before).
    SyncPasses* syncPasses() const { return sync_.get(); }

    // Whether the process has been ended (for tests; the real process is gone by then), and
    // with which exit code.
    bool ended() const { return ended_; }
    int exitCode() const { return exitCode_; }

    // This copy ends for a new one (the restart after an import): it no longer answers other
    // starts, so that the new copy waits for the data folder and starts normally.
    void handOver();

private:
    // While the login window waits for the password: the database's key is worked out and its
    // connection opened, then the main window built (hidden), so that the login itself does not
    // wait for them.
    void prepareDatabaseAhead();
    void buildMainWindowAhead();
    // Makes the data folder; false (the user has been told why) when it is not the user's own.
    bool prepareDataFolder();
    // One running copy per data folder: false when another copy holds the folder's lock.
    bool lockDataFolder();
    // Tells the user why the program cannot start and ends it.
    void refuseStart(const QString& why);
    // Another start on this data folder asks for the window: the one in front is raised.
    bool showForAnotherStart();
    // Writes Data.dat anew; a failure is told to the user and leaves the old file as it was.
    bool saveSettings(const QString& line1, int policy);
    // Whether the settings file was written; the user is told when not.
    bool settingsSaved(const FsResult& written);
    // The one writer of the policy line: line 1 as it stands, line 2 the policy.
    bool savePolicy(int policy);
    // Offers to save a changed journal entry; false when the user's text is still unsaved
    // because the save failed (the way out then stops there).
    bool offerJournalSave();
    CompactPrompt& compactPrompt();
    // Replaces the database by a compacted copy with the status window up; false on failure.
    bool compactNow();
    void startDailyBackup();
    // Makes the passes over the sync folder, once: saves are noted, changes from elsewhere shown.
    SyncPasses& sync();
    // The session ends (logout, lock, quit): this machine's changes are written, the watch ends.
    void endSyncSession();
    void closeAllWindows();
    void endProcess();
    // What logout and lock share: every value of the session leaves the windows, the stores and
    // the clipboard, the main window hides and freed memory is overwritten.
    void endSession();
    // The session's time without use starts to count.
    void startSessionLock();
    // Whether a sync pass took the protection of the account logged in without its key.
    bool protectedUnderSession(const SyncOutcome& outcome) const;
    // One attempt to lock (SessionLock tries again while it is held back).
    LockStep tryLock();
    // A long operation is running (its status or progress window is up).
    bool busyWithLongWork() const;
    // Closes the small windows that a lock may close (About, picture viewer, categories,
    // check-out, password generator); true when one was open, so that its modal loop can end
    // before the lock goes on.
    bool closeWindowsInTheWay();

    Dialogs& dialogs_;
    ProgramOptions options_;
    ProgramState state_;
    std::unique_ptr<DatabaseAccess> database_;
    std::unique_ptr<Services> services_;
    std::unique_ptr<LoginWindow> login_;
    std::unique_ptr<MainWindow> main_;
    std::unique_ptr<CompactPrompt> prompt_;
    std::unique_ptr<StatusWindow> status_;
    std::unique_ptr<DataFolderLock> lock_;
    // Declared after the lock so that it stops answering before the lock is let go.
    std::unique_ptr<SingleInstance> instance_;
    std::unique_ptr<SessionLock> sessionLock_;
    std::unique_ptr<DailyBackup> daily_;  // the first login of a day's copy
    std::unique_ptr<SyncPasses> sync_;
    bool ended_ = false;
    int exitCode_ = 0;
};

}  // namespace ks
