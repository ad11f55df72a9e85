#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace ks::test {

TestEnvironment::TestEnvironment() {
    dir_.setAutoRemove(true);
    QDir root(dir_.path());
    root.mkpath(QStringLiteral("home"));
    root.mkpath(QStringLiteral("data"));
    root.mkpath(QStringLiteral("tmp"));
    root.mkpath(QStringLiteral("app/help"));
    const QString bin = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    QFile::copy(bin + QStringLiteral("Template.dat"), templatePath());
    QFile::copy(bin + QStringLiteral("help/index.html"),
                appFolder() + QStringLiteral("help/index.html"));

    setVariable("HOME", root.filePath(QStringLiteral("home")));
    setVariable("XDG_DATA_HOME", root.filePath(QStringLiteral("data")));
    setVariable("TMPDIR", root.filePath(QStringLiteral("tmp")));
    setVariable("APPDATA", std::nullopt);
    setVariable("HOMEDRIVE", std::nullopt);
}

TestEnvironment::~TestEnvironment() {
    for (auto it = saved_.cbegin(); it != saved_.cend(); ++it) {
        if (it.value()) {
            qputenv(it.key().constData(), *it.value());
        } else {
            qunsetenv(it.key().constData());
        }
    }
}

void TestEnvironment::setVariable(const char* name, std::optional<QString> value) {
    const QByteArray key(name);
    if (!saved_.contains(key)) {
        saved_.insert(key, qEnvironmentVariableIsSet(name)
                               ? std::optional<QByteArray>(qgetenv(name))
                               : std::nullopt);
    }
    if (value) {
        qputenv(name, value->toLocal8Bit());
    } else {
        qunsetenv(name);
    }
}

ProgramOptions TestEnvironment::programOptions() {
    ProgramOptions options;
    options.appFolder = appFolder();
    options.environment = QProcessEnvironment::systemEnvironment();
    options.endProcess = [this](int) { ++endCount; };
    options.openUrl = [this](const QUrl& url) {
        openedUrls.append(url);
        return desktopOpensUrls;
    };
    options.startProgram = [this](const QString& program, const QStringList& arguments) {
        startedPrograms.append(QStringList{program} + arguments);
        return true;
    };
    return options;
}

}  // namespace ks::test
