#include "vault/VaultPage.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "vault/CategoryRules.h"
#include "vault/CategoryStore.h"
#include "vault/CategoryWindow.h"
#include "vault/RecordEditor.h"
#include "vault/VaultFailure.h"
#include "vault/VaultLabels.h"
#include "vault/VaultNames.h"
#include "widgets/Icons.h"

namespace ks {

namespace {

QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption,
                  QWidget* buddy = nullptr) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setBuddy(buddy);
    return label;
}

QLineEdit* makeDetailLine(QWidget* parent, const char* name) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setReadOnly(true);
    return box;
}

QPlainTextEdit* makeDetailText(QWidget* parent, const char* name) {
    auto* box = new QPlainTextEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setReadOnly(true);
    box->setTabChangesFocus(true);
    return box;
}

}  // namespace

VaultPage::VaultPage(Services& services, QWidget* parent)
    : QWidget(parent), services_(services), records_(services.database) {
    panel_ = new QWidget;
    panel_->setObjectName(QStringLiteral("pctLogins"));
    auto* buttons = new QVBoxLayout(panel_);
    cmdLoginsNew_ = makePictureButton(
        panel_, QStringLiteral("cmdLoginsNew"),
        themedIcon(QStringLiteral("document-new"), QStringLiteral("new")), tr("New record"));
    cmdLoginsEdit_ = makePictureButton(
        panel_, QStringLiteral("cmdLoginsEdit"),
        themedIcon(QStringLiteral("document-edit"), QStringLiteral("edit")), tr("Edit record"));
    cmdLoginsDelete_ = makePictureButton(
        panel_, QStringLiteral("cmdLoginsDelete"),
        themedIcon(QStringLiteral("edit-delete"), QStringLiteral("delete")), tr("Delete record"));
    buttons->addWidget(cmdLoginsNew_);
    buttons->addWidget(cmdLoginsEdit_);
    buttons->addWidget(cmdLoginsDelete_);

    cmbCategories_ = new QComboBox(this);
    cmbCategories_->setObjectName(QStringLiteral("cmbCategories"));
    auto* cmdManage = new QPushButton(tr("Categories..."), this);
    cmdManage->setObjectName(QStringLiteral("cmdLoginsManageCategories"));
    cmdManage->setToolTip(tr("Add and remove your categories"));
    lstPasswords_ = new QListWidget(this);
    lstPasswords_->setObjectName(QStringLiteral("lstPasswords"));
    lstPasswords_->setSelectionMode(QAbstractItemView::SingleSelection);
    lstPasswords_->installEventFilter(this);

    txtCounter_ = new QLineEdit(this);
    txtCounter_->setObjectName(QStringLiteral("txtCounter"));
    txtCounter_->hide();
    txtUserName_ = makeDetailLine(this, "txtUserName");
    txtPassword_ = makeDetailLine(this, "txtPassword");
    txtDescription_ = makeDetailText(this, "txtDescription");
    txtNotes_ = makeDetailText(this, "txtNotes");
    lstTempCategories_ = new QListWidget(this);
    lstTempCategories_->setObjectName(QStringLiteral("lstTempCategories"));
    lstTempCategories_->hide();

    auto* filter = new QHBoxLayout;
    filter->addWidget(makeLabel(this, "lblCategory", categoryCaption(), cmbCategories_));
    filter->addWidget(cmbCategories_, 1);
    filter->addWidget(cmdManage);
    auto* left = new QVBoxLayout;
    left->addLayout(filter);
    left->addWidget(makeLabel(this, "lblRecords", QStringLiteral("Records"), lstPasswords_));
    left->addWidget(lstPasswords_, 1);

    auto* details = new QGridLayout;
    auto* detailsTitle = makeLabel(this, "lblDetails", QStringLiteral("Details"));
    QFont bold = detailsTitle->font();
    bold.setBold(true);
    detailsTitle->setFont(bold);
    details->addWidget(detailsTitle, 0, 0, 1, 2);
    details->addWidget(makeLabel(this, "lblUserName", userNameCaption(), txtUserName_), 1, 0);
    details->addWidget(txtUserName_, 1, 1);
    details->addWidget(makeLabel(this, "lblPassword", passwordCaption(), txtPassword_), 2, 0);
    details->addWidget(txtPassword_, 2, 1);
    details->addWidget(makeLabel(this, "lblDescription", descriptionCaption(), txtDescription_), 3,
                       0, Qt::AlignTop);
    details->addWidget(txtDescription_, 3, 1);
    details->addWidget(makeLabel(this, "lblNotes", notesCaption(), txtNotes_), 4, 0, Qt::AlignTop);
    details->addWidget(txtNotes_, 4, 1);
    details->setRowStretch(4, 1);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 2);
    layout->addLayout(details, 3);

    editor_ = std::make_unique<RecordEditor>(services_, records_, *lstTempCategories_);
    categoryWindow_ = new CategoryWindow(services_, this);

    connect(cmbCategories_, &QComboBox::currentIndexChanged, this, [this] {
        if (!filling_) {
            cmbCategories_Click();
        }
    });
    connect(lstPasswords_, &QListWidget::itemSelectionChanged, this,
            &VaultPage::lstPasswords_Click);
    connect(lstPasswords_, &QListWidget::itemClicked, this, &VaultPage::lstPasswords_Click);
    connect(lstPasswords_, &QListWidget::itemDoubleClicked, cmdLoginsEdit_, &QPushButton::click);
    connect(cmdLoginsNew_, &QPushButton::clicked, this, &VaultPage::OpenNewRecord);
    connect(cmdLoginsEdit_, &QPushButton::clicked, this, &VaultPage::OpenEditRecord);
    connect(cmdLoginsDelete_, &QPushButton::clicked, this, &VaultPage::DeleteSelectedRecord);
    connect(cmdManage, &QPushButton::clicked, this, &VaultPage::manageCategories);
    connect(editor_.get(), &RecordEditor::closed, this, &VaultPage::returnToMainWindow);
    connect(editor_.get(), &RecordEditor::categoriesChanged, this, &VaultPage::FillCategoryLists);
    connect(categoryWindow_, &CategoryWindow::categoriesChanged, this,
            &VaultPage::FillCategoryLists);
}

