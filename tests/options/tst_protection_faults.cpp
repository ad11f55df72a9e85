// Protected accounts under a kill at any moment: protecting, changing the pass phrase, saving.
// The account always opens afterwards, all in one form, with every write that was reported.
#include <signal.h>

#include <QtTest>
#include <random>

#include "ScriptedDialogs.h"
#include "TestEnvironment.h"
#include "app/Accounts.h"
#include "app/LoginCheck.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "vault/RecordStore.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

const QString kPassword = u"secret1"_s;
const QString kPhraseA = u" first pass phrase "_s;
const QString kPhraseB = u"second pass phrase"_s;
constexpr int kRecords = 400;

// Runs the helper until it has printed its first line, then for `delayMs` more, then kills it;
// the lines it printed.
QStringList runKilled(const QStringList& arguments, int delayMs) {
    QProcess child;
    child.start(QStringLiteral(PROTECTION_HELPER), arguments);
    if (!child.waitForStarted(20000)) {
        return {u"not started"_s};
    }
    QThread::msleep(static_cast<unsigned long>(delayMs));
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    child.waitForFinished();
    QStringList lines = QString::fromUtf8(child.readAllStandardOutput()).split(u'\n');
    lines.removeAll(QString());
    return lines;
}

// The account "anna" opened with whichever of `candidates` opens it; an empty account when
// none or more than one does.
Account openWithOneOf(DatabaseAccess& database, const QStringList& candidates, QString& opener) {
    Account opened;
    int matches = 0;
    for (const QString& candidate : candidates) {
        Result<LoginAttempt> attempt = attemptLogin(database, u"anna"_s, candidate);
        if (attempt.ok() && attempt->match == LoginMatch::Matches) {
            ++matches;
            opened = attempt->account;
            opener = candidate;
        }
    }
    return matches == 1 ? opened : Account();
}

// The passwords of the account's records, by short name; "!" for a value that did not open.
QHash<QString, QString> passwordsOf(DatabaseAccess& database, const Account& account) {
    QHash<QString, QString> passwords;
    RecordStore store(database);
    const Result<QList<RecordLine>> lines = store.ListRecords(account, u"All Records"_s);
    if (!lines.ok()) {
        return passwords;
    }
    for (const RecordLine& line : lines.value()) {
        const auto record = store.ShowRecord(account, line.counter);
        passwords.insert(line.shortName,
                         record.ok() && record.value() ? record.value()->fields.password : u"!"_s);
    }
    return passwords;
}

}  // namespace

class ProtectionFaultsTest : public QObject {
    Q_OBJECT

    test::ScriptedDialogs dialogs;

private Q_SLOTS:
    void initTestCase() { setCipherDialogs(&dialogs, u"Keystead"_s); }
    void cleanupTestCase() { setCipherDialogs(nullptr, QString()); }

    void killedAtAnyMomentLeavesTheAccountWhole() {
        test::TestEnvironment env;
        const QString path = env.freshDatabase();
        QHash<QString, QString> expected;
        {
            DatabaseAccess database(path, PassPhrase());
            QVERIFY(CreateUser(database, u"anna"_s, kPassword).ok());
            RecordStore store(database);
            for (int n = 0; n < kRecords; ++n) {
                const RecordFields fields{
                    u"record %1"_s.arg(n),   u"anna"_s, u"pw-%1 пароль"_s.arg(n),
                    u"d"_s.repeated(n % 50), QString(), u"Misc"_s};
                QCOMPARE(store.CreateRecord(EncryptField(u"anna"_s), fields).outcome,
                         SaveOutcome::Saved);
                expected.insert(fields.shortName, fields.password);
            }
            database.CloseAllDatabaseObjects();
        }
        std::mt19937 random(std::random_device{}());
        std::uniform_int_distribution<int> delayMs(0, 250);

        // Protection killed midway, until one run finishes it.
        QStringList candidates{kPassword, kPhraseA};
        bool protectedOnce = false;
        for (int run = 0; run < 12 && !protectedOnce; ++run) {
            const QStringList lines =
                runKilled({u"protect"_s, path, u"anna"_s, kPassword, kPhraseA},
                          run < 11 ? delayMs(random) : 20000);
            protectedOnce = lines.contains(u"protected"_s);
            DatabaseAccess database(path, PassPhrase());
            QString opener;
            const Account account = openWithOneOf(database, candidates, opener);
            QVERIFY2(!account.owner.isEmpty(), "the account opens with exactly one of them");
            QCOMPARE(account.isProtected(), opener == kPhraseA);
            QVERIFY(!protectedOnce || account.isProtected());
            QCOMPARE(passwordsOf(database, account), expected);
            database.CloseAllDatabaseObjects();
            if (account.isProtected()) {
                protectedOnce = true;
            }
        }
        QVERIFY(protectedOnce);

        // The pass phrase changed again and again: exactly one of the two opens the same key.
        candidates = {kPhraseA, kPhraseB};
        for (int run = 0; run < 6; ++run) {
            QString current;
            {
                DatabaseAccess database(path, PassPhrase());
                QVERIFY(!openWithOneOf(database, candidates, current).owner.isEmpty());
                database.CloseAllDatabaseObjects();
            }
            const QString other = current == kPhraseA ? kPhraseB : kPhraseA;
            const QStringList lines =
                runKilled({u"rephrase"_s, path, u"anna"_s, current, other}, delayMs(random));
            QVERIFY(!lines.contains(u"error"_s));
            DatabaseAccess database(path, PassPhrase());
            QString opener;
            const Account account = openWithOneOf(database, candidates, opener);
            QVERIFY(account.isProtected());
            QCOMPARE(passwordsOf(database, account), expected);
            database.CloseAllDatabaseObjects();
        }

        // Saves killed midway: every record reported is there and opens.
        int next = 0;
        for (int run = 0; run < 6; ++run) {
            QString phrase;
            {
                DatabaseAccess database(path, PassPhrase());
                QVERIFY(!openWithOneOf(database, candidates, phrase).owner.isEmpty());
                database.CloseAllDatabaseObjects();
            }
            const QStringList lines = runKilled(
                {u"save"_s, path, u"anna"_s, phrase, QString::number(next)}, delayMs(random));
            QVERIFY(!lines.contains(u"error"_s));
            for (const QString& line : lines) {
                expected.insert(u"saved %1"_s.arg(line), u"pw %1"_s.arg(line));
                next = std::max(next, line.toInt() + 1);
            }
            DatabaseAccess database(path, PassPhrase());
            const QHash<QString, QString> stored =
                passwordsOf(database, openWithOneOf(database, candidates, phrase));
            for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
                QCOMPARE(stored.value(it.key()), it.value());
            }
            // A record written but killed before it was reported is whole too.
            for (const QString& password : stored) {
                QVERIFY(password != u"!"_s);
            }
            database.CloseAllDatabaseObjects();
        }
        QCOMPARE(dialogs.texts(), QStringList());
    }
};

QTEST_GUILESS_MAIN(ProtectionFaultsTest)
#include "tst_protection_faults.moc"
