#include "storage/Schema.h"

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

// Everything a record list shows, so that listing never reads the records themselves.
const char* const kListingIndex =
    "CREATE INDEX LoginsListing ON Logins (KeyUserName, Counter, Category, ShortName)";
// Every field a record search looks in: a search reads a quarter of the pages the records take,
// whose passwords and notes it never needs.
const char* const kSearchIndex =
    "CREATE INDEX LoginsSearch ON Logins (KeyUserName, Counter, ShortName, UserName, Description)";

// Owner lookups are the program's common path; these keep them independent of table size.
const char* const kIndexes[] = {
    "CREATE INDEX LoginsByOwner ON Logins (KeyUserName)",
    kListingIndex,
    kSearchIndex,
    "CREATE INDEX CategoriesByOwner ON LoginsCategory (UserName)",
    "CREATE INDEX JournalsByOwnerDate ON Journals (UserName, Date)",
    "CREATE INDEX ImagesByOwner ON Images (UserName)",
    "CREATE INDEX FilesByOwner ON Files (UserName)",
    "CREATE UNIQUE INDEX UsersByName ON Users (UserName)",
};

}  // namespace

QStringList schemaTableNames() {
    return {QStringLiteral("Users"),    QStringLiteral("Logins"), QStringLiteral("LoginsCategory"),
            QStringLiteral("Journals"), QStringLiteral("Images"), QStringLiteral("Files")};
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
    for (const char* sql : kIndexes) {
        if (DbStatus status = connection.exec(QString::fromLatin1(sql)); !status.ok()) {
            return status;
        }
    }
    Statement insert = connection.prepare(
        QStringLiteral("INSERT INTO LoginsCategory (CategoryName, UserName) VALUES (?1, ?2)"));
    for (const QString& name : sharedCategoryNames()) {
        insert.reset();
        insert.bind(1, name).bind(2, QString::fromUtf16(kGlobalOwner));
        if (DbStatus status = insert.run(); !status.ok()) {
            return status;
        }
    }
    return transaction.commit();
}

}  // namespace ks
