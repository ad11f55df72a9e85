#pragma once

// What the end-to-end tests of the Files tab share: the session, its windows and controls, and
// ways to check files and pictures in, to start a check-out and to watch the status window.
#include <QtTest>
#include <QtWidgets>

#include "FilesTestSupport.h"
#include "GuiDriver.h"
#include "Session.h"
#include "files/CheckOutWindow.h"
#include "files/FilesPage.h"
#include "widgets/VolumeFolderChooser.h"

namespace ks::test {

using namespace Qt::StringLiterals;

enum : int { kImagesTab = 2, kFilesTab = 3 };

inline const QString kCompressionFailed =
    u"An error occurred while compressing the file for storage!\r\rThe file was not added."_s;
inline const QString kOverLimit =
    u"Once compressed, the file exceeded 120Mb in size.  Files over 120Mb cannot be added to "
    "the database."_s;
inline const QString kSelect = u"You must select a file to delete."_s;
inline const QString kOneHeading = u"You are about to delete the following file:"_s;
inline const QString kManyHeading = u"You are about to delete the following files:"_s;
inline const QString kNoFiles = u"There are no files to export."_s;
inline const QString kNoImages = u"There are no images to export."_s;
inline const QString kExtractFailed = u"A problem occurred extracting file: "_s;
inline const QString kSelectToLaunch = u"You must select a file to launch."_s;
inline const QString kDamaged = u"\r\rIts stored archive is damaged."_s;
inline const QString kOneAtATime =
    u"Keystead will only run one file at a time.  The first file selected will now be launched."_s;

class FilesGuiFixture : public test::SessionTest {
protected:
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
};

}  // namespace ks::test
