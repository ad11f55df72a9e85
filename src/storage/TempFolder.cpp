#include "storage/TempFolder.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>

#include "storage/DataFolder.h"

namespace ks {

namespace {

bool isOurPrivateFolder(const QByteArray& path) {
    struct stat facts {};
    if (lstat(path.constData(), &facts) != 0) {
        return false;
    }
    return S_ISDIR(facts.st_mode) && facts.st_uid == geteuid() &&
           chmod(path.constData(), S_IRWXU) == 0;
}

}  // namespace

QString preparePrivateTempFolder(const QString& appTitle) {
    const QString base = withTrailingSlash(QDir::tempPath());
    const QString name = QStringLiteral("%1-%2").arg(appTitle).arg(geteuid());
    const QByteArray path = QFile::encodeName(base + name);
    if (mkdir(path.constData(), S_IRWXU) == 0 || (errno == EEXIST && isOurPrivateFolder(path))) {
        return base + name + QLatin1Char('/');
    }
    // The usual name is taken by something we must not trust: make a fresh folder instead.
    QByteArray pattern = path + "-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) {
        return QFile::decodeName(pattern) + QLatin1Char('/');
    }
    return {};
}

bool removePrivateTempFolder(const QString& folder) {
    if (folder.isEmpty()) {
        return true;
    }
    QDir dir(folder);
    return !dir.exists() || dir.removeRecursively();
}

}  // namespace ks
