#include "files/CheckIn.h"

#include <QFile>
#include <QFileInfo>

#include "files/Archiver.h"
#include "files/CabinetListing.h"
#include "files/FileMessages.h"
#include "files/FileStore.h"
#include "files/WorkStatus.h"

namespace ks {

namespace {

// Removes the work archive when the check-in begins and again when it ends.
class WorkArchive {
public:
    explicit WorkArchive(QString path) : path_(std::move(path)) { discardWorkArchive(path_); }
    ~WorkArchive() { discardWorkArchive(path_); }
    WorkArchive(const WorkArchive&) = delete;
    WorkArchive& operator=(const WorkArchive&) = delete;

private:
    QString path_;
};

CheckInResult outcome(CheckInOutcome what, qint64 bytes = 0) {
    return {what, bytes, {}, 0};
}

// Whether the archive holds exactly the one file of that bare name and size.
bool holdsExactly(const QString& archivePath, const NewStoredFile& file) {
    const auto entries = readCabinetEntries(archivePath);
    return entries && entries->size() == 1 && entries->first().name == file.fileName &&
           entries->first().size == file.size;
}

}  // namespace

void discardWorkArchive(const QString& archivePath) {
    if (QFileInfo::exists(archivePath) || QFileInfo(archivePath).isSymLink()) {
        QFile::remove(archivePath);
    }
}

CheckInResult checkInFile(DatabaseAccess& database, Archiver& archiver, WorkStatus& status,
                          const CheckInRequest& request) {
    // Without the private temporary folder there is nowhere safe to pack into.
    if (QFileInfo(request.archivePath).isRelative()) {
        return outcome(CheckInOutcome::CompressionFailed);
    }
    WorkArchive archive(request.archivePath);
    const QFileInfo source(request.sourcePath);
    if (!source.isFile() || !source.isReadable()) {
        return outcome(CheckInOutcome::CompressionFailed);
    }
    const NewStoredFile file{source.fileName(), source.size(), source.lastModified()};
    if (file.size > kLargestArchivableFile) {
        return outcome(CheckInOutcome::TooLargeToArchive, file.size);
    }
    bool packed = false;
    if (archiver.available()) {
        status.showStatus(compressingStatus());
        packed = archiver.create(request.archivePath, request.sourcePath).ok;
    }
    if (!packed || !QFileInfo::exists(request.archivePath)) {
        return outcome(CheckInOutcome::CompressionFailed);
    }
    const qint64 archiveSize = QFileInfo(request.archivePath).size();
    if (archiveSize > kLargestStoredArchive) {
        return outcome(CheckInOutcome::OverLimit, archiveSize);
    }
    if (!holdsExactly(request.archivePath, file)) {
        return outcome(CheckInOutcome::CompressionFailed);
    }
    status.showStatus(addingStatus());
    Result<qint64> added = addStoredFile(database, request.owner, file, request.archivePath);
    if (!added.ok()) {
        return {CheckInOutcome::StoreFailed, 0, added.status(), 0};
    }
    return {CheckInOutcome::Added, archiveSize, {}, added.value()};
}

}  // namespace ks
