#pragma once

// What the tests of the file store share: a database, the real gcab, two owners, and ways to
// store files, archives and pictures as they are and to look at what a check-out left.
#include <QtTest>

#include "FilesTestSupport.h"
#include "crypto/FieldCipher.h"
#include "files/CheckIn.h"
#include "files/CheckOut.h"
#include "files/FileStore.h"
#include "files/GcabArchiver.h"

namespace ks::test {

using namespace Qt::StringLiterals;

// Bytes that are partly compressible and partly not.
inline QByteArray mixedBytes(int size) {
    QByteArray bytes;
    bytes.reserve(size);
    quint32 state = 12345;
    for (int i = 0; i < size; ++i) {
        state = state * 1103515245 + 12345;
        bytes.append(i % 3 == 0 ? char(state >> 24) : char('a' + i % 7));
    }
    return bytes;
}

class FileStoreFixture : public test::DatabaseTest {
protected:
    std::unique_ptr<GcabArchiver> gcab;
    test::RecordingStatus status;
    const QString anna = EncryptField(u"anna"_s);
    const QString bert = EncryptField(u"bert"_s);

    QString temp() const { return env->tempBase() + u"Keystead-test/"_s; }
    QString archive() const { return temp() + u"store.cab"_s; }
    QString dest() const { return env->root() + u"dest/"_s; }
    QString source(const QString& name, const QByteArray& bytes) {
        return test::writeFile(env->root() + u"in/"_s + name, bytes);
    }
    CheckInResult checkIn(Archiver& archiver, const QString& path, const QString& owner = {}) {
        return checkInFile(*database, archiver, status,
                           {path, archive(), owner.isEmpty() ? anna : owner});
    }
    qint64 storeFile(const QString& owner, const QString& name, const QByteArray& bytes) {
        const CheckInResult result = checkIn(*gcab, source(name, bytes), owner);
        return result.outcome == CheckInOutcome::Added ? result.counter : -1;
    }
    // Stores the archive at `archive` under `fileName` as it is, whatever it holds.
    qint64 storeArchive(const QString& owner, const QString& fileName, const QString& cabinet) {
        Result<qint64> counter = addStoredFile(*database, owner, {fileName, 1, {}}, cabinet);
        return counter.ok() ? counter.value() : -1;
    }
    QString gcabArchiveOf(const QString& name, const QByteArray& bytes) {
        const QString cabinet = env->root() + u"cabs/"_s + name + u".cab"_s;
        QDir().mkpath(env->root() + u"cabs"_s);
        return gcab->create(cabinet, source(name, bytes)).ok ? cabinet : QString();
    }
    QStringList names(const QString& owner) {
        QStringList out;
        const Result<QList<StoredFileLine>> lines = listStoredFiles(*database, owner);
        for (const StoredFileLine& line : lines.value()) {
            out.append(line.fileName);
        }
        return out;
    }
    // Checks out all of the owner's rows of `kind`, or only the selected ones when there are any.
    CheckOutReport checkOut(CheckOutKind kind, const QList<qint64>& selection = {},
                            const QString& folder = {}, const QString& owner = {}) {
        return CheckOutItems(
            *database, *gcab, status,
            {kind, selection.isEmpty(), selection, folder.isEmpty() ? dest() : folder,
             owner.isEmpty() ? anna : owner, temp()});
    }
    // Adds a picture row as it is, under any name (an imported database may hold anything).
    qint64 storePicture(const QString& owner, const QString& name, const QByteArray& bytes) {
        Result<Connection> connection = database->open();
        if (!connection.ok()) {
            return -1;
        }
        Statement insert = connection->prepare(
            u"INSERT INTO Images (ImageName, Image, Username) VALUES (?1, ?2, ?3)"_s);
        insert.bind(1, name).bindBlob(2, bytes).bind(3, owner);
        return insert.run().ok() ? connection->lastInsertId() : -1;
    }
    static QByteArray read(const QString& path) { return test::readBytes(path, "<missing>"); }
    static QStringList failedNames(const CheckOutReport& report) {
        QStringList out;
        for (const NotCheckedOut& item : report.failed) {
            out.append(item.name);
        }
        return out;
    }
    static void setModified(const QString& path, const QDateTime& when) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append) &&
                file.setFileTime(when, QFileDevice::FileModificationTime));
    }
    static QStringList entries(const QString& folder) {
        return QDir(folder).entryList(
            QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    }
    // The temporary folder holds nothing but what the check-in left (nothing) and `allowed`.
    void verifyNoStaging(const QStringList& allowed = {}) { QCOMPARE(entries(temp()), allowed); }
    void startFileStore() {
        startDatabase();
        gcab = std::make_unique<GcabArchiver>(env->appFolder());
        QVERIFY2(gcab->available(), "gcab must be installed");
        QVERIFY(QDir().mkpath(temp()) && QDir().mkpath(dest()));
        status.steps.clear();
    }
};

}  // namespace ks::test
