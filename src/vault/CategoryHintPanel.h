#pragma once

#include <QFrame>

#include "vault/CompletionHint.h"

class QComboBox;
class QListWidget;

namespace ks {

class ElidedLabel;

// The completion hint `pctHint` of the record editor, holding the offered name in `lblHint`. The
// window places it in a slot of its own below the category box; it follows what is typed there:
// Enter or a click on the hint takes it; leaving the box hides it and adopts the known spelling
// of a name typed in another letter case.
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
    ElidedLabel* lblHint_;
    CompletionHint hint_;
};

}  // namespace ks
