// The export and import of the whole database on the Options page, end to end: the questions,
// the checks of space and of the file, failures, the copies kept and the restart.
#include "OptionsGuiFixture.h"
#include "app/Accounts.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "storage/Backups.h"
#include "storage/DatabaseCopy.h"
#include "widgets/VolumeFolderChooser.h"

using namespace ks;
using namespace Qt::StringLiterals;
using test::kTitle;
using test::ScriptedDialogs;

class DatabaseTransferGuiTest : public test::OptionsGuiFixture {
    Q_OBJECT

    QString folder;  // a chosen folder for export and import, without a trailing "/"

    VolumeFolderChooser* chooser(const char* tree) {
        return qobject_cast<VolumeFolderChooser*>(
            test::control<QTreeView>(main(), QString::fromLatin1(tree))->parentWidget());
    }
    // Exports to or imports from `place`; the texts of the messages shown meanwhile.
    QStringList exportVia(const QString& place) {
        chooser("dirExport")->setCurrentFolder(place);
        return pressed(main(), u"cmdExport"_s);
    }
    QStringList importVia(const QString& place) {
        chooser("dirImport")->setCurrentFolder(place);
        return pressed(main(), u"cmdImport"_s);
    }
    QString exportFile() { return folder + u"/data.ksd"_s; }
    // The accounts of a database file, by name, in the order they were made.
    QStringList accountsIn(const QString& path) {
        DatabaseAccess file(path, PassPhrase());
        Result<Connection> connection = file.open();
        Statement names = connection->prepare(u"SELECT UserName FROM Users ORDER BY Id"_s);
        QStringList found;
        while (names.next()) {
            found << DecryptField(names.text(0));
        }
        return found;
    }
    // The copies that imports kept (the compaction before an export keeps one too).
    QList<BackupFile> importCopies() {
        QList<BackupFile> found = listBackups(session->env.dataFolder());
        found.removeIf([](const BackupFile& file) { return file.reason != u"before-import"_s; });
        return found;
    }
    QString importQuestion(const QString& holds, const QString& warning = {}) {
        return u"You are about to replace the current database with the database stored at "_s +
               folder + u"/\r\rIt holds "_s + holds + u".\r\r"_s + warning +
               u"The current database is kept as a copy in the folder Backups of the data "
               "folder.\r\rAre you sure?"_s;
    }

private Q_SLOTS:
    void init() {
        startOptions();
        folder = session->env.root() + u"chosen <b>x</b> folder ünï"_s;
        QVERIFY(QDir().mkpath(folder));
    }
    void cleanup() { endSession(); }

    void exportingTwiceAsksAndNoKeepsTheFirst() {
        // The outcome is told once the status window ("Please wait") is gone.
        QStringList statusShown;
        dialogs().onShown = [&](const ScriptedDialogs::Shown& shown) {
            statusShown << shown.text + (test::window(u"Form11"_s)->isVisible() ? u" over Form11"_s
                                                                                : QString());
        };
        QCOMPARE(exportVia(folder), QStringList({u"Export Complete"_s}));
        dialogs().onShown = nullptr;
        QCOMPARE(statusShown, QStringList({u"Export Complete"_s}));
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Information);
        const QByteArray first = test::readBytes(exportFile());
        QCOMPARE(first, test::readBytes(database()));
        // A change after the first export, so a second one would differ.
        session->logOut();
        session->logIn(u"bobby"_s, u"bobspass"_s);

