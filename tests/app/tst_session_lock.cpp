// Locking the session: after a while without input, when the desktop locks or sleeps, and what
// a lock keeps (typed text) and closes (windows, clipboard); its options in Data.dat.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QtTest>
#include <QtWidgets>

#include "GuiDriver.h"
#include "LockDriving.h"
#include "PrivateBus.h"
#include "Session.h"
#include "app/DesktopLockSignals.h"
#include "app/SessionLock.h"
#include "app/StatusWindow.h"
#include "core/IdleTimer.h"
#include "journal/JournalStore.h"
#include "storage/SettingsFile.h"

using namespace ks;
using namespace Qt::StringLiterals;

using test::editorWithTypedPassword;
using test::lockedToLogin;
using test::startShortened;

namespace {

constexpr std::chrono::milliseconds kMinute = test::kLockMinute;

}  // namespace

class SessionLockTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void idleMeansNoInputForTheWholeTime() {
        IdleTimer idle;
        QSignalSpy idled(&idle, &IdleTimer::idle);
        idle.setLimit(std::chrono::milliseconds(400));
        idle.start();
        QElapsedTimer busy;
        busy.start();
        while (busy.elapsed() < 1000) {
            idle.noteUse();
            QTest::qWait(10);
        }
        QCOMPARE(idled.count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(idled.count(), 1, 5000);
        QVERIFY(!idle.isRunning());
        // Never, with no limit.
        idle.setLimit(std::chrono::milliseconds(0));
        idle.start();
        QTest::qWait(600);
        QCOMPARE(idled.count(), 1);

        // Input to any window of the program counts as use.
        int attempts = 0;
        SessionLock lock([&attempts] {
            ++attempts;
            return LockStep::Done;
        });
        lock.sessionStarted(std::chrono::milliseconds(400));
        QLineEdit box;
        box.show();
        busy.restart();
        while (busy.elapsed() < 1000) {
            QTest::keyClick(&box, Qt::Key_A);
            QTest::qWait(10);
        }
        QCOMPARE(attempts, 0);
        QTRY_COMPARE_WITH_TIMEOUT(attempts, 1, 5000);
    }

    void theDesktopsLockAndSleepSignalsAskForALock() {
        if (!test::PrivateBus::available()) {
            QSKIP("dbus-daemon is not installed");
        }
        test::TestEnvironment env;
        auto bus = std::make_unique<test::PrivateBus>(env.root());
        const QString address = bus->address();
        QVERIFY(!address.isEmpty());
        {
            // The private bus stands for both buses; the desktop's side is a second connection.
            const QDBusConnection listenerBus = QDBusConnection::connectToBus(address, u"lock"_s);
            const QDBusConnection desktop = QDBusConnection::connectToBus(address, u"desktop"_s);
            QVERIFY(listenerBus.isConnected() && desktop.isConnected());
            const QString mySession = DesktopLockSignals::sessionObjectPath(u"c2"_s);
            DesktopLockSignals signals_(listenerBus, listenerBus, mySession);
            QVERIFY(signals_.listening());
            QSignalSpy requested(&signals_, &DesktopLockSignals::lockRequested);
            const auto emitSignal = [&desktop](const QString& path, const QString& interface,
                                               const QString& name, const QVariantList& args) {
                QDBusMessage message = QDBusMessage::createSignal(path, interface, name);
                message.setArguments(args);
                QVERIFY(desktop.send(message));
            };
            const struct {
                QString path;
                QString interface;
                QString name;
                QVariantList arguments;
                int locks;
            } signalsSent[] = {
                {u"/org/freedesktop/login1"_s,
                 u"org.freedesktop.login1.Manager"_s,
                 u"PrepareForSleep"_s,
                 {true},
                 1},
                {u"/org/freedesktop/login1"_s,
                 u"org.freedesktop.login1.Manager"_s,
                 u"PrepareForSleep"_s,
                 {false},
                 0},  // waking up
                {mySession, u"org.freedesktop.login1.Session"_s, u"Lock"_s, {}, 1},
                {DesktopLockSignals::sessionObjectPath(u"c7"_s),
                 u"org.freedesktop.login1.Session"_s,
                 u"Lock"_s,
                 {},
                 0},  // another session
                {u"/org/freedesktop/ScreenSaver"_s,
                 u"org.freedesktop.ScreenSaver"_s,
                 u"ActiveChanged"_s,
                 {true},
                 1},
                {u"/ScreenSaver"_s,
                 u"org.freedesktop.ScreenSaver"_s,
                 u"ActiveChanged"_s,
                 {false},
                 0},
                {u"/org/gnome/ScreenSaver"_s,
                 u"org.gnome.ScreenSaver"_s,
                 u"ActiveChanged"_s,
                 {true},
                 1},
            };
            // The listener's match rules reach the bus on their own time: sleep signals are sent
            // until one arrives, and only then is counting begun.
            for (int tries = 0; tries < 50 && requested.isEmpty(); ++tries) {
                emitSignal(u"/org/freedesktop/login1"_s, u"org.freedesktop.login1.Manager"_s,
                           u"PrepareForSleep"_s, {true});
                QTest::qWait(100);
            }
            QVERIFY(!requested.isEmpty());
            QTest::qWait(100);
            requested.clear();
            int expected = 0;
            for (const auto& sent : signalsSent) {
                emitSignal(sent.path, sent.interface, sent.name, sent.arguments);
                expected += sent.locks;
                // A signal that must not lock is followed by one that does: it came before it.
                if (sent.locks == 0) {
                    emitSignal(u"/org/freedesktop/login1"_s, u"org.freedesktop.login1.Manager"_s,
                               u"PrepareForSleep"_s, {true});
                    ++expected;
                }
                QTRY_COMPARE_WITH_TIMEOUT(requested.count(), expected, 5000);
            }
        }
        QDBusConnection::disconnectFromBus(u"lock"_s);
        QDBusConnection::disconnectFromBus(u"desktop"_s);
        bus.reset();
        // logind's escaping of a session id.
        QCOMPARE(DesktopLockSignals::sessionObjectPath(u"2"_s),
                 u"/org/freedesktop/login1/session/_32"_s);
        QCOMPARE(DesktopLockSignals::sessionObjectPath(QString()), QString());
        // Without a bus the program runs as before, listening to nothing.
        QVERIFY(!DesktopLockSignals(QDBusConnection(u"none"_s), QDBusConnection(u"none"_s), {})
                     .listening());
    }

