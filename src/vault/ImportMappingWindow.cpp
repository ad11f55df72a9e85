#include "vault/ImportMappingWindow.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "widgets/Controls.h"
#include "widgets/Icons.h"

namespace ks {

namespace {

struct MappedPart {
    RecordPart part;
    const char* box;
    const char* caption;
};

// The values of a record a column can fill, in the order the editor shows them.
constexpr std::array<MappedPart, kRecordParts> kMappedParts{{
    {RecordPart::ShortName, "cmbMapShortName", "Short Name"},
    {RecordPart::UserName, "cmbMapUserName", "User Name"},
    {RecordPart::Password, "cmbMapPassword", "Password"},
    {RecordPart::Url, "cmbMapUrl", "Web Address (in the notes)"},
    {RecordPart::Notes, "cmbMapNotes", "Notes"},
    {RecordPart::Description, "cmbMapDescription", "Description"},
    {RecordPart::Category, "cmbMapCategory", "Category"},
    {RecordPart::Totp, "cmbMapTotp", "One-Time Password Key (in the notes)"},
}};

// A preview cell shows this much of a long value; its tooltip shows the whole of it.
constexpr int kPreviewChars = 60;

}  // namespace

ImportMappingWindow::ImportMappingWindow(const QString& title, const QString& fileName,
                                         const CsvPreview& preview, QWidget* parent)
    : QDialog(parent), header_(preview.header) {
    setObjectName(QStringLiteral("frmImportMapping"));
    setWindowTitle(title);
    setWindowIcon(appIcon());
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    QLabel* about = makeLabel(
        this, QStringLiteral("lblImportFile"),
        QStringLiteral("%1: %2 rows, a header of %3 columns that no known password manager "
                       "writes. Choose the column of each value; the first rows are shown below.")
            .arg(fileName)
            .arg(preview.totalRows)
            .arg(preview.header.size()));
    about->setWordWrap(true);
    layout->addWidget(about);
    buildMappingBoxes(preview);
    auto* form = new QFormLayout;
    for (size_t i = 0; i < kMappedParts.size(); ++i) {
        form->addRow(
            makeLabel(this, QString::fromLatin1(kMappedParts[i].box) + QStringLiteral("Label"),
                      QString::fromLatin1(kMappedParts[i].caption), boxes_[i]),
            boxes_[i]);
    }
    layout->addLayout(form);
    chkKeepOtherColumns_ =
        new QCheckBox(QStringLiteral("Keep the other columns in the notes, labelled"), this);
    chkKeepOtherColumns_->setObjectName(QStringLiteral("chkKeepOtherColumns"));
    chkKeepOtherColumns_->setChecked(preview.mapping.keepOtherColumns);
    layout->addWidget(chkKeepOtherColumns_);

    tblPreview_ = new QTableWidget(this);
    tblPreview_->setObjectName(QStringLiteral("tblPreview"));
    tblPreview_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblPreview_->setWordWrap(false);
    fillPreview(preview);
    layout->addWidget(tblPreview_, 1);

    auto* buttons = new QDialogButtonBox(this);
    cmdMappingImport_ =
        makeButton(this, QStringLiteral("cmdMappingImport"), QStringLiteral("Import..."));
    cmdMappingImport_->setDefault(true);
    buttons->addButton(cmdMappingImport_, QDialogButtonBox::AcceptRole);
    buttons->addButton(
        makeButton(this, QStringLiteral("cmdMappingCancel"), QStringLiteral("Cancel")),
        QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(760, 620);
    mappingChanged();
}

void ImportMappingWindow::buildMappingBoxes(const CsvPreview& preview) {
    for (size_t i = 0; i < kMappedParts.size(); ++i) {
        auto* box = new QComboBox(this);
        box->setObjectName(QString::fromLatin1(kMappedParts[i].box));
        box->addItem(QStringLiteral("(none)"), -1);
        for (int column = 0; column < preview.header.size(); ++column) {
            box->addItem(oneLineText(preview.header[column]), column);
        }
        box->setCurrentIndex(preview.mapping[kMappedParts[i].part] + 1);
        connect(box, &QComboBox::currentIndexChanged, this, &ImportMappingWindow::mappingChanged);
        boxes_[i] = box;
    }
}

void ImportMappingWindow::fillPreview(const CsvPreview& preview) {
    tblPreview_->setColumnCount(static_cast<int>(preview.header.size()));
    tblPreview_->setRowCount(static_cast<int>(preview.rows.size()));
    for (int row = 0; row < preview.rows.size(); ++row) {
        const QStringList& fields = preview.rows[row];
        for (int column = 0; column < fields.size(); ++column) {
            const QString& value = fields[column];
            QString shown = oneLineText(value.left(kPreviewChars));
            if (value.size() > kPreviewChars) {
                shown += QChar(0x2026);
            }
            auto* item = new QTableWidgetItem(shown);
            item->setToolTip(plainToolTip(value.left(2000)));
            tblPreview_->setItem(row, column, item);
        }
    }
    tblPreview_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    tblPreview_->horizontalHeader()->setDefaultSectionSize(140);
}

ColumnMapping ImportMappingWindow::mapping() const {
    ColumnMapping mapping;
    for (size_t i = 0; i < kMappedParts.size(); ++i) {
        mapping[kMappedParts[i].part] = boxes_[i]->currentData().toInt();
    }
    mapping.keepOtherColumns = chkKeepOtherColumns_->isChecked();
    return mapping;
}

void ImportMappingWindow::mappingChanged() {
    const ColumnMapping chosen = mapping();
    QStringList labels;
    for (int column = 0; column < header_.size(); ++column) {
        QString label = oneLineText(header_[column]);
        for (size_t i = 0; i < kMappedParts.size(); ++i) {
            if (chosen[kMappedParts[i].part] == column) {
                label += QStringLiteral("\n-> ") +
                         QString::fromLatin1(kMappedParts[i].caption).section(u' ', 0, 1);
            }
        }
        labels.append(label);
    }
    tblPreview_->setHorizontalHeaderLabels(labels);
    // A record needs a short name, or something to name it by.
    const bool named = chosen[RecordPart::ShortName] >= 0 || chosen[RecordPart::Url] >= 0 ||
                       chosen[RecordPart::UserName] >= 0;
    cmdMappingImport_->setEnabled(named);
}

std::optional<ColumnMapping> ImportMappingWindow::choose(const QString& title,
                                                         const QString& fileName,
                                                         const CsvPreview& preview,
                                                         QWidget* parent) {
    ImportMappingWindow window(title, fileName, preview, parent);
    if (window.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return window.mapping();
}

}  // namespace ks
