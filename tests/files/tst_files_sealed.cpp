// Pictures and stored files of a protected account: names and contents sealed bound to their
// rows, streamed in and out, damaged ones told apart, and the conversion of an account's rows.
#include <QtTest>

#include "FileStoreFixture.h"
#include "ProtectedAccount.h"
#include "StoredBytes.h"
#include "core/AccountValues.h"
#include "core/SealedBlobs.h"
#include "images/ImageStore.h"
#include "images/ImageTexts.h"
#include "protection/BlobSeal.h"
#include "protection/TextSeal.h"
#include "storage/BlobStream.h"

using namespace ks;
using namespace Qt::StringLiterals;

class FilesSealedTest : public test::FileStoreFixture {
    Q_OBJECT

    // A stored row as the file holds it.
    struct Row {
        qint64 counter;
        QString name;
        QByteArray uuid;
        qint64 modified;
        qint64 length;
        bool operator==(const Row&) const = default;
    };
    QList<Row> rows(const QString& table, const QString& owner) {
        Connection connection = database->open().value();
        const QString name = table == u"Images"_s ? u"ImageName"_s : u"FileName"_s;
        const QString blob = table == u"Images"_s ? u"Image"_s : u"File"_s;
        Statement query = connection.prepare(
            u"SELECT Counter, %1, Uuid, Modified, length(%2) FROM %3 WHERE UserName = ?1 "
            "ORDER BY Counter"_s.arg(name, blob, table));
        query.bind(1, owner);
        QList<Row> out;
        while (query.next()) {
            out.append({query.integer(0), query.text(1), query.blob(2), query.integer(3),
                        query.integer(4)});
        }
        return out;
    }
    // The next keys of both tables and the number of their rows.
    QList<qint64> tableState() {
        Connection connection = database->open().value();
        return {test::countOf(connection, u"SELECT seq FROM sqlite_sequence WHERE name='Images'"_s),
                test::countOf(connection, u"SELECT seq FROM sqlite_sequence WHERE name='Files'"_s),
                test::countOf(connection, u"SELECT count(*) FROM Images"_s),
                test::countOf(connection, u"SELECT count(*) FROM Files"_s)};
    }
    void run(const QString& sql, const QByteArray& blob, qint64 counter) {
        Connection connection = database->open().value();
        Statement statement = connection.prepare(sql);
        QVERIFY(statement.bindBlob(1, blob).bind(2, counter).run().ok());
    }
    QByteArray storedBlob(const QString& sql, qint64 counter) {
        Connection connection = database->open().value();
        Statement query = connection.prepare(sql);
        query.bind(1, counter);
        return query.next() ? query.blob(0) : QByteArray();
    }
    QStringList pictureNames(const Account& account) {
        QStringList out;
        const Result<QList<ImageLine>> lines = ListImages(*database, account);
        for (const ImageLine& line : lines.value()) {
            out.append(line.name);
        }
        return out;
    }
    QStringList fileNames(const Account& account) {
        QStringList out;
        const Result<QList<StoredFileLine>> lines = listStoredFiles(*database, account);
        for (const StoredFileLine& line : lines.value()) {
            out.append(line.fileName);
        }
        return out;
    }
    CheckOutReport checkOutAll(CheckOutKind kind, const Account& account) {
        return CheckOutItems(*database, *gcab, status, {kind, true, {}, dest(), account, temp()});
    }
    qint64 storeSealed(const Account& account, const QString& name, const QByteArray& bytes) {
        const CheckInResult result =
            checkInFile(*database, *gcab, status, {source(name, bytes), archive(), account});
        return result.outcome == CheckInOutcome::Added ? result.counter : -1;
    }
    QList<qint64> addPictures(const Account& account, const QList<QByteArray>& contents) {
        QStringList paths;
        for (int i = 0; i < contents.size(); ++i) {
            paths.append(source(u"picture %1 Фото.png"_s.arg(i), contents[i]));
        }
        return AddImages(*database, account, paths).counters;
    }
    static QStringList reasons(const CheckOutReport& report) {
        QStringList out;
        for (const NotCheckedOut& item : report.failed) {
            out.append(item.reason);
        }
        return out;
    }

private Q_SLOTS:
    void init() { startFileStore(); }
    void cleanup() { endDatabase(); }

