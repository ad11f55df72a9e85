// Finding journal days by what their entries say.
#include <QtTest>

#include "ScriptedDialogs.h"
#include "TestEnvironment.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "journal/JournalDate.h"
#include "journal/JournalSearch.h"
#include "journal/JournalStore.h"
#include "storage/FileServices.h"

using namespace ks;
using namespace Qt::StringLiterals;

class JournalSearchTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void findsTheOwnersDaysNewestFirst() {
        test::TestEnvironment env;
        test::ScriptedDialogs dialogs;
        setCipherDialogs(&dialogs, u"Keystead"_s);
        DatabaseAccess database(env.freshDatabase(), PassPhrase());
        const QString anna = EncryptField(u"anna"_s), bert = EncryptField(u"bert"_s);
        const auto write = [&](const QString& owner, QDate day, const QString& text) {
            QVERIFY(writeJournalEntry(database, owner, journalDateText(day),
                                      storedJournalValue(text), QDate(2026, 12, 7))
                        .ok());
        };
        write(anna, QDate(2025, 5, 1), u"Walked to the LAKE with Tom."_s);
        write(anna, QDate(2026, 2, 3), u"Der See war gefroren; lake frozen."_s);
        write(anna, QDate(2024, 12, 31), u"Nothing about water."_s);
        write(anna, QDate(2026, 1, 1), u"Озеро — lake in Russian"_s);
        write(anna, QDate(2023, 7, 7), u"ok"_s);  // shorter than 4: stored plain
        write(bert, QDate(2026, 3, 3), u"Bert's lake"_s);

        const QList<JournalHit> hits = searchJournal(database, anna, u"Lake"_s).value();
        QList<QDate> days;
        for (const JournalHit& hit : hits) {
            days.append(hit.day);
        }
        QCOMPARE(days, (QList<QDate>{QDate(2026, 2, 3), QDate(2026, 1, 1), QDate(2025, 5, 1)}));
        QCOMPARE(hits.at(0).snippet, u"Der See war gefroren; lake frozen."_s);
        QCOMPARE(searchJournal(database, anna, u"озеро"_s).value().size(), 1);  // any case
        QCOMPARE(searchJournal(database, anna, u"ok"_s).value().size(), 1);     // plain rows
        QVERIFY(searchJournal(database, anna, QString()).value().isEmpty());
        QVERIFY(searchJournal(database, bert, u"Tom"_s).value().isEmpty());
        QCOMPARE(dialogs.texts(), QStringList());
        setCipherDialogs(nullptr, QString());
    }

    void snippetsStayOnOneShortLine() {
        const QString entry = QString(100, u'a') + u"\nneedle\n"_s + QString(100, u'b');
        const qsizetype at = entry.indexOf(u"needle"_s);
        const QString snippet = journalSnippet(entry, at, 6);
        QVERIFY(snippet.startsWith(u"…"_s));
        QVERIFY(snippet.endsWith(u"…"_s));
        QVERIFY(snippet.contains(u"a needle b"_s));
        QVERIFY(!snippet.contains(u'\n'));
        QVERIFY(snippet.size() < 100);
        // A short entry is shown whole, without marks.
        QCOMPARE(journalSnippet(u"a needle"_s, 2, 6), u"a needle"_s);
    }

    void theMatchIsFoundInTheSnippetAndShownInANarrowList() {
        // Line breaks and runs of spaces before the match are folded like the rest.
        const QString entry = u"Day one.\n\n  Walked   along the quay in the rain,\t"_s +
                              u"then the Harbour at dusk, the boats all in."_s;
        const qsizetype at = entry.indexOf(u"harbour"_s, 0, Qt::CaseInsensitive);
        JournalHit hit{QDate(2026, 1, 2), QString(), -1};
        hit.snippet = journalSnippet(entry, at, 7, &hit.matchStart);
        QCOMPARE(hit.snippet.mid(hit.matchStart, 7), u"Harbour"_s);
        QVERIFY(hit.snippet.startsWith(u"…"_s));

        // At most about `lead` characters stay before the match, from the start of a word.
        const QString near = snippetNearMatch(hit, 12);
        QVERIFY2(near.startsWith(u"…then the Harbour"_s), qPrintable(near));
        QVERIFY(near.endsWith(hit.snippet.mid(hit.matchStart)));
        // A match near the start is left as it is.
        JournalHit early{QDate(2026, 1, 2), u"the Harbour at dusk"_s, 4};
        QCOMPARE(snippetNearMatch(early, 12), u"the Harbour at dusk"_s);
    }

    void charactersOutsideTheBasicPlaneAreNeverCutInHalf() {
        const QString ship = u"🚢"_s;  // two UTF-16 units
        QCOMPARE(ship.size(), 2);
        for (qsizetype pad = 0; pad < 4; ++pad) {
            const QString entry =
                QString(pad, u'x') + ship.repeated(40) + u" needle "_s + ship.repeated(60);
            const qsizetype at = entry.indexOf(u"needle"_s);
            qsizetype start = 0;
            const QString snippet = journalSnippet(entry, at, 6, &start);
            QCOMPARE(snippet.mid(start, 6), u"needle"_s);
            for (qsizetype i = 0; i < snippet.size(); ++i) {
                const QChar c = snippet.at(i);
                QVERIFY(!c.isHighSurrogate() ||
                        (i + 1 < snippet.size() && snippet.at(i + 1).isLowSurrogate()));
                QVERIFY(!c.isLowSurrogate() || (i > 0 && snippet.at(i - 1).isHighSurrogate()));
            }
            const QString near = snippetNearMatch({QDate(2026, 1, 2), snippet, start}, 5);
            QVERIFY(!near.at(1).isLowSurrogate());
        }
    }
};

QTEST_GUILESS_MAIN(JournalSearchTest)
#include "tst_journal_search.moc"
