#include "core/BackupKeeping.h"

#include <QDateTime>
#include <QFile>
#include <QHash>

#include "core/DatabaseTexts.h"
#include "core/Services.h"
#include "crypto/PassPhrase.h"
#include "storage/BackupRotation.h"
#include "storage/Backups.h"

namespace ks {

namespace {

// What is about to happen to the database, as the question names it.
QString actionOf(const char* reason) {
    static const QHash<QString, QString> actions = {
        {QLatin1String(backupReason::kCompaction), QStringLiteral("is compacted")},
        {QLatin1String(backupReason::kProtection), QStringLiteral("protects your data")},
        {QLatin1String(backupReason::kPasswordChange), QStringLiteral("changes your password")},
    };
    return actions.value(QLatin1String(reason), QStringLiteral("changes"));
}

QString noBackupQuestion(const char* reason, const DbStatus& why) {
    return QStringLiteral(
               "No backup of the database could be made before it %1:\r\r%2\r\r"
               "Go on without a backup?")
        .arg(actionOf(reason), describeDatabaseStatus(why));
}

}  // namespace

BackupBefore::BackupBefore(Services& services, const char* reason) : services_(services) {
    const ProgramState& state = services.state;
    const Result<QString> made =
        makeVerifiedBackup(state.DatabasePath, PassPhrase(), backupsFolderIn(state.DataFolder),
                           QLatin1String(reason), services.clock.now());
    if (made.ok()) {
        path_ = made.value();
        mayGoOn_ = true;
    } else {
        mayGoOn_ = services.dialogs.askYesNoWithDefault(
            state.AppTitle, noBackupQuestion(reason, made.status()), DefaultAnswer::No);
    }
}

BackupBefore::~BackupBefore() {
    if (!path_.isEmpty()) {
        QFile::remove(path_);
    }
}

void BackupBefore::actionDone() {
    if (!path_.isEmpty()) {
        path_.clear();
        rotateBackups(services_.state.DataFolder);
    }
}

QString dailyBackupFailedMessage(const QString& why) {
    return QStringLiteral(
               "Today's backup of the database could not be made:\r\r%1\r\r"
               "The next login will try again.")
        .arg(why);
}

DailyBackup::DailyBackup(QString dataFolder, QString databasePath, QObject* parent)
    : QObject(parent), dataFolder_(std::move(dataFolder)), databasePath_(std::move(databasePath)) {
}

DailyBackup::~DailyBackup() {
    stop();
}

void DailyBackup::stop() {
    if (worker_.joinable()) {
        stopped_->store(true);
        worker_.join();
    }
    running_ = false;
}

bool DailyBackup::startIfDue(const QDateTime& now) {
    if (running_ || !dailyBackupDue(listBackups(dataFolder_), now.date())) {
        return false;
    }
    if (worker_.joinable()) {
        worker_.join();  // the last copy's thread, done already
    }
    running_ = true;
    stopped_ = std::make_shared<std::atomic_bool>(false);
    worker_ = std::thread(
        [this, now, stopped = stopped_, folder = dataFolder_, database = databasePath_] {
            const Result<QString> made = makeVerifiedBackupBesideWork(
                database, PassPhrase(), backupsFolderIn(folder), dailyBackupReason(), now,
                [stopped] { return stopped->load(); });
            if (made.ok()) {
                rotateBackups(folder);
            }
            if (stopped->load()) {
                return;
            }
            const QString path = made.ok() ? made.value() : QString();
            // A copy that gave way to the user's saves is tried again at the next login, untold.
            const bool told = !made.ok() && made.status().code != DbCode::Busy;
            const QString why = told ? describeDatabaseStatus(made.status()) : QString();
            QMetaObject::invokeMethod(
                this,
                [this, path, why] {
                    running_ = false;
                    if (!why.isEmpty()) {
                        Q_EMIT failed(why);
                    }
                    Q_EMIT finished(path);
                },
                Qt::QueuedConnection);
        });
    return true;
}

}  // namespace ks
