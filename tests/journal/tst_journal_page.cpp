// The Journal tab end to end: the real main window, scripted answers and a clock set by the test;
// the search field, the keyboard and the shown day too.
#include <QtTest>
#include <QtWidgets>

#include "GuiDriver.h"
#include "Session.h"
#include "SmallDisk.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "journal/JournalDate.h"
#include "journal/JournalStore.h"
#include "journal/JournalText.h"

using namespace ks;
using namespace Qt::StringLiterals;

const QString kSaveChanges = u"Would you like to save the changes to the current Journal entry?"_s;
const QString kModify = u"You are about to modify an existing entry.  Are you sure?"_s;
const QString kTooShort =
    u"Your Journal entry is too short to be encrypted.\r\rWould you like to save it unencrypted?"_s;
const QString kCreated = u"Record was successfully created."_s;
const QString kNoMore = u"No more entries found."_s;
const QString kNotSaved = u"critical: The Journal entry could not be saved"_s;

class JournalPageTest : public test::SessionTest {
    Q_OBJECT

    template <typename T = QWidget>
    T* get(const char* name) const {
        return main()->findChild<T*>(QString::fromLatin1(name));
    }
    // A property of controls, joined by "|".
    QString texts(std::initializer_list<const char*> names, const char* property = "text") const {
        QStringList all;
        for (const char* name : names) {
            all << get(name)->property(property).toString();
        }
        return all.join(u'|');
    }
    // Speed, accuracy, words and paragraphs as the statistics show them.
    QString figures() const {
        return texts({"lblWordCount", "lblAccuracy", "lblWords", "lblParagraphs"});
    }
    QCalendarWidget* calendar() const { return get<QCalendarWidget>("Calendar1"); }
    QPlainTextEdit* box() const { return get<QPlainTextEdit>("txtJournal"); }
    void write(const QString& entry) const { box()->setPlainText(entry); }
    bool bold(QDate d) const { return calendar()->dateTextFormat(d).fontWeight() == QFont::Bold; }
    // The entry's day, its text and the copy last loaded or saved, as the tab holds them (the
    // calendar's day first when it is not the entry's).
    QString shown() const {
        const QString day = calendar()->selectedDate().toString(u"dd/MM/yyyy"_s);
        const QString date = texts({"txtDate"});
        return (day == date ? date : day + u" ≠ "_s + date) + u'|' + entryText(box()) + u'|' +
               entryText(get<QPlainTextEdit>("txtJournal2"));
    }
    // One column (or an expression over the columns) of every row of `Journals`, in stored order.
    QStringList stored(const char* column) const {
        DatabaseAccess database(session->env.databasePath(), PassPhrase());
        Result<Connection> connection = database.open();
        Statement query = connection->prepare(u"SELECT %1 FROM Journals ORDER BY Id"_s.arg(column));
        QStringList values;
        while (query.next()) {
            values << query.text(0);
        }
        return values;
    }
    // Runs statements on the database behind the program's back (to set up a failure, say).
    void exec(const QString& sql) const {
        DatabaseAccess database(session->env.databasePath(), PassPhrase());
        QVERIFY(database.open()->exec(sql).ok());
    }
    // Every stored entry as its date text and the text the program shows for it.
    QStringList entries() const {
        QStringList rows = stored("Date");
        const QStringList journals = stored("Journal");
        for (qsizetype i = 0; i < rows.size(); ++i) {
            rows[i] += u' ' + shownJournalText(journals[i]);
        }
        return rows;
    }

    // Runs an action with answers queued for its questions, and the events it leaves (a move of
    // the calendar by the user is handled once the calendar has finished with its event);
    // returns the messages shown, a critical one marked and cut to its first sentence.
    template <typename Action>
    QStringList shownBy(std::initializer_list<bool> answers, Action action) {
        const qsizetype before = dialogs().shown.size();
        for (const bool yes : answers) {
            dialogs().answer(yes);
        }
        action();
        QCoreApplication::processEvents();
        QStringList messages;
        for (const auto& m : dialogs().shown.mid(before)) {
            const bool failure = m.icon == MessageIcon::Critical;
            messages << (failure ? u"critical: "_s + m.text.section(u". "_s, 0, 0) : m.text);
        }
        return messages;
    }
    QStringList press(const char* name, std::initializer_list<bool> answers = {}) {
        return shownBy(answers, [&] { QVERIFY(test::press(main(), name)); });
    }
    // A day picked on the calendar by the user.
    QStringList pick(QDate day, std::initializer_list<bool> answers = {}) {
        return shownBy(answers, [&] { calendar()->setSelectedDate(day); });
    }

