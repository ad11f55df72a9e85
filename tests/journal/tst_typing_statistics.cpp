// The typing statistics as worked out at each key, with the times given by the test; the word
// and paragraph counts kept paragraph by paragraph in the entry box's document, against the same
// counts over the whole text, through every kind of edit.
#include <QtTest>
#include <QtWidgets>

#include "journal/EntryCounts.h"
#include "journal/JournalText.h"
#include "journal/TypingStatistics.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

const QDateTime kStart(QDate(2026, 3, 5), QTime(10, 0, 0));

// Types keys into a text as the entry box would, the first of them `seconds` after the previous
// key ("\b" is Backspace); returns speed and accuracy as shown.
struct Typist {
    TypingStatistics statistics;
    QString text;
    QDateTime now = kStart;

    QStringList type(const QString& keys, int seconds = 0) {
        now = now.addSecs(seconds);
        for (const QChar c : keys) {
            const bool back = c == u'\b';
            const TypingKey other = c == u' ' ? TypingKey::Space : TypingKey::Other;
            statistics.keyDown(back ? TypingKey::Backspace : other, text, now);
            back ? text.chop(1) : void(text.append(c));
            statistics.keyUp(text);
        }
        return {statistics.speedText(), statistics.accuracyText()};
    }
};

}  // namespace

class TypingStatisticsTest : public QObject {
    Q_OBJECT

    static void compareWithWholeText(QPlainTextEdit& box, const EntryCounts& counts,
                                     const QString& step) {
        const QString text = entryText(&box);
        QVERIFY2(counts.pieces() == TypingStatistics::countWords(text), qPrintable(step));
        QVERIFY2(counts.paragraphs() == TypingStatistics::countParagraphs(text), qPrintable(step));
    }

private Q_SLOTS:
    void formattingAndCounts() {
        // "." whatever the system's number settings; no thousands separators.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QStringList shown;
        for (const double value :
             {23.0769230769231, 120.0, 123.456, 200.0 / 3.0, 0.0, 0.5, 4321.0, 1234567.5}) {
            shown << TypingStatistics::formatFigure(value);
        }
        QCOMPARE(shown, QStringList({u"23.07"_s, u"120"_s, u"123.4"_s, u"66.66"_s, u"0"_s, u"0.5"_s,
                                     u"4321"_s, u"12345"_s}));
        // A line break joins two words into one piece; a piece of line breaks alone is a word.
        QList<qint64> counts;
        for (const QString& text : {QString(), u"   "_s, u" one  two three "_s, u"one\ntwo"_s,
                                    u"one \n two"_s, u"a\tb"_s}) {
            counts << TypingStatistics::countWords(text);
        }
        // Paragraphs for 0 to 4 line breaks; a line separator is a line break too.
        for (int breaks = 0; breaks <= 4; ++breaks) {
            counts << TypingStatistics::countParagraphs(u"start"_s + u"\nline"_s.repeated(breaks));
        }
        counts << TypingStatistics::countParagraphs(u"a\u2028\u2028b");
        // Texts of any length, far beyond 32,767 characters.
        const QString big = u"word "_s.repeated(40000) + u"\n\n"_s.repeated(20000);
        counts << TypingStatistics::countWords(big) << TypingStatistics::countParagraphs(big);
        QCOMPARE(counts, QList<qint64>({0, 0, 3, 1, 3, 1, 1, 1, 2, 2, 3, 2, 40001, 20001}));
    }

    void keys() {
        Typist typist;
        typist.type(u"one "_s);  // the first space starts the timing
        // Less than a second after the start the speed is unchanged.
        QCOMPARE(typist.type(u"tw"_s), QStringList({u"0"_s, u"100"_s}));
        QCOMPARE(typist.type(u"o"_s, 1).first(), u"119.7"_s);  // 2 words in 0.0167 minutes
        // 5 seconds after the last space is no pause: the speed moves on.
        // 2 words in 5 seconds (0.0833 minutes).
        QCOMPARE(typist.type(u" "_s, 4).first(), u"24.00"_s);
        typist.type(u"three"_s);  // 3 words, 8 seconds (0.1333 minutes) from the start
        QCOMPARE(typist.type(u" "_s, 3).first(), u"22.50"_s);

        // A space after a pause starts a new run and keeps the corrections.
        Typist paused;
        paused.type(u"one two \b "_s);
        QCOMPARE(paused.type(u"xy"_s, 6), QStringList({u"0"_s, u"100"_s}));
        paused.type(u" "_s);
        // Exactly 5 seconds after the last space is no pause either.
        QCOMPARE(paused.type(u"w"_s, 5), QStringList({u"36.01"_s, u"66.66"_s}));

        // With 2 words shown, Backspace leaves the accuracy alone whatever the count; with more
        // corrections than words the negative accuracy is not shown.
        Typist two;
        QCOMPARE(two.type(u"ab cd\b\b\b\b\b"_s).last(), u"100"_s);
        Typist many;
        many.type(u"a b c d "_s);
        const QString back = u"\b"_s;
        QCOMPARE(
            QStringList({many.type(back).last(), many.type(back).last(), many.type(back).last(),
                         many.type(back).last(), many.type(back).last()}),
            QStringList({u"75"_s, u"50"_s, u"25"_s, u"25"_s, u"25"_s}));
        // The first space clears the corrections counted while idle.
        Typist idle;
        idle.type(u"\b\b"_s);
        QCOMPARE(idle.statistics.CorrectionCount(), 2);
        idle.type(u"x "_s);
        QCOMPARE(idle.statistics.CorrectionCount(), 0);
    }

    void shapesOfTextAndRandomEdits() {
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

QTEST_MAIN(TypingStatisticsTest)
#include "tst_typing_statistics.moc"
