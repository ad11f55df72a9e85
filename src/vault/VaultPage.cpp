#include "vault/VaultPage.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

#include "vault/CategoryRules.h"
#include "vault/CategoryStore.h"
#include "vault/CategoryWindow.h"
#include "vault/RecordEditor.h"
#include "vault/RecordListModel.h"
#include "vault/VaultFailure.h"
#include "vault/VaultLabels.h"
#include "vault/VaultNames.h"
#include "widgets/Controls.h"
#include "widgets/Icons.h"
#include "widgets/LineDelegate.h"
#include "widgets/TextBox.h"

namespace ks {

namespace {

QLineEdit* makeDetailLine(QWidget* parent, const char* name) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setReadOnly(true);
    return box;
}

TextBox* makeDetailText(QWidget* parent, const char* name) {
    auto* box = new TextBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setReadOnly(true);
    box->setTabChangesFocus(true);
    return box;
}

}  // namespace

VaultPage::VaultPage(Services& services, QWidget* parent)
    : QWidget(parent), services_(services), records_(services.database, &services.state.History) {
    buildButtonPanel();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(buildRecordList(), 2);
    layout->addLayout(buildDetails(), 3);
    editor_ = std::make_unique<RecordEditor>(services_, records_, *lstTempCategories_);
    categoryWindow_ = new CategoryWindow(services_, this);
    connectActions();
    buildCopyActions();
}

void VaultPage::buildButtonPanel() {
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
}

QLayout* VaultPage::buildRecordList() {
    cmbCategories_ = new ElidedComboBox(this);
    cmbCategories_->setObjectName(QStringLiteral("cmbCategories"));
    keepNarrow(cmbCategories_);
    cmdManage_ = makeButton(this, QStringLiteral("cmdLoginsManageCategories"), tr("Categories..."));
    cmdManage_->setToolTip(tr("Add and remove your categories"));
    buildSearch();
    lines_ = new RecordListModel(this);
    lstPasswords_ = new QListView(this);
    lstPasswords_->setObjectName(QStringLiteral("lstPasswords"));
    lstPasswords_->setModel(lines_);
    lstPasswords_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstPasswords_->setSelectionMode(QAbstractItemView::SingleSelection);
    lstPasswords_->setTextElideMode(Qt::ElideRight);
    lstPasswords_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Every line is one elided line of text: the list need not measure each of them.
    lstPasswords_->setUniformItemSizes(true);
    lstPasswords_->setItemDelegate(new LineDelegate(lstPasswords_));
    lstPasswords_->installEventFilter(this);
    lstPasswords_->viewport()->installEventFilter(this);
    lstTempCategories_ = new QListWidget(this);
    lstTempCategories_->setObjectName(QStringLiteral("lstTempCategories"));
    lstTempCategories_->hide();

    auto* filter = new QHBoxLayout;
    filter->addWidget(
        makeLabel(this, QStringLiteral("lblCategory"), categoryCaption(), cmbCategories_));
    filter->addWidget(cmbCategories_, 1);
    filter->addWidget(cmdManage_);
    auto* left = new QVBoxLayout;
    left->addLayout(filter);
    left->addWidget(txtSearch_);
    left->addWidget(
        makeLabel(this, QStringLiteral("lblRecords"), QStringLiteral("Records"), lstPasswords_));
    left->addWidget(lstPasswords_, 1);
    return left;
}