VaultPage::~VaultPage() {
    editor_.reset();
    if (panel_ && panel_->parent() == nullptr) {
        delete panel_.data();
    }
}

void VaultPage::reloadLists() {
    FillCategoryLists();
}

void VaultPage::FillCategoryLists() {
    const Result<QStringList> visible =
        visibleCategories(services_.database, services_.state.UserNameCipher);
    const QStringList categories = visible.ok() ? visible.value() : QStringList();
    filling_ = true;
    cmbCategories_->clear();
    cmbCategories_->addItem(allRecordsEntry());
    cmbCategories_->addItem(unfiledCategory());
    cmbCategories_->addItems(categories);
    lstTempCategories_->clear();
    lstTempCategories_->addItems(categories);
    editor_->setCategories(categories);
    categoryWindow_->setCategories(categories);
    cmbCategories_->setCurrentIndex(
        restoredFilterIndex(rememberedCategoryIndex_, cmbCategories_->count()));
    filling_ = false;
    if (!visible.ok()) {
        // One report is enough: the records are not read from a failing database as well.
        lstPasswords_->clear();
        clearDetails();
        reportDatabaseFailure(services_, QStringLiteral("The categories could not be read."),
                              visible.status());
        return;
    }
    cmbCategories_Click();
}

void VaultPage::cmbCategories_Click() {
    rememberedCategoryIndex_ = cmbCategories_->currentIndex();
    ListRecords(cmbCategories_->currentText());
}

void VaultPage::clearDetails() {
    txtPassword_->clear();
    txtUserName_->clear();
    txtDescription_->clear();
    txtNotes_->clear();
}

