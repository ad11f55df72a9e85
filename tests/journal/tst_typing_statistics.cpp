// The typing statistics as worked out at each key, with the times given by the test.
#include <QtTest>

#include "journal/TypingStatistics.h"

using namespace ks;

namespace {

const QDateTime kStart(QDate(2026, 3, 5), QTime(10, 0, 0));

// Types into a text the way the entry box would, a key at a time, at times the test sets.
struct Typist {
    TypingStatistics statistics;
    QString text;
    QDateTime now = kStart;

    void key(QChar c) {
        const TypingKey kind = c == QLatin1Char(' ') ? TypingKey::Space : TypingKey::Other;
        statistics.keyDown(kind, text, now);
        text.append(c);
        statistics.keyUp(text);
    }
    void type(const QString& keys) {
        for (const QChar c : keys) {
            key(c);
        }
    }
    void backspace() {
        statistics.keyDown(TypingKey::Backspace, text, now);
        text.chop(1);
        statistics.keyUp(text);
    }
    void wait(int seconds) { now = now.addSecs(seconds); }
};

}  // namespace

class TypingStatisticsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void formatting() {
        QCOMPARE(TypingStatistics::formatFigure(23.0769230769231), QStringLiteral("23.07"));
        QCOMPARE(TypingStatistics::formatFigure(120), QStringLiteral("120"));
        QCOMPARE(TypingStatistics::formatFigure(123.456), QStringLiteral("123.4"));
        QCOMPARE(TypingStatistics::formatFigure(200.0 / 3.0), QStringLiteral("66.66"));
        QCOMPARE(TypingStatistics::formatFigure(90), QStringLiteral("90"));
        QCOMPARE(TypingStatistics::formatFigure(0), QStringLiteral("0"));
        QCOMPARE(TypingStatistics::formatFigure(1234567.5), QStringLiteral("12345"));
        QCOMPARE(TypingStatistics::formatFigure(0.5), QStringLiteral("0.5"));
        // "." whatever the system's number settings; no thousands separators.
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(TypingStatistics::formatFigure(66.6666666666667), QStringLiteral("66.66"));
        QCOMPARE(TypingStatistics::formatFigure(4321), QStringLiteral("4321"));
        QLocale::setDefault(before);

