// The Journal tab end to end: a logged-in session, the real main window, scripted answers and a
// clock set by the test.
#include <QtTest>

#include <QAction>
#include <QCalendarWidget>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>

#include "GuiDriver.h"
#include "JournalTestSupport.h"
#include "Session.h"
#include "crypto/FieldCipher.h"
#include "journal/JournalText.h"

using namespace ks;
using test::Session;

namespace {

const QString kSaveChanges =
    QStringLiteral("Would you like to save the changes to the current Journal entry?");
const QString kModify = QStringLiteral("You are about to modify an existing entry.  Are you sure?");
const QString kTooShort = QStringLiteral(
    "Your Journal entry is too short to be encrypted.\r\rWould you like to save it unencrypted?");
const QString kCreated = QStringLiteral("Record was successfully created.");
const QString kNoMore = QStringLiteral("No more entries found.");

const QDate kToday(2026, 3, 5);

// The controls of the Journal tab inside the main window.
struct JournalTab {
    explicit JournalTab(QWidget* mainWindow) : form1(mainWindow) {}

    template <typename T>
    T* get(const char* name) const {
        T* found = test::control<T>(form1, QString::fromLatin1(name));
        if (found == nullptr) {
            qFatal("no control %s", name);
        }
        return found;
    }
    QCalendarWidget* calendar() const { return get<QCalendarWidget>("Calendar1"); }
    QPlainTextEdit* box() const { return get<QPlainTextEdit>("txtJournal"); }
    QString text() const { return entryText(box()); }
    QString saved() const { return entryText(get<QPlainTextEdit>("txtJournal2")); }
    QString date() const { return get<QLineEdit>("txtDate")->text(); }
    QString label(const char* name) const { return get<QLabel>(name)->text(); }
    int tab() const { return get<QTabWidget>("SSTab1")->currentIndex(); }
    bool bold(QDate day) const {
        return calendar()->dateTextFormat(day).fontWeight() == QFont::Bold;
    }

    void write(const QString& text) const { box()->setPlainText(text); }
    void press(const char* name) const { QVERIFY(test::press(form1, QString::fromLatin1(name))); }
    // A day picked on the calendar by the user.
    void pick(QDate day) const {
        calendar()->setSelectedDate(day);
        QCoreApplication::processEvents();
    }

    QWidget* form1;
};

}  // namespace

class JournalPageTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> session;

    JournalTab logIn(const QString& name) {
        session->logIn(name);
        return JournalTab(session->mainWindow());
    }
    QStringList texts() const { return session->dialogs.texts(); }
    QList<test::JournalRow> rows() const { return test::journalRows(session->env.databasePath()); }