    void aLockSavesTheJournalForgetsTheClipboardAndShowsTheLogin() {
        test::Session session;
        startShortened(session);
        session.logIn(u"anna"_s);
        QWidget* main = session.mainWindow();
        QWidget* editor = editorWithTypedPassword(main, u"pa55-w0rd"_s);
        test::press(editor, u"cmdSaveClose"_s);
        session.dialogs.clear();
        test::selectText(test::control<QListView>(main, u"lstPasswords"_s), u"bank"_s);
        test::press(main, u"cmdCopyPassword"_s);
        QCOMPARE(QGuiApplication::clipboard()->text(), u"pa55-w0rd"_s);
        test::showTab(main, 1);
        QTest::keyClicks(test::control<QPlainTextEdit>(main, u"txtJournal"_s), u"dear diary"_s);
        QElapsedTimer since;
        since.start();
        // Ten minutes of the shortened kind without input: the lock, with nothing asked.
        QTRY_VERIFY_WITH_TIMEOUT(lockedToLogin(session), 10000);
        QVERIFY(since.elapsed() >= 10 * kMinute.count() - 50);
        QVERIFY2(session.dialogs.shown.isEmpty(), qPrintable(session.dialogs.texts().join(u'\n')));
        QVERIFY(session.dialogs.unexpected.isEmpty());
        QVERIFY(QGuiApplication::clipboard()->text().isEmpty());
        QVERIFY(session.program->state().CurrentAccount.owner.isEmpty());
        QCOMPARE(test::control<QLineEdit>(test::window(u"frmLogin"_s), u"txtUserName"_s)->text(),
                 u"anna"_s);
        QVERIFY(test::control<QLineEdit>(main, u"txtPassword"_s)->text().isEmpty());
        QVERIFY(test::control<QPlainTextEdit>(main, u"txtJournal"_s)->toPlainText().isEmpty());
        // The text was saved, and is there at the next login.
        session.logIn(u"anna"_s);
        QCOMPARE(test::control<QPlainTextEdit>(main, u"txtJournal"_s)->toPlainText(),
                 u"dear diary"_s);
        session.program->QuitApplication();
    }

    void aLockWaitsForAChangedEditorAndALongOperationAndClosesSmallWindows() {
        test::Session session;
        startShortened(session);
        session.logIn(u"anna"_s);
        Program& program = *session.program;
        // The idle lock is off here: the locks below are asked for.
        program.saveLockSettings({0, true});
        QWidget* editor = editorWithTypedPassword(session.mainWindow(), u"typed"_s);
        program.lock();
        QTest::qWait(3 * static_cast<int>(SessionLock::kRetry.count()));
        QVERIFY(program.state().LoggedIn && editor->isVisible());
        QVERIFY(program.sessionLock().pending());
        // Saved and closed: the lock comes right after.
        test::press(editor, u"cmdSaveClose"_s);
        session.dialogs.clear();
        QTRY_VERIFY_WITH_TIMEOUT(lockedToLogin(session), 5000);

        // A long operation finishes first.
        session.logIn(u"anna"_s);
        program.statusWindow().show();
        program.lock();
        QTest::qWait(3 * static_cast<int>(SessionLock::kRetry.count()));
        QVERIFY(program.state().LoggedIn);
        program.statusWindow().hide();
        QTRY_VERIFY_WITH_TIMEOUT(lockedToLogin(session), 5000);

        // An editor without changes and the About window are closed by the lock.
        session.logIn(u"anna"_s);
        test::press(session.mainWindow(), u"cmdLoginsNew"_s);
        test::press(test::window(u"Form2"_s), u"cmdGeneratePassword"_s);
        QVERIFY(test::window(u"Form2"_s)->isVisible());
        program.lock();
        QTRY_VERIFY_WITH_TIMEOUT(lockedToLogin(session), 5000);
        QVERIFY(!test::window(u"Form2"_s)->isVisible());
        QVERIFY(test::window(u"frmPasswordGenerator"_s) == nullptr ||
                !test::window(u"frmPasswordGenerator"_s)->isVisible());
        session.logIn(u"anna"_s);
        const auto locked = test::whenModal(u"Form3"_s, [&program](QWidget*) { program.lock(); });
        test::press(session.mainWindow(), u"cmdLoginsAbout"_s);
        QVERIFY(*locked);
        QTRY_VERIFY_WITH_TIMEOUT(lockedToLogin(session), 5000);
        QVERIFY(session.dialogs.unexpected.isEmpty());
        program.QuitApplication();
    }

