#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>
#include <optional>

namespace ks {

// The keys the typing statistics tell apart.
enum class TypingKey { Space, Backspace, Delete, Other };

// Live figures of the typing in the journal entry: speed in words per minute, accuracy in
// percent, words and paragraphs. Worked out from the text of the entry at each key, from two
// remembered times and from a count of correcting keys. The four figures are kept as the texts
// shown, and the word and paragraph counts are read back from those texts.
class TypingStatistics {
public:
    TypingStatistics();

    // A key goes down; `textBefore` is the entry as it was before the key changed it.
    void keyDown(TypingKey key, QStringView textBefore, const QDateTime& now);
    // The same, with the word pieces of the entry before the key already counted.
    void keyDownCounted(TypingKey key, qint64 piecesBefore, const QDateTime& now);
    // A key went up; `text` is the entry after the key.
    void keyUp(QStringView text);
    // The same, with the paragraphs of the entry after the key already counted.
    void keyUpCounted(qint64 paragraphs);
    // Timing back to idle and corrections cleared; the figures keep their values.
    void reset();

    const QString& speedText() const { return speed_; }
    const QString& accuracyText() const { return accuracy_; }
    const QString& wordsText() const { return words_; }
    const QString& paragraphsText() const { return paragraphs_; }

    // When a space was last pressed during timing; empty while timing is idle.
    const std::optional<QDateTime>& LastWordTime() const { return lastWordTime_; }
    // When the current timing run began.
    const QDateTime& TypingStartTime() const { return typingStartTime_; }
    // Backspace and Delete presses since timing last started from idle.
    qint64 CorrectionCount() const { return correctionCount_; }

    // A figure as shown: 15 significant digits, "." before the decimals, no trailing zeros, no
    // thousands separators, at most 5 characters.
    static QString formatFigure(double value);
    // The pieces of the text between spaces that hold anything but spaces.
    static qint64 countWords(QStringView text);
    // Paragraphs: half the line breaks, rounded down, plus one.
    static qint64 countParagraphs(QStringView text);
    // The leading decimal number of a text; 0 when it has none.
    static double leadingNumber(const QString& text);

private:
    void showAccuracy();
    void showSpeed(const QDateTime& now);

    QString speed_;
    QString accuracy_;
    QString words_;
    QString paragraphs_;
    std::optional<QDateTime> lastWordTime_;
    QDateTime typingStartTime_;
    qint64 correctionCount_ = 0;
};

}  // namespace ks
