// A lock while a message box waits for an answer: messages are closed, questions answered the
// way that loses nothing typed, and the desktop's boxes do so in their own modal loops.
#include <QtTest>
#include <QtWidgets>

#include "GuiDriver.h"
#include "LockDriving.h"
#include "Session.h"
#include "app/QtDialogs.h"
#include "core/CommonTexts.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

// Rejects a message box still open `afterMs` after it was made, so that a lock that does not
// close it fails the test instead of hanging it; `stuck` tells whether it had to.
class StuckBoxes {
public:
    explicit StuckBoxes(int afterMs) {
        since_.start();
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this, afterMs] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box != nullptr && since_.elapsed() > afterMs) {
                stuck = true;
                box->reject();
            }
        });
        timer_.start(50);
    }
    void restart() { since_.restart(); }
    bool stuck = false;

private:
    QTimer timer_;
    QElapsedTimer since_;
};

// Runs `check` on the box in front once it is up; one still up 3 seconds later is rejected.
void onBoxInFront(std::function<void(QDialog*)> check) {
    QTimer::singleShot(200, qApp, [check = std::move(check)] {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        check(box);
        QTimer::singleShot(3000, box, [box] { box->reject(); });
    });
}

}  // namespace

class SessionLockBoxesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aLockClosesMessagesAndAnswersQuestionsKeepingTypedText() {
        test::Session session;
        test::startShortened(session);
        session.logIn(u"anna"_s);
        QtDialogs desktop;
        session.dialogs.desktop = &desktop;
        QWidget* main = session.mainWindow();
        StuckBoxes boxes(4000);
        // The message after a save waits; the lock (a second without input) closes it.
        QWidget* editor = test::editorWithTypedPassword(main, u"pa55-w0rd"_s);
        boxes.restart();
        test::press(editor, u"cmdSaveClose"_s);
        QCOMPARE(session.dialogs.texts(), QStringList{recordCreatedMessage()});
        QTRY_VERIFY_WITH_TIMEOUT(test::lockedToLogin(session), 5000);
        QVERIFY(!boxes.stuck);

        // A question is answered No: the record stays.
        session.logIn(u"anna"_s);
        auto* records = test::control<QListView>(main, u"lstPasswords"_s);
        QVERIFY(test::selectText(records, u"bank"_s));
        boxes.restart();
        test::press(main, u"cmdLoginsDelete"_s);
        QCOMPARE(session.dialogs.shown.size(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(test::lockedToLogin(session), 5000);
        QVERIFY(!boxes.stuck);
        session.logIn(u"anna"_s);
        QCOMPARE(test::itemTexts(records), QStringList{u"bank"_s});

        // The journal's question whose No would drop the typed text is answered Yes.
        test::showTab(main, 1);
        auto* journal = test::control<QPlainTextEdit>(main, u"txtJournal"_s);
        const QString diary = u"a page of the diary that a lock keeps"_s;
        QTest::keyClicks(journal, diary);
        boxes.restart();
        test::press(main, u"cmdPreviousDay"_s);
        QTRY_VERIFY_WITH_TIMEOUT(test::lockedToLogin(session), 5000);
        QVERIFY(!boxes.stuck);
        QVERIFY(session.dialogs.shown.first().icon == MessageIcon::Question);
        session.logIn(u"anna"_s);
        test::showTab(main, 1);
        test::press(main, u"cmdNextDay"_s);  // the lock came on the day before
        QCOMPARE(journal->toPlainText(), diary);
        session.dialogs.desktop = nullptr;
        QVERIFY(session.dialogs.unexpected.isEmpty());
        session.program->QuitApplication();
    }

    void aLockCancelsChoosersAndUntouchedInputButWaitsForTypedInput() {
        QtDialogs desktop;
        QWidget owner;
        owner.show();
        QVERIFY(QTest::qWaitForWindowActive(&owner));
        QCOMPARE(desktop.closeForLock(), BoxesAtLock::None);
        // Typed text keeps the box up and holds the lock back; the initial text does not.
        BoxesAtLock typed = BoxesAtLock::None;
        BoxesAtLock untouched = BoxesAtLock::None;
        bool keptUp = false;
        onBoxInFront([&](QDialog* box) {
            auto* line = box->findChild<QLineEdit*>();
            QTest::keyClicks(line, u"s"_s);
            typed = desktop.closeForLock();
            keptUp = box->isVisible();
            line->setText(u"Work"_s);
            untouched = desktop.closeForLock();
        });
        QVERIFY(!desktop.inputText(u"Category"_s, u"Name:"_s, u"Work"_s).has_value());
        QCOMPARE(typed, BoxesAtLock::Kept);
        QVERIFY(keptUp);
        QCOMPARE(untouched, BoxesAtLock::Closing);
        // A file chooser is cancelled.
        BoxesAtLock chooser = BoxesAtLock::None;
        onBoxInFront([&](QDialog*) { chooser = desktop.closeForLock(); });
        QCOMPARE(desktop.openFile(u"Open"_s, {u"All files (*)"_s}), QString());
        QCOMPARE(chooser, BoxesAtLock::Closing);
        QCOMPARE(desktop.closeForLock(), BoxesAtLock::None);
        // So is one asking whether to replace the file chosen: its question is answered No.
        const QTemporaryDir folder;
        const QString existing = test::writeFile(folder.filePath(u"journal.md"_s), "kept");
        bool asked = false;
        bool leftUp = false;
        onBoxInFront([&](QDialog* box) {
            auto* saving = qobject_cast<QFileDialog*>(box);
            saving->selectFile(existing);
            QTimer::singleShot(200, saving, [&] {
                auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                asked = question != nullptr;
                chooser = desktop.closeForLock();
                if (question != nullptr) {
                    QTimer::singleShot(1000, question, [question, &leftUp] {
                        leftUp = true;
                        question->reject();
                    });
                }
            });
            box->accept();  // the chooser's Save
        });
        QCOMPARE(desktop.saveFile(u"Export"_s, {u"Markdown files (*.md)"_s}, existing), QString());
        QVERIFY(asked);
        QVERIFY(!leftUp);
        QCOMPARE(test::readBytes(existing), "kept"_ba);
    }
};

QTEST_MAIN(SessionLockBoxesTest)
#include "tst_session_lock_boxes.moc"
