#include "storage/DataFolderLock.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>

namespace ks {

namespace {

constexpr int kRetryMs = 25;

// The lock file, opened without following a link and closed in every program started from
// here (a started program must never hold our lock). A file that cannot be written to (a
// read-only folder) can still carry the lock.
int openLockFile(const QByteArray& path) {
    constexpr int kFlags = O_CLOEXEC | O_NOFOLLOW;
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | kFlags, S_IRUSR | S_IWUSR);
    return fd >= 0 ? fd : ::open(path.constData(), O_RDONLY | kFlags);
}

// The holder's process number, for whoever looks; nothing relies on it.
void writeHolder(int fd) {
    const QByteArray pid = QByteArray::number(::getpid()) + '\n';
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t written = ::pwrite(fd, pid.constData(), pid.size(), 0);
    }
}

}  // namespace

DataFolderLock::DataFolderLock(const QString& dataFolder)
    : path_(dataFolder + QStringLiteral("Keystead.lock")) {
}

DataFolderLock::~DataFolderLock() {
    unlock();
}

DataFolderLock::Outcome DataFolderLock::tryLock(int waitMs) {
    if (isLocked()) {
        return Outcome::Taken;
    }
    const int fd = openLockFile(QFile::encodeName(path_));
    if (fd < 0) {
        return Outcome::Unavailable;
    }
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            fd_ = fd;
            writeHolder(fd_);
            return Outcome::Taken;
        }
        const int error = errno;
        if (error == EINTR) {
            continue;
        }
        if (error != EWOULDBLOCK || deadline.hasExpired()) {
            ::close(fd);
            return error == EWOULDBLOCK ? Outcome::HeldByAnother : Outcome::Unavailable;
        }
        QThread::msleep(kRetryMs);
    }
}

void DataFolderLock::unlock() {
    if (fd_ >= 0) {
        // Closing lets go of the lock; the file stays, so that a waiting process and a new one
        // always lock the same file.
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace ks