        dialogs().answer(false);
        QCOMPARE(exportVia(folder),
                 QStringList({u"A Keystead database was already exported to this "
                              "location.\r\rWould you like to overwrite it?"_s}));
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Question);
        QCOMPARE(test::readBytes(exportFile()), first);
        QVERIFY(main()->isEnabled());
        QVERIFY(!test::window(u"Form11"_s)->isVisible());

        dialogs().answer(true);
        QCOMPARE(exportVia(folder).last(), u"Export Complete"_s);
        QCOMPARE(test::readBytes(exportFile()), test::readBytes(database()));
        QVERIFY(test::readBytes(exportFile()) != first);
    }

    void tooLittleSpaceRefusesAfterTheCompaction() {
        // A large deleted picture, so the compaction visibly shrinks the file.
        QVERIFY(session->program->database()
                    .open()
                    ->exec(u"INSERT INTO Images (ImageName, Image, UserName) VALUES ('big', "
                           "zeroblob(1048576), 'X'); DELETE FROM Images"_s)
                    .ok());
        session->program->database().CloseAllDatabaseObjects();
        const qint64 before = QFileInfo(database()).size();
        qint64 sizeSeen = -1;
        page()->setFreeSpaceProbe([&](const QString&) {
            sizeSeen = QFileInfo(database()).size();
            return std::optional<qint64>(sizeSeen - 1);
        });
        QCOMPARE(exportVia(folder), QStringList({u"The drive you selected does not have enough "
                                                 "free space to store your database."_s}));
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Exclamation);
        QVERIFY2(sizeSeen < before, "the space was measured before the compaction");
        QVERIFY(!state().DataDeleted);
        QVERIFY(!QFileInfo::exists(exportFile()));
    }

    void aFailingCopyIsReportedAndLeavesNoExport() {
        test::writeFile(exportFile(), "an earlier export");
        CopyHooks hooks;
        hooks.failAt = [](CopyStep step) { return step == CopyStep::Verify; };
        page()->setCopyHooks(hooks);
        dialogs().answer(true);
        const QStringList shown = exportVia(folder);
        QCOMPARE(shown.size(), 2);
        QCOMPARE(dialogs().shown[1].icon, MessageIcon::Critical);
        QVERIFY(shown[1].startsWith(u"The database could not be exported to "_s + folder +
                                    u"/. No export file was written; an earlier export there "
                                    "is unchanged."_s));
        QCOMPARE(test::readBytes(exportFile()), QByteArray("an earlier export"));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList({u"data.ksd"_s}));
        QVERIFY(main()->isEnabled());
    }

    void importFromAFolderWithoutAnExport() {
        const QByteArray before = test::readBytes(database());
        QCOMPARE(importVia(folder),
                 QStringList({u"No Keystead database was found at "_s + folder + u'/'}));
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Exclamation);
        QCOMPARE(test::readBytes(database()), before);
    }

    // The kinds of files refused are the storage tests' concern; here a file, a folder and a
    // database with a trigger, whose reason is told.
    void hostileFilesAreRefusedBeforeAnyQuestion_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("markup") << u"markup"_s
                                << u"The database file is damaged or is not a database of this "
                                   "program."_s;
        QTest::newRow("folder") << u"folder"_s << u"The database file could not be opened."_s;
        QTest::newRow("trigger") << u"trigger"_s
                                 << u"The database file is not a database of this "
                                    "program.\r\r(the file holds a trigger wipe)"_s;
    }

    void hostileFilesAreRefusedBeforeAnyQuestion() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        if (kind == u"folder"_s) {
            QVERIFY(QDir().mkpath(exportFile()));
        } else if (kind == u"markup"_s) {
            test::writeFile(exportFile(), "<b>x</b>");
        } else {
            QVERIFY(QFile::copy(database(), exportFile()));
            Result<Connection> file =
                Connection::openFile(exportFile(), PassPhrase().toUtf8(), false);
            QVERIFY(file->exec(u"CREATE TRIGGER wipe AFTER INSERT ON Logins BEGIN DELETE FROM "
                               "Logins; END"_s)
                        .ok());
        }
        const QByteArray before = test::readBytes(database());
        const QStringList shown = importVia(folder);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Exclamation);
        QVERIFY2(shown[0].startsWith(u"The file "_s + exportFile() +
                                     u" is not a Keystead database that can be imported. Nothing "
                                     "has been changed.\r\r"_s +
                                     reason),
                 qPrintable(shown[0]));
        QCOMPARE(test::readBytes(database()), before);
        QCOMPARE(test::filesUnder(session->env.dataFolder() + u"Backups"_s), QStringList());
        QVERIFY(!QFileInfo::exists(session->env.dataFolder() + u"Import.part"_s));
        QCOMPARE(session->env.startedPrograms.size(), 0);
    }

    // The data folder's volume must hold the checked copy, the copy of the current database and
    // the engine's work; the chosen file's volume only the file.
    void importNeedsRoomInTheDataFolderToo() {
        exportVia(folder);
        const qint64 size = QFileInfo(exportFile()).size();
        page()->setFreeSpaceProbe([&](const QString& place) {
            return std::optional<qint64>(place == session->env.dataFolder() ? 3 * size - 1 : size);
        });
        const QByteArray before = test::readBytes(database());
        QCOMPARE(importVia(folder),
                 QStringList({u"The drive of the Keystead data folder does not have enough free "
                              "space to import this database and keep a copy of the current one. "
                              "Nothing has been changed."_s}));
        QCOMPARE(dialogs().shown.last().icon, MessageIcon::Exclamation);
        QVERIFY(!QFileInfo::exists(session->env.dataFolder() + u"Import.part"_s));
        QCOMPARE(test::readBytes(database()), before);
    }

    // The import asks first, naming what the file holds; No changes nothing. An import that
    // fails says why. Yes replaces the database and restarts, and each import keeps the
    // database it replaced: a second one never takes the first one's copy.
    void importsAskKeepEveryReplacedDatabaseAndRestart() {
        exportVia(folder);  // holds anna only
        session->logOut();
        session->logIn(u"carl"_s, u"carlpass"_s);
        const QString carls = importQuestion(
            u"1 account (anna), 0 records, 0 journal entries, 0 pictures and 0 files"_s,
            u"Warning: your account carl is not in it. After the import nobody can log in as "
            "carl, and its records, journal, pictures and files are kept only in the copy of the "
            "current database.\r\r"_s);
        const QByteArray replaced = test::readBytes(database());
        dialogs().answer(false);
        QCOMPARE(importVia(folder), QStringList({carls}));
        QVERIFY(dialogs().shown[0].defaultNo);  // Enter keeps carl's database
        QCOMPARE(test::readBytes(database()), replaced);
        QVERIFY(!QFileInfo::exists(session->env.dataFolder() + u"Import.part"_s));
        QVERIFY(main()->isVisible());

        // Another program writing at that moment: the import waits a little, then says why.
        CopyHooks hooks;
        hooks.lockTimeoutMs = 50;
        page()->setCopyHooks(hooks);
        {
            Result<Connection> writer =
                Connection::openFile(database(), PassPhrase().toUtf8(), false);
            Transaction held = writer->begin();
            dialogs().answer(true);
            QCOMPARE(importVia(folder).last(),
                     u"The database could not be imported. The current database has been left as "
                     "it was. The database is in use by another program.\r\r(database is "
                     "locked)"_s);
        }
        QCOMPARE(test::readBytes(database()), replaced);
        QCOMPARE(importCopies().size(), 0);

        dialogs().answer(true);
        QCOMPARE(importVia(folder).last(),
                 u"Database import complete.\r\rKeystead must be restarted for "
                 "these changes to take effect."_s);
        QCOMPARE(dialogs().shown.last().icon, MessageIcon::Information);
        QCOMPARE(session->env.startedPrograms,
                 QList<QStringList>({{QCoreApplication::applicationFilePath()}}));
        QCOMPARE(session->env.endCount, 1);
        QVERIFY(session->program->ended());
        QVERIFY(!main()->isVisible());

        // The new run knows the imported accounts only; a second import keeps the first copy.
        session->start();
        QVERIFY(logsIn(u"anna"_s, u"annapass"_s));
        dialogs().answer(false);
        test::logIn(u"carl"_s, u"carlpass"_s);
        QVERIFY(!state().LoggedIn);
        QCOMPARE(dialogs().texts().last(),
                 u"That user is not in the database.  Would you like to create a "
                 "new user?"_s);
        session->logIn(u"anna"_s, u"annapass"_s);
        dialogs().answer(true);
        QCOMPARE(importVia(folder).first(),
                 importQuestion(u"1 account (anna), 0 records, 0 journal entries, 0 pictures "
                                "and 0 files"_s));
        QVERIFY(!dialogs().shown[0].defaultNo);
        const QList<BackupFile> kept = importCopies();
        QCOMPARE(kept.size(), 2);
        QCOMPARE(QFileInfo(kept[0].path).fileName(), u"Data-20260305-100000-before-import.mdb"_s);
        QCOMPARE(accountsIn(kept[0].path), QStringList({u"anna"_s, u"carl"_s}));
        QCOMPARE(accountsIn(kept[1].path), QStringList({u"anna"_s}));
        QVERIFY(!QFileInfo::exists(database() + u".bak"_s));
    }

    // The question names the file's accounts, a few of them, each as a message may show it.
    void theQuestionNamesAFewAccountsShownSafely() {
        QVERIFY(QFile::copy(session->env.templatePath(), exportFile()));
        {
            DatabaseAccess file(exportFile(), PassPhrase());
            QVERIFY(CreateUser(file, u"a\u202eb<i>"_s, u"pass"_s).ok());
            for (int i = 0; i < 12; ++i) {
                QVERIFY(
                    CreateUser(file, u"user%1"_s.arg(i, 2, 10, QLatin1Char('0')), u"pass"_s).ok());
            }
        }
        dialogs().answer(false);
        const QString question = importVia(folder).first();
        QVERIFY2(question.contains(u"It holds 13 accounts (\"a\\u{202e}b<i>\", user00, user01, "
                                   "user02, user03, user04, user05, user06, user07, user08 and 3 "
                                   "more), 0 records"_s),
                 qPrintable(question));
        QVERIFY(dialogs().shown[0].defaultNo);
    }

    // The chosen folder's volume is listed with its free space; an unreadable volume falls
    // back to the home volume.
    void volumesAreListedAndAnUnreadableOneFallsBack() {
        chooser("dirImport")->setCurrentFolder(folder);
        auto* drives = test::control<QComboBox>(main(), u"drvImport"_s);
        QCOMPARE(drives->currentData().toString(), QStorageInfo(folder).rootPath());
        QVERIFY2(drives->currentText().contains(u" free)"_s), qPrintable(drives->currentText()));
        for (int i = 0; i < drives->count(); ++i) {
            QVERIFY(!drives->itemData(i).toString().startsWith(u"/proc"_s));
        }
        QVERIFY(dialogs().shown.isEmpty());

        VolumeFolderChooser* exportChooser = chooser("dirExport");
        exportChooser->setVolumes({{u"/no-such-volume"_s, u"Gone"_s, 0}});
        drives = test::control<QComboBox>(main(), u"drvExport"_s);
        const int ghost = drives->findData(u"/no-such-volume"_s);
        QVERIFY(ghost >= 0);
        const QString ghostText = drives->itemText(ghost);
        drives->setCurrentIndex(ghost);
        QCOMPARE(dialogs().shown.size(), 1);
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Critical);
        QCOMPARE(dialogs().shown[0].title, kTitle);
        QCOMPARE(dialogs().shown[0].text, u"An error occured trying to access drive: "_s +
                                              ghostText +
                                              u"\r\rError reads:  2 - No such file or directory"_s);
        QCOMPARE(exportChooser->currentFolder(), QDir::homePath());
        QCOMPARE(drives->currentData().toString(), QStorageInfo(QDir::homePath()).rootPath());
    }
};

QTEST_MAIN(DatabaseTransferGuiTest)
#include "tst_database_transfer_gui.moc"
