#include "images/PictureCheckOut.h"

#include <QFile>

#include "images/ImageStore.h"
#include "storage/CheckOutPaths.h"

namespace ks {

namespace {

// How often a name is looked for again when another program takes it between the look and the
// creation.
constexpr int kNameAttempts = 8;

// Writes the whole of `bytes` into the new file `path`; the file is removed when that fails.
bool writeWhole(QFile& file, const QByteArray& bytes) {
    const bool whole = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    if (!whole || file.error() != QFileDevice::NoError) {
        file.remove();
        return false;
    }
    return true;
}

}  // namespace

std::optional<QString> writeNewPicture(const QString& folder, const QString& name,
                                       const QByteArray& bytes) {
    if (!isBareFileName(name)) {
        return std::nullopt;
    }
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const QString path = folder + freeNameIn(folder, name);
        QFile file(path);
        // NewOnly creates the file or fails: an existing file or link is never written through.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            return writeWhole(file, bytes) ? std::optional<QString>(path) : std::nullopt;
        }
        if (!somethingAt(path)) {
            return std::nullopt;  // not taken, yet it cannot be made (a name too long, no room)
        }
    }
    return std::nullopt;
}

PictureCheckOut checkOutPictures(DatabaseAccess& database, const QString& owner,
                                 const std::function<bool(qint64)>& wanted, const QString& folder) {
    PictureCheckOut result;
    Result<QList<ImageLine>> lines = ListImages(database, owner);
    if (!lines.ok()) {
        result.failure = lines.status();
        return result;
    }
    for (const ImageLine& line : lines.value()) {
        if (!wanted(line.counter)) {
            continue;
        }
        Result<std::optional<QByteArray>> bytes = readImageBytes(database, owner, line.counter);
        if (!bytes.ok()) {
            result.failure = bytes.status();
            return result;
        }
        std::optional<QString> path;
        if (bytes.value()) {
            path = writeNewPicture(folder, line.name, *bytes.value());
        }
        if (path) {
            result.written.append(*path);
        } else {
            result.notWritten.append(line.name);
        }
    }
    return result;
}

}  // namespace ks
