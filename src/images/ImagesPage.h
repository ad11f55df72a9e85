#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

#include "core/Services.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace ks {

// The Images tab: the user's pictures, a preview of the one last clicked, check-in, the
// full-screen view and deletion.
class ImagesPage : public QWidget {
    Q_OBJECT
public:
    explicit ImagesPage(Services& services, QWidget* parent = nullptr);
    ~ImagesPage() override;

    // The button panel `pctImages` (a QVBoxLayout); the main window adds About and Quit.
    QWidget* buttonPanel() const { return panel_; }

    // Fills `lstImages` with the user's pictures in the table's stored order.
    void ListImages();
    // Shows the picture `counter` of the user: decoded at the box's size in `imgPreview`, or
    // (not previewOnly) also at its own size in the viewer. A picture that cannot be decoded
    // changes nothing and says nothing.
    void ShowImage(qint64 counter, bool previewOnly);

Q_SIGNALS:
    // Asks the main window to show a picture in the viewer; returns once the viewer is hidden.
    void viewPicture(const QImage& picture);
    // "Check Out" was pressed: the Counters selected in `lstImages` (in list order), out of
    // `rows` pictures listed.
    void checkOutRequested(const QList<qint64>& selected, int rows);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void cmdIMGNew_Click();
    void cmdIMGView_Click();
    void cmdIMGDelete_Click();
    void cmdIMGCheckOut_Click();
    void lstImages_Click();
    void lstImages_DblClick();
    // The counter of the list's current item, when at least one item is selected.
    std::optional<qint64> currentSelected() const;
    // The preview box's room for a picture, and a picture made as large as fits in a box with
    // its proportions kept.
    QSize previewBox() const;
    static QImage fitted(const QImage& picture, QSize box);
    // Shows the previewed picture fitted to the box, again whenever the box changes size.
    void showPreview();

    Services& services_;
    QPointer<QWidget> panel_;
    QListWidget* lstImages_;
    QListWidget* lstIMGToDelete_;
    QLabel* imgPreview_;
    QImage preview_;  // the previewed picture, fitted to the box when it was shown
};

}  // namespace ks
