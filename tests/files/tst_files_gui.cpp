// The Files tab driven end to end: check-in with the status window, the list with its sizes,
// the delete dialogue, and the refusals, through the real main window.
#include <QtTest>
#include <QtWidgets>

#include "FilesTestSupport.h"
#include "GuiDriver.h"
#include "Session.h"
#include "files/FilesPage.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

const QString kCompressionFailed =
    u"An error occurred while compressing the file for storage!\r\rThe file was not added."_s;
const QString kOverLimit =
    u"Once compressed, the file exceeded 120Mb in size.  Files over 120Mb cannot be added to "
    "the database."_s;
const QString kSelect = u"You must select a file to delete."_s;
const QString kOneHeading = u"You are about to delete the following file:"_s;
const QString kManyHeading = u"You are about to delete the following files:"_s;

}  // namespace

class FilesGuiTest : public test::SessionTest {
    Q_OBJECT

    QTreeWidget* list() { return test::control<QTreeWidget>(main(), u"lvFiles"_s); }
    QString workArchive() { return state().TempFolder + u"store.cab"_s; }
    // Every row: name, size, compressed size, each cell separated by "|".
    QStringList rows() {
        QStringList out;
        for (int i = 0; i < list()->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* row = list()->topLevelItem(i);
            out.append(QStringList{row->text(0), row->text(1), row->text(2)}.join(u'|'));
        }
        return out;
    }
    QString file(const QString& name, const QByteArray& bytes) {
        return test::writeFile(session->env.root() + u"files/"_s + name, bytes);
    }
    // Checks a file in through cmdFileNew; the texts of the messages shown meanwhile.
    QStringList checkIn(const QString& path) {
        dialogs().file(path);
        return pressed(main(), u"cmdFileNew"_s);
    }
    QStringList deleteRows(const QList<int>& selected) {
        test::selectRows(list(), selected);
        return pressed(main(), u"cmdFileDelete"_s);
    }
    void useFakeArchiver(qint64 archiveBytes) {
        auto fake = std::make_unique<test::FakeArchiver>();
        fake->archiveBytes = archiveBytes;
        main()->findChild<FilesPage*>()->useArchiver(std::move(fake));
    }

private Q_SLOTS:
    void init() {
        startSession();
        test::showTab(main(), 3);
    }
    void cleanup() { endSession(); }

