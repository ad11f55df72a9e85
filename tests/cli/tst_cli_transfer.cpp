// The companion's commands that take records in and out: import-csv (no question beyond the
// login, the counts printed, refused while the window program holds the data folder),
// export-csv and journal-export as JSON.
#include <QtTest>

#include "CliRun.h"
#include "ScriptedDialogs.h"
#include "TestEnvironment.h"
#include "app/Accounts.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "journal/JournalDate.h"
#include "journal/JournalStore.h"
#include "storage/Backups.h"
#include "storage/DataFolderLock.h"
#include "storage/FileServices.h"
#include "storage/SettingsFile.h"
#include "vault/RecordBatch.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

using test::CliRun;

const QByteArray kKeePassCsv =
    "\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\",\"TOTP\",\"Icon\","
    "\"Last Modified\",\"Created\"\n"
    "\"Root/Internet\",\"Почта, \"\"home\"\"\",\"анна\",\"p,w\",\"https://mail.example\","
    "\"two\nlines\",\"\",\"0\",\"\",\"\"\n"
    "\"Root\",\"gmail\",\"anna\",\"x\",\"\",\"\",\"\",\"0\",\"\",\"\"\n"_ba;

}  // namespace

class CliTransferTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> env;
    test::ScriptedDialogs dialogs;

    CliRun cli(const QStringList& arguments, const QByteArray& more = {}) {
        return test::runCli(QStringList{u"--stdin"_s} + arguments, "anna\nsecret1\n" + more);
    }
    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = env->root() + name;
        QFile out(path);
        [&] { QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size()); }();
        return path;
    }
    QStringList names() {
        DatabaseAccess database(env->databasePath(), PassPhrase());
        const Result<QList<StoredRecord>> records =
            readAccountRecords(database, EncryptField(u"anna"_s));
        QStringList found;
        for (const StoredRecord& record : records.value()) {
            found.append(record.fields.shortName);
        }
        return found;
    }

