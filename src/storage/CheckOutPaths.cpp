#include "storage/CheckOutPaths.h"

#include <QFileInfo>

namespace ks {

bool isBareFileName(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) {
        return false;
    }
    return !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           !name.contains(QChar(u'\0'));
}

QString copyOfPrefix() {
    return QStringLiteral("Copy of ");
}

bool somethingAt(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString freeNameIn(const QString& folder, const QString& name) {
    QString free = name;
    while (somethingAt(folder + free)) {
        free = copyOfPrefix() + free;
    }
    return free;
}

bool folderIsWritable(const QString& folder) {
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

}  // namespace ks
