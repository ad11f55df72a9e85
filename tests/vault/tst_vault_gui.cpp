// The Password Vault tab, the record editor and the category window, driven end to end.
#include <QtTest>

#include <QAction>
#include <QTabWidget>

#include "VaultDriver.h"

using namespace ks;
using test::ScriptedDialogs;
using test::VaultDriver;

namespace {

const QString kCreated = QStringLiteral("Record was successfully created.");
const QString kInUse = QStringLiteral(
    "The 'Short Name' entered is already in use.  Please enter a different 'Short Name'.");
const QString kNoShortName = QStringLiteral("You must enter a short name for your new record");
const QString kNotIdentical = QStringLiteral("Passwords entered were not identical");
const QString kTooShort = QStringLiteral(
    "The 'Short Name' field was left blank, or is less than 3 characters.\r\rThis record has not "
    "been saved.");
const QString kSelectToEdit = QStringLiteral("You must select a record to edit.");
const QString kSelectToDelete = QStringLiteral("You must select a record to delete.");
const QString kExists = QStringLiteral("That category already exists.");
const QString kGlobal =
    QStringLiteral("WARNING: This is a global category.  You may not remove it.");
const QStringList kShared = {QStringLiteral("Banking"), QStringLiteral("Email"),
                             QStringLiteral("Internet"), QStringLiteral("Shopping"),
                             QStringLiteral("Work")};

QString deleteQuestion(const QString& line) {
    return QStringLiteral("Are you sure you want to delete record:  ") + line;
}
QString categoryQuestion(const QString& name) {
    return QStringLiteral("Are you sure you want to delete the category: ") + name +
           QStringLiteral("?");
}

}  // namespace

class VaultGuiTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::Session> session;
    std::unique_ptr<VaultDriver> vault;

    ScriptedDialogs& dialogs() { return session->dialogs; }
    ProgramState& state() { return session->program->state(); }
    QWidget* main() { return vault->main(); }
    QWidget* editor() { return vault->editor(); }
    QStringList listed() { return VaultDriver::lines(vault->records()); }
    QStringList filterEntries() { return VaultDriver::entries(vault->filter()); }
    QString shortNameBox() { return vault->inEditor<QLineEdit>("txtShortName")->text(); }

    // Opens Form5 and runs `work` inside it, then closes it with cmdClose.
    void manageCategories(const std::function<void(QWidget*)>& work) {
        auto ran = test::whenModal(QStringLiteral("Form5"), [&](QWidget* window) {
            work(window);
            test::press(window, QStringLiteral("cmdClose"));
        });
        test::press(main(), QStringLiteral("cmdLoginsManageCategories"));
        QVERIFY(*ran);
        QVERIFY(!vault->categoryWindow()->isVisible());
    }
    static QListWidget* categoryList(QWidget* window) {
        return test::control<QListWidget>(window, QStringLiteral("lstCategories"));
    }
    static void selectCategories(QWidget* window, const QStringList& names) {
        QListWidget* list = categoryList(window);
        list->clearSelection();
        for (const QString& name : names) {
            list->findItems(name, Qt::MatchExactly).first()->setSelected(true);
        }
    }

