// Formats told apart by their header, rows mapped to records, the labelled block of the notes,
// the import plan's short names and the KeePassXC CSV written back.
#include <QtTest>

#include "CsvTables.h"
#include "interchange/CsvReader.h"
#include "interchange/ImportPlan.h"
#include "interchange/KeePassCsvWriter.h"
#include "interchange/LabelledNotes.h"
#include "interchange/RecordFormats.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

using test::tableOf;

QList<MappedRow> mapped(const QByteArray& bytes) {
    const CsvTable table = tableOf(bytes);
    return mapRows(table, detectFormat(table.header), proposeMapping(table.header));
}

const QByteArray kKeePassHeader =
    "\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\",\"TOTP\",\"Icon\","
    "\"Last Modified\",\"Created\"\n"_ba;

MappedRow row(const QString& title, const QString& url = {}, const QString& user = {}) {
    MappedRow r;
    r.title = title;
    r.url = url;
    r.record.userName = user;
    r.record.password = u"pw"_s;
    r.record.category = u"Unfiled"_s;
    return r;
}

}  // namespace

class RecordFormatsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void detectsTheFormatByItsExactColumnSet() {
        const auto format = [](const char* header) {
            return detectFormat(QString::fromLatin1(header).split(u','));
        };
        QCOMPARE(format("Group,Title,Username,Password,URL,Notes,TOTP,Icon,Last Modified,Created"),
                 CsvFormat::KeePassXC);
        QCOMPARE(format("title,GROUP,password,username,notes,url"), CsvFormat::KeePassXC);
        QCOMPARE(format("Group,Title,Username,Password,URL,Tags,Notes,TOTP"), CsvFormat::KeePassXC);
        QCOMPARE(format("Group,Title,Username,Password,URL,Notes,Colour"), CsvFormat::Other);
        QCOMPARE(format("folder,favorite,type,name,notes,fields,reprompt,login_uri,login_username,"
                        "login_password,login_totp"),
                 CsvFormat::Bitwarden);
        QCOMPARE(format("collections,type,name,notes,fields,login_uri,login_username,"
                        "login_password,login_totp"),
                 CsvFormat::Bitwarden);
        QCOMPARE(format("folder,collections,type,name,notes,fields,login_uri,login_username,"
                        "login_password,login_totp"),
                 CsvFormat::Other);
        QCOMPARE(format("url,username,password,httpRealm,formActionOrigin,guid,timeCreated,"
                        "timeLastUsed,timePasswordChanged"),
                 CsvFormat::Firefox);
        QCOMPARE(format("url,username,password,httpRealm,formActionOrigin,guid"), CsvFormat::Other);
        QCOMPARE(format("name,url,username,password"), CsvFormat::Chromium);
        QCOMPARE(format("name,url,username,password,note"), CsvFormat::Chromium);
        QCOMPARE(format("name,url,username"), CsvFormat::Other);

