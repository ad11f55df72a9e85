#include "storage/DataFolderTrust.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace ks {

namespace {

QString accountOf(uid_t uid) {
    if (const passwd* entry = ::getpwuid(uid); entry != nullptr && entry->pw_name != nullptr) {
        return QString::fromLocal8Bit(entry->pw_name);
    }
    return QStringLiteral("user %1").arg(uid);
}

QString modeText(mode_t mode) {
    return QStringLiteral("%1").arg(mode & 07777, 4, 8, QLatin1Char('0'));
}

// One folder or file that must be the account's own and closed to others for writing.
FsResult checkOwn(const QString& path, const struct stat& facts, bool narrow) {
    const bool folder = S_ISDIR(facts.st_mode);
    if (facts.st_uid != ::geteuid()) {
        return FsResult::failure(
            QStringLiteral("%1 belongs to another account (%2), which can read and change "
                           "whatever is kept in it. Move it out of the way and start again.")
                .arg(path, accountOf(facts.st_uid)));
    }
    if ((facts.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return FsResult::failure(
            QStringLiteral("%1 can be changed by other accounts (its mode is %2). Check that "
                           "it holds only your own data, make it private with \"chmod %3 %1\" "
                           "and start again.")
                .arg(path, modeText(facts.st_mode),
                     folder ? QStringLiteral("700") : QStringLiteral("600")));
    }
    const mode_t wanted = folder ? S_IRWXU : (S_IRUSR | S_IWUSR);
    if (narrow && (facts.st_mode & (S_IRWXG | S_IRWXO)) != 0 &&
        ::chmod(QFile::encodeName(path).constData(), wanted) != 0) {
        return FsResult::failure(QStringLiteral("%1 could not be made private: %2")
                                     .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
    return {};
}

// The folders above `folder`, up to the root: none may let every account replace what it holds.
FsResult checkFoldersAbove(const QString& folder) {
    QString above = QFileInfo(folder).absolutePath();
    for (;;) {
        struct stat facts {};
        if (::stat(QFile::encodeName(above).constData(), &facts) == 0 &&
            (facts.st_mode & S_IWOTH) != 0 && (facts.st_mode & S_ISVTX) == 0) {
            return FsResult::failure(
                QStringLiteral("%1 can be changed by every account (its mode is %2), so the "
                               "data folder in it could be replaced by someone else's. Close it "
                               "with \"chmod o-w %1\" and start again.")
                    .arg(above, modeText(facts.st_mode)));
        }
        const QString next = QFileInfo(above).absolutePath();
        if (next == above) {
            return {};
        }
        above = next;
    }
}

}  // namespace

FsResult checkDataFolderTrust(const QString& folder, const QStringList& files, bool narrow) {
    QString cleaned = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (FsResult above = checkFoldersAbove(cleaned); !above) {
        return above;
    }
    struct stat facts {};
    if (::stat(QFile::encodeName(cleaned).constData(), &facts) != 0) {
        return {};  // not made yet: whatever is made in it will be ours
    }
    if (FsResult own = checkOwn(folder, facts, narrow); !own) {
        return own;
    }
    for (const QString& file : files) {
        if (::stat(QFile::encodeName(file).constData(), &facts) == 0) {
            if (FsResult own = checkOwn(file, facts, narrow); !own) {
                return own;
            }
        }
    }
    return {};
}

}  // namespace ks
