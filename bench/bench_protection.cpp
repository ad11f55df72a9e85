// Protecting an account of realistic size (2,000 records, 3,650 journal days, 50 pictures of
// 5 MB, 20 stored files of 10 MB) as the Options tab does it, with the stretching tuned to this
// machine: the time it takes and the memory it needs above the idle program; then the login of
// the protected account. Each figure beside its goal with "ok" or "over".
//
//   bench_protection
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <cstdio>

#include "BenchSupport.h"
#include "app/Accounts.h"
#include "app/LoginCheck.h"
#include "app/ProcessMemory.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "journal/JournalDate.h"
#include "journal/JournalStore.h"
#include "options/AccountProtection.h"
#include "options/ConversionParts.h"
#include "storage/Schema.h"

using namespace ks;
using namespace ks::bench;

namespace {

const QString kName = QStringLiteral("alex.morgan");
const QString kPassword = QStringLiteral("password1");
const QString kPhrase = QStringLiteral("a long pass phrase with spaces");

bool run(Statement& statement) {
    const DbStatus status = statement.run();
    if (!status.ok()) {
        std::fprintf(stderr, "fill: %s\n", qPrintable(status.detail));
    }
    return status.ok();
}

// The account's rows in the shared format, written directly in one transaction.
bool fill(DatabaseAccess& database) {
    if (!CreateUser(database, kName, kPassword).ok()) {
        return false;
    }
    const QString owner = EncryptField(kName);
    WriteOperation write(database);
    Connection& connection = write.connection();
    const QString note = QStringLiteral(
        "Security questions: first school, street of the first "
        "flat. Card reader in the desk drawer.");
    for (int n = 0; n < 2000; ++n) {
        Statement record = connection.prepare(QStringLiteral(
            "INSERT INTO Logins (KeyUserName, ShortName, UserName, Password, Description, Notes, "
            "Category, Uuid, Modified) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, 0)"));
        record.bind(1, owner)
            .bind(2, EncryptField(QStringLiteral("Online account %1").arg(n)))
            .bind(3, EncryptField(QStringLiteral("alex.morgan+%1@example.org").arg(n)))
            .bind(4, EncryptField(QStringLiteral("k8#Vq2!xR%1pLm").arg(n)))
            .bind(5, EncryptField(QStringLiteral("Current account and savings, online banking")))
            .bind(6, EncryptField(note))
            .bind(7, QStringLiteral("Category %1").arg(n % 12))
            .bindBlob(8, newRowUuid());
        if (!run(record)) {
            return false;
        }
    }
    const QDate first(2017, 1, 1);
    for (int day = 0; day < 3650; ++day) {
        const QString text =
            QStringLiteral("Walked to the harbour, wrote letters, read. ").repeated(8 + day % 20);
        Statement entry = connection.prepare(QStringLiteral(
            "INSERT INTO Journals (UserName, Date, Journal, DateCreated, LastModified, Uuid, "
            "Modified) VALUES (?1, ?2, ?3, ?2, ?2, ?4, 0)"));
        entry.bind(1, owner)
            .bind(2, journalDateText(first.addDays(day)))
            .bind(3, storedJournalValue(text))
            .bindBlob(4, newRowUuid());
        if (!run(entry)) {
            return false;
        }
    }
    const auto blobs = [&](const char* sql, int count, int megabytes) {
        for (int n = 0; n < count; ++n) {
            Statement blob = connection.prepare(QString::fromLatin1(sql));
            blob.bind(1, owner)
                .bind(2, QStringLiteral("Holiday %1.jpg").arg(n))
                .bind(3, qint64(megabytes) << 20)
                .bindBlob(4, newRowUuid());
            if (!run(blob)) {
                return false;
            }
        }
        return true;
    };
    return blobs(
               "INSERT INTO Images (UserName, ImageName, Image, Uuid, Modified) "
               "VALUES (?1, ?2, randomblob(?3), ?4, 0)",
               50, 5) &&
           blobs(
               "INSERT INTO Files (UserName, FileName, Size, CompressedSize, LastModified, "
               "File, Uuid, Modified) VALUES (?1, ?2, ?3, ?3, '2026-01-01 10:00:00', "
               "randomblob(?3), ?4, 0)",
               20, 10) &&
           write.commit().ok();
}

// Starts the peak resident size afresh (Linux: "5" to clear_refs).
void resetPeakMemory() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly)) {
        refs.write("5");
    }
}

