// The Images tab and the viewer, driven end to end through the main window.
#include <QtTest>
#include <QtWidgets>

#include "GuiDriver.h"
#include "Session.h"
#include "TestPictures.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

const QString kSelectToView = u"You must select an image to view."_s;
const QString kSelectToDelete = u"You must select an image to delete."_s;

}  // namespace

class ImagesGuiTest : public test::SessionTest {
    Q_OBJECT

    QListWidget* list() { return test::control<QListWidget>(main(), u"lstImages"_s); }
    QLabel* preview() { return test::control<QLabel>(main(), u"imgPreview"_s); }
    QStringList listed() { return test::itemTexts(list()); }
    QString picture(const QString& name, const QByteArray& bytes) {
        return test::writeFile(session->env.root() + u"pictures/"_s + name, bytes);
    }
    QString photo(const QString& name, QSize size = QSize(640, 480)) {
        return picture(name, test::encoded(test::quarters(size), "JPEG"));
    }
    // Presses a button of the Images tab; the texts of the messages shown meanwhile.
    QStringList pressed(const QString& button) {
        test::showTab(main(), 2);
        return SessionTest::pressed(main(), button);
    }
    void checkIn(const QStringList& paths) {
        dialogs().files(paths);
        QVERIFY(pressed(u"cmdIMGNew"_s).isEmpty());
    }
    void select(const QList<int>& rows) { test::selectRows(list(), rows, true); }
    // Double-clicks a row; what the viewer showed, or nothing when no viewer came up.
    struct Viewed {
        bool shown = false;
        QSize picture, shownSize, window;
        bool scrolls = false;
        QRect area, close;
        QStringList tempFiles;
    };
    Viewed view(int row) {
        Viewed seen;
        auto done = test::whenModal(u"Form4"_s, [&](QWidget* viewer) {
            seen.shown = true;
            auto* image1 = test::control<QLabel>(viewer, u"Image1"_s);
            auto* area = test::control<QWidget>(viewer, u"Image1Area"_s);
            seen.picture = image1->pixmap().size();
            seen.shownSize = image1->size();
            seen.scrolls = area->findChild<QScrollBar*>() != nullptr &&
                           static_cast<QScrollArea*>(area)->horizontalScrollBar()->maximum() > 0;
            seen.window = viewer->size();
            seen.area = area->geometry();
            seen.close = test::control<QPushButton>(viewer, u"cmdClose"_s)->geometry();
            seen.tempFiles = test::filesUnder(session->env.tempBase());
            QTest::mouseClick(image1, Qt::LeftButton);
        });
        select({row});
        list()->itemDoubleClicked(list()->item(row));
        if (!*done) {
            // A viewer that came up after all must not block the test.
            if (QWidget* viewer = test::window(u"Form4"_s); viewer && viewer->isVisible()) {
                viewer->hide();
            }
        }
        return seen;
    }

private Q_SLOTS:
    void init() { startSession(); }
    void cleanup() { endSession(); }

    void checkInFiltersCancelMenuItemsAndFailure() {
        dialogs().file(QString());
        QVERIFY(pressed(u"cmdIMGNew"_s).isEmpty());
        QVERIFY(listed().isEmpty());
        QCOMPARE(dialogs().lastFilters.mid(0, 2),
                 (QStringList{u"(*.bmp;*.jpg;*.gif;*.dat;*.pcx) (*.bmp *.jpg *.gif *.dat *.pcx)"_s,
                              u"(*.psd) (*.psd)"_s}));
        QVERIFY(dialogs().lastFilters.value(2).contains(u"*.png"_s));
        QCOMPARE(dialogs().lastFilters.last(), u"(*.All files) (*)"_s);
        for (const char* name : {"mnuCheckIn", "mnuViewImage", "mnuDelete", "mnuCheckOut"}) {
            QVERIFY(main()->findChild<QAction*>(QLatin1String(name))->isEnabled());
        }
        dialogs().file(photo(u"harbour.jpg"_s));
        main()->findChild<QAction*>(u"mnuCheckIn"_s)->trigger();
        QCOMPARE(listed(), QStringList{u"harbour.jpg"_s});
        dialogs().file(QString());
        QVERIFY(pressed(u"cmdIMGNew"_s).isEmpty());
        QCOMPARE(listed(), QStringList{u"harbour.jpg"_s});

        // A failed check-in says so and adds none of the pictures chosen with it.
        const QString missing = session->env.root() + u"pictures/gone.jpg"_s;
        dialogs().files({photo(u"one.jpg"_s), missing});
        const QStringList shown = pressed(u"cmdIMGNew"_s);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(dialogs().shown.last().icon, MessageIcon::Critical);
        QVERIFY(shown.first().contains(missing));
        QCOMPARE(listed(), QStringList{u"harbour.jpg"_s});
    }

