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

QString withoutTrailingSlash(const QString& path) {
    QString folder = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) {
        folder.chop(1);
    }
    return folder;
}

// Makes `folder` and every missing folder above it with exactly `mode`: a permissive umask never
// leaves one open to others, not even for a moment, and a strict one never locks the owner out.
// Folders that exist are left as they are.
bool makeFolders(const QString& folder, mode_t mode) {
    const QStringList parts = folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString path;
    for (const QString& part : parts) {
        path += QLatin1Char('/') + part;
        const QByteArray native = QFile::encodeName(path);
        if (::mkdir(native.constData(), mode) == 0) {
            if (::chmod(native.constData(), mode) != 0) {
                return false;
            }
            continue;
        }
        struct stat facts {};
        if (errno != EEXIST || ::stat(native.constData(), &facts) != 0 || !S_ISDIR(facts.st_mode)) {
            return false;
        }
    }
    return true;
}

// Makes the folder and its missing parents private (0700). An existing folder of ours that
// others may enter or read is narrowed to 0700; one that others may write to is left as it is,
// for the data folder's check to refuse (someone else may have put something in it).
bool ensureFolderPrivate(const QString& path) {
    const QString folder = withoutTrailingSlash(path);
    if (!makeFolders(folder, S_IRWXU)) {
        return false;
    }
    const QByteArray native = QFile::encodeName(folder);
    struct stat facts {};
    if (::stat(native.constData(), &facts) != 0) {
        return false;
    }
    const bool othersWrite = (facts.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    if (facts.st_uid == ::geteuid() && !othersWrite && (facts.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
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
    // Every account may enter it; only its maker may change it.
    return makeFolders(withoutTrailingSlash(path), S_IRWXU | S_IRGRP | S_IXGRP | S_IROTH | S_IXOTH);
}

}  // namespace ks