    void picturesAndFilesRoundTripSealed() {
        const Account sealed = test::protectedAccount(*database, u"anna"_s);
        // Pictures: several chunks, and an empty one, under a name of another script.
        const QByteArray picture = test::mixedBytes(2'500'000);
        const QList<qint64> pictures = addPictures(sealed, {picture, {}});
        QCOMPARE(pictures.size(), 2);
        QCOMPARE(pictureNames(sealed),
                 (QStringList{u"picture 0 Фото.png"_s, u"picture 1 Фото.png"_s}));
        QCOMPARE(*readImageBytes(*database, sealed, pictures[0]).value(), picture);
        QCOMPARE(*readImageBytes(*database, sealed, pictures[1]).value(), QByteArray());
        // Files: an archive of several chunks, its sizes readable.
        const QByteArray content = test::mixedBytes(6'000'000);
        const QString name = u" Отчёт <b>x<b> &amp; .bin"_s;
        const qint64 file = storeSealed(sealed, name, content);
        QVERIFY(file > 0);
        const StoredFileLine line = listStoredFiles(*database, sealed).value().value(0);
        QCOMPARE(line.fileName, name);
        QCOMPARE(line.size, qint64{6'000'000});
        QVERIFY(line.compressedSize > kBlobChunkBytes);
        const Row row = rows(u"Files"_s, anna).value(0);
        QCOMPARE(row.length, sealedBlobSize(line.compressedSize));
        QVERIFY(looksSealed(row.name));
        QCOMPARE(row.uuid.size(), 16);
        QVERIFY(row.modified > 0);
        QBuffer archiveRead;
        archiveRead.open(QIODevice::WriteOnly);
        QVERIFY(readStoredArchive(*database, sealed, file, archiveRead).value());
        // Nothing of the contents or the names is in the file, its journal or its log.
        const QString path = env->databasePath();
        QVERIFY(!test::databaseHoldsBytes(path, picture.mid(1'000'000, 4096)));
        QVERIFY(!test::databaseHoldsBytes(path, archiveRead.data().mid(1'000'000, 4096)));
        QVERIFY(!test::databaseHoldsText(path, u"Фото"_s));
        QVERIFY(!test::databaseHoldsText(path, u"Отчёт"_s));
        // Checked out byte for byte.
        QCOMPARE(checkOutAll(CheckOutKind::Files, sealed).written, QStringList{dest() + name});
        QCOMPARE(read(dest() + name), content);
        const CheckOutReport out = checkOutAll(CheckOutKind::Images, sealed);
        QCOMPARE(out.written.size(), 2);
        QCOMPARE(read(out.written[0]), picture);
        verifyNoStaging();
        // The look is real: a plain account's picture is found.
        addPictures(Account(bert), {picture});
        QVERIFY(test::databaseHoldsBytes(path, picture.mid(1'000'000, 4096)));
        // Deleted.
        QCOMPARE(DeleteImages(*database, sealed, pictures).value(), 2);
        QCOMPARE(deleteStoredFiles(*database, sealed, {file}).value(), 1);
        QVERIFY(pictureNames(sealed).isEmpty());
        QVERIFY(fileNames(sealed).isEmpty());
    }

    void damagedPicturesAndFilesAreToldApart() {
        const Account sealed = test::protectedAccount(*database, u"anna"_s);
        const QList<qint64> pictures = addPictures(
            sealed, {test::mixedBytes(1'500'000), test::mixedBytes(10), test::mixedBytes(20)});
        const qint64 first = storeSealed(sealed, u"first.txt"_s, test::mixedBytes(3'000'000));
        const qint64 second = storeSealed(sealed, u"second.txt"_s, "second");
        // A byte flipped in the first picture; the third's name moved into the second's row; the
        // second file's archive moved into the first's row; a byte of the second's name flipped.
        QByteArray image =
            storedBlob(u"SELECT Image FROM Images WHERE Counter = ?1"_s, pictures[0]);
        image[image.size() / 2] = static_cast<char>(image[image.size() / 2] ^ 1);
        run(u"UPDATE Images SET Image = ?1 WHERE Counter = ?2"_s, image, pictures[0]);
        run(u"UPDATE Images SET ImageName = CAST(?1 AS TEXT) WHERE Counter = ?2"_s,
            rows(u"Images"_s, anna)[2].name.toUtf8(), pictures[1]);
        run(u"UPDATE Files SET File = ?1 WHERE Counter = ?2"_s,
            storedBlob(u"SELECT File FROM Files WHERE Counter = ?1"_s, second), first);
        QByteArray name = rows(u"Files"_s, anna)[1].name.toUtf8();
        name[10] = name[10] == 'A' ? 'B' : 'A';
        run(u"UPDATE Files SET FileName = CAST(?1 AS TEXT) WHERE Counter = ?2"_s, name, second);

        QCOMPARE(pictureNames(sealed), (QStringList{u"picture 0 Фото.png"_s, damagedValueText(),
                                                    u"picture 2 Фото.png"_s}));
        QVERIFY(readPicture(*database, sealed, pictures[0]).value().damaged);
        QVERIFY(!readPicture(*database, sealed, pictures[0]).value().bytes);
        QCOMPARE(*readImageBytes(*database, sealed, pictures[2]).value(), test::mixedBytes(20));
        const CheckOutReport out = checkOutAll(CheckOutKind::Images, sealed);
        QCOMPARE(out.written.size(), 1);
        QCOMPARE(reasons(out), (QStringList{notDecryptedReason(), notDecryptedReason()}));
        QCOMPARE(fileNames(sealed), (QStringList{u"first.txt"_s, damagedValueText()}));
        const CheckOutReport files = checkOutAll(CheckOutKind::Files, sealed);
        QVERIFY(files.written.isEmpty());
        QCOMPARE(reasons(files), (QStringList{notDecryptedReason(), notDecryptedReason()}));
        QCOMPARE(entries(dest()), QStringList{QFileInfo(out.written[0]).fileName()});
        verifyNoStaging();
    }

