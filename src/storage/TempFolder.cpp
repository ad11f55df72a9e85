#include "storage/TempFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>

#include "storage/DataFolder.h"

namespace ks {

namespace {

const QString kWorkPrefix = QStringLiteral("data-");

bool isOurPrivateFolder(const QByteArray& path) {
    struct stat facts {};
    if (lstat(path.constData(), &facts) != 0) {
        return false;
    }
    return S_ISDIR(facts.st_mode) && facts.st_uid == geteuid() &&
           chmod(path.constData(), S_IRWXU) == 0;
}

// Makes `path` a private folder of ours, or finds it one already; false for anything else.
bool ownPrivateFolder(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    return mkdir(native.constData(), S_IRWXU) == 0 ||
           (errno == EEXIST && isOurPrivateFolder(native));
}

QString workFolderName(const QString& dataFolder) {
    const QFileInfo info(dataFolder);
    const QString real =
        info.canonicalFilePath().isEmpty() ? info.absoluteFilePath() : info.canonicalFilePath();
    const QByteArray digest =
        QCryptographicHash::hash(QFile::encodeName(real), QCryptographicHash::Sha256);
    return kWorkPrefix + QString::fromLatin1(digest.toHex().left(16));
}

// Removes an entry (a file, a link or a folder with everything in it) without following links.
void removeEntry(const QFileInfo& entry) {
    if (entry.isDir() && !entry.isSymLink()) {
        QDir(entry.filePath()).removeRecursively();
    } else {
        QFile::remove(entry.filePath());
    }
}

// Older builds kept their work files (the check-in archive, check-out staging folders, the
// launch folder) in the private temporary folder itself.
void removeOlderWorkFiles(const QString& privateTemp) {
    const QFileInfoList entries =
        QDir(privateTemp)
            .entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        if (!entry.fileName().startsWith(kWorkPrefix)) {
            removeEntry(entry);
        }
    }
}

}  // namespace

QString preparePrivateTempFolder(const QString& appTitle) {
    const QString base = withTrailingSlash(QDir::tempPath());
    const QString name = QStringLiteral("%1-%2").arg(appTitle).arg(geteuid());
    if (ownPrivateFolder(base + name)) {
        return base + name + QLatin1Char('/');
    }
    // The usual name is taken by something we must not trust: make a fresh folder instead.
    QByteArray pattern = QFile::encodeName(base + name) + "-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) {
        return QFile::decodeName(pattern) + QLatin1Char('/');
    }
    return {};
}

QString prepareWorkFolder(const QString& privateTemp, const QString& dataFolder, bool empty) {
    if (privateTemp.isEmpty()) {
        return {};
    }
    const QString folder = withTrailingSlash(privateTemp) + workFolderName(dataFolder);
    if (empty) {
        removeOlderWorkFiles(privateTemp);
        const QFileInfo left(folder);
        if (left.exists() || left.isSymLink()) {
            removeEntry(left);
        }
    }
    return ownPrivateFolder(folder) ? folder + QLatin1Char('/') : QString();
}

bool removePrivateTempFolder(const QString& folder) {
    if (folder.isEmpty()) {
        return true;
    }
    QDir dir(folder);
    return !dir.exists() || dir.removeRecursively();
}

void removeWorkFolder(const QString& workFolder) {
    if (workFolder.isEmpty()) {
        return;
    }
    removePrivateTempFolder(workFolder);
    QString folder = workFolder;
    while (folder.endsWith(QLatin1Char('/'))) {
        folder.chop(1);
    }
    // Gone only when empty: another copy's work folder keeps it.
    ::rmdir(QFile::encodeName(QFileInfo(folder).path()).constData());
}

}  // namespace ks
