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
#include <QTimer>
#include <QVBoxLayout>

#include "core/CommonTexts.h"
#include "core/TextLimits.h"
#include "vault/CategoryHintPanel.h"
#include "vault/PasswordGeneratorWindow.h"
#include "vault/RecordMessages.h"
#include "vault/VaultFailure.h"
#include "vault/VaultLabels.h"
#include "vault/VaultNames.h"
#include "widgets/Controls.h"
#include "widgets/HistoryList.h"
#include "widgets/Icons.h"
#include "widgets/TextBox.h"

namespace ks {

namespace {

TextBox* makeTextBox(QWidget* parent, const QString& name) {
    auto* box = new TextBox(parent);
    box->setObjectName(name);
    box->setTabChangesFocus(true);
    box->setLongestText(kLongestText);
    return box;
}

}  // namespace

RecordEditor::RecordEditor(Services& services, RecordStore& records,
                           const QListWidget& completionSource)
    : services_(services), records_(records) {
    setObjectName(QStringLiteral("Form2"));
    setWindowIcon(appIcon());
    buildBoxes(completionSource);
    buildButtons();
    layOut();
    // The editor wears the main window's backdrop.
    setAutoFillBackground(true);
    resize(560, 480);

    connect(pctHint_, &CategoryHintPanel::takenByEnter, txtShortName_,
            [this] { txtShortName_->setFocus(); });
    connect(cmdSaveClose_, &QPushButton::clicked, this, [this] { save(false); });
    connect(cmdSaveNew_, &QPushButton::clicked, this, [this] { save(true); });
    connect(cmdCancel_, &QPushButton::clicked, this, &RecordEditor::hideEditor);
    shortNamesAhead_ = new QTimer(this);
    shortNamesAhead_->setObjectName(QStringLiteral("shortNamesAhead"));
    shortNamesAhead_->setInterval(0);
    connect(shortNamesAhead_, &QTimer::timeout, this, &RecordEditor::readShortNamesAhead);
}

void RecordEditor::readShortNamesAhead() {
    // About a millisecond of reading at a time, so that keys are never held up.
    constexpr int kRowsPerStep = 1000;
    if (!services_.state.LoggedIn) {
        shortNamesAhead_->stop();
        return;
    }
    const Result<bool> done =
        records_.ReadShortNamesAhead(kRowsPerStep, services_.state.CurrentAccount);
    // A failure is reported by the save itself, if one comes.
    if (!done.ok() || done.value()) {
        shortNamesAhead_->stop();
    }
}

void RecordEditor::buildBoxes(const QListWidget& completionSource) {
    txtShortName_ = new QLineEdit(this);
    txtShortName_->setObjectName(QStringLiteral("txtShortName"));
    txtUserName_ = new QLineEdit(this);
    txtUserName_->setObjectName(QStringLiteral("txtUserName"));
    txtPassword_ = makePasswordBox(this, QStringLiteral("txtPassword"));
    txtPassword2_ = makePasswordBox(this, QStringLiteral("txtPassword2"));
    addRevealToggle(txtPassword_, {txtPassword2_});
    txtDescription_ = makeTextBox(this, QStringLiteral("txtDescription"));
    txtNotes_ = makeTextBox(this, QStringLiteral("txtNotes"));
    for (TextBox* box : {txtDescription_, txtNotes_}) {
        connect(box, &TextBox::inputRefused, this, [this] {
            services_.dialogs.message(MessageIcon::Exclamation, services_.state.AppTitle,
                                      textTooLongMessage());
        });
    }
    cmbCategory_ = new QComboBox(this);
    cmbCategory_->setObjectName(QStringLiteral("cmbCategory"));
    cmbCategory_->setEditable(true);
    keepNarrow(cmbCategory_);
    pctHint_ = new CategoryHintPanel(this, cmbCategory_, completionSource);
    lblLineKey_ = new QLabel(this);
    lblLineKey_->setObjectName(QStringLiteral("lblLineKey"));
    lblLineKey_->setTextFormat(Qt::PlainText);
    lblLineKey_->hide();
}

void RecordEditor::buildButtons() {
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
    cmdGeneratePassword_ =
        makeButton(this, QStringLiteral("cmdGeneratePassword"), tr("&Generate Password..."));
    connect(cmdGeneratePassword_, &QPushButton::clicked, this, &RecordEditor::openGenerator);
    cmdHistory_ = makeButton(this, QStringLiteral("cmdHistory"), historyButtonCaption());
    connect(cmdHistory_, &QPushButton::clicked, this, &RecordEditor::openHistory);
}

void RecordEditor::openGenerator() {
    auto* generator = new PasswordGeneratorWindow(this);
    generator->setAttribute(Qt::WA_DeleteOnClose);
    connect(generator, &PasswordGeneratorWindow::used, this, [this](const QString& password) {
        txtPassword_->setText(password);
        txtPassword2_->setText(password);
    });
    generator->open();
}

void RecordEditor::layOut() {
    // Each row: a caption and its box, in the order the Tab key follows.
    const struct {
        const char* label;
        QString caption;
        QWidget* box;
    } rows[] = {
        {"Label7", categoryCaption(), cmbCategory_},
        {nullptr, {}, pctHint_},  // the completion hint, under the category box
        {"Label1", shortNameCaption(), txtShortName_},
        {"Label2", userNameCaption(), txtUserName_},
        {"Label3", passwordCaption(), txtPassword_},
        {"Label4", QStringLiteral("Password (repeat)"), txtPassword2_},
        {nullptr, {}, cmdGeneratePassword_},
        {"Label5", descriptionCaption(), txtDescription_},
        {"Label6", notesCaption(), txtNotes_},
    };
    auto* grid = new QGridLayout;
    QWidget* previous = nullptr;
    for (const auto& row : rows) {
        const int at = grid->rowCount();
        if (row.label != nullptr) {
            const bool tall = qobject_cast<QPlainTextEdit*>(row.box) != nullptr;
            grid->addWidget(makeLabel(this, QString::fromLatin1(row.label), row.caption, row.box),
                            at, 0, tall ? Qt::AlignTop : Qt::Alignment());
            if (previous != nullptr) {
                setTabOrder(previous, row.box);
            }
            previous = row.box;
        }
        grid->addWidget(row.box, at, 1,
                        qobject_cast<QPushButton*>(row.box) ? Qt::AlignLeft : Qt::Alignment());
    }
    grid->setRowStretch(grid->rowCount() - 1, 1);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {cmdSaveClose_, cmdSaveNew_, cmdCancel_, cmdHistory_}) {
        buttons->addWidget(button);
        setTabOrder(previous, button);
        previous = button;
    }
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(buttons);
}

