#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "core/ProgramState.h"
#include "sync/SyncFolder.h"

namespace ks {

// The program's passes over the sync folder: other machines' files are applied at start, at
// login and when the folder changes (once it has stayed still for a moment); this machine's
// changes are written a little after a save, and at logout and quit. A pass runs on a thread of
// its own with a connection of its own, so the windows never wait for it; one pass runs at a
// time, and what is asked meanwhile follows it. While nobody is logged in (locked) only two
// passes run, each applying only: the one at start and the one as a session ends (a protection
// taken on another machine is held off while the account is logged in without its key).
class SyncPasses : public QObject {
    Q_OBJECT
public:
    SyncPasses(const ProgramState& state, QString databasePath,
               std::chrono::milliseconds writeDelay, std::chrono::milliseconds settle,
               QObject* parent = nullptr);
    ~SyncPasses() override;

    // Applies other machines' files now (at start and at login); the folder is watched while a
    // session runs.
    void applyNow();
    // The sync settings changed: the watch follows the folder, whose files are applied.
    void settingsChanged();
    // The database was written: this machine's changes follow after the delay. Safe from any
    // thread.
    void noteWrite();
    // Whether a write waits for its delay.
    bool writeWaiting() const { return writeTimer_.isActive() || pending_ & kWrite; }
    // Logout, lock and quit: the pass under way ends, then this machine's changes are written
    // at once, the windows' events turning meanwhile.
    void writeBeforeEnd();
    // The session ended: nothing more until the next login.
    void sessionEnded();
    // Applies once, as nobody is logged in any more (after a logout or a lock).
    void applyAfterSession();
    // Waits for the pass under way, if any, and starts none until released (while the database
    // is compacted); what is asked meanwhile follows the release.
    void holdPasses();
    void releasePasses();
    // Whether a pass is under way.
    bool running() const { return worker_.joinable(); }

    // For tests: called on the pass's thread once the pass's request is made, before it works.
    std::function<void()> beforePass;

    // The outcome of the last pass (for the Options list).
    const SyncOutcome& lastOutcome() const { return last_; }

Q_SIGNALS:
    // A pass applied other machines' changes to this database.
    void changedHere();
    // A pass ended (the machines seen and the notes are in lastOutcome()).
    void passEnded();

private:
    enum Kind { kApply = 1, kWrite = 2 };
    void ask(int kinds);
    void startNext();
    // Takes in the pass that ended (or waits for the one under way, then takes it in).
    void collectPass();
    SyncRequest request() const;
    void watchFolder();

    const ProgramState& state_;
    QString databasePath_;
    QTimer writeTimer_;
    QTimer settleTimer_;
    std::unique_ptr<QFileSystemWatcher> watcher_;
    std::thread worker_;
    int runningKinds_ = 0;
    std::shared_ptr<SyncOutcome> result_;  // filled by the pass under way
    int pending_ = 0;
    bool sessionOn_ = false;
    bool held_ = false;
    bool sealAtLogin_ = false;  // the login's pass seals what a protection from elsewhere left
    SyncOutcome last_;
};

}  // namespace ks
