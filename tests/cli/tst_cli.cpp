// The command-line companion, run as a separate process on a database made here.
#include <QtTest>

#include "ScriptedDialogs.h"
#include "TestEnvironment.h"
#include "app/Accounts.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "journal/JournalDate.h"
#include "journal/JournalStore.h"
#include "storage/FileServices.h"
#include "vault/RecordStore.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

struct Run {
    int code = -1;
    QString out;
    QString err;
    // The exit code and the output, to compare at once.
    QString result() const { return QString::number(code) + u'|' + out; }
};

QByteArray fileHash(const QString& path) {
    return QCryptographicHash::hash(test::readBytes(path), QCryptographicHash::Sha256);
}

}  // namespace

class CliTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> env;
    test::ScriptedDialogs dialogs;

    Run cli(const QStringList& arguments, const QByteArray& input = "anna\n secret1 \n") {
        QProcess process;
        process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        process.start(QCoreApplication::applicationDirPath() + u"/keystead-cli"_s, arguments);
        process.write(input);
        process.closeWriteChannel();
        if (!process.waitForFinished(30000)) {
            return {};
        }
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    Run cliAsAnna(const QStringList& arguments) {
        return cli(QStringList{u"--stdin"_s} + arguments);
    }

private Q_SLOTS:
    void init() {
        env = std::make_unique<test::TestEnvironment>();
        setCipherDialogs(&dialogs, u"Keystead"_s);
        DatabaseAccess database(env->freshDatabase(), PassPhrase());
        QVERIFY(CreateUser(database, u"anna"_s, u"secret1"_s).ok());
        QVERIFY(CreateUser(database, u"bert"_s, u"secret2"_s).ok());
        const QString anna = EncryptField(u"anna"_s), bert = EncryptField(u"bert"_s);
        RecordStore store(database);
        const QList<std::pair<QString, RecordFields>> records = {
            {anna,
             {u"gmail"_s, u"anna@example.org"_s, u"pw-gmail"_s, u"mail"_s, u"first\nsecond"_s,
              u"Email"_s}},
            {anna, {u"Банк"_s, u"анна"_s, u"пароль <b>"_s, u"деньги"_s, QString(), u"Banking"_s}},
            {anna, {u"shop"_s, u"a"_s, u"pw-shop"_s, QString(), QString(), u"Shopping"_s}},
            {anna, {u"Große  Straße"_s, u"g"_s, u"pw-street"_s, {}, {}, {}}},
            {anna, {u"İstanbul Bank"_s, u"i"_s, u"pw-ist"_s, {}, {}, {}}},
            {bert, {u"bertbank"_s, u"b"_s, u"pw-b"_s, {}, {}, u"Email"_s}},
        };
        for (const auto& [owner, fields] : records) {
            QCOMPARE(store.CreateRecord(owner, fields).outcome, SaveOutcome::Saved);
        }
        const QList<std::tuple<QString, QDate, QString>> entries = {
            {anna, QDate(2026, 3, 2), u"Early spring.\nTwo lines."_s},
            {anna, QDate(2026, 1, 15), u"  Snow, with spaces kept  "_s},
            {anna, QDate(2026, 2, 1), u"   "_s},  // blank: no entry for the export
            {anna, QDate(2025, 12, 31), u"Last year."_s},
            {bert, QDate(2026, 1, 20), u"Bert's own day"_s},
        };
        for (const auto& [owner, day, text] : entries) {
            QVERIFY(writeJournalEntry(database, owner, journalDateText(day),
                                      storedJournalValue(text), QDate(2026, 12, 7))
                        .ok());
        }
        database.CloseAllDatabaseObjects();
    }
    void cleanup() {
        QCOMPARE(dialogs.texts(), QStringList());
        setCipherDialogs(nullptr, QString());
        env.reset();
    }

    void readsOnlyTheUsersRecordsAndDays() {
        const QByteArray before = fileHash(env->databasePath());
        QCOMPARE(cliAsAnna({u"ls"_s}).result(),
                 u"0|gmail\nБанк\nshop\nGroße  Straße\nİstanbul Bank\n"_s);
        QCOMPARE(cliAsAnna({u"ls"_s, u"Banking"_s}).out, u"Банк\n"_s);
        QCOMPARE(cliAsAnna({u"ls"_s, u"Work"_s}).out, QString());

        QCOMPARE(cliAsAnna({u"show"_s, u"  GMAIL "_s}).result(),
                 u"0|Short Name: gmail\nCategory: Email\nUser Name: anna@example.org\n"
                 u"Password: pw-gmail\nDescription: mail\nNotes:\nfirst\nsecond\n"_s);
        QVERIFY(cliAsAnna({u"show"_s, u"банк"_s}).out.contains(u"Password: пароль <b>\n"_s));
        // Names are matched as the searches match text: full case folding, any spaces.
        QVERIFY(cliAsAnna({u"show"_s, u"GROSSE STRASSE"_s}).out.contains(u"pw-street"_s));
        QVERIFY(cliAsAnna({u"show"_s, u"istanbul\tbank"_s}).out.contains(u"pw-ist"_s));

        // Another user's record is as good as absent.
        Run run = cliAsAnna({u"show"_s, u"bertbank"_s});
        QCOMPARE(run.result(), u"1|"_s);
        QVERIFY(run.err.contains(u"bertbank"_s));

        QCOMPARE(cliAsAnna({u"journal"_s, u"2026-01-15"_s}).result(),
                 u"0|  Snow, with spaces kept  \n"_s);
        QCOMPARE(cliAsAnna({u"journal"_s, u"02/03/2026"_s}).out, u"Early spring.\nTwo lines.\n"_s);
        QCOMPARE(cliAsAnna({u"journal"_s, u"2026-02-01"_s}).code, 1);  // blank
        QCOMPARE(cliAsAnna({u"journal"_s, u"2026-01-20"_s}).code, 1);  // Bert's

        run = cliAsAnna(
            {u"journal-export"_s, u"--to"_s, u"2026-03-02"_s, u"--from"_s, u"2026-01-01"_s});
        QCOMPARE(run.result(),
                 u"0|# Journal, 01/01/2026 to 02/03/2026\n"
                 u"\n## 15/01/2026\n\n  Snow, with spaces kept  \n"
                 u"\n## 02/03/2026\n\nEarly spring.\nTwo lines.\n"_s);
        QCOMPARE(fileHash(env->databasePath()), before);  // nothing was written
    }

    void loginRulesAreTheWindowsRules() {
        const QByteArray before = fileHash(env->databasePath());
        Run run = cli({u"--stdin"_s, u"ls"_s}, "ann\nsecret1\n");
        QCOMPARE(run.code, 1);
        QCOMPARE(run.err, u"The UserName must be more than 3 characters in length\n"_s);
        run = cli({u"--stdin"_s, u"ls"_s}, "anna\n   abc   \n");
        QCOMPARE(run.err, u"The Password must be more than 3 characters in length\n"_s);
        // Wrong password, another user's password, a name differing in letter case and an
        // unknown name are all refused alike, and no account is ever made.
        for (const QByteArray input : {"anna\nsecret2\n", "Anna\nsecret1\n", "carl\nsecret1\n"}) {
            run = cli({u"--stdin"_s, u"ls"_s}, input);
            QCOMPARE(run.result(), u"1|"_s);
            QCOMPARE(run.err, u"Invalid user/password combo.  Please try again.\n"_s);
        }
        run = cli({u"--stdin"_s, u"ls"_s}, "anna\n");  // input ends before the password
        QCOMPARE(run.code, 2);
        QCOMPARE(fileHash(env->databasePath()), before);
        DatabaseAccess database(env->databasePath(), PassPhrase());
        QVERIFY(!VerifyUser(database, UserCheck::USERNAME, EncryptField(u"carl"_s), {}).value());
    }

    void argumentsAndMissingDatabase() {
        Run run = cli({u"--help"_s}, QByteArray());
        QCOMPARE(run.code, 0);
        QVERIFY(run.out.startsWith(u"Usage: keystead-cli"_s));
        for (const QStringList& wrong : QList<QStringList>{
                 {},
                 {u"frobnicate"_s},
                 {u"show"_s},
                 {u"journal"_s, u"31/02/2026"_s},
                 {u"journal-export"_s, u"--from"_s, u"2026-01-01"_s},
                 {u"journal-export"_s, u"--from"_s, u"2026-02-01"_s, u"--to"_s, u"2026-01-01"_s}}) {
            run = cli(wrong);
            QCOMPARE(run.result(), u"2|"_s);
            QVERIFY(run.err.contains(u"--help"_s));
        }
        QVERIFY(QFile::remove(env->databasePath()));
        run = cliAsAnna({u"ls"_s});
        QCOMPARE(run.code, 2);
        QVERIFY(run.err.contains(env->dataFolder()));
        QVERIFY(!QFile::exists(env->databasePath()));  // never made by the companion
    }

    void linksNoWidgets() {
        QProcess ldd;
        ldd.start(u"ldd"_s, {QCoreApplication::applicationDirPath() + u"/keystead-cli"_s});
        QVERIFY(ldd.waitForFinished(10000));
        const QString libraries = QString::fromUtf8(ldd.readAllStandardOutput());
        QVERIFY(libraries.contains(u"libQt6Core"_s));
        QVERIFY(!libraries.contains(u"libQt6Widgets"_s));
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
