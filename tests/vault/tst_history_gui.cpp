// The history windows end to end: a record's versions from its editor, the shown day's kept
// journal texts, and the Options tab's deleted records and history settings.
#include <QtTest>

#include "GuiDriver.h"
#include "Session.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

const QString kCreated = u"Record was successfully created."_s;

}  // namespace

class HistoryGuiTest : public test::SessionTest {
    Q_OBJECT

    QWidget* editor() { return test::window(u"Form2"_s); }
    QLineEdit* box(QWidget* root, const QString& name) {
        return test::control<QLineEdit>(root, name);
    }
    QTreeWidget* historyList(const QString& window) {
        return test::control<QTreeWidget>(test::window(window), u"lstHistory"_s);
    }
    qint64 count(const QString& sql) {
        DatabaseAccess database(session->env.databasePath(), PassPhrase());
        return test::countOf(database.open().value(), sql);
    }
    void showTabOf(const QString& control) {
        auto* tabs = main()->findChild<QTabWidget*>();
        for (int tab = 0; tab < tabs->count(); ++tab) {
            if (tabs->widget(tab)->findChild<QWidget*>(control) != nullptr) {
                tabs->setCurrentIndex(tab);
            }
        }
    }
    // Opens the editor on the record of that short name.
    void edit(const QString& shortName) {
        QVERIFY(test::selectText(test::control<QAbstractItemView>(main(), u"lstPasswords"_s),
                                 shortName));
        QVERIFY(test::press(main(), u"cmdLoginsEdit"_s));
        QVERIFY(editor()->isVisible());
    }
    // Saves the editor with this password; the messages shown.
    QStringList savePassword(const QString& password) {
        box(editor(), u"txtPassword"_s)->setText(password);
        box(editor(), u"txtPassword2"_s)->setText(password);
        return pressed(editor(), u"cmdSaveClose"_s);
    }

private Q_SLOTS:
    void init() { startSession(); }
    void cleanup() { endSession(); }

    void aRecordsVersionIsRestoredFromItsEditor() {
        QVERIFY(test::press(main(), u"cmdLoginsNew"_s));
        QVERIFY(!test::control<QWidget>(editor(), u"cmdHistory"_s)->isVisibleTo(editor()));
        box(editor(), u"txtShortName"_s)->setText(u"alpha record"_s);
        QCOMPARE(savePassword(u"first"_s), QStringList{kCreated});
        edit(u"alpha record"_s);
        QCOMPARE(savePassword(u"second"_s), QStringList());
        edit(u"alpha record"_s);
        box(editor(), u"txtUserName"_s)->setText(u"typed, not saved"_s);
        QVERIFY(test::press(editor(), u"cmdHistory"_s));
        QTreeWidget* list = historyList(u"frmRecordHistory"_s);
        QCOMPARE(test::itemTexts(list).size(), 1);
        QCOMPARE(list->topLevelItem(0)->text(1), u"Password"_s);
        auto* values =
            test::control<QPlainTextEdit>(test::window(u"frmRecordHistory"_s), u"txtVersion"_s);
        QVERIFY(!values->toPlainText().contains(u"first"_s));
        test::control<QCheckBox>(test::window(u"frmRecordHistory"_s), u"chkShowPassword"_s)
            ->setChecked(true);
        QVERIFY(values->toPlainText().contains(u"Password: first"_s));
        dialogs().answer(true);
        const QStringList asked = pressed(test::window(u"frmRecordHistory"_s), u"cmdRestore"_s);
        QCOMPARE(asked.size(), 1);
        QVERIFY(asked[0].startsWith(u"Restore the version replaced on "_s));
        QVERIFY(asked[0].endsWith(u"What you typed in the editor and did not save is lost."_s));
        // The editor shows what the record holds now; the values replaced are a version.
        QVERIFY(test::window(u"frmRecordHistory"_s) == nullptr ||
                !test::window(u"frmRecordHistory"_s)->isVisible());
        QCOMPARE(box(editor(), u"txtPassword"_s)->text(), u"first"_s);
        QCOMPARE(box(editor(), u"txtUserName"_s)->text(), QString());
        QCOMPARE(count(u"SELECT count(*) FROM LoginsHistory"_s), 2);
        QCOMPARE(pressed(editor(), u"cmdSaveClose"_s), QStringList());
        QCOMPARE(count(u"SELECT count(*) FROM LoginsHistory"_s), 2);  // nothing changed
    }

