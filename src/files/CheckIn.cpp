#include "files/CheckIn.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

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

// Whether the archive holds exactly the one file of that inner name and size.
bool holdsExactly(const QString& archivePath, const QString& innerName, qint64 size) {
    const auto entries = readCabinetEntries(archivePath);
    return entries && entries->size() == 1 && entries->first().name == innerName &&
           entries->first().size == size;
}

// Packs `source` so that the archive holds it under `innerName`: a name of its own is packed as
// it is, another through a link of that name in a private folder beside the archive.
bool pack(Archiver& archiver, const QString& archive, const QString& source,
          const QString& innerName) {
    if (QFileInfo(source).fileName() == innerName) {
        return archiver.create(archive, source).ok;
    }
    QTemporaryDir staging(QFileInfo(archive).absolutePath() + QStringLiteral("/checkin-XXXXXX"));
    const QString link = staging.filePath(innerName);
    return staging.isValid() && QFile::link(QFileInfo(source).absoluteFilePath(), link) &&
           archiver.create(archive, link).ok;
}

}  // namespace

QString archiveInnerName(const QString& fileName) {
    QString inner = fileName;
    return inner.replace(QLatin1Char('\\'), QLatin1Char('_'));
}

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
    const QString innerName = archiveInnerName(file.fileName);
    if (file.size > kLargestArchivableFile) {
        return outcome(CheckInOutcome::TooLargeToArchive, file.size);
    }
    bool packed = false;
    if (archiver.available()) {
        status.showStatus(compressingStatus());
        packed = pack(archiver, request.archivePath, request.sourcePath, innerName);
    }
    if (!packed || !QFileInfo::exists(request.archivePath)) {
        return outcome(CheckInOutcome::CompressionFailed);
    }
    const qint64 archiveSize = QFileInfo(request.archivePath).size();
    if (archiveSize > kLargestStoredArchive) {
        return outcome(CheckInOutcome::OverLimit, archiveSize);
    }
    if (!holdsExactly(request.archivePath, innerName, file.size)) {
        return outcome(CheckInOutcome::CompressionFailed);
    }
    status.showStatus(addingStatus());
    Result<qint64> added = addStoredFile(database, request.account, file, request.archivePath);
    if (!added.ok()) {
        return {CheckInOutcome::StoreFailed, 0, added.status(), 0};
    }
    return {CheckInOutcome::Added, archiveSize, {}, added.value()};
}

}  // namespace ks
