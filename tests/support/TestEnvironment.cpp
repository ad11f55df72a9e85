#include "TestEnvironment.h"

#include <sys/stat.h>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include "crypto/PassPhrase.h"
#include "storage/FileServices.h"

namespace ks::test {

TestEnvironment::TestEnvironment() {
    dir_.setAutoRemove(true);
    QDir root(dir_.path());
    root.mkpath(QStringLiteral("home"));
    root.mkpath(QStringLiteral("data"));
    root.mkpath(QStringLiteral("tmp"));
    root.mkpath(QStringLiteral("config"));
    root.mkpath(QStringLiteral("app/help"));
    const QString bin = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    QFile::copy(bin + QStringLiteral("Template.dat"), templatePath());
    QFile::copy(bin + QStringLiteral("help/index.html"),
                appFolder() + QStringLiteral("help/index.html"));

    setVariable("HOME", root.filePath(QStringLiteral("home")));
    setVariable("XDG_DATA_HOME", root.filePath(QStringLiteral("data")));
    setVariable("TMPDIR", root.filePath(QStringLiteral("tmp")));
    setVariable("XDG_CONFIG_HOME", root.filePath(QStringLiteral("config")));
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

QString TestEnvironment::freshDatabase(const QString& path) const {
    const QString target = path.isEmpty() ? databasePath() : path;
    if (!QDir().mkpath(QFileInfo(target).path()) || !QFile::copy(templatePath(), target)) {
        QTest::qFail(qPrintable(QStringLiteral("no fresh database at ") + target), __FILE__,
                     __LINE__);
    }
    QFile::setPermissions(target, kPrivateFile);
    return target;
}

void DatabaseTest::startDatabase() {
    env = std::make_unique<TestEnvironment>();
    database = std::make_unique<DatabaseAccess>(env->freshDatabase(), PassPhrase());
}

void DatabaseTest::endDatabase() {
    database.reset();
    env.reset();
}

QByteArray readBytes(const QString& path, const QByteArray& unreadable) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : unreadable;
}

QString writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size()) {
        QTest::qFail(qPrintable(QStringLiteral("could not write ") + path), __FILE__, __LINE__);
    }
    return path;
}

int fileMode(const QString& path) {
    struct stat facts {};
    return ::stat(QFile::encodeName(path).constData(), &facts) == 0 ? int(facts.st_mode & 07777)
                                                                    : -1;
}

qint64 countOf(Connection& connection, const QString& sql) {
    Statement query = connection.prepare(sql);
    return query.next() ? query.integer(0) : -1;
}

QStringList leftoverFiles(const QString& folder, const QStringList& expected) {
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : expected) {
        names.removeAll(name);
    }
    return names;
}

QStringList filesUnder(const QString& folder) {
    QStringList found;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        found.append(it.next());
    }
    return found;
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
    options.dailyBackups = dailyBackups;
    return options;
}

}  // namespace ks::test
