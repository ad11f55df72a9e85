#include "vault/RecordEditor.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/CommonTexts.h"
#include "vault/CategoryHintPanel.h"
#include "vault/VaultFailure.h"
#include "vault/VaultLabels.h"
#include "vault/VaultNames.h"
#include "widgets/Icons.h"

namespace ks {

namespace {

QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption, QWidget* buddy) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setBuddy(buddy);
    return label;
}

// Creating and editing refuse a name in use alike.
void reportShortNameInUse(Services& services) {
    services.dialogs.message(MessageIcon::Exclamation, services.state.AppTitle,
                             QStringLiteral("The 'Short Name' entered is already in use.  Please "
                                            "enter a different 'Short Name'."));
}

QString notSaved() {
    return QStringLiteral("The record could not be saved.");
}

}  // namespace

RecordEditor::RecordEditor(Services& services, RecordStore& records,
                           const QListWidget& completionSource)
    : services_(services), records_(records) {
    setObjectName(QStringLiteral("Form2"));
    setWindowIcon(appIcon());

    txtShortName_ = new QLineEdit(this);
    txtShortName_->setObjectName(QStringLiteral("txtShortName"));
    txtUserName_ = new QLineEdit(this);
    txtUserName_->setObjectName(QStringLiteral("txtUserName"));
    txtPassword_ = new QLineEdit(this);
    txtPassword_->setObjectName(QStringLiteral("txtPassword"));
    txtPassword_->setEchoMode(QLineEdit::Password);
    txtPassword2_ = new QLineEdit(this);
    txtPassword2_->setObjectName(QStringLiteral("txtPassword2"));
    txtPassword2_->setEchoMode(QLineEdit::Password);
    txtDescription_ = new QPlainTextEdit(this);
    txtDescription_->setObjectName(QStringLiteral("txtDescription"));
    txtDescription_->setTabChangesFocus(true);
    txtNotes_ = new QPlainTextEdit(this);
    txtNotes_->setObjectName(QStringLiteral("txtNotes"));
    txtNotes_->setTabChangesFocus(true);

    cmbCategory_ = new QComboBox(this);
    cmbCategory_->setObjectName(QStringLiteral("cmbCategory"));
    cmbCategory_->setEditable(true);

    lblLineKey_ = new QLabel(this);
    lblLineKey_->setObjectName(QStringLiteral("lblLineKey"));
    lblLineKey_->hide();

    auto* grid = new QGridLayout;
    grid->addWidget(makeLabel(this, "Label7", categoryCaption(), cmbCategory_), 0, 0);
    grid->addWidget(cmbCategory_, 0, 1);
    grid->addWidget(makeLabel(this, "Label1", QStringLiteral("Short Name"), txtShortName_), 1, 0);
    grid->addWidget(txtShortName_, 1, 1);
    grid->addWidget(makeLabel(this, "Label2", userNameCaption(), txtUserName_), 2, 0);
    grid->addWidget(txtUserName_, 2, 1);
    grid->addWidget(makeLabel(this, "Label3", passwordCaption(), txtPassword_), 3, 0);
    grid->addWidget(txtPassword_, 3, 1);
    grid->addWidget(makeLabel(this, "Label4", QStringLiteral("Password (repeat)"), txtPassword2_),
                    4, 0);
    grid->addWidget(txtPassword2_, 4, 1);
    grid->addWidget(makeLabel(this, "Label5", descriptionCaption(), txtDescription_), 5, 0,
                    Qt::AlignTop);
    grid->addWidget(txtDescription_, 5, 1);
    grid->addWidget(makeLabel(this, "Label6", notesCaption(), txtNotes_), 6, 0, Qt::AlignTop);
    grid->addWidget(txtNotes_, 6, 1);
    grid->setRowStretch(6, 1);

    cmdSaveClose_ = makePictureButton(
        this, QStringLiteral("cmdSaveClose"),
        themedIcon(QStringLiteral("document-save"), QStringLiteral("save")), tr("Save and close"));
    cmdSaveNew_ = makePictureButton(this, QStringLiteral("cmdSaveNew"),
                                    themedIcon(QString(), QStringLiteral("savenew")),
                                    tr("Save and start another record"));
    cmdCancel_ =
        makePictureButton(this, QStringLiteral("cmdCancel"),
                          themedIcon(QStringLiteral("dialog-cancel"), QStringLiteral("cancel")),
                          tr("Close without saving (Esc)"));
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdSaveClose_);
    buttons->addWidget(cmdSaveNew_);
    buttons->addWidget(cmdCancel_);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(buttons);

    pctHint_ = new CategoryHintPanel(this, cmbCategory_, completionSource);
    connect(pctHint_, &CategoryHintPanel::takenByEnter, txtShortName_,
            [this] { txtShortName_->setFocus(); });

    setTabOrder(cmbCategory_, txtShortName_);
    setTabOrder(txtShortName_, txtUserName_);
    setTabOrder(txtUserName_, txtPassword_);
    setTabOrder(txtPassword_, txtPassword2_);
    setTabOrder(txtPassword2_, txtDescription_);
    setTabOrder(txtDescription_, txtNotes_);
    setTabOrder(txtNotes_, cmdSaveClose_);
    setTabOrder(cmdSaveClose_, cmdSaveNew_);
    setTabOrder(cmdSaveNew_, cmdCancel_);

    // The editor wears the main window's backdrop.
    setAutoFillBackground(true);
    resize(560, 480);

    connect(cmdSaveClose_, &QPushButton::clicked, this, [this] { save(false); });
    connect(cmdSaveNew_, &QPushButton::clicked, this, [this] { save(true); });
    connect(cmdCancel_, &QPushButton::clicked, this, &RecordEditor::hideEditor);
}

