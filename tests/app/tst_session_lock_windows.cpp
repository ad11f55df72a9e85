// A lock while one of the program's modal windows waits: the column mapping of an import and the
// journal's export are cancelled (nothing is written), the compaction prompt of a logout or of
// the way out is answered No, the histories close; an import or export of records under way
// finishes first, and a compaction from the menu does not show the window again after a lock. The
// time from the idle moment to the login window is printed.
#include <QtTest>
#include <QtWidgets>

#include "GuiDriver.h"
#include "LockDriving.h"
#include "Session.h"
#include "app/QtDialogs.h"
#include "app/SessionLock.h"
#include "app/StatusWindow.h"

using namespace ks;
using namespace Qt::StringLiterals;

// Named, as the lambdas of the test functions hold them.
namespace lockwindows {

// The milliseconds from the idle moment to the login window shown.
class LockTime : public QObject {
public:
    LockTime() { test::window(u"frmLogin"_s)->installEventFilter(this); }
    void start() { since_.start(); }
    qint64 ms = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && since_.isValid()) {
            ms = since_.elapsed();
            since_.invalidate();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QElapsedTimer since_;
};

// Runs `action` once, when the window hides.
class WhenHidden : public QObject {
public:
    WhenHidden(QWidget* window, std::function<void()> action) : action_(std::move(action)) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Hide && action_) {
            std::exchange(action_, nullptr)();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> action_;
};

}  // namespace lockwindows

using lockwindows::LockTime;
using lockwindows::WhenHidden;

namespace {

// The program becomes idle now, while `window` waits. Should the window still be up 3 seconds
// later, the test closes it (and what waits over it) and marks the lock `stuck`, so that a lock
// held back fails the test instead of hanging it.
void lockWhileUp(Program& program, LockTime& time, QWidget* window,
                 const std::shared_ptr<bool>& stuck) {
    QTimer::singleShot(3000, window, [window, stuck] {
        if (window->isVisible()) {
            *stuck = true;
            if (QWidget* front = QApplication::activeModalWidget();
                front != nullptr && front != window) {
                front->close();
            }
            window->close();
        }
    });
    time.start();
    Q_EMIT program.sessionLock().idleTimer().idle();
}

void startWithoutIdleLock(test::Session& session) {
    test::startShortened(session);
    session.logIn(u"anna"_s);
    // Only the locks the test asks for.
    session.program->saveLockSettings({0, true});
}

QAction* item(test::Session& session, const QString& name) {
    return session.mainWindow()->findChild<QAction*>(name);
}

QStringList listed(test::Session& session) {
    return test::itemTexts(test::control<QListView>(session.mainWindow(), u"lstPasswords"_s));
}

}  // namespace

class SessionLockWindowsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aLockCancelsAnImportsMappingAndTheJournalsExport() {
        test::Session session;
        startWithoutIdleLock(session);
        Program& program = *session.program;
        LockTime time;
        auto stuck = std::make_shared<bool>(false);
        const QString csv = test::writeFile(session.env.root() + u"in/other.csv"_s,
                                            "Site,Login,Secret\nforum,bob,s3cret\n");
        auto mapped = test::whenModal(u"frmImportMapping"_s, [&](QWidget* window) {
            // A column chosen is no typed text: the window is cancelled all the same.
            test::control<QComboBox>(window, u"cmbMapShortName"_s)->setCurrentText(u"Site"_s);
            lockWhileUp(program, time, window, stuck);
        });
        session.dialogs.file(csv);
        item(session, u"mnuImportRecords"_s)->trigger();
        QVERIFY(*mapped);
        QTRY_VERIFY_WITH_TIMEOUT(test::lockedToLogin(session), 5000);
        QVERIFY(!*stuck);
        QVERIFY(session.dialogs.shown.isEmpty());  // nothing asked, nothing imported
        qInfo("lock with the import's mapping open: %lld ms", time.ms);
        session.logIn(u"anna"_s);
        QVERIFY(listed(session).isEmpty());

