#include <QtTest>
#include <QtWidgets>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <chrono>
#include <thread>

#include "GuiDriver.h"
#include "Session.h"
#include "SmallDisk.h"
#include "storage/SettingsFile.h"
#include "storage/TempFolder.h"
#include "storage/WorkFiles.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

const QString kAlreadyRunning = u"Keystead is already running."_s;

}  // namespace

class ProgramFaultsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::Session> session;

    QMainWindow* main() const { return session->mainWindow(); }
    QString lockPath() const { return session->env.dataFolder() + u"Keystead.lock"_s; }
    // A second program on the same data folder, started with its own dialogs.
    struct Second {
        test::ScriptedDialogs dialogs;
        std::unique_ptr<Program> program;
    };
    std::unique_ptr<Second> startSecond(int lockWaitMs) {
        auto second = std::make_unique<Second>();
        ProgramOptions options = session->env.programOptions();
        options.lockWaitMs = lockWaitMs;
        // The first copy runs in this thread, so it cannot answer while the second one waits.
        options.answerWaitMs = 100;
        second->program = std::make_unique<Program>(second->dialogs, options);
        second->program->start();
        return second;
    }

private Q_SLOTS:
    void init() { session = std::make_unique<test::Session>(); }
    void cleanup() { session.reset(); }

    void secondCopyOnOneDataFolderIsRefused() {
        const int endsBefore = session->env.endCount;
        std::unique_ptr<Second> second = startSecond(200);
        QVERIFY(second->program->ended());
        QCOMPARE(second->dialogs.texts(), QStringList{kAlreadyRunning});
        QCOMPARE(second->dialogs.shown.at(0).icon, MessageIcon::Exclamation);
        QCOMPARE(second->dialogs.shown.at(0).title, u"Keystead"_s);
        // It touched nothing: no login window, no temporary folder of its own.
        QVERIFY(second->program->loginWindow() == nullptr);
        QVERIFY(second->program->state().TempFolder.isEmpty());
        QCOMPARE(session->env.endCount, endsBefore + 1);
        // The first copy goes on; once it has ended, a new start finds the folder free.
        session->program->QuitApplication();
        QVERIFY(session->program->ended());
        second = startSecond(200);
        QVERIFY(!second->program->ended());
        QVERIFY(second->program->loginWindow() != nullptr);
    }

    void lockOfAnotherProcessIsWaitedForAndTakenOverWhenItDies() {
        session->program->QuitApplication();  // frees the folder for the other process
        QProcess holder;
        holder.start(QStringLiteral(FAULT_HELPER), {u"lock"_s, session->env.dataFolder()});
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("locked"));
        std::unique_ptr<Second> refused = startSecond(300);
        QVERIFY(refused->program->ended());
        QCOMPARE(refused->dialogs.texts(), QStringList{kAlreadyRunning});
        // The holder dies while a new start waits (the start blocks, so the kill comes from
        // another thread): its stale lock is taken over.
        const auto pid = static_cast<pid_t>(holder.processId());
        std::thread killer([pid] {
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            ::kill(pid, SIGKILL);
        });
        std::unique_ptr<Second> restarted = startSecond(5000);
        killer.join();
        QVERIFY(!restarted->program->ended());
        QVERIFY(!restarted->dialogs.texts().contains(kAlreadyRunning));
        holder.waitForFinished();
    }

    void leftoverLockFileNeverLocksOut() {
        session->program->QuitApplication();
        // Empty (a power cut just after the lock was taken), garbled, or naming a live process.
        for (const QByteArray& leftover : {QByteArray(), QByteArray("\xff\xfe\x01", 3),
                                           QByteArray::number(::getpid()) + "\nKeystead\n" +
                                               QSysInfo::machineHostName().toUtf8() + '\n'}) {
            test::writeFile(lockPath(), leftover);
            std::unique_ptr<Second> next = startSecond(200);
            QVERIFY(!next->program->ended());
            QVERIFY(!next->dialogs.texts().contains(kAlreadyRunning));
        }
    }

    void dataFolderOthersControlIsRefusedAtStart() {
        session->program->QuitApplication();
        const QString folder = session->env.dataFolder();
        const QString database = session->env.freshDatabase();
        const auto refused = [this, &folder](const QString& advice) {
            std::unique_ptr<Second> next = startSecond(200);
            QVERIFY(next->program->ended());
            QCOMPARE(next->dialogs.shown.size(), 1);
            QCOMPARE(next->dialogs.shown.at(0).icon, MessageIcon::Exclamation);
            const QString text = next->dialogs.shown.at(0).text;
            QVERIFY2(
                text.startsWith(u"Keystead cannot use the data folder "_s + folder + u".\r\r"_s),
                qPrintable(text));
            QVERIFY2(text.contains(advice), qPrintable(text));
            QVERIFY(next->program->loginWindow() == nullptr);
            QVERIFY(next->program->state().TempFolder.isEmpty());
        };
        const auto setMode = [](const QString& path, mode_t mode) {
            return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
        };
        QVERIFY(setMode(folder, 0777));
        refused(u"chmod 700"_s);
        QCOMPARE(test::fileMode(folder), 0777);
        QVERIFY(setMode(folder, 0700) && setMode(database, 0666));
        refused(u"chmod 600"_s);
        if (::geteuid() == 0) {  // only root can give the folder to another account
            QVERIFY(setMode(database, 0600));
            QVERIFY(::chown(QFile::encodeName(folder).constData(), 65534, 65534) == 0);
            refused(u"belongs to another account"_s);
            QVERIFY(::chown(QFile::encodeName(folder).constData(), 0, 0) == 0);
        }
        // A database others may only read is made private, and the program starts.
        QVERIFY(setMode(database, 0644));
        std::unique_ptr<Second> next = startSecond(200);
        QVERIFY(!next->program->ended());
        QCOMPARE(test::fileMode(database), 0600);
    }

    // A run killed midway leaves plain copies of stored files and partial copies of the
    // database behind; the next start removes them once it holds the data folder, but never
    // what a copy running on another data folder works with, nor a finished backup.
    void aStartRemovesWhatAKilledRunLeft() {
        test::TestEnvironment& env = session->env;
        const QString work = session->program->state().TempFolder;
        const QString data = env.dataFolder();
        // A copy running on another data folder, as its start made its work folder.
        const QString othersWork = prepareWorkFolder(preparePrivateTempFolder(u"Keystead"_s),
                                                     env.root() + u"other/Keystead/"_s, true);
        QVERIFY(!othersWork.isEmpty() && othersWork != work);
        QVERIFY(othersWork.startsWith(QFileInfo(work.chopped(1)).path() + u'/'));
        test::writeFile(othersWork + u"store.cab"_s, "the other copy's check-in");

        session->program.reset();  // killed: nothing of the way out runs
        const QString exportPart = env.root() + u"chosen/data.ksd.part"_s;
        const QStringList left = {
            work + u"store.cab"_s,
            work + u"checkout-Ab12Cd/letter.txt"_s,
            work + u"Keystead/launched.pdf"_s,
            QFileInfo(work.chopped(1)).path() + u"/store.cab"_s,  // an older build's place
            data + u"Import.part"_s,
            data + u"Import.part-journal"_s,
            data + u".Data.dat.Ab12Cd"_s,
            data + u".Data.mdb.bak.x1Y2z3"_s,
            data + u".Data.mdb.Q1w2E3"_s,
            data + u"Backups/Data-20260305-100000-before-import.mdb.part"_s,
            exportPart};
        for (const QString& file : left) {
            test::writeFile(file, "plain text");
        }
        notePartialExport(data, exportPart);
        const QStringList kept = {data + u"Data.mdb.bak"_s,
                                  data + u"Backups/Data-20260101-090000-before-import.mdb"_s,
                                  data + u".Data.dat.too-long-to-be-ours"_s};
        for (const QString& file : kept) {
            test::writeFile(file, "kept");
        }
        session->start();
        QCOMPARE(session->program->state().TempFolder, work);
        for (const QString& file : left) {
            QVERIFY2(!QFileInfo::exists(file), qPrintable(file));
        }
        for (const QString& file : kept + QStringList{othersWork + u"store.cab"_s}) {
            QVERIFY2(QFileInfo::exists(file), qPrintable(file));
        }
        QVERIFY(!QFileInfo::exists(data + u"Export.part-path"_s));
        // A normal way out takes only its own work folder.
        session->program->QuitApplication();
        QVERIFY(!QFileInfo::exists(work));
        QVERIFY(QFileInfo::exists(othersWork + u"store.cab"_s));
    }

    void failedSaveOnTheWayOutKeepsTheUserWithTheirText() {
        session->logIn(u"anna"_s);
        const QString text = u"A day worth keeping, typed before leaving."_s;
        test::showTab(main(), 1);
        auto* journal = test::control<QPlainTextEdit>(main(), u"txtJournal"_s);
        journal->setPlainText(text);
        for (const bool quitting : {true, false}) {
            session->dialogs.clear();
            session->dialogs.answer(true);  // save the changed entry: yes
            {
                const test::FileSizeLimit full(1024);  // every database write fails
                quitting ? session->program->QuitApplication() : session->program->logOut();
            }
            QVERIFY(!session->program->ended());
            QVERIFY(!session->program->state().Quitting);
            QVERIFY(session->program->state().LoggedIn);
            QVERIFY(main()->isVisible());
            QCOMPARE(journal->toPlainText(), text);
            QVERIFY(!session->dialogs.shown.isEmpty());
            QCOMPARE(session->dialogs.shown.last().icon, MessageIcon::Critical);
            QVERIFY(session->dialogs.unexpected.isEmpty());
        }
        // With the disk writable again the same way out saves the text and ends.
        session->dialogs.clear();
        session->dialogs.answer(true);
        session->program->QuitApplication();
        QVERIFY(session->program->ended());
        QVERIFY(session->dialogs.unexpected.isEmpty());
    }

    void failedSettingsSaveIsReportedAndKeepsTheFile() {
        session->logIn(u"anna"_s);
        const QString settings = settingsPath(session->env.dataFolder());
        const QByteArray before = test::readBytes(settings);
        test::showTab(main(), 4);
        test::control<QRadioButton>(main(), u"optNeverCompress"_s)->setChecked(true);
        {
            const test::FileSizeLimit full(4);
            QVERIFY(test::press(main(), u"Command6"_s));
        }
        QCOMPARE(test::readBytes(settings), before);
        QCOMPARE(session->dialogs.shown.size(), 1);
        QCOMPARE(session->dialogs.shown.at(0).icon, MessageIcon::Exclamation);
        QVERIFY(session->dialogs.shown.at(0).text.startsWith(
            u"The settings could not be saved; the settings file has been left as "
            "it was.\r\rcould not write "_s));
    }
};

QTEST_MAIN(ProgramFaultsTest)
#include "tst_program_faults.moc"