    // Deleting a category keeps each record's filing as a version, as many as Options keep,
    // and restoring it from the editor files the record there again.
    void aDeletedCategorysMoveIsUndoneFromTheEditor() {
        QVERIFY(test::press(main(), u"cmdLoginsNew"_s));
        auto* category = test::control<QComboBox>(editor(), u"cmbCategory"_s);
        box(editor(), u"txtShortName"_s)->setText(u"delta record"_s);
        category->setEditText(u"Hobby"_s);
        QCOMPARE(savePassword(u"pw"_s), QStringList{kCreated});
        const auto deleteHobby = [this] {
            const auto ran = test::whenModal(u"Form5"_s, [&](QWidget* window) {
                auto* list = test::control<QListWidget>(window, u"lstCategories"_s);
                list->findItems(u"Hobby"_s, Qt::MatchExactly).first()->setSelected(true);
                dialogs().answer(true);
                QCOMPARE(pressed(window, u"cmdDelete"_s).size(), 1);
                QVERIFY(test::press(window, u"cmdClose"_s));
            });
            QVERIFY(test::press(main(), u"cmdLoginsManageCategories"_s));
            QVERIFY(*ran);
        };
        state().History.versionsKept = 0;
        deleteHobby();
        QCOMPARE(count(u"SELECT count(*) FROM LoginsHistory"_s), 0);
        state().History.versionsKept = 5;
        edit(u"delta record"_s);
        category->setEditText(u"Hobby"_s);
        QCOMPARE(pressed(editor(), u"cmdSaveClose"_s), QStringList());
        deleteHobby();
        QCOMPARE(count(u"SELECT count(*) FROM LoginsHistory"_s), 2);
        edit(u"delta record"_s);
        QCOMPARE(category->currentText(), u"Unfiled"_s);
        QVERIFY(test::press(editor(), u"cmdHistory"_s));
        QCOMPARE(historyList(u"frmRecordHistory"_s)->topLevelItem(0)->text(1), u"Category"_s);
        dialogs().answer(true);
        QCOMPARE(pressed(test::window(u"frmRecordHistory"_s), u"cmdRestore"_s).size(), 1);
        QCOMPARE(category->currentText(), u"Hobby"_s);
        QCOMPARE(pressed(editor(), u"cmdSaveClose"_s), QStringList());
    }

    void aJournalTextIsRestoredAsASave() {
        showTabOf(u"txtJournal"_s);
        auto* journal = test::control<QPlainTextEdit>(main(), u"txtJournal"_s);
        journal->setPlainText(u"first text of the day"_s);
        QCOMPARE(pressed(main(), u"cmdJournalSave"_s), QStringList{kCreated});
        journal->setPlainText(u"second text"_s);
        dialogs().answer(true);
        QCOMPARE(pressed(main(), u"cmdJournalSave"_s).size(), 1);
        QVERIFY(test::press(main(), u"cmdJournalHistory"_s));
        QCOMPARE(test::itemTexts(historyList(u"frmJournalHistory"_s)).size(), 1);
        QCOMPARE(
            test::control<QPlainTextEdit>(test::window(u"frmJournalHistory"_s), u"txtHistoryText"_s)
                ->toPlainText(),
            u"first text of the day"_s);
        // Typed and not saved: offered for saving first, then kept by the restore.
        journal->setPlainText(u"third, typed"_s);
        dialogs().answer(true).answer(true);
        QCOMPARE(pressed(test::window(u"frmJournalHistory"_s), u"cmdRestore"_s).size(), 2);
        QCOMPARE(journal->toPlainText(), u"first text of the day"_s);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // the closed window
        QVERIFY(test::window(u"frmJournalHistory"_s) == nullptr);
        QVERIFY(test::press(main(), u"cmdJournalHistory"_s));
        // The saves a moment apart keep the text their run began with.
        QCOMPARE(
            test::control<QPlainTextEdit>(test::window(u"frmJournalHistory"_s), u"txtHistoryText"_s)
                ->toPlainText(),
            u"third, typed"_s);
        QCOMPARE(test::itemTexts(historyList(u"frmJournalHistory"_s)).size(), 2);
        QVERIFY(test::press(test::window(u"frmJournalHistory"_s), u"cmdClose"_s));
    }

