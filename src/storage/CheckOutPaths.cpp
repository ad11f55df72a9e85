#include "storage/CheckOutPaths.h"

#include <QFileInfo>
#include <QSet>

namespace ks {

namespace {

// Bytes of `text` in UTF-8, the form names take on disk.
qsizetype utf8Bytes(QStringView text) {
    return text.toUtf8().size();
}

// The code point that ends `text`: one or two UTF-16 units.
qsizetype lastCharacterUnits(QStringView text) {
    return text.size() >= 2 && text.back().isLowSurrogate() &&
                   text[text.size() - 2].isHighSurrogate()
               ? 2
               : 1;
}

}  // namespace

bool isBareFileName(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) {
        return false;
    }
#ifdef Q_OS_WIN
    if (name.contains(QLatin1Char('\\'))) {
        return false;
    }
#endif
    return !name.contains(QLatin1Char('/')) && !name.contains(QChar(u'\0'));
}

QString copyOfPrefix() {
    return QStringLiteral("Copy of ");
}

bool somethingAt(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString fitFileName(const QString& name) {
    qsizetype bytes = utf8Bytes(name);
    if (bytes <= kLongestFileNameBytes) {
        return name;
    }
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    QString extension = dot > 0 ? name.mid(dot) : QString();
    if (utf8Bytes(extension) >= kLongestFileNameBytes) {
        extension.clear();  // too long to keep: the name is shortened at its end
    }
    QString stem = name.left(name.size() - extension.size());
    bytes = utf8Bytes(stem) + utf8Bytes(extension);
    while (bytes > kLongestFileNameBytes && !stem.isEmpty()) {
        const qsizetype units = lastCharacterUnits(stem);
        bytes -= utf8Bytes(QStringView(stem).right(units));
        stem.chop(units);
    }
    return stem + extension;
}

QString freeNameIn(const QString& folder, const QString& name) {
    QString candidate = name;
    QString free = fitFileName(candidate);
    QSet<QString> tried;
    while (somethingAt(folder + free)) {
        tried.insert(free);
        candidate = copyOfPrefix() + candidate;
        free = fitFileName(candidate);
        if (tried.contains(free)) {
            return {};  // the prefixes alone fill the name: no free name is left
        }
    }
    return free;
}

QString notAFileNameReason() {
    return QStringLiteral("Its stored name cannot be a file name here.");
}

QString noFreeNameReason() {
    return QStringLiteral("No free name is left for it in the folder.");
}

bool folderIsWritable(const QString& folder) {
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

}  // namespace ks