    // An archive of many chunks opens on a second thread while the next chunk is read: damage
    // in any later chunk, or the last one gone, fails the whole check-out all the same, with
    // nothing left behind and nothing reported written.
    void damageInAnyChunkFailsTheWholeCheckOut() {
        const Account sealed = test::protectedAccount(*database, u"anna"_s);
        const QByteArray content = test::mixedBytes(12'000'000);
        const QString select = u"SELECT File FROM Files WHERE Counter = ?1"_s;
        const QString update = u"UPDATE Files SET File = ?1 WHERE Counter = ?2"_s;
        constexpr qint64 kSealedChunk = kBlobChunkBytes + 17;
        for (const int damage : {0, 1, 2}) {
            const qint64 file = storeSealed(sealed, u"many.bin"_s, content);
            QByteArray stored = storedBlob(select, file);
            const qint64 chunks = (stored.size() - 28 + kSealedChunk - 1) / kSealedChunk;
            QVERIFY(chunks >= 4);
            if (damage == 0) {  // a byte of the third chunk
                stored[28 + 2 * kSealedChunk + 100] ^= 1;
            } else if (damage == 1) {  // a byte of the last chunk
                stored[stored.size() - 20] ^= 1;
            } else {  // the last chunk gone
                stored.truncate(28 + (chunks - 1) * kSealedChunk);
            }
            run(update, stored, file);
            QBuffer out;
            out.open(QIODevice::WriteOnly);
            const Result<bool> read = readStoredArchive(*database, sealed, file, out);
            QVERIFY(!read.ok());
            QCOMPARE(read.status().detail, notDecryptedReason());
            const CheckOutReport report = checkOutAll(CheckOutKind::Files, sealed);
            QVERIFY(report.written.isEmpty());
            QCOMPARE(reasons(report), QStringList{notDecryptedReason()});
            QCOMPARE(entries(dest()), QStringList());
            verifyNoStaging();
            QCOMPARE(deleteStoredFiles(*database, sealed, {file}).value(), 1);
        }
        // Whole, it comes out byte for byte.
        QVERIFY(storeSealed(sealed, u"many.bin"_s, content) > 0);
        QCOMPARE(checkOutAll(CheckOutKind::Files, sealed).written,
                 QStringList{dest() + u"many.bin"_s});
        QCOMPARE(read(dest() + u"many.bin"_s), content);
    }

    void accountsSharingTheFileNeverSeeEachOther() {
        const Account sealed = test::protectedAccount(*database, u"anna"_s);
        const Account plain(bert);
        const qint64 annas = addPictures(sealed, {"anna's"}).value(0);
        const qint64 berts = addPictures(plain, {"bert's"}).value(0);
        const qint64 annasFile = storeSealed(sealed, u"anna.txt"_s, "anna");
        const qint64 bertsFile = storeSealed(plain, u"bert.txt"_s, "bert");
        QCOMPARE(pictureNames(sealed), QStringList{u"picture 0 Фото.png"_s});
        QCOMPARE(pictureNames(plain), QStringList{u"picture 0 Фото.png"_s});
        QCOMPARE(fileNames(sealed), QStringList{u"anna.txt"_s});
        QCOMPARE(fileNames(plain), QStringList{u"bert.txt"_s});
        QCOMPARE(readImageBytes(*database, plain, annas).value(), std::nullopt);
        QCOMPARE(readImageBytes(*database, sealed, berts).value(), std::nullopt);
        QBuffer elsewhere;
        elsewhere.open(QIODevice::WriteOnly);
        QCOMPARE(readStoredArchive(*database, plain, annasFile, elsewhere).value(), false);
        QCOMPARE(readStoredArchive(*database, sealed, bertsFile, elsewhere).value(), false);
        QCOMPARE(DeleteImages(*database, plain, {annas}).value(), 0);
        QCOMPARE(deleteStoredFiles(*database, plain, {annasFile}).value(), 0);
        QCOMPARE(rows(u"Images"_s, anna).size(), 1);
        QCOMPARE(rows(u"Files"_s, anna).size(), 1);
    }

