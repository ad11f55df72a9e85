// The program as a desktop program: where it finds its own files, its command line, one
// window per data folder, and a clean end when the session asks it to.
#include <unistd.h>
#include <QLocalSocket>
#include <QtTest>
#include <QtWidgets>

#include "GuiDriver.h"
#include "Session.h"
#include "app/MainWindow.h"
#include "app/ProgramMaintenance.h"
#include "app/SingleInstance.h"
#include "core/Version.h"
#include "storage/DataFolderLock.h"
#include "storage/ProgramPaths.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

const QString kAlreadyRunning = u"Keystead is already running."_s;

QString programPath() {
    return QCoreApplication::applicationDirPath() + u"/keystead"_s;
}

// The window program in the test's world (the environment the test has set), on the given
// platform ("" leaves none, so that nothing can open a window).
QProcessEnvironment world(const QString& platform) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"DISPLAY"_s);
    environment.remove(u"WAYLAND_DISPLAY"_s);
    // Nor the desktop's session bus.
    environment.remove(u"DBUS_SESSION_BUS_ADDRESS"_s);
    environment.remove(u"XDG_RUNTIME_DIR"_s);
    environment.insert(u"QT_QPA_PLATFORM"_s, platform.isEmpty() ? u"xcb"_s : platform);
    return environment;
}

struct Ran {
    int code = -1;
    QString out;
    QString err;
};

