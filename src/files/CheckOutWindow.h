#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

#include "core/Services.h"
#include "files/CheckOutTexts.h"

class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace ks {

class VolumeFolderChooser;

// The check-out destination window `Form6`: all items of a kind or only the selected ones, and
// the folder they go to. It is a window of its own (the main window is disabled while it is up
// for files, and it is modal for pictures); it is made once, then shown and hidden.
class CheckOutWindow : public QWidget {
    Q_OBJECT
public:
    // `mainWindow` is enabled again whenever this window goes.
    CheckOutWindow(Services& services, QWidget* mainWindow);

    // Opens for `kind` with the Counters selected in the main list (none: only "All").
    void openFor(CheckOutKind kind, const QList<qint64>& selected);
    // Hides the window and enables the main window.
    void dismiss();

    VolumeFolderChooser* chooser() const { return chooser_; }

Q_SIGNALS:
    // "Start" was pressed: check out into `destination`.
    void startRequested(CheckOutKind kind, bool all, const QList<qint64>& selection,
                        const QString& destination);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Command2_Click();

    Services& services_;
    QPointer<QWidget> mainWindow_;
    QPushButton* start_;
    QRadioButton* optAll_;
    QRadioButton* optSelected_;
    VolumeFolderChooser* chooser_;
    QLabel* lblMode_;
    QListWidget* lstImagesToExport_;
};

}  // namespace ks
