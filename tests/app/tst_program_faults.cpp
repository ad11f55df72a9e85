#include <QtTest>
#include <QtWidgets>

#include <signal.h>
#include <chrono>
#include <thread>

#include "GuiDriver.h"
#include "Session.h"
#include "SmallDisk.h"
#include "storage/SettingsFile.h"

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
        holder.start(QStringLiteral(FAULT_HELPER), {u"lock"_s, lockPath()});
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