private Q_SLOTS:
    void init() { session = std::make_unique<Session>(); }
    void cleanup() {
        const QStringList unexpected = session->dialogs.unexpected;
        const bool pending = session->dialogs.pendingAnswers();
        session.reset();
        QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(QLatin1Char('\n'))));
        QVERIFY(!pending);
    }

    void controlsOfTheTab() {
        JournalTab tab = logIn(QStringLiteral("anna"));
        QCOMPARE(tab.calendar()->selectedDate(), kToday);
        QCOMPARE(tab.date(), QStringLiteral("05/03/2026"));
        QCOMPARE(tab.get<QPushButton>("cmdPreviousDay")->text(), QStringLiteral("<  Previous Day"));
        QCOMPARE(tab.get<QPushButton>("Command2")->text(), QStringLiteral("<  Previous Entry"));
        QCOMPARE(tab.get<QPushButton>("cmdToday")->text(), QStringLiteral("Today"));
        QCOMPARE(tab.get<QPushButton>("Command4")->text(), QStringLiteral("Next Entry  >"));
        QCOMPARE(tab.get<QPushButton>("cmdNextDay")->text(), QStringLiteral("Next Day  >"));
        QVERIFY(tab.get<QWidget>("pctJournal")
                    ->findChild<QPushButton*>(QStringLiteral("cmdJournalSave")) != nullptr);
        auto* frame = tab.get<QGroupBox>("Frame1");
        QCOMPARE(frame->title(), QStringLiteral("Statistics"));
        QCOMPARE(tab.label("Label8"), QStringLiteral("Typing speed (WPM):"));
        QCOMPARE(tab.label("Label10"), QStringLiteral("Accuracy (%):"));
        QCOMPARE(tab.label("Label9"), QStringLiteral("Words:"));
        QCOMPARE(tab.label("Label12"), QStringLiteral("Paragraphs:"));
        for (const char* value : {"lblWordCount", "lblAccuracy", "lblWords", "lblParagraphs"}) {
            QCOMPARE(tab.label(value), QStringLiteral("0"));
        }
        QVERIFY(frame->findChild<QListWidget*>(QStringLiteral("lstJournalDates")) != nullptr);
        QVERIFY(tab.get<QListWidget>("lstJournalDates")->isHidden());
        QVERIFY(tab.get<QPlainTextEdit>("txtJournal2")->isHidden());
        QVERIFY(tab.get<QLineEdit>("txtDate")->isHidden());
        QVERIFY(!tab.box()->isHidden());
        QVERIFY(texts().isEmpty());
    }

    void newAndModifiedSaves() {
        JournalTab tab = logIn(QStringLiteral("anna"));
        const QString owner = EncryptField(QStringLiteral("anna"));
        tab.write(QStringLiteral("A first entry"));
        tab.press("cmdJournalSave");
        QCOMPARE(texts(), QStringList{kCreated});
        QCOMPARE(session->dialogs.shown[0].icon, MessageIcon::Information);
        QCOMPARE(session->dialogs.shown[0].title, QStringLiteral("Keystead"));
        QCOMPARE(tab.saved(), QStringLiteral("A first entry"));
        QCOMPARE(rows().size(), 1);
        QCOMPARE(rows()[0].owner, owner);
        QCOMPARE(rows()[0].date, QStringLiteral("05/03/2026"));
        QCOMPARE(rows()[0].journal, EncryptField(QStringLiteral("A first entry")));
        QCOMPARE(rows()[0].dateCreated, QStringLiteral("05/03/2026"));
        QCOMPARE(rows()[0].lastModified, QStringLiteral("05/03/2026"));
        QVERIFY(tab.bold(kToday));

        // Saving again asks first, even without a change; No writes nothing.
        session->dialogs.clear();
        session->clock->current = session->clock->current.addDays(1);
        session->dialogs.answer(false);
        tab.press("cmdJournalSave");
        QCOMPARE(texts(), QStringList{kModify});
        QCOMPARE(session->dialogs.shown[0].icon, MessageIcon::Question);
        QCOMPARE(rows()[0].lastModified, QStringLiteral("05/03/2026"));

        // Yes writes without a further message; the menu item saves on the Journal tab.
        session->dialogs.clear();
        tab.write(QStringLiteral("A changed entry"));
        tab.get<QTabWidget>("SSTab1")->setCurrentIndex(0);
        int tabAtQuestion = -1;
        session->dialogs.onShown = [&](const test::ScriptedDialogs::Shown&) {
            tabAtQuestion = tab.tab();
        };
        session->dialogs.answer(true);
        session->mainWindow()->findChild<QAction*>(QStringLiteral("mnuSave"))->trigger();
        session->dialogs.onShown = nullptr;
        QCOMPARE(tabAtQuestion, 1);
        QCOMPARE(texts(), QStringList{kModify});
        QCOMPARE(rows().size(), 1);
        QCOMPARE(rows()[0].journal, EncryptField(QStringLiteral("A changed entry")));
        QCOMPARE(rows()[0].dateCreated, QStringLiteral("05/03/2026"));
        QCOMPARE(rows()[0].lastModified, QStringLiteral("06/03/2026"));
        QCOMPARE(tab.saved(), QStringLiteral("A changed entry"));
    }

    void tooShortEntries() {
        JournalTab tab = logIn(QStringLiteral("anna"));
        // No: nothing written, and the entry still counts as changed.
        tab.write(QStringLiteral("abc"));
        session->dialogs.answer(false);
        tab.press("cmdJournalSave");
        QCOMPARE(texts(), QStringList{kTooShort});
        QVERIFY(rows().isEmpty());
        QCOMPARE(tab.saved(), QString());
        QCOMPARE(tab.text(), QStringLiteral("abc"));

        // Yes: stored plain, and shown as stored when the day is loaded again.
        session->dialogs.clear();
        session->dialogs.answer(true);
        tab.press("cmdJournalSave");
        QCOMPARE(texts(), QStringList({kTooShort, kCreated}));
        QCOMPARE(rows()[0].journal, QStringLiteral("abc"));
        QCOMPARE(tab.saved(), QStringLiteral("abc"));
        tab.press("cmdNextDay");
        tab.press("cmdPreviousDay");
        QCOMPARE(tab.text(), QStringLiteral("abc"));
        QCOMPARE(tab.saved(), QStringLiteral("abc"));

        // Four characters are encrypted without a question.
        session->dialogs.clear();
        tab.press("cmdNextDay");
        tab.write(QStringLiteral("abcd"));
        tab.press("cmdJournalSave");
        QCOMPARE(texts(), QStringList{kCreated});
        QCOMPARE(rows()[1].journal, EncryptField(QStringLiteral("abcd")));
        QCOMPARE(rows()[1].journal.size(), 8);

        // An emptied entry is shorter than 4 characters too.
        session->dialogs.clear();
        tab.write(QString());
        session->dialogs.answer(true).answer(true);
        tab.press("cmdJournalSave");
        QCOMPARE(texts(), QStringList({kModify, kTooShort}));
        QCOMPARE(rows()[1].journal, QString());
        QVERIFY(!tab.bold(kToday.addDays(1)));
    }

    void changingTheDayWithUnsavedText() {
        JournalTab tab = logIn(QStringLiteral("anna"));
        tab.write(QStringLiteral("Thursday"));
        tab.press("cmdJournalSave");
        session->dialogs.clear();

        // Yes saves under the day the text was written for, without the modify question.
        tab.write(QStringLiteral("Thursday, changed"));
        tab.get<QTabWidget>("SSTab1")->setCurrentIndex(0);
        session->dialogs.answer(true);
        tab.press("cmdNextDay");
        QCOMPARE(texts(), QStringList{kSaveChanges});
        QCOMPARE(tab.tab(), 1);
        QCOMPARE(rows().size(), 1);
        QCOMPARE(rows()[0].journal, EncryptField(QStringLiteral("Thursday, changed")));
        QCOMPARE(tab.calendar()->selectedDate(), kToday.addDays(1));
        QCOMPARE(tab.date(), QStringLiteral("06/03/2026"));
        QCOMPARE(tab.text(), QString());
        QCOMPARE(tab.saved(), QString());

        // A day without an entry yet: the save creates it; No discards.
        session->dialogs.clear();
        tab.write(QStringLiteral("Friday"));
        session->dialogs.answer(true);
        tab.press("cmdPreviousDay");
        QCOMPARE(texts(), QStringList({kSaveChanges, kCreated}));
        QCOMPARE(tab.text(), QStringLiteral("Thursday, changed"));
        session->dialogs.clear();
        tab.write(QStringLiteral("Thursday, discarded"));
        session->dialogs.answer(false);
        tab.press("cmdNextDay");
        QCOMPARE(texts(), QStringList{kSaveChanges});
        QCOMPARE(tab.text(), QStringLiteral("Friday"));
        tab.press("cmdPreviousDay");
        QCOMPARE(tab.text(), QStringLiteral("Thursday, changed"));

        // The too-short question can still come; No there loses the text as the user chose.
        session->dialogs.clear();
        tab.write(QStringLiteral("ok"));
        session->dialogs.answer(true).answer(false);
        tab.press("cmdNextDay");
        QCOMPARE(texts(), QStringList({kSaveChanges, kTooShort}));
        QCOMPARE(tab.calendar()->selectedDate(), kToday.addDays(1));

        // A day picked on the calendar and a key on the calendar ask the same, once.
        session->dialogs.clear();
        tab.write(QStringLiteral("Friday, again"));
        session->dialogs.answer(true);
        tab.pick(QDate(2026, 3, 20));
        QCOMPARE(texts(), QStringList{kSaveChanges});
        QCOMPARE(tab.date(), QStringLiteral("20/03/2026"));
        QCOMPARE(tab.text(), QString());
        session->dialogs.clear();
        tab.write(QStringLiteral("The 20th"));
        session->dialogs.answer(false);
        auto* view = tab.calendar()->findChild<QTableView*>();
        QTest::keyClick(view, Qt::Key_Right);
        QCoreApplication::processEvents();
        QCOMPARE(texts(), QStringList{kSaveChanges});
        QCOMPARE(tab.date(), QStringLiteral("21/03/2026"));
        QCOMPARE(tab.text(), QString());

        // "Today" on today still offers the unsaved text before it reloads the day.
        session->dialogs.clear();
        tab.press("cmdToday");
        tab.write(QStringLiteral("Thursday, last words"));
        session->dialogs.answer(true);
        tab.press("cmdToday");
        QCOMPARE(texts(), QStringList{kSaveChanges});
        QCOMPARE(tab.text(), QStringLiteral("Thursday, last words"));
        QCOMPARE(tab.saved(), QStringLiteral("Thursday, last words"));
        tab.press("cmdNextDay");
        QCOMPARE(tab.text(), QStringLiteral("Friday, again"));
    }

    void twoUsersOnTheSameDay() {
        JournalTab tab = logIn(QStringLiteral("anna"));
        tab.write(QStringLiteral("Anna's secret"));
        tab.press("cmdJournalSave");
        // Logging out offers the unsaved text of the day.
        tab.write(QStringLiteral("Anna's secret, more"));
        session->dialogs.clear();
        session->dialogs.answer(true);
        session->logOut();
        QCOMPARE(texts(), QStringList{kSaveChanges});

        tab = logIn(QStringLiteral("bert"));
        QCOMPARE(tab.text(), QString());
        QCOMPARE(tab.saved(), QString());
        QVERIFY(!tab.bold(kToday));
        tab.write(QStringLiteral("Bert's day"));
        tab.press("cmdJournalSave");
        QCOMPARE(texts(), QStringList{kCreated});
        QCOMPARE(rows().size(), 2);
        QCOMPARE(rows()[0].journal, EncryptField(QStringLiteral("Anna's secret, more")));
        QCOMPARE(rows()[1].journal, EncryptField(QStringLiteral("Bert's day")));
        QCOMPARE(rows()[1].owner, EncryptField(QStringLiteral("bert")));

        session->logOut();
        tab = logIn(QStringLiteral("anna"));
        QCOMPARE(tab.text(), QStringLiteral("Anna's secret, more"));
        session->dialogs.answer(true);
        tab.press("cmdJournalSave");
        QCOMPARE(texts(), QStringList{kModify});
        QCOMPARE(rows()[1].journal, EncryptField(QStringLiteral("Bert's day")));
    }

    void previousAndNextEntry() {
        JournalTab tab = logIn(QStringLiteral("anna"));
        auto save = [&](QDate day, const QString& text) {
            tab.pick(day);
            tab.write(text);
            if (text.size() < 4) {
                session->dialogs.answer(true);  // saved unencrypted
            }
            tab.press("cmdJournalSave");
        };
        // No entries at all: not found, back to today.
        tab.press("Command2");
        QCOMPARE(texts(), QStringList{kNoMore});
        QCOMPARE(session->dialogs.shown[0].icon, MessageIcon::Information);
        QCOMPARE(tab.calendar()->selectedDate(), kToday);
        session->dialogs.clear();
        tab.press("Command4");
        QCOMPARE(texts(), QStringList{kNoMore});
        QCOMPARE(tab.date(), QStringLiteral("05/03/2026"));
        session->dialogs.clear();

        save(QDate(2026, 2, 1), QStringLiteral("February"));
        save(QDate(2026, 3, 1), QStringLiteral("   "));       // spaces only
        save(QDate(2026, 3, 2), QStringLiteral("        "));  // spaces only, encrypted
        save(QDate(2026, 4, 10), QStringLiteral("April"));
        save(QDate(2026, 3, 10), QString());
        tab.press("cmdToday");
        session->dialogs.clear();

        tab.press("Command2");
        QVERIFY(texts().isEmpty());
        QCOMPARE(tab.date(), QStringLiteral("01/02/2026"));
        QCOMPARE(tab.text(), QStringLiteral("February"));
        QCOMPARE(tab.get<QListWidget>("lstJournalDates")->count(), 5);
        tab.press("Command2");  // before the earliest entry
        QCOMPARE(texts(), QStringList{kNoMore});
        QCOMPARE(tab.calendar()->selectedDate(), kToday);
        session->dialogs.clear();

        // From a day that has an entry the search still moves on; blank days are skipped.
        tab.pick(QDate(2026, 2, 1));
        tab.press("Command4");
        QCOMPARE(tab.date(), QStringLiteral("10/04/2026"));
        QCOMPARE(tab.text(), QStringLiteral("April"));
        QVERIFY(tab.bold(QDate(2026, 4, 10)));
        tab.press("Command4");
        QCOMPARE(texts(), QStringList{kNoMore});
        QCOMPARE(tab.calendar()->selectedDate(), kToday);
        QVERIFY(texts().size() == 1);

        // The calendar shows the days that hold an entry in bold.
        tab.calendar()->setCurrentPage(2026, 3);
        QVERIFY(!tab.bold(QDate(2026, 3, 1)));
        QVERIFY(!tab.bold(QDate(2026, 3, 2)));
        QVERIFY(!tab.bold(QDate(2026, 3, 10)));
        QVERIFY(tab.bold(QDate(2026, 4, 10)));
        tab.calendar()->setCurrentPage(2026, 2);
        QVERIFY(tab.bold(QDate(2026, 2, 1)));

        // Unsaved text is offered once, and saved under its own day.
        session->dialogs.clear();
        tab.write(QStringLiteral("Thursday's draft"));
        session->dialogs.answer(true);
        tab.press("Command2");
        QCOMPARE(texts(), QStringList({kSaveChanges, kCreated}));
        QCOMPARE(tab.date(), QStringLiteral("01/02/2026"));
        tab.press("Command4");
        QCOMPARE(tab.date(), QStringLiteral("05/03/2026"));
        QCOMPARE(tab.text(), QStringLiteral("Thursday's draft"));
        QVERIFY(tab.bold(kToday));
    }

    void typingStatistics() {
        JournalTab tab = logIn(QStringLiteral("anna"));
        QPlainTextEdit* box = tab.box();
        test::FakeClock& clock = *session->clock;
        // The word count lags one key behind the text.
        QTest::keyClick(box, Qt::Key_A);
        QCOMPARE(tab.label("lblWords"), QStringLiteral("0"));
        QTest::keyClick(box, Qt::Key_B);
        QCOMPARE(tab.label("lblWords"), QStringLiteral("1"));
        QCOMPARE(tab.label("lblParagraphs"), QStringLiteral("1"));
        QCOMPARE(tab.text(), QStringLiteral("ab"));

        // Paragraphs for 0 to 4 line breaks.
        const char* const paragraphs[] = {"1", "1", "2", "2", "3"};
        for (int breaks = 1; breaks <= 4; ++breaks) {
            QTest::keyClick(box, Qt::Key_Return);
            QCOMPARE(tab.label("lblParagraphs"), QString::fromLatin1(paragraphs[breaks]));
        }
        // Words joined by line breaks count once a second paragraph is there: "ab\n\n\n\nc".
        QTest::keyClick(box, Qt::Key_C);
        QTest::keyClick(box, Qt::Key_D);
        QCOMPARE(tab.label("lblWords"), QStringLiteral("3"));

        // 10 words shown and no corrections: one Backspace shows 90.
        tab.write(QString());
        QTest::keyClicks(box, QStringLiteral("a b c d e f g h i j "));
        QCOMPARE(tab.label("lblParagraphs"), QStringLiteral("1"));
        QCOMPARE(tab.label("lblWords"), QStringLiteral("10"));
        QCOMPARE(tab.label("lblAccuracy"), QStringLiteral("100"));
        QTest::keyClick(box, Qt::Key_Backspace);
        QCOMPARE(tab.label("lblAccuracy"), QStringLiteral("90"));

        // A pause of more than 5 seconds after the last space: speed 0, accuracy 100.
        QTest::keyClick(box, Qt::Key_Space);
        clock.advance(2);
        QTest::keyClick(box, Qt::Key_X);
        QVERIFY(tab.label("lblWordCount") != QStringLiteral("0"));
        clock.advance(4);
        QTest::keyClick(box, Qt::Key_Y);
        QCOMPARE(tab.label("lblWordCount"), QStringLiteral("0"));
        QCOMPARE(tab.label("lblAccuracy"), QStringLiteral("100"));

        // Accuracy 66.66: one correction against 3 words.
        session->logOut();
        tab = logIn(QStringLiteral("anna"));  // the activation puts the timing back to idle
        box = tab.box();
        tab.write(QString());
        QTest::keyClicks(box, QStringLiteral("ab cd ef "));
        QTest::keyClick(box, Qt::Key_Backspace);
        QCOMPARE(tab.label("lblAccuracy"), QStringLiteral("66.66"));

        // Speed 123.4: 72 words, 35 seconds (0.5833 minutes) into the timing run.
        session->logOut();
        tab = logIn(QStringLiteral("anna"));
        box = tab.box();
        tab.write(QString());
        QTest::keyClicks(box, QStringLiteral("w w "));
        for (int second = 1; second <= 35; ++second) {
            clock.advance(1);
            QTest::keyClicks(box, QStringLiteral("w w "));
        }
        QTest::keyClick(box, Qt::Key_Z);
        QCOMPARE(tab.label("lblWords"), QStringLiteral("72"));
        QCOMPARE(tab.label("lblWordCount"), QStringLiteral("123.4"));

        // Loading another day leaves the figures as they are.
        session->dialogs.answer(false);
        tab.press("cmdNextDay");
        QCOMPARE(tab.label("lblWordCount"), QStringLiteral("123.4"));
        QCOMPARE(tab.label("lblWords"), QStringLiteral("72"));
    }

    void everyCharacterIsKept() {
        JournalTab tab = logIn(QStringLiteral("anna"));
        const QString text = QStringLiteral(
            "  Grüße – 東京 😀\ttab\u00a0no-break\nnext line\u2028line separator\n\nend  ");
        tab.write(text);
        QCOMPARE(tab.text(), text);
        tab.press("cmdJournalSave");
        tab.press("cmdNextDay");
        tab.press("cmdPreviousDay");
        QCOMPARE(tab.text(), text);
        QCOMPARE(tab.saved(), text);
        tab.press("cmdNextDay");  // unchanged: nothing is asked
        QCOMPARE(texts(), QStringList{kCreated});
    }

    void databaseFailures() {
        JournalTab tab = logIn(QStringLiteral("anna"));
        tab.write(QStringLiteral("Kept"));
        tab.press("cmdJournalSave");
        session->dialogs.clear();
        {
            DatabaseAccess database(session->env.databasePath(), QStringLiteral("PineHarbor"));
            QVERIFY(database.open()->exec(test::failingJournalWrites()).ok());
        }
        // A failed write is told, never confirmed, and the entry still counts as changed.
        tab.write(QStringLiteral("Not written"));
        session->dialogs.answer(true);
        tab.press("cmdJournalSave");
        QCOMPARE(texts().size(), 2);
        QCOMPARE(texts()[0], kModify);
        QCOMPARE(session->dialogs.shown[1].icon, MessageIcon::Critical);
        QVERIFY(texts()[1].startsWith(QStringLiteral("The Journal entry could not be saved.")));
        QCOMPARE(tab.saved(), QStringLiteral("Kept"));
        QCOMPARE(rows()[0].journal, EncryptField(QStringLiteral("Kept")));

        // Moving away: the failed save keeps the day and the text.
        session->dialogs.clear();
        session->dialogs.answer(true);
        tab.press("cmdNextDay");
        QCOMPARE(texts().size(), 2);
        QCOMPARE(texts()[0], kSaveChanges);
        QCOMPARE(session->dialogs.shown[1].icon, MessageIcon::Critical);
        QCOMPARE(tab.calendar()->selectedDate(), kToday);
        QCOMPARE(tab.text(), QStringLiteral("Not written"));
        session->dialogs.clear();
        session->dialogs.answer(true);
        tab.pick(kToday.addDays(3));
        QCOMPARE(texts().size(), 2);
        QCOMPARE(tab.calendar()->selectedDate(), kToday);
        QCOMPARE(tab.date(), QStringLiteral("05/03/2026"));
        QCOMPARE(tab.text(), QStringLiteral("Not written"));

        // A day that cannot be read is told, never shown as an empty day with old text.
        session->dialogs.clear();
        {
            DatabaseAccess database(session->env.databasePath(), QStringLiteral("PineHarbor"));
            QVERIFY(database.open()
                        ->exec(QStringLiteral("DROP TRIGGER FailingInsert; DROP TRIGGER "
                                              "FailingUpdate; ALTER TABLE Journals "
                                              "RENAME TO Elsewhere"))
                        .ok());
        }
        session->dialogs.answer(false);
        tab.press("cmdNextDay");
        QCOMPARE(texts().size(), 2);
        QVERIFY(texts()[1].startsWith(QStringLiteral("The Journal entry could not be read.")));
        QCOMPARE(tab.text(), QString());
        QCOMPARE(tab.date(), QStringLiteral("06/03/2026"));
        session->dialogs.clear();
        tab.press("Command2");
        QCOMPARE(texts().size(), 1);
        QVERIFY(
            texts()[0].startsWith(QStringLiteral("The Journal entries could not be searched.")));
    }
};

QTEST_MAIN(JournalPageTest)
#include "tst_journal_page.moc"