        QCOMPARE(TypingStatistics::leadingNumber(QStringLiteral("23.07")), 23.07);
        QCOMPARE(TypingStatistics::leadingNumber(QStringLiteral("12")), 12.0);
        QCOMPARE(TypingStatistics::leadingNumber(QStringLiteral("abc")), 0.0);
        QCOMPARE(TypingStatistics::leadingNumber(QString()), 0.0);
    }

    void counts() {
        QCOMPARE(TypingStatistics::countWords(QString()), 0);
        QCOMPARE(TypingStatistics::countWords(QStringLiteral("   ")), 0);
        QCOMPARE(TypingStatistics::countWords(QStringLiteral(" one  two three ")), 3);
        // A line break joins two words into one piece; a piece of line breaks alone is a word.
        QCOMPARE(TypingStatistics::countWords(QStringLiteral("one\ntwo")), 1);
        QCOMPARE(TypingStatistics::countWords(QStringLiteral("one \n two")), 3);
        QCOMPARE(TypingStatistics::countWords(QStringLiteral("a\tb")), 1);

        // Paragraphs for 0 to 4 line breaks: 1, 1, 2, 2, 3.
        const qint64 expected[] = {1, 1, 2, 2, 3};
        for (int breaks = 0; breaks <= 4; ++breaks) {
            QString text = QStringLiteral("start");
            for (int i = 0; i < breaks; ++i) {
                text += QStringLiteral("\nline");
            }
            QCOMPARE(TypingStatistics::countParagraphs(text), expected[breaks]);
        }
        QCOMPARE(TypingStatistics::countParagraphs(QStringLiteral("a\n\nb")), 2);
        QCOMPARE(TypingStatistics::countParagraphs(QStringLiteral("a\u2028\u2028b")), 2);

        // Texts of any length, far beyond 32,767 characters.
        const QString big =
            QStringLiteral("word ").repeated(40000) + QStringLiteral("\n\n").repeated(20000);
        QCOMPARE(TypingStatistics::countWords(big), 40001);
        QCOMPARE(TypingStatistics::countParagraphs(big), 20001);
    }

    void speedAfterTheFirstSpace() {
        Typist typist;
        typist.type(QStringLiteral("one"));
        typist.key(QLatin1Char(' '));  // timing starts
        QCOMPARE(*typist.statistics.LastWordTime(), kStart);
        QCOMPARE(typist.statistics.TypingStartTime(), kStart);
        typist.type(QStringLiteral("tw"));  // less than a second after the start: unchanged
        QCOMPARE(typist.statistics.speedText(), QStringLiteral("0"));
        QCOMPARE(typist.statistics.accuracyText(), QStringLiteral("100"));
        typist.wait(1);
        typist.key(QLatin1Char('o'));  // W = 2 over 0.0167 minutes
        QCOMPARE(typist.statistics.speedText(), QStringLiteral("119.7"));
        typist.wait(4);  // 5 seconds after the last space: still timing
        typist.key(QLatin1Char(' '));
        QCOMPARE(typist.statistics.speedText(), TypingStatistics::formatFigure(2.0 / 0.0833));
        QCOMPARE(*typist.statistics.LastWordTime(), kStart.addSecs(5));
        QCOMPARE(typist.statistics.TypingStartTime(), kStart);
        // 8 seconds from the start (0.1333 minutes), and 3 words before this key.
        typist.type(QStringLiteral("three"));
        typist.wait(3);
        typist.key(QLatin1Char(' '));
        QCOMPARE(typist.statistics.speedText(), QStringLiteral("22.50"));
    }

    void pausesRestartTheTiming() {
        Typist typist;
        typist.type(QStringLiteral("one two "));
        typist.backspace();
        typist.key(QLatin1Char(' '));
        typist.wait(6);  // more than 5 seconds after the last space: letters show 0 and 100
        typist.type(QStringLiteral("xy"));
        QCOMPARE(typist.statistics.speedText(), QStringLiteral("0"));
        QCOMPARE(typist.statistics.accuracyText(), QStringLiteral("100"));
        // The space after the pause starts a new run and keeps the corrections.
        typist.key(QLatin1Char(' '));
        QCOMPARE(typist.statistics.TypingStartTime(), typist.now);
        QCOMPARE(typist.statistics.CorrectionCount(), 1);
        // Exactly 5 seconds is no pause.
        typist.wait(5);
        typist.key(QLatin1Char('w'));
        QCOMPARE(typist.statistics.speedText(), QStringLiteral("36.01"));
        QCOMPARE(typist.statistics.accuracyText(), QStringLiteral("66.66"));
    }

    void accuracyRules() {
        // With 2 words shown, Backspace leaves the accuracy alone whatever the count.
        Typist two;
        two.type(QStringLiteral("ab cd"));
        QCOMPARE(two.statistics.wordsText(), QStringLiteral("2"));
        QCOMPARE(two.statistics.accuracyText(), QStringLiteral("100"));
        for (int i = 0; i < 5; ++i) {
            two.backspace();
            QCOMPARE(two.statistics.accuracyText(), QStringLiteral("100"));
        }
        QCOMPARE(two.statistics.CorrectionCount(), 5);

        // More corrections than words: the negative accuracy is not shown.
        Typist many;
        many.type(QStringLiteral("a b c d "));
        const char* const expected[] = {"75", "50", "25", "25", "25"};
        for (const char* accuracy : expected) {
            many.backspace();
            QCOMPARE(many.statistics.accuracyText(), QString::fromLatin1(accuracy));
        }
        QCOMPARE(many.statistics.CorrectionCount(), 5);

        // The first space clears the corrections counted while idle.
        Typist idle;
        idle.backspace();
        idle.backspace();
        QCOMPARE(idle.statistics.CorrectionCount(), 2);
        idle.type(QStringLiteral("x "));
        QCOMPARE(idle.statistics.CorrectionCount(), 0);
    }

    void resetKeepsTheFigures() {
        Typist typist;
        typist.type(QStringLiteral("one two three "));
        typist.backspace();
        typist.wait(2);
        typist.key(QLatin1Char('x'));
        const QString speed = typist.statistics.speedText();
        typist.statistics.reset();
        QVERIFY(!typist.statistics.LastWordTime());
        QCOMPARE(typist.statistics.CorrectionCount(), 0);
        QCOMPARE(typist.statistics.TypingStartTime(), kStart);
        QCOMPARE(typist.statistics.speedText(), speed);
        QCOMPARE(typist.statistics.wordsText(), QStringLiteral("3"));
        // Idle again: a letter changes neither speed nor accuracy.
        typist.wait(1);
        typist.key(QLatin1Char('y'));
        QCOMPARE(typist.statistics.speedText(), speed);
    }
};

QTEST_GUILESS_MAIN(TypingStatisticsTest)
#include "tst_typing_statistics.moc"
