#include "storage/Schema.h"

#include <QDateTime>
#include <QRandomGenerator>

#include "storage/BlobTables.h"

namespace ks {

namespace {

// `Counter` (or a hidden `Id` where no counter is named) is the row key the database assigns;
// ascending key order is the table's stored order. Blob columns come last, so that listing a
// row's other columns never reads through a stored picture or archive.
const char* const kTables[] = {
    "CREATE TABLE Users ("
    " Id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " UserName TEXT NOT NULL DEFAULT '',"
    " Password TEXT NOT NULL DEFAULT '')",

    "CREATE TABLE Logins ("
    " Counter INTEGER PRIMARY KEY AUTOINCREMENT,"
    " KeyUserName TEXT NOT NULL DEFAULT '',"
    " ShortName TEXT NOT NULL DEFAULT '',"
    " UserName TEXT NOT NULL DEFAULT '',"
    " Password TEXT NOT NULL DEFAULT '',"
    " Description TEXT NOT NULL DEFAULT '',"
    " Notes TEXT NOT NULL DEFAULT '',"
    " Category TEXT NOT NULL DEFAULT '')",

    "CREATE TABLE LoginsCategory ("
    " Id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " CategoryName TEXT NOT NULL DEFAULT '',"
    " UserName TEXT NOT NULL DEFAULT '')",

    "CREATE TABLE Journals ("
    " Id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " UserName TEXT NOT NULL DEFAULT '',"
    " Date TEXT NOT NULL DEFAULT '',"
    " Journal TEXT NOT NULL DEFAULT '',"
    " DateCreated TEXT NOT NULL DEFAULT '',"
    " LastModified TEXT NOT NULL DEFAULT '')",

    "CREATE TABLE Images ("
    " Counter INTEGER PRIMARY KEY AUTOINCREMENT,"
    " ImageName TEXT NOT NULL DEFAULT '',"
    " UserName TEXT NOT NULL DEFAULT '',"
    " Image BLOB)",

    "CREATE TABLE Files ("
    " Counter INTEGER PRIMARY KEY AUTOINCREMENT,"
    " FileName TEXT NOT NULL DEFAULT '',"
    " UserName TEXT NOT NULL DEFAULT '',"
    " Size INTEGER NOT NULL DEFAULT 0,"
    " CompressedSize INTEGER NOT NULL DEFAULT 0,"
    " LastModified TEXT NOT NULL DEFAULT '',"
    " File BLOB)",
};

// Tables added after the first ones: a database made before them gets them whole at upgrade.
//  * The versions a save or a deletion replaced keep the row's identity and its stored values
//    as they were (a protected account's stay sealed, bound to the row they came from), the
//    time they were written and the time they were replaced. `Deleted` marks the last version
//    of a deleted record.
//  * A deletion leaves the identity of the row it removed, its table and owner, and its time.
const char* const kAddedTables[] = {
    "CREATE TABLE LoginsHistory ("
    " Id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " Uuid BLOB NOT NULL,"
    " KeyUserName TEXT NOT NULL DEFAULT '',"
    " ShortName TEXT NOT NULL DEFAULT '',"
    " UserName TEXT NOT NULL DEFAULT '',"
    " Password TEXT NOT NULL DEFAULT '',"
    " Description TEXT NOT NULL DEFAULT '',"
    " Notes TEXT NOT NULL DEFAULT '',"
    " Category TEXT NOT NULL DEFAULT '',"
    " Modified INTEGER NOT NULL DEFAULT 0,"
    " Replaced INTEGER NOT NULL DEFAULT 0,"
    " Deleted INTEGER NOT NULL DEFAULT 0)",

    "CREATE TABLE JournalsHistory ("
    " Id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " Uuid BLOB NOT NULL,"
    " UserName TEXT NOT NULL DEFAULT '',"
    " Date TEXT NOT NULL DEFAULT '',"
    " Journal TEXT NOT NULL DEFAULT '',"
    " DateCreated TEXT NOT NULL DEFAULT '',"
    " LastModified TEXT NOT NULL DEFAULT '',"
    " Modified INTEGER NOT NULL DEFAULT 0,"
    " Replaced INTEGER NOT NULL DEFAULT 0)",

    "CREATE TABLE Tombstones ("
    " Id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " Uuid BLOB NOT NULL,"
    " TableName TEXT NOT NULL DEFAULT '',"
    " Owner TEXT NOT NULL DEFAULT '',"
    " Deleted INTEGER NOT NULL DEFAULT 0)",

    // Sync between machines. A file written to the sync folder names its writer and its place
    // in the writer's sequence here (its one row); the database itself keeps its own device,
    // the other devices' files it applied or skipped, and the version of each row and deletion
    // known to be in the sync folder already (Kind 0 a row, 1 a deletion). None of these is
    // ever merged.
    "CREATE TABLE SyncFile ("
    " Id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " DeviceId TEXT NOT NULL DEFAULT '',"
    " Sequence INTEGER NOT NULL DEFAULT 0,"
    " MachineName TEXT NOT NULL DEFAULT '',"
    " Made INTEGER NOT NULL DEFAULT 0,"
    " Snapshot INTEGER NOT NULL DEFAULT 0)",

    "CREATE TABLE SyncDevice ("
    " Id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " DeviceId TEXT NOT NULL DEFAULT '',"
    " Fingerprint TEXT NOT NULL DEFAULT '',"
    " NextSequence INTEGER NOT NULL DEFAULT 1)",

    "CREATE TABLE SyncApplied ("
    " Id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " DeviceId TEXT NOT NULL DEFAULT '',"
    " FileName TEXT NOT NULL DEFAULT '',"
    " MachineName TEXT NOT NULL DEFAULT '',"
    " Made INTEGER NOT NULL DEFAULT 0,"
    " Refusal TEXT NOT NULL DEFAULT '')",

    "CREATE TABLE SyncSeen ("
    " Id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " Uuid BLOB NOT NULL,"
    " Kind INTEGER NOT NULL DEFAULT 0,"
    " Modified INTEGER NOT NULL DEFAULT 0)",
};

// Columns added after the first tables, in the order they came. A fresh database gets them as
// an older one does (ALTER TABLE), so that both end with the same definitions; each is written
// as the upgrade writes a column it adds.
//  * Every content row has an identity that survives copies and merges (16 random bytes) and
//    the time of its last write (UTC milliseconds; 0 for rows written before it was kept).
//  * A protected account keeps its wrapped data key and how its pass phrase is stretched; the
//    four are NULL for an account whose values use the shared key.
struct AddedColumn {
    const char* table;
    const char* definition;
};
const AddedColumn kAddedColumns[] = {
    {"Users", "Uuid BLOB"},          {"Users", "Modified INTEGER NOT NULL DEFAULT 0"},
    {"Users", "KeySalt BLOB"},       {"Users", "KeyOps INTEGER"},
    {"Users", "KeyMem INTEGER"},     {"Users", "KeyWrapped BLOB"},
    {"Logins", "Uuid BLOB"},         {"Logins", "Modified INTEGER NOT NULL DEFAULT 0"},
    {"LoginsCategory", "Uuid BLOB"}, {"LoginsCategory", "Modified INTEGER NOT NULL DEFAULT 0"},
    {"Journals", "Uuid BLOB"},       {"Journals", "Modified INTEGER NOT NULL DEFAULT 0"},
    {"Images", "Uuid BLOB"},         {"Images", "Modified INTEGER NOT NULL DEFAULT 0"},
    {"Files", "Uuid BLOB"},          {"Files", "Modified INTEGER NOT NULL DEFAULT 0"},
};

// Owner lookups are the program's common path; these keep them independent of table size.
// * The record list's and the search's indexes hold every field they show or look in, so that
//   neither reads the records themselves (whose notes may be long), and the row identity a
//   protected account's values are bound to.
// * The picture and file lists' indexes hold what the lists show and the identities, so that
//   listing never reads the rows that hold the blobs.
const char* const kIndexes[] = {
    "CREATE INDEX LoginsByOwner ON Logins (KeyUserName)",
    "CREATE INDEX LoginsListing ON Logins (KeyUserName, Counter, Category, ShortName, Uuid)",
    "CREATE INDEX LoginsSearch ON Logins (KeyUserName, Counter, ShortName, UserName, Description, "
    "Uuid)",
    "CREATE INDEX CategoriesByOwner ON LoginsCategory (UserName)",
    "CREATE INDEX JournalsByOwnerDate ON Journals (UserName, Date)",
    "CREATE INDEX ImagesByOwner ON Images (UserName, Counter, ImageName, Uuid, Modified)",
    "CREATE INDEX FilesByOwner ON Files (UserName, Counter, FileName, Size, CompressedSize, "
    "LastModified, Uuid, Modified)",
    "CREATE UNIQUE INDEX UsersByName ON Users (UserName)",
    "CREATE UNIQUE INDEX UsersByUuid ON Users (Uuid)",
    "CREATE UNIQUE INDEX LoginsByUuid ON Logins (Uuid)",
    "CREATE UNIQUE INDEX CategoriesByUuid ON LoginsCategory (Uuid)",
    "CREATE UNIQUE INDEX JournalsByUuid ON Journals (Uuid)",
    "CREATE UNIQUE INDEX ImagesByUuid ON Images (Uuid)",
    "CREATE UNIQUE INDEX FilesByUuid ON Files (Uuid)",
    "CREATE INDEX LoginsHistoryByRecord ON LoginsHistory (Uuid, Replaced)",
    "CREATE INDEX LoginsHistoryByOwner ON LoginsHistory (KeyUserName, Deleted, Replaced)",
    "CREATE INDEX JournalsHistoryByEntry ON JournalsHistory (Uuid, Replaced)",
    "CREATE INDEX JournalsHistoryByOwner ON JournalsHistory (UserName, Date)",
    "CREATE UNIQUE INDEX TombstonesByUuid ON Tombstones (Uuid)",
    "CREATE UNIQUE INDEX SyncAppliedByFile ON SyncApplied (DeviceId, FileName)",
    "CREATE UNIQUE INDEX SyncSeenByRow ON SyncSeen (Uuid, Kind)",
};

// Indexes as earlier builds made them; a database holding one of these is brought up to date.
const char* const kFormerIndexes[] = {
    "CREATE INDEX LoginsListing ON Logins (KeyUserName, Counter, Category, ShortName)",
    "CREATE INDEX LoginsSearch ON Logins (KeyUserName, Counter, ShortName, UserName, Description)",
    "CREATE INDEX ImagesByOwner ON Images (UserName)",
    "CREATE INDEX FilesByOwner ON Files (UserName)",
    "CREATE INDEX UsersByName ON Users (UserName)",
};

}  // namespace

QStringList schemaTableNames() {
    return {QStringLiteral("Users"),    QStringLiteral("Logins"), QStringLiteral("LoginsCategory"),
            QStringLiteral("Journals"), QStringLiteral("Images"), QStringLiteral("Files")};
}

QStringList addedTableNames() {
    return {QStringLiteral("LoginsHistory"), QStringLiteral("JournalsHistory"),
            QStringLiteral("Tombstones"),    QStringLiteral("SyncFile"),
            QStringLiteral("SyncDevice"),    QStringLiteral("SyncApplied"),
            QStringLiteral("SyncSeen")};
}

QStringList allTableNames() {
    return schemaTableNames() + addedTableNames();
}

QString addedTableDefinition(const QString& table) {
    for (const char* sql : kAddedTables) {
        const QString text = QString::fromLatin1(sql);
        if (text.section(QLatin1Char(' '), 2, 2).compare(table, Qt::CaseInsensitive) == 0) {
            return text;
        }
    }
    return {};
}

QStringList formerIndexDefinitions() {
    QStringList definitions;
    for (const char* sql : kFormerIndexes) {
        definitions << QString::fromLatin1(sql);
    }
    return definitions;
}

QByteArray newRowUuid() {
    QByteArray uuid(kRowUuidBytes, Qt::Uninitialized);
    QRandomGenerator::system()->generate(reinterpret_cast<quint32*>(uuid.data()),
                                         reinterpret_cast<quint32*>(uuid.data() + uuid.size()));
    return uuid;
}

qint64 rowWriteTime() {
    return QDateTime::currentMSecsSinceEpoch();
}

QStringList sharedCategoryNames() {
    return {QStringLiteral("Banking"), QStringLiteral("Email"), QStringLiteral("Internet"),
            QStringLiteral("Shopping"), QStringLiteral("Work")};
}

QString ownerColumn(const QString& table) {
    return table.compare(QStringLiteral("Logins"), Qt::CaseInsensitive) == 0
               ? QStringLiteral("KeyUserName")
               : QStringLiteral("UserName");
}

QString keyColumn(const QString& table) {
    static const QStringList withCounter = {QStringLiteral("Logins"), QStringLiteral("Images"),
                                            QStringLiteral("Files")};
    return withCounter.contains(table, Qt::CaseInsensitive) ? QStringLiteral("Counter")
                                                            : QStringLiteral("Id");
}

Statement selectOwned(Connection& connection, const QString& table, const QString& columns,
                      const QString& owner) {
    Statement query =
        connection.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?1 ORDER BY %4")
                               .arg(columns, table, ownerColumn(table), keyColumn(table)));
    query.bind(1, owner);
    return query;
}

