#include "storage/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace ks {

namespace {

void syncFolder(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);  // makes the rename survive a power cut; the rename itself is done
        ::close(fd);
    }
}

}  // namespace

QString systemError(const QString& action, const QString& path, int error) {
    return QStringLiteral("could not %1 %2: %3")
        .arg(action, path, QString::fromLocal8Bit(std::strerror(error)));
}

AtomicFile::AtomicFile(QString destination, int mode)
    : destination_(std::move(destination)), mode_(mode) {
}

AtomicFile::~AtomicFile() {
    discard();
}

void AtomicFile::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.isEmpty()) {
        ::unlink(temporary_.constData());
        temporary_.clear();
    }
}

FsResult AtomicFile::fail(const char* action, int error) {
    const QString shown = temporary_.isEmpty() ? destination_ : QFile::decodeName(temporary_);
    status_ = FsResult::failure(systemError(QLatin1String(action), shown, error));
    discard();
    return status_;
}

FsResult AtomicFile::open() {
    const QFileInfo info(destination_);
    QByteArray pattern =
        QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName()) + ".XXXXXX";
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0) {
        return fail("create a file beside", errno);
    }
    temporary_ = pattern;
    if (::fchmod(fd_, static_cast<mode_t>(mode_)) != 0) {
        return fail("protect", errno);
    }
    return status_;
}

FsResult AtomicFile::write(const QByteArray& bytes) {
    if (fd_ < 0) {
        return status_.ok ? FsResult::failure(QStringLiteral("the file is not open")) : status_;
    }
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd_, data, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return fail("write", written < 0 ? errno : ENOSPC);
        }
        data += written;
        left -= written;
    }
    return status_;
}

FsResult AtomicFile::commit() {
    if (fd_ < 0) {
        return status_.ok ? FsResult::failure(QStringLiteral("the file is not open")) : status_;
    }
    // A full disk may show only here, when the system writes out what it kept in memory.
    if (::fsync(fd_) != 0) {
        return fail("write", errno);
    }
    const int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0) {
        return fail("write", errno);
    }
    if (::rename(temporary_.constData(), QFile::encodeName(destination_).constData()) != 0) {
        const int error = errno;
        status_ = FsResult::failure(systemError(QStringLiteral("replace"), destination_, error));
        discard();
        return status_;
    }
    temporary_.clear();
    syncFolder(QFileInfo(destination_).absolutePath());
    return status_;
}

}  // namespace ks
