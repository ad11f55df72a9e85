// The plain-text box that keeps long lines in pieces: what it holds is always exactly the text
// put in or typed, whatever is done next to a piece's border.
#include <QtTest>
#include <QtWidgets>
#include <random>

#include "widgets/TextBox.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

// The longest paragraph the box lets its document hold.
constexpr int kLongestPiece = 4096;

class Box : public TextBox {
public:
    using TextBox::createMimeDataFromSelection;
    using TextBox::insertFromMimeData;

    // The offset in the text of the cursor's position.
    qsizetype offset() const { return copied(0, textCursor().position()).size(); }
    QString copied(int from, int to) const {
        QTextCursor cursor(document());
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        Box* self = const_cast<Box*>(this);
        const QTextCursor kept = textCursor();
        self->setTextCursor(cursor);
        const std::unique_ptr<QMimeData> mime(createMimeDataFromSelection());
        self->setTextCursor(kept);
        return mime != nullptr ? mime->text() : QString();
    }
    void paste(const QString& text) {
        QMimeData mime;
        mime.setText(text);
        insertFromMimeData(&mime);
    }
    void putCursor(int position) {
        QTextCursor cursor = textCursor();
        cursor.setPosition(position);
        setTextCursor(cursor);
    }
    int longestParagraph() const {
        int longest = 0;
        for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
            longest = std::max(longest, block.length() - 1);
        }
        return longest;
    }
    // The document position where the second paragraph (a piece of the first line) begins.
    int secondPiece() const { return document()->begin().next().position(); }
};

// One line of words of `length` characters, with other scripts and marks among them.
QString longLine(qsizetype length) {
    const QString words = u"harbour ßtraße 𝔘nicode é̀ ​ \u00A0 Стамбул "_s;
    QString text;
    while (text.size() < length) {
        text += words;
    }
    return text.left(length);
}

// One line of plain words: each character one key's worth.
QString plainLine(qsizetype length) {
    const QString words = u"harbour straße Стамбул quiet "_s;
    QString text;
    while (text.size() < length) {
        text += words;
    }
    return text.left(length);
}

}  // namespace

class TextBoxTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A text put in place of an edited one, or the box emptied: the box's record of what changed
    // starts afresh, with no position outside the new text (the toolkit warns of one).
    void textPutInPlaceOfAnEditedOneStartsAfresh() {
        QTest::failOnWarning(QRegularExpression(u"out of range"_s));
        Box box;
        for (const QString& text : {u"n"_s.repeated(106), u"m"_s.repeated(54), u"x"_s}) {
            box.setText(text);
            box.putCursor(box.document()->characterCount() - 1);
            QTest::keyClicks(&box, u"ab"_s);
            QCOMPARE(box.text(), text + u"ab"_s);
            box.clear();
            QCOMPARE(box.text(), QString());
            // Text given by the toolkit's own calls, then emptied.
            box.setPlainText(text);
            box.clear();
            QCOMPARE(box.text(), QString());
        }
        box.setText(longLine(20000));
        box.putCursor(box.document()->characterCount() - 1);
        QTest::keyClicks(&box, u"c"_s);
        box.setText(u"short"_s);
        QCOMPARE(box.text(), u"short"_s);
    }

    void longLinesAreHeldInPiecesAndReadBackWhole() {
        Box box;
        const QString text =
            longLine(300000) + u"\nshort line\u2028same line\t\n"_s + QString(9000, u'x') + u"\n"_s;
        box.setText(text);
        QCOMPARE(box.text(), text);
        QVERIFY(box.longestParagraph() <= kLongestPiece);
        QVERIFY(box.document()->blockCount() > 300000 / kLongestPiece);
        QCOMPARE(documentText(box.document()), text);
        QVERIFY(!box.document()->isUndoAvailable());
        // Copying across pieces gives the text as it is.
        QCOMPARE(box.copied(0, box.document()->characterCount() - 1), text);
        QCOMPARE(box.copied(box.secondPiece() - 5, box.secondPiece() + 5),
                 text.mid(box.secondPiece() - 5, 9));
        // A part of the text selected by its offsets.
        box.selectText(299990, 20);
        QCOMPARE(box.copied(box.textCursor().anchor(), box.textCursor().position()),
                 text.mid(299990, 20));
    }

    void keysAtABorderWorkOnTheText() {
        Box box;
        const QString text = plainLine(10000);
        box.setText(text);
        const int border = box.secondPiece();
        const qsizetype at = border - 1;  // the text's offset of the border
        box.setFocus();
        box.putCursor(border);
        QCOMPARE(box.offset(), at);
        QTest::keyClick(&box, Qt::Key_Backspace);
        QString expected = text;
        expected.remove(at - 1, 1);
        QCOMPARE(box.text(), expected);
        box.putCursor(box.secondPiece() - 1);  // the end of the first piece
        QTest::keyClick(&box, Qt::Key_Delete);
        expected.remove(box.offset(), 1);
        QCOMPARE(box.text(), expected);
        // Enter at a border and in a piece makes line breaks that stay.
        for (const int position : {box.secondPiece(), box.secondPiece() + 7}) {
            box.putCursor(position);
            const qsizetype offset = box.offset();
            QTest::keyClick(&box, Qt::Key_Return);
            expected.insert(offset, u'\n');
            QCOMPARE(box.text(), expected);
        }
        // Deleting from a paragraph's start across a border, then undoing it.
        const QString before = box.text();
        QTextCursor cursor = box.textCursor();
        cursor.setPosition(box.document()->begin().next().position());
        cursor.setPosition(cursor.position() + 3000, QTextCursor::KeepAnchor);
        box.setTextCursor(cursor);
        const QString removed = box.copied(cursor.anchor(), cursor.position());
        const qsizetype from = box.copied(0, cursor.anchor()).size();
        QTest::keyClick(&box, Qt::Key_Delete);
        expected = before;
        expected.remove(from, removed.size());
        QCOMPARE(box.text(), expected);
        QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(box.text(), before);
    }

    // Random edits against the text they should make: typing, Enter, Backspace and Delete,
    // deleting a selection, pasting short and very long text, and undo.
    void randomEditsKeepTheText() {
        Box box;
        box.resize(400, 300);
        std::mt19937 random(20260305);
        const auto below = [&random](int n) { return static_cast<int>(random() % n); };
        QString model = QString(9000, u'a') + u"\n"_s + plainLine(7000);
        box.setText(model);
        box.setFocus();
        QSet<QString> seen{model};
        for (int step = 0; step < 250; ++step) {
            box.putCursor(below(box.document()->characterCount()));
            const qsizetype at = box.offset();
            const int action = below(9);
            if (action <= 1) {
                QTest::keyClick(&box, Qt::Key_Q);
                model.insert(at, u'q');
            } else if (action == 2) {
                QTest::keyClick(&box, Qt::Key_Return);
                model.insert(at, u'\n');
            } else if (action == 3) {
                QTest::keyClick(&box, Qt::Key_Backspace);
                model.remove(std::max<qsizetype>(at - 1, 0), at > 0 ? 1 : 0);
            } else if (action == 4) {
                QTest::keyClick(&box, Qt::Key_Delete);
                model.remove(at, 1);
            } else if (action == 5) {
                QTextCursor cursor = box.textCursor();
                cursor.setPosition(
                    std::min(box.document()->characterCount() - 1, cursor.position() + below(6000)),
                    QTextCursor::KeepAnchor);
                box.setTextCursor(cursor);
                const QString selected = box.copied(cursor.anchor(), cursor.position());
                QCOMPARE(model.mid(at, selected.size()), selected);
                QTest::keyClick(&box, Qt::Key_Delete);
                model.remove(at, selected.size());
            } else if (action <= 7) {
                const QString text = action == 6 ? u"pasted\ntext "_s : plainLine(below(12000));
                box.paste(text);
                model.insert(at, text);
            } else {
                QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
                model = box.text();
                QVERIFY2(seen.contains(model), "undo made a text never seen");
            }
            seen.insert(model);
            QVERIFY2(box.text() == model,
                     qPrintable(u"step %1, action %2"_s.arg(step).arg(action)));
            QVERIFY(box.longestParagraph() <= kLongestPiece);
        }
    }

    void inputBeyondTheLongestTextIsRefused() {
        Box box;
        box.setLongestText(10);
        QSignalSpy refused(&box, &TextBox::inputRefused);
        box.setText(u"123456789"_s);
        box.setFocus();
        box.moveCursor(QTextCursor::End);
        QTest::keyClick(&box, Qt::Key_A);
        QCOMPARE(box.text(), u"123456789a"_s);
        QTest::keyClick(&box, Qt::Key_B);
        QTest::keyClick(&box, Qt::Key_Return);
        box.paste(u"xy"_s);
        QCOMPARE(box.text(), u"123456789a"_s);
        QCOMPARE(refused.count(), 3);
        // Replacing a selection by something no longer is taken.
        box.selectAll();
        box.paste(u"0123456789"_s);
        QCOMPARE(box.text(), u"0123456789"_s);
        QCOMPARE(refused.count(), 3);
        // A longer text put in whole is shown whole; it can still be shortened.
        box.setText(QString(20, u'z'));
        QCOMPARE(box.text(), QString(20, u'z'));
        box.moveCursor(QTextCursor::End);
        QTest::keyClick(&box, Qt::Key_Backspace);
        QCOMPARE(box.text(), QString(19, u'z'));
    }
};

QTEST_MAIN(TextBoxTest)
#include "tst_text_box.moc"
