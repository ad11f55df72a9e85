#include "SmallDisk.h"

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <csignal>

namespace ks::test {

namespace {

bool writeProcFile(const char* path, const QByteArray& text) {
    QFile file(QString::fromLatin1(path));
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

}  // namespace

bool enterPrivateMountNamespace() {
    if (::geteuid() != 0) {
        const QByteArray uid = QByteArray::number(::getuid());
        const QByteArray gid = QByteArray::number(::getgid());
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 ||
            !writeProcFile("/proc/self/setgroups", "deny") ||
            !writeProcFile("/proc/self/uid_map", "0 " + uid + " 1") ||
            !writeProcFile("/proc/self/gid_map", "0 " + gid + " 1")) {
            return false;
        }
    } else if (::unshare(CLONE_NEWNS) != 0) {
        return false;
    }
    // Mounts made from here on stay inside this process's namespace.
    return ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

bool mountSmallDisk(const QString& folder, qint64 bytes) {
    QDir().mkpath(folder);
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0700";
    return ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0,
                   options.constData()) == 0;
}

void unmountSmallDisk(const QString& folder) {
    ::umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
}

bool fillDisk(const QString& folder, const QString& name) {
    QFile filler(folder + QLatin1Char('/') + name);
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return false;
    }
    const QByteArray block(4096, '\x77');
    while (filler.write(block) == block.size()) {
    }
    // The last bytes, one at a time, until the system refuses.
    while (filler.write(block.left(1)) == 1) {
    }
    return true;
}

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails instead of killing us
    ::getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
}

}  // namespace ks::test