    void checkInOrderDeletionAndOwners() {
        const QString harbour = photo(u"harbour.jpg"_s);
        checkIn({harbour});
        checkIn({harbour});
        // Several at once are kept in the order chosen.
        checkIn({photo(u"<b>x<b> & co.jpg"_s), photo(u"Фото.jpg"_s), photo(u" spaced .jpg"_s)});
        QCOMPARE(listed(), (QStringList{u"harbour.jpg"_s, u"harbour.jpg"_s, u"<b>x<b> & co.jpg"_s,
                                        u"Фото.jpg"_s, u" spaced .jpg"_s}));
        QVERIFY(list()->item(2)->toolTip().contains(u"&lt;b&gt;x"_s));  // never read as markup
        list()->clearSelection();
        QCOMPARE(pressed(u"cmdIMGDelete"_s), QStringList{kSelectToDelete});
        QCOMPARE(dialogs().shown.last().icon, MessageIcon::Information);
        QCOMPARE(pressed(u"cmdIMGView"_s), QStringList{kSelectToView});
        QCOMPARE(dialogs().shown.last().icon, MessageIcon::Information);

        // Several rows, one name a line: No deletes nothing, Yes (here from the menu) all.
        const QString question =
            u"You are about to delete the following images:\r\r<b>x<b> & co.jpg\r"
            u"Фото.jpg\r spaced .jpg\r\rAre you sure?"_s;
        select({2, 3, 4});
        dialogs().answer(false);
        QCOMPARE(pressed(u"cmdIMGDelete"_s), QStringList{question});
        QCOMPARE(listed().size(), 5);
        QVERIFY(!state().DataDeleted);
        select({2, 3, 4});
        dialogs().answer(true);
        main()->findChild<QAction*>(u"mnuDelete"_s)->trigger();
        QCOMPARE(dialogs().shown.last().text, question);
        QCOMPARE(listed(), (QStringList{u"harbour.jpg"_s, u"harbour.jpg"_s}));
        QVERIFY(state().DataDeleted);
        // One row, by the Delete key in the list: the singular heading; the other row of the
        // same name stays.
        select({0});
        dialogs().answer(true);
        dialogs().clear();
        QTest::keyClick(list(), Qt::Key_Delete);
        QCOMPARE(dialogs().texts(),
                 QStringList{u"You are about to delete the following image:\r\rharbour.jpg\r\r"
                             u"Are you sure?"_s});
        QCOMPARE(dialogs().shown.last().icon, MessageIcon::Question);
        QCOMPARE(dialogs().shown.last().title, u"Keystead"_s);
        QCOMPARE(listed(), QStringList{u"harbour.jpg"_s});

        // Another user's pictures never show.
        session->switchUser(u"bert"_s);
        QVERIFY(listed().isEmpty());
        checkIn({photo(u"berts.jpg"_s)});
        session->switchUser(u"anna"_s);
        QCOMPARE(listed(), QStringList{u"harbour.jpg"_s});
    }

