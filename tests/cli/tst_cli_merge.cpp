// keystead-cli merge: another database merged into the data folder's without a question, what
// changed printed; --dry-run prints the same and writes nothing; a file that is no database of
// ours is refused with nothing changed; the window program's lock is kept.
#include <QtTest>

#include "CliRun.h"
#include "ScriptedDialogs.h"
#include "TestEnvironment.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "journal/JournalStore.h"
#include "storage/Backups.h"
#include "storage/DataFolderLock.h"

using namespace ks;
using namespace Qt::StringLiterals;

class CliMergeTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> env;
    test::ScriptedDialogs dialogs;
    QString other;  // the other machine's database

    test::CliRun cli(const QStringList& arguments) { return test::runCliAsAnna(arguments); }

private Q_SLOTS:
    void init() {
        env = std::make_unique<test::TestEnvironment>();
        setCipherDialogs(&dialogs, u"Keystead"_s);
        test::addAnnaWith(env->freshDatabase(), u"gmail"_s);
        other = env->freshDatabase(env->root() + u"other/Data.mdb"_s);
        test::addAnnaWith(other, u"github"_s);
        DatabaseAccess database(other, PassPhrase());
        QVERIFY(writeJournalEntry(database, EncryptField(u"anna"_s), u"01/02/2026"_s,
                                  storedJournalValue(u"a day elsewhere"_s), QDate(2026, 2, 1))
                    .ok());
    }
    void cleanup() {
        QCOMPARE(dialogs.texts(), QStringList());
        setCipherDialogs(nullptr, QString());
        env.reset();
    }

    void mergesAndADryRunWritesNothing() {
        const QByteArray before = test::readBytes(env->databasePath());
        const QString changes = u"anna: 1 record added; 1 journal entry added\n"_s;
        test::CliRun run = cli({u"merge"_s, other, u"--dry-run"_s});
        QCOMPARE(run.result(), u"0|A merge of %1 would change:\n"_s.arg(other) + changes);
        QCOMPARE(test::readBytes(env->databasePath()), before);
        QCOMPARE(test::filesUnder(env->dataFolder()), QStringList{env->databasePath()});

        run = cli({u"merge"_s, other});
        const QList<BackupFile> backups = listBackups(env->dataFolder());
        QCOMPARE(backups.size(), 1);
        QCOMPARE(backups.first().reason, u"before-merge"_s);
        QCOMPARE(run.result(),
                 u"0|Merged %1:\n"_s.arg(other) + changes +
                     u"The database as it was is kept in %1.\n"_s.arg(backups.first().path));
        QCOMPARE(cli({u"ls"_s}).result(), u"0|gmail\ngithub\n"_s);
        QCOMPARE(cli({u"journal"_s, u"2026-02-01"_s}).result(), u"0|a day elsewhere\n"_s);
        // Again: nothing left to merge, nothing kept.
        QCOMPARE(cli({u"merge"_s, other}).result(), u"0|Nothing to merge.\n"_s);
        QCOMPARE(listBackups(env->dataFolder()).size(), 1);
    }

    void refusesForeignFilesAndKeepsTheWindowProgramsLock() {
        const QByteArray before = test::readBytes(env->databasePath());
        const QString junk = test::writeFile(env->root() + u"junk.mdb"_s, QByteArray(4096, 'j'));
        test::CliRun run = cli({u"merge"_s, junk});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.startsWith(
                     u"The file %1 is not a Keystead database that can be merged"_s.arg(junk)),
                 qPrintable(run.err));
        QVERIFY(run.err.endsWith(u"Nothing has been changed.\n"_s));
        QCOMPARE(test::readBytes(env->databasePath()), before);

        DataFolderLock window(env->dataFolder());
        QCOMPARE(window.tryLock(0), DataFolderLock::Outcome::Taken);
        QCOMPARE(cli({u"merge"_s, other}).code, 1);
        QCOMPARE(cli({u"merge"_s, other, u"--dry-run"_s}).code, 0);
        QCOMPARE(test::readBytes(env->databasePath()), before);
        QCOMPARE(cli({u"ls"_s, u"--dry-run"_s}).code, 2);
        QCOMPARE(cli({u"merge"_s}).code, 2);
    }
};

QTEST_GUILESS_MAIN(CliMergeTest)
#include "tst_cli_merge.moc"
