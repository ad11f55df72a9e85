#include "WindowsWorld.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "GuiDriver.h"
#include "WindowsFill.h"

namespace ks::bench {

namespace {

quint64 deliveredEvents = 0;

// Sees every event the application delivers, in any window.
class EventCounter final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        ++deliveredEvents;
        return QObject::eventFilter(watched, event);
    }
};

void makePrivateFolder(const QString& path) {
    QDir().mkpath(path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

}  // namespace

void installEventCounter() {
    static EventCounter* counter = nullptr;
    if (counter == nullptr) {
        counter = new EventCounter(qApp);
        qApp->installEventFilter(counter);
    }
}

void settle() {
    // A pass that delivers nothing means nothing is queued: no posted event, no update request.
    for (int pass = 0; pass < 10000; ++pass) {
        const quint64 before = deliveredEvents;
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (deliveredEvents == before) {
            return;
        }
    }
}

double Samples::worst() const {
    return values_.empty() ? 0.0 : *std::max_element(values_.begin(), values_.end());
}

double Samples::quantile(double q) const {
    if (values_.empty()) {
        return 0.0;
    }
    std::vector<double> sorted = values_;
    std::sort(sorted.begin(), sorted.end());
    // The nearest rank: the smallest value at or above the q-th part of the samples.
    const auto rank = static_cast<size_t>(std::ceil(q * static_cast<double>(sorted.size())));
    return sorted[std::clamp<size_t>(rank, 1, sorted.size()) - 1];
}

BenchWorld::BenchWorld(const QString& root, const QString& name, const QString& database,
                       const QString& secret)
    : folder_(root + name + QLatin1Char('/')), secret_(secret) {
    for (const char* sub : {"app/help", "data/Keystead", "tmp", "home"}) {
        makePrivateFolder(folder_ + QString::fromLatin1(sub));
    }
    const QString bin = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    QFile::copy(bin + QStringLiteral("Template.dat"), folder_ + QStringLiteral("app/Template.dat"));
    QFile::copy(bin + QStringLiteral("help/index.html"),
                folder_ + QStringLiteral("app/help/index.html"));
    const QString live = folder_ + QStringLiteral("data/Keystead/Data.mdb");
    QFile::copy(database, live);
    QFile::setPermissions(live, QFile::ReadOwner | QFile::WriteOwner);
}

void BenchWorld::start() {
    stop();
    qputenv("HOME", (folder_ + QStringLiteral("home")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (folder_ + QStringLiteral("data")).toLocal8Bit());
    qputenv("TMPDIR", (folder_ + QStringLiteral("tmp")).toLocal8Bit());
    qunsetenv("APPDATA");
    qunsetenv("HOMEDRIVE");
    ProgramOptions options;
    options.appFolder = folder_ + QStringLiteral("app");
    options.environment = QProcessEnvironment::systemEnvironment();
    options.endProcess = [](int) {};
    options.openUrl = [](const QUrl&) { return true; };
    options.clock = clock_;
    dialogs.clear();
    program_ = std::make_unique<Program>(dialogs, options);
    program_->start();
    settle();
}

bool BenchWorld::logIn(const QString& name) {
    test::logIn(name, secret_);
    return program_->state().LoggedIn;
}

void BenchWorld::stop() {
    program_.reset();
    settle();
}

void usePrivateHome(const QString& root) {
    for (const char* sub : {"home", "home/.cache", "home/.config", "home/.local/share"}) {
        makePrivateFolder(root + QString::fromLatin1(sub));
    }
    qputenv("HOME", (root + QStringLiteral("home")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (root + QStringLiteral("home/.cache")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (root + QStringLiteral("home/.config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (root + QStringLiteral("home/.local/share")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", (root + QStringLiteral("home")).toLocal8Bit());
}

namespace {

// The offscreen platform's notes about window features it lacks would bury the table.
void quietPlatformNotes(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith(QStringLiteral("This plugin does not support"))) {
        return;
    }
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

}  // namespace

void useOffscreenWorld(const QString& root) {
    usePrivateHome(root);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qputenv("QT_LOGGING_RULES", "qt.qpa.*=false");
    qInstallMessageHandler(quietPlatformNotes);
}

long peakResidentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return 0;
    }
    QTextStream lines(&status);
    for (QString line = lines.readLine(); !line.isNull(); line = lines.readLine()) {
        if (line.startsWith(QStringLiteral("VmHWM:"))) {
            return line.section(QLatin1Char(' '), 1, -1, QString::SectionSkipEmpty)
                .section(QLatin1Char(' '), 0, 0)
                .toLong();
        }
    }
    return 0;
}

}  // namespace ks::bench