    void sealImagesAndFilesConvertKeepingIdentity() {
        const Account plain(anna);
        const QByteArray big = test::mixedBytes(2'200'000);
        addPictures(plain, {big, {}});
        QVERIFY(storeSealed(plain, u"big.bin"_s, test::mixedBytes(4'000'000)) > 0);
        QVERIFY(storeSealed(plain, u"small.txt"_s, "small") > 0);
        // Larger than what is sealed in memory: streamed through a carrier row.
        const QByteArray huge = test::mixedBytes(int(kSealInMemoryBytes) + 300'000);
        const qint64 hugeRow =
            addStoredFile(*database, plain, {u"huge.bin"_s, 1, {}}, source(u"huge.cab"_s, huge))
                .value();
        addPictures(Account(bert), {"bert's"});
        QVERIFY(storeSealed(Account(bert), u"bert.txt"_s, "bert") > 0);
        const QList<Row> pictures = rows(u"Images"_s, anna);
        const QList<Row> files = rows(u"Files"_s, anna);
        const QList<Row> others = rows(u"Images"_s, bert) + rows(u"Files"_s, bert);
        const QList<qint64> state = tableState();
        const Account sealed = test::protectedAccount(*database, u"anna"_s);
        // Stopped after the first row of each: nothing is kept once rolled back.
        for (const auto seal : {&sealImages, &sealFiles}) {
            WriteOperation write(*database);
            const AccountConversion stop{plain, sealed, [] { return false; }};
            QCOMPARE(seal(write.connection(), stop).code, DbCode::Cancelled);
        }
        QCOMPARE(rows(u"Images"_s, anna), pictures);
        QCOMPARE(rows(u"Files"_s, anna), files);
        QCOMPARE(tableState(), state);
        // Converted: names and contents sealed in their own rows, nothing else changed.
        QTest::qWait(2);
        WriteOperation write(*database);
        int told = 0;
        const AccountConversion all{plain, sealed, [&told] { return ++told > 0; }};
        QVERIFY(sealImages(write.connection(), all).ok());
        QVERIFY(sealFiles(write.connection(), all).ok());
        QVERIFY(write.commit().ok());
        QCOMPARE(told, 5);
        QCOMPARE(tableState(), state);
        QCOMPARE(rows(u"Images"_s, bert) + rows(u"Files"_s, bert), others);
        for (const auto& [before, after] : {std::pair(pictures, rows(u"Images"_s, anna)),
                                            std::pair(files, rows(u"Files"_s, anna))}) {
            QCOMPARE(after.size(), before.size());
            for (int i = 0; i < after.size(); ++i) {
                QCOMPARE(after[i].counter, before[i].counter);
                QCOMPARE(after[i].uuid, before[i].uuid);
                QVERIFY(after[i].modified > before[i].modified);
                QVERIFY(looksSealed(after[i].name));
                QCOMPARE(after[i].length, sealedBlobSize(before[i].length));
            }
        }
        QCOMPARE(pictureNames(sealed),
                 (QStringList{u"picture 0 Фото.png"_s, u"picture 1 Фото.png"_s}));
        QCOMPARE(*readImageBytes(*database, sealed, pictures[0].counter).value(), big);
        QCOMPARE(fileNames(sealed), (QStringList{u"big.bin"_s, u"small.txt"_s, u"huge.bin"_s}));
        QBuffer hugeOut;
        hugeOut.open(QIODevice::WriteOnly);
        QVERIFY(readStoredArchive(*database, sealed, hugeRow, hugeOut).value());
        QVERIFY(hugeOut.data() == huge);
        QCOMPARE(checkOutAll(CheckOutKind::Files, sealed).written.size(), 2);
        QCOMPARE(read(dest() + u"big.bin"_s), test::mixedBytes(4'000'000));
    }
};

QTEST_GUILESS_MAIN(FilesSealedTest)
#include "tst_files_sealed.moc"
