#pragma once

#include <QList>
#include <QString>
#include <optional>

#include "storage/Database.h"

// The names in the sync folder and the hash that a file's name carries. Every name read from
// the folder is checked against these patterns before it is used in a path.
namespace ks::syncing {

// A device id: 32 lower-case hex digits.
bool isDeviceId(const QString& name);
// A new device id from 16 random bytes.
QString newDeviceId();

// A file of one device: "<seq>.<hash>.ksc" (changes) or "<seq>.<hash>.kss" (a snapshot), the
// sequence 12 decimal digits from 1, the hash the BLAKE2b-256 of the whole file in lower-case
// hex.
struct SyncFileName {
    QString name;
    qint64 sequence = 0;
    QString hash;
    bool snapshot = false;
};
inline constexpr qint64 kLastSequence = 999'999'999'999;

std::optional<SyncFileName> parseSyncFileName(const QString& name);
QString syncFileName(qint64 sequence, const QString& hash, bool snapshot);
// The sequence as a file's name begins with it: names sort as their sequences do.
QString sequenceText(qint64 sequence);
// The name a file is written under before it takes its own: a dot-name readers pass over.
QString partFileName(qint64 sequence);

// The BLAKE2b-256 of some bytes, and of a file's bytes, in lower-case hex.
QString bytesHash(const QByteArray& bytes);
Result<QString> fileHash(const QString& path);

// The files of a device folder whose names have the pattern, by sequence; `others` gets the
// names of entries that are neither such files nor dot-names.
QList<SyncFileName> deviceFiles(const QString& folder, QStringList* others = nullptr);

}  // namespace ks::syncing