void RecordEditor::setCategories(const QStringList& categories) {
    cmbCategory_->clear();
    cmbCategory_->addItem(unfiledCategory());
    cmbCategory_->addItems(categories);
    cmbCategory_->setCurrentIndex(0);
}

void RecordEditor::prepareNew(const QString& category) {
    setWindowTitle(services_.state.AppTitle + QStringLiteral(" - Create New Record"));
    emptyBoxes();
    cmbCategory_->setEditText(category);
    cmdSaveNew_->show();
    lblLineKey_->clear();
    pctHint_->dismiss();
}

void RecordEditor::prepareEdit(const StoredRecord& record) {
    setWindowTitle(services_.state.AppTitle + QStringLiteral(" - Edit Record"));
    lblLineKey_->setText(QString::number(record.counter));
    txtShortName_->setText(record.fields.shortName);
    txtUserName_->setText(record.fields.userName);
    txtPassword_->setText(record.fields.password);
    txtPassword2_->setText(record.fields.password);
    txtDescription_->setPlainText(record.fields.description);
    txtNotes_->setPlainText(record.fields.notes);
    cmbCategory_->setEditText(record.fields.category);
    cmdSaveNew_->hide();
    pctHint_->dismiss();
}

void RecordEditor::open() {
    if (!isVisible()) {
        // Where the main window was, which hides while the editor is open.
        const QWidget* main = QApplication::activeWindow();
        const QRect area = main != nullptr ? main->geometry()
                           : QGuiApplication::primaryScreen() != nullptr
                               ? QGuiApplication::primaryScreen()->availableGeometry()
                               : QRect();
        if (area.isValid()) {
            move(area.center() - rect().center());
        }
    }
    show();
    raise();
    activateWindow();
    cmbCategory_->setFocus();
    // Typing replaces the preselected category rather than adding to it.
    cmbCategory_->lineEdit()->selectAll();
}

void RecordEditor::emptyBoxes() {
    txtShortName_->clear();
    txtUserName_->clear();
    txtPassword_->clear();
    txtPassword2_->clear();
    txtNotes_->clear();
    txtDescription_->clear();
}

void RecordEditor::hideEditor() {
    pctHint_->dismiss();
    hide();
    emit closed();
}