    QListView* found() const { return get<QListView>("lstJournalFound"); }
    QModelIndex foundRow(int row) const { return found()->model()->index(row, 0); }
    QStringList foundLines() const { return test::itemTexts(found()); }
    // Writes an entry behind the program's back, as another running copy would.
    void store(const QString& owner, QDate on, const QString& text) {
        DatabaseAccess database(session->env.databasePath(), PassPhrase());
        QVERIFY(writeJournalEntry(database, EncryptField(owner), journalDateText(on),
                                  storedJournalValue(text), on)
                    .ok());
    }
    void searchFor(const QString& text) {
        auto* field = get<QLineEdit>("txtJournalSearch");
        field->setFocus();
        field->clear();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }
    void key(Qt::Key k, Qt::KeyboardModifiers modifiers) {
        box()->setFocus();
        QTest::keyClick(box(), k, modifiers);
        QTest::qWait(20);
    }

private Q_SLOTS:
    void init() { startSession(); }
    void cleanup() { endSession(); }

    void savesAndTheirFailures() {
        // A new entry is confirmed, stored encrypted and keeps every character.
        const QString entry = u"  Grüße – 東京 😀\ttab\u00a0no-break\nnext\u2028line\n\nend  "_s;
        write(entry);
        QCOMPARE(press("cmdJournalSave"), QStringList{kCreated});
        QCOMPARE(dialogs().shown.last().icon, MessageIcon::Information);
        QCOMPARE(dialogs().shown.last().title, u"Keystead"_s);
        QCOMPARE(stored("UserName || ' ' || Date || ' ' || DateCreated || ' ' || LastModified"),
                 QStringList{EncryptField(u"anna"_s) + u" 05/03/2026 05/03/2026 05/03/2026"_s});
        QCOMPARE(stored("Journal"), QStringList{EncryptField(entry)});
        QVERIFY(bold(QDate(2026, 3, 5)));
        QVERIFY(press("cmdNextDay").isEmpty());  // unchanged: nothing is asked
        press("cmdPreviousDay");
        QCOMPARE(shown(), u"05/03/2026|"_s + entry + u'|' + entry);
        // Saving again asks first, even without a change; No writes nothing.
        session->clock->advance(24 * 3600);
        QCOMPARE(press("cmdJournalSave", {false}), QStringList{kModify});
        QCOMPARE(dialogs().shown.last().icon, MessageIcon::Question);
        QCOMPARE(stored("LastModified"), QStringList{u"05/03/2026"_s});
        // Yes writes without a further message; the menu item saves too.
        write(u"Changed"_s);
        QCOMPARE(
            shownBy({true}, [&] { QMetaObject::invokeMethod(get<QObject>("mnuSave"), "trigger"); }),
            QStringList{kModify});
        QCOMPARE(stored("DateCreated || LastModified"), QStringList{u"05/03/202606/03/2026"_s});
        QCOMPARE(shown(), u"05/03/2026|Changed|Changed"_s);
        // Too short: No writes nothing and the entry still counts as changed; Yes stores it
        // plain, shown as stored when the day is loaded again.
        press("cmdNextDay");
        write(u"abc"_s);
        QCOMPARE(press("cmdJournalSave", {false}), QStringList{kTooShort});
        QCOMPARE(shown(), u"06/03/2026|abc|"_s);
        QCOMPARE(press("cmdJournalSave", {true}), QStringList({kTooShort, kCreated}));
        QCOMPARE(stored("Journal").last(), u"abc"_s);
        press("cmdNextDay");
        press("cmdPreviousDay");
        QCOMPARE(shown(), u"06/03/2026|abc|abc"_s);
        // Four characters are encrypted without a question; an emptied entry is too short.
        write(u"abcd"_s);
        QCOMPARE(press("cmdJournalSave", {true}), QStringList{kModify});
        QCOMPARE(stored("Journal").last(), EncryptField(u"abcd"_s));
        write(QString());
        QCOMPARE(press("cmdJournalSave", {true, true}), QStringList({kModify, kTooShort}));
        QVERIFY(!bold(QDate(2026, 3, 6)));

        // A failed write (a full disk) is told, never confirmed, and the entry still counts as
        // changed; moving away keeps the day and the text.
        write(u"Not written"_s);
        {
            const test::FileSizeLimit full(1024);
            QCOMPARE(press("cmdJournalSave", {true}), QStringList({kModify, kNotSaved}));
            QCOMPARE(press("cmdNextDay", {true}), QStringList({kSaveChanges, kNotSaved}));
            QCOMPARE(pick(QDate(2026, 3, 8), {true}), QStringList({kSaveChanges, kNotSaved}));
        }
        QCOMPARE(shown(), u"06/03/2026|Not written|"_s);
        QCOMPARE(entries(), QStringList({u"05/03/2026 Changed"_s, u"06/03/2026 "_s}));
        // A day that cannot be read is told, never shown as an empty day with old text.
        exec(u"ALTER TABLE Journals RENAME TO Elsewhere"_s);
        QCOMPARE(press("cmdNextDay", {false}),
                 QStringList({kSaveChanges, u"critical: The Journal entry could not be read"_s}));
        QCOMPARE(shown(), u"07/03/2026||"_s);
        QCOMPARE(press("Command2"),
                 QStringList{u"critical: The Journal entries could not be searched"_s});
    }