// In a process of its own, so that the fill's memory does not count: protects the account and
// prints the time and the peak memory above what the process held before.
int protectChild(const QString& path) {
    DatabaseAccess database(path, PassPhrase());
    if (!database.open().ok()) {
        return 1;
    }
    const long idleKb = statusKb("VmRSS");
    QElapsedTimer timer;
    timer.start();
    const KdfParams kdf = calibrateKdf();
    // Each part timed on its own; the peak memory counted from the first converted row, after
    // the stretching of the pass phrase (which takes its own memory, kdf.memLimit, and gives it
    // back).
    QList<ConversionPart> parts;
    QList<double> partMs;
    const QList<ConversionPart> all = accountConversionParts();
    for (qsizetype i = 0; i < all.size(); ++i) {
        partMs.append(0);
        parts.append([&partMs, i, part = all.at(i)](Connection& connection,
                                                    const AccountConversion& conversion) {
            QElapsedTimer partTimer;
            partTimer.start();
            DbStatus status = part(connection, conversion);
            partMs[i] = static_cast<double>(partTimer.nsecsElapsed()) / 1e6;
            return status;
        });
    }
    bool first = true;
    const ProtectionOutcome outcome =
        protectAccount(database, EncryptField(kName), kPassword, kPhrase, kdf, parts, [&first] {
            if (first) {
                resetPeakMemory();
                first = false;
            }
            return true;
        });
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    if (outcome.result != ProtectionOutcome::Result::Protected) {
        std::printf("protection failed: %s\n", qPrintable(outcome.status.detail));
        return 1;
    }
    verdict("protecting the account (stretching tuned included)", ms / 1000.0, "s", 15.0, "< 15 s");
    const char* names[] = {"records and categories", "journal", "pictures", "files"};
    for (qsizetype i = 0; i < partMs.size() && i < 4; ++i) {
        std::printf("  %-24s %8.2f s\n", names[i], partMs.at(i) / 1000.0);
    }
    std::printf("  the pass phrase stretched with %llu MiB, %llu passes\n",
                static_cast<unsigned long long>(kdf.memLimit >> 20),
                static_cast<unsigned long long>(kdf.opsLimit));
    verdict("memory of the conversion above the idle program",
            double(statusKb("VmHWM") - idleKb) / 1024.0, "MB", 64.0, "<= 64 MB");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    guardProcessMemory();  // the heap as the window program sets it
    QCoreApplication application(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--protect") {
        return protectChild(QString::fromLocal8Bit(argv[2]));
    }
    BenchFolder folder;
    {
        DatabaseAccess database(folder.databasePath(), PassPhrase());
        if (!fill(database)) {
            return 1;
        }
        database.CloseAllDatabaseObjects();
    }
    std::printf(
        "Protecting an account of 2,000 records, 3,650 journal days, 50 pictures of "
        "5 MB and 20 files of 10 MB\n");
    std::fflush(stdout);
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--protect"), folder.databasePath()});
    if (!child.waitForFinished(600000) || child.exitCode() != 0) {
        return 1;
    }
    DatabaseAccess database(folder.databasePath(), PassPhrase());
    const double loginMs = medianMs(3, [&database] {
        Result<LoginAttempt> attempt = attemptLogin(database, kName, kPhrase);
        if (!attempt.ok() || attempt->match != LoginMatch::Matches) {
            std::printf("the login failed\n");
        }
    });
    verdict("login of the protected account", loginMs, "ms", 1000.0, "<= 1 s");
    database.CloseAllDatabaseObjects();
    return 0;
}
