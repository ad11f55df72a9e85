// The file store: a check-in against the archiver alone plus a plain blob write of its archive,
// the memory a large check-in costs above the program's idle size, and the file list on a
// database of 200 stored files against an empty one.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>

#include "BenchFiles.h"
#include "BenchSupport.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "files/CheckIn.h"
#include "files/FileStore.h"
#include "files/GcabArchiver.h"
#include "files/WorkStatus.h"
#include "storage/BlobStream.h"

using namespace ks;
using ks::bench::QuietStatus;
using ks::bench::statusKb;
using ks::bench::verdict;

namespace {

// A file of `megabytes` MiB: blocks of random bytes between blocks of text, so that it packs to
// a little over half its size.
QString mixedFile(const QString& path, int megabytes) {
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    QByteArray text;
    while (text.size() < 65536) {
        text += "The quick brown fox jumps over the lazy dog; ";
        text += QByteArray::number(text.size());
    }
    text.truncate(65536);
    QByteArray noise(65536, '\0');
    for (int block = 0; block < megabytes * 16; ++block) {
        if (block % 2 == 0) {
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(noise.data()),
                                                  noise.size() / 4);
            file.write(noise);
        } else {
            file.write(text);
        }
    }
    return path;
}

// The archiver alone, then the archive's bytes written as a blob in a row of its own.
double baselineMs(DatabaseAccess& database, const QString& source, const QString& archive) {
    QElapsedTimer timer;
    timer.start();
    QProcess::execute(
        QStandardPaths::findExecutable(QStringLiteral("gcab")),
        {QStringLiteral("-c"), QStringLiteral("-z"), QStringLiteral("-n"), archive, source});
    QFile file(archive);
    file.open(QIODevice::ReadOnly);
    WriteOperation write(database);
    Statement insert = write.connection().prepare(
        QStringLiteral("INSERT INTO Files (File) VALUES (zeroblob(?1))"));
    insert.bind(1, file.size()).run();
    const BlobPlace place{QStringLiteral("Files"), QStringLiteral("File"),
                          write.connection().lastInsertId()};
    writeBlobFromDevice(write.connection(), place, file, file.size());
    write.commit();
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    QFile::remove(archive);
    return ms;
}

double checkInMs(DatabaseAccess& database, const QString& source, const QString& archive) {
    GcabArchiver gcab(QCoreApplication::applicationDirPath());
    QuietStatus status;
    QElapsedTimer timer;
    timer.start();
    const CheckInResult result =
        checkInFile(database, gcab, status, {source, archive, QStringLiteral("owner")});
    if (result.outcome != CheckInOutcome::Added) {
        std::printf("check-in failed (%d)\n", static_cast<int>(result.outcome));
    }
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// 10 users with 20 stored files of 10 MB each, added over time in turn.
void fillStore(DatabaseAccess& database) {
    WriteOperation write(database);
    Statement insert = write.connection().prepare(
        QStringLiteral("INSERT INTO Files (FileName, UserName, Size, CompressedSize, LastModified,"
                       " File) VALUES (?1, ?2, 20000000, 10485760, '2026-01-02T03:04:05.000Z',"
                       " zeroblob(10485760))"));
    for (int file = 0; file < 20; ++file) {
        for (int user = 0; user < 10; ++user) {
            insert.reset();
            insert.bind(1, QStringLiteral("document number %1.pdf").arg(file))
                .bind(2, EncryptField(QStringLiteral("user %1").arg(user)))
                .run();
        }
    }
    write.commit();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QTemporaryDir work;
    const QString archive = work.filePath(QStringLiteral("store.cab"));

    std::printf("File store\n");
    {
        bench::BenchFolder folder;
        DatabaseAccess database(folder.databasePath(), PassPhrase());
        const QString source = mixedFile(work.filePath(QStringLiteral("big120.bin")), 120);
        database.open();
        // Writing 5 here starts the peak resident size afresh from the current one.
        QFile reset(QStringLiteral("/proc/self/clear_refs"));
        const bool canReset = reset.open(QIODevice::WriteOnly) && reset.write("5") == 1;
        reset.close();
        const long idleKb = statusKb("VmRSS");
        checkInMs(database, source, archive);
        const long peakKb = statusKb("VmHWM");
        verdict(canReset ? "peak memory of a 120 MB check-in above idle"
                         : "peak memory of a 120 MB check-in above idle (peak since start)",
                static_cast<double>(peakKb - idleKb) / 1024.0, "MB", 32, "<= 32 MB");
        QFile::remove(source);
    }
    {
        bench::BenchFolder folder;
        DatabaseAccess database(folder.databasePath(), PassPhrase());
        const QString source = mixedFile(work.filePath(QStringLiteral("big100.bin")), 100);
        // Alternating runs, the best of each: the machine's other work only ever adds time.
        double baseline = 1e300;
        double checkIn = 1e300;
        for (int run = 0; run < 3; ++run) {
            baseline = std::min(baseline, baselineMs(database, source, archive));
            checkIn = std::min(checkIn, checkInMs(database, source, archive));
        }
        bench::printFigure("100 MB: gcab alone + archive written as a blob (baseline)", baseline);
        bench::ratioVerdict("100 MB check-in against the baseline", checkIn, baseline, {1.2});
    }
    {
        bench::BenchFolder empty;
        DatabaseAccess emptyDatabase(empty.databasePath(), PassPhrase());
        const QString owner = EncryptField(QStringLiteral("user 3"));
        const double emptyMs = bench::medianMs(51, [&] { listStoredFiles(emptyDatabase, owner); });
        bench::BenchFolder full;
        DatabaseAccess fullDatabase(full.databasePath(), PassPhrase());
        fillStore(fullDatabase);
        const double fullMs = bench::medianMs(51, [&] { listStoredFiles(fullDatabase, owner); });
        std::printf("(%lld rows listed of %lld MB of stored files)\n",
                    static_cast<long long>(listStoredFiles(fullDatabase, owner)->size()),
                    static_cast<long long>(QFileInfo(full.databasePath()).size() >> 20));
        bench::printFigure("file list, empty database (baseline)", emptyMs);
        bench::ratioVerdict("file list, 10 users x 20 files of 10 MB, against empty", fullMs,
                            emptyMs, {3.0, 50.0});
    }
    return 0;
}
