// Check-out and launch driven end to end through the real main window: Form6 for files and
// pictures, the status window, the messages, and the launch selection with the real gcab.
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

const QString kNoFiles = u"There are no files to export."_s;
const QString kNoImages = u"There are no images to export."_s;
const QString kExtractFailed = u"A problem occurred extracting file: "_s;
const QString kSelectToLaunch = u"You must select a file to launch."_s;
const QString kOneAtATime =
    u"Keystead will only run one file at a time.  The first file selected will now be launched."_s;

}  // namespace

class CheckOutGuiTest : public test::SessionTest {
    Q_OBJECT

    QTreeWidget* files() { return test::control<QTreeWidget>(main(), u"lvFiles"_s); }
    QListWidget* images() { return test::control<QListWidget>(main(), u"lstImages"_s); }
    QWidget* form6() { return test::window(u"Form6"_s); }
    QString dest() { return session->env.root() + u"dest/"_s; }
    QString source(const QString& name, const QByteArray& bytes) {
        return test::writeFile(session->env.root() + u"in/"_s + name, bytes);
    }
    void tab(int index) { test::showTab(main(), index); }
    void checkInFile(const QString& name, const QByteArray& bytes) {
        tab(kFilesTab);
        dialogs().file(source(name, bytes));
        QVERIFY(pressed(main(), u"cmdFileNew"_s).isEmpty());
    }
    void checkInPicture(const QString& name) {
        QImage picture(32, 24, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        const QString path = session->env.root() + u"in/"_s + name;
        QDir().mkpath(session->env.root() + u"in"_s);
        QVERIFY(picture.save(path, "PNG"));
        tab(kImagesTab);
        dialogs().files({path});
        QVERIFY(pressed(main(), u"cmdIMGNew"_s).isEmpty());
    }
    void selectFiles(const QList<int>& rows) { test::selectRows(files(), rows); }
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

private Q_SLOTS:
    void init() { startSession(); }
    void cleanup() { endSession(); }

    void noRowsNoWindow() {
        tab(kFilesTab);
        QCOMPARE(pressed(main(), u"cmdFileCheckOut"_s), QStringList{kNoFiles});
        tab(kImagesTab);
        QCOMPARE(pressed(main(), u"cmdIMGCheckOut"_s), QStringList{kNoImages});
        QCOMPARE(dialogs().shown.last().icon, MessageIcon::Information);
        QVERIFY(form6() == nullptr || !form6()->isVisible());
        QVERIFY(main()->isEnabled());
    }

    void filesWindowWithNothingSelected() {
        checkInFile(u"a.txt"_s, "a");
        files()->clearSelection();
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
    }

    void selectedFilesAreWrittenWithTheStatusShown() {
        checkInFile(u"one.txt"_s, "one");
        checkInFile(u"two.txt"_s, "two");
        checkInFile(u"three.txt"_s, "three");
        // Another user's files never reach anna's destination.
        session->switchUser(u"bert"_s);
        checkInFile(u"bert.txt"_s, "bert");
        session->switchUser(u"anna"_s);
        tab(kFilesTab);
        selectFiles({0, 2});
        test::press(main(), u"cmdFileCheckOut"_s);
        QVERIFY(test::control<QRadioButton>(form6(), u"optSelected"_s)->isChecked());
        QCOMPARE(test::control<QListWidget>(form6(), u"lstImagesToExport"_s)->count(), 2);
        test::writeFile(dest() + u"three.txt"_s, "an older three");

        QSet<QString> seen;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            QWidget* form11 = test::window(u"Form11"_s);
            if (form11 != nullptr && form11->isVisible()) {
                seen.insert(test::control<QLabel>(form11, u"lblStatus"_s)->text() +
                            (main()->isEnabled() ? u"|enabled"_s : u"|disabled"_s));
                // Closing the windows meanwhile waits for the check-out to end.
                QVERIFY(!main()->close() && !form6()->close());
            }
        });
        watch.start(0);
        QVERIFY(start().isEmpty());
        watch.stop();
        QVERIFY(seen.contains(u"Decompressing File one.txt ...|disabled"_s));
        QVERIFY(seen.contains(u"Decompressing File three.txt ...|disabled"_s));
        QCOMPARE(entries(dest()), (QStringList{u"one.txt"_s, u"three.txt"_s}));
        QCOMPARE(read(dest() + u"three.txt"_s), QByteArray("three"));
        QVERIFY(!state().Quitting && main()->isVisible());
        QVERIFY(!form6()->isVisible() && main()->isEnabled());
        QVERIFY(!test::window(u"Form11"_s)->isVisible());

