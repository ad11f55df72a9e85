#include "widgets/TextBox.h"

#include "widgets/TextPieces.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>
#include <vector>

namespace ks {

namespace {

// A long line's pieces are paragraphs of the document marked on both sides of each cut: the
// paragraph after a cut continues the one before, and the one before is continued by the next.
// Two marks, so that an edit that merges paragraphs and keeps the wrong one's marks (the toolkit
// keeps the last one's when a deletion starts at a paragraph's start) can be mended from the
// paragraphs around it, which the edit did not touch.
constexpr int kAfterCut = QTextFormat::UserProperty + 1;
constexpr int kBeforeCut = QTextFormat::UserProperty + 2;
bool hasMark(const QTextBlock& block, int mark) {
    return block.isValid() && block.blockFormat().boolProperty(mark);
}

bool continues(const QTextBlock& block) {
    return hasMark(block, kAfterCut);
}

QTextBlockFormat withMark(QTextBlockFormat format, int mark, bool on) {
    if (on) {
        format.setProperty(mark, true);
    } else {
        format.clearProperty(mark);
    }
    return format;
}

// Sets one mark of a paragraph, when it is not already so.
void mark(QTextCursor& cursor, const QTextBlock& block, int which, bool on) {
    if (block.isValid() && hasMark(block, which) != on) {
        cursor.setPosition(block.position());
        cursor.setBlockFormat(withMark(block.blockFormat(), which, on));
    }
}

// Breaks the cursor's paragraph at the cursor: a line break, or a cut of a long line.
void insertBreak(QTextCursor& cursor, bool cut) {
    const QTextBlock head = cursor.block();
    // The tail keeps what followed the paragraph; the head now ends at the break.
    cursor.insertBlock(withMark(head.blockFormat(), kAfterCut, cut));
    QTextCursor other(cursor);
    mark(other, head, kBeforeCut, cut);
}

// The text between two positions of the document, pieces joined.
QString textBetween(const QTextDocument* document, int from, int to) {
    QString text;
    for (QTextBlock block = document->findBlock(from); block.isValid() && block.position() <= to;
         block = block.next()) {
        if (block.position() > from && !continues(block)) {
            text += u'\n';
        }
        const int start = std::max(from, block.position()) - block.position();
        const int end = std::min(to, block.position() + block.length() - 1) - block.position();
        text += QStringView(block.text()).sliced(start, std::max(0, end - start));
    }
    return text;
}

// The position in the document of the character `offset` of the text.
int documentPosition(const QTextDocument* document, qsizetype offset) {
    qsizetype passed = 0;  // characters of the text before the block
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block != document->begin() && !continues(block)) {
            ++passed;
        }
        const qsizetype length = block.length() - 1;
        if (offset <= passed + length) {
            return block.position() + static_cast<int>(std::max<qsizetype>(0, offset - passed));
        }
        passed += length;
    }
    return document->characterCount() - 1;
}

}  // namespace

bool continuesLine(const QTextBlock& block) {
    return continues(block);
}

QString documentText(const QTextDocument* document) {
    QString text;
    text.reserve(document->characterCount());
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block != document->begin() && !continues(block)) {
            text += u'\n';
        }
        text += block.text();
    }
    return text;
}

TextBox::TextBox(QWidget* parent) : QPlainTextEdit(parent) {
    connect(document(), &QTextDocument::contentsChange, this, [this](int at, int, int added) {
        const int last = std::max(0, document()->characterCount() - 1);
        const int end = std::clamp(at + added, 0, last);
        at = std::clamp(at, 0, end);
        if (changedFrom_.isNull()) {
            changedFrom_ = QTextCursor(document());
            changedTo_ = QTextCursor(document());
            changedFrom_.setPosition(at);
            changedTo_.setPosition(end);
            return;
        }
        changedFrom_.setPosition(std::min(changedFrom_.position(), at));
        changedTo_.setPosition(std::min(std::max(changedTo_.position(), end), last));
    });
}

QString TextBox::text() const {
    return documentText(document());
}

