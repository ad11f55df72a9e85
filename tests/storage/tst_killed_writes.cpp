#include <QtTest>

#include <signal.h>
#include <random>

#include "TestEnvironment.h"
#include "crypto/PassPhrase.h"
#include "storage/BackupRotation.h"
#include "storage/Backups.h"
#include "storage/DatabaseCopy.h"
#include "storage/SchemaCheck.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

QString integrityOf(Connection& connection) {
    Statement check = connection.prepare(u"PRAGMA integrity_check"_s);
    return check.next() ? check.text(0) : check.status().detail;
}

// The steps a killed writer reported as committed (its output holds nothing else, or an
// error); `next` moves past the last of them.
QSet<QString> reportedSteps(const QByteArray& output, qint64& next) {
    QSet<QString> steps;
    for (const QByteArray& line : output.split('\n')) {
        bool isNumber = false;
        const qint64 step = line.toLongLong(&isNumber);
        if (isNumber) {
            steps.insert(QString::number(step));
            next = std::max(next, step + 1);
        }
    }
    return steps;
}

// The steps whose journal entries the database holds.
QSet<QString> storedSteps(Connection& connection) {
    QSet<QString> stored;
    Statement dates = connection.prepare(u"SELECT Date FROM Journals"_s);
    while (dates.next()) {
        stored.insert(dates.text(0));
    }
    return stored;
}

// Which of the restored databases a file holds: the marker in its one account's name.
QString markerOf(const QString& path) {
    Result<Connection> connection = Connection::openFile(path, PassPhrase().toUtf8(), false);
    if (!connection.ok()) {
        return u"unreadable: "_s + connection.status().detail;
    }
    Statement name = connection->prepare(u"SELECT group_concat(UserName) FROM Users"_s);
    return name.next() ? name.text(0) : name.status().detail;
}

}  // namespace

// Processes killed at random moments while they write, copy or put back the database: the
// live database stays whole, with every write that was reported, and no half-made copy is ever
// listed.
class KilledWritesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> env;

    QString database() const { return env->databasePath(); }
    // A copy of a fresh database whose one account is named `marker`.
    QString markedDatabase(const QString& marker) {
        const QString path = env->dataFolder() + marker + u".source"_s;
        QFile::copy(database(), path);
        DatabaseAccess access(path, PassPhrase());
        Result<Connection> connection = access.open();
        if (connection.ok()) {
            connection->exec(
                u"INSERT INTO Users (UserName, Password) VALUES ('%1', 'pw')"_s.arg(marker));
        }
        return path;
    }