QLayout* VaultPage::buildDetails() {
    txtCounter_ = new QLineEdit(this);
    txtCounter_->setObjectName(QStringLiteral("txtCounter"));
    txtCounter_->hide();
    txtUserName_ = makeDetailLine(this, "txtUserName");
    txtPassword_ = makePasswordBox(this, QStringLiteral("txtPassword"));
    txtPassword_->setReadOnly(true);
    makeDetailButtons();
    txtDescription_ = makeDetailText(this, "txtDescription");
    txtNotes_ = makeDetailText(this, "txtNotes");

    auto* details = new QGridLayout;
    auto* title = makeLabel(this, QStringLiteral("lblDetails"), QStringLiteral("Details"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    details->addWidget(title, 0, 0, 1, 4);
    const struct {
        const char* label;
        QString caption;
        QWidget* box;
        QWidget* reveal;  // the eye beside the box, if any
        QWidget* copy;    // the copy button beside the box, if any
    } rows[] = {
        {"lblUserName", userNameCaption(), txtUserName_, nullptr, cmdCopyUserName_},
        {"lblPassword", passwordCaption(), txtPassword_, cmdRevealPassword_, cmdCopyPassword_},
        {"lblDescription", descriptionCaption(), txtDescription_, nullptr, nullptr},
        {"lblNotes", notesCaption(), txtNotes_, nullptr, nullptr}};
    for (const auto& row : rows) {
        const int at = details->rowCount();
        const bool tall = qobject_cast<QPlainTextEdit*>(row.box) != nullptr;
        details->addWidget(makeLabel(this, QString::fromLatin1(row.label), row.caption, row.box),
                           at, 0, tall ? Qt::AlignTop : Qt::Alignment());
        // Each box reaches as far right as its buttons leave room for.
        const int span = row.copy == nullptr ? 3 : row.reveal == nullptr ? 2 : 1;
        details->addWidget(row.box, at, 1, 1, span);
        if (row.reveal != nullptr) {
            details->addWidget(row.reveal, at, 2);
        }
        if (row.copy != nullptr) {
            details->addWidget(row.copy, at, 3);
        }
    }
    details->setRowStretch(details->rowCount() - 1, 1);
    return details;
}

void VaultPage::connectActions() {
    connect(cmbCategories_, &QComboBox::currentIndexChanged, this, [this] {
        if (!filling_) {
            cmbCategories_Click();
        }
    });
    // A click, or the keyboard, selects a line: its record is shown.
    connect(lstPasswords_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &VaultPage::lstPasswords_Click);
    connect(lstPasswords_, &QListView::doubleClicked, cmdLoginsEdit_, &QPushButton::click);
    connect(txtSearch_, &QLineEdit::textChanged, this,
            [this] { ListRecords(cmbCategories_->currentText()); });
    connect(cmdLoginsNew_, &QPushButton::clicked, this, &VaultPage::OpenNewRecord);
    connect(cmdLoginsEdit_, &QPushButton::clicked, this, &VaultPage::OpenEditRecord);
    connect(cmdLoginsDelete_, &QPushButton::clicked, this, &VaultPage::DeleteSelectedRecord);
    connect(cmdManage_, &QPushButton::clicked, this, &VaultPage::manageCategories);
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

void VaultPage::startAfresh() {
    // The activation that follows lists the records.
    const QSignalBlocker quiet(txtSearch_);
    txtSearch_->clear();
    // The new user's texts are read while the window is idle from now on, so that a search
    // finds them read; logging in waits for none of them.
    startSearchAhead(false);
}

void VaultPage::FillCategoryLists() {
    const Result<QStringList> visible =
        visibleCategories(services_.database, services_.state.CurrentAccount);
    const QStringList categories = visible.ok() ? visible.value() : QStringList();
    const QStringList entries = QStringList{allRecordsEntry(), unfiledCategory()} + categories;
    filling_ = true;
    cmbCategories_->clear();
    addEntries(cmbCategories_, entries);
    lstTempCategories_->clear();
    lstTempCategories_->addItems(categories);
    editor_->setCategories(categories);
    categoryWindow_->setCategories(categories);
    cmbCategories_->setCurrentIndex(restoredFilterIndex(rememberedCategory_, entries));
    filling_ = false;
    if (!visible.ok()) {
        // One report is enough: the records are not read from a failing database as well.
        lines_->setLines({});
        clearDetails();
        reportDatabaseFailure(services_, QStringLiteral("The categories could not be read."),
                              visible.status());
        return;
    }
    cmbCategories_Click();
}

void VaultPage::cmbCategories_Click() {
    rememberedCategory_ = cmbCategories_->currentText();
    ListRecords(cmbCategories_->currentText());
}

void VaultPage::clearDetails() {
    maskPassword();
    txtPassword_->setText(QString());  // replaced: a cleared box keeps the characters it held
    txtUserName_->setText(QString());
    // At each refill of the list: an empty document is not made again.
    for (QPlainTextEdit* box : {txtDescription_, txtNotes_}) {
        if (!box->document()->isEmpty()) {
            box->clear();
        }
    }
}

void VaultPage::ListRecords(const QString& category) {
    clearDetails();
    const Result<ListedRecords> lines = searchedLines(category);
    if (!lines.ok()) {
        lines_->setLines({});
        reportDatabaseFailure(services_, QStringLiteral("The records could not be listed."),
                              lines.status());
        return;
    }
    lines_->setLines(lines.value());
    startListingAhead();
}

std::optional<qint64> VaultPage::selectedCounter() const {
    const QModelIndexList selected = lstPasswords_->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) {
        return std::nullopt;
    }
    return lines_->line(selected.first().row()).counter;
}

void VaultPage::lstPasswords_Click() {
    if (const std::optional<qint64> counter = selectedCounter()) {
        ShowRecord(*counter);
    }
}

void VaultPage::ShowRecord(qint64 counter) {
    const Result<std::optional<StoredRecord>> record =
        records_.ShowRecord(services_.state.CurrentAccount, counter);
    if (!record.ok()) {
        reportRecordUnreadable(services_, record.status());
        return;
    }
    if (!record.value()) {
        return;
    }
    const RecordFields& fields = record.value()->fields;
    maskPassword();
    txtCounter_->setText(QString::number(counter));
    txtUserName_->setText(fields.userName);
    txtPassword_->setText(fields.password);
    // Long values show their beginning.
    txtUserName_->setCursorPosition(0);
    txtPassword_->setCursorPosition(0);
    txtDescription_->setText(fields.description);
    txtNotes_->setText(fields.notes);
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
        records_.ShowRecord(services_.state.CurrentAccount, *counter);
    if (!record.ok()) {
        reportRecordUnreadable(services_, record.status());
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
    const QModelIndexList selected = lstPasswords_->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) {
        services_.dialogs.message(MessageIcon::Information, services_.state.AppTitle,
                                  QStringLiteral("You must select a record to delete."));
        return;
    }
    const int row = selected.first().row();
    const qint64 counter = lines_->line(row).counter;
    if (!services_.dialogs.askYesNo(
            services_.state.AppTitle,
            QStringLiteral("Are you sure you want to delete record:  ") + lines_->shortName(row))) {
        return;
    }
    const Result<int> deleted = records_.DeleteRecord(services_.state.CurrentAccount, counter);
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
    if (watched == lstPasswords_->viewport() && event->type() == QEvent::ToolTip) {
        // A line's full short name as its tip, worked out only for the line pointed at.
        const auto* help = static_cast<QHelpEvent*>(event);
        if (const QModelIndex at = lstPasswords_->indexAt(help->pos()); at.isValid()) {
            QToolTip::showText(help->globalPos(), plainToolTip(lines_->shortName(at.row())),
                               lstPasswords_, lstPasswords_->visualRect(at));
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    if (watched == txtSearch_ && event->type() == QEvent::FocusIn) {
        startSearchAhead(true);
    }
    if (watched == txtSearch_ && event->type() == QEvent::KeyPress) {
        return searchKey(static_cast<QKeyEvent*>(event));
    }
    if (watched == lstPasswords_ && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
            case Qt::Key_Delete:
                cmdLoginsDelete_->click();
                return true;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                // The keyboard's double-click: edit the selected record.
                if (selectedCounter()) {
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
