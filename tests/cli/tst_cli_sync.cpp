// keystead-cli sync: applies the other machines' files and writes this machine's once, printing
// both and every skipped file; without a folder it takes the one chosen in Options and says
// so, or says clearly that none is chosen.
#include <QtTest>

#include "CliRun.h"
#include "ScriptedDialogs.h"
#include "TestEnvironment.h"
#include "crypto/FieldCipher.h"
#include "storage/SettingsFile.h"

using namespace ks;
using namespace Qt::StringLiterals;

class CliSyncTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> env;
    test::ScriptedDialogs dialogs;

    test::CliRun cli(const QStringList& arguments) { return test::runCliAsAnna(arguments); }

private Q_SLOTS:
    void init() {
        env = std::make_unique<test::TestEnvironment>();
        setCipherDialogs(&dialogs, u"Keystead"_s);
    }
    void cleanup() {
        QCOMPARE(dialogs.texts(), QStringList());
        setCipherDialogs(nullptr, QString());
        env.reset();
    }

    void syncsBothWaysThroughTheFolder() {
        test::addAnnaWith(env->freshDatabase(), u"gmail"_s);
        const QString otherFolder = env->root() + u"other/"_s;
        test::addAnnaWith(env->freshDatabase(otherFolder + u"Data.mdb"_s), u"github"_s);
        const QString folder = env->root() + u"sync"_s;
        QVERIFY(QDir().mkpath(folder));

        test::CliRun run = cli({u"sync"_s});
        QCOMPARE(run.code, 2);
        QVERIFY2(run.err.contains(u"No sync folder is chosen"_s), qPrintable(run.err));
        const QRegularExpression snapshot(
            u"Wrote a snapshot of this machine's changes \\(\\d+ bytes\\)\\.\\n"_s);
        run = cli({u"sync"_s, folder});
        QCOMPARE(run.code, 0);
        QVERIFY2(run.out.startsWith(u"Nothing new from other machines.\n"_s), qPrintable(run.out));
        QVERIFY2(snapshot.match(run.out).hasMatch(), qPrintable(run.out));

        // The other machine takes the record, and writes its own.
        test::writeFile(folder + u"/0123456789abcdef0123456789abcdef/junk"_s, "x");
        run = cli({u"--data-folder"_s, otherFolder, u"sync"_s, folder});
        QCOMPARE(run.code, 0);
        QVERIFY2(run.out.startsWith(u"Applied 1 file(s) of other machines:\n"_s),
                 qPrintable(run.out));
        QVERIFY2(run.out.contains(u"anna: 1 record added"_s), qPrintable(run.out));
        QVERIFY2(
            run.out.contains(
                u"Skipped 0123456789abcdef0123456789abcdef/junk: not a file of the sync folder\n"_s),
            qPrintable(run.out));
        QVERIFY2(snapshot.match(run.out).hasMatch(), qPrintable(run.out));

        // Without the folder: the one chosen in Options.
        QVERIFY(writeSyncSettings(env->dataFolder(), {folder, u"Desk"_s}));
        run = cli({u"sync"_s});
        QCOMPARE(run.code, 0);
        QVERIFY2(run.out.startsWith(u"Using the sync folder chosen in Options: %1\n"
                                    "Applied 1 file(s) of other machines:\n"_s.arg(folder)),
                 qPrintable(run.out));
        QVERIFY2(run.out.contains(u"Nothing new to write.\n"_s), qPrintable(run.out));
        QCOMPARE(cli({u"ls"_s}).result(), u"0|gmail\ngithub\n"_s);  // in each one's stored order
        QCOMPARE(cli({u"--data-folder"_s, otherFolder, u"ls"_s}).result(), u"0|github\ngmail\n"_s);
    }
};

QTEST_MAIN(CliSyncTest)
#include "tst_cli_sync.moc"
