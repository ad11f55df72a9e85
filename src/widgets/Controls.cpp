#include "widgets/Controls.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStylePainter>

#include "widgets/Icons.h"
#include "widgets/SecretClipboard.h"

namespace ks {

namespace {
// Characters a narrowed combo box makes room for.
constexpr int kNarrowBoxCharacters = 16;
// The width an elided label asks for when its text is short, in characters.
constexpr int kElidedLabelCharacters = 12;
}  // namespace

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption, QWidget* buddy) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setText(caption);
    label->setBuddy(buddy);
    return label;
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

QLineEdit* makePasswordBox(QWidget* parent, const QString& name) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setEchoMode(QLineEdit::Password);
    box->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));  // "*"
    keepOutOfSelection(box);                                                 // once shown
    return box;
}

QAction* addRevealToggle(QLineEdit* box, const QList<QLineEdit*>& alongside) {
    QAction* reveal = makeRevealToggle(box, alongside);
    box->addAction(reveal, QLineEdit::TrailingPosition);
    return reveal;
}

QAction* makeRevealToggle(QLineEdit* box, const QList<QLineEdit*>& alongside) {
    auto* reveal =
        new QAction(themedIcon(QStringLiteral("view-reveal-symbolic"), QStringLiteral("reveal")),
                    QString(), box);
    reveal->setObjectName(box->objectName() + QStringLiteral("Reveal"));
    reveal->setCheckable(true);
    reveal->setToolTip(QObject::tr("Show or hide the password"));
    QObject::connect(reveal, &QAction::toggled, box, [box, alongside](bool shown) {
        const QLineEdit::EchoMode mode = shown ? QLineEdit::Normal : QLineEdit::Password;
        box->setEchoMode(mode);
        for (QLineEdit* other : alongside) {
            other->setEchoMode(mode);
        }
    });
    return reveal;
}

QString plainToolTip(const QString& text) {
    if (text.isEmpty()) {
        return text;
    }
    // Marked as rich text so that the tooltip wraps; the text itself is escaped.
    return QStringLiteral("<p>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

QString oneLineText(const QString& text) {
    constexpr char16_t kControlPictures = 0x2400;  // the symbol of control character c is this + c
    constexpr char16_t kDeletePicture = 0x2421;
    QString line = text;
    for (QChar& c : line) {
        if (c.unicode() < 0x20) {
            c = QChar(static_cast<char16_t>(kControlPictures + c.unicode()));
        } else if (c.unicode() == 0x7f) {
            c = QChar(kDeletePicture);
        }
    }
    return line;
}

void keepNarrow(QComboBox* box) {
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(kNarrowBoxCharacters);
    box->view()->setTextElideMode(Qt::ElideRight);
    box->view()->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QObject::connect(box, &QComboBox::currentTextChanged, box,
                     [box](const QString& text) { box->setToolTip(plainToolTip(text)); });
}

void addEntries(QComboBox* box, const QStringList& entries) {
    for (const QString& entry : entries) {
        box->addItem(entry);
        box->setItemData(box->count() - 1, plainToolTip(entry), Qt::ToolTipRole);
    }
}

void addEntries(QListWidget* list, const QStringList& entries) {
    list->setTextElideMode(Qt::ElideRight);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (const QString& entry : entries) {
        auto* item = new QListWidgetItem(entry, list);
        item->setToolTip(plainToolTip(entry));
    }
}

void ElidedComboBox::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    option.currentText =
        fontMetrics().elidedText(shownText(option.currentText), elideMode(), field.width());
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidedLabel::setText(const QString& text) {
    QLabel::setText(text);
    setToolTip(plainToolTip(text));
}

QSize ElidedLabel::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    const int width = std::min(metrics.horizontalAdvance(text()),
                               metrics.averageCharWidth() * kElidedLabelCharacters);
    return {width + 2 * margin(), metrics.height() + 2 * margin()};
}

QSize ElidedLabel::minimumSizeHint() const {
    return {0, sizeHint().height()};
}

void ElidedLabel::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
    style()->drawItemText(&painter, area, static_cast<int>(alignment()), palette(), isEnabled(),
                          shown, foregroundRole());
}

}  // namespace ks
