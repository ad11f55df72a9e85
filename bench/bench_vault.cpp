// The Password Vault's common operations on a full database (10 users of 2,000 records each)
// against the same operations on an empty one: listing a user's records, showing one, and
// creating one (which checks the new short name against every record of the table). The same
// for a user whose records are sealed with the key of a protected account, after the conversion
// of that user's records.
#include <QCoreApplication>
#include <QRandomGenerator>
#include <cstdio>

#include "BenchSupport.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "storage/Database.h"
#include "vault/RecordSealing.h"
#include "vault/RecordStore.h"

using namespace ks;

namespace {

constexpr int kUsers = 10;
constexpr int kRecordsPerUser = 2000;

// Fills the database in one transaction, rows of the users interleaved as they would be
// added over time.
void fill(DatabaseAccess& database) {
    Result<Connection> connection = database.open();
    Transaction transaction = connection->begin();
    const QStringList owners = bench::ownersOf(kUsers);
    bench::insertInterleavedRecords(connection.value(), owners, kRecordsPerUser);
    transaction.commit();
}

RecordFields newRecord(int n) {
    RecordFields fields;
    fields.shortName = QStringLiteral("fresh record %1").arg(n);
    fields.userName = QStringLiteral("someone");
    fields.password = QStringLiteral("hunter2");
    fields.category = QStringLiteral("Email");
    return fields;
}

struct Figures {
    double listFirst = 0;
    double list = 0;
    double show = 0;
    double createFirst = 0;
    double create = 0;
};

// A user of the full database whose records are then sealed with a fresh data key.
constexpr int kProtectedUser = 5;

Account protectedUser() {
    constexpr std::size_t kKeyBytes = 32;
    SecretBytes key(kKeyBytes);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(key.data()),
                                          kKeyBytes / sizeof(quint32));
    return Account(bench::ownerOf(kProtectedUser),
                   std::make_shared<const SecretBytes>(std::move(key)));
}

// Converts the protected user's records to the sealed form, in one transaction.
void seal(DatabaseAccess& database, const Account& sealed) {
    WriteOperation write(database);
    if (!sealRecords(write.connection(), {Account(sealed.owner), sealed, {}}).ok() ||
        !write.commit().ok()) {
        std::printf("the records could not be sealed\n");
    }
}

Figures measure(DatabaseAccess& database, const Account& owner = Account(bench::ownerOf(3))) {
    Figures figures;
    database.open();  // the file's raw key is derived once, before any timing
    RecordStore store(database);
    int created = 0;
    // The first listing and the first creation of a run decrypt every short name they meet;
    // later ones find the names already decrypted.
    figures.listFirst =
        bench::medianMs(1, [&] { store.ListRecords(owner, QStringLiteral("All Records")); });
    figures.createFirst =
        bench::medianMs(1, [&] { store.CreateRecord(owner, newRecord(created++)); });
    figures.list =
        bench::medianMs(25, [&] { store.ListRecords(owner, QStringLiteral("All Records")); });
    const qint64 counter =
        store.ListRecords(owner, QStringLiteral("All Records")).value()[0].counter;
    figures.show = bench::medianMs(101, [&] { store.ShowRecord(owner, counter); });
    figures.create = bench::medianMs(25, [&] { store.CreateRecord(owner, newRecord(created++)); });
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    bench::BenchFolder emptyFolder;
    DatabaseAccess emptyDatabase(emptyFolder.databasePath(), PassPhrase());
    const Figures baseline = measure(emptyDatabase);

    bench::BenchFolder fullFolder;
    DatabaseAccess fullDatabase(fullFolder.databasePath(), PassPhrase());
    const double filling = bench::medianMs(1, [&] { fill(fullDatabase); });
    const Figures full = measure(fullDatabase);
    const Account sealed = protectedUser();
    const double sealing = bench::medianMs(1, [&] { seal(fullDatabase, sealed); });
    const Figures sealedFull = measure(fullDatabase, sealed);

    std::printf("Password vault, %d users x %d records (filled in %.0f ms), per operation\n",
                kUsers, kRecordsPerUser, filling);
    bench::printFigure("empty database: list the user's records (baseline)", baseline.list);
    bench::printFigure("empty database: show one record (baseline)", baseline.show);
    bench::printFigure("empty database: create one record (baseline)", baseline.create);
    bench::printRatio("full database: list the user's 2,000 records", full.list, baseline.list);
    bench::printRatio("full database: show one record", full.show, baseline.show);
    bench::printRatio("full database: create one record", full.create, baseline.create);
    bench::printRatio("full database: first listing of the run", full.listFirst,
                      baseline.listFirst);
    bench::printRatio("full database: first creation of the run", full.createFirst,
                      baseline.createFirst);
    std::printf("A protected user of the full database (records sealed in %.0f ms)\n", sealing);
    bench::printRatio("protected user: list the user's records", sealedFull.list, baseline.list);
    bench::printRatio("protected user: show one record", sealedFull.show, baseline.show);
    bench::printRatio("protected user: create one record", sealedFull.create, baseline.create);
    bench::printRatio("protected user: first listing of the run", sealedFull.listFirst,
                      baseline.listFirst);
    bench::printRatio("protected user: first creation of the run", sealedFull.createFirst,
                      baseline.createFirst);
    return 0;
}
