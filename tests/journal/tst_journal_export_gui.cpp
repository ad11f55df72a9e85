// "Export Journal..." of the Journal menu: the range of days and the format chosen in its
// window, the entries of those days written as Markdown (markup in them escaped) or JSON into a
// private file, and a protected account's entries opened for it.
#include <QtTest>
#include <QtWidgets>

#include "GuiDriver.h"
#include "ProtectedAccount.h"
#include "Session.h"
#include "crypto/PassPhrase.h"
#include "journal/JournalDate.h"
#include "journal/JournalExport.h"
#include "journal/JournalStore.h"

using namespace ks;
using namespace Qt::StringLiterals;

class JournalExportGuiTest : public test::SessionTest {
    Q_OBJECT

    QTemporaryDir files;

    void write(QDate day, const QString& text) {
        DatabaseAccess database(session->env.databasePath(), PassPhrase());
        const Account& account = state().CurrentAccount;
        const QString date = journalDateText(day);
        QVERIFY(
            account.isProtected()
                ? writeSealedJournalEntry(database, account, date, text, day).ok()
                : writeJournalEntry(database, account.owner, date, storedJournalValue(text), day)
                      .ok());
    }
    // Runs "Export Journal..." for the days and format given.
    void exportJournal(QDate from, QDate to, bool json, const QString& path) {
        auto ran = test::whenModal(u"frmExportJournal"_s, [&](QWidget* window) {
            // The month so far is offered first.
            QCOMPARE(test::control<QDateEdit>(window, u"dtpFrom"_s)->date(), QDate(2026, 3, 1));
            QCOMPARE(test::control<QDateEdit>(window, u"dtpTo"_s)->date(), QDate(2026, 3, 5));
            test::control<QDateEdit>(window, u"dtpFrom"_s)->setDate(from);
            test::control<QDateEdit>(window, u"dtpTo"_s)->setDate(to);
            test::control<QRadioButton>(window, json ? u"optJson"_s : u"optMarkdown"_s)
                ->setChecked(true);
            dialogs().file(path);
            test::press(window, u"cmdExportJournal"_s);
        });
        main()->findChild<QAction*>(u"mnuExportJournal"_s)->trigger();
        QVERIFY(*ran);
    }

private Q_SLOTS:
    void init() { startSession(); }
    void cleanup() { endSession(); }

    void exportsTheRangeAsMarkdownAndJson() {
        write(QDate(2026, 2, 10), u"Outside"_s);
        write(QDate(2026, 3, 4), u"<script>alert(1)</script> & more\nsecond line"_s);
        write(QDate(2026, 3, 2), u"  Два дня  "_s);
        write(QDate(2026, 3, 3), u"   "_s);  // blank: no entry
        const QString md = files.filePath(u"journal.md"_s);
        exportJournal(QDate(2026, 3, 1), QDate(2026, 3, 5), false, md);
        QCOMPARE(dialogs().texts(), QStringList{journalExportDoneText(2, md)});
        QCOMPARE(test::fileMode(md), 0600);
        QCOMPARE(test::readBytes(md),
                 "# Journal, 01/03/2026 to 05/03/2026\n\n## 02/03/2026\n\n  Два дня  \n\n"
                 "## 04/03/2026\n\n&lt;script&gt;alert(1)&lt;/script&gt; &amp; more\nsecond "
                 "line\n"_ba);

        dialogs().clear();
        const QString json = files.filePath(u"journal.json"_s);
        exportJournal(QDate(2026, 2, 1), QDate(2026, 3, 2), true, json);
        const QJsonArray days = QJsonDocument::fromJson(test::readBytes(json)).array();
        QCOMPARE(days.size(), 2);
        QCOMPARE(days[0].toObject(), (QJsonObject{{u"day"_s, u"2026-02-10"_s},
                                                  {u"text"_s, u"Outside"_s},
                                                  {u"created"_s, u"2026-02-10"_s},
                                                  {u"modified"_s, u"2026-02-10"_s}}));
        QCOMPARE(days[1].toObject().value(u"text"_s).toString(), u"  Два дня  "_s);
    }

    void aProtectedAccountsEntriesAreOpened() {
        DatabaseAccess database(session->env.databasePath(), PassPhrase());
        state().CurrentAccount = test::protectedAccount(database, u"anna"_s);
        write(QDate(2026, 3, 2), u"Sealed <i>text</i>"_s);
        const QString md = files.filePath(u"sealed.md"_s);
        exportJournal(QDate(2026, 3, 1), QDate(2026, 3, 5), false, md);
        QCOMPARE(test::readBytes(md),
                 "# Journal, 01/03/2026 to 05/03/2026\n\n## 02/03/2026\n\n"
                 "Sealed &lt;i&gt;text&lt;/i&gt;\n"_ba);
    }
};

QTEST_MAIN(JournalExportGuiTest)
#include "tst_journal_export_gui.moc"