    void previewAndViewer() {
        checkIn({photo(u"small.jpg"_s, QSize(300, 200)), photo(u"large.jpg"_s, QSize(2400, 1800)),
                 picture(u"huge.jpg"_s, test::oversizedJpeg({9000, 9000})),
                 picture(u"huge.bmp"_s, test::hugeBmp())});
        const QStringList tempBefore = test::filesUnder(session->env.tempBase());
        // A click previews the whole picture, as large as the box allows with its proportions,
        // in the middle of the box.
        for (const int row : {0, 1}) {
            select({row});
            const QSize box = preview()->contentsRect().size();
            const QSize picture = row == 0 ? QSize(300, 200) : QSize(2400, 1800);
            const QSize shown = preview()->pixmap().size();
            QCOMPARE(shown, picture.scaled(box, Qt::KeepAspectRatio));
            QVERIFY(shown.width() == box.width() || shown.height() == box.height());
            const QImage area = preview()->grab(preview()->contentsRect()).toImage();
            const QPoint corner =
                QPoint(area.width() - shown.width(), area.height() - shown.height()) / 2;
            // The red quarter begins at the picture's corner; beside it, the box is empty.
            QVERIFY(area.pixelColor(corner + QPoint(3, 3)).red() > 150);
            const QPoint beside =
                corner + (shown.width() < area.width() ? QPoint(-3, 3) : QPoint(3, -3));
            QCOMPARE(area.pixelColor(beside), area.pixelColor(0, 0));
            QVERIFY(area.pixelColor(0, 0).green() > 100);  // not the red quarter
        }
        QCOMPARE(test::filesUnder(session->env.tempBase()), tempBefore);

        // A double-click opens the viewer: own size, centred area, Close at the lower right.
        for (const int row : {0, 1}) {
            const Viewed seen = view(row);
            QVERIFY(seen.shown);
            QCOMPARE(seen.picture, row == 0 ? QSize(300, 200) : QSize(2400, 1800));
            QCOMPARE(seen.shownSize, seen.picture);
            // A picture larger than the screen can be scrolled through.
            QCOMPARE(seen.scrolls, row == 1);
            QCOMPARE(seen.area.size(), seen.window - QSize(20, 20));
            QCOMPARE(seen.area.topLeft(), QPoint(10, 10));  // centred
            QCOMPARE(seen.close.size(), QSize(105, 25));
            QCOMPARE(seen.close.right() + 1, seen.window.width() - 13);
            QCOMPARE(seen.close.top(), seen.window.height() - 61);
            QCOMPARE(seen.tempFiles, tempBefore);
            QVERIFY(!test::window(u"Form4"_s)->isVisible());
        }
        // cmdIMGView, then "Close"; then a click on the window itself.
        select({0});
        auto closed = test::whenModal(u"Form4"_s,
                                      [](QWidget* viewer) { test::press(viewer, u"cmdClose"_s); });
        QVERIFY(pressed(u"cmdIMGView"_s).isEmpty());
        QVERIFY(*closed);
        select({1});
        closed = test::whenModal(u"Form4"_s, [](QWidget* viewer) {
            QTest::mouseClick(viewer, Qt::LeftButton, {}, QPoint(3, 3));
        });
        main()->findChild<QAction*>(u"mnuViewImage"_s)->trigger();
        QVERIFY(*closed);
        QVERIFY(!test::window(u"Form4"_s)->isVisible());

        // A picture that cannot be decoded (each kind is in the store test) leaves the last
        // preview and brings up no viewer; one too large to show says so when it is viewed.
        const qint64 shownKey = preview()->pixmap().cacheKey();
        select({3});
        QCOMPARE(preview()->pixmap().cacheKey(), shownKey);
        QVERIFY(!view(3).shown);
        QCOMPARE(preview()->pixmap().cacheKey(), shownKey);
        QVERIFY(dialogs().shown.isEmpty());
        select({2});
        QVERIFY(dialogs().shown.isEmpty());
        QVERIFY(!view(2).shown);
        QCOMPARE(dialogs().texts(),
                 QStringList{u"This picture is too large to show: 9000 × 9000 pixels. A "
                             u"picture may take at most 256 MB once decoded."_s});
        QCOMPARE(dialogs().shown.last().icon, MessageIcon::Exclamation);
        QCOMPARE(test::filesUnder(session->env.tempBase()), tempBefore);
        QCOMPARE(listed().size(), 4);
    }
};

QTEST_MAIN(ImagesGuiTest)
#include "tst_images_gui.moc"
