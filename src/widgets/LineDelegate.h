#pragma once

#include <QFont>
#include <QHash>
#include <QStaticText>
#include <QStyledItemDelegate>

namespace ks {

// Paints each row of a list as one line of text, elided at the right, on the style's item
// panel (selection and hover) with its focus frame. The general delegate lays every row's text
// out as a paragraph at each paint, which a list of thousands of short lines does not need; the
// lines last painted are kept laid out, since a list is painted again with the same rows after
// every refill.
class LineDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    // `text` laid out as one line, elided to `width` in `font`.
    const QStaticText& line(const QString& text, const QFont& font, const QFontMetrics& metrics,
                            int width) const;

    mutable QHash<QString, QStaticText> lines_;
    mutable QFont linesFont_;
    mutable int linesWidth_ = -1;
};

}  // namespace ks
