#pragma once

#include <QWidget>

#include "core/Services.h"
#include "vault/RecordStore.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

namespace ks {

class CategoryHintPanel;
class TextBox;

// The record editor `Form2`, a window of its own that is not modal: creates a record when
// `lblLineKey` is empty, else updates the record whose Counter it holds. The category box
// offers completions from the main window's hidden `lstTempCategories`.
class RecordEditor : public QWidget {
    Q_OBJECT
public:
    RecordEditor(Services& services, RecordStore& records, const QListWidget& completionSource);

    // The editor's part of filling the category lists: the unfiled entry, then `categories`; the
    // first entry is selected.
    void setCategories(const QStringList& categories);

    // Empties the boxes for a new record filed under `category`.
    void prepareNew(const QString& category);
    // Fills the boxes from a stored record, to be updated.
    void prepareEdit(const StoredRecord& record);
    // Shows the editor and brings it to the front.
    void open();
    // Whether the editor is open with values other than those it was opened with.
    bool hasChanges() const;
    // The session ends: the editor (and a password generator over it) closes without a word and
    // its boxes are emptied; the main window is not called back.
    void closeForSessionEnd();

Q_SIGNALS:
    // The editor has closed: the main window comes back.
    void closed();
    // A record was filed under a new category: every category list is to be refilled.
    void categoriesChanged();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildBoxes(const QListWidget& completionSource);
    void buildButtons();
    // Opens the password generator; its "Use" fills both password boxes.
    void openGenerator();
    // Opens the history of the record being edited; a restore fills the boxes with what the
    // record now holds.
    void openHistory();
    void showRestored(const RecordFields& fields, bool categoryAdded);
    void layOut();
    void save(bool startAnother);
    // Creates or updates; true when the record was saved.
    bool createRecord();
    void updateRecord(qint64 counter);
    // Tells the user why a save was refused or failed.
    void reportNotSaved(const SaveResult& result);
    void emptyBoxes();
    void hideEditor();
    RecordFields typedFields() const;
    // A digest of the typed values (the values themselves are not kept twice).
    QByteArray typedDigest() const;
    void rememberOpenedValues() { openedDigest_ = typedDigest(); }
    // While the editor is open, the short names its save checks are read a step at a time
    // between other events, so that the first save of a session need not wait for all of them.
    void readShortNamesAhead();

    Services& services_;
    RecordStore& records_;

    QLineEdit* txtShortName_;
    QLineEdit* txtUserName_;
    QLineEdit* txtPassword_;
    QLineEdit* txtPassword2_;
    TextBox* txtDescription_;
    TextBox* txtNotes_;
    QComboBox* cmbCategory_;
    CategoryHintPanel* pctHint_;
    QLabel* lblLineKey_;
    QPushButton* cmdSaveClose_;
    QPushButton* cmdSaveNew_;
    QPushButton* cmdCancel_;
    QPushButton* cmdGeneratePassword_;
    QPushButton* cmdHistory_;
    QTimer* shortNamesAhead_;
    QByteArray openedDigest_;
};

}  // namespace ks
