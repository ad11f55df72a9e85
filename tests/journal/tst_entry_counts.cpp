// The word and paragraph counts of the statistics, kept paragraph by paragraph in the entry
// box's document, against the same counts over the whole text, through every kind of edit.
#include <QtTest>
#include <QtWidgets>

#include "journal/EntryCounts.h"
#include "journal/JournalText.h"
#include "journal/TypingStatistics.h"

using namespace ks;
using namespace Qt::StringLiterals;

class EntryCountsTest : public QObject {
    Q_OBJECT

    static void compareWithWholeText(QPlainTextEdit& box, const EntryCounts& counts,
                                     const QString& step) {
        const QString text = entryText(&box);
        QVERIFY2(counts.pieces() == TypingStatistics::countWords(text), qPrintable(step));
        QVERIFY2(counts.paragraphs() == TypingStatistics::countParagraphs(text), qPrintable(step));
    }

private Q_SLOTS:
    void shapesOfText() {
        QPlainTextEdit box;
        EntryCounts counts(box.document());
        const QStringList texts = {u""_s,
                                   u"   "_s,
                                   u"one"_s,
                                   u"one two  three "_s,
                                   u"a\nb"_s,
                                   u"a \n b"_s,
                                   u"a \n\n b"_s,
                                   u"\n\n\n"_s,
                                   u" \n \n "_s,
                                   u"x\u2028y z"_s,
                                   u"end of line \n\nnext paragraph"_s,
                                   u"<b>x</b>\n\u0416\u0438\u0437\u043d\u044c  \u00a0 word"_s};
        for (const QString& text : texts) {
            showEntryText(&box, text);
            compareWithWholeText(box, counts, text);
        }
    }

    void randomEditsKeepTheCountsRight() {
        QPlainTextEdit box;
        EntryCounts counts(box.document());
        showEntryText(&box, u"Some words here.\n\nAnother paragraph  with  spaces \nand a line"_s);
        QRandomGenerator random(20261207);
        const QStringList pieces = {u" "_s,    u"a"_s,   u"word "_s,  u"\n"_s,
                                    u"\n\n"_s, u"  x"_s, u"\u2028"_s, u"end\n start"_s};
        for (int step = 0; step < 600; ++step) {
            QTextCursor cursor(box.document());
            const int length = box.document()->characterCount() - 1;
            const int at = random.bounded(length + 1);
            cursor.setPosition(at);
            switch (random.bounded(4)) {
                case 0:
                case 1:
                    cursor.insertText(pieces.at(random.bounded(pieces.size())));
                    break;
                case 2:
                    cursor.setPosition(std::min(length, at + random.bounded(1, 8)),
                                       QTextCursor::KeepAnchor);
                    cursor.removeSelectedText();
                    break;
                default:
                    box.undo();
                    break;
            }
            compareWithWholeText(box, counts, u"step %1"_s.arg(step));
        }
    }
};

QTEST_MAIN(EntryCountsTest)
#include "tst_entry_counts.moc"
