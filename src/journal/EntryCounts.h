#pragma once

#include <QtGlobal>

class QTextDocument;

namespace ks {

// The counts the typing statistics need from a journal entry, worked out from the entry box's
// document paragraph by paragraph. Each paragraph remembers its own figures until the document
// says it changed, so a key costs the paragraphs it touched plus one short step per paragraph,
// not a copy and a count of the whole entry. The figures are those of the entry's text
// (entryText): paragraphs parted by line breaks, the pieces of a long line joined.
class EntryCounts {
public:
    explicit EntryCounts(QTextDocument* document);

    // Pieces between spaces that hold anything but spaces (TypingStatistics::countWords).
    qint64 pieces() const;
    // Half the line breaks, rounded down, plus one (TypingStatistics::countParagraphs).
    qint64 paragraphs() const;

private:
    QTextDocument* document_;
};

}  // namespace ks
