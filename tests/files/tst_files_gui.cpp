// The Files tab driven end to end through the real main window: check-in with the status
// window, the list with its sizes, the delete dialogue and the refusals; check-out of files and
// pictures through Form6, its status window and messages, and the launch with the real gcab.
#include <QtTest>
#include <QtWidgets>

#include "FilesTestSupport.h"
#include "GuiDriver.h"
#include "Session.h"
#include "files/CheckOutWindow.h"
#include "files/FilesPage.h"
#include "widgets/VolumeFolderChooser.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

enum { kImagesTab = 2, kFilesTab = 3 };

const QString kCompressionFailed =
    u"An error occurred while compressing the file for storage!\r\rThe file was not added."_s;
const QString kOverLimit =
    u"Once compressed, the file exceeded 120Mb in size.  Files over 120Mb cannot be added to "
    "the database."_s;
const QString kSelect = u"You must select a file to delete."_s;
const QString kOneHeading = u"You are about to delete the following file:"_s;
const QString kManyHeading = u"You are about to delete the following files:"_s;
const QString kNoFiles = u"There are no files to export."_s;
const QString kNoImages = u"There are no images to export."_s;
const QString kExtractFailed = u"A problem occurred extracting file: "_s;
const QString kSelectToLaunch = u"You must select a file to launch."_s;
const QString kDamaged = u"\r\rIts stored archive is damaged."_s;
const QString kOneAtATime =
    u"Keystead will only run one file at a time.  The first file selected will now be launched."_s;

}  // namespace

class FilesGuiTest : public test::SessionTest {
    Q_OBJECT

    QTreeWidget* list() { return test::control<QTreeWidget>(main(), u"lvFiles"_s); }
    QListWidget* images() { return test::control<QListWidget>(main(), u"lstImages"_s); }
    QWidget* form6() { return test::window(u"Form6"_s); }
    QString workArchive() { return state().TempFolder + u"store.cab"_s; }
    QString dest() { return session->env.root() + u"dest/"_s; }
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
    void checkInFile(const QString& name, const QByteArray& bytes) {
        test::showTab(main(), kFilesTab);
        QVERIFY(checkIn(file(name, bytes)).isEmpty());
    }
    void checkInPicture(const QString& name) {
        QImage picture(32, 24, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        const QString path = file(name, {});
        QVERIFY(picture.save(path, "PNG"));
        test::showTab(main(), kImagesTab);
        dialogs().files({path});
        QVERIFY(pressed(main(), u"cmdIMGNew"_s).isEmpty());
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
    // Points Form6 at the destination and presses "Start"; the texts shown meanwhile.
    QStringList start() {
        QDir().mkpath(dest());
        form6()->findChild<VolumeFolderChooser*>()->setCurrentFolder(QDir(dest()).absolutePath());
        return pressed(form6(), u"Command2"_s);
    }
    static QStringList entries(const QString& folder) {
        return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    }
    static QByteArray read(const QString& path) { return test::readBytes(path, "<missing>"); }
    // The message after a check-out that wrote `what` into the folder `folder`.
    static QString checkedOut(const QString& what, const QString& folder) {
        return u"Checked out "_s + what + u" to "_s + QDir::cleanPath(folder);
    }
    // Runs `action`, noting each step Form11 shows meanwhile as "step|main window enabled or
    // disabled|busy bar busy or still"; closing the main window or Form6 meanwhile must wait.
    QSet<QString> stepsShownBy(const std::function<void()>& action) {
        QSet<QString> seen;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            QWidget* form11 = test::window(u"Form11"_s);
            if (form11 != nullptr && form11->isVisible()) {
                QVERIFY(!main()->close());
                QVERIFY(form6() == nullptr || !form6()->isVisible() || !form6()->close());
                seen.insert(QStringList{test::control<QLabel>(form11, u"lblStatus"_s)->text(),
                                        main()->isEnabled() ? u"enabled"_s : u"disabled"_s,
                                        test::control<QWidget>(form11, u"barBusy"_s)->isVisible()
                                            ? u"busy"_s
                                            : u"still"_s}
                                .join(u'|'));
            }
        });
        watch.start(0);
        action();
        watch.stop();
        return seen;
    }

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

        // A failed extraction is told and the walk goes on.
        checkInFile(u"second.txt"_s, "2");
        main()->findChild<FilesPage*>()->useArchiver(std::make_unique<test::FakeArchiver>());
        list()->clearSelection();
        test::press(main(), u"cmdFileCheckOut"_s);
        QCOMPARE(start(), (QStringList{kExtractFailed + u"first.txt"_s + kDamaged,
                                       kExtractFailed + u"second.txt"_s + kDamaged}));
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

    void onlyTheChosenFolderIsWritten() {
        checkInFile(u"a.txt"_s, "a");
        const QString gone = dest() + u"gone"_s;
        const QString neighbour = dest() + u"neighbour"_s;
        QVERIFY(QDir().mkpath(gone) && QDir().mkpath(neighbour));
        test::press(main(), u"cmdFileCheckOut"_s);
        auto* chooser = form6()->findChild<VolumeFolderChooser*>();
        auto* tree = test::control<QTreeView>(form6(), u"Dir1"_s);
        auto* model = static_cast<QFileSystemModel*>(tree->model());
        // The tree shows the folder it starts at (the home folder, at first), once its folders
        // are read.
        const auto inSight = [tree] {
            return tree->viewport()->rect().contains(tree->visualRect(tree->currentIndex()));
        };
        QCOMPARE(model->filePath(tree->currentIndex()), QDir::homePath());
        QTRY_VERIFY(inSight());
        chooser->setCurrentFolder(gone);
        QTRY_VERIFY(inSight());
        QCOMPARE(model->filePath(tree->currentIndex()), gone);

        // The chosen folder goes while the window is up: the tree lets go of it, and Start
        // says so and writes nowhere.
        QVERIFY(QDir(gone).removeRecursively());
        QTRY_VERIFY(model->filePath(tree->currentIndex()) != gone);
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
