#include <QtTest>

#include <sys/stat.h>

#include "ScriptedDialogs.h"
#include "TestEnvironment.h"
#include "storage/DataFolder.h"
#include "storage/SettingsFile.h"
#include "storage/TempFolder.h"

using namespace ks;

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

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

}  // namespace

class DataFolderTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> env;

private Q_SLOTS:
    void init() { env = std::make_unique<test::TestEnvironment>(); }
    void cleanup() { env.reset(); }

    void folderRule() {
        const QString title = QStringLiteral("Keystead");
        // The application data folder, with and without a trailing separator.
        for (const QString& appData : {QStringLiteral("/home/anna/AppData/Roaming/"),
                                       QStringLiteral("/home/anna/AppData/Roaming")}) {
            const DataFolderChoice choice =
                chooseDataFolder(environmentWith({{QStringLiteral("APPDATA"), appData},
                                                  {QStringLiteral("HOME"), QStringLiteral("/h")}}),
                                 title);
            QCOMPARE(choice.folder, QStringLiteral("/home/anna/AppData/Roaming/Keystead/"));
            QVERIFY(choice.createAtStart.isEmpty());
        }
        // Without it: the XDG data home, then the home folder's.
        QCOMPARE(chooseDataFolder(
                     environmentWith({{QStringLiteral("APPDATA"), QStringLiteral("  ")},
                                      {QStringLiteral("XDG_DATA_HOME"), QStringLiteral("/x/data/")},
                                      {QStringLiteral("HOME"), QStringLiteral("/h")}}),
                     title)
                     .folder,
                 QStringLiteral("/x/data/Keystead/"));
        QCOMPARE(chooseDataFolder(
                     environmentWith({{QStringLiteral("APPDATA"), QStringLiteral("relative/path")},
                                      {QStringLiteral("HOME"), QStringLiteral("/home/bob")}}),
                     title)
                     .folder,
                 QStringLiteral("/home/bob/.local/share/Keystead/"));
        // Neither: the home-drive rule, which makes its two folders at once.
        const DataFolderChoice drive = chooseDataFolder(
            environmentWith({{QStringLiteral("HOMEDRIVE"), QStringLiteral("/mnt/c")},
                             {QStringLiteral("USER"), QStringLiteral("anna")}}),
            title);
        QCOMPARE(drive.folder, QStringLiteral("/mnt/c/Keystead Users/anna/"));
        QCOMPARE(drive.createAtStart, QStringList({QStringLiteral("/mnt/c/Keystead Users/"),
                                                   QStringLiteral("/mnt/c/Keystead Users/anna/")}));
    }

    void homeDriveFoldersAreMadeAtStartAndFoundAgain() {
        env->setVariable("XDG_DATA_HOME", std::nullopt);
        env->setVariable("HOME", std::nullopt);
        env->setVariable("HOMEDRIVE", env->root() + QStringLiteral("c"));
        env->setVariable("USER", QStringLiteral("anna"));
        const QString expected = env->root() + QStringLiteral("c/Keystead Users/anna/");
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
        QVERIFY(writeSettings(folder, QStringLiteral(" anna "), 2));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray(" anna \r\n2\r\n"));
        QCOMPARE(modeOf(path), 0600);
        read = readSettings(folder);
        QVERIFY(read.exists);
        QCOMPARE(read.line1, QStringLiteral(" anna "));
        QCOMPARE(policyFromLine(read.line2), 2);
        // A name line only.
        writeBytes(path, "anna\r\n");
        read = readSettings(folder);
        QCOMPARE(read.line1, QStringLiteral("anna"));
        QCOMPARE(policyFromLine(read.line2), 1);
        // A blank first line, a policy with spaces around it.
        writeBytes(path, "\r\n 0 \r\n");
        read = readSettings(folder);
        QVERIFY(read.line1.isEmpty());
        QCOMPARE(policyFromLine(read.line2), 0);
        QCOMPARE(policyFromLine(QStringLiteral("2 and more")), 2);
        QCOMPARE(policyFromLine(QStringLiteral("never")), 0);
        QCOMPARE(policyFromLine(QStringLiteral("99999999999999999999")),
                 std::numeric_limits<int>::max());
        // Damaged: binary content after a good name, then not text at all.
        writeBytes(path, QByteArray("bob\r\n\x01\x02\xff\xfe", 9));
        read = readSettings(folder);
        QCOMPARE(read.line1, QStringLiteral("bob"));
        QVERIFY(read.line2.isEmpty());
        writeBytes(path, QByteArray("\xff\xfe\x00\x00garbage", 11));
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
        const QString folder = preparePrivateTempFolder(QStringLiteral("Keystead"));
        QVERIFY(folder.startsWith(env->tempBase()));
        QVERIFY(folder.endsWith(QLatin1Char('/')));
        QCOMPARE(modeOf(folder), 0700);
        QCOMPARE(preparePrivateTempFolder(QStringLiteral("Keystead")), folder);
        writeBytes(folder + QStringLiteral("work.bin"), "x");
        QVERIFY(removePrivateTempFolder(folder));
        QVERIFY(!QFileInfo::exists(folder));
        // A link planted under the usual name is never followed.
        const QString target = env->root() + QStringLiteral("elsewhere");
        QVERIFY(QDir().mkpath(target));
        QVERIFY(QFile::link(target, folder.chopped(1)));
        const QString fresh = preparePrivateTempFolder(QStringLiteral("Keystead"));
        QVERIFY(!fresh.isEmpty());
        QVERIFY(fresh != folder);
        QCOMPARE(modeOf(fresh), 0700);
        QVERIFY(QDir(target).isEmpty());
    }
};

QTEST_MAIN(DataFolderTest)
#include "tst_datafolder.moc"