void RecordEditor::setCategories(const QStringList& categories) {
    cmbCategory_->clear();
    addEntries(cmbCategory_, QStringList{unfiledCategory()} + categories);
    cmbCategory_->setCurrentIndex(0);
}

void RecordEditor::prepareNew(const QString& category) {
    setWindowTitle(services_.state.AppTitle + QStringLiteral(" - Create New Record"));
    emptyBoxes();
    cmbCategory_->setEditText(category);
    cmdSaveNew_->show();
    cmdHistory_->hide();
    lblLineKey_->clear();
    pctHint_->dismiss();
    rememberOpenedValues();
}

void RecordEditor::prepareEdit(const StoredRecord& record) {
    setWindowTitle(services_.state.AppTitle + QStringLiteral(" - Edit Record"));
    lblLineKey_->setText(QString::number(record.counter));
    txtShortName_->setText(record.fields.shortName);
    txtUserName_->setText(record.fields.userName);
    txtPassword_->setText(record.fields.password);
    txtPassword2_->setText(record.fields.password);
    txtDescription_->setText(record.fields.description);
    txtNotes_->setText(record.fields.notes);
    cmbCategory_->setEditText(record.fields.category);
    cmdSaveNew_->hide();
    cmdHistory_->show();
    pctHint_->dismiss();
    rememberOpenedValues();
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
    shortNamesAhead_->start();
    cmbCategory_->setFocus();
    // Typing replaces the preselected category rather than adding to it.
    cmbCategory_->lineEdit()->selectAll();
}

void RecordEditor::emptyBoxes() {
    // Replaced rather than cleared: a cleared box keeps the old characters in its buffer.
    for (QLineEdit* box : {txtShortName_, txtUserName_, txtPassword_, txtPassword2_}) {
        box->setText(QString());
    }
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
    fields.description = txtDescription_->text();
    fields.notes = txtNotes_->text();
    fields.category = cmbCategory_->currentText();
    return fields;
}

void RecordEditor::save(bool startAnother) {
    const QString category = cmbCategory_->currentText();
    bool savedForAnother = false;
    if (txtShortName_->text().trimmed().isEmpty()) {
        services_.dialogs.message(MessageIcon::Exclamation, services_.state.AppTitle,
                                  shortNameBlankMessage());
    } else if (txtPassword_->text() != txtPassword2_->text()) {
        services_.dialogs.message(MessageIcon::Exclamation, services_.state.AppTitle,
                                  passwordsDifferMessage());
    } else if (lblLineKey_->text().isEmpty()) {
        if (createRecord()) {
            if (startAnother) {
                emptyBoxes();
                txtShortName_->setFocus();
                savedForAnother = true;
            } else {
                hideEditor();
            }
        }
    } else {
        updateRecord(lblLineKey_->text().toLongLong());
    }
    // Refilling the category lists meanwhile selects the unfiled entry; the typed category stays.
    cmbCategory_->setEditText(category);
    if (savedForAnother) {
        rememberOpenedValues();
    }
}

bool RecordEditor::createRecord() {
    const SaveResult result = records_.CreateRecord(services_.state.CurrentAccount, typedFields());
    if (result.outcome != SaveOutcome::Saved) {
        reportNotSaved(result);
        return false;
    }
    if (result.categoryAdded) {
        emit categoriesChanged();
    }
    services_.dialogs.message(MessageIcon::Information, services_.state.AppTitle,
                              recordCreatedMessage());
    return true;
}

void RecordEditor::updateRecord(qint64 counter) {
    const SaveResult result =
        records_.UpdateRecord(services_.state.CurrentAccount, counter, typedFields());
    if (result.outcome == SaveOutcome::Saved) {
        if (result.categoryAdded) {
            emit categoriesChanged();
        }
        hideEditor();
        return;
    }
    reportNotSaved(result);
    // Only a record that is gone closes the editor; otherwise what was typed stays to be fixed.
    if (result.outcome == SaveOutcome::NotFound) {
        hideEditor();
    }
}

void RecordEditor::reportNotSaved(const SaveResult& result) {
    reportSaveRefused(services_, result);
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
