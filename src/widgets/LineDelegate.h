#pragma once

#include <QStyledItemDelegate>

namespace ks {

// Paints each row of a list as one line of text, elided at the right, on the style's item
// panel (selection and hover) with its focus frame. The general delegate lays every row's text
// out as a paragraph at each paint, which a list of thousands of short lines does not need.
class LineDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

}  // namespace ks
