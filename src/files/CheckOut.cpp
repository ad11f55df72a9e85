#include "files/CheckOut.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>
#include <filesystem>

#include "files/Archiver.h"
#include "files/CabinetListing.h"
#include "files/FileStore.h"
#include "files/WorkStatus.h"
#include "images/PictureCheckOut.h"
#include "storage/CheckOutPaths.h"

namespace ks {

namespace {

constexpr qint64 kCopyChunk = 1024 * 1024;

// Copies `source` to `target`: written completely beside it first, then renamed over it, so an
// earlier file of that name is either replaced whole or left as it was.
bool copyOver(const QString& source, const QString& target) {
    QFile in(source);
    QSaveFile out(target);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)) {
        return false;
    }
    QByteArray chunk;
    while (!in.atEnd()) {
        chunk = in.read(kCopyChunk);
        if (chunk.isEmpty() || out.write(chunk) != chunk.size()) {
            out.cancelWriting();
            break;
        }
    }
    return in.error() == QFileDevice::NoError && out.commit();
}

// Puts the complete file `source` in place of `target` in one step: renamed when both are on
// one file system (a rename replaces the old file whole), else copied beside and renamed.
bool replaceWith(const QString& source, const QString& target) {
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(source).constData(),
                            QFile::encodeName(target).constData(), error);
    return !error || copyOver(source, target);
}

// Whether the archive holds exactly the one file `name`, stored without any folder.
bool holdsExactly(const QString& archive, const QString& name) {
    const std::optional<QList<CabinetEntry>> entries = readCabinetEntries(archive);
    return entries && entries->size() == 1 && entries->first().name == name;
}

// Whether `folder` holds nothing but the plain file `name`.
bool onlyUnpacked(const QString& folder, const QString& name) {
    const QFileInfo unpacked(folder + name);
    const QStringList all = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                   QDir::Hidden | QDir::System);
    return all == QStringList{name} && unpacked.isFile() && !unpacked.isSymLink();
}

bool writeArchive(DatabaseAccess& database, const QString& owner, qint64 counter,
                  const QString& archive) {
    QFile out(archive);
    if (!out.open(QIODevice::WriteOnly)) {
        return false;
    }
    Result<bool> read = readStoredArchive(database, owner, counter, out);
    out.close();
    return read.ok() && read.value() && out.error() == QFileDevice::NoError;
}

}  // namespace

std::optional<QString> checkOutStoredFile(DatabaseAccess& database, Archiver& archiver,
                                          WorkStatus& status, const QString& owner,
                                          const StoredFileLine& line, const QString& folder,
                                          const QString& stagingBase) {
    const QString& name = line.fileName;
    if (!isBareFileName(name) || stagingBase.isEmpty()) {
        return std::nullopt;
    }
    QTemporaryDir staging(stagingBase + QStringLiteral("checkout-XXXXXX"));
    if (!staging.isValid()) {
        return std::nullopt;
    }
    const QString archive = staging.filePath(QStringLiteral("Store.cab"));
    const QString unpackFolder = staging.filePath(QStringLiteral("unpacked")) + QLatin1Char('/');
    if (!writeArchive(database, owner, line.counter, archive) || !holdsExactly(archive, name)) {
        return std::nullopt;
    }
    status.showStatus(decompressingStatus(name));
    if (!archiver.extract(archive, unpackFolder).ok) {
        return std::nullopt;
    }
    status.showStatus(restoringStatus(name));
    if (!onlyUnpacked(unpackFolder, name) || !replaceWith(unpackFolder + name, folder + name)) {
        return std::nullopt;
    }
    return folder + name;
}

namespace {

void checkOutFiles(DatabaseAccess& database, Archiver& archiver, WorkStatus& status,
                   const CheckOutRequest& request, const QString& folder, CheckOutReport& report) {
    Result<QList<StoredFileLine>> lines = listStoredFiles(database, request.owner);
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
        std::optional<QString> written = checkOutStoredFile(
            database, archiver, status, request.owner, line, folder, request.tempFolder);
        if (written) {
            report.written.append(*written);
        } else {
            report.failedNames.append(line.fileName);
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
    PictureCheckOut pictures = checkOutPictures(database, request.owner, wanted, folder);
    report.failure = pictures.failure;
    report.failedNames = pictures.notWritten;
    report.written = pictures.written;
    return report;
}

}  // namespace ks