private Q_SLOTS:
    void init() {
        env = std::make_unique<test::TestEnvironment>();
        QVERIFY(QDir().mkpath(env->dataFolder()));
    }
    void cleanup() { env.reset(); }

    // A writer killed at random moments never loses a write it reported and never damages the
    // database.
    void killedWriterLosesNothing() {
        env->freshDatabase();
        DatabaseAccess access(database(), PassPhrase());
        std::random_device seed;
        const unsigned seedValue = seed();
        std::mt19937 random(seedValue);
        std::uniform_int_distribution<int> delayMs(0, 40);
        QSet<QString> reported;
        qint64 next = 1;
        for (int kill = 0; kill < 50; ++kill) {
            QProcess child;
            child.start(QStringLiteral(FAULT_HELPER),
                        {u"write"_s, database(), QString::number(next)});
            // Killed at a random moment once it is writing (its first step is reported).
            QVERIFY(child.waitForReadyRead(20000));
            QThread::msleep(static_cast<unsigned long>(delayMs(random)));
            ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished());
            const QByteArray output = child.readAllStandardOutput();
            QVERIFY2(!output.contains("error"), output.constData());
            reported.unite(reportedSteps(output, next));
            Result<Connection> connection = access.open();
            QVERIFY2(connection.ok(), qPrintable(connection.status().detail));
            QCOMPARE(integrityOf(connection.value()), u"ok"_s);
            QVERIFY2(storedSteps(connection.value()).contains(reported),
                     qPrintable(u"seed %1"_s.arg(seedValue)));
            // Each step is one transaction: a record for every entry.
            QCOMPARE(test::countOf(connection.value(), u"SELECT count(*) FROM Logins"_s),
                     test::countOf(connection.value(), u"SELECT count(*) FROM Journals"_s));
            access.CloseAllDatabaseObjects();
        }
    }

    // A backup killed at any moment (while a writer is killed too) leaves the database whole
    // and every reported write in it; only whole, checked backups are ever listed, and what a
    // killed one left is cleared at the next start.
    void killedBackupListsOnlyWholeCopies() {
        env->freshDatabase();
        std::random_device seed;
        const unsigned seedValue = seed();
        std::mt19937 random(seedValue);
        std::uniform_int_distribution<int> delayMs(0, 60);
        const QString data = env->dataFolder();
        QStringList reported;
        QSet<QString> written;
        qint64 next = 1;
        for (int kill = 0; kill < 8; ++kill) {
            QProcess writer;
            writer.start(QStringLiteral(FAULT_HELPER),
                         {u"write"_s, database(), QString::number(next), u"5"_s});
            QProcess backup;
            backup.start(QStringLiteral(FAULT_HELPER), {u"backup"_s, data});
            // Killed at a random moment once both are at work (a first copy is reported).
            QVERIFY(writer.waitForReadyRead(20000) && backup.waitForReadyRead(20000));
            QThread::msleep(static_cast<unsigned long>(delayMs(random)));
            for (QProcess* child : {&backup, &writer}) {
                ::kill(static_cast<pid_t>(child->processId()), SIGKILL);
                QVERIFY(child->waitForFinished());
            }
            for (const QByteArray& line : backup.readAllStandardOutput().split('\n')) {
                if (line.startsWith('/')) {
                    reported << QString::fromUtf8(line);
                }
            }
            const QByteArray output = writer.readAllStandardOutput();
            QVERIFY2(!output.contains("error"), output.constData());
            written.unite(reportedSteps(output, next));
            DatabaseAccess access(database(), PassPhrase());
            Result<Connection> live = access.open();
            QVERIFY2(live.ok(), qPrintable(live.status().detail));
            QCOMPARE(integrityOf(live.value()), u"ok"_s);
            QVERIFY2(storedSteps(live.value()).contains(written),
                     qPrintable(u"seed %1"_s.arg(seedValue)));
            access.CloseAllDatabaseObjects();
            for (const BackupFile& listed : listBackups(data)) {
                Result<Connection> copy =
                    Connection::openFile(listed.path, PassPhrase().toUtf8(), false);
                QVERIFY2(copy.ok() && verifyDatabase(copy.value()).ok() &&
                             integrityOf(copy.value()) == u"ok"_s,
                         qPrintable(u"%1 (seed %2)"_s.arg(listed.path).arg(seedValue)));
            }
        }
        QVERIFY(!reported.isEmpty());
        QVERIFY(listBackups(data).size() <= 4);  // the rotation kept up, but for a last copy
        removeUnfinishedBackups(backupsFolderIn(data));
        QCOMPARE(QDir(backupsFolderIn(data)).entryList({u"*.part*"_s}, QDir::Files | QDir::Hidden),
                 QStringList());
    }

    // A restore killed at any moment leaves the database it replaced or the one it put back,
    // whole, never a mixture and never nothing; the last restore reported done is there unless
    // a later one finished unreported. Only whole copies of the replaced databases are listed.
    void killedRestoreLeavesTheOldOrTheNewDatabase() {
        env->freshDatabase();
        const QStringList sources = {markedDatabase(u"first"_s), markedDatabase(u"second"_s)};
        std::random_device seed;
        const unsigned seedValue = seed();
        std::mt19937 random(seedValue);
        std::uniform_int_distribution<int> delayMs(0, 80);
        const QString data = env->dataFolder();
        QString last = markerOf(database());
        QCOMPARE(last, QString());  // the fresh database has no account
        int restores = 0;
        for (int kill = 0; kill < 8; ++kill) {
            QProcess restorer;
            restorer.start(QStringLiteral(FAULT_HELPER),
                           {u"restore"_s, data, sources[0], sources[1]});
            QVERIFY(restorer.waitForReadyRead(20000));  // a first restore is done
            QThread::msleep(static_cast<unsigned long>(delayMs(random)));
            ::kill(static_cast<pid_t>(restorer.processId()), SIGKILL);
            QVERIFY(restorer.waitForFinished());
            for (const QByteArray& line : restorer.readAllStandardOutput().split('\n')) {
                QVERIFY2(!line.startsWith("error"), line.constData());
                if (!line.isEmpty()) {
                    last = QString::fromUtf8(line);
                    ++restores;
                }
            }
            const QString live = markerOf(database());
            const QString other = last == u"first"_s ? u"second"_s : u"first"_s;
            QVERIFY2(live == last || live == other,
                     qPrintable(u"%1 after %2 (seed %3)"_s.arg(live, last).arg(seedValue)));
            {
                DatabaseAccess access(database(), PassPhrase());
                Result<Connection> connection = access.open();
                QVERIFY2(connection.ok(), qPrintable(connection.status().detail));
                QCOMPARE(integrityOf(connection.value()), u"ok"_s);
                access.CloseAllDatabaseObjects();
            }
            for (const BackupFile& listed : listBackups(data)) {
                const QString held = markerOf(listed.path);
                QVERIFY2(
                    held.isEmpty() || held == u"first"_s || held == u"second"_s,
                    qPrintable(u"%1 holds %2 (seed %3)"_s.arg(listed.path, held).arg(seedValue)));
            }
        }
        QVERIFY(restores >= 8);
    }
};

QTEST_GUILESS_MAIN(KilledWritesTest)
#include "tst_killed_writes.moc"
