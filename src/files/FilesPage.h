#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "core/Services.h"
#include "files/CheckOutTexts.h"
#include "files/Launch.h"

class QListWidget;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace ks {

class Archiver;
class CheckOutWindow;
class WorkStatus;
struct CheckInResult;
struct CheckOutReport;

// The Files tab: the user's stored files with their sizes and dates; check-in and deletion.
class FilesPage : public QWidget {
    Q_OBJECT
public:
    // `status` is the main window's status display for long steps.
    FilesPage(Services& services, WorkStatus& status, QWidget* parent = nullptr);
    ~FilesPage() override;

    // The button panel `pctFiles` (a QVBoxLayout); the main window adds About and Quit.
    QWidget* buttonPanel() const { return panel_; }

    // Lets the user pick a file, packs it and stores it; the list is refreshed.
    void AddFileToStore();
    // Fills `lvFiles` with the current user's stored files.
    void RefreshFileList();
    // The delete dialogue: asks about the selected files and deletes them on Yes.
    void deleteSelectedFiles();
    // Deletes the user's rows of the list keys ("K" and the Counter), then refreshes the list.
    void DeleteFileRecords(const QStringList& keys);

    // Packs files with `archiver` from now on (the program's own is gcab).
    void useArchiver(std::unique_ptr<Archiver> archiver);

    // Opens `Form6` for `kind` with the Counters selected in the main list, out of `rows` rows;
    // with no rows at all the user is told there is nothing to export.
    void openCheckOut(CheckOutKind kind, const QList<qint64>& selected, int rows);
    // Checks out into `destination` with the status window up, then reports what failed.
    void runCheckOut(CheckOutKind kind, bool all, const QList<qint64>& selection,
                     const QString& destination);
    // The launch selection: the first selected row of `lvFiles` is launched; `warnOfMore`
    // (the button, not the double-click) tells the user when several are selected.
    void launchSelection(bool warnOfMore);
    // Checks the user's stored file `counter` out into the launch folder and opens it.
    void LaunchStoredFile(qint64 counter);
    // Opens launched files with `open` from now on (the program's own opens them on the desktop).
    void useUrlOpener(UrlOpener open);
    // The check-out window, once it has been opened.
    CheckOutWindow* checkOutWindow() const { return form6_; }

    // Whether a check-in is running (the window cannot be closed meanwhile).
    bool busy() const { return busy_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void reportCheckIn(const CheckInResult& result);
    void reportCheckOut(CheckOutKind kind, const QString& destination,
                        const CheckOutReport& report);
    // Runs `work` as a long step: the main window cannot be closed meanwhile.
    QList<QTreeWidgetItem*> selectedRows() const;
    static std::optional<qint64> rowCounter(const QTreeWidgetItem* row);
    void whileBusy(const std::function<void()>& work);
    QString archivePath() const;

    Services& services_;
    WorkStatus& status_;
    std::unique_ptr<Archiver> archiver_;
    UrlOpener open_;
    CheckOutWindow* form6_ = nullptr;
    bool busy_ = false;
    QWidget* panel_;
    QTreeWidget* lvFiles_;
    QListWidget* lstFilesToDelete_;
};

}  // namespace ks
