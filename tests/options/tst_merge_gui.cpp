// "Merge..." on the Options page, end to end: the question that shows what a merge adds,
// changes and renames, No that changes nothing, Yes whose records show at once, nothing to
// merge, a refused file, and a lock that waits for a merge under way.
#include "OptionsGuiFixture.h"
#include "app/MainWindow.h"
#include "app/SessionLock.h"
#include "core/IdleTimer.h"
#include "crypto/PassPhrase.h"
#include "options/DatabaseTransfer.h"
#include "storage/Backups.h"
#include "vault/RecordStore.h"

using namespace ks;
using namespace Qt::StringLiterals;
using test::kTitle;

class MergeGuiTest : public test::OptionsGuiFixture {
    Q_OBJECT

    QString other;  // another machine's database: an export of this one, changed apart

    QStringList listed() {
        return test::itemTexts(test::control<QListView>(main(), u"lstPasswords"_s));
    }
    // Adds a record of the logged-in account to the database file at `path`.
    void addRecord(const QString& path, const QString& shortName) {
        DatabaseAccess database(path, PassPhrase());
        RecordStore store(database);
        const SaveResult saved =
            store.CreateRecord(state().CurrentAccount, {shortName, u"user"_s, u"pw"_s, {}, {}, {}});
        QCOMPARE(saved.outcome, SaveOutcome::Saved);
    }
    QStringList merged(const QString& file) {
        dialogs().file(file);
        return pressed(main(), u"cmdMerge"_s);
    }
    qint64 fileCopiesBeforeMerge() {
        const QList<BackupFile> copies = listBackups(session->env.dataFolder());
        return std::count_if(copies.cbegin(), copies.cend(), [](const BackupFile& copy) {
            return copy.reason == u"before-merge"_s;
        });
    }

private Q_SLOTS:
    void init() {
        startOptions();
        addRecord(database(), u"shared"_s);
        const QString folder = session->env.root() + u"other <b>ü</b>"_s;
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(ExportDatabase(database(), folder, {}).ok());
        other = folder + u"/data.ksd"_s;
        test::showTab(main(), 4);
    }
    void cleanup() { endSession(); }

    void theQuestionShowsThePlanAndYesShowsTheRecordsAtOnce() {
        addRecord(other, u"<b>Bank</b> 銀行 with a long name"_s);
        addRecord(other, u"mail"_s);
        addRecord(database(), u"mail"_s);  // made apart on both machines
        session->program->mainWindow()->readAccountAgain();
        const QStringList before = listed();
        QVERIFY(before.contains(u"mail"_s));
        dialogs().answer(false);
        const QStringList asked = merged(other);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Question);
        QVERIFY2(asked[0].contains(u"anna: 2 records added, 1 renamed"_s), qPrintable(asked[0]));
        QVERIFY2(asked[0].contains(u"  mail came in as \"mail (2)\""_s), qPrintable(asked[0]));
        QVERIFY(asked[0].contains(other));
        QCOMPARE(listed(), before);
        QCOMPARE(fileCopiesBeforeMerge(), 0);
        dialogs().clear();

        dialogs().answer(true);
        const QStringList told = merged(other);
        QCOMPARE(told.size(), 2);
        QCOMPARE(dialogs().shown[1].icon, MessageIcon::Information);
        QVERIFY(told[1].contains(u"  mail came in as \"mail (2)\""_s));
        QVERIFY(listed().contains(u"<b>Bank</b> 銀行 with a long name"_s));
        QVERIFY(listed().contains(u"mail (2)"_s));
        QCOMPARE(listed().size(), before.size() + 2);
        QCOMPARE(fileCopiesBeforeMerge(), 1);
        // The window is usable again once the merge is done.
        QVERIFY(main()->isEnabled());
        QVERIFY(!test::window(u"Form11"_s)->isVisible());
    }

    void aLongReportIsCutShortInTheQuestion() {
        for (int i = 0; i < 22; ++i) {
            addRecord(other, u"name %1"_s.arg(i));
            addRecord(database(), u"name %1"_s.arg(i));
        }
        dialogs().answer(false);
        const QStringList asked = merged(other);
        QCOMPARE(asked.size(), 1);
        // The account's line and 19 renames, then the 3 renames left.
        QVERIFY2(asked[0].contains(u"  \"name 18\" came in as \"name 18 (2)\"\r  ... and 3 more "
                                   "lines\r"_s),
                 qPrintable(asked[0]));
        QVERIFY(!asked[0].contains(u"\"name 19 (2)\""_s));
    }

    void nothingToMergeAndARefusedFileAskNothing() {
        QCOMPARE(merged(other), QStringList{u"Nothing to merge."_s});
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Information);
        dialogs().clear();

        const QString foreign = test::writeFile(session->env.root() + u"not a database.ksd"_s,
                                                "just some text, no database\n");
        const QStringList refused = merged(foreign);
        QCOMPARE(refused.size(), 1);
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Exclamation);
        QVERIFY2(refused[0].startsWith(u"The file "_s + foreign +
                                       u" is not a Keystead database "
                                       "that can be merged"_s),
                 qPrintable(refused[0]));
        dialogs().clear();
        // A chooser cancelled does nothing.
        QVERIFY(merged(QString()).isEmpty());
        QCOMPARE(fileCopiesBeforeMerge(), 0);
    }

    void aLockWaitsForTheMergeUnderWay() {
        addRecord(other, u"forum"_s);
        Program& program = *session->program;
        // The lock comes as the merge begins; its outcome is told to the user who asked for it.
        bool loggedInAtOutcome = false;
        dialogs().onShown = [&](const test::ScriptedDialogs::Shown& shown) {
            if (shown.icon == MessageIcon::Question) {
                QTimer::singleShot(0, &program,
                                   [&program] { Q_EMIT program.sessionLock().idleTimer().idle(); });
            } else {
                loggedInAtOutcome = state().LoggedIn && main()->isVisible();
            }
        };
        dialogs().answer(true);
        const QStringList told = merged(other);
        dialogs().onShown = nullptr;
        QCOMPARE(told.size(), 2);  // the question, then the merge's outcome
        QVERIFY(loggedInAtOutcome);
        QTRY_VERIFY_WITH_TIMEOUT(!state().LoggedIn, 5000);
        session->logIn(u"anna"_s, u"annapass"_s);
        QVERIFY(listed().contains(u"forum"_s));
    }

    void aFailedMergeChangesNothing() {
        addRecord(other, u"forum"_s);
        const QByteArray before = test::readBytes(database());
        page()->setMergeFailAfter([](int step) { return step == 1; });
        dialogs().answer(true);
        const QStringList told = merged(other);
        QCOMPARE(told.size(), 2);
        QCOMPARE(dialogs().shown[1].icon, MessageIcon::Critical);
        QVERIFY2(told[1].startsWith(u"The database could not be merged. The current database has "
                                    "been left as it was."_s),
                 qPrintable(told[1]));
        QVERIFY(!listed().contains(u"forum"_s));
        QCOMPARE(test::readBytes(database()), before);
        QCOMPARE(fileCopiesBeforeMerge(), 0);
        QVERIFY(main()->isEnabled());
    }
};

QTEST_MAIN(MergeGuiTest)
#include "tst_merge_gui.moc"