        // "All" is all of anna's files and none of bert's.
        test::press(main(), u"cmdFileCheckOut"_s);
        test::control<QRadioButton>(form6(), u"optAll"_s)->setChecked(true);
        QVERIFY(start().isEmpty());
        QCOMPARE(entries(dest()), (QStringList{u"one.txt"_s, u"three.txt"_s, u"two.txt"_s}));
        QCOMPARE(entries(state().TempFolder), QStringList());
    }

    void failedExtractionIsToldAndTheWalkGoesOn() {
        checkInFile(u"first.txt"_s, "1");
        checkInFile(u"second.txt"_s, "2");
        main()->findChild<FilesPage*>()->useArchiver(std::make_unique<test::FakeArchiver>());
        files()->clearSelection();
        test::press(main(), u"cmdFileCheckOut"_s);
        QCOMPARE(start(),
                 (QStringList{kExtractFailed + u"first.txt"_s, kExtractFailed + u"second.txt"_s}));
        QCOMPARE(dialogs().shown.last().icon, MessageIcon::Exclamation);
        QCOMPARE(dialogs().shown.last().title, u"Keystead"_s);
        QVERIFY(entries(dest()).isEmpty());
        QVERIFY(main()->isEnabled());
    }

    void picturesGetCopyOfNames() {
        checkInPicture(u"photo <b>1</b>.png"_s.replace(u'/', u'_'));
        const QString name = images()->item(0)->text();
        checkInPicture(u"other.png"_s);
        test::writeFile(dest() + name, "mine");
        test::writeFile(dest() + u"Copy of "_s + name, "my copy");
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
        QVERIFY(start().isEmpty());
        QCOMPARE(entries(dest()),
                 (QStringList{u"Copy of Copy of "_s + name, u"Copy of "_s + name, name}));
        QCOMPARE(read(dest() + name), QByteArray("mine"));
        QVERIFY(read(dest() + u"Copy of Copy of "_s + name).startsWith("\x89PNG"));
        QVERIFY(!form6()->isVisible() && main()->isEnabled());
    }

    void launchSelection() {
        checkInFile(u"notes.txt"_s, "notes");
        checkInFile(u"picture.png"_s, "png");
        tab(kFilesTab);
        QList<QUrl>& opened = session->env.openedUrls;
        const QString folder = state().TempFolder + u"Keystead/"_s;

        files()->clearSelection();
        QCOMPARE(pressed(main(), u"cmdOpenFile"_s), QStringList{kSelectToLaunch});
        QVERIFY(opened.isEmpty());

        selectFiles({0, 1});
        QCOMPARE(pressed(main(), u"cmdOpenFile"_s), QStringList{kOneAtATime});
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(folder + u"notes.txt"_s)});
        QCOMPARE(read(folder + u"notes.txt"_s), QByteArray("notes"));

        // The double-click launches the first selected row without a word; the launch folder
        // is emptied first.
        selectFiles({1});
        const qsizetype before = dialogs().shown.size();
        Q_EMIT files()->itemDoubleClicked(files()->topLevelItem(1), 0);
        QCOMPARE(dialogs().shown.size(), before);
        QCOMPARE(opened.last(), QUrl::fromLocalFile(folder + u"picture.png"_s));
        QCOMPARE(entries(folder), QStringList{u"picture.png"_s});

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

QTEST_MAIN(CheckOutGuiTest)
#include "tst_checkout_gui.moc"
