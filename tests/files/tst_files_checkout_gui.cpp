// Check-out of files and pictures driven end to end through Form6: the window, its folder
// chooser, the status window and the messages.
#include "FilesGuiFixture.h"

using namespace ks;
using namespace ks::test;
using namespace Qt::StringLiterals;

// The folder tree reads folders on a thread of its own, which a loaded machine and the
// sanitizers slow down a great deal.
constexpr int kFolderWait = 30000;

class FilesCheckOutGuiTest : public test::FilesGuiFixture {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        startSession();
        test::showTab(main(), kFilesTab);
    }
    void cleanup() { endSession(); }

    void checkOutWindowOfFilesAndAFailedExtraction() {
        // Without rows there is no window.
        QCOMPARE(pressed(main(), u"cmdFileCheckOut"_s), QStringList{kNoFiles});
        test::showTab(main(), kImagesTab);
        QCOMPARE(pressed(main(), u"cmdIMGCheckOut"_s), QStringList{kNoImages});
        QCOMPARE(dialogs().shown.last().icon, MessageIcon::Information);
        QVERIFY(form6() == nullptr || !form6()->isVisible());
        QVERIFY(main()->isEnabled());

        // With nothing selected the window offers all files only.
        checkInFile(u"first.txt"_s, "1");
        list()->clearSelection();
        main()->findChild<QAction*>(u"mnuFilesCheckOut"_s)->trigger();
        QVERIFY(form6() && form6()->isVisible());
        QCOMPARE(form6()->windowTitle(), u"Keystead - File Check-Out"_s);
        QCOMPARE(form6()->windowModality(), Qt::NonModal);
        QVERIFY(!main()->isEnabled());
        auto* optAll = test::control<QRadioButton>(form6(), u"optAll"_s);
        auto* optSelected = test::control<QRadioButton>(form6(), u"optSelected"_s);
        QCOMPARE(optAll->text(), u"All files in the database"_s);
        QCOMPARE(optSelected->text(), u"Only the files I selected"_s);
        QVERIFY(optAll->isChecked() && !optSelected->isEnabled() && !optSelected->isChecked());
        QCOMPARE(test::control<QGroupBox>(form6(), u"Frame1"_s)->title(), u"Check Out:"_s);
        QCOMPARE(test::control<QGroupBox>(form6(), u"Frame2"_s)->title(), u"To:"_s);
        QVERIFY(test::control<QComboBox>(form6(), u"Drive1"_s)->count() > 0);
        // The chosen volume's free space has a line of its own, which wraps when narrow.
        QVERIFY(test::control<QLabel>(form6(), u"Drive1Free"_s)->text().endsWith(u" free"_s));
        QVERIFY(test::control<QTreeView>(form6(), u"Dir1"_s) != nullptr);
        QCOMPARE(test::control<QLabel>(form6(), u"lblMode"_s)->text(), u"FILES"_s);
        QCOMPARE(test::control<QPushButton>(form6(), u"Command2"_s)->text(), u"Start"_s);
        // Cancel, and the close box, hide the window and give the main window back.
        QVERIFY(pressed(form6(), u"Command1"_s).isEmpty());
        QVERIFY(!form6()->isVisible() && main()->isEnabled());
        test::press(main(), u"cmdFileCheckOut"_s);
        QVERIFY(!form6()->close());
        QVERIFY(!form6()->isVisible() && main()->isEnabled());
        QVERIFY(!QDir(dest()).exists());

        // A failed extraction is told, with its reason and the name on one line, and the walk
        // goes on.
        checkInFile(u"sec\nond.txt"_s, "2");
        main()->findChild<FilesPage*>()->useArchiver(std::make_unique<test::FakeArchiver>());
        list()->clearSelection();
        test::press(main(), u"cmdFileCheckOut"_s);
        QCOMPARE(start(), (QStringList{kExtractFailed + u"first.txt"_s + kDamaged,
                                       kExtractFailed + u"sec␊ond.txt"_s + kDamaged}));
        QCOMPARE(dialogs().shown.last().icon, MessageIcon::Exclamation);
        QCOMPARE(dialogs().shown.last().title, u"Keystead"_s);
        QVERIFY(entries(dest()).isEmpty());
        QVERIFY(main()->isEnabled());
    }

    void selectedFilesAreWrittenWithTheStatusShown() {
        checkInFile(u"one.txt"_s, "one");
        checkInFile(u"two.txt"_s, "two");
        checkInFile(u"three.txt"_s, "three");
        // Another user's files never reach anna's destination.
        session->switchUser(u"bert"_s);
        checkInFile(u"bert.txt"_s, "bert");
        session->switchUser(u"anna"_s);
        test::showTab(main(), kFilesTab);
        test::selectRows(list(), {0, 2});
        test::press(main(), u"cmdFileCheckOut"_s);
        QVERIFY(test::control<QRadioButton>(form6(), u"optSelected"_s)->isChecked());

        const QSet<QString> seen =
            stepsShownBy([&] { QCOMPARE(start(), QStringList{checkedOut(u"2 files"_s, dest())}); });
        QVERIFY2(seen.contains(u"Decompressing File one.txt ...|disabled|busy"_s),
                 qPrintable(seen.values().join(u", "_s)));
        QVERIFY(seen.contains(u"Decompressing File three.txt ...|disabled|busy"_s));
        QCOMPARE(entries(dest()), (QStringList{u"one.txt"_s, u"three.txt"_s}));
        QVERIFY(!state().Quitting && main()->isVisible());
        QVERIFY(!form6()->isVisible() && main()->isEnabled());
        QVERIFY(!test::window(u"Form11"_s)->isVisible());

        // "All" is all of anna's files and none of bert's.
        test::press(main(), u"cmdFileCheckOut"_s);
        test::control<QRadioButton>(form6(), u"optAll"_s)->setChecked(true);
        QCOMPARE(start(), QStringList{checkedOut(u"3 files"_s, dest())});
        QCOMPARE(dialogs().shown.last().icon, MessageIcon::Information);
        QCOMPARE(entries(dest()), (QStringList{u"one.txt"_s, u"three.txt"_s, u"two.txt"_s}));
        QCOMPARE(entries(state().TempFolder), QStringList());
    }

    void selectedPicturesAreWritten() {
        checkInPicture(u"photo <b>1</b>.png"_s.replace(u'/', u'_'));
        const QString name = images()->item(0)->text();
        checkInPicture(u"other.png"_s);
        test::selectRows(images(), {0});
        main()->findChild<QAction*>(u"mnuCheckOut"_s)->trigger();
        QVERIFY(form6()->isVisible());
        QCOMPARE(form6()->windowTitle(), u"Keystead - Image Check-Out"_s);
        QCOMPARE(form6()->windowModality(), Qt::ApplicationModal);
        QCOMPARE(test::control<QRadioButton>(form6(), u"optAll"_s)->text(),
                 u"All images in the database"_s);
        auto* optSelected = test::control<QRadioButton>(form6(), u"optSelected"_s);
        QCOMPARE(optSelected->text(), u"Only the images I selected"_s);
        QVERIFY(optSelected->isEnabled() && optSelected->isChecked());
        QCOMPARE(test::control<QLabel>(form6(), u"lblMode"_s)->text(), u"IMAGES"_s);
        QCOMPARE(start(), QStringList{checkedOut(u"1 image"_s, dest())});
        QCOMPARE(entries(dest()), QStringList{name});
        QVERIFY(read(dest() + name).startsWith("\x89PNG"));
        QVERIFY(!form6()->isVisible() && main()->isEnabled());
    }

    void folderTreeKeepsTheChoiceInSight() {
        checkInFile(u"a.txt"_s, "a");
        test::press(main(), u"cmdFileCheckOut"_s);
        auto* tree = test::control<QTreeView>(form6(), u"Dir1"_s);
        auto* model = static_cast<QFileSystemModel*>(tree->model());
        // The row whole from top to bottom, and its name's start.
        const auto inSight = [tree] {
            const QRect row = tree->visualRect(tree->currentIndex());
            const QRect view = tree->viewport()->rect();
            return tree->currentIndex().isValid() && row.top() >= 0 &&
                   row.bottom() <= view.bottom() && row.left() >= 0 &&
                   row.left() < view.width() / 2;
        };
        // The home folder at first, in sight once the folders are read, also in a smaller tree
        // and after another folder is chosen; sideways too, never in the middle of its name.
        QCOMPARE(model->filePath(tree->currentIndex()), QDir::homePath());
        QTRY_VERIFY_WITH_TIMEOUT(inSight(), kFolderWait);
        form6()->resize(form6()->minimumSizeHint());
        QTRY_VERIFY_WITH_TIMEOUT(inSight(), kFolderWait);
        const QString deep = dest() + u"a/b/c/d"_s;
        QVERIFY(QDir().mkpath(deep));
        form6()->findChild<VolumeFolderChooser*>()->setCurrentFolder(deep);
        QTRY_VERIFY_WITH_TIMEOUT(inSight(), kFolderWait);
        QCOMPARE(model->filePath(tree->currentIndex()), deep);
    }

    void onlyTheChosenFolderIsWritten() {
        checkInFile(u"a.txt"_s, "a");
        const QString gone = dest() + u"gone"_s;
        const QString neighbour = dest() + u"neighbour"_s;
        QVERIFY(QDir().mkpath(gone) && QDir().mkpath(neighbour));
        test::press(main(), u"cmdFileCheckOut"_s);
        auto* chooser = form6()->findChild<VolumeFolderChooser*>();
        auto* tree = test::control<QTreeView>(form6(), u"Dir1"_s);
        auto* model = static_cast<QFileSystemModel*>(tree->model());
        chooser->setCurrentFolder(gone);
        QTRY_COMPARE_WITH_TIMEOUT(model->filePath(tree->currentIndex()), gone, kFolderWait);

        // The chosen folder goes while the window is up: the tree lets go of it, and Start
        // says so and writes nowhere.
        QVERIFY(QDir(gone).removeRecursively());
        QTRY_VERIFY_WITH_TIMEOUT(model->filePath(tree->currentIndex()) != gone, kFolderWait);
        QCOMPARE(pressed(form6(), u"Command2"_s),
                 QStringList{u"The folder "_s + gone +
                             u" is no longer there.  Choose another folder."_s});
        QVERIFY(form6()->isVisible() && form6()->isEnabled());
        QCOMPARE(entries(dest()), QStringList{u"neighbour"_s});

        // A folder can be typed (Enter goes there, and only there) or made anew; what cannot
        // be gone to is told and stays typed.
        auto* path = test::control<QLineEdit>(form6(), u"Dir1Path"_s);
        path->setText(dest() + u"nowhere"_s);
        QTest::keyClick(path, Qt::Key_Return);
        QCOMPARE(dialogs().texts().last(), u"There is no folder "_s + dest() + u"nowhere."_s);
        QCOMPARE(path->text(), dest() + u"nowhere"_s);
        path->setText(neighbour + u"/"_s);
        QTest::keyClick(path, Qt::Key_Return);
        QCOMPARE(chooser->currentFolder(), neighbour);
        QVERIFY(form6()->isVisible());
        dialogs().input(u"<b>a</b>"_s);
        QCOMPARE(pressed(form6(), u"Dir1New"_s),
                 (QStringList{u"Name of the new folder in "_s + neighbour + u':',
                              u"The folder <b>a</b> could not be made.\r\rThat name is taken or "
                              u"cannot be a folder name."_s}));
        dialogs().input(u" new <b>folder "_s);
        QCOMPARE(pressed(form6(), u"Dir1New"_s).size(), 1);
        const QString fresh = neighbour + u"/ new <b>folder "_s;
        QVERIFY(QFileInfo(fresh).isDir());
        QCOMPARE(chooser->currentFolder(), fresh);
        QCOMPARE(path->text(), fresh);

        // Enter in the tree presses Start.
        tree->setFocus();
        dialogs().clear();
        QTest::keyClick(tree, Qt::Key_Return);
        QCOMPARE(dialogs().texts(), QStringList{checkedOut(u"1 file"_s, fresh)});
        QCOMPARE(entries(fresh), QStringList{u"a.txt"_s});
        QVERIFY(!form6()->isVisible());
    }
};

QTEST_MAIN(FilesCheckOutGuiTest)
#include "tst_files_checkout_gui.moc"
