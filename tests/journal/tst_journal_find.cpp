// The journal's search field, its keyboard and the shown day, end to end in the real window.
#include <QtTest>
#include <QtWidgets>

#include "GuiDriver.h"
#include "Session.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "journal/JournalDate.h"
#include "journal/JournalStore.h"
#include "journal/JournalText.h"

using namespace ks;
using namespace Qt::StringLiterals;

const QString kSaveChanges = u"Would you like to save the changes to the current Journal entry?"_s;
const QString kModify = u"You are about to modify an existing entry.  Are you sure?"_s;

class JournalFindTest : public test::SessionTest {
    Q_OBJECT

    template <typename T = QWidget>
    T* get(const char* name) const {
        return main()->findChild<T*>(QString::fromLatin1(name));
    }
    QPlainTextEdit* box() const { return get<QPlainTextEdit>("txtJournal"); }
    QListView* found() const { return get<QListView>("lstJournalFound"); }
    QModelIndex foundRow(int row) const { return found()->model()->index(row, 0); }
    QDate day() const { return get<QCalendarWidget>("Calendar1")->selectedDate(); }
    QStringList foundLines() const { return test::itemTexts(found()); }
    void write(const QString& owner, QDate on, const QString& text) {
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
    void key(QWidget* target, Qt::Key k, Qt::KeyboardModifiers modifiers) {
        target->setFocus();
        QTest::keyClick(target, k, modifiers);
        QTest::qWait(20);
    }

private Q_SLOTS:
    void init() {
        startSession();
        write(u"anna"_s, QDate(2025, 7, 4), u"Lake trip with <b>Tom</b>."_s);
        write(u"anna"_s, QDate(2026, 3, 1), u"Swam in the LAKE, cold."_s);
        write(u"anna"_s, QDate(2026, 2, 10), u"Nothing of water."_s);
        write(u"bert"_s, QDate(2026, 3, 2), u"Bert at the lake."_s);
        test::showTab(main(), 1);
        main()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main()));
    }
    void cleanup() { endSession(); }

    void findsDaysAndGoesThereAsACalendarClickWould() {
        QVERIFY(found()->isHidden());
        searchFor(u"lake"_s);
        QCOMPARE(foundLines(), QStringList({u"01/03/2026  Swam in the LAKE, cold."_s,
                                            u"04/07/2025  Lake trip with <b>Tom</b>."_s}));
        // Unsaved text is offered for saving before the day changes; No drops it.
        box()->setPlainText(u"a draft"_s);
        dialogs().answer(false);
        QTest::mouseClick(found()->viewport(), Qt::LeftButton, {},
                          found()->visualRect(foundRow(1)).center());
        QCoreApplication::processEvents();
        QCOMPARE(dialogs().texts(), QStringList{kSaveChanges});
        QCOMPARE(day(), QDate(2025, 7, 4));
        QCOMPARE(entryText(box()), u"Lake trip with <b>Tom</b>."_s);
        QCOMPARE(get<QLabel>("lblShownDay")->text(),
                 QLocale().toString(QDate(2025, 7, 4), QLocale::LongFormat));

        // A text no entry holds says so; an empty field hides the list again.
        searchFor(u"ocean"_s);
        QCOMPARE(foundLines(), QStringList{u"No entry contains that text."_s});
        QVERIFY(!(foundRow(0).flags() & Qt::ItemIsEnabled));
        get<QLineEdit>("txtJournalSearch")->clear();
        QVERIFY(found()->isHidden());
    }

    void aLongEntryIsListedWithTheMatchNearTheStart() {
        const QString entry = u"Grey morning. "_s.repeated(20) + u"Saw Tom at the <b>LAKE</b>."_s +
                              u" Rain again."_s.repeated(20);
        write(u"anna"_s, QDate(2026, 1, 20), entry);
        searchFor(u"lake"_s);
        const QString line = foundLines().value(1);
        QVERIFY2(line.startsWith(u"20/01/2026  …"_s), qPrintable(line));
        // Markup is shown as typed; the match comes within a few words of the date.
        const qsizetype match = line.indexOf(u"LAKE"_s);
        QVERIFY2(match > 0 && match < 35, qPrintable(line));
        QVERIFY(line.contains(u"<b>LAKE</b>."_s));
    }

    void keyboardSavesAndMovesByDay() {
        QCOMPARE(day(), QDate(2026, 3, 5));
        box()->setFocus();
        QTRY_VERIFY(box()->hasFocus());
        key(box(), Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(day(), QDate(2026, 3, 4));
        key(box(), Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(day(), QDate(2026, 3, 3));
        key(box(), Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(day(), QDate(2026, 3, 4));
        QCOMPARE(get<QLabel>("lblShownDay")->text(),
                 QLocale().toString(QDate(2026, 3, 4), QLocale::LongFormat));

        // Ctrl+S is the Save button: a new entry is created, an existing one asks first.
        box()->setPlainText(u"Written on the fourth."_s);
        key(box(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(dialogs().texts(), QStringList{u"Record was successfully created."_s});
        dialogs().clear();
        box()->setPlainText(u"Written on the fourth, again."_s);
        dialogs().answer(true);
        key(box(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(dialogs().texts().first(), kModify);
        DatabaseAccess database(session->env.databasePath(), PassPhrase());
        QCOMPARE(ks::LoadJournalEntry(database, EncryptField(u"anna"_s), u"04/03/2026"_s)
                     .value()
                     .value_or(QString()),
                 u"Written on the fourth, again."_s);
    }

    void theNextUserStartsWithoutTheSearch() {
        searchFor(u"lake"_s);
        QCOMPARE(found()->model()->rowCount(), 2);
        session->switchUser(u"bert"_s);
        QVERIFY(get<QLineEdit>("txtJournalSearch")->text().isEmpty());
        QVERIFY(found()->isHidden());
        searchFor(u"lake"_s);
        QCOMPARE(foundLines(), QStringList{u"02/03/2026  Bert at the lake."_s});
    }
};

QTEST_MAIN(JournalFindTest)
#include "tst_journal_find.moc"
