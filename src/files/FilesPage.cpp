#include "files/FilesPage.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/FailureReport.h"
#include "files/CheckIn.h"
#include "files/CheckOutWindow.h"
#include "files/FileMessages.h"
#include "files/FileStore.h"
#include "files/GcabArchiver.h"
#include "files/SizeText.h"
#include "files/WorkStatus.h"
#include "widgets/Captions.h"
#include "widgets/Controls.h"
#include "widgets/Icons.h"

namespace ks {

namespace {

enum Column { kNameColumn, kSizeColumn, kCompressedColumn, kDateColumn };

// The key of a list row ("K" and its Counter) is kept as the row's data.
constexpr int kKeyRole = Qt::UserRole;

// The file dialog's filter in the toolkit's form: "*.*" stands for every file.
QString dialogFilter() {
    const QStringList parts = fileDialogFilter().split(QLatin1Char('|'));
    return parts.first() + QStringLiteral(" (*)");
}

QTreeWidgetItem* makeRow(const StoredFileLine& line) {
    const QLocale locale;
    auto* row = new QTreeWidgetItem({oneLineText(line.fileName), sizeText(line.size, locale),
                                     compressedSizeText(line.compressedSize, locale),
                                     locale.toString(line.lastModified, QLocale::ShortFormat)});
    row->setData(kNameColumn, kKeyRole, fileKey(line.counter));
    row->setToolTip(kNameColumn, plainToolTip(oneLineText(line.fileName)));
    row->setTextAlignment(kSizeColumn, Qt::AlignRight | Qt::AlignVCenter);
    row->setTextAlignment(kCompressedColumn, Qt::AlignRight | Qt::AlignVCenter);
    return row;
}

}  // namespace

FilesPage::FilesPage(Services& services, WorkStatus& status, QWidget* parent)
    : QWidget(parent),
      services_(services),
      status_(status),
      archiver_(std::make_unique<GcabArchiver>(services.state.AppFolder)) {
    auto* caption = new QLabel(filesCaption(), this);
    caption->setObjectName(QStringLiteral("Label18"));
    lvFiles_ = new QTreeWidget(this);
    lvFiles_->setObjectName(QStringLiteral("lvFiles"));
    lvFiles_->setRootIsDecorated(false);
    lvFiles_->setUniformRowHeights(true);
    lvFiles_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvFiles_->setTextElideMode(Qt::ElideMiddle);
    lvFiles_->setHeaderLabels({QStringLiteral("File Name"), QStringLiteral("Size"),
                               QStringLiteral("Compressed Size"), QStringLiteral("Date Modified")});
    lvFiles_->header()->setSectionResizeMode(kNameColumn, QHeaderView::Stretch);
    lvFiles_->header()->setStretchLastSection(false);
    for (int column : {kSizeColumn, kCompressedColumn, kDateColumn}) {
        lvFiles_->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    caption->setBuddy(lvFiles_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(lvFiles_);

    panel_ = makeButtonPanel(
        QStringLiteral("pctFiles"),
        {
            {"cmdFileNew", "document-import", "checkin", tr("Check in a file")},
            {"cmdOpenFile", "system-run", "launch", tr("Launch the file")},
            {"cmdFileDelete", "edit-delete", "delete", tr("Delete the files")},
            {"cmdFileCheckOut", "document-export", "checkout", tr("Check out files")},
        });
    connect(panel_->findChild<QPushButton*>(QStringLiteral("cmdFileNew")), &QPushButton::clicked,
            this, &FilesPage::AddFileToStore);
    connect(panel_->findChild<QPushButton*>(QStringLiteral("cmdFileDelete")), &QPushButton::clicked,
            this, &FilesPage::deleteSelectedFiles);
    connect(panel_->findChild<QPushButton*>(QStringLiteral("cmdOpenFile")), &QPushButton::clicked,
            this, [this] { launchSelection(true); });
    connect(panel_->findChild<QPushButton*>(QStringLiteral("cmdFileCheckOut")),
            &QPushButton::clicked, this, [this] {
                QList<qint64> selected;
                for (const QTreeWidgetItem* row : selectedRows()) {
                    if (std::optional<qint64> counter = rowCounter(row)) {
                        selected.append(*counter);
                    }
                }
                openCheckOut(CheckOutKind::Files, selected, lvFiles_->topLevelItemCount());
            });
    connect(lvFiles_, &QTreeWidget::itemDoubleClicked, this, [this] { launchSelection(false); });
    lvFiles_->installEventFilter(this);
    lstFilesToDelete_ = new QListWidget(panel_);
    lstFilesToDelete_->setObjectName(QStringLiteral("lstFilesToDelete"));
    lstFilesToDelete_->hide();
}

FilesPage::~FilesPage() {
    delete form6_;  // a window of its own, without a parent
}

QList<QTreeWidgetItem*> FilesPage::selectedRows() const {
    QList<QTreeWidgetItem*> rows;
    for (int i = 0; i < lvFiles_->topLevelItemCount(); ++i) {
        if (lvFiles_->topLevelItem(i)->isSelected()) {
            rows.append(lvFiles_->topLevelItem(i));
        }
    }
    return rows;
}

std::optional<qint64> FilesPage::rowCounter(const QTreeWidgetItem* row) {
    return counterFromKey(row->data(kNameColumn, kKeyRole).toString());
}

void FilesPage::whileBusy(const std::function<void()>& work) {
    busy_ = true;
    window()->installEventFilter(this);
    work();
    window()->removeEventFilter(this);
    busy_ = false;
    services_.database.EndOperations();
}

void FilesPage::useArchiver(std::unique_ptr<Archiver> archiver) {
    archiver_ = std::move(archiver);
}

QString FilesPage::archivePath() const {
    const QString& temp = services_.state.TempFolder;
    return temp.isEmpty() ? QString() : temp + QStringLiteral("store.cab");
}

void FilesPage::AddFileToStore() {
    if (busy_) {
        return;
    }
    const QString chosen = services_.dialogs.openFile(QString(), {dialogFilter()});
    if (chosen.isEmpty()) {
        if (!archivePath().isEmpty()) {
            discardWorkArchive(archivePath());
        }
        return;
    }
    CheckInResult result;
    whileBusy([&] {
        status_.begin(initialisingStatus());
        result = checkInFile(services_.database, *archiver_, status_,
                             {chosen, archivePath(), services_.state.CurrentAccount});
        status_.end();
    });
    reportCheckIn(result);
    if (result.outcome == CheckInOutcome::Added) {
        RefreshFileList();
    }
}

void FilesPage::reportCheckIn(const CheckInResult& result) {
    const QString& title = services_.state.AppTitle;
    const QString bytes = QString::number(result.bytes);
    switch (result.outcome) {
        case CheckInOutcome::Added:
            return;
        case CheckInOutcome::CompressionFailed:
            services_.dialogs.message(MessageIcon::Exclamation, title, compressionFailedMessage());
            return;
        case CheckInOutcome::TooLargeToArchive:
            services_.dialogs.message(MessageIcon::Exclamation, title,
                                      tooLargeToArchiveMessage() + bytes);
            return;
        case CheckInOutcome::OverLimit:
            services_.dialogs.message(MessageIcon::Exclamation, title, overLimitMessage() + bytes);
            return;
        case CheckInOutcome::StoreFailed:
            reportDatabaseFailure(services_, checkInFailedText(), result.status);
            return;
    }
}

void FilesPage::RefreshFileList() {
    lvFiles_->clear();
    Result<QList<StoredFileLine>> lines =
        listStoredFiles(services_.database, services_.state.CurrentAccount);
    services_.database.EndOperations();
    if (!lines.ok()) {
        return;  // the list stays empty; the next activation tries again
    }
    QList<QTreeWidgetItem*> rows;
    rows.reserve(lines->size());
    for (const StoredFileLine& line : lines.value()) {
        rows.append(makeRow(line));
    }
    lvFiles_->addTopLevelItems(rows);
}

void FilesPage::deleteSelectedFiles() {
    lstFilesToDelete_->clear();
    QStringList names;
    for (int i = 0; i < lvFiles_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = lvFiles_->topLevelItem(i);
        if (row->isSelected()) {
            lstFilesToDelete_->addItem(row->data(kNameColumn, kKeyRole).toString());
            names.append(row->text(kNameColumn));
        }
    }
    const QString& title = services_.state.AppTitle;
    if (names.isEmpty()) {
        services_.dialogs.message(MessageIcon::Information, title, selectFileToDeleteMessage());
        return;
    }
    if (!services_.dialogs.askYesNo(title, deleteFilesQuestion(names))) {
        return;
    }
    QStringList keys;
    for (int i = 0; i < lstFilesToDelete_->count(); ++i) {
        keys.append(lstFilesToDelete_->item(i)->text());
    }
    DeleteFileRecords(keys);
}

void FilesPage::DeleteFileRecords(const QStringList& keys) {
    QList<qint64> counters;
    for (const QString& key : keys) {
        if (std::optional<qint64> counter = counterFromKey(key)) {
            counters.append(*counter);
        }
    }
    Result<int> deleted =
        deleteStoredFiles(services_.database, services_.state.CurrentAccount, counters);
    services_.database.EndOperations();
    if (!deleted.ok()) {
        reportDatabaseFailure(services_, deleteFailedText(), deleted.status());
    } else if (deleted.value() > 0) {
        services_.state.DataDeleted = true;
    }
    RefreshFileList();
}

bool FilesPage::eventFilter(QObject* watched, QEvent* event) {
    // Delete in the list presses the tab's delete button, which asks first.
    if (watched == lvFiles_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        panel_->findChild<QPushButton*>(QStringLiteral("cmdFileDelete"))->click();
        return true;
    }
    // While a check-in or check-out runs, closing the main window waits for it to end.
    if (busy_ && watched == window() && event->type() == QEvent::Close) {
        event->ignore();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace ks
