#pragma once

#include <QString>

namespace ks {

// The lock that keeps one copy of the window program on a data folder: an advisory lock
// (flock) on the lock file in the folder. The kernel lets go of it when its holder ends in any
// way, so whatever a lock file holds (nothing after a power cut, another process's number,
// anything) never keeps anyone out; only a live holder does. The file stays in the folder
// between runs. Anyone can take it to learn whether the window program holds the folder.
class DataFolderLock {
public:
    enum class Outcome {
        Taken,
        HeldByAnother,  // another holder kept it for the whole wait
        Unavailable,    // no lock can be had here (the file cannot be opened, no locks)
    };

    explicit DataFolderLock(const QString& dataFolder);
    ~DataFolderLock();
    DataFolderLock(const DataFolderLock&) = delete;
    DataFolderLock& operator=(const DataFolderLock&) = delete;

    // Takes the lock, waiting up to `waitMs` for another holder to let go of it.
    Outcome tryLock(int waitMs);
    bool isLocked() const { return fd_ >= 0; }
    void unlock();

    QString path() const { return path_; }

private:
    QString path_;
    int fd_ = -1;
};

}  // namespace ks