    void checkInShowsStatusAndLists() {
        QWidget* pctFiles = main()->findChild<QWidget*>(u"pctFiles"_s);
        QVERIFY(pctFiles->isVisible());
        QCOMPARE(list()->headerItem()->text(3), u"Date Modified"_s);
        for (const char* name : {"mnuFilesCheckIn", "mnuFilesCheckOut", "mnuOpenFile"}) {
            QVERIFY(main()->findChild<QAction*>(QString::fromLatin1(name))->isEnabled());
        }

        // While gcab runs the window turns: Form11 shows the step with its busy bar, and the
        // main window is disabled.
        // Closing the main window meanwhile waits for the check-in: nothing quits.
        QSet<QString> seen;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            QWidget* form11 = test::window(u"Form11"_s);
            if (form11 != nullptr && form11->isVisible()) {
                QVERIFY(!main()->close());
                seen.insert(QStringList{test::control<QLabel>(form11, u"lblStatus"_s)->text(),
                                        main()->isEnabled() ? u"enabled"_s : u"disabled"_s,
                                        test::control<QWidget>(form11, u"barBusy"_s)->isVisible()
                                            ? u"busy"_s
                                            : u"still"_s}
                                .join(u'|'));
            }
        });
        watch.start(0);
        QByteArray bytes(1536, 'x');
        const QString name = u"  Ελληνικά <b>x <i>y 長い名前 "_s + QString(200, u'n') + u".txt"_s;
        QVERIFY(checkIn(file(name, bytes)).isEmpty());
        watch.stop();
        QVERIFY(seen.contains(u"Compressing File(s) ...|disabled|busy"_s));
        QVERIFY(!state().Quitting && main()->isVisible());
        QVERIFY(!test::window(u"Form11"_s)->isVisible());
        QVERIFY(main()->isEnabled());
        QVERIFY(!QFile::exists(workArchive()));
        QCOMPARE(list()->topLevelItemCount(), 1);
        QTreeWidgetItem* row = list()->topLevelItem(0);
        QCOMPARE(row->text(0), name);
        QCOMPARE(row->text(1), u"1.5 Kb"_s);
        QVERIFY(row->text(2).endsWith(u" b"_s));  // a small archive of a repetitive file
        QCOMPARE(
            row->text(3),
            QLocale().toString(QFileInfo(session->env.root() + u"files/"_s + name).lastModified(),
                               QLocale::ShortFormat));
        QVERIFY(row->data(0, Qt::UserRole).toString().startsWith(u'K'));

        // The menu item does what the button does, and a cancel adds nothing.
        dialogs().file(QString());
        main()->findChild<QAction*>(u"mnuFilesCheckIn"_s)->trigger();
        QCOMPARE(list()->topLevelItemCount(), 1);
        QVERIFY(dialogs().shown.isEmpty());
    }

    void cancelLeavesNoWorkArchive() {
        QVERIFY(checkIn(file(u"a.txt"_s, "abc")).isEmpty());
        // A work archive left behind by an earlier run goes with the next cancel.
        test::writeFile(workArchive(), "left over");
        QVERIFY(checkIn(QString()).isEmpty());
        QVERIFY(!QFile::exists(workArchive()));
        QCOMPARE(rows().size(), 1);
    }

    void refusals() {
        // No archiver at all.
        QTemporaryDir empty;
        session->env.setVariable("PATH", empty.path());
        const QString source = file(u"a.txt"_s, "abc");
        QCOMPARE(checkIn(source), QStringList{kCompressionFailed});
        QVERIFY(dialogs().shown.last().icon == MessageIcon::Exclamation);
        QCOMPARE(dialogs().shown.last().title, u"Keystead"_s);
        QVERIFY(rows().isEmpty());

        // Exactly 120 Mb after compression is stored; one byte more is refused with its size.
        useFakeArchiver(125829121);
        QCOMPARE(checkIn(source), QStringList{kOverLimit + u"125829121"_s});
        QVERIFY(dialogs().shown.last().icon == MessageIcon::Exclamation);
        QVERIFY(rows().isEmpty());
        useFakeArchiver(125829120);
        QVERIFY(checkIn(source).isEmpty());
        QCOMPARE(rows(), QStringList{u"a.txt|3 b|120 Mb"_s});

        // A file the cabinet cannot hold is refused before it is packed.
        QFile huge(session->env.root() + u"files/huge.iso"_s);
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64{3} << 30));
        huge.close();
        const QStringList shown = checkIn(huge.fileName());
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.first().endsWith(u"3221225472"_s));
        QVERIFY(dialogs().shown.last().icon == MessageIcon::Exclamation);
        QCOMPARE(rows().size(), 1);
        QVERIFY(!QFile::exists(workArchive()));
    }

    void databaseFailureIsReported() {
        QVERIFY(test::breakFileInserts(session->program->database()));
        const QStringList shown = checkIn(file(u"a.txt"_s, "abc"));
        QCOMPARE(shown.size(), 1);
        QVERIFY(dialogs().shown.last().icon == MessageIcon::Critical);
        QVERIFY(shown.first().startsWith(u"The file could not be added to the database."_s));
        QVERIFY(rows().isEmpty());
        QVERIFY(main()->isEnabled());
        QVERIFY(!QFile::exists(workArchive()));
    }

    void deleteDialogue() {
        for (const QString& name : {u"one.txt"_s, u"same.txt"_s, u"same.txt"_s, u"<i>four<i>"_s}) {
            QVERIFY(checkIn(file(name, "bytes")).isEmpty());
        }
        QCOMPARE(list()->topLevelItem(1)->text(0), list()->topLevelItem(2)->text(0));
        QVERIFY(list()->topLevelItem(1)->data(0, Qt::UserRole) !=
                list()->topLevelItem(2)->data(0, Qt::UserRole));
        QCOMPARE(deleteRows({}), QStringList{kSelect});
        QVERIFY(dialogs().shown.last().icon == MessageIcon::Information);

        // One row: the singular heading; No changes nothing.
        dialogs().answer(false);
        QCOMPARE(deleteRows({1}), QStringList{kOneHeading + u"\r\rsame.txt\r\rAre you sure?"_s});
        QCOMPARE(rows().size(), 4);
        QVERIFY(!state().DataDeleted);
        dialogs().answer(true);
        deleteRows({1});
        QCOMPARE(rows().size(), 3);
        QCOMPARE(list()->topLevelItem(1)->text(0), u"same.txt"_s);
        QVERIFY(state().DataDeleted);

        // Three rows, one name a line, in list order.
        dialogs().answer(true);
        QCOMPARE(
            deleteRows({2, 0, 1}),
            QStringList{kManyHeading + u"\r\rone.txt\rsame.txt\r<i>four<i>\r\rAre you sure?"_s});
        QVERIFY(rows().isEmpty());
        QCOMPARE(main()->findChild<QListWidget*>(u"lstFilesToDelete"_s)->count(), 3);
    }

    void otherUsersFilesStayApart() {
        QVERIFY(checkIn(file(u"annas.txt"_s, "anna")).isEmpty());
        session->switchUser(u"bert"_s);
        QVERIFY(rows().isEmpty());
        QVERIFY(checkIn(file(u"berts.txt"_s, "bert")).isEmpty());
        QCOMPARE(list()->topLevelItemCount(), 1);
        QCOMPARE(list()->topLevelItem(0)->text(1), u"4 b"_s);
        session->switchUser(u"anna"_s);
        QCOMPARE(list()->topLevelItem(0)->text(0), u"annas.txt"_s);
        QCOMPARE(list()->topLevelItemCount(), 1);
    }
};

QTEST_MAIN(FilesGuiTest)
#include "tst_files_gui.moc"
