// "Import Records..." and "Export Records..." of the Password Vault menu, driven end to end:
// the format told by the header, the mapping step of an unknown file, the counts asked about
// before anything is written, one transaction with a checked copy of the database kept first,
// refusals of malformed files with their line, a protected account's values sealed, and the
// export's warning and private file.
#include <QtTest>
#include <QtWidgets>

#include "GuiDriver.h"
#include "ProtectedAccount.h"
#include "Session.h"
#include "StoredBytes.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "interchange/CsvMessages.h"
#include "storage/Backups.h"
#include "vault/CategoryStore.h"
#include "vault/InterchangeTexts.h"
#include "vault/RecordBatch.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

const QString kLongNote = u"Ω <b>markup</b> & \"quotes\", commas; "_s.repeated(30);

// A KeePassXC export with hostile values: a quoted comma, doubled quotes, a multi-line note,
// other scripts, spaces around, an empty field, nested groups.
QByteArray keePassFile() {
    return "\xEF\xBB\xBF\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\",\"TOTP\","
           "\"Icon\",\"Last Modified\",\"Created\"\r\n"
           "\"Root/Internet/Mail\",\"  Почта, \"\"work\"\"  \",\" анна@example.org \","
           "\"p,w\"\"1\",\"https://mail.example.org\",\"line one\r\nline "
           "two\",\"\",\"0\",\"\",\"\"\r\n"
           "\"Root\",\"Bank 銀行\",\"\",\"<b>pw</b>\",\"\",\""_ba +
           kLongNote.toUtf8().replace("\"", "\"\"") +
           "\",\"\",\"0\",\"\",\"\"\r\n"
           "\"Root/Work\",\"Mail\",\"me\",\"x\",\"\",\"\",\"\",\"0\",\"\",\"\"\r\n"_ba;
}

QByteArray unknownFile() {
    return "Site;Login;Secret\n"_ba.replace(';', ',') +
           "Forum of things,bob,s3cret\nGit host,\"bob, again\",\"two\nlines\"\n"_ba;
}

}  // namespace

class RecordTransferGuiTest : public test::SessionTest {
    Q_OBJECT

    QTemporaryDir files;

    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = files.filePath(name);
        QFile out(path);
        [&] { QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size()); }();
        return path;
    }
    QAction* item(const QString& name) { return main()->findChild<QAction*>(name); }
    QStringList listed() {
        return test::itemTexts(test::control<QListView>(main(), u"lstPasswords"_s));
    }
    // The account's records as the store reads them: short name, user name, password, notes,
    // category.
    QList<QStringList> stored() {
        DatabaseAccess database(session->env.databasePath(), PassPhrase());
        const Result<QList<StoredRecord>> records =
            readAccountRecords(database, state().CurrentAccount);
        QList<QStringList> rows;
        for (const StoredRecord& record : records.value()) {
            const RecordFields& f = record.fields;
            rows.append({f.shortName, f.userName, f.password, f.notes, f.category});
        }
        return rows;
    }
    int backups() { return static_cast<int>(listBackups(state().DataFolder).size()); }