    void changingTheDayWithUnsavedText() {
        write(u"Thursday"_s);
        press("cmdJournalSave");
        // Yes saves under the day the text was written for, without the modify question.
        write(u"Thursday, changed"_s);
        get("SSTab1")->setProperty("currentIndex", 0);
        QCOMPARE(press("cmdNextDay", {true}), QStringList{kSaveChanges});
        QCOMPARE(texts({"SSTab1"}, "currentIndex"), u"1"_s);
        QCOMPARE(shown(), u"06/03/2026||"_s);
        // A day without an entry yet: the save creates it; No discards.
        write(u"Friday"_s);
        QCOMPARE(press("cmdPreviousDay", {true}), QStringList({kSaveChanges, kCreated}));
        QCOMPARE(shown(), u"05/03/2026|Thursday, changed|Thursday, changed"_s);
        write(u"Thursday, discarded"_s);
        QCOMPARE(press("cmdNextDay", {false}), QStringList{kSaveChanges});
        QCOMPARE(shown(), u"06/03/2026|Friday|Friday"_s);
        // The too-short question can still come; No there loses the text as the user chose.
        write(u"ok"_s);
        QCOMPARE(press("cmdNextDay", {true, false}), QStringList({kSaveChanges, kTooShort}));
        // A day picked on the calendar and a key on the calendar ask the same, once.
        write(u"Saturday"_s);
        QCOMPARE(pick(QDate(2026, 3, 20), {true}), QStringList({kSaveChanges, kCreated}));
        QCOMPARE(shown(), u"20/03/2026||"_s);
        write(u"The 20th"_s);
        const auto key = [&] { QTest::keyClick(calendar()->focusProxy(), Qt::Key_Right); };
        QCOMPARE(shownBy({false}, key), QStringList{kSaveChanges});
        QCOMPARE(shown(), u"21/03/2026||"_s);
        QCOMPARE(entries(), QStringList({u"05/03/2026 Thursday, changed"_s, u"06/03/2026 Friday"_s,
                                         u"07/03/2026 Saturday"_s}));
    }