        // The export's chooser waits: it is cancelled, then the window.
        QtDialogs desktop;
        session.dialogs.desktop = &desktop;
        auto exported = test::whenModal(u"frmExportJournal"_s, [&](QWidget* window) {
            QTimer::singleShot(200, window, [&, window] {
                QVERIFY(qobject_cast<QFileDialog*>(QApplication::activeModalWidget()));
                lockWhileUp(program, time, window, stuck);
            });
            test::press(window, u"cmdExportJournal"_s);
        });
        item(session, u"mnuExportJournal"_s)->trigger();
        QVERIFY(*exported);
        QTRY_VERIFY_WITH_TIMEOUT(test::lockedToLogin(session), 5000);
        QVERIFY(!*stuck);
        qInfo("lock with the journal's export and its chooser open: %lld ms", time.ms);
        const QStringList files = test::filesUnder(session.env.root());
        QVERIFY2(files.filter(u"journal"_s, Qt::CaseInsensitive).isEmpty(),
                 qPrintable(files.join(u'\n')));
        session.dialogs.desktop = nullptr;
        QVERIFY(session.dialogs.unexpected.isEmpty());
        program.QuitApplication();
    }

    void aLockAnswersTheCompactionPromptNoAndHidesTheWindowAfterACompaction() {
        test::Session session;
        startWithoutIdleLock(session);
        Program& program = *session.program;
        LockTime time;
        auto stuck = std::make_shared<bool>(false);
        // A lock with the events that run once a compaction from the menu is done.
        {
            const WhenHidden compacted(&program.statusWindow(), [&program] {
                QTimer::singleShot(0, &program,
                                   [&program] { Q_EMIT program.sessionLock().idleTimer().idle(); });
            });
            item(session, u"mnuCompactDatabase"_s)->trigger();
        }
        QVERIFY(test::lockedToLogin(session));
        session.logIn(u"anna"_s);

        QByteArray before = test::readBytes(session.env.databasePath());
        // A logout asks, the user walks away: the logout ends without compacting.
        program.state().DataDeleted = true;
        auto asked = test::whenModal(
            u"Form7"_s, [&](QWidget* prompt) { lockWhileUp(program, time, prompt, stuck); });
        session.logOut();
        QVERIFY(*asked);
        QVERIFY(!*stuck);
        QVERIFY(test::lockedToLogin(session));
        qInfo("lock with the compaction prompt of a logout open: %lld ms", time.ms);
        QCOMPARE(test::readBytes(session.env.databasePath()), before);

        // And so does the way out of the program.
        session.logIn(u"anna"_s);
        before = test::readBytes(session.env.databasePath());
        program.state().DataDeleted = true;
        asked = test::whenModal(
            u"Form7"_s, [&](QWidget* prompt) { lockWhileUp(program, time, prompt, stuck); });
        item(session, u"mnuQuit"_s)->trigger();
        QVERIFY(*asked);
        QVERIFY(!*stuck);
        QVERIFY(program.ended());
        QCOMPARE(test::readBytes(session.env.databasePath()), before);
        QVERIFY(session.dialogs.unexpected.isEmpty());
    }

    void aLockClosesTheHistories() {
        test::Session session;
        startWithoutIdleLock(session);
        Program& program = *session.program;
        LockTime time;
        auto stuck = std::make_shared<bool>(false);
        QWidget* main = session.mainWindow();
        test::press(test::editorWithTypedPassword(main, u"pa55-w0rd"_s), u"cmdSaveClose"_s);
        QVERIFY(test::selectText(test::control<QListView>(main, u"lstPasswords"_s), u"bank"_s));
        test::press(main, u"cmdLoginsEdit"_s);
        test::press(test::window(u"Form2"_s), u"cmdHistory"_s);
        QWidget* history = QApplication::activeModalWidget();
        QCOMPARE(history->objectName(), u"frmRecordHistory"_s);
        lockWhileUp(program, time, history, stuck);
        QTRY_VERIFY_WITH_TIMEOUT(test::lockedToLogin(session), 5000);
        QVERIFY(!*stuck);
        qInfo("lock with a record's history open: %lld ms", time.ms);

        session.logIn(u"anna"_s);
        test::showTab(main, 1);
        test::press(main, u"cmdJournalHistory"_s);
        history = QApplication::activeModalWidget();
        QCOMPARE(history->objectName(), u"frmJournalHistory"_s);
        lockWhileUp(program, time, history, stuck);
        QTRY_VERIFY_WITH_TIMEOUT(test::lockedToLogin(session), 5000);
        QVERIFY(!*stuck);
        qInfo("lock with the journal's history open: %lld ms", time.ms);
        QVERIFY(session.dialogs.unexpected.isEmpty());
        program.QuitApplication();
    }

    void anImportOrExportOfRecordsUnderWayFinishesFirst() {
        test::Session session;
        startWithoutIdleLock(session);
        Program& program = *session.program;
        // The lock comes with the events that run as the writing begins, after the question.
        const auto lockAfterTheQuestion = [&session, &program] {
            session.dialogs.onShown = [&program](const test::ScriptedDialogs::Shown& shown) {
                if (shown.icon == MessageIcon::Question) {
                    QTimer::singleShot(0, &program, [&program] {
                        Q_EMIT program.sessionLock().idleTimer().idle();
                    });
                }
            };
        };
        lockAfterTheQuestion();
        const QString csv = test::writeFile(session.env.root() + u"in/chrome.csv"_s,
                                            "name,url,username,password\nforum,,bob,s3cret\n");
        session.dialogs.file(csv).answer(true);
        item(session, u"mnuImportRecords"_s)->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(test::lockedToLogin(session), 5000);
        QCOMPARE(session.dialogs.shown.size(), 2);  // the question, then the import's outcome
        session.logIn(u"anna"_s);
        QCOMPARE(listed(session), QStringList{u"forum"_s});

        lockAfterTheQuestion();
        const QString out = session.env.root() + u"out/records.csv"_s;
        QVERIFY(QDir().mkpath(session.env.root() + u"out"_s));
        session.dialogs.answer(true).file(out);
        item(session, u"mnuExportRecords"_s)->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(test::lockedToLogin(session), 5000);
        QVERIFY(test::readBytes(out).contains("s3cret"));
        session.dialogs.onShown = nullptr;
        QVERIFY(session.dialogs.unexpected.isEmpty());
        program.QuitApplication();
    }
};

QTEST_MAIN(SessionLockWindowsTest)
#include "tst_session_lock_windows.moc"
