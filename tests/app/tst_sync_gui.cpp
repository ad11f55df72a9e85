// The sync folder in the running program: chosen in Options, other machines' changes shown
// without a logout once the folder changes, an open record editor and unsaved journal text kept
// (the user's later save wins, the other version goes to history), and a save written to the
// folder after the write delay.
#include <QtTest>
#include <QtWidgets>

#include "GuiDriver.h"
#include "ProtectedAccount.h"
#include "Session.h"
#include "app/MainWindow.h"
#include "app/SyncPasses.h"
#include "core/AccountValues.h"
#include "crypto/PassPhrase.h"
#include "journal/JournalDate.h"
#include "journal/JournalStore.h"
#include "options/AccountProtection.h"
#include "options/ConversionParts.h"
#include "options/DatabaseTransfer.h"
#include "options/OptionsPage.h"
#include "sync/SyncFolder.h"
#include "vault/RecordHistory.h"
#include "vault/RecordStore.h"
#include "widgets/VolumeFolderChooser.h"

using namespace ks;
using namespace Qt::StringLiterals;

class SyncGuiTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::Session> session;
    QString syncFolder;
    QString laptopFolder;  // the second machine's data folder
    std::unique_ptr<DatabaseAccess> laptop;
    qint64 shared = 0;  // a record both machines hold

    ProgramState& state() { return session->program->state(); }
    QMainWindow* main() { return session->mainWindow(); }
    QStringList listed() {
        return test::itemTexts(test::control<QListView>(main(), u"lstPasswords"_s));
    }
    QWidget* editor() { return test::window(u"Form2"_s); }
    QLineEdit* box(QWidget* root, const QString& name) {
        return test::control<QLineEdit>(root, name);
    }
    // This machine's files in the sync folder (every device folder but the laptop's).
    QStringList ownFiles() {
        QStringList files;
        const QDir folder(syncFolder);
        const QString laptopId = syncDeviceId(*laptop, laptopFolder).value();
        for (const QString& device : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            if (device != laptopId) {
                files += QDir(folder.filePath(device)).entryList(QDir::Files);
            }
        }
        return files;
    }
    void laptopWrites() {
        SyncRequest request;
        request.dataFolder = laptopFolder;
        request.syncFolder = syncFolder;
        request.machineName = u"laptop <b>ノート</b>"_s;
        const SyncOutcome written = syncOnce(*laptop, request);
        QVERIFY2(written.ok(), qPrintable(written.status.detail));
    }
    std::optional<StoredRecord> record(DatabaseAccess& database, qint64 counter) {
        return RecordStore(database).ShowRecord(state().CurrentAccount, counter).value();
    }

