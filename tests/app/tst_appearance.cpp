// How the program looks on the desktop: the window layout kept per user, and the desktop's
// light or dark scheme followed, with pictures legible on both.
#include <QDBusConnection>
#include <QtTest>
#include <QtWidgets>

#include "GuiDriver.h"
#include "PrivateBus.h"
#include "Session.h"
#include "app/ColourScheme.h"
#include "app/WindowMemory.h"
#include "storage/ProgramPaths.h"
#include "storage/SettingsFile.h"
#include "widgets/Icons.h"
#include "widgets/TintedIcon.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

// The contrast of two colours as the accessibility guidelines measure it (1 to 21).
double contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& colour) {
        const auto channel = [](double c) {
            return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
               0.0722 * channel(colour.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The outline of the "new record" picture (its page's left edge) and the backdrop's corner, in
// the application's palette of the moment, checked against the colours behind them; and a box
// with a style sheet of its own (the password boxes) in the colours of that palette too.
void checkPicturesLegible(const QWidget& styledBox) {
    const QPalette palette = QGuiApplication::palette();
    QCOMPARE(styledBox.palette().color(QPalette::Base), palette.color(QPalette::Base));
    const QImage icon = tintedIcon(u":/icons/new.svg"_s).pixmap(QSize(48, 48)).toImage();
    const QColor outline = icon.pixelColor(10, 20);
    QVERIFY2(contrast(outline, palette.color(QPalette::Button)) >= 4.5,
             qPrintable(outline.name() + u" on "_s + palette.color(QPalette::Button).name()));
    const QImage backdrop = backdropPicture(palette).toImage();
    QVERIFY(!backdrop.isNull());
    QVERIFY(contrast(backdrop.pixelColor(5, 5), palette.color(QPalette::WindowText)) >= 4.5);
}

}  // namespace

class AppearanceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void windowLayoutIsKeptForTheUserOutsideTheDataFolder() {
        test::Session session;
        session.logIn(u"anna"_s);
        session.mainWindow()->resize(1111, 777);
        auto* files = test::control<QTreeWidget>(session.mainWindow(), u"lvFiles"_s);
        files->header()->resizeSection(0, 250);
        session.program->QuitApplication();
        const QString kept = session.env.configFolder() + u"Keystead/window.conf"_s;
        QVERIFY(QFileInfo(kept).isFile());
        QVERIFY(!test::readBytes(settingsPath(session.env.dataFolder())).contains("geometry"));

        session.start();
        session.logIn(u"anna"_s);
        QCOMPARE(session.mainWindow()->size(), QSize(1111, 777));
        files = test::control<QTreeWidget>(session.mainWindow(), u"lvFiles"_s);
        QCOMPARE(files->header()->sectionSize(0), 250);

        // Named splitters are kept too; a window never kept is left as it is.
        QWidget window;
        window.setObjectName(u"Probe"_s);
        auto* splitter = new QSplitter(&window);
        splitter->setObjectName(u"splitter"_s);
        splitter->addWidget(new QWidget);
        splitter->addWidget(new QWidget);
        window.resize(400, 300);
        splitter->resize(400, 300);
        const WindowMemory memory(kept);
        QVERIFY(!memory.restore(window));
        splitter->setSizes({100, 295});
        const QList<int> left = splitter->sizes();
        memory.save(window);
        splitter->setSizes({300, 95});
        QVERIFY(memory.restore(window));
        QCOMPARE(splitter->sizes(), left);
        QVERIFY(!WindowMemory(QString()).restore(window));
    }

    void followsTheDesktopsColourScheme() {
        if (!test::PrivateBus::available()) {
            QSKIP("dbus-daemon is not installed");
        }
        test::TestEnvironment env;
        const test::PrivateBus bus(env.root());
        const QString address = bus.address();
        QVERIFY(!address.isEmpty());
        QProcess portal;
        QProcessEnvironment portalEnvironment = QProcessEnvironment::systemEnvironment();
        portalEnvironment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, address);
        portal.setProcessEnvironment(portalEnvironment);
        portal.start(QCoreApplication::applicationDirPath() + u"/portal_stub"_s, {u"1"_s});
        QVERIFY(portal.waitForReadyRead(10000));
        QCOMPARE(portal.readLine().trimmed(), QByteArray("ready"));

        const QPalette light = QGuiApplication::palette();
        QVERIFY(!isDarkPalette(light));
        QLineEdit box;
        box.setStyleSheet(u"lineedit-password-character: 42;"_s);
        box.show();
        checkPicturesLegible(box);
        {
            // The desktop asks for dark at start: the toolkit's light palette gives way.
            QDBusConnection connection = QDBusConnection::connectToBus(address, u"scheme"_s);
            ColourScheme scheme(connection);
            QVERIFY(scheme.darkApplied());
            QVERIFY(isDarkPalette(QGuiApplication::palette()));
            checkPicturesLegible(box);
            // It changes its mind while the program runs, and again; a value that is not a
            // scheme changes nothing.
            portal.write("2\n");
            QTRY_VERIFY(!scheme.darkApplied());
            QCOMPARE(QGuiApplication::palette().color(QPalette::Window),
                     light.color(QPalette::Window));
            checkPicturesLegible(box);
            portal.write("1\n");
            QTRY_VERIFY(scheme.darkApplied());
            portal.write("0\n");  // no preference: the toolkit's own
            QTRY_VERIFY(!scheme.darkApplied());
        }
        const QVariant wrapped = QVariant::fromValue(QDBusVariant(QVariant::fromValue(2u)));
        QVERIFY(schemePreferenceFrom(wrapped) == SchemePreference::Light);
        QVERIFY(!schemePreferenceFrom(QVariant::fromValue(7u)));
        QVERIFY(!schemePreferenceFrom(QVariant::fromValue(u"dark"_s)));
        QDBusConnection::disconnectFromBus(u"scheme"_s);
        portal.closeWriteChannel();
        QVERIFY(portal.waitForFinished(10000));
    }
};

QTEST_MAIN(AppearanceTest)
#include "tst_appearance.moc"