RecordFields RecordEditor::typedFields() const {
    RecordFields fields;
    fields.shortName = txtShortName_->text();
    fields.userName = txtUserName_->text();
    fields.password = txtPassword_->text();
    fields.description = txtDescription_->toPlainText();
    fields.notes = txtNotes_->toPlainText();
    fields.category = cmbCategory_->currentText();
    return fields;
}

void RecordEditor::save(bool startAnother) {
    const QString category = cmbCategory_->currentText();
    if (txtShortName_->text().trimmed().isEmpty()) {
        services_.dialogs.message(
            MessageIcon::Exclamation, services_.state.AppTitle,
            QStringLiteral("You must enter a short name for your new record"));
    } else if (txtPassword_->text() != txtPassword2_->text()) {
        services_.dialogs.message(MessageIcon::Exclamation, services_.state.AppTitle,
                                  QStringLiteral("Passwords entered were not identical"));
    } else if (lblLineKey_->text().isEmpty()) {
        if (createRecord()) {
            if (startAnother) {
                emptyBoxes();
                txtShortName_->setFocus();
            } else {
                hideEditor();
            }
        }
    } else {
        updateRecord(lblLineKey_->text().toLongLong());
    }
    // Refilling the category lists meanwhile selects the unfiled entry; the typed category stays.
    cmbCategory_->setEditText(category);
}

bool RecordEditor::createRecord() {
    const SaveResult result = records_.CreateRecord(services_.state.UserNameCipher, typedFields());
    switch (result.outcome) {
        case SaveOutcome::Saved:
            if (result.categoryAdded) {
                emit categoriesChanged();
            }
            services_.dialogs.message(MessageIcon::Information, services_.state.AppTitle,
                                      recordCreatedMessage());
            return true;
        case SaveOutcome::ShortNameInUse:
            reportShortNameInUse(services_);
            return false;
        case SaveOutcome::DatabaseFailed:
            reportDatabaseFailure(services_, notSaved(), result.status);
            return false;
        case SaveOutcome::ShortNameBlank:
        case SaveOutcome::ShortNameTooShort:
        case SaveOutcome::NotFound:
        case SaveOutcome::NotEncrypted:  // the cipher has shown its message
            break;
    }
    return false;
}

void RecordEditor::updateRecord(qint64 counter) {
    const SaveResult result =
        records_.UpdateRecord(services_.state.UserNameCipher, counter, typedFields());
    switch (result.outcome) {
        case SaveOutcome::Saved:
            if (result.categoryAdded) {
                emit categoriesChanged();
            }
            hideEditor();
            return;
        case SaveOutcome::ShortNameTooShort:
            services_.dialogs.message(
                MessageIcon::Critical, services_.state.AppTitle,
                QStringLiteral("The 'Short Name' field was left blank, or is less than 3 "
                               "characters.\r\rThis record has not been saved."));
            hideEditor();
            return;
        case SaveOutcome::NotFound:
            reportRecordGone(services_);
            hideEditor();
            return;
        case SaveOutcome::ShortNameInUse:
            // The editor stays open with what was typed, as when creating.
            reportShortNameInUse(services_);
            return;
        case SaveOutcome::DatabaseFailed:
            reportDatabaseFailure(services_, notSaved(), result.status);
            return;
        case SaveOutcome::ShortNameBlank:
        case SaveOutcome::NotEncrypted:
            return;
    }
}

// ---- window ----

void RecordEditor::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        cmbCategory_->setFocus();
    }
    QWidget::changeEvent(event);
}

void RecordEditor::resizeEvent(QResizeEvent* event) {
    const QPixmap backdrop = backdropPicture();
    if (!backdrop.isNull()) {
        QPalette shade = palette();
        shade.setBrush(QPalette::Window,
                       backdrop.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        setPalette(shade);
    }
    QWidget::resizeEvent(event);
}

void RecordEditor::keyPressEvent(QKeyEvent* event) {
    // Escape, not taken by a box, is the Cancel button.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdCancel_->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void RecordEditor::closeEvent(QCloseEvent* event) {
    if (services_.state.Quitting) {
        event->accept();
        return;
    }
    // The close box is the Cancel button while the program runs.
    event->ignore();
    cmdCancel_->click();
}

}  // namespace ks
