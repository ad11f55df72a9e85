// KeePassXC itself as the peer: what its keepassxc-cli exports is read and mapped right, and
// what we write is what KeePassXC writes for the same entries. KeePassXC 2.7's CLI imports
// only its XML, not CSV; its CSV import (in the window) reads back the CSV its export writes,
// by the header's column names. So we make KeePassXC write the CSV of the entries our file
// describes and compare the two byte for byte. Skipped when keepassxc-cli is not installed.
#include <QtTest>

#include "CsvTables.h"
#include "TestEnvironment.h"
#include "app/Accounts.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "interchange/CsvReader.h"
#include "interchange/ImportPlan.h"
#include "interchange/KeePassCsvWriter.h"
#include "interchange/RecordFormats.h"
#include "vault/RecordInterchange.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

using test::tableOf;

QByteArray uuid() {
    return QUuid::createUuid().toRfc4122().toBase64();
}

// KeePass XML of entries given as KeePassXC CSV rows: a group for each part of their paths
// below Root, in the order the rows name them.
QByteArray xmlOf(const CsvTable& table) {
    QMap<QString, QStringList> children;  // group path -> its child groups, in order
    QMap<QString, QList<QStringList>> entries;
    for (const CsvRow& row : table.rows) {
        QStringList parts = row.fields[0].split(u'/');
        for (int depth = 1; depth < parts.size(); ++depth) {
            const QString parent = parts.first(depth).join(u'/');
            if (!children[parent].contains(parts[depth])) {
                children[parent].append(parts[depth]);
            }
        }
        entries[row.fields[0]].append(row.fields);
    }
    QByteArray xml;
    QXmlStreamWriter out(&xml);
    out.writeStartDocument();
    out.writeStartElement(u"KeePassFile"_s);
    out.writeStartElement(u"Meta"_s);
    out.writeTextElement(u"Generator"_s, u"tst_keepass_peer"_s);
    out.writeEndElement();
    out.writeStartElement(u"Root"_s);
    const std::function<void(const QString&)> group = [&](const QString& path) {
        out.writeStartElement(u"Group"_s);
        out.writeTextElement(u"UUID"_s, QString::fromLatin1(uuid()));
        out.writeTextElement(u"Name"_s, path.section(u'/', -1));
        for (const QStringList& fields : entries.value(path)) {
            out.writeStartElement(u"Entry"_s);
            out.writeTextElement(u"UUID"_s, QString::fromLatin1(uuid()));
            const QStringList keys{{},       u"Title"_s, u"UserName"_s, u"Password"_s,
                                   u"URL"_s, u"Notes"_s, u"otp"_s};
            for (int i = 1; i < keys.size(); ++i) {
                if (keys[i] == u"otp"_s && fields[i].isEmpty()) {
                    continue;  // an empty key would still make a one-time password
                }
                out.writeStartElement(u"String"_s);
                out.writeTextElement(u"Key"_s, keys[i]);
                out.writeTextElement(u"Value"_s, fields[i]);
                out.writeEndElement();
            }
            out.writeEndElement();
        }
        for (const QString& child : children.value(path)) {
            group(path + u'/' + child);
        }
        out.writeEndElement();
    };
    group(u"Root"_s);
    out.writeEndDocument();
    return xml;
}

}  // namespace

class KeePassPeerTest : public QObject {
    Q_OBJECT

    QString cli;
    QTemporaryDir dir;  // also the peer's home, so that its settings land here

    QString path(const QString& name) const { return dir.filePath(name); }

    // Runs keepassxc-cli; its standard output, or a failed check.
    QByteArray run(const QStringList& arguments, const QByteArray& input = {}) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME",
                                 "XDG_RUNTIME_DIR", "TMPDIR"}) {
            environment.insert(QString::fromLatin1(name), dir.path());
        }
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        process.setProcessEnvironment(environment);
        process.start(cli, arguments);
        process.write(input);
        process.closeWriteChannel();
        process.waitForFinished(60'000);
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
            qWarning() << arguments << process.readAllStandardError();
            return "failed"_ba;
        }
        return process.readAllStandardOutput();
    }
    // keepassxc-cli `command` on a database opened with the key file, then `arguments`.
    QByteArray keyed(const QString& command, const QString& db, const QStringList& options,
                     const QStringList& arguments = {}, const QByteArray& input = {}) {
        return run(QStringList{command, u"-q"_s, u"-k"_s, path(u"key"_s), u"--no-password"_s} +
                       options + QStringList{path(db)} + arguments,
                   input);
    }
    // Adds an entry to made.kdbx; a password comes through standard input.
    void add(const QString& entry, QStringList options, const QByteArray& password = {}) {
        if (!password.isEmpty()) {
            options.append(u"-p"_s);
        }
        QCOMPARE(keyed(u"add"_s, u"made.kdbx"_s, options, {entry}, password + '\n'), QByteArray());
    }
    // The rows of made.kdbx's CSV export, mapped as an import maps them, by title.
    QMap<QString, MappedRow> exported() {
        const CsvTable table = tableOf(keyed(u"export"_s, u"made.kdbx"_s, {u"-f"_s, u"csv"_s}));
        [&] { QCOMPARE(detectFormat(table.header), CsvFormat::KeePassXC); }();
        QMap<QString, MappedRow> rows;
        for (const MappedRow& row :
             mapRows(table, CsvFormat::KeePassXC, proposeMapping(table.header))) {
            rows.insert(row.title, row);
        }
        return rows;
    }

