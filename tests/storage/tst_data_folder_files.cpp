#include <QApplication>
#include <QtTest>

#include <sys/stat.h>

#include "ScriptedDialogs.h"
#include "SmallDisk.h"
#include "TestEnvironment.h"
#include "app/Program.h"
#include "storage/DataFolder.h"
#include "storage/FileServices.h"
#include "storage/SettingsFile.h"
#include "storage/TempFolder.h"

using namespace ks;
using namespace Qt::StringLiterals;

// Where the data folder is, the settings file and the private temporary folder, and writes of
// the settings that fail.
class DataFolderFilesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> env;

private Q_SLOTS:
    void init() {
        env = std::make_unique<test::TestEnvironment>();
        QVERIFY(QDir().mkpath(env->dataFolder()));
    }
    void cleanup() { env.reset(); }

    // The application data folder (with or without a trailing separator), else the XDG data
    // home, else the home folder's; else the home-drive rule, which makes its folders at once.
    void folderRule() {
        using Variables = QList<std::pair<QString, QString>>;
        const QString appData = u"/home/anna/AppData/Roaming/Keystead/"_s;
        const QList<std::tuple<Variables, QString, QStringList>> rules = {
            {{{u"APPDATA"_s, u"/home/anna/AppData/Roaming/"_s}, {u"HOME"_s, u"/h"_s}}, appData, {}},
            {{{u"APPDATA"_s, u"/home/anna/AppData/Roaming"_s}, {u"HOME"_s, u"/h"_s}}, appData, {}},
            {{{u"APPDATA"_s, u"  "_s}, {u"XDG_DATA_HOME"_s, u"/x/data/"_s}, {u"HOME"_s, u"/h"_s}},
             u"/x/data/Keystead/"_s,
             {}},
            {{{u"APPDATA"_s, u"relative/path"_s}, {u"HOME"_s, u"/home/bob"_s}},
             u"/home/bob/.local/share/Keystead/"_s,
             {}},
            {{{u"HOMEDRIVE"_s, u"/mnt/c"_s}, {u"USER"_s, u"anna"_s}},
             u"/mnt/c/Keystead Users/anna/"_s,
             {u"/mnt/c/Keystead Users/"_s, u"/mnt/c/Keystead Users/anna/"_s}}};
        for (const auto& [variables, folder, made] : rules) {
            QProcessEnvironment environment;
            for (const auto& [name, value] : variables) {
                environment.insert(name, value);
            }
            const DataFolderChoice choice = chooseDataFolder(environment, u"Keystead"_s);
            QCOMPARE(choice.folder, folder);
            QCOMPARE(choice.createAtStart, made);
        }
    }

    void homeDriveFoldersAreMadeAtStartAndFoundAgain() {
        env->setVariable("XDG_DATA_HOME", std::nullopt);
        env->setVariable("HOME", std::nullopt);
        env->setVariable("HOMEDRIVE", env->root() + u"c"_s);
        env->setVariable("USER", u"anna"_s);
        const QString expected = env->root() + u"c/Keystead Users/anna/"_s;
        for (int start = 0; start < 2; ++start) {
            test::ScriptedDialogs dialogs;
            Program program(dialogs, env->programOptions());
            program.start();
            QCOMPARE(program.state().DataFolder, expected);
            QVERIFY(QFileInfo(expected).isDir());
            QCOMPARE(test::fileMode(expected), 0700);
            // The first-run greeting, at each start until someone logs in.
            QCOMPARE(dialogs.shown.size(), 1);
        }
    }

    void settingsFile() {
        const QString folder = env->root();
        const QString path = settingsPath(folder);
        QVERIFY(!readSettings(folder).exists);  // a first run
        // Written anew: CR LF after each line, private.
        QVERIFY(writeSettings(folder, u" anna "_s, 2));
        QCOMPARE(test::readBytes(path), QByteArray(" anna \r\n2\r\n"));
        QCOMPARE(test::fileMode(path), 0600);
        // What is read from a file: its first line as it is, and the policy of its second.
        const QList<std::tuple<QByteArray, QString, int>> files = {
            {" anna \r\n2\r\n", u" anna "_s, 2},
            {"anna\r\n", u"anna"_s, 1},  // a name line only
            {"\r\n 0 \r\n", {}, 0},
            {"bob\r\n2 and more", u"bob"_s, 2},
            {"bob\r\nnever", u"bob"_s, 0},
            {"bob\r\n99999999999999999999", u"bob"_s, std::numeric_limits<int>::max()},
            {QByteArray("bob\r\n\x01\x02\xff\xfe", 9), u"bob"_s, 1},  // damaged after a name
            {QByteArray("\xff\xfe\x00\x00garbage", 11), {}, 1}};      // not text at all
        for (const auto& [bytes, line1, policy] : files) {
            test::writeFile(path, bytes);
            const SettingsFile read = readSettings(folder);
            QVERIFY(read.exists);
            QCOMPARE(read.line1, line1);
            QCOMPARE(policyFromLine(read.line2), policy);
        }
        // The sync lines come after the others, which keep their values; a line break in them
        // is refused, and a later write of another line keeps them.
        test::writeFile(path, "anna\r\n2\r\n");
        QVERIFY(writeSyncSettings(folder, {u"/m/sync dir"_s, u"Laptop \u00e9"_s}));
        QCOMPARE(
            test::readBytes(path),
            QByteArray("anna\r\n2\r\n10\r\n1\r\n10\r\n30\r\n/m/sync dir\r\nLaptop \xc3\xa9\r\n"));
        QVERIFY(!writeSyncSettings(folder, {u"/a\nb"_s, {}}));
        QVERIFY(writeHistorySettings(folder, {3, 4}) && writeSettings(folder, u"bob"_s, 0));
        const SyncSettings sync = syncSettingsFrom(readSettings(folder));
        QCOMPARE(sync, (SyncSettings{u"/m/sync dir"_s, u"Laptop \u00e9"_s}));
        QCOMPARE(historySettingsFrom(readSettings(folder)).versionsKept, 3);
        // A folder under the name: there, but nothing to read.
        QFile::remove(path);
        QVERIFY(QDir().mkpath(path));
        const SettingsFile read = readSettings(folder);
        QVERIFY(read.exists);
        QVERIFY(read.line1.isEmpty() && read.line2.isEmpty());
    }

    void privateTemporaryFolder() {
        const QString folder = preparePrivateTempFolder(u"Keystead"_s);
        QVERIFY(folder.startsWith(env->tempBase()));
        QVERIFY(folder.endsWith(u'/'));
        QCOMPARE(test::fileMode(folder), 0700);
        QCOMPARE(preparePrivateTempFolder(u"Keystead"_s), folder);
        test::writeFile(folder + u"work.bin"_s, "x");
        QVERIFY(removePrivateTempFolder(folder));
        QVERIFY(!QFileInfo::exists(folder));
        // A link planted under the usual name is never followed.
        const QString target = env->root() + u"elsewhere"_s;
        QVERIFY(QDir().mkpath(target));
        QVERIFY(QFile::link(target, folder.chopped(1)));
        const QString fresh = preparePrivateTempFolder(u"Keystead"_s);
        QVERIFY(!fresh.isEmpty());
        QVERIFY(fresh != folder);
        QCOMPARE(test::fileMode(fresh), 0700);
        QVERIFY(QDir(target).isEmpty());
    }

    // A file too large for the disk: the settings file is left as it was, a copied file is
    // not left half made, and both say why.
    void failedWritesKeepTheOldFileAndSayWhy() {
        const QString folder = env->dataFolder();
        QVERIFY(writeSettings(folder, u"anna"_s, 2));
        const QByteArray before = test::readBytes(settingsPath(folder));
        FsResult written;
        FsResult copied;
        {
            const test::FileSizeLimit full(4);
            written = writeSettings(folder, u"bert"_s, 0);
            copied =
                FileServices::CopyFile(env->templatePath(), folder + u"Data.mdb"_s, kPrivateFile);
        }
        QVERIFY2(written.error.contains(u"File too large"_s), qPrintable(written.error));
        QVERIFY2(copied.error.contains(u"File too large"_s), qPrintable(copied.error));
        QVERIFY(!written.ok && !copied.ok);
        QCOMPARE(test::readBytes(settingsPath(folder)), before);
        QCOMPARE(test::leftoverFiles(folder, {u"Data.dat"_s}), QStringList());
        // The policy writer keeps line 1; with no folder at all it fails and makes nothing.
        QVERIFY(writePolicyLine(folder, 0));
        QCOMPARE(test::readBytes(settingsPath(folder)), QByteArray("anna\r\n0\r\n"));
        QVERIFY(!writePolicyLine(env->root() + u"missing/"_s, 1));
    }
};

QTEST_MAIN(DataFolderFilesTest)
#include "tst_data_folder_files.moc"
