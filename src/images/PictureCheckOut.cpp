#include "images/PictureCheckOut.h"

#include <QFile>

#include "images/ImageStore.h"
#include "images/ImageTexts.h"

namespace ks {

namespace {

// How often a name is looked for again when another program takes it between the look and the
// creation.
constexpr int kNameAttempts = 8;

// Writes the whole of `bytes` into the new file; the file is removed when that fails.
PictureWrite writeWhole(QFile& file, const QByteArray& bytes) {
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    QString error = file.errorString();
    file.close();  // may still fail, with its own error
    if (written && file.error() == QFileDevice::NoError) {
        return {file.fileName(), {}};
    }
    if (written) {
        error = file.errorString();
    }
    file.remove();
    return {{}, error};
}

}  // namespace

PictureWrite writeNewPicture(const QString& folder, const QString& name, const QByteArray& bytes) {
    if (!isBareFileName(name)) {
        return {{}, notAFileNameReason()};
    }
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const QString free = freeNameIn(folder, name);
        if (free.isEmpty()) {
            break;
        }
        QFile file(folder + free);
        // NewOnly creates the file or fails: an existing file or link is never written through.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            return writeWhole(file, bytes);
        }
        if (!somethingAt(file.fileName())) {
            return {{}, file.errorString()};  // not taken, yet it cannot be made (no room)
        }
    }
    return {{}, noFreeNameReason()};
}

PictureCheckOut checkOutPictures(DatabaseAccess& database, const Account& account,
                                 const std::function<bool(qint64)>& wanted, const QString& folder) {
    PictureCheckOut result;
    Result<QList<ImageLine>> lines = ListImages(database, account);
    if (!lines.ok()) {
        result.failure = lines.status();
        return result;
    }
    for (const ImageLine& line : lines.value()) {
        if (!wanted(line.counter)) {
            continue;
        }
        if (line.nameDamaged) {
            result.notWritten.append({line.name, notDecryptedReason()});
            continue;
        }
        Result<StoredPicture> picture = readPicture(database, account, line.counter);
        if (!picture.ok()) {
            result.failure = picture.status();
            return result;
        }
        if (picture.value().damaged) {
            result.notWritten.append({line.name, notDecryptedReason()});
            continue;
        }
        if (!picture.value().bytes) {
            continue;  // deleted meanwhile
        }
        const PictureWrite written = writeNewPicture(folder, line.name, *picture.value().bytes);
        if (!written.path.isEmpty()) {
            result.written.append(written.path);
        } else {
            result.notWritten.append({line.name, written.error});
        }
    }
    return result;
}

}  // namespace ks
