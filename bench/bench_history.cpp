// History at scale: saving a record with history on, on an empty database and on one of 50,000
// records (25 users x 2,000) where one user's 2,000 records have 100 kept versions each, and
// listing one record's history there.
#include <QCoreApplication>
#include <cstdio>

#include "BenchSupport.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "storage/Database.h"
#include "vault/RecordHistory.h"

using namespace ks;

namespace {

constexpr int kUsers = 25;
constexpr int kRecordsPerUser = 2000;
constexpr int kVersions = 100;
constexpr double kListingGoalMs = 50.0;

// The records, users interleaved, then 100 versions of each record of user 0; one transaction.
void fill(DatabaseAccess& database) {
    Result<Connection> connection = database.open();
    Transaction transaction = connection->begin();
    const QStringList owners = bench::ownersOf(kUsers);
    bench::insertInterleavedRecords(connection.value(), owners, kRecordsPerUser);
    Statement versions = connection->prepare(QStringLiteral(
        "INSERT INTO LoginsHistory (Uuid, KeyUserName, ShortName, UserName, Password, "
        "Description, Notes, Category, Modified, Replaced) SELECT l.Uuid, l.KeyUserName, "
        "l.ShortName, l.UserName, l.Password, l.Description, l.Notes, l.Category, v.n * 1000, "
        "v.n * 1000 + 1 FROM Logins l, (WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 "
        "FROM c WHERE n < ?2) SELECT n FROM c) v WHERE l.KeyUserName = ?1"));
    versions.bind(1, owners[0]).bind(2, kVersions);
    if (!versions.run().ok()) {
        std::printf("the versions could not be made\n");
    }
    transaction.commit();
}

RecordFields savedValues(int n) {
    RecordFields fields;
    fields.shortName = QStringLiteral("saved record");
    fields.userName = QStringLiteral("someone");
    fields.password = QStringLiteral("hunter%1").arg(n);
    fields.notes = QStringLiteral("notes about it, a line or two long");
    fields.category = QStringLiteral("Email");
    return fields;
}

struct Figures {
    double save = 0;
    double list = 0;
};

// Saves of one record of user 0 (a new one on the empty database, one with 100 kept versions on
// the full one) and listings of its history.
Figures measure(DatabaseAccess& database, const HistorySettings& settings) {
    database.open();  // the file's raw key is derived once, before any timing
    const Account owner(bench::ownerOf(0));
    RecordStore store(database, &settings);
    const QList<RecordLine> lines = store.ListRecords(owner, QStringLiteral("All Records")).value();
    const qint64 counter = lines.isEmpty() ? store.CreateRecord(owner, savedValues(0)).counter
                                           : lines[lines.size() / 2].counter;
    int saved = 1;
    store.UpdateRecord(owner, counter, savedValues(saved++));  // the index of short names is read
    Figures figures;
    figures.save =
        bench::medianMs(25, [&] { store.UpdateRecord(owner, counter, savedValues(saved++)); });
    figures.list = bench::medianMs(25, [&] { ListRecordHistory(database, owner, counter); });
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    HistorySettings off;
    off.versionsKept = 0;
    HistorySettings most;
    most.versionsKept = kVersions;
    bench::BenchFolder emptyFolder;
    DatabaseAccess emptyDatabase(emptyFolder.databasePath(), PassPhrase());
    const Figures withoutHistory = measure(emptyDatabase, off);
    const Figures baseline = measure(emptyDatabase, HistorySettings());

    bench::BenchFolder fullFolder;
    DatabaseAccess fullDatabase(fullFolder.databasePath(), PassPhrase());
    const double filling = bench::medianMs(1, [&] { fill(fullDatabase); });
    const Figures full = measure(fullDatabase, most);

    std::printf(
        "History, %d users x %d records, %d versions of each of one user's records "
        "(filled in %.0f ms), per operation\n",
        kUsers, kRecordsPerUser, kVersions, filling);
    bench::printFigure("empty database: save a record, history off", withoutHistory.save);
    bench::printFigure("empty database: save a record, history on (baseline)", baseline.save);
    bench::ratioVerdict("full database: save a record with 100 kept versions", full.save,
                        baseline.save, bench::RatioGoal{2.0, 30.0});
    bench::verdict("full database: list a record's 100 versions", full.list, "ms", kListingGoalMs,
                   "< 50 ms");
    return 0;
}
