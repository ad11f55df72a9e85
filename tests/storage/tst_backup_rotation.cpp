#include <QtTest>

#include <atomic>
#include <thread>

#include "TestEnvironment.h"
#include "crypto/PassPhrase.h"
#include "storage/BackupRotation.h"
#include "storage/Backups.h"
#include "storage/Schema.h"
#include "storage/SchemaCheck.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

const QDateTime kNow(QDate(2026, 12, 7), QTime(9, 0));  // a Monday

BackupFile backup(const QDateTime& made, const QString& reason) {
    return {u"Data-%1-%2.mdb"_s.arg(made.toString(u"yyyyMMdd-HHmmss"_s), reason), made, reason};
}

QStringList namesOf(const QList<BackupFile>& backups) {
    QStringList names;
    for (const BackupFile& file : backups) {
        names << QFileInfo(file.path).fileName();
    }
    names.sort();
    return names;
}

qint64 countIn(const QString& path, const QString& sql) {
    Result<Connection> connection = Connection::openFile(path, PassPhrase().toUtf8(), false);
    return connection.ok() ? test::countOf(connection.value(), sql) : -1;
}

}  // namespace

class BackupRotationTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> env;
    QString folder() { return backupsFolderIn(env->dataFolder()); }

private Q_SLOTS:
    void init() {
        env = std::make_unique<test::TestEnvironment>();
        QVERIFY(QDir().mkpath(env->dataFolder()));
        Result<Connection> connection =
            Connection::openFile(env->databasePath(), PassPhrase().toUtf8(), true);
        QVERIFY(connection.ok() && createSchema(connection.value()).ok());
        QVERIFY(
            connection->exec(u"INSERT INTO Users (UserName, Password) VALUES ('a', 'b')"_s).ok());
    }
    void cleanup() { env.reset(); }

    // Seven daily copies, the newest of each of four weeks before them, the ten newest event
    // copies; an older build's copy beside the database is never removed.
    void theRuleKeepsDaysWeeksAndEvents() {
        QList<BackupFile> all;
        for (int day = 0; day < 60; ++day) {
            all << backup(kNow.addDays(-day), u"daily"_s);
        }
        for (int event = 0; event < 15; ++event) {
            all << backup(kNow.addSecs(-3600 * (event + 1)), u"before-import"_s);
        }
        all << BackupFile{u"/x/Data.mdb.bak"_s, kNow.addYears(-2), u"before-import"_s};
        const QList<BackupFile> past = backupsPastKeeping(all);
        QCOMPARE(past.size(), all.size() - 7 - 4 - 10 - 1);
        QStringList kept = namesOf(all);
        for (const QString& name : namesOf(past)) {
            kept.removeOne(name);
        }
        QStringList expected = {u"Data.mdb.bak"_s};
        for (int day = 0; day < 7; ++day) {  // Monday 7th back to Tuesday 1st
            expected << namesOf({backup(kNow.addDays(-day), u"daily"_s)});
        }
        // The weeks before: the newest copy of each is its Sunday (the week of 30 Nov is
        // kept by its days already).
        for (int week = 1; week <= 4; ++week) {
            expected << namesOf({backup(kNow.addDays(-1 - 7 * week), u"daily"_s)});
        }
        for (int event = 0; event < 10; ++event) {
            expected << namesOf({backup(kNow.addSecs(-3600 * (event + 1)), u"before-import"_s)});
        }
        expected.sort();
        QCOMPARE(kept, expected);

        // Fewer copies than the rule keeps: none goes.
        QVERIFY(backupsPastKeeping(all.mid(0, 5)).isEmpty());
        QVERIFY(!dailyBackupDue(all, kNow.date()));
        QVERIFY(dailyBackupDue(all.mid(60), kNow.date()));  // events do not count as the day's
        QVERIFY(dailyBackupDue(all, kNow.date().addDays(1)));
    }

    // Only what the rule no longer keeps is removed, from the Backups folder only.
    void rotationRemovesOnlyWhatTheRuleGivesUp() {
        const RotationRule rule{2, 1, 2};
        QStringList made;
        for (int n = 0; n < 5; ++n) {
            const Result<QString> path =
                makeVerifiedBackup(env->databasePath(), PassPhrase(), folder(),
                                   n % 2 ? u"daily"_s : u"before-import"_s, kNow.addDays(-7 * n));
            QVERIFY2(path.ok(), qPrintable(path.status().detail));
            made << QFileInfo(path.value()).fileName();
        }
        test::writeFile(folder() + u"notes.txt"_s, "mine");
        QVERIFY(rotateBackups(env->dataFolder(), rule).ok());
        // Daily: n=1 and n=3 (both kept as days); events: n=0, 2 kept, n=4 removed.
        QStringList left = QDir(folder()).entryList(QDir::Files, QDir::Name);
        QStringList expected = {made[0], made[1], made[2], made[3], u"notes.txt"_s};
        expected.sort();
        QCOMPARE(left, expected);
    }

    // The copy made beside the user's work lets every write through while it is made and is
    // whole and checked when done; writes that never pause make it give way; a stopped copy
    // leaves nothing behind.
    void copyBesideWorkLetsWritesThrough() {
        Result<Connection> writer =
            Connection::openFile(env->databasePath(), PassPhrase().toUtf8(), false);
        QVERIFY(writer.ok());
        Statement big = writer->prepare(
            u"INSERT INTO Images (ImageName, UserName, Image) VALUES ('p', 'a', ?1)"_s);
        big.bindBlob(1, QByteArray(4 << 20, 'x'));  // pages for several steps
        QVERIFY(big.run().ok());

        std::atomic_bool done = false;
        Result<QString> made = DbStatus{};
        std::thread copier([&] {
            made = makeVerifiedBackupBesideWork(env->databasePath(), PassPhrase(), folder(),
                                                u"daily"_s, kNow);
            done = true;
        });
        int writes = 0;
        bool allWritten = true;
        // Saves in bursts, as a user makes them: a write every 2 ms, then a pause.
        while (!done) {
            allWritten = allWritten &&
                         writer->exec(u"UPDATE Users SET Password = '%1'"_s.arg(++writes)).ok();
            QThread::msleep(writes % 20 == 0 ? 150 : 2);
        }
        copier.join();
        QVERIFY(allWritten);
        QVERIFY(writes > 1);
        QVERIFY2(made.ok(), qPrintable(made.status().detail));
        const QString whole = made.value();

        // Writes that never pause: the copy gives way to them. A loaded machine may let a copy
        // slip through a gap between two writes; it is then whole, and tried again.
        bool gaveWay = false;
        for (int attempt = 0; attempt < 3 && !gaveWay; ++attempt) {
            done = false;
            std::thread giving([&] {
                made = makeVerifiedBackupBesideWork(env->databasePath(), PassPhrase(), folder(),
                                                    u"daily"_s, kNow.addDays(2 + attempt));
                done = true;
            });
            while (!done) {
                allWritten = allWritten &&
                             writer->exec(u"UPDATE Users SET Password = '%1'"_s.arg(++writes)).ok();
            }
            giving.join();
            gaveWay = made.status().code == DbCode::Busy;
            QVERIFY2(gaveWay || made.ok(), qPrintable(made.status().detail));
            if (made.ok()) {
                QVERIFY(QFile::remove(made.value()));
            }
        }
        QVERIFY(allWritten);
        QVERIFY(gaveWay);
        made = whole;
        QCOMPARE(countIn(made.value(), u"SELECT count(*) FROM Images"_s), 1);
        QCOMPARE(test::fileMode(made.value()), 0600);

        const Result<QString> stopped =
            makeVerifiedBackupBesideWork(env->databasePath(), PassPhrase(), folder(), u"daily"_s,
                                         kNow.addDays(1), [] { return true; });
        QCOMPARE(stopped.status().code, DbCode::Cancelled);
        QCOMPARE(QDir(folder()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QFileInfo(made.value()).fileName()});
    }
};

QTEST_GUILESS_MAIN(BackupRotationTest)
#include "tst_backup_rotation.moc"
