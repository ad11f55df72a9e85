#include "vault/CategoryHintPanel.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QListWidget>
#include <QVBoxLayout>

#include "widgets/Controls.h"

namespace ks {

namespace {

QStringList entriesOf(const QListWidget& list) {
    QStringList entries;
    entries.reserve(list.count());
    for (int i = 0; i < list.count(); ++i) {
        entries.append(list.item(i)->text());
    }
    return entries;
}

}  // namespace

CategoryHintPanel::CategoryHintPanel(QWidget* window, QComboBox* box, const QListWidget& source)
    : QFrame(window), box_(box), source_(source) {
    setObjectName(QStringLiteral("pctHint"));
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    // Its place in the window stays reserved while it is hidden, so that showing it moves
    // nothing and it never lies over another control.
    QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    policy.setRetainSizeWhenHidden(true);
    setSizePolicy(policy);
    lblHint_ = new ElidedLabel(this);
    lblHint_->setObjectName(QStringLiteral("lblHint"));
    lblHint_->setForegroundRole(QPalette::ToolTipText);
    lblHint_->setAlignment(Qt::AlignCenter);
    lblHint_->setCursor(Qt::PointingHandCursor);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(lblHint_);
    hide();

    // The hint is the box's only completion; typed names are not added to its list.
    box_->setCompleter(nullptr);
    box_->setInsertPolicy(QComboBox::NoInsert);
    box_->installEventFilter(this);
    lblHint_->installEventFilter(this);
}

void CategoryHintPanel::dismiss() {
    hint_.visible = false;
    hide();
}

void CategoryHintPanel::keyReleased(int key) {
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && isVisible()) {
        take();
        emit takenByEnter();
        return;
    }
    hint_ = nextHint(hint_, entriesOf(source_), box_->currentText());
    show(hint_);
}

void CategoryHintPanel::boxLostFocus() {
    dismiss();
    const QString adopted = adoptHintSpelling(box_->currentText(), hint_.caption);
    if (adopted != box_->currentText()) {
        box_->setEditText(adopted);
    }
}

void CategoryHintPanel::take() {
    box_->setEditText(hint_.caption);
    dismiss();
}

void CategoryHintPanel::show(const CompletionHint& hint) {
    lblHint_->setText(hint.caption);
    setVisible(hint.visible);
}

bool CategoryHintPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == box_) {
        if (event->type() == QEvent::KeyRelease) {
            keyReleased(static_cast<QKeyEvent*>(event)->key());
        } else if (event->type() == QEvent::FocusOut) {
            boxLostFocus();
        }
    } else if (watched == lblHint_ && event->type() == QEvent::MouseButtonRelease &&
               static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        take();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

}  // namespace ks