void VaultPage::ListRecords(const QString& category) {
    lstPasswords_->clear();
    clearDetails();
    const Result<QList<RecordLine>> lines =
        records_.ListRecords(services_.state.UserNameCipher, category);
    if (!lines.ok()) {
        reportDatabaseFailure(services_, QStringLiteral("The records could not be listed."),
                              lines.status());
        return;
    }
    for (const RecordLine& line : lines.value()) {
        auto* item = new QListWidgetItem(line.shortName, lstPasswords_);
        item->setData(Qt::UserRole, line.counter);
    }
}

std::optional<qint64> VaultPage::selectedCounter() const {
    const QList<QListWidgetItem*> selected = lstPasswords_->selectedItems();
    if (selected.isEmpty()) {
        return std::nullopt;
    }
    return selected.first()->data(Qt::UserRole).toLongLong();
}

void VaultPage::lstPasswords_Click() {
    if (const std::optional<qint64> counter = selectedCounter()) {
        ShowRecord(*counter);
    }
}

void VaultPage::ShowRecord(qint64 counter) {
    const Result<std::optional<StoredRecord>> record =
        records_.ShowRecord(services_.state.UserNameCipher, counter);
    if (!record.ok()) {
        reportDatabaseFailure(services_, QStringLiteral("The record could not be read."),
                              record.status());
        return;
    }
    if (!record.value()) {
        return;
    }
    const RecordFields& fields = record.value()->fields;
    txtCounter_->setText(QString::number(counter));
    txtUserName_->setText(fields.userName);
    txtPassword_->setText(fields.password);
    txtDescription_->setPlainText(fields.description);
    txtNotes_->setPlainText(fields.notes);
}

void VaultPage::OpenNewRecord() {
    editor_->prepareNew(categoryForNewRecord(cmbCategories_->currentText()));
    emit hideMainWindowRequested();
    editor_->open();
}

void VaultPage::OpenEditRecord() {
    const std::optional<qint64> counter = selectedCounter();
    if (!counter) {
        services_.dialogs.message(MessageIcon::Information, services_.state.AppTitle,
                                  QStringLiteral("You must select a record to edit."));
        return;
    }
    // The editor starts from the stored record itself, found by its Counter and owner.
    const Result<std::optional<StoredRecord>> record =
        records_.ShowRecord(services_.state.UserNameCipher, *counter);
    if (!record.ok()) {
        reportDatabaseFailure(services_, QStringLiteral("The record could not be read."),
                              record.status());
        return;
    }
    if (!record.value()) {
        reportRecordGone(services_);
        ListRecords(cmbCategories_->currentText());
        return;
    }
    editor_->prepareEdit(*record.value());
    emit hideMainWindowRequested();
    editor_->open();
}

void VaultPage::DeleteSelectedRecord() {
    const QList<QListWidgetItem*> selected = lstPasswords_->selectedItems();
    if (selected.isEmpty()) {
        services_.dialogs.message(MessageIcon::Information, services_.state.AppTitle,
                                  QStringLiteral("You must select a record to delete."));
        return;
    }
    const QString line = selected.first()->text();
    const qint64 counter = selected.first()->data(Qt::UserRole).toLongLong();
    if (!services_.dialogs.askYesNo(
            services_.state.AppTitle,
            QStringLiteral("Are you sure you want to delete record:  ") + line)) {
        return;
    }
    const Result<int> deleted = records_.DeleteRecord(services_.state.UserNameCipher, counter);
    if (!deleted.ok()) {
        reportDatabaseFailure(services_, QStringLiteral("The record could not be deleted."),
                              deleted.status());
        return;
    }
    if (deleted.value() > 0) {
        services_.state.DataDeleted = true;
    }
    ListRecords(cmbCategories_->currentText());
}

void VaultPage::manageCategories() {
    categoryWindow_->exec();
    emit returnToMainWindow();
}

bool VaultPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lstPasswords_ && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
            case Qt::Key_Delete:
                cmdLoginsDelete_->click();
                return true;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                // The keyboard's double-click: edit the selected record.
                if (!lstPasswords_->selectedItems().isEmpty()) {
                    cmdLoginsEdit_->click();
                    return true;
                }
                break;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace ks
