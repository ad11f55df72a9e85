#pragma once

#include <QComboBox>
#include <QLabel>
#include <QString>
#include <QStringList>

class QAction;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

namespace ks {

// The small controls every window builds the same way. Labels never read their text as
// markup: what the user typed is shown character for character.

// A plain-text label named `name`, optionally the buddy label of `buddy`.
QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption,
                  QWidget* buddy = nullptr);
// A push button with a caption, named `name`; it is never pressed by Enter in another box.
QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption);
// A box for a password: every character shown as "*"; shown in clear, it never leaves the
// password in the desktop's selection (keepOutOfSelection).
QLineEdit* makePasswordBox(QWidget* parent, const QString& name);

// An eye toggle that shows or masks the characters of a password box, for the box and the
// `alongside` boxes together; masked at first. The boxes keep their value either way. The
// action is named after the box (`<box>Reveal`); it can be put on a button of its own.
QAction* makeRevealToggle(QLineEdit* box, const QList<QLineEdit*>& alongside = {});
// Adds that toggle inside the box, at its end.
QAction* addRevealToggle(QLineEdit* box, const QList<QLineEdit*>& alongside = {});

// A tooltip showing `text` whole and as it is, never read as markup.
QString plainToolTip(const QString& text);
// `text` on one line, for a list: each control character (a line break, a tab) is shown as its
// visible symbol.
QString oneLineText(const QString& text);

// Keeps a combo box at a sane width whatever its entries hold: long entries are elided in the
// box and its list, and the current text is shown whole in the box's tooltip.
void keepNarrow(QComboBox* box);
// Adds entries to a combo box or a list, each with its whole text as tooltip. Lists elide long
// entries instead of scrolling sideways.
void addEntries(QComboBox* box, const QStringList& entries);
void addEntries(QListWidget* list, const QStringList& entries);

// A combo box (not editable) that elides its current text to its width.
class ElidedComboBox : public QComboBox {
public:
    explicit ElidedComboBox(QWidget* parent = nullptr) : QComboBox(parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
    // What the closed box shows for its current item, and which end gives way when it is too
    // long: the item's text, cut at its end, unless a box says otherwise.
    virtual QString shownText(const QString& currentText) const { return currentText; }
    virtual Qt::TextElideMode elideMode() const { return Qt::ElideRight; }
};

// A plain-text label that elides its text to the width it is given instead of widening its
// window; text() keeps the whole text, which the tooltip shows.
class ElidedLabel : public QLabel {
public:
    explicit ElidedLabel(QWidget* parent = nullptr);
    void setText(const QString& text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace ks