void TextBox::setText(const QString& text) {
    // The marks of the text being replaced mean nothing for the new one.
    changedFrom_ = changedTo_ = QTextCursor();
    if (!hasLongLine(text)) {
        setPlainText(text);
        changedFrom_ = changedTo_ = QTextCursor();
        return;
    }
    QString shown;
    shown.reserve(text.size() + text.size() / kPieceLength + 1);
    std::vector<bool> cut;  // for each paragraph: whether it continues the one before
    forEachPiece(text, [&](QStringView piece, Break before) {
        if (before != Break::None) {
            shown += u'\n';
        }
        cut.push_back(before == Break::Piece);
        shown += piece;
    });
    setPlainText(shown);
    if (std::find(cut.begin(), cut.end(), true) != cut.end()) {
        // One edit for all the marks, kept out of the undo history (which starts afresh): the
        // document is laid out again only where it is shown.
        document()->setUndoRedoEnabled(false);
        QTextCursor cursor(document());
        cursor.beginEditBlock();
        QTextBlock block = document()->begin();
        for (const bool piece : cut) {
            if (piece) {
                mark(cursor, block.previous(), kBeforeCut, true);
                mark(cursor, block, kAfterCut, true);
            }
            block = block.next();
        }
        cursor.endEditBlock();
        document()->setUndoRedoEnabled(true);
    }
    changedFrom_ = changedTo_ = QTextCursor();
}