private Q_SLOTS:
    void init() {
        session = std::make_unique<test::Session>();
        session->adjustOptions = [](ProgramOptions& options) {
            options.syncWriteDelay = std::chrono::milliseconds(300);
            options.syncSettle = std::chrono::milliseconds(100);
        };
        session->start();
        session->logIn(u"anna"_s, u"annapass"_s);
        {
            DatabaseAccess live(session->env.databasePath(), PassPhrase());
            shared = RecordStore(live)
                         .CreateRecord(state().CurrentAccount,
                                       {u"shared"_s, u"user"_s, u"first"_s, {}, {}, {}})
                         .counter;
            QVERIFY(shared > 0);
        }
        // The second machine starts as a copy of this one's data folder, as users set it up.
        laptopFolder = session->env.root() + u"laptop/"_s;
        QVERIFY(QDir().mkpath(laptopFolder));
        QVERIFY(ExportDatabase(session->env.databasePath(), laptopFolder, {}).ok());
        QVERIFY(QFile::rename(laptopFolder + u"data.ksd"_s, laptopFolder + u"Data.mdb"_s));
        laptop = std::make_unique<DatabaseAccess>(laptopFolder + u"Data.mdb"_s, PassPhrase());
        syncFolder = session->env.root() + u"sync <b>ü</b>"_s;
        QVERIFY(QDir().mkpath(syncFolder));

        // Chosen in Options and saved: the program follows the folder at once.
        session->program->mainWindow()->readAccountAgain();
        test::showTab(main(), 4);
        session->dialogs.folder(syncFolder);
        QVERIFY(test::press(main(), u"cmdSyncChoose"_s));
        box(main(), u"txtMachineName"_s)->setText(u"desk"_s);
        QVERIFY(test::press(main(), u"cmdSyncSave"_s));
        const SettingsFile settings = readSettings(session->env.dataFolder());
        QCOMPARE(settings.line7, syncFolder);
        QCOMPARE(settings.line8, u"desk"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!ownFiles().isEmpty(), 5000);
        test::showTab(main(), 0);
    }
    void cleanup() {
        QVERIFY2(session->dialogs.texts().isEmpty(),
                 qPrintable(session->dialogs.texts().join(u'\n')));
        QVERIFY(session->dialogs.unexpected.isEmpty());
        laptop.reset();
        session.reset();
    }

    void anotherMachinesChangeShowsWithoutLogout() {
        QVERIFY(RecordStore(*laptop)
                    .CreateRecord(state().CurrentAccount,
                                  {u"laptop record"_s, u"user"_s, u"pw"_s, {}, {}, {}})
                    .outcome == SaveOutcome::Saved);
        laptopWrites();
        QTRY_VERIFY_WITH_TIMEOUT(listed().contains(u"laptop record"_s), 5000);
        QVERIFY(state().LoggedIn);
        // Options lists the laptop with what is applied of it.
        auto* machines = test::control<QTreeWidget>(main(), u"lstSyncMachines"_s);
        QTRY_VERIFY_WITH_TIMEOUT(machines->topLevelItemCount() == 1 &&
                                     machines->topLevelItem(0)->text(2) == u"all applied"_s,
                                 5000);
        QCOMPARE(machines->topLevelItem(0)->text(0), u"laptop <b>ノート</b>"_s);
    }

    // The laptop protects anna while she is logged in here without a key: the protection waits
    // (noted in Options) and her session goes on; once she logs out it is taken, her next login
    // asks for the pass phrase, and what she made here meanwhile is sealed and sent.
    void aProtectionMadeOnTheLaptopWaitsForTheSession() {
        const QString owner = state().CurrentAccount.owner;
        const QString passPhrase = u"the laptop's pass phrase"_s;
        const auto protectedHere = [this, &owner] {
            DatabaseAccess live(session->env.databasePath(), PassPhrase());
            Result<Connection> connection = live.open();
            Statement query = connection->prepare(
                u"SELECT count(*) FROM Users WHERE UserName = ?1 AND KeyWrapped IS NOT NULL"_s);
            query.bind(1, owner);
            return query.next() && query.integer(0) == 1;
        };
        QVERIFY(test::press(main(), u"cmdLoginsNew"_s));
        box(editor(), u"txtShortName"_s)->setText(u"made here"_s);
        box(editor(), u"txtPassword"_s)->setText(u"pw here"_s);
        box(editor(), u"txtPassword2"_s)->setText(u"pw here"_s);
        QVERIFY(test::press(editor(), u"cmdSaveClose"_s));
        session->dialogs.clear();

        const ProtectionOutcome made =
            protectAccount(*laptop, owner, u"annapass"_s, passPhrase, test::cheapKdf(),
                           accountConversionParts(), {});
        QCOMPARE(made.result, ProtectionOutcome::Result::Protected);
        laptopWrites();
        auto* machines = test::control<QTreeWidget>(main(), u"lstSyncMachines"_s);
        QTRY_VERIFY_WITH_TIMEOUT(
            machines->topLevelItemCount() == 1 && machines->topLevelItem(0)->childCount() == 1 &&
                machines->topLevelItem(0)->child(0)->text(0).contains(u"when this session ends"_s),
            5000);
        QVERIFY(state().LoggedIn && !protectedHere());
        QVERIFY(listed().contains(u"made here"_s) && listed().contains(u"shared"_s));

        session->logOut();
        QTRY_VERIFY_WITH_TIMEOUT(protectedHere(), 5000);
        session->logIn(u"anna"_s, passPhrase);
        QVERIFY(state().CurrentAccount.isProtected());
        const auto unsealed = [](DatabaseAccess& database, const QString& account) {
            Result<Connection> connection = database.open();
            Statement query = connection->prepare(
                u"SELECT count(*) FROM Logins WHERE KeyUserName = ?1 AND substr(ShortName, 1, 4) "
                "<> 'ks1:'"_s);
            query.bind(1, account);
            return query.next() ? query.integer(0) : -1;
        };
        DatabaseAccess live(session->env.databasePath(), PassPhrase());
        QTRY_COMPARE_WITH_TIMEOUT(unsealed(live, owner), 0, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(listed().contains(u"made here"_s), 5000);
        QVERIFY(listed().contains(u"shared"_s));
        // The laptop takes what was made here, sealed.
        QTRY_VERIFY_WITH_TIMEOUT(ownFiles().size() >= 2, 5000);
        laptopWrites();
        QCOMPARE(unsealed(*laptop, owner), 0);
        QStringList names;
        Result<Connection> connection = laptop->open();
        Statement rows =
            connection->prepare(u"SELECT Uuid, ShortName FROM Logins WHERE KeyUserName = ?1"_s);
        rows.bind(1, owner);
        while (rows.next()) {
            names << shownValue(made.account, columns::kShortName, rows.blob(0), rows.text(1))
                         .value_or(u"(damaged)"_s);
        }
        QVERIFY2(names.contains(u"made here"_s), qPrintable(names.join(u", "_s)));
    }

    // A pass that began before a login, without its key, takes the account's protection from
    // the laptop under the new session: the session is locked, and the next login asks for the
    // pass phrase.
    void aSessionBegunUnderAPassThatTakesItsProtectionIsLocked() {
        const QString owner = state().CurrentAccount.owner;
        const QString passPhrase = u"the laptop's pass phrase"_s;
        QCOMPARE(protectAccount(*laptop, owner, u"annapass"_s, passPhrase, test::cheapKdf(),
                                accountConversionParts(), {})
                     .result,
                 ProtectionOutcome::Result::Protected);
        SyncPasses* passes = session->program->syncPasses();
        laptopWrites();
        // The session's own pass leaves the protection for later.
        QTRY_VERIFY_WITH_TIMEOUT(!passes->running() && passes->lastOutcome().skipped.size() == 1,
                                 5000);
        QSemaphore entered;
        QSemaphore gate;
        passes->beforePass = [&] {
            entered.release();
            gate.acquire();
        };
        session->logOut();
        // The pass after the session holds no key; it waits while anna logs in again.
        QVERIFY(entered.tryAcquire(1, 5000));
        passes->beforePass = nullptr;
        session->logIn(u"anna"_s, u"annapass"_s);
        QVERIFY(!state().CurrentAccount.isProtected());
        gate.release();
        QTRY_VERIFY_WITH_TIMEOUT(!state().LoggedIn, 10000);
        QVERIFY(test::window(u"Form1"_s) == nullptr || !test::window(u"Form1"_s)->isVisible());
        session->logIn(u"anna"_s, passPhrase);
        QVERIFY(state().CurrentAccount.isProtected());
        QTRY_VERIFY_WITH_TIMEOUT(listed().contains(u"shared"_s), 5000);
    }

    // While the passes are held (the database being compacted) none starts, whatever the folder
    // does; what was asked meanwhile runs once they are released.
    void heldPassesWaitForTheRelease() {
        SyncPasses* passes = session->program->syncPasses();
        QTRY_VERIFY_WITH_TIMEOUT(!passes->running(), 5000);
        passes->holdPasses();
        QVERIFY(RecordStore(*laptop)
                    .CreateRecord(state().CurrentAccount,
                                  {u"while held"_s, u"user"_s, u"pw"_s, {}, {}, {}})
                    .outcome == SaveOutcome::Saved);
        laptopWrites();
        QTest::qWait(1000);  // the folder's change settles in 100 ms here
        QVERIFY(!passes->running());
        QVERIFY(!listed().contains(u"while held"_s));
        passes->releasePasses();
        QTRY_VERIFY_WITH_TIMEOUT(listed().contains(u"while held"_s), 5000);
    }

    void anOpenEditorAndUnsavedJournalTextAreKeptAndTheirSavesWin() {
        // The editor is open with a typed password; the journal holds unsaved text.
        test::showTab(main(), 1);
        auto* journal = test::control<QPlainTextEdit>(main(), u"txtJournal"_s);
        journal->setPlainText(u"typed here, not saved"_s);
        test::showTab(main(), 0);
        QVERIFY(test::selectText(test::control<QAbstractItemView>(main(), u"lstPasswords"_s),
                                 u"shared"_s));
        QVERIFY(test::press(main(), u"cmdLoginsEdit"_s));
        box(editor(), u"txtPassword"_s)->setText(u"mine"_s);
        box(editor(), u"txtPassword2"_s)->setText(u"mine"_s);

        // Meanwhile the laptop changes the same record and the same day.
        QCOMPARE(RecordStore(*laptop)
                     .UpdateRecord(state().CurrentAccount, shared,
                                   {u"shared"_s, u"user"_s, u"theirs"_s, {}, {}, {}})
                     .outcome,
                 SaveOutcome::Saved);
        const QString today = journalDateText(session->clock->current.date());
        QVERIFY(writeJournalEntry(*laptop, state().CurrentAccount.owner, today,
                                  storedJournalValue(u"the laptop's day"_s),
                                  session->clock->current.date())
                    .ok());
        QSignalSpy applied(session->program->syncPasses(), &SyncPasses::changedHere);
        laptopWrites();
        QTRY_VERIFY_WITH_TIMEOUT(applied.count() > 0, 5000);
        QCoreApplication::processEvents();
        DatabaseAccess live(session->env.databasePath(), PassPhrase());
        QCOMPARE(record(live, shared)->fields.password, u"theirs"_s);
        QVERIFY(editor()->isVisible());
        QCOMPARE(box(editor(), u"txtPassword"_s)->text(), u"mine"_s);
        QCOMPARE(journal->toPlainText(), u"typed here, not saved"_s);

        // The user's saves come later and win; the laptop's version goes to history.
        const QStringList before = ownFiles();
        QVERIFY(test::press(editor(), u"cmdSaveClose"_s));
        QCOMPARE(record(live, shared)->fields.password, u"mine"_s);
        const QList<RecordVersion> versions =
            ListRecordHistory(live, state().CurrentAccount, shared).value();
        QVERIFY(std::any_of(versions.cbegin(), versions.cend(), [](const RecordVersion& v) {
            return v.fields.password == u"theirs"_s;
        }));
        // The save goes to the sync folder after the delay, without a logout, and the laptop
        // takes it.
        QTRY_VERIFY_WITH_TIMEOUT(ownFiles().size() > before.size(), 5000);
        QVERIFY(state().LoggedIn);
        laptopWrites();
        QCOMPARE(record(*laptop, shared)->fields.password, u"mine"_s);
    }

    // An import replaces the database only once the pass under way has ended and the change
    // saved here has gone to the sync folder; an import that fails lets the passes go on.
    void anImportWritesThisMachinesChangesFirst() {
        const auto laptopRecords = [&] {
            return test::countOf(laptop->open().value(), u"SELECT count(*) FROM Logins"_s);
        };
        const qint64 laptopBefore = laptopRecords();
        const QString place = session->env.root() + u"transfer"_s;
        QVERIFY(QDir().mkpath(place));
        QVERIFY(ExportDatabase(session->env.databasePath(), place, {}).ok());
        SyncPasses* passes = session->program->syncPasses();
        const auto saveHere = [&](const QString& name) {
            QVERIFY(
                RecordStore(session->program->database())
                    .CreateRecord(state().CurrentAccount, {name, u"user"_s, u"pw"_s, {}, {}, {}})
                    .outcome == SaveOutcome::Saved);
            QTRY_VERIFY_WITH_TIMEOUT(passes->writeWaiting(), 5000);
        };
        test::showTab(main(), 4);
        qobject_cast<VolumeFolderChooser*>(
            test::control<QTreeView>(main(), u"dirImport"_s)->parentWidget())
            ->setCurrentFolder(place);

        // Another program holds the database: the import fails, and the passes go on.
        saveHere(u"first"_s);
        CopyHooks hooks;
        hooks.lockTimeoutMs = 50;
        session->program->mainWindow()->optionsPage()->setCopyHooks(hooks);
        {
            Result<Connection> writer =
                Connection::openFile(session->env.databasePath(), PassPhrase().toUtf8(), false);
            Transaction held = writer->begin();
            session->dialogs.answer(true);
            QVERIFY(test::press(main(), u"cmdImport"_s));
        }
        QVERIFY(
            session->dialogs.texts().last().startsWith(u"The database could not be imported."_s));
        session->dialogs.clear();
        QTRY_VERIFY_WITH_TIMEOUT(!passes->running() && !passes->writeWaiting(), 5000);

        saveHere(u"second"_s);
        const QStringList before = ownFiles();
        session->dialogs.answer(true);
        QVERIFY(test::press(main(), u"cmdImport"_s));
        QVERIFY(session->dialogs.texts().last().startsWith(u"Database import complete."_s));
        session->dialogs.clear();
        QCOMPARE(session->env.startedPrograms.size(), 1);
        QVERIFY(ownFiles() != before);
        QVERIFY(!passes->running() && !passes->writeWaiting());
        // Both saves are in the folder: the laptop takes them.
        laptopWrites();
        QCOMPARE(laptopRecords(), laptopBefore + 2);
    }

    void aFolderInsideTheDataFolderIsRefusedAndNoSyncStopsThePasses() {
        test::showTab(main(), 4);
        const QString inside = session->env.dataFolder() + u"Backups"_s;
        QVERIFY(QDir().mkpath(inside));
        session->dialogs.folder(inside);
        QVERIFY(test::press(main(), u"cmdSyncChoose"_s));
        QVERIFY(test::press(main(), u"cmdSyncSave"_s));
        QCOMPARE(session->dialogs.shown.size(), 1);
        QCOMPARE(session->dialogs.shown[0].icon, MessageIcon::Exclamation);
        QVERIFY(session->dialogs.shown[0].text.startsWith(
            u"The sync folder cannot be inside the data folder"_s));
        QCOMPARE(readSettings(session->env.dataFolder()).line7, syncFolder);
        session->dialogs.clear();

        QVERIFY(test::press(main(), u"cmdSyncNone"_s));
        QVERIFY(test::press(main(), u"cmdSyncSave"_s));
        QCOMPARE(readSettings(session->env.dataFolder()).line7, QString());
        QVERIFY(RecordStore(*laptop)
                    .CreateRecord(state().CurrentAccount,
                                  {u"not synced"_s, u"user"_s, u"pw"_s, {}, {}, {}})
                    .outcome == SaveOutcome::Saved);
        laptopWrites();
        QTest::qWait(500);
        session->program->mainWindow()->readAccountAgain();
        test::showTab(main(), 0);
        QVERIFY(!listed().contains(u"not synced"_s));
    }
};

QTEST_MAIN(SyncGuiTest)
#include "tst_sync_gui.moc"