    void lockLinesOfTheSettingsFile() {
        test::TestEnvironment env;
        const QString folder = env.root();
        const QString path = settingsPath(folder);
        // The lock lines: the defaults for an older file, limits kept, the other writer keeps
        // them and an older file stays two lines long.
        const QList<std::tuple<QByteArray, LockSettings>> locks = {
            {"anna\r\n2\r\n", {10, true}},
            {"anna\r\n2\r\n0\r\n0\r\n", {0, false}},
            {"anna\r\n2\r\n 25 \r\n1\r\n", {25, true}},
            {"anna\r\n2\r\n600\r\n\r\n", {60, true}},
            {"anna\r\n2\r\n-3\r\nno\r\n", {0, false}}};
        for (const auto& [bytes, lock] : locks) {
            test::writeFile(path, bytes);
            QCOMPARE(lockSettingsFrom(readSettings(folder)), lock);
        }
        QVERIFY(writeLockSettings(folder, {5, false}));
        QCOMPARE(test::readBytes(path), QByteArray("anna\r\n2\r\n5\r\n0\r\n"));
        QVERIFY(writeSettings(folder, u"bert"_s, 0));
        QCOMPARE(test::readBytes(path), QByteArray("bert\r\n0\r\n5\r\n0\r\n"));
        QFile::remove(path);
        QVERIFY(writeLockSettings(folder, {1, true}));
        QCOMPARE(test::readBytes(path), QByteArray("\r\n1\r\n1\r\n1\r\n"));
        test::writeFile(path, "anna\r\n2\r\n");
        QVERIFY(writeSettings(folder, u"bert"_s, 1));
        QCOMPARE(test::readBytes(path), QByteArray("bert\r\n1\r\n"));
    }

    void lockOptionsAreKeptInTheSettingsFile() {
        test::Session session;
        startShortened(session);
        // An older settings file: the defaults.
        test::writeFile(settingsPath(session.env.dataFolder()), "anna\r\n2\r\n");
        session.start();
        session.logIn(u"anna"_s);
        Program& program = *session.program;
        QWidget* main = session.mainWindow();
        test::showTab(main, 4);
        auto* minutes = test::control<QSpinBox>(main, u"spnLockMinutes"_s);
        auto* onScreenLock = test::control<QCheckBox>(main, u"chkLockOnScreenLock"_s);
        QVERIFY(minutes != nullptr && onScreenLock != nullptr);
        QCOMPARE(minutes->value(), 10);
        QVERIFY(onScreenLock->isChecked());
        QCOMPARE(minutes->text(), u"10 minutes"_s);
        minutes->setValue(0);
        QCOMPARE(minutes->text(), u"Never"_s);
        onScreenLock->setChecked(false);
        QVERIFY(test::press(main, u"cmdLockSave"_s));
        QCOMPARE(test::readBytes(settingsPath(session.env.dataFolder())),
                 QByteArray("anna\r\n2\r\n0\r\n0\r\n"));
        // Never by time, and not with the screen.
        program.desktopLocked();
        QTest::qWait(15 * static_cast<int>(kMinute.count()));
        QVERIFY(program.state().LoggedIn);
        // The policy's writer keeps the lock lines.
        QVERIFY(program.saveOnExitPolicy(1));
        QCOMPARE(test::readBytes(settingsPath(session.env.dataFolder())),
                 QByteArray("anna\r\n1\r\n0\r\n0\r\n"));
        onScreenLock->setChecked(true);
        QVERIFY(test::press(main, u"cmdLockSave"_s));
        program.desktopLocked();
        QTRY_VERIFY_WITH_TIMEOUT(lockedToLogin(session), 5000);
        // Read back at the login window.
        session.start();
        QCOMPARE(session.program->state().Lock, (LockSettings{0, true}));
        session.program->QuitApplication();
    }
};

QTEST_MAIN(SessionLockTest)
#include "tst_session_lock.moc"
