#pragma once

#include <QFrame>

#include "vault/CompletionHint.h"

class QComboBox;
class QLabel;
class QListWidget;

namespace ks {

// The completion hint `pctHint` of the record editor, holding the offered name in `lblHint`. It
// floats just below an editable category box and follows what is typed there: Enter or a click
// on the hint takes it; leaving the box hides it and adopts the known spelling of a name typed in
// another letter case.
class CategoryHintPanel : public QFrame {
    Q_OBJECT
public:
    // `window` hosts the panel; `source` lists the known categories in order.
    CategoryHintPanel(QWidget* window, QComboBox* box, const QListWidget& source);

    // Hides the hint without touching the box.
    void dismiss();

Q_SIGNALS:
    // Enter took the hint: the focus moves on.
    void takenByEnter();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void keyReleased(int key);
    void boxLostFocus();
    void take();
    void show(const CompletionHint& hint);

    QComboBox* box_;
    const QListWidget& source_;
    QLabel* lblHint_;
    CompletionHint hint_;
};

}  // namespace ks