private Q_SLOTS:
    void init() {
        session = std::make_unique<test::Session>();
        session->logIn(QStringLiteral("anna"));
        vault = std::make_unique<VaultDriver>(*session);
    }
    void cleanup() {
        QVERIFY2(dialogs().unexpected.isEmpty(),
                 qPrintable(dialogs().unexpected.join(QLatin1Char('\n'))));
        QVERIFY(!dialogs().pendingAnswers());
        vault.reset();
        session.reset();
    }

    void tabListsAndDetailsPerUser() {
        QCOMPARE(filterEntries(),
                 QStringList({QStringLiteral("All Records"), QStringLiteral("Unfiled")}) + kShared);
        QCOMPARE(vault->filter()->currentIndex(), 0);
        QCOMPARE(VaultDriver::entries(vault->editorCategory()),
                 QStringList{QStringLiteral("Unfiled")} + kShared);
        auto* temp = vault->onTab<QListWidget>("lstTempCategories");
        QCOMPARE(VaultDriver::lines(temp), kShared);
        QVERIFY(!temp->isVisible());
        QVERIFY(!vault->onTab<QLineEdit>("txtCounter")->isVisible());
        QStringList labels;
        for (auto* label : vault->records()->parentWidget()->findChildren<QLabel*>()) {
            labels.append(label->text());
        }
        for (const char* caption :
             {"Records", "Details", "Category", "User Name", "Password", "Description", "Notes"}) {
            QVERIFY2(labels.contains(QString::fromLatin1(caption)), caption);
        }
        QVERIFY(listed().isEmpty());

        // A new record from the filter "All Records" is proposed as "Unfiled".
        test::press(main(), QStringLiteral("cmdLoginsNew"));
        QVERIFY(editor()->isVisible());
        QVERIFY(!main()->isVisible());
        QCOMPARE(editor()->windowTitle(), QStringLiteral("Keystead - Create New Record"));
        QCOMPARE(vault->editorCategory()->currentText(), QStringLiteral("Unfiled"));
        QVERIFY(vault->inEditor<QPushButton>("cmdSaveNew")->isVisible());
        QVERIFY(vault->inEditor<QLabel>("lblLineKey")->text().isEmpty());
        QVERIFY(!vault->inEditor<QLabel>("lblLineKey")->isVisible());
        QCOMPARE(editor()->focusWidget(), vault->editorCategory());
        // Fields of one and two characters are kept and shown like any other.
        vault->type(QStringLiteral("gmail"), QStringLiteral("Email"), QStringLiteral("a"),
                    QStringLiteral("pq"), QString(), QStringLiteral("n1\nn2"));
        test::press(editor(), QStringLiteral("cmdSaveClose"));
        QCOMPARE(dialogs().shown.size(), 1);
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Information);
        QCOMPARE(dialogs().shown[0].title, QStringLiteral("Keystead"));
        QCOMPARE(dialogs().shown[0].text, kCreated);
        QVERIFY(!editor()->isVisible());
        QVERIFY(main()->isVisible());
        QCOMPARE(listed(), QStringList{QStringLiteral("gmail")});
        QVERIFY(vault->create(QStringLiteral("ebay"), QStringLiteral("Shopping")));
        QCOMPARE(listed(), QStringList({QStringLiteral("gmail"), QStringLiteral("ebay")}));

        QVERIFY(vault->select(QStringLiteral("gmail")));
        QCOMPARE(vault->details(), QStringList({QStringLiteral("a"), QStringLiteral("pq"),
                                                QString(), QStringLiteral("n1\nn2")}));
        const QString counter = vault->onTab<QLineEdit>("txtCounter")->text();
        QVERIFY(counter.toLongLong() > 0);
        // A refresh empties the details but keeps the counter.
        vault->chooseFilter(QStringLiteral("Email"));
        QCOMPARE(listed(), QStringList{QStringLiteral("gmail")});
        QCOMPARE(vault->details(), QStringList({QString(), QString(), QString(), QString()}));
        QCOMPARE(vault->onTab<QLineEdit>("txtCounter")->text(), counter);
        vault->chooseFilter(QStringLiteral("Work"));
        QVERIFY(listed().isEmpty());

        // Another user sees none of these, and anna none of bert's.
        vault->switchUser(QStringLiteral("bert"));
        QVERIFY(listed().isEmpty());
        vault->chooseFilter(QStringLiteral("All Records"));
        QVERIFY(listed().isEmpty());
        QVERIFY(vault->create(QStringLiteral("bank"), QStringLiteral("Banking")));
        QCOMPARE(listed(), QStringList{QStringLiteral("bank")});
        vault->switchUser(QStringLiteral("anna"));
        vault->chooseFilter(QStringLiteral("All Records"));
        QCOMPARE(listed(), QStringList({QStringLiteral("gmail"), QStringLiteral("ebay")}));
        vault->chooseFilter(QStringLiteral("Banking"));
        QVERIFY(listed().isEmpty());
    }

    void shortNamesUniqueOnCreateAndEdit() {
        QVERIFY(vault->create(QStringLiteral("Gmail")));
        vault->switchUser(QStringLiteral("bert"));
        dialogs().clear();

        // Another user's name in another letter case: refused, the editor keeps what was typed.
        test::press(main(), QStringLiteral("cmdLoginsNew"));
        vault->type(QStringLiteral("GMAIL"), QStringLiteral("Email"), QStringLiteral("bert@x"),
                    QStringLiteral("pw"));
        test::press(editor(), QStringLiteral("cmdSaveClose"));
        QCOMPARE(dialogs().texts(), QStringList{kInUse});
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Exclamation);
        QVERIFY(editor()->isVisible());
        QCOMPARE(shortNameBox(), QStringLiteral("GMAIL"));
        QCOMPARE(vault->inEditor<QLineEdit>("txtUserName")->text(), QStringLiteral("bert@x"));
        QCOMPARE(vault->editorCategory()->currentText(), QStringLiteral("Email"));
        // Blank name and differing passwords are refused first; the editor stays open.
        dialogs().clear();
        vault->inEditor<QLineEdit>("txtShortName")->setText(QStringLiteral("   "));
        test::press(editor(), QStringLiteral("cmdSaveClose"));
        vault->inEditor<QLineEdit>("txtShortName")->setText(QStringLiteral("bank"));
        vault->inEditor<QLineEdit>("txtPassword2")->setText(QStringLiteral("PW"));
        test::press(editor(), QStringLiteral("cmdSaveNew"));
        QCOMPARE(dialogs().texts(), QStringList({kNoShortName, kNotIdentical}));
        QCOMPARE(dialogs().shown[1].icon, MessageIcon::Exclamation);
        QVERIFY(editor()->isVisible());
        vault->inEditor<QLineEdit>("txtPassword2")->setText(QStringLiteral("pw"));
        test::press(editor(), QStringLiteral("cmdSaveClose"));
        QCOMPARE(dialogs().texts().last(), kCreated);
        QCOMPARE(listed(), QStringList{QStringLiteral("bank")});

        // Editing to a name in use is refused the same way.
        dialogs().clear();
        QVERIFY(vault->select(QStringLiteral("bank")));
        test::press(main(), QStringLiteral("cmdLoginsEdit"));
        QCOMPARE(editor()->windowTitle(), QStringLiteral("Keystead - Edit Record"));
        QVERIFY(!vault->inEditor<QPushButton>("cmdSaveNew")->isVisible());
        QCOMPARE(shortNameBox(), QStringLiteral("bank"));
        QCOMPARE(vault->inEditor<QLineEdit>("txtUserName")->text(), QStringLiteral("bert@x"));
        QCOMPARE(vault->inEditor<QLineEdit>("txtPassword2")->text(), QStringLiteral("pw"));
        QCOMPARE(vault->editorCategory()->currentText(), QStringLiteral("Email"));
        QCOMPARE(vault->inEditor<QLabel>("lblLineKey")->text(),
                 vault->onTab<QLineEdit>("txtCounter")->text());
        vault->inEditor<QLineEdit>("txtShortName")->setText(QStringLiteral("gmail"));
        test::press(editor(), QStringLiteral("cmdSaveClose"));
        QCOMPARE(dialogs().texts(), QStringList{kInUse});
        QVERIFY(editor()->isVisible());
        QCOMPARE(shortNameBox(), QStringLiteral("gmail"));
        // A name of 3 characters or fewer: reported, not saved, the editor closes.
        vault->inEditor<QLineEdit>("txtShortName")->setText(QStringLiteral("bnk"));
        test::press(editor(), QStringLiteral("cmdSaveClose"));
        QCOMPARE(dialogs().texts().last(), kTooShort);
        QCOMPARE(dialogs().shown.last().icon, MessageIcon::Critical);
        QVERIFY(!editor()->isVisible());
        QCOMPARE(listed(), QStringList{QStringLiteral("bank")});
        // A good edit saves without a message; the record keeps its own name's other case.
        dialogs().clear();
        QVERIFY(vault->select(QStringLiteral("bank")));
        test::press(main(), QStringLiteral("cmdLoginsEdit"));
        vault->inEditor<QLineEdit>("txtShortName")->setText(QStringLiteral("BANK"));
        vault->inEditor<QPlainTextEdit>("txtNotes")->setPlainText(QStringLiteral("x"));
        test::press(editor(), QStringLiteral("cmdSaveClose"));
        QVERIFY(dialogs().texts().isEmpty());
        QVERIFY(main()->isVisible());
        QCOMPARE(listed(), QStringList{QStringLiteral("BANK")});
        QVERIFY(vault->select(QStringLiteral("BANK")));
        QCOMPARE(vault->details(), QStringList({QStringLiteral("bert@x"), QStringLiteral("pw"),
                                                QString(), QStringLiteral("x")}));
    }

    void categoriesByFiling() {
        QVERIFY(vault->create(QStringLiteral("empty"), QString()));
        QVERIFY(vault->create(QStringLiteral("blank"), QStringLiteral("  ")));
        QVERIFY(vault->create(QStringLiteral("lower"), QStringLiteral("unfiled")));
        QVERIFY(vault->create(QStringLiteral("steam"), QStringLiteral("Games")));
        vault->chooseFilter(QStringLiteral("Unfiled"));
        QCOMPARE(listed(), QStringList({QStringLiteral("empty"), QStringLiteral("blank"),
                                        QStringLiteral("lower")}));
        // "Games" is new: a category of anna's in every list, after the shared ones.
        const QStringList own = kShared + QStringList{QStringLiteral("Games")};
        QCOMPARE(filterEntries().mid(2), own);
        QCOMPARE(VaultDriver::entries(vault->editorCategory()).mid(1), own);
        QCOMPARE(VaultDriver::lines(vault->onTab<QListWidget>("lstTempCategories")), own);
        vault->chooseFilter(QStringLiteral("Games"));
        QCOMPARE(listed(), QStringList{QStringLiteral("steam")});
        // From a category's filter, a new record is proposed under that category.
        test::press(main(), QStringLiteral("cmdLoginsNew"));
        QCOMPARE(vault->editorCategory()->currentText(), QStringLiteral("Games"));
        test::press(editor(), QStringLiteral("cmdCancel"));
        vault->switchUser(QStringLiteral("bert"));
        QCOMPARE(filterEntries().mid(2), kShared);
        QCOMPARE(VaultDriver::entries(vault->editorCategory()).mid(1), kShared);
    }

    void completionHint() {
        QVERIFY(vault->create(QStringLiteral("lathe"), QStringLiteral("Workshop")));
        test::press(main(), QStringLiteral("cmdLoginsNew"));
        QComboBox* box = vault->editorCategory();
        auto* hint = vault->inEditor<QWidget>("pctHint");
        auto* caption = vault->inEditor<QLabel>("lblHint");
        QVERIFY(!hint->isVisible());
        box->clearEditText();
        // Several matches: the last in list order is offered; Enter takes it.
        QTest::keyClicks(box, QStringLiteral("wo"));
        QVERIFY(hint->isVisible());
        QCOMPARE(caption->text(), QStringLiteral("Workshop"));
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(box->currentText(), QStringLiteral("Workshop"));
        QVERIFY(!hint->isVisible());
        QCOMPARE(editor()->focusWidget(), vault->inEditor<QWidget>("txtShortName"));
        // Typed in full in another case: the hint steps to "Work", then hides; leaving the
        // box adopts the known spelling.
        box->clearEditText();
        QTest::keyClicks(box, QStringLiteral("wORK"));
        QVERIFY(!hint->isVisible());
        QCOMPARE(caption->text(), QStringLiteral("Work"));
        QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(box, &leave);
        QCOMPARE(box->currentText(), QStringLiteral("Work"));
        // A click on the hint takes it; no match leaves it; blank text hides it.
        box->clearEditText();
        QTest::keyClicks(box, QStringLiteral("sH"));
        QCOMPARE(caption->text(), QStringLiteral("Shopping"));
        QVERIFY(hint->isVisible());
        QTest::mouseClick(caption, Qt::LeftButton);
        QCOMPARE(box->currentText(), QStringLiteral("Shopping"));
        QVERIFY(!hint->isVisible());
        box->clearEditText();
        QTest::keyClicks(box, QStringLiteral("b"));
        QVERIFY(hint->isVisible());
        QTest::keyClick(box, Qt::Key_Backspace);
        QVERIFY(!hint->isVisible());
        QTest::keyClicks(box, QStringLiteral("zz"));
        QVERIFY(!hint->isVisible());
        QCOMPARE(caption->text(), QStringLiteral("Banking"));
        // Filed under the adopted spelling.
        box->setEditText(QStringLiteral("work"));
        QApplication::sendEvent(box, &leave);
        vault->inEditor<QLineEdit>("txtShortName")->setText(QStringLiteral("office"));
        test::press(editor(), QStringLiteral("cmdSaveClose"));
        vault->chooseFilter(QStringLiteral("Work"));
        QCOMPARE(listed(), QStringList{QStringLiteral("office")});
    }

    void saveNewKeepsTheCategory() {
        vault->chooseFilter(QStringLiteral("Work"));
        test::press(main(), QStringLiteral("cmdLoginsNew"));
        vault->type(QStringLiteral("first"), QStringLiteral("Work"), QStringLiteral("u1"),
                    QStringLiteral("p1"), QStringLiteral("d1"), QStringLiteral("n1"));
        test::press(editor(), QStringLiteral("cmdSaveNew"));
        QCOMPARE(dialogs().texts(), QStringList{kCreated});
        QVERIFY(editor()->isVisible());
        QVERIFY(!main()->isVisible());
        for (const char* name : {"txtShortName", "txtUserName", "txtPassword", "txtPassword2"}) {
            QVERIFY2(vault->inEditor<QLineEdit>(name)->text().isEmpty(), name);
        }
        QVERIFY(vault->inEditor<QPlainTextEdit>("txtDescription")->toPlainText().isEmpty());
        QVERIFY(vault->inEditor<QPlainTextEdit>("txtNotes")->toPlainText().isEmpty());
        QCOMPARE(vault->editorCategory()->currentText(), QStringLiteral("Work"));
        // A new category typed here refills the lists; the editor keeps it.
        vault->type(QStringLiteral("second"), QStringLiteral("Games"));
        test::press(editor(), QStringLiteral("cmdSaveNew"));
        QCOMPARE(dialogs().texts().last(), kCreated);
        QCOMPARE(vault->editorCategory()->currentText(), QStringLiteral("Games"));
        QVERIFY(VaultDriver::entries(vault->editorCategory()).contains(QStringLiteral("Games")));
        test::press(editor(), QStringLiteral("cmdCancel"));
        QVERIFY(main()->isVisible());
        QCOMPARE(vault->filter()->currentText(), QStringLiteral("Work"));
        QCOMPARE(listed(), QStringList{QStringLiteral("first")});
        vault->chooseFilter(QStringLiteral("Games"));
        QCOMPARE(listed(), QStringList{QStringLiteral("second")});
    }

    void cancelCloseBoxAndMissingSelection() {
        QVERIFY(vault->create(QStringLiteral("kept")));
        dialogs().clear();
        test::press(main(), QStringLiteral("cmdLoginsNew"));
        vault->type(QStringLiteral("dropped"), QString());
        test::press(editor(), QStringLiteral("cmdCancel"));
        QVERIFY(!editor()->isVisible());
        QVERIFY(main()->isVisible());
        // The close box is Cancel while the program runs; so is Escape.
        test::press(main(), QStringLiteral("cmdLoginsNew"));
        vault->type(QStringLiteral("dropped too"), QString());
        QVERIFY(!editor()->close());
        QVERIFY(!editor()->isVisible());
        QVERIFY(main()->isVisible());
        test::press(main(), QStringLiteral("cmdLoginsNew"));
        QTest::keyClick(vault->inEditor<QLineEdit>("txtShortName"), Qt::Key_Escape);
        QVERIFY(!editor()->isVisible());
        QCOMPARE(listed(), QStringList{QStringLiteral("kept")});
        QVERIFY(dialogs().texts().isEmpty());

        // Edit and delete want a selected line, from the buttons and the menu alike.
        test::press(main(), QStringLiteral("cmdLoginsEdit"));
        test::press(main(), QStringLiteral("cmdLoginsDelete"));
        auto* tabs = vault->onTab<QTabWidget>("SSTab1");
        tabs->setCurrentIndex(1);
        main()->findChild<QAction*>(QStringLiteral("mnuEditEntry"))->trigger();
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(dialogs().texts(), QStringList({kSelectToEdit, kSelectToDelete, kSelectToEdit}));
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Information);
        QVERIFY(!editor()->isVisible());
        // Double-click and Enter on a line open the editor for it.
        QVERIFY(vault->select(QStringLiteral("kept")));
        QListWidget* list = vault->records();
        const QRect line = list->visualItemRect(list->item(0));
        // A double click arrives as a click followed by the double-click event.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, line.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, line.center());
        QVERIFY(editor()->isVisible());
        QCOMPARE(shortNameBox(), QStringLiteral("kept"));
        test::press(editor(), QStringLiteral("cmdCancel"));
        QVERIFY(vault->select(QStringLiteral("kept")));
        QTest::keyClick(list, Qt::Key_Return);
        QVERIFY(editor()->isVisible());
        test::press(editor(), QStringLiteral("cmdCancel"));
        // The menu item opens the editor too.
        main()->findChild<QAction*>(QStringLiteral("mnuNewEntry"))->trigger();
        QVERIFY(editor()->isVisible());
        test::press(editor(), QStringLiteral("cmdCancel"));
    }

    void deletingRecords() {
        QVERIFY(vault->create(QStringLiteral("alpha")));
        QVERIFY(vault->create(QStringLiteral("beta")));
        QVERIFY(vault->create(QStringLiteral("gamma")));
        dialogs().clear();
        QVERIFY(!state().DataDeleted);
        QVERIFY(vault->select(QStringLiteral("alpha")));
        dialogs().answer(false);
        test::press(main(), QStringLiteral("cmdLoginsDelete"));
        QCOMPARE(dialogs().texts(), QStringList{deleteQuestion(QStringLiteral("alpha"))});
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Question);
        QCOMPARE(listed().size(), 3);
        QVERIFY(!state().DataDeleted);
        dialogs().answer(true);
        test::press(main(), QStringLiteral("cmdLoginsDelete"));
        QCOMPARE(listed(), QStringList({QStringLiteral("beta"), QStringLiteral("gamma")}));
        QVERIFY(state().DataDeleted);
        // The Delete key in the list, and the menu item.
        state().DataDeleted = false;
        QVERIFY(vault->select(QStringLiteral("gamma")));
        dialogs().answer(true);
        QTest::keyClick(vault->records(), Qt::Key_Delete);
        QCOMPARE(dialogs().texts().last(), deleteQuestion(QStringLiteral("gamma")));
        QCOMPARE(listed(), QStringList{QStringLiteral("beta")});
        QVERIFY(state().DataDeleted);
        QVERIFY(vault->select(QStringLiteral("beta")));
        dialogs().answer(true);
        main()->findChild<QAction*>(QStringLiteral("mnuDeleteEntry"))->trigger();
        QVERIFY(listed().isEmpty());
        vault->chooseFilter(QStringLiteral("All Records"));
        QVERIFY(listed().isEmpty());
    }

    void manageCategoriesWindow() {
        QVERIFY(vault->create(QStringLiteral("fishing"), QStringLiteral("Hobby")));
        vault->switchUser(QStringLiteral("bert"));
        QVERIFY(vault->create(QStringLiteral("knitting"), QStringLiteral("Hobby")));
        vault->switchUser(QStringLiteral("anna"));
        dialogs().clear();
        QVERIFY(!state().DataDeleted);

        manageCategories([&](QWidget* window) {
            QCOMPARE(window->windowTitle(), QStringLiteral("Keystead - Manage Categories"));
            QVERIFY(window->isModal());
            QCOMPARE(VaultDriver::lines(categoryList(window)),
                     kShared + QStringList{QStringLiteral("Hobby")});
            const QStringList captions = {
                QStringLiteral("Add"),        QStringLiteral("Delete"),
                QStringLiteral("Select All"), QStringLiteral("Select None"),
                QStringLiteral("Rename"),     QStringLiteral("Close")};
            const char* names[] = {"cmdAdd",  "cmdDelete", "cmdSelectAll",
                                   "cmdNone", "cmdRename", "cmdClose"};
            for (int i = 0; i < 6; ++i) {
                QCOMPARE(test::control<QPushButton>(window, QString::fromLatin1(names[i]))->text(),
                         captions[i]);
            }
            // Add: known names in any case are refused; blank and cancelled answers are ignored.
            dialogs().input(QStringLiteral("wORK")).input(QStringLiteral("  ")).input(std::nullopt);
            dialogs().input(QStringLiteral("Games")).input(QStringLiteral("Travel"));
            for (int i = 0; i < 5; ++i) {
                test::press(window, QStringLiteral("cmdAdd"));
            }
            QCOMPARE(dialogs().shown[0].title, QStringLiteral("Create New Category"));
            QCOMPARE(dialogs().shown[0].text,
                     QStringLiteral("Please enter the new category name."));
            QCOMPARE(dialogs().shown[1].text, kExists);
            QCOMPARE(dialogs().shown[1].icon, MessageIcon::Exclamation);
            QCOMPARE(dialogs().shown.size(), 6);  // five inputs and one refusal
            QCOMPARE(VaultDriver::lines(categoryList(window)),
                     kShared + QStringList({QStringLiteral("Hobby"), QStringLiteral("Games"),
                                            QStringLiteral("Travel")}));
            // Select All, Select None; Rename does nothing.
            test::press(window, QStringLiteral("cmdSelectAll"));
            QCOMPARE(categoryList(window)->selectedItems().size(), 8);
            test::press(window, QStringLiteral("cmdNone"));
            QVERIFY(categoryList(window)->selectedItems().isEmpty());
            test::press(window, QStringLiteral("cmdRename"));
            QCOMPARE(categoryList(window)->count(), 8);
            // Several at once, a question each: Yes to a shared one, No, then Yes.
            dialogs().clear();
            selectCategories(window, {QStringLiteral("Email"), QStringLiteral("Hobby"),
                                      QStringLiteral("Games"), QStringLiteral("Travel")});
            dialogs().answer(true).answer(true).answer(false).answer(true);
            test::press(window, QStringLiteral("cmdDelete"));
            QCOMPARE(dialogs().texts(),
                     QStringList({categoryQuestion(QStringLiteral("Email")), kGlobal,
                                  categoryQuestion(QStringLiteral("Hobby")),
                                  categoryQuestion(QStringLiteral("Games")),
                                  categoryQuestion(QStringLiteral("Travel"))}));
            QCOMPARE(dialogs().shown[1].icon, MessageIcon::Information);
            QCOMPARE(VaultDriver::lines(categoryList(window)),
                     kShared + QStringList{QStringLiteral("Games")});
        });
        QVERIFY(state().DataDeleted);
        QCOMPARE(filterEntries().mid(2), kShared + QStringList{QStringLiteral("Games")});
        // anna's record of the deleted category is now unfiled; bert's keeps its own.
        vault->chooseFilter(QStringLiteral("Unfiled"));
        QCOMPARE(listed(), QStringList{QStringLiteral("fishing")});

        // A shared category alone: the warning, nothing deleted, DataDeleted untouched.
        state().DataDeleted = false;
        dialogs().clear();
        manageCategories([&](QWidget* window) {
            selectCategories(window, {QStringLiteral("Work")});
            dialogs().answer(true);
            test::press(window, QStringLiteral("cmdDelete"));
            QCOMPARE(dialogs().texts(),
                     QStringList({categoryQuestion(QStringLiteral("Work")), kGlobal}));
            QCOMPARE(categoryList(window)->count(), 6);
        });
        QVERIFY(!state().DataDeleted);
        // The close box hides the window as Close does.
        auto ran = test::whenModal(QStringLiteral("Form5"), [](QWidget* window) {
            QVERIFY(!window->close());
            QVERIFY(!window->isVisible());
        });
        test::press(main(), QStringLiteral("cmdLoginsManageCategories"));
        QVERIFY(*ran);

        vault->switchUser(QStringLiteral("bert"));
        QCOMPARE(filterEntries().mid(2), kShared + QStringList{QStringLiteral("Hobby")});
        vault->chooseFilter(QStringLiteral("Hobby"));
        QCOMPARE(listed(), QStringList{QStringLiteral("knitting")});
    }

    void filterKeptOrFallingBack() {
        QVERIFY(vault->create(QStringLiteral("steam"), QStringLiteral("Games")));
        QVERIFY(vault->create(QStringLiteral("fishing"), QStringLiteral("Hobby")));
        vault->chooseFilter(QStringLiteral("Hobby"));
        QCOMPARE(vault->filter()->currentIndex(), 8);
        // Coming back from the editor refills every list; the filter stays.
        test::press(main(), QStringLiteral("cmdLoginsNew"));
        test::press(editor(), QStringLiteral("cmdCancel"));
        QCOMPARE(vault->filter()->currentText(), QStringLiteral("Hobby"));
        QCOMPARE(listed(), QStringList{QStringLiteral("fishing")});
        // Its position gone, the filter falls back to "All Records".
        dialogs().clear();
        manageCategories([&](QWidget* window) {
            selectCategories(window, {QStringLiteral("Hobby")});
            dialogs().answer(true);
            test::press(window, QStringLiteral("cmdDelete"));
        });
        QCOMPARE(vault->filter()->currentIndex(), 0);
        QCOMPARE(listed(), QStringList({QStringLiteral("steam"), QStringLiteral("fishing")}));
        // A position that still exists is kept across a refill.
        vault->chooseFilter(QStringLiteral("Games"));
        manageCategories([](QWidget*) {});
        QCOMPARE(vault->filter()->currentText(), QStringLiteral("Games"));
        QCOMPARE(listed(), QStringList{QStringLiteral("steam")});
    }
};

QTEST_MAIN(VaultGuiTest)
#include "tst_vault_gui.moc"