    void twoUsersOnTheSameDay() {
        write(u"Anna's"_s);
        press("cmdJournalSave");
        // Logging out offers the unsaved text of the day.
        write(u"Anna's, more"_s);
        QCOMPARE(shownBy({true}, [&] { session->logOut(); }), QStringList{kSaveChanges});
        session->logIn(u"bert"_s);
        QCOMPARE(shown(), u"05/03/2026||"_s);
        QVERIFY(!bold(QDate(2026, 3, 5)));
        write(u"Bert's"_s);
        QCOMPARE(press("cmdJournalSave"), QStringList{kCreated});
        QVERIFY(shownBy({}, [&] { session->logOut(); }).isEmpty());
        session->logIn(u"anna"_s);
        QCOMPARE(shown(), u"05/03/2026|Anna's, more|Anna's, more"_s);
        QCOMPARE(press("cmdJournalSave", {true}), QStringList{kModify});
        QCOMPARE(entries(), QStringList({u"05/03/2026 Anna's, more"_s, u"05/03/2026 Bert's"_s}));
    }

    void previousAndNextEntry() {
        // No entries at all: not found, back to today.
        QCOMPARE(press("Command2"), QStringList{kNoMore});
        QCOMPARE(dialogs().shown.last().icon, MessageIcon::Information);
        QCOMPARE(press("Command4"), QStringList{kNoMore});
        QCOMPARE(shown(), u"05/03/2026||"_s);
        // Entries of spaces only (plain and encrypted) and an empty one are skipped.
        exec(
            u"INSERT INTO Journals (UserName, Date, Journal) VALUES ('%1', '01/02/2026', '%2'), "
            "('%1', '01/03/2026', '   '), ('%1', '02/03/2026', '%3'), ('%1', '10/04/2026', '%4'), "
            "('%1', '10/03/2026', '')"_s.arg(EncryptField(u"anna"_s), EncryptField(u"February"_s),
                                             EncryptField(u"        "_s),
                                             EncryptField(u"April"_s)));
        pick(QDate(2026, 4, 10));
        // From a day that has an entry the search still moves on.
        QVERIFY(press("Command2").isEmpty());
        QCOMPARE(shown(), u"01/02/2026|February|February"_s);
        QCOMPARE(texts({"lstJournalDates"}, "count"), u"5"_s);
        QCOMPARE(press("Command2"), QStringList{kNoMore});  // before the earliest entry
        QCOMPARE(shown(), u"05/03/2026||"_s);
        QVERIFY(press("Command4").isEmpty());
        QCOMPARE(shown(), u"10/04/2026|April|April"_s);
        QCOMPARE(press("Command4"), QStringList{kNoMore});
        QCOMPARE(shown(), u"05/03/2026||"_s);
        // Unsaved text is offered once, and saved under its own day.
        write(u"Thursday's draft"_s);
        QCOMPARE(press("Command2", {true}), QStringList({kSaveChanges, kCreated}));
        QCOMPARE(shown(), u"01/02/2026|February|February"_s);
        QVERIFY(bold(QDate(2026, 2, 1)) && bold(QDate(2026, 3, 5)) && !bold(QDate(2026, 3, 1)));
        press("Command4");
        QCOMPARE(shown(), u"05/03/2026|Thursday's draft|Thursday's draft"_s);
    }

