// The command-line companion, run as a separate process on a database made here.
#include <QtTest>

#include <sys/stat.h>

#include "CliRun.h"
#include "ProtectedAccount.h"
#include "ScriptedDialogs.h"
#include "TestEnvironment.h"
#include "app/Accounts.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "journal/JournalDate.h"
#include "journal/JournalStore.h"
#include "options/ConversionParts.h"
#include "storage/FileServices.h"
#include "vault/CategoryStore.h"
#include "vault/RecordStore.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

using Run = test::CliRun;

QByteArray fileHash(const QString& path) {
    return QCryptographicHash::hash(test::readBytes(path), QCryptographicHash::Sha256);
}

}  // namespace

class CliTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> env;
    test::ScriptedDialogs dialogs;

    Run cli(const QStringList& arguments, const QByteArray& input = "anna\n secret1 \n") {
        return test::runCli(arguments, input);
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
        QVERIFY(AddCategory(database, anna, u"Travel"_s).ok());
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
        // A category of the user's (own or shared) that holds nothing lists nothing; a name
        // that is none is refused.
        for (const QString& empty : {u"Travel"_s, u"Work"_s}) {
            QCOMPARE(cliAsAnna({u"ls"_s, empty}).result(), u"0|"_s);
        }
        QCOMPARE(cliAsAnna({u"ls"_s, u"Unfiled"_s}).result(),
                 u"0|Große  Straße\nİstanbul Bank\n"_s);
        Run run = cliAsAnna({u"ls"_s, u"Hobbies"_s});
        QCOMPARE(run.result(), u"1|"_s);
        QCOMPARE(run.err, u"You have no category named Hobbies.\n"_s);
        QCOMPARE(cliAsAnna({u"ls"_s, u"banking"_s}).code, 1);  // letter case counts

        // The password only when asked for.
        QCOMPARE(cliAsAnna({u"show"_s, u"  GMAIL "_s}).result(),
                 u"0|Short Name: gmail\nCategory: Email\nUser Name: anna@example.org\n"
                 u"Password: PROTECTED\nDescription: mail\nNotes:\nfirst\nsecond\n"_s);
        QVERIFY(cliAsAnna({u"show"_s, u"банк"_s, u"--show-protected"_s})
                    .out.contains(u"Password: пароль <b>\n"_s));
        QVERIFY(
            cliAsAnna({u"-s"_s, u"show"_s, u"gmail"_s}).out.contains(u"Password: pw-gmail\n"_s));
        QCOMPARE(cliAsAnna({u"show"_s, u"gmail"_s, u"-a"_s, u"Password"_s}).result(),
                 u"0|pw-gmail\n"_s);
        QCOMPARE(cliAsAnna({u"show"_s, u"-a"_s, u"title"_s, u"--attributes=NOTES"_s, u"-a"_s,
                            u"category"_s, u"-a"_s, u"username"_s, u"-a"_s, u"description"_s,
                            u"gmail"_s})
                     .result(),
                 u"0|gmail\nfirst\nsecond\nEmail\nanna@example.org\nmail\n"_s);
        // Names are matched as the searches match text: full case folding, any spaces.
        QVERIFY(cliAsAnna({u"show"_s, u"GROSSE STRASSE"_s, u"-s"_s}).out.contains(u"pw-street"_s));
        QVERIFY(cliAsAnna({u"show"_s, u"istanbul\tbank"_s, u"-s"_s}).out.contains(u"pw-ist"_s));

        // Another user's record is as good as absent.
        run = cliAsAnna({u"show"_s, u"bertbank"_s});
        QCOMPARE(run.result(), u"1|"_s);
        QVERIFY(run.err.contains(u"bertbank"_s));

        QCOMPARE(cliAsAnna({u"journal"_s, u"2026-01-15"_s}).result(),
                 u"0|  Snow, with spaces kept  \n"_s);
        QCOMPARE(cliAsAnna({u"journal"_s, u"02/03/2026"_s}).out, u"Early spring.\nTwo lines.\n"_s);
        QCOMPARE(cliAsAnna({u"journal"_s, u"2026-02-01"_s}).code, 1);  // blank
        QCOMPARE(cliAsAnna({u"journal"_s, u"2026-01-20"_s}).code, 1);  // Bert's

        const QString exported =
            u"0|# Journal, 01/01/2026 to 02/03/2026\n"
            u"\n## 15/01/2026\n\n  Snow, with spaces kept  \n"
            u"\n## 02/03/2026\n\nEarly spring.\nTwo lines.\n"_s;
        QCOMPARE(cliAsAnna({u"journal-export"_s, u"--to"_s, u"2026-03-02"_s, u"--from"_s,
                            u"2026-01-01"_s})
                     .result(),
                 exported);
        QCOMPARE(
            cliAsAnna({u"journal-export"_s, u"--from=2026-01-01"_s, u"--to=02/03/2026"_s}).result(),
            exported);
        QCOMPARE(fileHash(env->databasePath()), before);  // nothing was written
    }

    // A protected account opens with its pass phrase as typed (spaces kept) and reads its
    // records; its password and a wrong pass phrase are refused as a wrong password.
    void protectedAccountOpensWithItsPassPhrase() {
        {
            DatabaseAccess database(env->databasePath(), PassPhrase());
            const ProtectionOutcome outcome =
                protectAccount(database, EncryptField(u"bert"_s), u"secret2"_s, u" tea at four "_s,
                               test::cheapKdf(), accountConversionParts(), [] { return true; });
            QCOMPARE(outcome.result, ProtectionOutcome::Result::Protected);
            const Account& bert = outcome.account;
            RecordStore store(database);
            QCOMPARE(store
                         .CreateRecord(
                             bert, {u"sealed one"_s, u"b2"_s, u"pw-sealed"_s, {}, {}, u"Email"_s})
                         .outcome,
                     SaveOutcome::Saved);
            database.CloseAllDatabaseObjects();
        }
        QCOMPARE(cli({u"--stdin"_s, u"ls"_s}, "bert\n tea at four \n").result(),
                 u"0|bertbank\nsealed one\n"_s);
        QVERIFY(cli({u"--stdin"_s, u"-s"_s, u"show"_s, u"SEALED ONE"_s}, "bert\n tea at four \n")
                    .out.contains(u"Password: pw-sealed\n"_s));
        for (const QByteArray& wrong :
             {QByteArray("bert\ntea at four\n"), QByteArray("bert\nsecret2\n")}) {
            const Run run = cli({u"--stdin"_s, u"ls"_s}, wrong);
            QCOMPARE(run.code, 1);
            QCOMPARE(run.err, u"Invalid user/password combo.  Please try again.\n"_s);
        }
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
        run = cli({u"--version"_s}, QByteArray());
        QCOMPARE(run.result(), u"0|keystead-cli 1.0\n"_s);
        for (const QStringList& wrong : QList<QStringList>{
                 {},
                 {u"frobnicate"_s},
                 {u"show"_s},
                 {u"journal"_s, u"31/02/2026"_s},
                 {u"journal-export"_s, u"--from"_s, u"2026-01-01"_s},
                 {u"journal-export"_s, u"--from"_s, u"2026-02-01"_s, u"--to"_s, u"2026-01-01"_s},
                 {u"journal-export"_s, u"--from=2026-01-01"_s, u"--to=someday"_s},
                 {u"journal"_s, u"today"_s, u"--from"_s, u"today"_s},
                 {u"show"_s, u"-a"_s, u"url"_s, u"gmail"_s},
                 {u"ls"_s, u"-s"_s},
                 {u"ls"_s, u"--data-folder"_s},
                 {u"--bogus"_s, u"ls"_s}}) {
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

    void storedControlCharactersAndMarkupArePrintedAsText() {
        {
            DatabaseAccess database(env->databasePath(), PassPhrase());
            const QString anna = EncryptField(u"anna"_s);
            QCOMPARE(RecordStore(database)
                         .CreateRecord(anna,
                                       {u"evil\x1b]0;owned\x07"_s, u"u\u009b31m"_s, u"p\x7f"_s,
                                        u"two\nlines"_s, u"kept\nline\r\x1b[2J\tend"_s, u"Email"_s})
                         .outcome,
                     SaveOutcome::Saved);
            QVERIFY(writeJournalEntry(database, anna, u"10/01/2026"_s,
                                      storedJournalValue(u"<b>bold</b> & \x1b[31mred\nnext"_s),
                                      QDate(2026, 12, 7))
                        .ok());
            database.CloseAllDatabaseObjects();
        }
        QCOMPARE(cliAsAnna({u"ls"_s, u"Email"_s}).out, u"gmail\nevil\\e]0;owned\\x07\n"_s);
        QCOMPARE(cliAsAnna({u"show"_s, u"-s"_s, u"EVIL\x1b]0;OWNED\x07"_s}).result(),
                 u"0|Short Name: evil\\e]0;owned\\x07\nCategory: Email\nUser Name: u\\u009b31m\n"
                 u"Password: p\\x7f\nDescription: two\\nlines\n"
                 u"Notes:\nkept\nline\\r\\e[2J\tend\n"_s);
        // A name typed that is not there is quoted back as text too.
        QCOMPARE(cliAsAnna({u"show"_s, u"gone\x1b[2J"_s}).err,
                 u"You have no record named gone\\e[2J.\n"_s);
        QCOMPARE(cliAsAnna({u"journal"_s, u"2026-01-10"_s}).out,
                 u"<b>bold</b> & \\e[31mred\nnext\n"_s);
        QCOMPARE(cliAsAnna({u"journal-export"_s, u"--from"_s, u"2026-01-10"_s, u"--to"_s,
                            u"2026-01-10"_s})
                     .out,
                 u"# Journal, 10/01/2026 to 10/01/2026\n\n## 10/01/2026\n\n"
                 u"&lt;b&gt;bold&lt;/b&gt; &amp; \\e[31mred\nnext\n"_s);
    }

    void dataFolderOnTheCommandLineAndItsPrivacy() {
        const QString other = env->root() + u"elsewhere/vault"_s;
        QVERIFY(QDir().mkpath(other));
        QVERIFY(QFile::rename(env->databasePath(), other + u"/Data.mdb"_s));
        QCOMPARE(cliAsAnna({u"ls"_s}).code, 2);
        QCOMPARE(cliAsAnna({u"--data-folder"_s, other, u"ls"_s, u"Banking"_s}).result(),
                 u"0|Банк\n"_s);
        QCOMPARE(cliAsAnna({u"ls"_s, u"--data-folder="_s + other + u'/', u"Banking"_s}).code, 0);
        // A folder or database that other accounts may change is never read.
        const auto setMode = [](const QString& path, mode_t mode) {
            return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
        };
        for (const auto& [path, mode, advice] :
             {std::tuple{other, mode_t(0777), u"chmod 700"_s},
              std::tuple{other + u"/Data.mdb"_s, mode_t(0664), u"chmod 600"_s}}) {
            QVERIFY(setMode(path, mode));
            const Run run = cliAsAnna({u"--data-folder"_s, other, u"ls"_s});
            QCOMPARE(run.result(), u"2|"_s);
            QVERIFY2(run.err.startsWith(u"Keystead cannot use the data folder "_s + other +
                                        u"/.\n\n"_s + path),
                     qPrintable(run.err));
            QVERIFY2(run.err.contains(advice), qPrintable(run.err));
            QCOMPARE(test::fileMode(path), int(mode));  // the companion changes nothing
            QVERIFY(setMode(path, QFileInfo(path).isDir() ? 0700 : 0600));
        }
    }

    // A database of an older build needs an upgrade, which only the window program makes: the
    // companion opens it read-only, says so and leaves it as it was.
    void olderDatabaseIsLeftForTheProgramToUpgrade() {
        {
            Result<Connection> old =
                Connection::openFile(env->databasePath(), PassPhrase().toUtf8(), false);
            QVERIFY(old->exec(u"DROP INDEX LoginsSearch; DROP INDEX UsersByName; CREATE INDEX "
                              "UsersByName ON Users (UserName)"_s)
                        .ok());
        }
        const QByteArray before = fileHash(env->databasePath());
        const Run run = cliAsAnna({u"ls"_s});
        QCOMPARE(run.result(), u"2|"_s);
        QCOMPARE(run.err,
                 u"The database was written by an older version of Keystead and must be "
                 "brought up to date first. Start Keystead once, then try again.\n"_s);
        QCOMPARE(fileHash(env->databasePath()), before);
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
