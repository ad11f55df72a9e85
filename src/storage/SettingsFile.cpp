#include "storage/SettingsFile.h"

#include "storage/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <limits>

namespace ks {

namespace {

// Far more than two lines of a 15-character name and a number can need.
constexpr qint64 kMostBytesRead = 4096;

bool isTextLine(const QString& line) {
    for (const QChar c : line) {
        if (c.unicode() < 0x20 && c != QLatin1Char('\t')) {
            return false;
        }
    }
    return true;
}

}  // namespace

QString settingsPath(const QString& dataFolder) {
    return dataFolder + QStringLiteral("Data.dat");
}

SettingsFile readSettings(const QString& dataFolder) {
    SettingsFile settings;
    const QFileInfo info(settingsPath(dataFolder));
    settings.exists = info.exists();
    // Only a regular file is read: a pipe or device under this name would block or never end.
    if (!settings.exists || !info.isFile()) {
        return settings;
    }
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return settings;
    }
    const QByteArray bytes = file.read(kMostBytesRead);
    // Lines end in CR LF as written; a lone CR or LF is accepted too. Bytes that are not
    // UTF-8 become replacement characters and end the reading below.
    QString normalised = QString::fromUtf8(bytes);
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalised.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QStringList lines = normalised.split(QLatin1Char('\n'));
    // Reading stops at the first line that is not text (binary content, a bad encoding).
    for (int i = 0; i < 2 && i < lines.size(); ++i) {
        const QString& line = lines.at(i);
        if (!isTextLine(line) || line.contains(QChar::ReplacementCharacter)) {
            break;
        }
        (i == 0 ? settings.line1 : settings.line2) = line;
    }
    return settings;
}

FsResult writeSettings(const QString& dataFolder, const QString& line1, int policy) {
    AtomicFile file(settingsPath(dataFolder));
    FsResult result = file.open();
    if (result) {
        result = file.write(line1.toUtf8() + "\r\n" + QByteArray::number(policy) + "\r\n");
    }
    return result ? file.commit() : result;
}

FsResult writePolicyLine(const QString& dataFolder, int policy) {
    return writeSettings(dataFolder, readSettings(dataFolder).line1, policy);
}

int policyFromLine(const QString& line2) {
    const QString trimmed = line2.trimmed();
    if (trimmed.isEmpty()) {
        return 1;
    }
    qsizetype i = 0;
    bool negative = false;
    if (trimmed.at(0) == QLatin1Char('-') || trimmed.at(0) == QLatin1Char('+')) {
        negative = trimmed.at(0) == QLatin1Char('-');
        ++i;
    }
    qint64 value = 0;
    for (; i < trimmed.size() && trimmed.at(i).isDigit() && trimmed.at(i).unicode() < 0x80; ++i) {
        value = std::min<qint64>(value * 10 + (trimmed.at(i).unicode() - u'0'),
                                 std::numeric_limits<int>::max());
    }
    return static_cast<int>(negative ? -value : value);
}

}  // namespace ks
