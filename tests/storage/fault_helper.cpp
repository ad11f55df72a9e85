// A second process for the fault tests: writes through the core library, saves a record's
// versions, makes backups or restores the database until it is killed, reads a database while
// another process compacts it, or holds the program's data-folder lock.
#include <poll.h>
#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>
#include <cstdio>

#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "storage/BackupRotation.h"
#include "storage/Backups.h"
#include "storage/DataFolderLock.h"
#include "storage/Database.h"
#include "storage/DatabaseCopy.h"
#include "vault/RecordStore.h"

using namespace ks;

namespace {

// Writes a record and a journal entry per step, each step one transaction, and prints the
// step's number once it is committed; pauses between steps as asked. Runs until killed.
int writeUntilKilled(const QString& databasePath, qint64 first, int pauseMs) {
    DatabaseAccess database(databasePath, PassPhrase());
    for (qint64 step = first;; QThread::msleep(static_cast<unsigned long>(pauseMs)), ++step) {
        WriteOperation write(database);
        if (!write.ok()) {
            std::printf("error %s\n", qPrintable(write.status().detail));
            return 1;
        }
        const QString number = QString::number(step);
        Statement record = write.connection().prepare(
            QStringLiteral("INSERT INTO Logins (KeyUserName, ShortName, Notes, Category) "
                           "VALUES ('AB', ?1, ?2, 'Unfiled')"));
        record.bind(1, EncryptField(QStringLiteral("record ") + number))
            .bind(2, EncryptField(QString(200 + int(step % 300), QLatin1Char('n'))));
        Statement entry = write.connection().prepare(
            QStringLiteral("INSERT INTO Journals (UserName, Date, Journal) VALUES ('AB', ?1, ?2)"));
        entry.bind(1, number).bind(2, EncryptField(QStringLiteral("entry ") + number));
        if (!record.run().ok() || !entry.run().ok() || !write.commit().ok()) {
            std::printf("error writing step %lld\n", step);
            return 1;
        }
        std::printf("%lld\n", step);
        std::fflush(stdout);
    }
}

// Saves the record `counter` of the owner "anna" again and again, each save a new password
// ("pw " and the step) whose replaced version goes to history (100 kept), and prints the step
// once it is committed. Runs until killed.
int saveHistoryUntilKilled(const QString& databasePath, qint64 counter, qint64 first) {
    DatabaseAccess database(databasePath, PassPhrase());
    HistorySettings history;
    history.versionsKept = HistorySettings::kMostVersions;
    RecordStore store(database, &history);
    const Account account(EncryptField(QStringLiteral("anna")));
    for (qint64 step = first;; ++step) {
        RecordFields fields;
        fields.shortName = QStringLiteral("kept record");
        fields.password = QStringLiteral("pw ") + QString::number(step);
        fields.notes = QString(100 + int(step % 700), QLatin1Char('n'));
        const SaveResult saved = store.UpdateRecord(account, counter, fields);
        if (saved.outcome != SaveOutcome::Saved) {
            std::printf("error saving step %lld\n", step);
            return 1;
        }
        std::printf("%lld\n", step);
        std::fflush(stdout);
    }
}

bool stopAsked() {
    pollfd input{0, POLLIN, 0};
    return ::poll(&input, 1, 0) > 0;  // a line, or the end of the input
}

// Reads every table again and again through one connection that stays open, until its input
// ends; prints every failure. The exit code is the number of failures (0: none).
int readUntilStopped(const QString& databasePath) {
    DatabaseAccess database(databasePath, PassPhrase());
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        std::printf("open: %s\n", qPrintable(connection.status().detail));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    int failures = 0;
    while (!stopAsked() && failures < 10) {
        Statement query = connection->prepare(QStringLiteral(
            "SELECT (SELECT count(*) FROM Logins) + (SELECT count(*) FROM Journals) + "
            "(SELECT count(*) FROM Users) + (SELECT sum(length(File)) FROM Files)"));
        if (!query.next() || !query.status().ok()) {
            std::printf("read: %s\n", qPrintable(query.status().detail));
            ++failures;
        }
        QThread::msleep(2);
    }
    return failures;
}

// Makes backups of the data folder's database beside the user's work, then rotates them, again
// and again; prints each backup's path once it is made. Runs until killed.
int backUpUntilKilled(const QString& dataFolder) {
    const QString database = dataFolder + QStringLiteral("Data.mdb");
    for (qint64 n = 0;; ++n) {
        const Result<QString> made = makeVerifiedBackupBesideWork(
            database, PassPhrase(), backupsFolderIn(dataFolder), dailyBackupReason(),
            QDateTime(QDate(2026, 1, 1), QTime(0, 0)).addDays(n));
        // A writer that never pauses may keep a copy from being checked: it is tried again.
        if (made.ok()) {
            rotateBackups(dataFolder, {2, 1, 0});
        }
        std::printf("%s\n",
                    qPrintable(made.ok() ? made.value()
                                         : QStringLiteral("not made: ") + made.status().detail));
        std::fflush(stdout);
    }
}

// Puts the two databases back in turn, each from a staging copy as an import does, keeping the
// replaced one among the backups; prints the marker of each once it is in place. Runs until
// killed.
int restoreUntilKilled(const QString& dataFolder, const QStringList& sources) {
    const QString database = dataFolder + QStringLiteral("Data.mdb");
    const QString staging = dataFolder + QStringLiteral("Import.part");
    for (qint64 n = 0;; ++n) {
        const QString source = sources.at(n % 2);
        QFile::remove(staging);
        if (!QFile::copy(source, staging)) {
            std::printf("error staging %s\n", qPrintable(source));
            return 1;
        }
        const Result<QString> kept =
            restoreDatabaseFrom(staging, database,
                                {backupsFolderIn(dataFolder), QStringLiteral("before-import"),
                                 QDateTime(QDate(2026, 1, 1), QTime(0, 0)).addSecs(n)},
                                PassPhrase());
        if (!kept.ok()) {
            std::printf("error %s\n", qPrintable(kept.status().detail));
            return 1;
        }
        rotateBackups(dataFolder, {0, 0, 3});
        std::printf("%s\n", qPrintable(QFileInfo(source).baseName()));
        std::fflush(stdout);
    }
}

int holdLock(const QString& dataFolder) {
    DataFolderLock lock(dataFolder);
    if (lock.tryLock(0) != DataFolderLock::Outcome::Taken) {
        return 1;
    }
    std::printf("locked\n");
    std::fflush(stdout);
    QThread::sleep(60);  // until the test kills it
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() >= 4 && arguments.at(1) == QLatin1String("write")) {
        return writeUntilKilled(arguments.at(2), arguments.at(3).toLongLong(),
                                arguments.value(4).toInt());
    }
    if (arguments.size() >= 5 && arguments.at(1) == QLatin1String("history")) {
        return saveHistoryUntilKilled(arguments.at(2), arguments.at(3).toLongLong(),
                                      arguments.at(4).toLongLong());
    }
    if (arguments.size() >= 3 && arguments.at(1) == QLatin1String("read")) {
        return readUntilStopped(arguments.at(2));
    }
    if (arguments.size() >= 3 && arguments.at(1) == QLatin1String("backup")) {
        return backUpUntilKilled(arguments.at(2));
    }
    if (arguments.size() >= 5 && arguments.at(1) == QLatin1String("restore")) {
        return restoreUntilKilled(arguments.at(2), arguments.mid(3, 2));
    }
    if (arguments.size() >= 3 && arguments.at(1) == QLatin1String("lock")) {
        return holdLock(arguments.at(2));
    }
    std::fprintf(
        stderr,
        "usage: fault_helper write DB FIRST [PAUSE-MS] | history DB COUNTER FIRST | "
        "read DB | backup DATAFOLDER | restore DATAFOLDER FIRST SECOND | lock DATAFOLDER\n");
    return 2;
}
