#include <QtTest>

#include <sys/stat.h>

#include "ScriptedDialogs.h"
#include "TestEnvironment.h"
#include "storage/DataFolder.h"
#include "storage/SettingsFile.h"
#include "storage/TempFolder.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

QProcessEnvironment environmentWith(std::initializer_list<std::pair<QString, QString>> vars) {
    QProcessEnvironment environment;
    for (const auto& [name, value] : vars) {
        environment.insert(name, value);
    }
    return environment;
}

int modeOf(const QString& path) {
    struct stat facts {};
    lstat(QFile::encodeName(path).constData(), &facts);
    return static_cast<int>(facts.st_mode & 0777);
}

}  // namespace

class DataFolderTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> env;

private Q_SLOTS:
    void init() { env = std::make_unique<test::TestEnvironment>(); }
    void cleanup() { env.reset(); }

    void folderRule() {
        const QString title = u"Keystead"_s;
        // The application data folder, with and without a trailing separator.
        for (const QString& appData :
             {u"/home/anna/AppData/Roaming/"_s, u"/home/anna/AppData/Roaming"_s}) {
            const DataFolderChoice choice = chooseDataFolder(
                environmentWith({{u"APPDATA"_s, appData}, {u"HOME"_s, u"/h"_s}}), title);
            QCOMPARE(choice.folder, u"/home/anna/AppData/Roaming/Keystead/"_s);
            QVERIFY(choice.createAtStart.isEmpty());
        }
        // Without it: the XDG data home, then the home folder's.
        QCOMPARE(chooseDataFolder(environmentWith({{u"APPDATA"_s, u"  "_s},
                                                   {u"XDG_DATA_HOME"_s, u"/x/data/"_s},
                                                   {u"HOME"_s, u"/h"_s}}),
                                  title)
                     .folder,
                 u"/x/data/Keystead/"_s);
        QCOMPARE(chooseDataFolder(environmentWith({{u"APPDATA"_s, u"relative/path"_s},
                                                   {u"HOME"_s, u"/home/bob"_s}}),
                                  title)
                     .folder,
                 u"/home/bob/.local/share/Keystead/"_s);
        // Neither: the home-drive rule, which makes its two folders at once.
        const DataFolderChoice drive = chooseDataFolder(
            environmentWith({{u"HOMEDRIVE"_s, u"/mnt/c"_s}, {u"USER"_s, u"anna"_s}}), title);
        QCOMPARE(drive.folder, u"/mnt/c/Keystead Users/anna/"_s);
        QCOMPARE(drive.createAtStart,
                 QStringList({u"/mnt/c/Keystead Users/"_s, u"/mnt/c/Keystead Users/anna/"_s}));
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
            QCOMPARE(modeOf(expected), 0700);
            // The first-run greeting, at each start until someone logs in.
            QCOMPARE(dialogs.shown.size(), 1);
        }
    }

    void settingsFile() {
        const QString folder = env->root();
        const QString path = settingsPath(folder);
        // Missing: a first run.
        SettingsFile read = readSettings(folder);
        QVERIFY(!read.exists);
        // Written anew: CR LF after each line, private.
        QVERIFY(writeSettings(folder, u" anna "_s, 2));
        QCOMPARE(test::readBytes(path), QByteArray(" anna \r\n2\r\n"));
        QCOMPARE(modeOf(path), 0600);
        read = readSettings(folder);
        QVERIFY(read.exists);
        QCOMPARE(read.line1, u" anna "_s);
        QCOMPARE(policyFromLine(read.line2), 2);
        // A name line only.
        test::writeFile(path, "anna\r\n");
        read = readSettings(folder);
        QCOMPARE(read.line1, u"anna"_s);
        QCOMPARE(policyFromLine(read.line2), 1);
        // A blank first line, a policy with spaces around it.
        test::writeFile(path, "\r\n 0 \r\n");
        read = readSettings(folder);
        QVERIFY(read.line1.isEmpty());
        QCOMPARE(policyFromLine(read.line2), 0);
        QCOMPARE(policyFromLine(u"2 and more"_s), 2);
        QCOMPARE(policyFromLine(u"never"_s), 0);
        QCOMPARE(policyFromLine(u"99999999999999999999"_s), std::numeric_limits<int>::max());
        // Damaged: binary content after a good name, then not text at all.
        test::writeFile(path, QByteArray("bob\r\n\x01\x02\xff\xfe", 9));
        read = readSettings(folder);
        QCOMPARE(read.line1, u"bob"_s);
        QVERIFY(read.line2.isEmpty());
        test::writeFile(path, QByteArray("\xff\xfe\x00\x00garbage", 11));
        read = readSettings(folder);
        QVERIFY(read.exists);
        QVERIFY(read.line1.isEmpty());
        // A folder under the name: there, but nothing to read.
        QFile::remove(path);
        QVERIFY(QDir().mkpath(path));
        read = readSettings(folder);
        QVERIFY(read.exists);
        QVERIFY(read.line1.isEmpty() && read.line2.isEmpty());
    }

    void privateTemporaryFolder() {
        const QString folder = preparePrivateTempFolder(u"Keystead"_s);
        QVERIFY(folder.startsWith(env->tempBase()));
        QVERIFY(folder.endsWith(u'/'));
        QCOMPARE(modeOf(folder), 0700);
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
        QCOMPARE(modeOf(fresh), 0700);
        QVERIFY(QDir(target).isEmpty());
    }
};

QTEST_MAIN(DataFolderTest)
#include "tst_datafolder.moc"
