#include "journal/StatisticsFrame.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>

#include "core/Clock.h"
#include "journal/EntryCounts.h"
#include "widgets/Controls.h"

namespace ks {

namespace {

QLabel* addFigure(QGridLayout* grid, const char* captionName, const QString& caption,
                  const char* valueName, const QString& value) {
    const int row = grid->rowCount();
    auto* valueLabel = makeLabel(nullptr, QString::fromLatin1(valueName), value);
    valueLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // A fixed size, wide enough for a word count of a very long entry: a new figure at each key
    // then repaints the label alone instead of asking the whole window to lay itself out again.
    valueLabel->setFixedSize(
        valueLabel->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")),
        valueLabel->sizeHint().height());
    grid->addWidget(makeLabel(nullptr, QString::fromLatin1(captionName), caption, valueLabel), row,
                    0);
    grid->addWidget(valueLabel, row, 1);
    return valueLabel;
}

TypingKey typingKey(int key) {
    switch (key) {
        case Qt::Key_Space:
            return TypingKey::Space;
        case Qt::Key_Backspace:
            return TypingKey::Backspace;
        case Qt::Key_Delete:
            return TypingKey::Delete;
        default:
            return TypingKey::Other;
    }
}

}  // namespace

StatisticsFrame::~StatisticsFrame() = default;

StatisticsFrame::StatisticsFrame(const Clock& clock, QWidget* parent)
    : QGroupBox(QStringLiteral("Statistics"), parent), clock_(clock) {
    setObjectName(QStringLiteral("Frame1"));
    auto* grid = new QGridLayout(this);
    lblWordCount_ = addFigure(grid, "Label8", QStringLiteral("Typing speed (WPM):"), "lblWordCount",
                              statistics_.speedText());
    lblAccuracy_ = addFigure(grid, "Label10", QStringLiteral("Accuracy (%):"), "lblAccuracy",
                             statistics_.accuracyText());
    lblWords_ =
        addFigure(grid, "Label9", QStringLiteral("Words:"), "lblWords", statistics_.wordsText());
    lblParagraphs_ = addFigure(grid, "Label12", QStringLiteral("Paragraphs:"), "lblParagraphs",
                               statistics_.paragraphsText());
    lstJournalDates_ = new QListWidget(this);
    lstJournalDates_->setObjectName(QStringLiteral("lstJournalDates"));
    lstJournalDates_->hide();
}

void StatisticsFrame::watch(QPlainTextEdit* box) {
    box_ = box;
    counts_ = std::make_unique<EntryCounts>(box_->document());
    box_->installEventFilter(this);
}

void StatisticsFrame::reset() {
    statistics_.reset();
}

void StatisticsFrame::startAfresh() {
    statistics_ = TypingStatistics();
    showFigures();
}

bool StatisticsFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == box_) {
        if (event->type() == QEvent::KeyPress) {
            // Before the key reaches the box: the text is still the one before this key.
            const auto* key = static_cast<QKeyEvent*>(event);
            statistics_.keyDownCounted(typingKey(key->key()), counts_->pieces(), clock_.now());
            showFigures();
        } else if (event->type() == QEvent::KeyRelease) {
            statistics_.keyUpCounted(counts_->paragraphs());
            showFigures();
        }
    }
    return QGroupBox::eventFilter(watched, event);
}

void StatisticsFrame::showFigures() {
    lblWordCount_->setText(statistics_.speedText());
    lblAccuracy_->setText(statistics_.accuracyText());
    lblWords_->setText(statistics_.wordsText());
    lblParagraphs_->setText(statistics_.paragraphsText());
}

}  // namespace ks
