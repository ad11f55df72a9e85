#include "files/CheckOut.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>
#include <filesystem>

#include "files/Archiver.h"
#include "files/CabinetListing.h"
#include "files/FileStore.h"
#include "files/WorkStatus.h"
#include "images/ImageTexts.h"
#include "images/PictureCheckOut.h"
#include "storage/CheckOutPaths.h"
#include "storage/FileServices.h"

namespace ks {

namespace {

constexpr qint64 kCopyChunk = 1024 * 1024;

StoredFileCheckOut failed(const QString& reason) {
    return {{}, reason};
}

// Copies `source` to `target`: written completely beside it first, then renamed over it, so an
// earlier file of that name is either replaced whole or left as it was. Empty, or the reason.
QString copyOver(const QString& source, const QString& target) {
    QFile in(source);
    QSaveFile out(target);
    if (!in.open(QIODevice::ReadOnly)) {
        return in.errorString();
    }
    if (!out.open(QIODevice::WriteOnly)) {
        return out.errorString();
    }
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(kCopyChunk);
        if (chunk.isEmpty() || out.write(chunk) != chunk.size()) {
            const QString reason =
                in.error() != QFileDevice::NoError ? in.errorString() : out.errorString();
            out.cancelWriting();
            return reason;
        }
    }
    return out.commit() ? QString() : out.errorString();
}

// Puts the complete file `source` in place of `target` in one step: renamed when both are on
// one file system (a rename replaces the old file whole), else copied beside and renamed.
// Empty, or the reason.
QString replaceWith(const QString& source, const QString& target) {
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(source).constData(),
                            QFile::encodeName(target).constData(), error);
    if (!error) {
        return {};
    }
    if (error != std::errc::cross_device_link) {
        return QString::fromLocal8Bit(error.message());
    }
    return copyOver(source, target);
}

// Whether the archive is a whole cabinet that holds one file.
bool holdsOneFile(const QString& archive) {
    const std::optional<QList<CabinetEntry>> entries = readCabinetEntries(archive);
    return entries && entries->size() == 1;
}

// The one plain file unpacked into `folder`, at whatever depth the archiver's reading of its
// inner name put it (an older archive may hold a name the archiver reads as folders); empty
// when the folder holds anything but that file and the folders on its way.
QString theUnpackedFile(const QString& folder) {
    QString found;
    QDirIterator all(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                     QDirIterator::Subdirectories);
    while (all.hasNext()) {
        const QFileInfo entry = all.nextFileInfo();
        if (entry.isSymLink() || (!entry.isDir() && (!entry.isFile() || !found.isEmpty()))) {
            return {};
        }
        if (entry.isFile()) {
            found = entry.filePath();
        }
    }
    return found;
}

// Writes the stored archive into `archive`; empty, or the reason.
QString writeArchive(DatabaseAccess& database, const Account& account, qint64 counter,
                     const QString& archive) {
    QFile out(archive);
    if (!out.open(QIODevice::WriteOnly)) {
        return out.errorString();
    }
    Result<bool> read = readStoredArchive(database, account, counter, out);
    out.close();
    if (!read.ok()) {
        return read.status().detail;
    }
    if (!read.value()) {
        return notStoredReason();
    }
    return out.error() == QFileDevice::NoError ? QString() : out.errorString();
}

}  // namespace

StoredFileCheckOut checkOutStoredFile(DatabaseAccess& database, Archiver& archiver,
                                      WorkStatus& status, const Account& account,
                                      const StoredFileLine& line, const QString& folder,
                                      const QString& stagingBase) {
    const QString& name = line.fileName;
    if (line.nameDamaged) {
        return failed(notDecryptedReason());
    }
    if (!isBareFileName(name)) {
        return failed(notAFileNameReason());
    }
    if (stagingBase.isEmpty()) {
        return failed(noStagingFolderReason());
    }
    QTemporaryDir staging(stagingBase + QStringLiteral("checkout-XXXXXX"));
    if (!staging.isValid()) {
        return failed(staging.errorString());
    }
    const QString archive = staging.filePath(QStringLiteral("Store.cab"));
    const QString unpackFolder = staging.filePath(QStringLiteral("unpacked")) + QLatin1Char('/');
    if (const QString error = writeArchive(database, account, line.counter, archive);
        !error.isEmpty()) {
        return failed(error);
    }
    if (!holdsOneFile(archive)) {
        return failed(damagedArchiveReason());
    }
    status.showStatus(decompressingStatus(name));
    if (const ArchiverOutcome unpacked = archiver.extract(archive, unpackFolder); !unpacked.ok) {
        return failed(unpacked.error.isEmpty() ? damagedArchiveReason() : unpacked.error);
    }
    status.showStatus(restoringStatus(name));
    const QString unpacked = theUnpackedFile(unpackFolder);
    if (unpacked.isEmpty()) {
        return failed(damagedArchiveReason());
    }
    if (const QString error = replaceWith(unpacked, folder + name); !error.isEmpty()) {
        return failed(error);
    }
    if (line.lastModified.isValid()) {
        // The file is complete without its date; a date that cannot be set is no failure.
        FileServices::SetFileModified(folder + name, line.lastModified);
    }
    return {folder + name, {}};
}

namespace {

void checkOutFiles(DatabaseAccess& database, Archiver& archiver, WorkStatus& status,
                   const CheckOutRequest& request, const QString& folder, CheckOutReport& report) {
    Result<QList<StoredFileLine>> lines = listStoredFiles(database, request.account);
    if (!lines.ok()) {
        report.failure = lines.status();
        return;
    }
    bool begun = false;
    for (const StoredFileLine& line : lines.value()) {
        if (!request.all && !request.selection.contains(line.counter)) {
            continue;
        }
        if (!begun) {
            status.begin(exportingStatus(line.fileName));
            begun = true;
        } else {
            status.showStatus(exportingStatus(line.fileName));
        }
        const StoredFileCheckOut written = checkOutStoredFile(
            database, archiver, status, request.account, line, folder, request.tempFolder);
        if (!written.path.isEmpty()) {
            report.written.append(written.path);
        } else {
            report.failed.append({line.fileName, written.error});
        }
    }
    if (begun) {
        status.end();
    }
}

}  // namespace

CheckOutReport CheckOutItems(DatabaseAccess& database, Archiver& archiver, WorkStatus& status,
                             const CheckOutRequest& request) {
    CheckOutReport report;
    QString folder = request.destination;
    if (!folder.endsWith(QLatin1Char('/'))) {
        folder += QLatin1Char('/');
    }
    if (!folderIsWritable(folder)) {
        report.destinationNotWritable = true;
        return report;
    }
    if (request.kind == CheckOutKind::Files) {
        checkOutFiles(database, archiver, status, request, folder, report);
        return report;
    }
    const auto wanted = [&request](qint64 counter) {
        return request.all || request.selection.contains(counter);
    };
    PictureCheckOut pictures = checkOutPictures(database, request.account, wanted, folder);
    report.failure = pictures.failure;
    report.failed = pictures.notWritten;
    report.written = pictures.written;
    return report;
}

}  // namespace ks
