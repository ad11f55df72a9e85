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
        QDir().mkpath(env.dataFolder());
        QVERIFY(QFile::copy(env.templatePath(), env.databasePath()));
        QFile::setPermissions(env.databasePath(), kPrivateFile);
        DatabaseAccess database(env.databasePath(), PassPhrase());
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
};

QTEST_GUILESS_MAIN(JournalSearchTest)
#include "tst_journal_search.moc"