        // Another tool's columns by their usual names, the likelier name first ("Name" before
        // "Account"); the user may change the guess.
        const QStringList header{u"Account"_s,  u"Login Name"_s, u"Password"_s, u"Web Site"_s,
                                 u"Comments"_s, u"Extra"_s,      u"Name"_s};
        const ColumnMapping mapping = proposeMapping(header);
        QCOMPARE(mapping.columns, (std::array<int, kRecordParts>{6, 1, 2, 3, 4, -1, -1, -1}));
        QCOMPARE(previewOf(tableOf("a,b\n1,2\n3,4\n5,6\n"_ba), 2).rows,
                 (QList<QStringList>{{u"1"_s, u"2"_s}, {u"3"_s, u"4"_s}}));
    }

    void mapsKeePassXcRows() {
        const QList<MappedRow> rows = mapped(
            kKeePassHeader +
            "\"Passwords/Internet/Mail\",\"Mail\",\"me\",\"p,\"\"w\",\"https://mail.example\","
            "\"own\nnotes\n\n--- More fields ---\nDescription: two\n  lines\nPIN: 12\","
            "\"otpauth://totp/x?secret=AB\",\"12\",\"2024-01-01T00:00:00Z\",\"\"\n"
            "\"Passwords\",\"Top\",\"\",\"\",\"\",\"\",\"\",\"0\",\"\",\"\"\n"
            "\"Passwords/Recycle Bin\",\"Gone\",\"u\",\"\",\"\",\"\",\"\",\"0\",\"\",\"\"\n"
            "\"Passwords/a/b\",\"Slash\",\"\",\"\",\"\",\"--- More fields ---\nCategory: a/b\","
            "\"\",\"0\",\"\",\"\"\n"
            "\"Passwords/x/b\",\"Moved\",\"\",\"\",\"\",\"--- More fields ---\nCategory: a/c\","
            "\"\",\"0\",\"\",\"\"\n"
            "\"Passwords/Empty\",\"\",\"\",\"\",\"\",\"\",\"\",\"0\",\"\",\"\"\n"_ba);
        QCOMPARE(rows.size(), 6);
        QCOMPARE(rows[0].title, u"Mail"_s);
        QCOMPARE(rows[0].line, 2);
        QCOMPARE(rows[0].url, u"https://mail.example"_s);
        QCOMPARE(rows[0].record,
                 (PlainRecord{QString(), u"me"_s, u"p,\"w"_s, u"two\nlines"_s,
                              u"own\nnotes\n\n--- More fields ---\nURL: https://mail.example\n"
                              "TOTP: otpauth://totp/x?secret=AB\nPIN: 12"_s,
                              u"Mail"_s}));
        QCOMPARE(rows[1].record.category, u"Unfiled"_s);  // the root group, whatever its name
        QCOMPARE(rows[1].skip, SkipReason::None);
        QCOMPARE(rows[2].skip, SkipReason::RecycleBin);
        QCOMPARE(rows[3].record.category, u"a/b"_s);  // the whole name comes back
        QCOMPARE(rows[3].record.notes, QString());
        QCOMPARE(rows[4].record.category, u"b"_s);  // moved in KeePassXC: the group holds
        QCOMPARE(rows[4].record.notes, u"--- More fields ---\nCategory: a/c"_s);
        QCOMPARE(rows[5].skip, SkipReason::EmptyRow);

        // A file whose paths do not share a first group: only a first group called Root goes.
        const QList<MappedRow> loose =
            mapped(kKeePassHeader +
                   "\"ROOT\",\"One\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\n"
                   "\"Work\",\"Two\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\n"_ba);
        QCOMPARE(loose[0].record.category, u"Unfiled"_s);
        QCOMPARE(loose[1].record.category, u"Work"_s);
    }

    void mapsBitwardenBrowserAndOtherRows() {
        const QList<MappedRow> bitwarden = mapped(
            "folder,favorite,type,name,notes,fields,reprompt,login_uri,login_username,"
            "login_password,login_totp\n"
            "Home/Bank,1,login,Bank,,\"PIN: 1234\nQuestion: pet\",1,https://bank.example,ann,"
            "s3cret,JBSWY3DP\n"
            ",,note,Wifi code,\"Router: 12345\",,0,,,,\n"
            ",,card,Visa,,,0,,,,\n"_ba);
        QCOMPARE(bitwarden[0].record,
                 (PlainRecord{QString(), u"ann"_s, u"s3cret"_s, QString(),
                              u"--- More fields ---\nURL: https://bank.example\nTOTP: JBSWY3DP\n"
                              "favorite: 1\nfields: PIN: 1234\n  Question: pet"_s,
                              u"Bank"_s}));
        QCOMPARE(bitwarden[1].title, u"Wifi code"_s);
        QCOMPARE(bitwarden[1].record.notes, u"Router: 12345"_s);
        QCOMPARE(bitwarden[1].skip, SkipReason::None);
        QCOMPARE(bitwarden[2].skip, SkipReason::NotALogin);
        QCOMPARE(bitwarden[2].skipDetail, u"card"_s);

        const QList<MappedRow> firefox = mapped(
            "\"url\",\"username\",\"password\",\"httpRealm\",\"formActionOrigin\",\"guid\","
            "\"timeCreated\",\"timeLastUsed\",\"timePasswordChanged\"\n"
            "\"https://www.shop.example\",\"bo\",\"pw\",\"\",\"https://shop.example\","
            "\"{0a-1b}\",\"1700000000000\",\"1700000000001\",\"1700000000002\"\n"_ba);
        QCOMPARE(firefox[0].title, QString());
        QCOMPARE(firefox[0].record.notes,
                 u"--- More fields ---\nURL: https://www.shop.example\nformActionOrigin: "
                 "https://shop.example"_s);
        QCOMPARE(firefox[0].record.category, u"Unfiled"_s);

        const QList<MappedRow> chrome = mapped(
            "name,url,username,password,note\nsite.example,https://site.example/,al,pw,hi\n"_ba);
        QCOMPARE(chrome[0].title, u"site.example"_s);
        QCOMPARE(chrome[0].record.notes,
                 u"hi\n\n--- More fields ---\nURL: https://site.example/"_s);

        // Other files as the user maps them; a mapping made for a wider file is cut to this one.
        const CsvTable other =
            tableOf("Thing,Secret,About,Colour,Kind\nDoor,1234,front,red,\"Home\nkeys\"\n"_ba);
        ColumnMapping mapping;
        mapping[RecordPart::ShortName] = 0;
        mapping[RecordPart::Password] = 1;
        mapping[RecordPart::Description] = 2;
        mapping[RecordPart::Category] = 4;
        mapping[RecordPart::Notes] = 7;
        QCOMPARE(mapRows(other, CsvFormat::Other, mapping)[0].record,
                 (PlainRecord{QString(), QString(), u"1234"_s, u"front"_s,
                              u"--- More fields ---\nColour: red"_s, u"Home keys"_s}));
        mapping.keepOtherColumns = false;
        QCOMPARE(mapRows(other, CsvFormat::Other, mapping)[0].record.notes, QString());
    }

    void labelledNotesRoundTrip_data() {
        QTest::addColumn<QString>("notes");
        QTest::addColumn<QList<QStringList>>("fields");
        QTest::addColumn<QString>("own");
        using Fields = QList<QStringList>;
        QTest::newRow("none") << u"just\nnotes"_s << Fields{} << u"just\nnotes"_s;
        QTest::newRow("block alone")
            << u"--- More fields ---\nURL: x"_s << Fields{{u"URL"_s, u"x"_s}} << QString();
        QTest::newRow("notes ending in a line break, values over lines")
            << u"a\n\n\n--- More fields ---\nNote: \n  one\n  \n  three\nEmpty line: x\n  "_s
            << Fields{{u"Note"_s, u"\none\n\nthree"_s}, {u"Empty line"_s, u"x\n"_s}} << u"a\n"_s;
        QTest::newRow("a marker followed by prose is notes")
            << u"a\n--- More fields ---\nnot a label\nURL: x"_s << Fields{}
            << u"a\n--- More fields ---\nnot a label\nURL: x"_s;
        QTest::newRow("the last block counts")
            << u"--- More fields ---\nA: 1\n\n--- More fields ---\nB: 2"_s
            << Fields{{u"B"_s, u"2"_s}} << u"--- More fields ---\nA: 1"_s;
    }
    void labelledNotesRoundTrip() {
        QFETCH(QString, notes);
        QFETCH(QList<QStringList>, fields);
        QFETCH(QString, own);
        const LabelledNotes split = LabelledNotes::split(notes);
        QList<QStringList> found;
        for (const auto& [label, value] : split.fields()) {
            found.append({label, value});
        }
        QCOMPARE(found, fields);
        QCOMPARE(split.notes(), own);
        QCOMPARE(split.joined(), notes);
    }

    void labelledNotesAfterEditing() {
        // Spaces an editor stripped from a value's empty line; labels made safe; set and take.
        LabelledNotes notes = LabelledNotes::split(u"x\n\n--- More fields ---\nA: 1\n\n  3\n\n"_s);
        QCOMPARE(notes.value(u"a"_s), u"1\n\n3"_s);
        notes.set(u"Odd: name\nhere"_s, u"v"_s);
        notes.set(u"A"_s, QString());
        QCOMPARE(notes.joined(), u"x\n\n--- More fields ---\nOdd- name here: v"_s);
        QCOMPARE(notes.take(u"odd- NAME here"_s), u"v"_s);
        QCOMPARE(notes.joined(), u"x"_s);
    }

    void plansShortNamesAsTheEditorWould() {
        QList<MappedRow> rows{row(u"  Mail  "_s),
                              row(u"mail"_s),
                              row(u"MAIL"_s),
                              row(u"Git"_s),
                              row(u"Line\nbreak"_s),
                              row(u""_s, u"https://www.shop.example/login"_s),
                              row(QString(), QString(), u"ann@example"_s),
                              row(u""_s),
                              row(u"Bank"_s)};
        rows.append(rows[8]);  // the very same record twice
        rows.append(row(u"Olden"_s));
        rows.last().record.notes = u"n"_s;
        rows.append(row(u"Card"_s));
        rows.last().skip = SkipReason::NotALogin;
        for (int i = 0; i < rows.size(); ++i) {
            rows[i].line = i + 2;
            rows[i].record.password += QString::number(i == 9 ? 8 : i);
        }
        PlainRecord existing = rows[10].record;
        existing.shortName = u"olden (2)"_s;  // from an earlier import of the same row
        const ImportPlan plan(rows, {u"MAIL (2)"_s, u"git (imported)"_s, u"Olden"_s}, {existing});

        QStringList names;
        QList<PlanAction> actions;
        for (const PlannedRow& planned : plan.rows()) {
            names.append(planned.record.shortName);
            actions.append(planned.action);
        }
        using A = PlanAction;
        QCOMPARE(names, (QStringList{u"Mail"_s,
                                     u"mail (3)"_s,
                                     u"MAIL (4)"_s,
                                     u"Git (imported) (2)"_s,
                                     u"Line break"_s,
                                     u"shop.example"_s,
                                     u"ann@example"_s,
                                     u"Imported record"_s,
                                     u"Bank"_s,
                                     {},
                                     {},
                                     {}}));
        QCOMPARE(actions,
                 (QList<A>{A::New, A::Renamed, A::Renamed, A::Renamed, A::Renamed, A::Renamed,
                           A::Renamed, A::Renamed, A::New, A::Skipped, A::Skipped, A::Skipped}));
        QCOMPARE(plan.rows()[3].renamed, RenameReason::TooShort);
        QCOMPARE(plan.rows()[4].renamed, RenameReason::LineBreaks);
        QCOMPARE(plan.rows()[5].renamed, RenameReason::NoTitle);
        QCOMPARE(plan.rows()[1].renamed, RenameReason::Taken);
        QCOMPARE(plan.rows()[9].skip, SkipReason::RepeatedInFile);
        QCOMPARE(plan.rows()[9].sameAsLine, 10);
        QCOMPARE(plan.rows()[10].skip, SkipReason::InVault);
        QCOMPARE(plan.rows()[11].skip, SkipReason::NotALogin);
        QCOMPARE(plan.counts().created, 2);
        QCOMPARE(plan.counts().renamed, 7);
        QCOMPARE(plan.counts().skipped, 3);
        QCOMPARE(plan.records().size(), 9);
        QCOMPARE(plan.records()[1].shortName, u"mail (3)"_s);
    }

    void writesKeePassXcCsvThatReadsBack() {
        QCOMPARE(KeePassCsvWriter::header(), kKeePassHeader);
        const PlainRecord mail{u"Mail \"home\", old"_s,
                               u"me"_s,
                               u"p\"w,"_s,
                               u"two\nlines"_s,
                               u"notes\n\n--- More fields ---\nURL: https://m.example\n"
                               "TOTP: otpauth://totp/m?secret=AB\nPIN: 1"_s,
                               u"Mail"_s};
        QCOMPARE(KeePassCsvWriter::line(mail),
                 "\"Root/Mail\",\"Mail \"\"home\"\", old\",\"me\",\"p\"\"w,\","
                 "\"https://m.example\",\"notes\n\n--- More fields ---\nPIN: 1\nDescription: "
                 "two\n  lines\",\"otpauth://totp/m?secret=AB\",\"0\",\"\",\"\"\n"_ba);

        const QList<PlainRecord> records{
            mail,
            {u"Ünïcødé 日本"_s, {}, {}, {}, {}, u"Unfiled"_s},
            {u"Slashed"_s, u"u"_s, u" spaced "_s, u"d"_s, u"x\r\ny"_s, u"Work/Old"_s},
            {u"Root one"_s, {}, u"pw"_s, {}, u"--- More fields ---\nCategory: y"_s, u"Root"_s}};
        QTemporaryDir dir;
        const QString path = dir.filePath(u"export.csv"_s);
        QVERIFY(KeePassCsvWriter::writeFile(path, records));
        QCOMPARE(QFile::permissions(path),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        CsvRead read = readCsvFile(path);
        QVERIFY(read.ok());
        QCOMPARE(detectFormat(read.table.header), CsvFormat::KeePassXC);
        const QList<MappedRow> rows =
            mapRows(read.table, CsvFormat::KeePassXC, proposeMapping(read.table.header));
        const QList<PlainRecord> back = ImportPlan(rows, {}, {}).records();
        QList<PlainRecord> expected = records;
        expected[2].notes = u"x\ny"_s;  // CRLF inside a field
        QCOMPARE(back, expected);

        QVERIFY(!KeePassCsvWriter::writeFile(dir.filePath(u"no/such/folder.csv"_s), records));
    }
};

QTEST_GUILESS_MAIN(RecordFormatsTest)
#include "tst_record_formats.moc"
