#include "WindowsActions.h"

#include <QAction>
#include <QCalendarWidget>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include "GuiDriver.h"
#include "app/MainWindow.h"
#include "app/SessionLock.h"
#include "app/SyncPasses.h"
#include "core/CommonTexts.h"
#include "journal/JournalDate.h"

namespace ks::bench {

using test::control;
using test::press;
using test::window;

namespace {

QComboBox* filter(QWidget* main) {
    return control<QComboBox>(main, QStringLiteral("cmbCategories"));
}

int listedLines(QWidget* main) {
    return control<QListView>(main, QStringLiteral("lstPasswords"))->model()->rowCount();
}

QString shownDay(QWidget* main) {
    return control<QLineEdit>(main, QStringLiteral("txtDate"))->text();
}

QPlainTextEdit* entryBox(QWidget* main) {
    return control<QPlainTextEdit>(main, QStringLiteral("txtJournal"));
}

void selectFilter(QWidget* main, const QString& text) {
    filter(main)->setCurrentIndex(filter(main)->findText(text));
}

}  // namespace

QWidget* WindowActions::mainWindow() const {
    return window(QStringLiteral("Form1"));
}

void WindowActions::check(bool ok, const QString& what) {
    if (!ok && !problems.contains(what)) {
        problems.append(what);
    }
}

// No message and no question: the measured action did only what it should.
void WindowActions::checkQuiet(const QString& action) {
    check(world_.dialogs.shown.isEmpty() && world_.dialogs.unexpected.isEmpty(),
          action + QStringLiteral(": a message was shown: ") +
              world_.dialogs.texts().join(QStringLiteral(" | ")));
    world_.dialogs.clear();
    world_.dialogs.unexpected.clear();
}

double WindowActions::firstLogin() {
    world_.dialogs.clear();
    bool ok = false;
    const double ms = timeUntilIdle([&] { ok = world_.logIn(userName(measuredIndex(plan_))); });
    check(ok && mainWindow() != nullptr && mainWindow()->isVisible(),
          QStringLiteral("first login did not reach the main window: ") +
              world_.dialogs.texts().join(QStringLiteral(" | ")));
    world_.dialogs.clear();
    return ms;
}

double WindowActions::listAll() {
    QWidget* main = mainWindow();
    selectFilter(main, QStringLiteral("Work"));
    settle();
    world_.dialogs.clear();
    const double ms = timeUntilIdle([&] { filter(main)->setCurrentIndex(0); });
    check(listedLines(main) >= plan_.recordsPerUser,
          QStringLiteral("All Records listed too few lines"));
    checkQuiet(QStringLiteral("listing"));
    return ms;
}

double WindowActions::filterOne(int which) {
    QWidget* main = mainWindow();
    filter(main)->setCurrentIndex(0);
    settle();
    world_.dialogs.clear();
    static const char* const kPicks[] = {"Email", "Family", "Shopping"};
    const QString pick = QString::fromLatin1(kPicks[which % 3]);
    const double ms = timeUntilIdle([&] { selectFilter(main, pick); });
    check(filter(main)->currentText() == pick && listedLines(main) == plan_.recordsPerUser / 8,
          QStringLiteral("one category listed the wrong number of lines"));
    checkQuiet(QStringLiteral("filter"));
    filter(main)->setCurrentIndex(0);
    settle();
    return ms;
}

double WindowActions::saveNew() {
    QWidget* main = mainWindow();
    const int before = listedLines(main);
    press(main, QStringLiteral("cmdLoginsNew"));
    settle();
    QWidget* editor = window(QStringLiteral("Form2"));
    // Short names stay unique over every round of the run, as the editor requires.
    static int savedInRun = 0;
    const QString n = QString::number(++savedInRun);
    control<QLineEdit>(editor, QStringLiteral("txtShortName"))
        ->setText(QStringLiteral("Benchmark Savings Account ") + n);
    control<QLineEdit>(editor, QStringLiteral("txtUserName"))
        ->setText(QStringLiteral("bench.saver@mail.example"));
    control<QLineEdit>(editor, QStringLiteral("txtPassword"))
        ->setText(QStringLiteral("Xq7#pL2m!vR9sT4w"));
    control<QLineEdit>(editor, QStringLiteral("txtPassword2"))
        ->setText(QStringLiteral("Xq7#pL2m!vR9sT4w"));
    control<QPlainTextEdit>(editor, QStringLiteral("txtDescription"))
        ->setPlainText(QStringLiteral("The savings account opened for the benchmark, number ") + n);
    control<QPlainTextEdit>(editor, QStringLiteral("txtNotes"))
        ->setPlainText(QStringLiteral("Statements arrive monthly; the branch is on the corner of "
                                      "the market square. Call before noon on weekdays."));
    control<QComboBox>(editor, QStringLiteral("cmbCategory"))
        ->setEditText(QStringLiteral("Internet"));
    settle();
    world_.dialogs.clear();
    const double ms = timeUntilIdle([&] { press(editor, QStringLiteral("cmdSaveClose")); });
    check(world_.dialogs.texts() == QStringList{recordCreatedMessage()} && main->isVisible() &&
              !editor->isVisible() && listedLines(main) == before + 1,
          QStringLiteral("saving did not create the record and refill the main window: ") +
              world_.dialogs.texts().join(QStringLiteral(" | ")));
    world_.dialogs.clear();
    return ms;
}

double WindowActions::activation() {
    QWidget* main = mainWindow();
    press(main, QStringLiteral("cmdLoginsNew"));
    settle();
    QWidget* editor = window(QStringLiteral("Form2"));
    world_.dialogs.clear();
    const double ms = timeUntilIdle([&] { press(editor, QStringLiteral("cmdCancel")); });
    check(main->isVisible() && !editor->isVisible() && listedLines(main) >= plan_.recordsPerUser,
          QStringLiteral("cancelling the editor did not bring the main window back"));
    checkQuiet(QStringLiteral("activation"));
    return ms;
}

double WindowActions::changesFromElsewhere() {
    QWidget* main = mainWindow();
    settle();
    world_.dialogs.clear();
    auto* shown = qobject_cast<MainWindow*>(main);
    const double ms = timeUntilIdle([&] { shown->showChangesFromElsewhere(); });
    check(main->isVisible() && listedLines(main) >= plan_.recordsPerUser,
          QStringLiteral("the lists were not shown again after changes from elsewhere"));
    checkQuiet(QStringLiteral("changes from elsewhere"));
    return ms;
}

QList<double> WindowActions::searchKeys(const QString& text) {
    QWidget* main = mainWindow();
    auto* box = control<QLineEdit>(main, QStringLiteral("txtSearchRecords"));
    box->setFocus();
    settle();
    world_.dialogs.clear();
    const int before = listedLines(main);
    QList<double> times;
    for (const QChar letter : text) {
        times.append(timeUntilIdle([&] { QTest::keyClicks(box, QString(letter)); }));
    }
    const int found = listedLines(main);
    check(found > 0 && found < before, QStringLiteral("the search did not narrow the list"));
    checkQuiet(QStringLiteral("search"));
    box->clear();
    settle();
    return times;
}

double WindowActions::searchAtOnce(QChar letter, double& allFound) {
    QWidget* main = mainWindow();
    auto* box = control<QLineEdit>(main, QStringLiteral("txtSearchRecords"));
    auto* list = control<QListView>(main, QStringLiteral("lstPasswords"));
    list->setFocus();
    settle();
    world_.dialogs.clear();
    // The list is refilled by the key; a search that could not wait for every text it looks in
    // refills it again once they are read, in the pauses of the event loop.
    bool refilled = false;
    const QMetaObject::Connection watch = QObject::connect(
        list->model(), &QAbstractItemModel::modelReset, [&refilled] { refilled = true; });
    QElapsedTimer all;
    all.start();
    const double ms = timeUntilShown(
        [&] {
            QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
            QTest::keyClicks(box, QString(letter));
        },
        [&refilled] { return refilled; });
    settle();
    allFound = static_cast<double>(all.nsecsElapsed()) / 1e6;
    QObject::disconnect(watch);
    check(box->text() == QString(letter) && listedLines(main) > 0,
          QStringLiteral("Ctrl+F and a key did not search"));
    checkQuiet(QStringLiteral("search at once"));
    box->clear();
    settle();
    return ms;
}

double WindowActions::logOutAndIn() {
    world_.dialogs.clear();
    bool ok = false;
    const double ms = timeUntilIdle([&] {
        mainWindow()->findChild<QAction*>(QStringLiteral("mnuLogOut"))->trigger();
        settle();
        ok = world_.logIn(userName(measuredIndex(plan_)));
    });
    check(ok && mainWindow()->isVisible(), QStringLiteral("logging in again failed"));
    world_.dialogs.clear();
    return ms;
}

double WindowActions::logOutWithSync() {
    Program& program = world_.program();
    const QTemporaryDir folder;  // in the run's own temporary folder
    const QString syncFolder = folder.path();
    const auto passesDone = [&program] {
        const SyncPasses* passes = program.syncPasses();
        while (passes != nullptr && (passes->running() || passes->writeWaiting())) {
            QTest::qWait(20);
        }
    };
    program.state().Sync.folder = syncFolder;
    program.syncSettingsChanged();
    passesDone();
    saveNew();
    QWidget* login = nullptr;
    const double ms = timeUntilIdle([&] {
        mainWindow()->findChild<QAction*>(QStringLiteral("mnuLogOut"))->trigger();
        settle();
        login = window(QStringLiteral("frmLogin"));
    });
    check(!program.state().LoggedIn && login != nullptr && login->isVisible() &&
              !program.syncPasses()->writeWaiting(),
          QStringLiteral("logging out with a sync folder did not bring the login window"));
    passesDone();
    check(world_.logIn(userName(measuredIndex(plan_))), QStringLiteral("logging in again failed"));
    program.state().Sync.folder.clear();
    program.syncSettingsChanged();
    passesDone();
    world_.dialogs.clear();
    return ms;
}

double WindowActions::lockAndIn() {
    world_.dialogs.clear();
    QWidget* main = mainWindow();
    Program& program = world_.program();
    control<QTabWidget>(main, QStringLiteral("SSTab1"))->setCurrentIndex(1);
    entryBox(main)->moveCursor(QTextCursor::End);
    QTest::keyClicks(entryBox(main), QStringLiteral(" locked"));
    settle();
    world_.dialogs.clear();
    const double ms = timeUntilIdle([&] { emit program.sessionLock().idleTimer().idle(); });
    QWidget* login = window(QStringLiteral("frmLogin"));
    check(!program.state().LoggedIn && login != nullptr && login->isVisible() && !main->isVisible(),
          QStringLiteral("the lock did not bring the login window"));
    checkQuiet(QStringLiteral("lock"));
    check(world_.logIn(userName(measuredIndex(plan_))),
          QStringLiteral("logging in after the lock failed"));
    world_.dialogs.clear();
    return ms;
}

void WindowActions::showDay(const QDate& day) {
    QWidget* main = mainWindow();
    control<QTabWidget>(main, QStringLiteral("SSTab1"))->setCurrentIndex(1);
    control<QCalendarWidget>(main, QStringLiteral("Calendar1"))->setSelectedDate(day);
    settle();
    check(shownDay(main) == journalDateText(day), QStringLiteral("the calendar did not move"));
    world_.dialogs.clear();
}

void WindowActions::previousAndNext(double& previous, double& next) {
    const BenchDays days = benchDays();
    QWidget* main = mainWindow();
    showDay(days.afterGap);
    previous = timeUntilIdle([&] { press(main, QStringLiteral("Command2")); });
    check(shownDay(main) == journalDateText(days.beforeGap),
          QStringLiteral("Previous Entry did not cross the gap"));
    checkQuiet(QStringLiteral("previous entry"));
    next = timeUntilIdle([&] { press(main, QStringLiteral("Command4")); });
    check(shownDay(main) == journalDateText(days.afterGap),
          QStringLiteral("Next Entry did not cross the gap"));
    checkQuiet(QStringLiteral("next entry"));
}

double WindowActions::openBigDay() {
    const BenchDays days = benchDays();
    QWidget* main = mainWindow();
    showDay(days.dayBefore);
    const double ms = timeUntilIdle([&] { press(main, QStringLiteral("cmdNextDay")); });
    check(shownDay(main) == journalDateText(days.bigDay) &&
              (!plan_.bigEntry || entryBox(main)->document()->characterCount() > 1000000),
          QStringLiteral("Next Day did not open the big entry"));
    checkQuiet(QStringLiteral("opening a day"));
    return ms;
}

QList<double> WindowActions::keys(int count) {
    QWidget* main = mainWindow();
    QPlainTextEdit* box = entryBox(main);
    const QString before = box->toPlainText();
    box->setFocus();
    box->moveCursor(QTextCursor::End);
    settle();
    QList<double> times;
    for (int i = 0; i < count; ++i) {
        const char letter = static_cast<char>('a' + i % 26);
        times.append(timeUntilIdle([&] { QTest::keyClick(box, letter); }));
    }
    for (int i = 0; i < count; ++i) {
        times.append(timeUntilIdle([&] { QTest::keyClick(box, Qt::Key_Backspace); }));
    }
    check(box->toPlainText() == before, QStringLiteral("the typed keys did not arrive"));
    checkQuiet(QStringLiteral("typing"));
    return times;
}

void WindowActions::backToVault() {
    QWidget* main = mainWindow();
    press(main, QStringLiteral("cmdToday"));
    control<QTabWidget>(main, QStringLiteral("SSTab1"))->setCurrentIndex(0);
    filter(main)->setCurrentIndex(0);
    settle();
    checkQuiet(QStringLiteral("back to the vault"));
}

}  // namespace ks::bench
