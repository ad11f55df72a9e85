#pragma once

#include <QByteArray>
#include <QString>

#include "storage/FileServices.h"

namespace ks {

// Writes a file in one step: the bytes go to a private file beside the destination, which is
// flushed to the disk and only then renamed over the destination. Any failure (a full disk, a
// read-only folder) removes the new file, leaves the destination exactly as it was and is told
// with the system's reason. Dropped without commit(), nothing changes.
class AtomicFile {
public:
    // `mode` is the new file's permission bits (private by default).
    explicit AtomicFile(QString destination, int mode = 0600);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    FsResult open();
    FsResult write(const QByteArray& bytes);
    // Flushes, closes and renames over the destination.
    FsResult commit();

private:
    FsResult fail(const char* action, int error);
    void discard();

    QString destination_;
    QByteArray temporary_;
    int mode_;
    int fd_ = -1;
    FsResult status_;
};

// The system's words for an error number, with what was being done: "could not write
// /a/Data.dat: No space left on device".
QString systemError(const QString& action, const QString& path, int error);

}  // namespace ks
