// Incremental blob I/O: a blob written from a file in chunks inside the transaction that adds its
// row comes back byte for byte; a source that ends early leaves no row.
#include <QtTest>

#include "TestEnvironment.h"
#include "crypto/PassPhrase.h"
#include "storage/BlobStream.h"

using namespace ks;
using namespace Qt::StringLiterals;

class BlobStreamTest : public test::DatabaseTest {
    Q_OBJECT

    // Adds an Images row whose blob is `bytes`, written from a buffer of `available` of them.
    DbStatus addRow(const QByteArray& bytes, qint64 available, qint64& rowid) {
        WriteOperation write(*database);
        Statement insert = write.connection().prepare(
            u"INSERT INTO Images (ImageName, Image) VALUES ('x', zeroblob(?1))"_s);
        insert.bind(1, qint64(bytes.size()));
        if (DbStatus status = insert.run(); !status.ok()) {
            return status;
        }
        rowid = write.connection().lastInsertId();
        QByteArray source = bytes.left(available);
        QBuffer buffer(&source);
        buffer.open(QIODevice::ReadOnly);
        const BlobPlace place{u"Images"_s, u"Image"_s, rowid};
        DbStatus status = writeBlobFromDevice(write.connection(), place, buffer, bytes.size());
        return status.ok() ? write.commit() : status;
    }
    qint64 rows() {
        return test::countOf(database->open().value(), u"SELECT count(*) FROM Images"_s);
    }

private Q_SLOTS:
    void init() { startDatabase(); }
    void cleanup() { endDatabase(); }

    void roundTripAcrossChunks() {
        // Two and a half chunks, with a different byte at every position of a chunk.
        QByteArray bytes(int(kBlobChunkBytes * 5 / 2), '\0');
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            bytes[i] = char((i * 7 + i / 4099) & 0xff);
        }
        qint64 rowid = 0;
        QVERIFY(addRow(bytes, bytes.size(), rowid).ok());
        Result<Connection> connection = database->open();
        QList<qint64> chunks;
        QByteArray read;
        const BlobPlace place{u"Images"_s, u"Image"_s, rowid};
        QVERIFY(readBlobInChunks(connection.value(), place, [&](QByteArrayView chunk) {
                    chunks.append(chunk.size());
                    read.append(chunk);
                    return true;
                }).ok());
        QCOMPARE(chunks, (QList<qint64>{kBlobChunkBytes, kBlobChunkBytes, kBlobChunkBytes / 2}));
        QVERIFY(read == bytes);

        QBuffer out;
        out.open(QIODevice::WriteOnly);
        QVERIFY(copyBlobToDevice(connection.value(), place, out).ok());
        QVERIFY(out.data() == bytes);
        // A consumer that gives up ends the read with an error.
        QCOMPARE(
            readBlobInChunks(connection.value(), place, [](QByteArrayView) { return false; }).code,
            DbCode::IoError);
        // A row that is not there.
        QVERIFY(
            !copyBlobToDevice(connection.value(), {u"Images"_s, u"Image"_s, rowid + 1}, out).ok());
    }

    void shortSourceLeavesNoRow() {
        const QByteArray bytes(int(kBlobChunkBytes + 10), 'z');
        qint64 rowid = 0;
        const DbStatus status = addRow(bytes, kBlobChunkBytes, rowid);
        QCOMPARE(status.code, DbCode::IoError);
        QCOMPARE(rows(), qint64{0});
        QVERIFY(addRow("abc", 3, rowid).ok());
        QCOMPARE(rows(), qint64{1});
    }
};

QTEST_GUILESS_MAIN(BlobStreamTest)
#include "tst_blob_stream.moc"
