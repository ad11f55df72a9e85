#pragma once

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QtEndian>

#include "TestEnvironment.h"
#include "files/Archiver.h"
#include "files/WorkStatus.h"
#include "storage/Database.h"

namespace ks::test {

// Writes a cabinet of exactly `totalBytes` that lists the one file `name` of `fileSize` bytes
// (its data area is zeros: enough for everything but unpacking).
inline bool writeFakeCabinet(const QString& path, const QString& name, qint64 fileSize,
                             qint64 totalBytes) {
    QByteArray header(44, '\0');
    header.replace(0, 4, "MSCF");
    qToLittleEndian<quint32>(static_cast<quint32>(totalBytes), header.data() + 8);
    qToLittleEndian<quint32>(44, header.data() + 16);  // the file entries
    header[24] = 3;
    header[25] = 1;
    qToLittleEndian<quint16>(1, header.data() + 26);  // folders
    qToLittleEndian<quint16>(1, header.data() + 28);  // files
    QByteArray entry(16, '\0');
    qToLittleEndian<quint32>(static_cast<quint32>(fileSize), entry.data());
    qToLittleEndian<quint16>(0xa0, entry.data() + 14);  // the name is UTF-8
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(header + entry + name.toUtf8() + '\0') > 0 && file.resize(totalBytes);
}

// An archiver whose archives have the size the test asks for.
class FakeArchiver final : public Archiver {
public:
    qint64 archiveBytes = 1000;
    QStringList created;  // the files it was asked to pack

    bool available() const override { return true; }
    ArchiverOutcome create(const QString& archive, const QString& file) override {
        created.append(file);
        const QFileInfo source(file);
        return {writeFakeCabinet(archive, source.fileName(), source.size(), archiveBytes), {}};
    }
    ArchiverOutcome extract(const QString&, const QString&) override { return {false, {}}; }
};

// Records the steps a long operation shows.
class RecordingStatus final : public WorkStatus {
public:
    QStringList steps;
    void begin(const QString& status) override { steps.append(QStringLiteral("begin ") + status); }
    void showStatus(const QString& status) override { steps.append(status); }
    void end() override { steps.append(QStringLiteral("end")); }
};

// Makes every insert into Files fail as a full disk would.
inline bool breakFileInserts(DatabaseAccess& database) {
    Result<Connection> connection = database.open();
    return connection.ok() &&
           connection
               ->exec(QStringLiteral("CREATE TRIGGER NoRoom BEFORE INSERT ON Files "
                                     "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END"))
               .ok();
}

}  // namespace ks::test