void TextBox::selectText(qsizetype start, qsizetype length) {
    QTextCursor cursor(document());
    cursor.setPosition(documentPosition(document(), start));
    cursor.setPosition(documentPosition(document(), start + length), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    ensureCursorVisible();
}

bool TextBox::makesRoomFor(qsizetype added, const QTextCursor& replaced) {
    const int from = replaced.selectionStart();
    const int to = replaced.selectionEnd();
    if (longest_ < 0 || added <= to - from - (document()->blockCount() - 1)) {
        return true;
    }
    // The document counts a cut as a character: at least the text's length outside the part
    // replaced.
    if (document()->characterCount() - 1 - (to - from) + added <= longest_ ||
        text().size() - textBetween(document(), from, to).size() + added <= longest_) {
        return true;
    }
    emit inputRefused();
    return false;
}

void TextBox::keyPressEvent(QKeyEvent* event) {
    QTextCursor cursor = textCursor();
    if (isReadOnly()) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    const bool selected = cursor.hasSelection();
    const bool typed = !event->text().isEmpty() && event->text().front().isPrint() &&
                       !(event->modifiers() & Qt::ControlModifier);
    const bool newLine = event->matches(QKeySequence::InsertParagraphSeparator);
    if ((typed || newLine) && !makesRoomFor(newLine ? 1 : event->text().size(), cursor)) {
        event->accept();
        return;
    }
    if (newLine) {
        // A line break starts a line of its own, never a piece of the line it breaks.
        cursor.beginEditBlock();
        cursor.removeSelectedText();
        insertBreak(cursor, false);
        cursor.endEditBlock();
        setTextCursor(cursor);
        ensureCursorVisible();
        tidy();
        event->accept();
        return;
    }
    // Deleting next to a cut deletes the character beyond it, not the cut.
    const bool back = event->key() == Qt::Key_Backspace;
    const bool forward =
        event->matches(QKeySequence::Delete) || event->matches(QKeySequence::DeleteEndOfWord);
    if (!selected && back && cursor.atBlockStart() && continues(cursor.block())) {
        cursor.movePosition(QTextCursor::PreviousCharacter);
        setTextCursor(cursor);
    } else if (!selected && forward && cursor.atBlockEnd() && continues(cursor.block().next())) {
        cursor.movePosition(QTextCursor::NextCharacter);
        setTextCursor(cursor);
    }
    QPlainTextEdit::keyPressEvent(event);
    tidy();
}

void TextBox::inputMethodEvent(QInputMethodEvent* event) {
    QPlainTextEdit::inputMethodEvent(event);
    tidy();
}

void TextBox::contextMenuEvent(QContextMenuEvent* event) {
    QPlainTextEdit::contextMenuEvent(event);  // its actions have run when it returns
    tidy();
}

void TextBox::dropEvent(QDropEvent* event) {
    QPlainTextEdit::dropEvent(event);
    tidy();
}

void TextBox::insertFromMimeData(const QMimeData* source) {
    if (isReadOnly() || source == nullptr || !source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    const QString text = source->text();
    QTextCursor cursor = textCursor();
    if (!makesRoomFor(text.size(), cursor)) {
        return;
    }
    // Inserted piece by piece in one edit, so that no paragraph is ever laid out whole.
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    forEachPiece(text, [&](QStringView piece, Break before) {
        if (before != Break::None) {
            insertBreak(cursor, before == Break::Piece);
        }
        cursor.insertText(piece.toString());
    });
    cursor.endEditBlock();
    setTextCursor(cursor);
    ensureCursorVisible();
    tidy();
}

QMimeData* TextBox::createMimeDataFromSelection() const {
    const QTextCursor cursor = textCursor();
    if (!cursor.hasSelection()) {
        return QPlainTextEdit::createMimeDataFromSelection();
    }
    auto* copied = new QMimeData;
    copied->setText(textBetween(document(), cursor.selectionStart(), cursor.selectionEnd()));
    return copied;
}

void TextBox::tidy() {
    if (changedFrom_.isNull()) {
        return;
    }
    const int from = changedFrom_.position();
    const int to = changedTo_.position();
    changedFrom_ = changedTo_ = QTextCursor();
    QTextCursor cursor(document());
    cursor.joinPreviousEditBlock();
    mendMarks(cursor, from, to);
    keepPiecesShort(cursor, from, to);
    cursor.endEditBlock();
    changedFrom_ = changedTo_ = QTextCursor();
}

void TextBox::mendMarks(QTextCursor& cursor, int from, int to) {
    QTextBlock block = document()->findBlock(from);
    const QTextBlock last = document()->findBlock(to);
    // The border before the edit: the paragraph before it says what it is. Borders inside the
    // edit are cuts only when both sides say so.
    bool cut = hasMark(block.previous(), kBeforeCut);
    while (true) {
        mark(cursor, block.previous(), kBeforeCut, cut);
        mark(cursor, block, kAfterCut, cut);
        if (block == last || !block.next().isValid()) {
            break;
        }
        block = block.next();
        cut = hasMark(block.previous(), kBeforeCut) && continues(block);
    }
    // The border after the edit: the paragraph after it says what it is.
    mark(cursor, block, kBeforeCut, continues(block.next()));
}

void TextBox::keepPiecesShort(QTextCursor& cursor, int from, int to) {
    QTextBlock block = document()->findBlock(from);
    if (block.previous().isValid()) {
        block = block.previous();
    }
    // The end of the edit, and the paragraph after it; kept where it is by every edit below.
    QTextCursor end(document()->findBlock(to));
    end.movePosition(QTextCursor::NextBlock);
    end.movePosition(QTextCursor::EndOfBlock);
    while (block.isValid() && block.position() <= end.position()) {
        const QTextBlock next = block.next();
        if (block.length() - 1 > kLongestPiece) {
            const QString text = block.text();
            std::vector<qsizetype> cuts;
            for (qsizetype at = pieceEnd(text, 0); at < text.size(); at = pieceEnd(text, at)) {
                cuts.push_back(at);
            }
            // From the last cut back, so that the earlier cuts stay where they are.
            for (auto cut = cuts.rbegin(); cut != cuts.rend(); ++cut) {
                cursor.setPosition(block.position() + static_cast<int>(*cut));
                insertBreak(cursor, true);
            }
            block = document()->findBlock(cursor.position());
        } else if (continues(next) && (block.length() == 1 || next.length() == 1)) {
            // An empty piece joins its neighbour: the first one's border before, the second's
            // after.
            const QTextBlockFormat format =
                withMark(block.blockFormat(), kBeforeCut, hasMark(next, kBeforeCut));
            cursor.setPosition(next.position());
            cursor.deletePreviousChar();
            cursor.setBlockFormat(format);
            block = document()->findBlock(cursor.position());
        } else {
            block = next;
        }
    }
}

}  // namespace ks
