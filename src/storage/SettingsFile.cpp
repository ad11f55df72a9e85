#include "storage/SettingsFile.h"

#include "storage/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <limits>

namespace ks {

namespace {

// Far more than the lines can need (a folder path included).
constexpr qint64 kMostBytesRead = 16384;

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
    QString* const fields[] = {&settings.line1, &settings.line2, &settings.line3, &settings.line4,
                               &settings.line5, &settings.line6, &settings.line7, &settings.line8};
    for (int i = 0; i < 8 && i < lines.size(); ++i) {
        const QString& line = lines.at(i);
        if (!isTextLine(line) || line.contains(QChar::ReplacementCharacter)) {
            break;
        }
        *fields[i] = line;
    }
    return settings;
}

namespace {

FsResult writeLines(const QString& dataFolder, const QByteArray& content) {
    AtomicFile file(settingsPath(dataFolder));
    FsResult result = file.open();
    if (result) {
        result = file.write(content);
    }
    return result ? file.commit() : result;
}

QByteArray lockLines(const LockSettings& lock) {
    return QByteArray::number(lock.idleMinutes) + "\r\n" + (lock.onScreenLock ? "1" : "0") + "\r\n";
}

QByteArray historyLines(const HistorySettings& history) {
    return QByteArray::number(history.versionsKept) + "\r\n" +
           QByteArray::number(history.deletedDays) + "\r\n";
}

bool hasLine(const QString& line) {
    return !line.trimmed().isEmpty();
}

QByteArray syncLines(const SyncSettings& sync) {
    return sync.folder.toUtf8() + "\r\n" + sync.machineName.toUtf8() + "\r\n";
}

// Lines 3 to 8 as the file has them: an older file keeps its length, and a later line written
// brings the ones before it with their values in force.
QByteArray laterLines(const SettingsFile& current, const LockSettings* lock,
                      const HistorySettings* history, const SyncSettings* sync = nullptr) {
    const bool withSync = sync || hasLine(current.line7) || hasLine(current.line8);
    const bool withHistory =
        withSync || history || hasLine(current.line5) || hasLine(current.line6);
    const bool withLock = withHistory || lock || hasLine(current.line3) || hasLine(current.line4);
    QByteArray content;
    if (withLock) {
        content += lockLines(lock ? *lock : lockSettingsFrom(current));
    }
    if (withHistory) {
        content += historyLines(history ? *history : historySettingsFrom(current));
    }
    if (withSync) {
        content += syncLines(sync ? *sync : syncSettingsFrom(current));
    }
    return content;
}

QByteArray firstLines(const QString& line1, int policy) {
    return line1.toUtf8() + "\r\n" + QByteArray::number(policy) + "\r\n";
}

}  // namespace

FsResult writeSettings(const QString& dataFolder, const QString& line1, int policy) {
    const SettingsFile current = readSettings(dataFolder);
    // The later lines are kept only where a file has them: an older file stays two lines long.
    return writeLines(dataFolder,
                      firstLines(line1, policy) + laterLines(current, nullptr, nullptr));
}

FsResult writeLockSettings(const QString& dataFolder, const LockSettings& lock) {
    const SettingsFile current = readSettings(dataFolder);
    return writeLines(dataFolder, firstLines(current.line1, policyFromLine(current.line2)) +
                                      laterLines(current, &lock, nullptr));
}

FsResult writeHistorySettings(const QString& dataFolder, const HistorySettings& history) {
    const SettingsFile current = readSettings(dataFolder);
    return writeLines(dataFolder, firstLines(current.line1, policyFromLine(current.line2)) +
                                      laterLines(current, nullptr, &history));
}

FsResult writeSyncSettings(const QString& dataFolder, const SyncSettings& sync) {
    // A line break would end the line early and shift the lines after it.
    if (!isTextLine(sync.folder) || !isTextLine(sync.machineName)) {
        return FsResult::failure(QStringLiteral("The name holds a line break."));
    }
    const SettingsFile current = readSettings(dataFolder);
    return writeLines(dataFolder, firstLines(current.line1, policyFromLine(current.line2)) +
                                      laterLines(current, nullptr, nullptr, &sync));
}

SyncSettings syncSettingsFrom(const SettingsFile& settings) {
    return SyncSettings{settings.line7.trimmed(), settings.line8.trimmed()};
}

HistorySettings historySettingsFrom(const SettingsFile& settings) {
    HistorySettings history;
    if (hasLine(settings.line5)) {
        history.versionsKept =
            std::clamp(policyFromLine(settings.line5), 0, HistorySettings::kMostVersions);
    }
    if (hasLine(settings.line6)) {
        history.deletedDays =
            std::clamp(policyFromLine(settings.line6), 0, HistorySettings::kMostDeletedDays);
    }
    return history;
}

LockSettings lockSettingsFrom(const SettingsFile& settings) {
    LockSettings lock;
    if (!settings.line3.trimmed().isEmpty()) {
        lock.idleMinutes =
            std::clamp(policyFromLine(settings.line3), 0, LockSettings::kMostMinutes);
    }
    if (!settings.line4.trimmed().isEmpty()) {
        lock.onScreenLock = policyFromLine(settings.line4) != 0;
    }
    return lock;
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
