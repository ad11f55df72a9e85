#pragma once

#include <QWidget>
#include <memory>

#include "core/Services.h"

class QListWidget;
class QPushButton;
class QTreeWidget;

namespace ks {

class Archiver;
class WorkStatus;
struct CheckInResult;

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

    // Whether a check-in is running (the window cannot be closed meanwhile).
    bool busy() const { return busy_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void reportCheckIn(const CheckInResult& result);
    QString archivePath() const;

    Services& services_;
    WorkStatus& status_;
    std::unique_ptr<Archiver> archiver_;
    bool busy_ = false;
    QWidget* panel_;
    QTreeWidget* lvFiles_;
    QListWidget* lstFilesToDelete_;
};

}  // namespace ks