    void controlsAndTypingStatistics() {
        QCOMPARE(shown(), u"05/03/2026||"_s);
        QCOMPARE(texts({"cmdPreviousDay", "Command2", "cmdToday", "Command4", "cmdNextDay"}),
                 u"<  Previous Day|<  Previous Entry|Today|Next Entry  >|Next Day  >"_s);
        QCOMPARE(texts({"Frame1"}, "title") + texts({"Label8", "Label10", "Label9", "Label12"}),
                 u"StatisticsTyping speed (WPM):|Accuracy (%):|Words:|Paragraphs:"_s);
        QCOMPARE(figures(), u"0|0|0|0"_s);
        QCOMPARE(get("cmdJournalSave")->parent(), get("pctJournal"));
        QVERIFY(get("lstJournalDates")->isHidden() && get("txtJournal2")->isHidden() &&
                get("txtDate")->isHidden() && !box()->isHidden());
        // The word count lags one key behind the text; words that 4 line breaks join count
        // once the text has 3 paragraphs.
        QTest::keyClick(box(), Qt::Key_A);
        QCOMPARE(figures(), u"0|0|0|1"_s);
        QTest::keyClick(box(), Qt::Key_B);
        QCOMPARE(figures(), u"0|0|1|1"_s);
        for (int breaks = 0; breaks < 4; ++breaks) {
            QTest::keyClick(box(), Qt::Key_Return);
        }
        QTest::keyClicks(box(), u"cd"_s);
        QCOMPARE(figures(), u"0|0|3|3"_s);
        // 10 words shown and no corrections: one Backspace shows 90.
        write(QString());
        QTest::keyClicks(box(), u"a b c d e f g h i j "_s);
        QTest::keyClick(box(), Qt::Key_Backspace);
        QCOMPARE(figures(), u"0|90|10|1"_s);
        // More than 5 seconds after the last space a letter shows speed 0 and accuracy 100.
        QTest::keyClick(box(), Qt::Key_Space);
        session->clock->advance(2);
        QTest::keyClick(box(), Qt::Key_X);
        QCOMPARE(figures(), u"300.3|90|10|1"_s);
        session->clock->advance(4);
        QTest::keyClick(box(), Qt::Key_Y);
        QCOMPARE(figures(), u"0|100|11|1"_s);
        // Coming back from another window of the program puts the timing back to idle and
        // clears the corrections; the figures stay, and loading another day keeps them too.
        auto closed = test::whenModal(u"Form3"_s, [](QWidget* about) { about->close(); });
        press("cmdJournalAbout");
        QVERIFY(*closed);
        QCOMPARE(figures(), u"0|100|11|1"_s);
        write(QString());
        QTest::keyClicks(box(), u"ab cd ef "_s);
        QTest::keyClick(box(), Qt::Key_Backspace);
        QCOMPARE(figures(), u"0|66.66|3|1"_s);
        press("cmdNextDay", {false});
        QCOMPARE(figures(), u"0|66.66|3|1"_s);
        // The next user to log in starts from the initial figures, not the last user's.
        QVERIFY(shownBy({}, [&] { session->logOut(); }).isEmpty());
        session->logIn(u"bert"_s);
        QCOMPARE(figures(), u"0|0|0|0"_s);
    }

    // A day whose entry is one very long line shows it whole, is typed into and saved as it is;
    // the box holds the line in pieces, so that no key waits for the whole line to be laid out.
    void aLongLineIsShownTypedAndSavedWhole() {
        const QString line = u"word "_s.repeated(20000) + u"Straße 🚢 end"_s;
        store(u"anna"_s, QDate(2026, 3, 4), line);
        press("cmdPreviousDay");
        QCOMPARE(shown(), u"04/03/2026|"_s + line + u'|' + line);
        int longest = 0;
        for (QTextBlock block = box()->document()->begin(); block.isValid(); block = block.next()) {
            longest = std::max(longest, block.length() - 1);
        }
        QVERIFY2(longest <= 4096, qPrintable(QString::number(longest)));
        // Keys in the middle of the line, and the figures of the whole line.
        box()->setFocus();
        QTextCursor cursor = box()->textCursor();
        cursor.setPosition(box()->document()->characterCount() / 2);
        box()->setTextCursor(cursor);
        QTest::keyClick(box(), Qt::Key_X);
        QTest::keyClick(box(), Qt::Key_Return);
        const QString typed = entryText(box());
        qsizetype at = 0;
        while (at < line.size() && typed[at] == line[at]) {
            ++at;
        }
        QVERIFY(at > line.size() / 3 && at < line.size() * 2 / 3);
        QCOMPARE(typed, line.left(at) + u"x\n"_s + line.mid(at));
        QCOMPARE(texts({"lblWords", "lblParagraphs"}), u"20003|1"_s);
        QCOMPARE(press("cmdJournalSave", {true}), QStringList{kModify});
        QCOMPARE(entries().last(), u"04/03/2026 "_s + typed);
        QCOMPARE(entryText(get<QPlainTextEdit>("txtJournal2")), typed);
    }

