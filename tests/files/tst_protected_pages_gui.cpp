// The Journal, Images and Files tabs of a logged-in protected account, end to end: what they
// write is sealed, what they list opens, and a damaged picture says so.
#include "FilesGuiFixture.h"
#include "ProtectedAccount.h"
#include "core/AccountValues.h"
#include "crypto/PassPhrase.h"
#include "journal/JournalStore.h"
#include "protection/TextSeal.h"

using namespace ks;
using namespace Qt::StringLiterals;

class ProtectedPagesTest : public test::FilesGuiFixture {
    Q_OBJECT

    // The first row of a query on the program's database: each column as text.
    QStringList firstRow(const QString& sql, int columns) {
        DatabaseAccess database(session->env.databasePath(), PassPhrase());
        Statement query = database.open()->prepare(sql);
        QStringList out;
        for (int i = 0; query.next() && i < columns; ++i) {
            out.append(query.text(i));
        }
        return out;
    }

private Q_SLOTS:
    void init() { startSession(); }
    void cleanup() { endSession(); }

    void pagesWorkOnTheProtectedAccount() {
        Account account;
        {
            DatabaseAccess database(session->env.databasePath(), PassPhrase());
            account = test::protectedAccount(database, u"anna"_s);
        }
        state().CurrentAccount = account;
        // A one-character entry is sealed as it is: nothing asks whether to keep it readable.
        main()->findChild<QPlainTextEdit*>(u"txtJournal"_s)->setPlainText(u"x"_s);
        QCOMPARE(pressed(main(), u"cmdJournalSave"_s),
                 QStringList{u"Record was successfully created."_s});
        {
            DatabaseAccess database(session->env.databasePath(), PassPhrase());
            Statement entry = database.open()->prepare(u"SELECT Journal, Uuid FROM Journals"_s);
            QVERIFY(entry.next());
            QVERIFY(looksSealed(entry.text(0)));
            QCOMPARE(shownJournalText(account, entry.blob(1), entry.text(0)), u"x"_s);
        }
        // A picture and a file are listed by their names, stored sealed.
        checkInPicture(u"Фото <b>.png"_s);
        QCOMPARE(test::itemTexts(images()), QStringList{u"Фото <b>.png"_s});
        checkInFile(u"notes.txt"_s, "notes");
        QCOMPARE(rows().value(0).section(u'|', 0, 0), u"notes.txt"_s);
        QVERIFY(looksSealed(firstRow(u"SELECT ImageName FROM Images"_s, 1).value(0)));
        QVERIFY(looksSealed(firstRow(u"SELECT FileName FROM Files"_s, 1).value(0)));
        // A picture whose stored bytes were changed says so, and shows nothing.
        {
            DatabaseAccess database(session->env.databasePath(), PassPhrase());
            Connection connection = database.open().value();
            Statement read = connection.prepare(u"SELECT Image FROM Images"_s);
            QVERIFY(read.next());
            QByteArray image = read.blob(0);
            read.reset();
            image[image.size() - 20] = static_cast<char>(image[image.size() - 20] ^ 1);
            Statement write = connection.prepare(u"UPDATE Images SET Image = ?1"_s);
            QVERIFY(write.bindBlob(1, image).run().ok());
        }
        test::showTab(main(), test::kImagesTab);
        test::selectRows(images(), {0}, true);
        QVERIFY(test::control<QLabel>(main(), u"imgPreview"_s)->pixmap().isNull());
        QCOMPARE(pressed(main(), u"cmdIMGView"_s),
                 QStringList{u"The picture could not be decrypted."_s});
    }
};

QTEST_MAIN(ProtectedPagesTest)
#include "tst_protected_pages_gui.moc"
