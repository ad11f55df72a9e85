#include "storage/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace ks {

namespace {

QString definedAbsolute(const QProcessEnvironment& environment, const QString& name) {
    const QString value = environment.value(name).trimmed();
    return !value.isEmpty() && QDir::isAbsolutePath(value) ? value : QString();
}

QString accountName(const QProcessEnvironment& environment) {
    const QString user = environment.value(QStringLiteral("USER")).trimmed();
    if (!user.isEmpty()) {
        return user;
    }
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_name != nullptr) {
        return QString::fromLocal8Bit(entry->pw_name);
    }
    return QString::number(getuid());
}

QString accountHome() {
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
        return QString::fromLocal8Bit(entry->pw_dir);
    }
    return {};
}

bool ensureFolder(const QString& path, QFile::Permissions permissions) {
    if (QFileInfo(path).isDir()) {
        return true;
    }
    if (!QDir().mkpath(path)) {
        return false;
    }
    return QFile::setPermissions(path, permissions);
}

// Makes the last folder of `path` with mode 0700 from the start (a permissive umask never opens
// it, not even for a moment); its parents are made as usual. An existing folder of ours that is
// open to others is narrowed to 0700.
bool ensureFolderPrivate(const QString& path) {
    QString folder = path;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) {
        folder.chop(1);
    }
    const QString parent = QFileInfo(folder).absolutePath();
    if (!QFileInfo(parent).isDir() && !QDir().mkpath(parent)) {
        return false;
    }
    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), S_IRWXU) == 0) {
        return true;
    }
    struct stat facts {};
    if (errno != EEXIST || ::stat(native.constData(), &facts) != 0 || !S_ISDIR(facts.st_mode)) {
        return false;
    }
    if (facts.st_uid == ::geteuid() && (facts.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        return ::chmod(native.constData(), S_IRWXU) == 0;
    }
    return true;
}

}  // namespace

QString withTrailingSlash(const QString& path) {
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

DataFolderChoice chooseDataFolder(const QProcessEnvironment& environment, const QString& appTitle) {
    if (const QString appData = definedAbsolute(environment, QStringLiteral("APPDATA"));
        !appData.isEmpty()) {
        return {withTrailingSlash(appData) + appTitle + QLatin1Char('/'), {}};
    }
    QString dataHome = definedAbsolute(environment, QStringLiteral("XDG_DATA_HOME"));
    if (dataHome.isEmpty()) {
        if (const QString home = definedAbsolute(environment, QStringLiteral("HOME"));
            !home.isEmpty()) {
            dataHome = withTrailingSlash(home) + QStringLiteral(".local/share");
        }
    }
    if (!dataHome.isEmpty()) {
        return {withTrailingSlash(dataHome) + appTitle + QLatin1Char('/'), {}};
    }
    if (const QString drive = definedAbsolute(environment, QStringLiteral("HOMEDRIVE"));
        !drive.isEmpty()) {
        const QString users = withTrailingSlash(drive) + appTitle + QStringLiteral(" Users/");
        const QString folder = users + accountName(environment) + QLatin1Char('/');
        return {folder, {users, folder}};
    }
    // No variable names a place: the account's home from the password database.
    const QString home = accountHome();
    return {withTrailingSlash(home.isEmpty() ? QDir::homePath() : home) +
                QStringLiteral(".local/share/") + appTitle + QLatin1Char('/'),
            {}};
}

bool ensurePrivateFolder(const QString& path) {
    return ensureFolderPrivate(path);
}

bool ensureSharedFolder(const QString& path) {
    return ensureFolder(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                  QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                  QFile::ExeOther);
}

}  // namespace ks