private Q_SLOTS:
    void init() { startSession(); }
    void cleanup() { endSession(); }

    void importsAKeePassXcFileAfterTheCounts() {
        QVERIFY(item(u"mnuImportRecords"_s) != nullptr);
        // A record of that name is there already: the imported one is renamed, visibly.
        DatabaseAccess database(session->env.databasePath(), PassPhrase());
        QCOMPARE(createRecords(database, state().CurrentAccount, {{u"Mail"_s, {}, {}, {}, {}, {}}})
                     .created,
                 1);
        const QString path = file(u"keepass.csv"_s, keePassFile());
        dialogs().file(path).answer(false);
        item(u"mnuImportRecords"_s)->trigger();
        QCOMPARE(dialogs().shown.size(), 1);
        const QString question = dialogs().shown[0].text;
        QVERIFY2(question.startsWith(u"keepass.csv (KeePassXC): 2 new, 1 renamed, 0 skipped."_s),
                 qPrintable(question));
        QVERIFY(question.contains(u"  Mail -> Mail (2)"_s));
        // No: nothing is written, not even the copy.
        QCOMPARE(stored().size(), 1);
        QCOMPARE(backups(), 0);

        dialogs().clear();
        dialogs().file(path).answer(true);
        item(u"mnuImportRecords"_s)->trigger();
        QCOMPARE(dialogs().texts().last(),
                 u"Imported 3 records (2 new, 1 renamed, 0 skipped). New "
                 "categories: 1."_s);
        QCOMPARE(backups(), 1);
        const QList<QStringList> rows = stored();
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[1], (QStringList{u"Почта, \"work\""_s, u" анна@example.org "_s, u"p,w\"1"_s,
                                       u"line one\nline two\n\n--- More fields ---\nURL: "
                                       "https://mail.example.org"_s,
                                       u"Mail"_s}));
        QCOMPARE(rows[2],
                 (QStringList{u"Bank 銀行"_s, {}, u"<b>pw</b>"_s, kLongNote, u"Unfiled"_s}));
        QCOMPARE(rows[3].first(), u"Mail (2)"_s);
        QCOMPARE(rows[3].last(), u"Work"_s);  // a shared category: none is added
        // The lists were filled again.
        QVERIFY(listed().contains(u"Mail (2)"_s));
        QVERIFY(test::itemTexts(test::control<QComboBox>(main(), u"cmbCategories"_s))
                    .contains(u"Mail"_s));

        // The same file again adds nothing.
        dialogs().clear();
        dialogs().file(path);
        item(u"mnuImportRecords"_s)->trigger();
        QCOMPARE(dialogs().texts(),
                 QStringList{u"The file keepass.csv holds no record to import (0 new, 0 renamed, 3 "
                             "skipped: 3 already in the vault).\r\rNothing was imported."_s});
        QCOMPARE(stored().size(), 4);
    }

    void aBatchIsWrittenWholeOrNotAtAll() {
        DatabaseAccess database(session->env.databasePath(), PassPhrase());
        const Account& account = state().CurrentAccount;
        QCOMPARE(createRecords(database, account, {{u"Taken name"_s, {}, {}, {}, {}, {}}}).created,
                 1);
        const RecordFields fine{u"Fine record"_s, {}, {}, {}, {}, u"New place"_s};
        // A name taken in another letter case, one repeated in the batch, one too short: the
        // batch stops at it, and nothing of it stays, neither records nor categories.
        for (const QString& refused : {u" TAKEN NAME "_s, u"fine RECORD"_s, u" abc "_s}) {
            const BatchSaveResult result = createRecords(
                database, account, {fine, {refused, {}, {}, {}, {}, u"Other place"_s}});
            QCOMPARE(result.refusedAt, 1);
            QVERIFY(result.outcome != SaveOutcome::Saved);
            QCOMPARE(stored().size(), 1);
            QVERIFY(!visibleCategories(database, account).value().contains(u"New place"_s));
        }
    }

    void unknownColumnsAreMappedWithAPreview() {
        const QString path = file(u"other.csv"_s, unknownFile());
        auto ran = test::whenModal(u"frmImportMapping"_s, [&](QWidget* window) {
            auto* table = test::control<QTableWidget>(window, u"tblPreview"_s);
            QCOMPARE(table->rowCount(), 2);
            // A line break shows as a symbol, on one line.
            QVERIFY(table->item(1, 2)->text().startsWith(u"two"_s));
            QVERIFY(!table->item(1, 2)->text().contains(u'\n'));
            QCOMPARE(table->item(0, 0)->text(), u"Forum of things"_s);
            auto* name = test::control<QComboBox>(window, u"cmbMapShortName"_s);
            auto* user = test::control<QComboBox>(window, u"cmbMapUserName"_s);
            auto* password = test::control<QComboBox>(window, u"cmbMapPassword"_s);
            name->setCurrentIndex(0);
            user->setCurrentIndex(0);
            // Nothing names the records: the import cannot go on.
            QVERIFY(!test::control<QPushButton>(window, u"cmdMappingImport"_s)->isEnabled());
            name->setCurrentText(u"Site"_s);
            user->setCurrentText(u"Login"_s);
            password->setCurrentText(u"Secret"_s);
            QVERIFY(table->horizontalHeaderItem(0)->text().endsWith(u"-> Short Name"_s));
            test::press(window, u"cmdMappingImport"_s);
        });
        dialogs().file(path).answer(true);
        item(u"mnuImportRecords"_s)->trigger();
        QVERIFY(*ran);
        QVERIFY(dialogs().shown[0].text.startsWith(
            u"other.csv (Other CSV): 2 new, 0 renamed, 0 skipped."_s));
        QCOMPARE(stored(),
                 (QList<QStringList>{
                     {u"Forum of things"_s, u"bob"_s, u"s3cret"_s, {}, u"Unfiled"_s},
                     {u"Git host"_s, u"bob, again"_s, u"two\nlines"_s, {}, u"Unfiled"_s}}));

        // Cancelled at the mapping: nothing is asked or written.
        dialogs().clear();
        auto cancelled = test::whenModal(u"frmImportMapping"_s, [](QWidget* window) {
            test::press(window, u"cmdMappingCancel"_s);
        });
        dialogs().file(path);
        item(u"mnuImportRecords"_s)->trigger();
        QVERIFY(*cancelled);
        QCOMPARE(dialogs().shown.size(), 0);
        QCOMPARE(stored().size(), 2);
    }

    void malformedFilesAreRefusedWithTheirLine() {
        const struct {
            QByteArray bytes;
            CsvError error;
        } cases[] = {
            {"Title,Username\nfine,one\n\"open,two\n"_ba, csvmsg::unterminatedQuote(3, 1)},
            {"Title,Username\nfine,one\nthree,fields,here\n"_ba, csvmsg::tooManyFields(3, 2)},
            {{}, csvmsg::empty()},
        };
        for (const auto& c : cases) {
            dialogs().clear();
            dialogs().file(file(u"bad.csv"_s, c.bytes));
            item(u"mnuImportRecords"_s)->trigger();
            QCOMPARE(dialogs().texts(), QStringList{csvRefusedText(u"bad.csv"_s, c.error)});
            QCOMPARE(dialogs().shown[0].icon, MessageIcon::Exclamation);
        }
        QVERIFY(dialogs().texts()[0].contains(u"Line 1: the file is empty."_s));
        QCOMPARE(stored().size(), 0);
        QCOMPARE(backups(), 0);
    }

    void aProtectedAccountImportsSealedValues() {
        DatabaseAccess database(session->env.databasePath(), PassPhrase());
        state().CurrentAccount = test::protectedAccount(database, u"anna"_s);
        dialogs().file(file(u"keepass.csv"_s, keePassFile())).answer(true);
        item(u"mnuImportRecords"_s)->trigger();
        QCOMPARE(stored().size(), 3);
        QCOMPARE(stored()[0][0], u"Почта, \"work\""_s);
        QStringList found;
        for (const QString& value :
             {u"Почта, \"work\""_s, u"p,w\"1"_s, u"Bank 銀行"_s, kLongNote, u"Mail"_s}) {
            for (const QString& form : {value, EncryptField(value)}) {
                if (test::databaseHoldsText(session->env.databasePath(), form)) {
                    found << form.left(40);
                }
            }
        }
        QCOMPARE(found, QStringList());
    }

    void exportWarnsAndWritesAPrivateFile() {
        DatabaseAccess database(session->env.databasePath(), PassPhrase());
        QCOMPARE(createRecords(database, state().CurrentAccount,
                               {{u"Mail, \"home\""_s, u"anna"_s, u"p\"w"_s, u"desc"_s,
                                 u"two\nlines"_s, u"Work"_s}})
                     .created,
                 1);
        const QString path = files.filePath(u"out.csv"_s);
        // No to the warning: no file is chosen or written.
        dialogs().answer(false);
        item(u"mnuExportRecords"_s)->trigger();
        QVERIFY(dialogs().shown[0].defaultNo);
        QVERIFY(!QFile::exists(path));

        dialogs().clear();
        dialogs().answer(true).file(path);
        item(u"mnuExportRecords"_s)->trigger();
        QCOMPARE(dialogs().texts().last(), exportDoneText(1, path));
        QFile written(path);
        QCOMPARE(written.permissions() & 0x0077, QFileDevice::Permissions());
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(),
                 "\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\",\"TOTP\","
                 "\"Icon\",\"Last Modified\",\"Created\"\n"
                 "\"Root/Work\",\"Mail, \"\"home\"\"\",\"anna\",\"p\"\"w\",\"\",\"two\nlines\n\n"
                 "--- More fields ---\nDescription: desc\",\"\",\"0\",\"\",\"\"\n"_ba);
    }
};

QTEST_MAIN(RecordTransferGuiTest)
#include "tst_record_transfer_gui.moc"
