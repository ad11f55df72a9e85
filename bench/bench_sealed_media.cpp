// Stored files and pictures of a protected account: a 100 MB file checked in and out of a
// protected account against a plain one, the memory that costs above idle, and the conversion
// of an account holding 50 pictures of 5 MB and 20 files of 10 MB to the sealed form.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>

#include "BenchFiles.h"
#include "BenchSupport.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "files/CheckIn.h"
#include "files/CheckOut.h"
#include "files/FileStore.h"
#include "files/GcabArchiver.h"
#include "files/WorkStatus.h"
#include "images/ImageStore.h"

using namespace ks;
using ks::bench::makeFile;
using ks::bench::QuietStatus;
using ks::bench::statusKb;
using ks::bench::verdict;

namespace {

Account protectedAccount(const QString& owner) {
    QByteArray key(32, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(key.data()), 8);
    return Account(owner, std::make_shared<const SecretBytes>(SecretBytes::copyOf(key)));
}

double msSince(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Resets the peak memory figure; false when the system does not allow it.
bool resetPeak() {
    QFile reset(QStringLiteral("/proc/self/clear_refs"));
    return reset.open(QIODevice::WriteOnly) && reset.write("5") == 1;
}

struct Work {
    QString temp;
    QString destination;
    QString archive;
};

// One check-in and one check-out of `source` for the account, each timed; the row is removed.
std::pair<double, double> inAndOut(DatabaseAccess& database, const Account& account,
                                   const QString& source, const Work& work) {
    GcabArchiver gcab(QCoreApplication::applicationDirPath());
    QuietStatus status;
    QElapsedTimer timer;
    timer.start();
    const CheckInResult in = checkInFile(database, gcab, status, {source, work.archive, account});
    const double inMs = msSince(timer);
    timer.restart();
    const CheckOutReport out = CheckOutItems(
        database, gcab, status,
        {CheckOutKind::Files, false, {in.counter}, work.destination, account, work.temp});
    const double outMs = msSince(timer);
    if (in.outcome != CheckInOutcome::Added || out.written.size() != 1) {
        std::printf("check-in or check-out failed\n");
    }
    deleteStoredFiles(database, account, {in.counter});
    QDir(work.destination).removeRecursively();
    QDir().mkpath(work.destination);
    return {inMs, outMs};
}

void checkInAndOut(const QTemporaryDir& dir, const Work& work) {
    bench::BenchFolder folder;
    DatabaseAccess database(folder.databasePath(), PassPhrase());
    const QString source = makeFile(dir.filePath(QStringLiteral("big100.bin")), 100, false);
    const Account plain(EncryptField(QStringLiteral("plain")));
    const Account sealed = protectedAccount(EncryptField(QStringLiteral("sealed")));
    // Alternating runs, the best of each: the machine's other work only ever adds time.
    double plainIn = 1e300;
    double plainOut = 1e300;
    double sealedIn = 1e300;
    double sealedOut = 1e300;
    for (int run = 0; run < 3; ++run) {
        const auto [pIn, pOut] = inAndOut(database, plain, source, work);
        const auto [sIn, sOut] = inAndOut(database, sealed, source, work);
        plainIn = std::min(plainIn, pIn);
        plainOut = std::min(plainOut, pOut);
        sealedIn = std::min(sealedIn, sIn);
        sealedOut = std::min(sealedOut, sOut);
    }
    bench::printFigure("100 MB check-in, plain account (baseline)", plainIn);
    bench::ratioVerdict("100 MB check-in, protected against plain", sealedIn, plainIn, {1.2});
    bench::printFigure("100 MB check-out, plain account (baseline)", plainOut);
    bench::ratioVerdict("100 MB check-out, protected against plain", sealedOut, plainOut, {1.2});
    // The memory above idle, the plain account's beside the protected one's.
    double aboveIdleMb[2] = {0, 0};
    bool canReset = true;
    for (const int which : {0, 1}) {
        database.open();
        canReset = resetPeak() && canReset;
        const long idleKb = statusKb("VmRSS");
        inAndOut(database, which == 0 ? plain : sealed, source, work);
        aboveIdleMb[which] = static_cast<double>(statusKb("VmHWM") - idleKb) / 1024.0;
    }
    std::printf("%-58s %9.2f MB\n", "peak memory of a plain 100 MB check-in and out above idle",
                aboveIdleMb[0]);
    verdict(canReset ? "peak memory of a protected 100 MB check-in and check-out above idle"
                     : "peak memory of a protected 100 MB check-in and out (peak since start)",
            aboveIdleMb[1], "MB", aboveIdleMb[0] + 8, "<= the plain account's + 8 MB");
    QFile::remove(source);
}

void conversion(const QTemporaryDir& dir) {
    bench::BenchFolder folder;
    DatabaseAccess database(folder.databasePath(), PassPhrase());
    const Account plain(EncryptField(QStringLiteral("owner")));
    const QString picture = makeFile(dir.filePath(QStringLiteral("picture.jpg")), 5, true);
    const QString file = makeFile(dir.filePath(QStringLiteral("file.cab")), 10, true);
    for (int i = 0; i < 50; ++i) {
        AddImages(database, plain, {picture});
    }
    for (int i = 0; i < 20; ++i) {
        addStoredFile(database, plain, {QStringLiteral("file.bin"), 10 << 20, {}}, file);
    }
    QFile::remove(picture);
    QFile::remove(file);
    const Account sealed = protectedAccount(plain.owner);
    int rows = 0;
    const AccountConversion convert{plain, sealed, [&rows] { return ++rows > 0; }};
    database.open();
    const bool canReset = resetPeak();
    const long idleKb = statusKb("VmRSS");
    QElapsedTimer timer;
    timer.start();
    {
        WriteOperation write(database);
        const DbStatus images = sealImages(write.connection(), convert);
        const DbStatus files = sealFiles(write.connection(), convert);
        if (!images.ok() || !files.ok() || !write.commit().ok()) {
            std::printf("the conversion failed\n");
        }
    }
    const double ms = msSince(timer);
    const long peakKb = statusKb("VmHWM");
    std::printf("(%d rows converted)\n", rows);
    verdict("conversion of 50 pictures of 5 MB and 20 files of 10 MB", ms / 1000.0, "s", 15,
            "< 15 s");
    verdict(canReset ? "peak memory of the conversion above idle"
                     : "peak memory of the conversion above idle (peak since start)",
            static_cast<double>(peakKb - idleKb) / 1024.0, "MB", 64, "<= 64 MB");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QTemporaryDir dir;
    const Work work{dir.filePath(QStringLiteral("tmp/")), dir.filePath(QStringLiteral("dest/")),
                    dir.filePath(QStringLiteral("tmp/store.cab"))};
    QDir().mkpath(work.temp);
    QDir().mkpath(work.destination);
    std::printf("Stored files and pictures of a protected account\n");
    checkInAndOut(dir, work);
    conversion(dir);
    return 0;
}
