#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>

#include "core/Services.h"
#include "vault/RecordStore.h"

class QAction;
class QComboBox;
class QKeyEvent;
class QTimer;
class QLayout;
class QLineEdit;
class QListView;
class QListWidget;
class QMenu;
class QPoint;
class QPushButton;
class QToolButton;

namespace ks {

class SecretClipboard;
class TextBox;
class CategoryWindow;
class RecordEditor;
class RecordListModel;

// The Password Vault tab: category filter, record list and details; owns the record editor
// `Form2` and the category window `Form5`.
class VaultPage : public QWidget {
    Q_OBJECT
public:
    explicit VaultPage(Services& services, QWidget* parent = nullptr);
    ~VaultPage() override;

    // The button panel `pctLogins` (a QVBoxLayout): cmdLoginsNew, cmdLoginsEdit, cmdLoginsDelete.
    // The main window appends its About and Quit buttons.
    QWidget* buttonPanel() const { return panel_.data(); }

    // The main window's normal activation: refills the category lists, which lists the records.
    void reloadLists() { FillCategoryLists(); }
    // A user has logged in: nothing of the previous user's search stays, and the new user's
    // searched texts are read ahead.
    void startAfresh();

    // Refills every category list (filter, editor, completion source, category window) and
    // selects the filter again, which lists the records.
    void FillCategoryLists();
    // Lists the user's records of `category` (narrowed by the search box) and empties the
    // details.
    void ListRecords(const QString& category);
    // Shows the user's record `counter` in the details.
    void ShowRecord(qint64 counter);
    // The three record actions behind the panel's buttons.
    void OpenNewRecord();
    void OpenEditRecord();
    void DeleteSelectedRecord();
    // Copy the selected record's user name or password without showing them. The password is
    // marked secret for clipboard managers and taken off the clipboard again after a while.
    void copyUserName();
    void copyPassword();
    // The session ends: a copied password leaves the clipboard, the details' password is masked.
    void forgetCopiedPassword();
    // Whether the record editor is open with typed values that are not saved.
    bool editorHasChanges() const;
    // The session ends: the editor closes, and no record value, list or search of the session
    // stays in the page or its stores.
    void forgetSession();

Q_SIGNALS:
    // A word for the main window's status bar, shown for `timeoutMs` (0: until replaced).
    void statusMessage(const QString& text, int timeoutMs);
    // The record editor opens: the main window hides.
    void hideMainWindowRequested();
    // Back from another window of the program: the main window shows and activates again.
    void returnToMainWindow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildButtonPanel();
    QLayout* buildRecordList();
    QLayout* buildDetails();
    void connectActions();
    void cmbCategories_Click();
    void lstPasswords_Click();
    void manageCategories();
    // The buttons beside the details' user name and password: copy, and show the password.
    void makeDetailButtons();
    // The copy clipboard, the keys and the record list's context menu.
    void buildCopyActions();
    void showRecordMenu(const QPoint& at);
    // The selected record read again for its owner; nullopt when there is none (said why).
    std::optional<RecordFields> selectedRecordFields();
    void maskPassword();
    // The Counter of the selected line of the record list, if a line is selected.
    std::optional<qint64> selectedCounter() const;
    void clearDetails();
    // The search box: Ctrl+F comes to it, Esc empties it, and every change lists again.
    void buildSearch();
    bool searchKey(QKeyEvent* key);
    // What a search looks in is read a step at a time between other events, so that the first
    // key need not wait for all of it: at every pause of the event loop once the search box has
    // the focus or a search waits for the rest (`soon`), else a small step now and then while
    // the window is idle.
    void startSearchAhead(bool soon);
    void readSearchAhead();
    // The lines of `category` narrowed by the search box, the search waiting only so long for
    // what it looks in; a search that listed what it had read by then is made again once the
    // rest is read (searchReadThrough), the selected record staying selected.
    Result<ListedRecords> searchedLines(const QString& category);
    void searchReadThrough();
    // A protected account's listed values not shown yet open a small step now and then while
    // the window is idle, once the search's texts are read, so that a filter or a scroll finds
    // them open.
    void startListingAhead();
    void openListedAhead();

    Services& services_;
    RecordStore records_;
    // The filter entry of the user's last choice, by its text; it survives refills.
    QString rememberedCategory_;
    bool filling_ = false;
    bool searchUnfinished_ = false;

    QPointer<QWidget> panel_;  // owned by the main window once it takes it in
    QPushButton* cmdLoginsNew_;
    QPushButton* cmdLoginsEdit_;
    QPushButton* cmdLoginsDelete_;
    QComboBox* cmbCategories_;
    QPushButton* cmdManage_;
    QLineEdit* txtSearch_;
    QTimer* searchAhead_;
    QTimer* listingAhead_;
    QListView* lstPasswords_;
    RecordListModel* lines_;
    QLineEdit* txtCounter_;
    QLineEdit* txtUserName_;
    QLineEdit* txtPassword_;
    QAction* txtPasswordReveal_;
    QToolButton* cmdRevealPassword_;
    QToolButton* cmdCopyUserName_;
    QToolButton* cmdCopyPassword_;
    QMenu* mnuRecords_ = nullptr;
    SecretClipboard* clipboard_ = nullptr;
    TextBox* txtDescription_;
    TextBox* txtNotes_;
    QListWidget* lstTempCategories_;
    std::unique_ptr<RecordEditor> editor_;
    CategoryWindow* categoryWindow_;
};

}  // namespace ks