DbStatus createSchema(Connection& connection) {
    Transaction transaction = connection.begin();
    if (!transaction.status().ok()) {
        return transaction.status();
    }
    for (const char* sql : kTables) {
        if (DbStatus status = connection.exec(QString::fromLatin1(sql)); !status.ok()) {
            return status;
        }
    }
    for (const AddedColumn& column : kAddedColumns) {
        if (DbStatus status = connection.exec(
                QStringLiteral("ALTER TABLE %1 ADD COLUMN %2")
                    .arg(QLatin1String(column.table), QLatin1String(column.definition)));
            !status.ok()) {
            return status;
        }
    }
    if (DbStatus status = keepBlobsLast(connection); !status.ok()) {
        return status;
    }
    for (const char* sql : kAddedTables) {
        if (DbStatus status = connection.exec(QString::fromLatin1(sql)); !status.ok()) {
            return status;
        }
    }
    for (const char* sql : kIndexes) {
        if (DbStatus status = connection.exec(QString::fromLatin1(sql)); !status.ok()) {
            return status;
        }
    }
    Statement insert = connection.prepare(QStringLiteral(
        "INSERT INTO LoginsCategory (CategoryName, UserName, Uuid) VALUES (?1, ?2, ?3)"));
    for (const QString& name : sharedCategoryNames()) {
        insert.reset();
        insert.bind(1, name).bind(2, QString::fromUtf16(kGlobalOwner)).bindBlob(3, newRowUuid());
        if (DbStatus status = insert.run(); !status.ok()) {
            return status;
        }
    }
    return transaction.commit();
}

}  // namespace ks
