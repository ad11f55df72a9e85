#pragma once

#include <QDateTime>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace ks {

// The outcome of a file-system operation: ok, or the reason in words.
struct FsResult {
    bool ok = true;
    QString error;

    explicit operator bool() const { return ok; }
    static FsResult failure(QString why) { return {false, std::move(why)}; }
};

struct FileFacts {
    qint64 Size = 0;
    QDateTime DateLastModified;
};

struct DriveFacts {
    QString rootPath;  // where the volume is mounted
    QString name;      // its label, or the mount point when it has none
    qint64 FreeSpace = 0;
};

struct ProcessOutcome {
    bool started = false;
    bool finished = false;  // ended by itself before the time limit
    int exitCode = -1;
    QString error;
    bool ok() const { return started && finished && exitCode == 0; }
};

// Files, folders, volumes and outside programs, with outcomes the callers can test.
namespace FileServices {

bool FolderExists(const QString& path);
bool FileExists(const QString& path);

// The destination is created or replaced, in one step, by a complete copy of the source.
// `permissions`, when given, are those of the new file.
FsResult CopyFile(const QString& source, const QString& destination,
                  std::optional<QFile::Permissions> permissions = std::nullopt);
FsResult DeleteFile(const QString& path);
// The folder and everything in it; true when it is gone (or never was there).
FsResult DeleteFolder(const QString& path);
std::optional<FileFacts> GetFile(const QString& path);
// Gives the file `path` the modification time `when`.
FsResult SetFileModified(const QString& path, const QDateTime& when);

// The volume that holds `path`, if it can be read.
std::optional<DriveFacts> GetDrive(const QString& path);
QList<DriveFacts> mountedDrives();

// Runs a program with an argument vector (never through a shell) and waits for its end.
ProcessOutcome Run(const QString& program, const QStringList& arguments, int timeoutMs);
// Starts a program and returns at once.
bool StartDetached(const QString& program, const QStringList& arguments);

}  // namespace FileServices

// Private files of the data folder: read and write for the owner only.
inline constexpr QFile::Permissions kPrivateFile = QFile::ReadOwner | QFile::WriteOwner;

}  // namespace ks
