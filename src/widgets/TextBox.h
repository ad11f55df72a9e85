#pragma once

#include <QPlainTextEdit>
#include <QTextCursor>

class QTextBlock;
class QTextDocument;

namespace ks {

// A plain-text box that stays quick with lines of any length. The toolkit lays a paragraph out
// as a whole, again at every key in it, so one line of a million characters would hold the
// window for minutes. Here a long line is kept in pieces of a few thousand characters, each a
// paragraph of the document, the pieces after the first marked as continuing the one before;
// reading the box joins them again. What the box holds is exactly the text put in or typed: the
// keys that delete or break a line next to a piece's border, pasting, dropping and copying all
// work on that text.
class TextBox : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TextBox(QWidget* parent = nullptr);

    // The text, as put in or typed; a line break is "\n".
    QString text() const;
    // Shows a text of any length; the undo history starts afresh.
    void setText(const QString& text);
    // Selects `length` characters of the text from `start` and scrolls them into view.
    void selectText(qsizetype start, qsizetype length);

    // The longest text that typing, pasting or dropping may make (none when negative); input
    // that would make the text longer is refused, and inputRefused() says so. A longer text put
    // in with setText is shown whole.
    void setLongestText(qsizetype characters) { longest_ = characters; }
    qsizetype longestText() const { return longest_; }

Q_SIGNALS:
    void inputRefused();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;

private:
    // Whether `added` characters in place of the selection of `replaced` keep the text within
    // the longest text; says so when they do not.
    bool makesRoomFor(qsizetype added, const QTextCursor& replaced);
    // After any edit, as part of it: mends the marks around the edited part, then cuts the
    // paragraphs there that have grown too long and joins empty pieces to their neighbours.
    void tidy();
    void mendMarks(QTextCursor& cursor, int from, int to);
    void keepPiecesShort(QTextCursor& cursor, int from, int to);

    qsizetype longest_ = -1;
    // The part of the document changed since the last tidying (null cursors: none).
    QTextCursor changedFrom_;
    QTextCursor changedTo_;
};

// The text of a box's document, its pieces of long lines joined (see TextBox); the text of any
// plain-text box.
QString documentText(const QTextDocument* document);
// Whether a paragraph of a box's document is a piece continuing the line of the one before,
// rather than a line of its own.
bool continuesLine(const QTextBlock& block);

}  // namespace ks
