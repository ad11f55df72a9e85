// The Files tab driven end to end through the real main window: check-in with the status
// window, the list with its sizes, the delete dialogue and the refusals, and the launch with the
// real gcab.
#include "FilesGuiFixture.h"

using namespace ks;
using namespace ks::test;
using namespace Qt::StringLiterals;

class FilesGuiTest : public test::FilesGuiFixture {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        startSession();
        test::showTab(main(), kFilesTab);
    }
    void cleanup() { endSession(); }

    void checkInShowsStatusAndLists() {
        QCOMPARE(list()->headerItem()->text(3), u"Date Modified"_s);
        for (const char* name : {"mnuFilesCheckIn", "mnuFilesCheckOut", "mnuOpenFile"}) {
            QVERIFY(main()->findChild<QAction*>(QString::fromLatin1(name))->isEnabled());
        }

        // While gcab runs Form11 shows the step with its busy bar, and the main window is
        // disabled; closing the main window meanwhile waits for the check-in: nothing quits.
        const QString name = u"  Ελληνικά <b>x <i>y 長い名前 "_s + QString(200, u'n') + u".txt"_s;
        const QString path = file(name, QByteArray(1536, 'x'));
        const QSet<QString> seen = stepsShownBy([&] { QVERIFY(checkIn(path).isEmpty()); });
        QVERIFY(seen.contains(u"Compressing File(s) ...|disabled|busy"_s));
        QVERIFY(!state().Quitting && main()->isVisible());
        QVERIFY(!test::window(u"Form11"_s)->isVisible());
        QVERIFY(main()->isEnabled());
        QCOMPARE(list()->topLevelItemCount(), 1);
        QTreeWidgetItem* row = list()->topLevelItem(0);
        QCOMPARE(row->text(0), name);
        QVERIFY(row->toolTip(0).contains(u"&lt;b&gt;x &lt;i&gt;y"_s));  // never read as markup
        QCOMPARE(row->text(1), u"1.5 Kb"_s);
        QVERIFY(row->text(2).endsWith(u" b"_s));  // a small archive of a repetitive file
        QCOMPARE(row->text(3),
                 QLocale().toString(QFileInfo(path).lastModified(), QLocale::ShortFormat));

        // A line break in a name is shown, not taken for the end of the line.
        QVERIFY(checkIn(file(u"two\nlines\t.txt"_s, "2")).isEmpty());
        QCOMPARE(list()->topLevelItem(1)->text(0), u"two␊lines␉.txt"_s);

        // The menu item does what the button does, and a cancel adds nothing; a work archive
        // left behind by an earlier run goes with it.
        test::writeFile(workArchive(), "left over");
        dialogs().file(QString());
        main()->findChild<QAction*>(u"mnuFilesCheckIn"_s)->trigger();
        QCOMPARE(list()->topLevelItemCount(), 2);
        QVERIFY(!QFile::exists(workArchive()));
        QVERIFY(dialogs().shown.isEmpty());
    }

    void refusals() {
        QTemporaryDir empty;  // no archiver at all
        session->env.setVariable("PATH", empty.path());
        const QString source = file(u"a.txt"_s, "abc");
        QCOMPARE(checkIn(source), QStringList{kCompressionFailed});
        QVERIFY(dialogs().shown.last().icon == MessageIcon::Exclamation);
        QCOMPARE(dialogs().shown.last().title, u"Keystead"_s);

        // Exactly 120 Mb after compression is stored; one byte more is refused with its size.
        useFakeArchiver(125829121);
        QCOMPARE(checkIn(source), QStringList{kOverLimit + u"125829121"_s});
        QVERIFY(dialogs().shown.last().icon == MessageIcon::Exclamation);
        useFakeArchiver(125829120);
        QVERIFY(checkIn(source).isEmpty());
        QCOMPARE(rows(), QStringList{u"a.txt|3 b|120 Mb"_s});

        // A file the cabinet cannot hold is refused before it is packed.
        QFile huge(session->env.root() + u"files/huge.iso"_s);
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64{3} << 30));
        huge.close();
        QStringList shown = checkIn(huge.fileName());
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.first().endsWith(u"3221225472"_s));
        QVERIFY(dialogs().shown.last().icon == MessageIcon::Exclamation);

        // A database that refuses the row is told as a critical failure.
        useFakeArchiver(1000);
        QVERIFY(test::breakFileInserts(session->program->database()));
        shown = checkIn(source);
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.first().startsWith(u"The file could not be added to the database."_s));
        QVERIFY(dialogs().shown.last().icon == MessageIcon::Critical);
        QCOMPARE(rows(), QStringList{u"a.txt|3 b|120 Mb"_s});
        QVERIFY(main()->isEnabled());
    }

    void deleteDialogue() {
        for (const QString& name : {u"one.txt"_s, u"same.txt"_s, u"same.txt"_s, u"<i>four<i>"_s}) {
            QVERIFY(checkIn(file(name, "bytes")).isEmpty());
        }
        QCOMPARE(deleteRows({}), QStringList{kSelect});
        QVERIFY(dialogs().shown.last().icon == MessageIcon::Information);

        // One row: the singular heading; No changes nothing.
        dialogs().answer(false);
        QCOMPARE(deleteRows({1}), QStringList{kOneHeading + u"\r\rsame.txt\r\rAre you sure?"_s});
        QCOMPARE(rows().size(), 4);
        QVERIFY(!state().DataDeleted);
        dialogs().answer(true);
        deleteRows({1});
        // The other row of the same name stays.
        QCOMPARE(test::itemTexts(list()),
                 (QStringList{u"one.txt"_s, u"same.txt"_s, u"<i>four<i>"_s}));
        QVERIFY(state().DataDeleted);

        // Three rows, one name a line, in list order; the Delete key in the list asks the same.
        dialogs().answer(true);
        test::selectRows(list(), {2, 0, 1});
        dialogs().clear();
        QTest::keyClick(list(), Qt::Key_Delete);
        QCOMPARE(
            dialogs().texts(),
            QStringList{kManyHeading + u"\r\rone.txt\rsame.txt\r<i>four<i>\r\rAre you sure?"_s});
        QVERIFY(rows().isEmpty());
    }

    void launchSelection() {
        checkInFile(u"notes.txt"_s, "notes");
        checkInFile(u"picture.png"_s, "png");
        test::showTab(main(), kFilesTab);
        QList<QUrl>& opened = session->env.openedUrls;
        const QString folder = state().TempFolder + u"Keystead/"_s;

        list()->clearSelection();
        QCOMPARE(pressed(main(), u"cmdOpenFile"_s), QStringList{kSelectToLaunch});
        QVERIFY(opened.isEmpty());

        test::selectRows(list(), {0, 1});
        QCOMPARE(pressed(main(), u"cmdOpenFile"_s), QStringList{kOneAtATime});
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(folder + u"notes.txt"_s)});

        // The double-click launches the first selected row without a word.
        test::selectRows(list(), {1});
        const qsizetype before = dialogs().shown.size();
        Q_EMIT list()->itemDoubleClicked(list()->topLevelItem(1), 0);
        QCOMPARE(dialogs().shown.size(), before);
        QCOMPARE(opened.last(), QUrl::fromLocalFile(folder + u"picture.png"_s));

        // The menu item launches like the button; a desktop that cannot open it is told.
        session->env.desktopOpensUrls = false;
        main()->findChild<QAction*>(u"mnuOpenFile"_s)->trigger();
        QCOMPARE(dialogs().shown.last().icon, MessageIcon::Exclamation);
        QVERIFY(dialogs().texts().last().contains(u"picture.png"_s));

        // The way out removes the launch folder with the temporary folder.
        session->program->QuitApplication();
        QVERIFY(!QDir(folder).exists());
    }
};

QTEST_MAIN(FilesGuiTest)
#include "tst_files_gui.moc"
