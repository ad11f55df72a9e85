#include "journal/TypingStatistics.h"

#include <cmath>

namespace ks {

namespace {

// More than this many seconds since the last space is a pause.
constexpr qint64 kPauseSeconds = 5;
constexpr qsizetype kShownCharacters = 5;
constexpr int kSignificantDigits = 15;

const QString kNoFigure = QStringLiteral("0");
const QString kFullAccuracy = QStringLiteral("100");

// Whole seconds from `from` to `to`, both taken to the second.
qint64 secondsBetween(const QDateTime& from, const QDateTime& to) {
    return to.toSecsSinceEpoch() - from.toSecsSinceEpoch();
}

bool isLineBreak(QChar c) {
    return c == QLatin1Char('\n') || c == QChar::LineSeparator;
}

}  // namespace

TypingStatistics::TypingStatistics()
    : speed_(kNoFigure), accuracy_(kNoFigure), words_(kNoFigure), paragraphs_(kNoFigure) {
}

QString TypingStatistics::formatFigure(double value) {
    // QString::number ignores the locale: "." is always the decimal separator.
    return QString::number(value, 'g', kSignificantDigits).left(kShownCharacters);
}

qint64 TypingStatistics::countWords(QStringView text) {
    qint64 words = 0;
    bool inWord = false;
    for (const QChar c : text) {
        const bool space = c == QLatin1Char(' ');
        if (!space && !inWord) {
            ++words;
        }
        inWord = !space;
    }
    return words;
}

qint64 TypingStatistics::countParagraphs(QStringView text) {
    qint64 breaks = 0;
    for (const QChar c : text) {
        if (isLineBreak(c)) {
            ++breaks;
        }
    }
    return breaks / 2 + 1;
}

double TypingStatistics::leadingNumber(const QString& text) {
    qsizetype end = 0;
    while (end < text.size() && text.at(end) == QLatin1Char(' ')) {
        ++end;
    }
    const qsizetype start = end;
    if (end < text.size() &&
        (text.at(end) == QLatin1Char('-') || text.at(end) == QLatin1Char('+'))) {
        ++end;
    }
    bool point = false;
    while (end < text.size() &&
           (text.at(end).isDigit() || (!point && text.at(end) == QLatin1Char('.')))) {
        point = point || text.at(end) == QLatin1Char('.');
        ++end;
    }
    bool ok = false;
    const double value = QStringView(text).mid(start, end - start).toDouble(&ok);
    return ok ? value : 0.0;
}

void TypingStatistics::showAccuracy() {
    const double words = leadingNumber(words_);
    if (words > 2) {
        const double accuracy = 100.0 - (static_cast<double>(correctionCount_) / words) * 100.0;
        if (accuracy >= 0) {
            accuracy_ = formatFigure(accuracy);
        }
    }
}

void TypingStatistics::showSpeed(const QDateTime& now) {
    const qint64 elapsed = secondsBetween(typingStartTime_, now);
    if (elapsed < 1) {
        return;
    }
    const double minutes = std::round(static_cast<double>(elapsed) / 60.0 * 10000.0) / 10000.0;
    speed_ = formatFigure(leadingNumber(words_) / minutes);
}

void TypingStatistics::keyDown(TypingKey key, QStringView textBefore, const QDateTime& now) {
    keyDownCounted(key, countWords(textBefore), now);
}

void TypingStatistics::keyDownCounted(TypingKey key, qint64 piecesBefore, const QDateTime& now) {
    switch (key) {
        case TypingKey::Space:
            if (!lastWordTime_) {
                correctionCount_ = 0;
                typingStartTime_ = now;
                lastWordTime_ = now;
            } else if (secondsBetween(*lastWordTime_, now) > kPauseSeconds) {
                // A pause starts a new timing run; the corrections are kept.
                typingStartTime_ = now;
                lastWordTime_ = now;
            } else {
                showSpeed(now);
                lastWordTime_ = now;
            }
            break;
        case TypingKey::Backspace:
        case TypingKey::Delete:
            ++correctionCount_;
            showAccuracy();
            break;
        case TypingKey::Other:
            if (!lastWordTime_) {
                break;
            }
            if (correctionCount_ != 0) {
                showAccuracy();
            } else {
                accuracy_ = kFullAccuracy;
            }
            if (secondsBetween(*lastWordTime_, now) > kPauseSeconds) {
                accuracy_ = kFullAccuracy;
                speed_ = kNoFigure;
            } else {
                showSpeed(now);
            }
            break;
    }
    // The word count: pieces between spaces, plus the words that paragraph breaks join to their
    // neighbours without a space.
    const qint64 pieces = piecesBefore;
    const auto paragraphs = static_cast<qint64>(leadingNumber(paragraphs_));
    words_ = QString::number(paragraphs > 1 ? pieces + paragraphs - 1 : pieces);
}

void TypingStatistics::keyUp(QStringView text) {
    keyUpCounted(countParagraphs(text));
}

void TypingStatistics::keyUpCounted(qint64 paragraphs) {
    paragraphs_ = QString::number(paragraphs);
}

void TypingStatistics::reset() {
    lastWordTime_.reset();
    correctionCount_ = 0;
}

}  // namespace ks
