#include "journal/EntryCounts.h"

#include <QTextBlock>
#include <QTextDocument>

#include "journal/TypingStatistics.h"
#include "widgets/TextBox.h"

namespace ks {

namespace {

// The figures of one paragraph, kept with it.
struct ParagraphFigures : QTextBlockUserData {
    int length = 0;         // the paragraph's length when counted, as a check
    qint64 pieces = 0;      // countWords of the paragraph alone
    qint64 lineBreaks = 0;  // line breaks inside the paragraph
    bool empty = true;
    bool startsWithWord = false;
    bool endsWithSpace = false;
};

bool isLineBreak(QChar c) {
    return c == QLatin1Char('\n') || c == QChar::LineSeparator;
}

const ParagraphFigures& figuresOf(QTextBlock block) {
    auto* kept = static_cast<ParagraphFigures*>(block.userData());
    if (kept != nullptr && kept->length == block.length()) {
        return *kept;
    }
    auto* figures = new ParagraphFigures;
    const QString text = block.text();
    figures->length = block.length();
    figures->pieces = TypingStatistics::countWords(text);
    for (const QChar c : text) {
        figures->lineBreaks += isLineBreak(c) ? 1 : 0;
    }
    figures->empty = text.isEmpty();
    figures->startsWithWord = !text.isEmpty() && text.front() != QLatin1Char(' ');
    figures->endsWithSpace = !text.isEmpty() && text.back() == QLatin1Char(' ');
    block.setUserData(figures);  // the block owns it and drops the one it had
    return *figures;
}

}  // namespace

EntryCounts::EntryCounts(QTextDocument* document) : document_(document) {
    // A changed paragraph forgets its figures; new ones are counted when next asked for.
    QObject::connect(document_, &QTextDocument::contentsChange, document_,
                     [document = document_](int position, int, int added) {
                         QTextBlock block = document->findBlock(position);
                         const QTextBlock last = document->findBlock(position + added);
                         while (block.isValid()) {
                             block.setUserData(nullptr);
                             if (block == last) {
                                 break;
                             }
                             block = block.next();
                         }
                     });
}

qint64 EntryCounts::pieces() const {
    // The paragraphs joined by line breaks, which are not spaces: a break after a space starts
    // a piece, and a paragraph's first word then continues the break's piece.
    qint64 total = 0;
    bool afterSpace = true;
    for (QTextBlock block = document_->begin(); block.isValid(); block = block.next()) {
        // A piece of a long line continues the text of the one before without a break.
        if (block != document_->begin() && !continuesLine(block)) {
            total += afterSpace ? 1 : 0;
            afterSpace = false;
        }
        const ParagraphFigures& figures = figuresOf(block);
        total += figures.pieces - (figures.startsWithWord && !afterSpace ? 1 : 0);
        if (!figures.empty) {
            afterSpace = figures.endsWithSpace;
        }
    }
    return total;
}

qint64 EntryCounts::paragraphs() const {
    qint64 breaks = 0;
    for (QTextBlock block = document_->begin(); block.isValid(); block = block.next()) {
        breaks += (block != document_->begin() && !continuesLine(block) ? 1 : 0) +
                  figuresOf(block).lineBreaks;
    }
    return breaks / 2 + 1;
}

}  // namespace ks
