// A process saving a record's versions, killed at random moments: the live database stays whole
// and every save it reported is there, as the record or as a kept version.
#include <QtTest>
#include <csignal>
#include <random>

#include "TestEnvironment.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "vault/RecordHistory.h"

using namespace ks;
using namespace Qt::StringLiterals;

class HistoryFaultsTest : public test::DatabaseTest {
    Q_OBJECT

private Q_SLOTS:
    void init() { startDatabase(); }
    void cleanup() { endDatabase(); }

    void killedHistoryWriteLosesNothing() {
        const Account anna(EncryptField(u"anna"_s));
        RecordStore store(*database);
        RecordFields first;
        first.shortName = u"kept record"_s;
        first.password = u"pw 0"_s;
        const qint64 counter = store.CreateRecord(anna, first).counter;
        QVERIFY(counter > 0);
        database->CloseAllDatabaseObjects();
        const unsigned seedValue = std::random_device()();
        std::mt19937 random(seedValue);
        std::uniform_int_distribution<int> delayMs(0, 40);
        qint64 next = 1;
        QList<qint64> reported{0};
        for (int kill = 0; kill < 30; ++kill) {
            QProcess child;
            child.start(QStringLiteral(FAULT_HELPER),
                        {u"history"_s, env->databasePath(), QString::number(counter),
                         QString::number(next)});
            QVERIFY(child.waitForReadyRead(20000));
            QThread::msleep(static_cast<unsigned long>(delayMs(random)));
            ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished());
            const QByteArray output = child.readAllStandardOutput();
            QVERIFY2(!output.contains("error"), output.constData());
            for (const QByteArray& line : output.split('\n')) {
                bool isNumber = false;
                const qint64 step = line.toLongLong(&isNumber);
                if (isNumber) {
                    reported.append(step);
                    next = std::max(next, step + 1);
                }
            }
            Result<Connection> connection = database->open();
            QVERIFY2(connection.ok(), qPrintable(connection.status().detail));
            Statement check = connection->prepare(u"PRAGMA integrity_check"_s);
            QVERIFY(check.next());
            QCOMPARE(check.text(0), u"ok"_s);
            // The record holds the last reported save or a later one (a save committed before
            // the kill could print); each reported save before it is a kept version, up to 100.
            const Result<std::optional<StoredRecord>> shown = store.ShowRecord(anna, counter);
            QVERIFY(shown.ok() && shown.value());
            const RecordFields live = shown.value()->fields;
            const qint64 liveStep = live.password.mid(3).toLongLong();
            QVERIFY2(liveStep >= reported.last(), qPrintable(u"seed %1"_s.arg(seedValue)));
            QSet<QString> kept;
            const Result<QList<RecordVersion>> versions =
                ListRecordHistory(*database, anna, counter);
            QVERIFY(versions.ok());
            for (const RecordVersion& version : versions.value()) {
                kept.insert(version.fields.password);
            }
            QVERIFY(kept.size() <= HistorySettings::kMostVersions);
            for (const qint64 step : reported) {
                if (step < liveStep && step > liveStep - HistorySettings::kMostVersions) {
                    QVERIFY2(kept.contains(u"pw %1"_s.arg(step)),
                             qPrintable(u"step %1, seed %2"_s.arg(step).arg(seedValue)));
                }
            }
            database->CloseAllDatabaseObjects();
        }
        QVERIFY(reported.size() > 30);
    }
};

QTEST_GUILESS_MAIN(HistoryFaultsTest)
#include "tst_history_faults.moc"
