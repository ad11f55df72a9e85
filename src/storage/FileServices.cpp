#include "storage/FileServices.h"

#include "storage/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStorageInfo>

namespace ks::FileServices {

namespace {
constexpr qint64 kCopyChunk = 1 << 20;
}

bool FolderExists(const QString& path) {
    return QFileInfo(path).isDir();
}

bool FileExists(const QString& path) {
    return QFileInfo(path).isFile();
}

namespace {

int modeOf(QFile::Permissions permissions) {
    int mode = 0;
    const std::pair<QFile::Permission, int> bits[] = {
        {QFile::ReadOwner, 0400}, {QFile::WriteOwner, 0200}, {QFile::ExeOwner, 0100},
        {QFile::ReadGroup, 0040}, {QFile::WriteGroup, 0020}, {QFile::ExeGroup, 0010},
        {QFile::ReadOther, 0004}, {QFile::WriteOther, 0002}, {QFile::ExeOther, 0001}};
    for (const auto& [permission, bit] : bits) {
        mode |= permissions.testFlag(permission) ? bit : 0;
    }
    return mode;
}

}  // namespace

FsResult CopyFile(const QString& source, const QString& destination,
                  std::optional<QFile::Permissions> permissions) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        return FsResult::failure(in.errorString());
    }
    // Written beside the destination under another name and renamed over it when complete,
    // so the destination is never half a copy; a failure says why (a full disk, say).
    AtomicFile out(destination, permissions ? modeOf(*permissions) : 0644);
    if (FsResult opened = out.open(); !opened) {
        return opened;
    }
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(kCopyChunk);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError) {
            return FsResult::failure(in.errorString());
        }
        if (FsResult written = out.write(chunk); !written) {
            return written;
        }
    }
    return out.commit();
}

FsResult DeleteFile(const QString& path) {
    QFile file(path);
    if (!file.exists() || file.remove()) {
        return {};
    }
    return FsResult::failure(file.errorString());
}

FsResult DeleteFolder(const QString& path) {
    QDir dir(path);
    if (!dir.exists() || dir.removeRecursively()) {
        return {};
    }
    return FsResult::failure(QStringLiteral("The folder %1 could not be removed.").arg(path));
}

std::optional<FileFacts> GetFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile()) {
        return std::nullopt;
    }
    return FileFacts{info.size(), info.lastModified()};
}

FsResult SetFileModified(const QString& path, const QDateTime& when) {
    // Setting a time needs the file open; reading is enough, so a read-only file takes it too.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) ||
        !file.setFileTime(when, QFileDevice::FileModificationTime)) {
        return FsResult::failure(file.errorString());
    }
    return {};
}

std::optional<DriveFacts> GetDrive(const QString& path) {
    const QStorageInfo storage(path);
    if (!storage.isValid() || !storage.isReady()) {
        return std::nullopt;
    }
    const QString label = storage.displayName();
    return DriveFacts{storage.rootPath(), label.isEmpty() ? storage.rootPath() : label,
                      storage.bytesAvailable()};
}

QList<DriveFacts> mountedDrives() {
    QList<DriveFacts> drives;
    for (const QStorageInfo& storage : QStorageInfo::mountedVolumes()) {
        if (storage.isValid() && storage.isReady()) {
            drives.append({storage.rootPath(), storage.displayName(), storage.bytesAvailable()});
        }
    }
    return drives;
}

ProcessOutcome Run(const QString& program, const QStringList& arguments, int timeoutMs) {
    ProcessOutcome outcome;
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start();
    if (!process.waitForStarted()) {
        outcome.error = process.errorString();
        return outcome;
    }
    outcome.started = true;
    if (!process.waitForFinished(timeoutMs)) {
        outcome.error = process.errorString();
        process.kill();
        process.waitForFinished();
        return outcome;
    }
    outcome.finished = process.exitStatus() == QProcess::NormalExit;
    outcome.exitCode = process.exitCode();
    if (!outcome.ok()) {
        outcome.error = QString::fromLocal8Bit(process.readAll()).trimmed();
    }
    return outcome;
}

bool StartDetached(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}

}  // namespace ks::FileServices
