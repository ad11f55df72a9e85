#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <thread>

#include "storage/Database.h"

namespace ks {

struct Services;

// The reasons in the names of the copies made before the user's actions.
namespace backupReason {
inline constexpr char kCompaction[] = "before-compaction";
inline constexpr char kProtection[] = "before-protection";
inline constexpr char kPasswordChange[] = "before-password-change";
}  // namespace backupReason

// A checked copy of the database in the data folder's Backups folder, made before an action
// that rewrites the database. When no copy could be made (a full disk, say), the user is told
// why and asked whether to go on without one (No is the default). Once the action is done, the
// rotation removes the copies it no longer keeps; an action that did not happen (refused,
// failed, cancelled) leaves no copy behind, since it would only repeat the database that stays.
class BackupBefore {
public:
    BackupBefore(Services& services, const char* reason);
    ~BackupBefore();
    BackupBefore(const BackupBefore&) = delete;
    BackupBefore& operator=(const BackupBefore&) = delete;

    // Whether the action may go on: a copy was made, or the user chose to go on without one.
    bool mayGoOn() const { return mayGoOn_; }
    // The action changed the database: the copy stays.
    void actionDone();

private:
    Services& services_;
    QString path_;  // the copy, while the action may still not happen
    bool mayGoOn_ = false;
};

// What the user is told when the day's copy could not be made.
QString dailyBackupFailedMessage(const QString& why);

// How long after a login the day's copy starts: once the window has been shown and settled.
inline constexpr int kDailyBackupDelayMs = 2000;

// The first login of each day makes a copy of the database, on a thread of its own, while the
// user works; then the rotation removes what it no longer keeps. A failure is told through
// `failed` once the copy has given up, except a copy that gave way to the user's saves, which
// the next login tries again; nothing else of the session waits for it. Destroying the
// object stops a copy under way (its unfinished file is removed).
class DailyBackup : public QObject {
    Q_OBJECT
public:
    DailyBackup(QString dataFolder, QString databasePath, QObject* parent = nullptr);
    ~DailyBackup() override;

    // Starts the copy when none was made on the day of `now`; whether one was started.
    bool startIfDue(const QDateTime& now);
    bool running() const { return running_; }

Q_SIGNALS:
    // The copy is done: its path, empty when none was made (see `failed`).
    void finished(const QString& path);
    // Why no copy could be made.
    void failed(const QString& why);

private:
    void stop();

    QString dataFolder_;
    QString databasePath_;
    std::thread worker_;
    std::shared_ptr<std::atomic_bool> stopped_;
    bool running_ = false;
};

}  // namespace ks
