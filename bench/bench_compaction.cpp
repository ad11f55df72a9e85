// Compaction: the engine's VACUUM in place (what the program does) against a compacted copy
// made with sqlcipher_export, flushed and renamed over the database (the earlier way, which a
// second process holding the file cannot survive). Goal: VACUUM at most twice the export.
#include <fcntl.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "BenchSupport.h"
#include "crypto/PassPhrase.h"
#include "storage/Compaction.h"
#include "storage/Database.h"

using namespace ks;

namespace {

// Records, entries and stored files; then half of each deleted, as a user who tidies up.
void fill(const QString& path) {
    DatabaseAccess database(path, PassPhrase());
    WriteOperation write(database);
    Connection& c = write.connection();
    c.exec(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 4000) "
        "INSERT INTO Logins (KeyUserName, ShortName, Notes) "
        "SELECT 'AB', hex(randomblob(16)), hex(randomblob(400)) FROM n"));
    c.exec(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000) "
        "INSERT INTO Journals (UserName, Date, Journal) SELECT 'AB', i, hex(randomblob(1500)) "
        "FROM n"));
    c.exec(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 48) "
        "INSERT INTO Files (FileName, UserName, File) SELECT i, 'AB', randomblob(1048576) FROM n"));
    c.exec(
        QStringLiteral("DELETE FROM Logins WHERE Counter % 2 = 0; DELETE FROM Journals WHERE "
                       "Id % 2 = 0; DELETE FROM Files WHERE Counter % 2 = 0"));
    write.commit();
}

bool exportAndRename(const QString& path) {
    const QString copy = path + QStringLiteral(".out");
    const QByteArray salt = readSalt(path);
    QFile(copy).open(QIODevice::WriteOnly);  // an empty file: the connection may not create one
    Result<Connection> source = Connection::openFile(path, rawKeyFor(PassPhrase(), salt), false);
    Statement attach = source->prepare(QStringLiteral("ATTACH DATABASE ?1 AS compacted KEY ?2"));
    attach.bind(1, copy).bind(2, QString::fromLatin1(rawKeyWithSalt(PassPhrase(), salt)));
    DbStatus status = attach.run();
    for (const char* sql : {"PRAGMA compacted.cipher_page_size = 4096",
                            "SELECT sqlcipher_export('compacted')", "DETACH DATABASE compacted"}) {
        if (status.ok()) {
            status = source->prepare(QString::fromLatin1(sql)).run();
        }
    }
    if (!status.ok()) {
        std::printf("export: %s\n", qPrintable(status.detail));
    }
    bool ok = status.ok();
    const int fd = ::open(QFile::encodeName(copy).constData(), O_RDONLY);
    ok = ok && fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    return ok &&
           ::rename(QFile::encodeName(copy).constData(), QFile::encodeName(path).constData()) == 0;
}

// Median milliseconds of `runs` compactions, each of a fresh copy of `original`.
double medianOf(int runs, const QString& original, const QString& work,
                const std::function<bool(const QString&)>& compact, qint64* sizeAfter) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QFile::remove(work);
        QFile::copy(original, work);
        QElapsedTimer timer;
        timer.start();
        if (!compact(work)) {
            std::printf("compaction failed\n");
        }
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        *sizeAfter = QFileInfo(work).size();
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    bench::BenchFolder folder;
    const QString original = folder.databasePath();
    fill(original);
    const QString work = original + QStringLiteral(".work");
    qint64 exported = 0;
    qint64 vacuumed = 0;
    const double byExport = medianOf(5, original, work, exportAndRename, &exported);
    const double byVacuum = medianOf(
        5, original, work,
        [](const QString& path) {
            return compactDatabaseFile(path, path + QStringLiteral(".none"), PassPhrase()).ok;
        },
        &vacuumed);

    std::printf("Compaction of a %.1f MiB database with half of its rows deleted\n",
                double(QFileInfo(original).size()) / 1048576.0);
    bench::printFigure("sqlcipher_export + flush + rename (baseline)", byExport);
    bench::ratioVerdict("VACUUM in place (the program's way)", byVacuum, byExport, {2.0});
    std::printf("%-58s %9.1f MiB / %.1f MiB\n", "size after: export / VACUUM",
                double(exported) / 1048576.0, double(vacuumed) / 1048576.0);
    return 0;
}