private Q_SLOTS:
    void initTestCase() {
        cli = QStandardPaths::findExecutable(u"keepassxc-cli"_s);
        if (cli.isEmpty()) {
            QSKIP(
                "keepassxc-cli is not installed (scripts/install-deps.sh installs it): the "
                "checks against KeePassXC are skipped");
        }
        QVERIFY(dir.isValid());
        QCOMPARE(run({u"db-create"_s, u"-q"_s, u"-t"_s, u"100"_s, u"--set-key-file"_s,
                      path(u"key"_s), path(u"made.kdbx"_s)}),
                 QByteArray());
    }

    void readsWhatKeePassXcExports() {
        for (const QString& group : {u"Internet"_s, u"Internet/Mail"_s, u"Ünïcødé 日本"_s,
                                     u"Work, \"quoted\""_s, u"Work, \"quoted\"/Deeper"_s}) {
            QCOMPARE(keyed(u"mkdir"_s, u"made.kdbx"_s, {}, {group}), QByteArray());
        }
        add(u"Internet/Mail/Mail \"home\", old"_s,
            {u"-u"_s, u"us\"er, x"_s, u"--url"_s, u"https://mail.example/a?b=1,2"_s, u"--notes"_s,
             u"line 1\nline \"2\", with comma\r\nline 3\n"_s},
            "p\"a,ss w"_ba);
        add(u"Ünïcødé 日本/Пароль 日本語"_s, {u"-u"_s, u"Юзер"_s, u"--notes"_s, u"Примечание"_s},
            "пароль"_ba);
        add(u"Empty entry"_s, {});
        add(u"Work, \"quoted\"/Deeper/  Deep  "_s,
            {u"--notes"_s, u"--- More fields ---\nDescription: kept\n  whole"_s}, "x"_ba);
        add(u"Gone"_s, {u"-u"_s, u"old"_s});
        QCOMPARE(keyed(u"rm"_s, u"made.kdbx"_s, {}, {u"Gone"_s}), QByteArray());  // to the bin

        const QMap<QString, MappedRow> rows = exported();
        QCOMPARE(rows.keys(), (QStringList{u"  Deep  "_s, u"Empty entry"_s, u"Gone"_s,
                                           u"Mail \"home\", old"_s, u"Пароль 日本語"_s}));
        QCOMPARE(rows[u"Mail \"home\", old"_s].record,
                 (PlainRecord{QString(), u"us\"er, x"_s, u"p\"a,ss w"_s, QString(),
                              u"line 1\nline \"2\", with comma\nline 3\n\n\n--- More fields ---\n"
                              "URL: https://mail.example/a?b=1,2"_s,
                              u"Mail"_s}));
        QCOMPARE(rows[u"Пароль 日本語"_s].record,
                 (PlainRecord{QString(), u"Юзер"_s, u"пароль"_s, QString(), u"Примечание"_s,
                              u"Ünïcødé 日本"_s}));
        QCOMPARE(rows[u"Empty entry"_s].record, (PlainRecord{QString(), QString(), QString(),
                                                             QString(), QString(), u"Unfiled"_s}));
        QCOMPARE(
            rows[u"  Deep  "_s].record,
            (PlainRecord{QString(), QString(), u"x"_s, u"kept\nwhole"_s, QString(), u"Deeper"_s}));
        QCOMPARE(rows[u"Gone"_s].skip, SkipReason::RecycleBin);
        QList<MappedRow> all = rows.values();
        const ImportPlan plan(all, {}, {});
        QCOMPARE(plan.counts().created, 4);
        QCOMPARE(plan.counts().skipped, 1);
    }

    void writesWhatKeePassXcWrites() {
        // Hostile records; their order is KeePassXC's (groups in the order first named, a
        // group's entries before its subgroups'), so that the two files can be compared whole.
        const QString totp =
            u"otpauth://totp/Mail%20%22home%22%2C%20old:me?secret="
            "JBSWY3DPEHPK3PXP&period=30&digits=6&issuer=Mail%20%22home%22%2C%20old"_s;
        const QList<PlainRecord> records{
            {u"Mail \"home\", old"_s, u"me"_s, u"p\"w,"_s, u"two\nlines"_s,
             u"notes, \"quoted\"\n\n--- More fields ---\nURL: https://m.example/?a=1,2\nTOTP: "_s +
                 totp + u"\nPIN: 1"_s,
             u"Mail"_s},
            {u"Second mail"_s, {}, {}, {}, u"\n\nblank lines first\n"_s, u"Mail"_s},
            {u"Пароль 日本語"_s, u"Юзер"_s, u"пароль"_s, {}, u"Примечание"_s, u"Ünïcødé 日本"_s},
            {u"  Spaces  "_s, {}, {}, {}, {}, u"Unfiled"_s},
            {u"Work top"_s, u"w"_s, u"w"_s, {}, {}, u"Work"_s},
            {u"Nested"_s, u"n"_s, u"n"_s, u"d"_s, {}, u"Work/Old"_s},
        };
        QByteArray ours = KeePassCsvWriter::header();
        for (const PlainRecord& record : records) {
            ours += KeePassCsvWriter::line(record);
        }
        QFile xml(path(u"ours.xml"_s));
        QVERIFY(xml.open(QIODevice::WriteOnly) && xml.write(xmlOf(tableOf(ours))) > 0);
        xml.close();
        QCOMPARE(run({u"import"_s, u"-q"_s, u"-t"_s, u"100"_s, u"--set-key-file"_s, path(u"key"_s),
                      xml.fileName(), path(u"ours.kdbx"_s)}),
                 QByteArray());
        QByteArray theirs = keyed(u"export"_s, u"ours.kdbx"_s, {u"-f"_s, u"csv"_s});
        static const QRegularExpression dates(
            uR"(,"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ","\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ"\n)"_s);
        theirs = QString::fromUtf8(theirs).replace(dates, u",\"\",\"\"\n"_s).toUtf8();
        QCOMPARE(theirs.split('\n'), ours.split('\n'));  // names the first line that differs
    }

    // KeePassXC makes a database, exports it as CSV; the vault imports that file as the window
    // and the command line do, exports its own CSV, and each entry comes back field by field.
    void roundTripThroughTheVault() {
        QCOMPARE(run({u"db-create"_s, u"-q"_s, u"-t"_s, u"100"_s, u"--set-key-file"_s,
                      path(u"key"_s), path(u"trip.kdbx"_s)}),
                 QByteArray());
        for (const QString& group : {u"Bank, \"A\""_s, u"Bank, \"A\"/Кредит"_s, u"Über"_s}) {
            QCOMPARE(keyed(u"mkdir"_s, u"trip.kdbx"_s, {}, {group}), QByteArray());
        }
        const auto addTo = [&](const QString& entry, const QStringList& options,
                               const QByteArray& password) {
            QCOMPARE(keyed(u"add"_s, u"trip.kdbx"_s, options + QStringList{u"-p"_s}, {entry},
                           password + '\n'),
                     QByteArray());
        };
        addTo(u"Bank, \"A\"/Кредит/Карта \"gold\", 2"_s,
              {u"-u"_s, u"  ivan, \"i\"  "_s, u"--url"_s, u"https://bank.example/?a=1,2"_s,
               u"--notes"_s, u"PIN: 1234\nline \"two\", comma\n\n<b>markup</b>"_s},
              "p\"a,ss"_ba);
        addTo(u"Über/日本語のエントリ"_s, {u"--notes"_s, u"一行目\n二行目"_s}, "пароль"_ba);
        addTo(u"Empty values"_s, {}, "x"_ba);
        const QByteArray theirs = keyed(u"export"_s, u"trip.kdbx"_s, {u"-f"_s, u"csv"_s});

        test::TestEnvironment env;
        DatabaseAccess database(env.freshDatabase(), PassPhrase());
        QVERIFY(CreateUser(database, u"anna"_s, u"secret1"_s).ok());
        const Account anna(EncryptField(u"anna"_s));
        const CsvTable table = tableOf(theirs);
        const Result<ImportPlan> plan = planRecordImport(
            database, anna, table, detectFormat(table.header), proposeMapping(table.header));
        QCOMPARE(plan.value().counts().created, 3);
        QVERIFY(writeRecordImport(database, anna, plan.value(), {}, {}).ok());
        const QString ours = path(u"ours.csv"_s);
        QVERIFY(exportRecordsAsCsv(database, anna, ours).ok());
        const CsvTable back = tableOf(test::readBytes(ours));
        QCOMPARE(back.header, table.header);
        QCOMPARE(back.rows.size(), table.rows.size());
        for (const CsvRow& row : table.rows) {
            const auto same =
                std::find_if(back.rows.cbegin(), back.rows.cend(),
                             [&](const CsvRow& r) { return r.fields[1] == row.fields[1]; });
            QVERIFY2(same != back.rows.cend(), qPrintable(row.fields[1]));
            // Title, user name, password, URL, notes and TOTP as they were; the group by its
            // last part, right under the root (an entry of the root group itself is unfiled);
            // the icon the default; the times left to KeePassXC.
            QCOMPARE(same->fields.mid(1, 6), row.fields.mid(1, 6));
            const QString group =
                row.fields[0].contains(u'/') ? row.fields[0].section(u'/', -1) : u"Unfiled"_s;
            QCOMPARE(same->fields[0], u"Root/"_s + group);
            QCOMPARE(same->fields.mid(7), (QStringList{u"0"_s, {}, {}}));
        }
    }
};

QTEST_GUILESS_MAIN(KeePassPeerTest)
#include "tst_keepass_peer.moc"