Ran run(const QStringList& arguments, const QString& platform) {
    QProcess process;
    process.setProcessEnvironment(world(platform));
    process.start(programPath(), arguments);
    Ran ran;
    if (!process.waitForFinished(20000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        return ran;
    }
    ran.code = process.exitCode();
    ran.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    ran.err = QString::fromLocal8Bit(process.readAllStandardError());
    return ran;
}

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void programFilesAreFoundInTheBuildFolderAndWhenInstalled() {
        test::TestEnvironment env;
        const QString bin = QCoreApplication::applicationDirPath();
        QCOMPARE(programFilesFolder(bin), bin + u"/"_s);
        // Installed as <prefix>/bin/keystead with its files in <prefix>/share/keystead/.
        const QString prefix = env.root() + u"usr/"_s;
        const QString share = prefix + u"share/keystead/"_s;
        QVERIFY(QDir().mkpath(prefix + u"bin"_s));
        QCOMPARE(programFilesFolder(prefix + u"bin"_s), prefix + u"bin/"_s);  // nothing there
        QVERIFY(QDir().mkpath(share + u"help"_s));
        QVERIFY(QFile::rename(env.templatePath(), share + u"Template.dat"_s));
        QVERIFY(
            QFile::rename(env.appFolder() + u"help/index.html"_s, share + u"help/index.html"_s));
        QCOMPARE(programFilesFolder(prefix + u"bin/"_s), share);

        // The installed program makes the database from that template and opens that page.
        test::ScriptedDialogs dialogs;
        ProgramOptions options = env.programOptions();
        options.appFolder = programFilesFolder(prefix + u"bin"_s);
        Program program(dialogs, options);
        program.start();
        dialogs.clear();
        dialogs.answer(true);  // the new user is created
        test::logIn(u"anna"_s, u"password"_s);
        QVERIFY(program.state().LoggedIn);
        QVERIFY(QFileInfo(env.databasePath()).isFile());
        program.showHelp();
        QCOMPARE(env.openedUrls, QList<QUrl>{QUrl::fromLocalFile(share + u"help/index.html"_s)});
        QVERIFY(dialogs.unexpected.isEmpty());
    }

    void helpAndVersionNeedNoWindowAndOtherArgumentsAreRefused() {
        test::TestEnvironment env;
        // No display at all: a window could not be opened.
        const Ran version = run({u"--version"_s}, {});
        QCOMPARE(version.code, 0);
        QCOMPARE(version.out, u"keystead " KEYSTEAD_VERSION "\n"_s);
        const Ran help = run({u"--help"_s}, {});
        QCOMPARE(help.code, 0);
        QVERIFY(help.out.contains(u"--version"_s));
        QVERIFY(help.out.contains(u"login window"_s));
        // With the toolkit's own options before it.
        QCOMPARE(run({u"-platform"_s, u"offscreen"_s, u"-v"_s}, u"offscreen"_s).out, version.out);
        for (const QString& other : {u"--frobnicate"_s, u"Data.mdb"_s}) {
            const Ran refused = run({other}, u"offscreen"_s);
            QCOMPARE(refused.code, 2);
            QVERIFY2(refused.err.contains(other.mid(other.lastIndexOf(u'-') + 1)),
                     qPrintable(refused.err));
            QVERIFY(refused.out.isEmpty());
        }
        QVERIFY(!QFileInfo::exists(env.dataFolder()));  // none of them started the program
    }

    void secondStartBringsTheRunningWindowToTheFront() {
        test::Session session;
        QWidget* login = test::window(u"frmLogin"_s);
        for (QWidget* window : {login, static_cast<QWidget*>(nullptr)}) {
            if (window == nullptr) {
                session.logIn(u"anna"_s);
                window = session.mainWindow();
            }
            window->showMinimized();
            QProcess second;
            second.setProcessEnvironment(world(u"offscreen"_s));
            second.start(programPath(), {});
            // The running copy answers from its event loop, which the wait keeps turning.
            QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 20000);
            QCOMPARE(second.exitStatus(), QProcess::NormalExit);
            QCOMPARE(second.exitCode(), 0);
            QVERIFY(!window->isMinimized());
            QVERIFY(window->isVisible());
        }
        QVERIFY(session.dialogs.shown.isEmpty());
        QVERIFY(!session.program->ended());
    }

    void restartingCopyLeavesTheNewOneToWaitForTheDataFolder() {
        test::TestEnvironment env;
        const QString socket = SingleInstance::socketPathIn(env.dataFolder());
        ProgramOptions options = env.programOptions();
        bool answering = true;
        options.startProgram = [&](const QString&, const QStringList&) {
            QLocalSocket probe;
            probe.connectToServer(socket);
            answering = probe.waitForConnected(1000);
            return true;
        };
        test::ScriptedDialogs dialogs;
        Program old(dialogs, options);
        old.start();
        QLocalSocket probe;
        probe.connectToServer(socket);
        QVERIFY(probe.waitForConnected(1000));  // it answers other starts while it runs
        probe.abort();
        dialogs.clear();
        dialogs.answer(true);
        test::logIn(u"anna"_s, u"password"_s);
        auto* maintenance = old.mainWindow()->findChild<ProgramMaintenance*>();
        QVERIFY(maintenance != nullptr);
        maintenance->restartProgram();  // the end of an import
        QVERIFY(old.ended());
        QVERIFY(!answering);

        test::ScriptedDialogs restartedDialogs;
        Program restarted(restartedDialogs, env.programOptions());
        restarted.start();
        QVERIFY(!restarted.ended());
        QVERIFY(restarted.loginWindow() != nullptr);
        QVERIFY(!restartedDialogs.texts().contains(kAlreadyRunning));
    }

    void terminationEndsThroughTheShutdownPath() {
        test::TestEnvironment env;
        QProcess program;
        program.setProcessEnvironment(world(u"offscreen"_s));
        program.start(programPath(), {});
        // At its login window (it greets a first-time user there): it listens for other starts.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(SingleInstance::socketPathIn(env.dataFolder())),
                                 20000);
        const QString temporary =
            env.tempBase() + u"Keystead-"_s + QString::number(uint(::getuid()));
        QVERIFY(QFileInfo(temporary).isDir());
        program.terminate();
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        // Its temporary folder and socket are gone, the data folder's lock let go.
        QVERIFY(!QFileInfo::exists(temporary));
        DataFolderLock lock(env.dataFolder());
        QCOMPARE(lock.tryLock(0), DataFolderLock::Outcome::Taken);
        QVERIFY(!QFileInfo::exists(SingleInstance::socketPathIn(env.dataFolder())));
    }
};

QTEST_MAIN(DesktopTest)
#include "tst_desktop.moc"