    void deletedRecordsAndSettingsInOptions() {
        QVERIFY(test::press(main(), u"cmdLoginsNew"_s));
        box(editor(), u"txtShortName"_s)->setText(u"gamma record"_s);
        QCOMPARE(savePassword(u"one"_s), QStringList{kCreated});
        edit(u"gamma record"_s);
        QCOMPARE(savePassword(u"two"_s), QStringList());
        QVERIFY(test::selectText(test::control<QAbstractItemView>(main(), u"lstPasswords"_s),
                                 u"gamma record"_s));
        dialogs().answer(true);
        QCOMPARE(pressed(main(), u"cmdLoginsDelete"_s).size(), 1);
        showTabOf(u"fraHistory"_s);
        auto* deleted = test::control<QTreeWidget>(main(), u"lstDeletedRecords"_s);
        QCOMPARE(test::itemTexts(deleted).size(), 1);
        QCOMPARE(deleted->topLevelItem(0)->text(1), u"gamma record"_s);
        QCOMPARE(pressed(main(), u"cmdRestoreDeleted"_s),
                 QStringList{u"You must select a deleted record to restore."_s});
        deleted->setCurrentItem(deleted->topLevelItem(0));
        QCOMPARE(pressed(main(), u"cmdRestoreDeleted"_s), QStringList());
        QCOMPARE(deleted->topLevelItemCount(), 0);
        QVERIFY(test::itemTexts(test::control<QWidget>(main(), u"lstPasswords"_s))
                    .contains(u"gamma record"_s));
        // Fewer versions kept: asked, saved in the settings file, and applied at once.
        test::control<QSpinBox>(main(), u"spnHistoryVersions"_s)->setValue(0);
        dialogs().answer(true);
        QCOMPARE(pressed(main(), u"cmdHistorySave"_s).size(), 1);
        QCOMPARE(state().History.versionsKept, 0);
        const QByteArray settings = test::readBytes(session->env.dataFolder() + u"Data.dat"_s);
        QCOMPARE(settings.split('\n').value(4).trimmed(), QByteArray("0"));
        QCOMPARE(count(u"SELECT count(*) FROM LoginsHistory"_s), 0);
        edit(u"gamma record"_s);
        QCOMPARE(savePassword(u"three"_s), QStringList());
        QCOMPARE(count(u"SELECT count(*) FROM LoginsHistory"_s), 0);
        QVERIFY(test::selectText(test::control<QAbstractItemView>(main(), u"lstPasswords"_s),
                                 u"gamma record"_s));
        dialogs().answer(true);
        QCOMPARE(pressed(main(), u"cmdLoginsDelete"_s).size(), 1);
        QCOMPARE(count(u"SELECT count(*) FROM LoginsHistory"_s), 1);  // still restorable
        dialogs().answer(true);
        QCOMPARE(pressed(main(), u"cmdClearHistory"_s).size(), 1);
        QCOMPARE(count(u"SELECT count(*) FROM LoginsHistory"_s), 0);
    }
};

QTEST_MAIN(HistoryGuiTest)
#include "tst_history_gui.moc"
