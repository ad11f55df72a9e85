#include "widgets/LineDelegate.h"

#include <QApplication>
#include <QPainter>

namespace ks {

namespace {

// Enough for every row a window shows several times over; the rest are laid out again.
constexpr qsizetype kKeptLines = 1000;

}  // namespace

const QStaticText& LineDelegate::line(const QString& text, const QFont& font,
                                      const QFontMetrics& metrics, int width) const {
    if (width != linesWidth_ || font != linesFont_ || lines_.size() >= kKeptLines) {
        lines_.clear();
        linesWidth_ = width;
        linesFont_ = font;
    }
    auto kept = lines_.constFind(text);
    if (kept == lines_.cend()) {
        QString shown = text;
        shown.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QChar::LineSeparator, u' ');
        QStaticText laidOut(metrics.elidedText(shown, Qt::ElideRight, width));
        laidOut.setTextFormat(Qt::PlainText);
        laidOut.prepare(QTransform(), font);
        kept = lines_.insert(text, laidOut);
    }
    return kept.value();
}

void LineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    QStyleOptionViewItem panel = option;
    panel.index = index;
    const QWidget* widget = option.widget;
    const QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &panel, painter, widget);

    // The same margins as the style gives the text of an item.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect textRect = option.rect.adjusted(margin, 0, -margin, 0);
    const QStaticText& text = line(index.data(Qt::DisplayRole).toString(), option.font,
                                   option.fontMetrics, textRect.width());
    const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled)  ? QPalette::Disabled
                                       : !(option.state & QStyle::State_Active) ? QPalette::Inactive
                                                                                : QPalette::Normal;
    painter->save();
    painter->setPen(option.palette.color(group, (option.state & QStyle::State_Selected)
                                                    ? QPalette::HighlightedText
                                                    : QPalette::Text));
    painter->setFont(option.font);
    const QSizeF size = text.size();
    const qreal x =
        option.direction == Qt::RightToLeft ? textRect.right() + 1 - size.width() : textRect.left();
    painter->drawStaticText(QPointF(x, textRect.top() + (textRect.height() - size.height()) / 2),
                            text);
    painter->restore();

    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = style->subElementRect(QStyle::SE_ItemViewItemFocusRect, &panel, widget);
        focus.state |= QStyle::State_KeyboardFocusChange;
        focus.backgroundColor = option.palette.color(group, (option.state & QStyle::State_Selected)
                                                                ? QPalette::Highlight
                                                                : QPalette::Window);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
}

}  // namespace ks