private Q_SLOTS:
    void init() {
        env = std::make_unique<test::TestEnvironment>();
        setCipherDialogs(&dialogs, u"Keystead"_s);
        DatabaseAccess database(env->freshDatabase(), PassPhrase());
        QVERIFY(CreateUser(database, u"anna"_s, u"secret1"_s).ok());
        QCOMPARE(createRecords(database, EncryptField(u"anna"_s),
                               {{u"gmail"_s, u"anna"_s, u"old"_s, {}, {}, {}}})
                     .created,
                 1);
        database.CloseAllDatabaseObjects();
    }
    void cleanup() {
        QCOMPARE(dialogs.texts(), QStringList());
        setCipherDialogs(nullptr, QString());
        env.reset();
    }

    void importsWithoutAQuestionAndPrintsTheCounts() {
        const QString path = file(u"keepass.csv"_s, kKeePassCsv);
        CliRun run = cli({u"import-csv"_s, path});
        QCOMPARE(run.code, 0);
        QCOMPARE(run.out, u"Imported 2 records (1 new, 1 renamed, 0 skipped).\n"_s);
        QCOMPARE(names(), (QStringList{u"gmail"_s, u"Почта, \"home\""_s, u"gmail (2)"_s}));
        QCOMPARE(listBackups(env->dataFolder()).size(), 1);
        // Again: nothing new, refused.
        run = cli({u"import-csv"_s, path});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.startsWith(u"The file keepass.csv holds no record to import"_s),
                 qPrintable(run.err));
        QCOMPARE(names().size(), 3);

        // A malformed file: its line, and nothing written.
        run = cli({u"import-csv"_s, file(u"bad.csv"_s, "Title,Username\na,b\n\"c,d\n"_ba)});
        QCOMPARE(run.code, 1);
        QCOMPARE(run.err,
                 u"The file bad.csv cannot be imported.\n\nLine 3: the quote that opens "
                 "field 1 here is never closed.\n\nNothing was imported.\n"_s);
        QCOMPARE(names().size(), 3);
    }

    void writesOnlyWhileTheWindowProgramIsAway() {
        DataFolderLock window(env->dataFolder());
        QCOMPARE(window.tryLock(0), DataFolderLock::Outcome::Taken);
        const QString path = file(u"keepass.csv"_s, kKeePassCsv);
        CliRun run = cli({u"import-csv"_s, path});
        QCOMPARE(run.code, 1);
        QCOMPARE(run.err, u"Keystead is running on the data folder "_s + env->dataFolder() +
                              u". Quit it first, then try again.\n"_s);
        QCOMPARE(names(), QStringList{u"gmail"_s});
        // Reading and exporting go on.
        const QString out = env->root() + u"out.csv"_s;
        run = cli({u"export-csv"_s, out});
        QCOMPARE(run.code, 0);
        QCOMPARE(run.out, u"Exported 1 records to %1.\n"_s.arg(out));
        QCOMPARE(test::fileMode(out), 0600);
        QCOMPARE(test::readBytes(out),
                 "\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\",\"TOTP\","
                 "\"Icon\",\"Last Modified\",\"Created\"\n"
                 "\"Root/Unfiled\",\"gmail\",\"anna\",\"old\",\"\",\"\",\"\",\"0\",\"\",\"\"\n"_ba);
        window.unlock();
        QCOMPARE(cli({u"import-csv"_s, path}).code, 0);
        QCOMPARE(names().size(), 3);
    }

    void writingCommandsKeepTheEditorsRules() {
        CliRun run = cli({u"add"_s, u"  Ключ <b>密码</b>  "_s, u"-u"_s, u" анна "_s, u"-c"_s,
                          u"Reisen"_s, u"--notes"_s, u"line one\nline two"_s, u"-p"_s},
                         "p\"w, \x1b[0m\n");
        QCOMPARE(run.code, 0);
        QCOMPARE(run.out, u"Record was successfully created.\n"_s);
        run = cli({u"show"_s, u"--json"_s, u"-s"_s, u"ключ <B>密码</B>"_s});
        QCOMPARE(run.code, 0);
        QCOMPARE(QJsonDocument::fromJson(run.out.toUtf8()).object(),
                 (QJsonObject{{u"shortName"_s, u"Ключ <b>密码</b>"_s},
                              {u"userName"_s, u" анна "_s},
                              {u"password"_s, u"p\"w, \x1b[0m"_s},
                              {u"description"_s, u""_s},
                              {u"notes"_s, u"line one\nline two"_s},
                              {u"category"_s, u"Reisen"_s}}));
        QVERIFY(!run.out.contains(QChar(0x1b)));
        // The editor's refusals, in its words.
        run = cli({u"add"_s, u"GMAIL"_s});
        QCOMPARE(run.code, 1);
        QCOMPARE(run.err,
                 u"The 'Short Name' entered is already in use.  Please enter a "
                 "different 'Short Name'.\n"_s);
        run = cli({u"add"_s, u"abc"_s});
        QCOMPARE(run.code, 1);
        QVERIFY(run.err.startsWith(u"The 'Short Name' field was left blank"_s));
        // edit changes only what is given.
        QCOMPARE(cli({u"edit"_s, u"gmail"_s, u"-t"_s, u"Google mail"_s, u"-c"_s, u"Email"_s}).code,
                 0);
        run = cli({u"ls"_s, u"--json"_s});
        QCOMPARE(QJsonDocument::fromJson(run.out.toUtf8()).array(),
                 (QJsonArray{
                     QJsonObject{{u"shortName"_s, u"Google mail"_s}, {u"category"_s, u"Email"_s}},
                     QJsonObject{{u"shortName"_s, u"Ключ <b>密码</b>"_s},
                                 {u"category"_s, u"Reisen"_s}}}));
        QCOMPARE(cli({u"show"_s, u"-a"_s, u"password"_s, u"Google mail"_s}).out, u"old\n"_s);
        run = cli({u"rm"_s, u"google MAIL"_s});
        QCOMPARE(run.result(), u"0|Deleted the record Google mail.\n"_s);
        QCOMPARE(cli({u"rm"_s, u"Google mail"_s}).code, 1);
        QCOMPARE(names(), QStringList{u"Ключ <b>密码</b>"_s});

        // journal-add: the rest of standard input, for a day without an entry.
        run = cli({u"journal-add"_s, u"2026-03-05"_s}, "Dear diary,\n<i>two</i> lines\n");
        QCOMPARE(run.result(), u"0|Record was successfully created.\n"_s);
        run = cli({u"journal"_s, u"--json"_s, u"05/03/2026"_s});
        QCOMPARE(QJsonDocument::fromJson(run.out.toUtf8()).object(),
                 (QJsonObject{{u"day"_s, u"2026-03-05"_s},
                              {u"text"_s, u"Dear diary,\n<i>two</i> lines"_s}}));
        QCOMPARE(cli({u"journal-add"_s, u"2026-03-05"_s}, "again\n").code, 1);
        run = cli({u"journal-add"_s, u"2026-03-06"_s}, "abc\n");
        QCOMPARE(run.result(), u"1|"_s);
        QCOMPARE(run.err,
                 u"Your Journal entry is too short to be encrypted. It was not saved.\n"_s);
        // Options of another command are refused.
        QCOMPARE(cli({u"rm"_s, u"-u"_s, u"x"_s, u"name"_s}).code, 2);
        QCOMPARE(cli({u"import-csv"_s, u"--json"_s, u"x.csv"_s}).code, 2);
    }

    // A save or deletion keeps as much history as Options set for the data folder.
    void writesKeepTheHistoryOptionsSet() {
        const auto kept = [this](const QString& which) {
            DatabaseAccess database(env->databasePath(), PassPhrase());
            return test::countOf(database.open().value(),
                                 u"SELECT count(*) FROM LoginsHistory WHERE Deleted = "_s + which);
        };
        QVERIFY(writeHistorySettings(env->dataFolder(), {2, 30}));
        for (const QString& user : {u"one"_s, u"two"_s, u"three"_s}) {
            QCOMPARE(cli({u"edit"_s, u"gmail"_s, u"-u"_s, user}).code, 0);
        }
        QCOMPARE(kept(u"0"_s), 2);
        // None kept: the record's versions go at its next save; a deleted record at once.
        QVERIFY(writeHistorySettings(env->dataFolder(), {0, 0}));
        QCOMPARE(cli({u"edit"_s, u"gmail"_s, u"-u"_s, u"four"_s}).code, 0);
        QCOMPARE(kept(u"0"_s), 0);
        QCOMPARE(cli({u"rm"_s, u"gmail"_s}).code, 0);
        QCOMPARE(kept(u"1"_s), 0);
    }

    void journalExportsAsJson() {
        {
            DatabaseAccess database(env->databasePath(), PassPhrase());
            const QString anna = EncryptField(u"anna"_s);
            for (const auto& [day, text] :
                 {std::pair{QDate(2026, 3, 2), u"Spring <b>&</b>\nline \"two\""_s},
                  std::pair{QDate(2026, 1, 15), u"Snow, \x1b[31m red"_s},
                  std::pair{QDate(2025, 1, 15), u"Outside the range"_s}}) {
                QVERIFY(writeJournalEntry(database, anna, journalDateText(day),
                                          storedJournalValue(text), QDate(2026, 12, 7))
                            .ok());
            }
        }
        const CliRun run = cli({u"journal-export"_s, u"--from"_s, u"2026-01-01"_s, u"--to"_s,
                                u"2026-12-31"_s, u"--format"_s, u"json"_s});
        QCOMPARE(run.code, 0);
        const QJsonArray days = QJsonDocument::fromJson(run.out.toUtf8()).array();
        QCOMPARE(days.size(), 2);
        QCOMPARE(days[0].toObject().value(u"day"_s).toString(), u"2026-01-15"_s);
        QCOMPARE(days[0].toObject().value(u"text"_s).toString(), u"Snow, \x1b[31m red"_s);
        QCOMPARE(days[1].toObject().value(u"text"_s).toString(),
                 u"Spring <b>&</b>\nline \"two\""_s);
        QCOMPARE(days[1].toObject().value(u"created"_s).toString(), u"2026-12-07"_s);
        QCOMPARE(days[1].toObject().value(u"modified"_s).toString(), u"2026-12-07"_s);
        QVERIFY(!run.out.contains(QChar(0x1b)));  // escaped by JSON, never raw
        QCOMPARE(cli({u"journal-export"_s, u"--from"_s, u"2026-01-01"_s, u"--to"_s, u"2026-12-31"_s,
                      u"--format"_s, u"xml"_s})
                     .code,
                 2);
    }
};

QTEST_GUILESS_MAIN(CliTransferTest)
#include "tst_cli_transfer.moc"