    void keyboardAndSearch() {
        test::showTab(main(), 1);
        main()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main()));
        // Alt+Left and Alt+Right move by day.
        box()->setFocus();
        QTRY_VERIFY(box()->hasFocus());
        key(Qt::Key_Left, Qt::AltModifier);
        key(Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(calendar()->selectedDate(), QDate(2026, 3, 3));
        key(Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(calendar()->selectedDate(), QDate(2026, 3, 4));
        // Ctrl+S is the Save button: a new entry is created, an existing one asks first.
        write(u"Written on the fourth."_s);
        key(Qt::Key_S, Qt::ControlModifier);
        write(u"Written on the fourth, again."_s);
        dialogs().answer(true);
        key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(dialogs().texts(), QStringList({kCreated, kModify}));

        // The days found, newest first; a long entry with the match a few words from the date,
        // markup shown as typed.
        store(u"anna"_s, QDate(2025, 7, 4), u"Lake trip with <b>Tom</b>."_s);
        store(u"anna"_s, QDate(2026, 3, 1), u"Swam in the LAKE, cold."_s);
        store(u"anna"_s, QDate(2026, 2, 10), u"Nothing of water."_s);
        store(u"bert"_s, QDate(2026, 3, 2), u"Bert at the lake."_s);
        store(u"anna"_s, QDate(2026, 1, 20),
              u"Grey morning.\n"_s.repeated(60) + u"Saw Tom at the <b>LAKE</b>."_s +
                  u" Rain again."_s.repeated(20));
        QVERIFY(found()->isHidden());
        searchFor(u"lake"_s);
        const QStringList lines = foundLines();
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], u"01/03/2026  Swam in the LAKE, cold."_s);
        QVERIFY2(lines[1].startsWith(u"20/01/2026  …"_s), qPrintable(lines[1]));
        const qsizetype match = lines[1].indexOf(u"LAKE"_s);
        QVERIFY2(match > 0 && match < 35, qPrintable(lines[1]));
        QVERIFY(lines[1].contains(u"<b>LAKE</b>."_s));
        QCOMPARE(lines[2], u"04/07/2025  Lake trip with <b>Tom</b>."_s);
        // A click on a day goes there as a calendar click would: unsaved text is offered for
        // saving first; No drops it.
        write(u"a draft"_s);
        const QPoint third = found()->visualRect(foundRow(2)).center();
        QCOMPARE(
            shownBy({false},
                    [&] { QTest::mouseClick(found()->viewport(), Qt::LeftButton, {}, third); }),
            QStringList{kSaveChanges});
        QCOMPARE(shown(), u"04/07/2025|Lake trip with <b>Tom</b>.|Lake trip with <b>Tom</b>."_s);
        QCOMPARE(get<QLabel>("lblShownDay")->text(),
                 QLocale().toString(QDate(2025, 7, 4), QLocale::LongFormat));
        // The match is selected, and scrolled into view when it is further down.
        QCOMPARE(box()->textCursor().selectedText(), u"Lake"_s);
        found()->clicked(foundRow(1));
        QCOMPARE(shown().left(10), u"20/01/2026"_s);
        QCOMPARE(box()->textCursor().selectedText(), u"LAKE"_s);
        QVERIFY(box()->verticalScrollBar()->value() > 0);
        QVERIFY(box()->viewport()->rect().contains(box()->cursorRect()));
        // Chosen again on the day shown, it is selected again.
        box()->moveCursor(QTextCursor::Start);
        found()->clicked(foundRow(1));
        QCOMPARE(box()->textCursor().selectedText(), u"LAKE"_s);

        // A text no entry holds says so; an empty field hides the list again.
        searchFor(u"ocean"_s);
        QCOMPARE(foundLines(), QStringList{u"No entry contains that text."_s});
        QVERIFY(!(foundRow(0).flags() & Qt::ItemIsEnabled));
        get<QLineEdit>("txtJournalSearch")->clear();
        QVERIFY(found()->isHidden());

        // The next user starts without the search, and finds only their own days.
        searchFor(u"lake"_s);
        session->switchUser(u"bert"_s);
        QVERIFY(get<QLineEdit>("txtJournalSearch")->text().isEmpty());
        QVERIFY(found()->isHidden());
        searchFor(u"lake"_s);
        QCOMPARE(foundLines(), QStringList{u"02/03/2026  Bert at the lake."_s});
    }
};

QTEST_MAIN(JournalPageTest)
#include "tst_journal_page.moc"
