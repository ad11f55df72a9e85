#include "MergeFixture.h"

#include "app/Accounts.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "storage/Schema.h"
#include "vault/RecordStore.h"

namespace ks::test {

namespace {

// The columns each table is compared by: what a merge carries, not the keys or the times
// of replacement that each database gives its own rows.
const std::pair<const char*, const char*> kDigested[] = {
    {"Users", "UserName, Password, Uuid, Modified, KeySalt, KeyOps, KeyMem, KeyWrapped"},
    {"Logins",
     "KeyUserName, Uuid, Modified, ShortName, UserName, Password, Description, Notes, Category"},
    {"LoginsCategory", "UserName, Uuid, Modified, CategoryName"},
    {"Journals", "UserName, Uuid, Modified, Date, Journal, DateCreated, LastModified"},
    {"Images", "UserName, Uuid, Modified, ImageName, Image"},
    {"Files", "UserName, Uuid, Modified, FileName, Size, CompressedSize, LastModified, File"},
    {"LoginsHistory",
     "KeyUserName, Uuid, Modified, ShortName, UserName, Password, Description, "
     "Notes, Category, Deleted"},
    {"JournalsHistory", "UserName, Uuid, Modified, Date, Journal, DateCreated, LastModified"},
    {"Tombstones", "Uuid, TableName, Owner, Deleted"},
};

}  // namespace

MergeWorld::MergeWorld() {
    setCipherDialogs(&dialogs, QStringLiteral("Keystead"));
}

MergeWorld::~MergeWorld() {
    machines.clear();
    const QStringList shown = dialogs.texts();
    setCipherDialogs(nullptr, QString());
    if (!shown.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("messages: ") + shown.join(u'|')), __FILE__,
                     __LINE__);
    }
}

Machine& MergeWorld::machine(const QString& name) {
    Machine& made = machines[name];
    made.folder = env.root() + name + QLatin1Char('/');
    made.database = std::make_unique<DatabaseAccess>(
        env.freshDatabase(made.folder + QStringLiteral("Data.mdb")), PassPhrase());
    return made;
}

Machine& MergeWorld::copyOf(const QString& name, const QString& original) {
    Machine& from = machines.at(original);
    from.db().CloseAllDatabaseObjects();
    Machine& made = machines[name];
    made.folder = env.root() + name + QLatin1Char('/');
    QDir().mkpath(made.folder);
    const QString path = made.folder + QStringLiteral("Data.mdb");
    if (!QFile::copy(from.db().path(), path)) {
        QTest::qFail("the database could not be copied", __FILE__, __LINE__);
    }
    made.database = std::make_unique<DatabaseAccess>(path, PassPhrase());
    return made;
}

MergeOutcome MergeWorld::merge(const QString& into, const QString& from, bool write,
                               const std::function<bool(int)>& failAfter,
                               const QList<Account>& keys) {
    Machine& target = machines.at(into);
    MergeRequest request;
    request.source = machines.at(from).db().path();
    request.dataFolder = target.folder;
    request.keys = keys;
    request.failAfter = failAfter;
    return write ? mergeDatabase(target.db(), request) : planDatabaseMerge(target.db(), request);
}

QStringList MergeWorld::digest(const QString& name) {
    Result<Connection> connection = machines.at(name).db().open();
    QStringList rows;
    for (const auto& [table, columns] : kDigested) {
        const QString quoted = QString::fromLatin1(columns)
                                   .split(QStringLiteral(", "))
                                   .join(QStringLiteral(") || '|' || quote("));
        Statement query = connection->prepare(
            QStringLiteral("SELECT '%1|' || quote(%2) FROM %1 WHERE %3 <> 'GLOBAL'")
                .arg(QLatin1String(table), quoted,
                     QString::fromLatin1(columns).section(u',', 0, 0)));
        while (query.next()) {
            rows.append(query.text(0));
        }
        if (!query.status().ok()) {
            QTest::qFail(qPrintable(query.status().detail), __FILE__, __LINE__);
        }
    }
    rows.sort();
    return rows;
}

QString MergeWorld::account(const QString& machineName, const QString& name) {
    DatabaseAccess& database = machines.at(machineName).db();
    if (!CreateUser(database, name, QStringLiteral("secret1")).ok()) {
        QTest::qFail("the account could not be made", __FILE__, __LINE__);
    }
    return EncryptField(name);
}

qint64 MergeWorld::addRecord(const QString& name, const Account& account, const QString& shortName,
                             const QString& password) {
    RecordStore store(machines.at(name).db());
    const SaveResult saved =
        store.CreateRecord(account, {shortName, QStringLiteral("user"), password, {}, {}, {}});
    if (saved.outcome != SaveOutcome::Saved) {
        QTest::qFail("the record could not be added", __FILE__, __LINE__);
    }
    return saved.counter;
}

void MergeWorld::editRecord(const QString& name, const Account& account, qint64 counter,
                            const QString& shortName, const QString& password) {
    RecordStore store(machines.at(name).db());
    const SaveResult saved = store.UpdateRecord(
        account, counter, {shortName, QStringLiteral("user"), password, {}, {}, {}});
    if (saved.outcome != SaveOutcome::Saved) {
        QTest::qFail("the record could not be changed", __FILE__, __LINE__);
    }
}

void MergeWorld::setModified(const QString& name, const QString& table, qint64 key,
                             qint64 modified) {
    WriteOperation write(machines.at(name).db());
    Statement update = write.connection().prepare(
        QStringLiteral("UPDATE %1 SET Modified = ?1 WHERE %2 = ?2").arg(table, keyColumn(table)));
    update.bind(1, modified).bind(2, key);
    if (!update.run().ok() || !write.commit().ok()) {
        QTest::qFail("the time could not be set", __FILE__, __LINE__);
    }
}

qint64 MergeWorld::addPicture(const QString& name, const QString& owner, const QByteArray& bytes) {
    WriteOperation write(machines.at(name).db());
    Statement insert = write.connection().prepare(
        QStringLiteral("INSERT INTO Images (ImageName, UserName, Image, Uuid, Modified) VALUES "
                       "('picture.png', ?1, ?2, ?3, ?4)"));
    insert.bind(1, owner).bindBlob(2, bytes).bindBlob(3, newRowUuid()).bind(4, rowWriteTime());
    if (!insert.run().ok()) {
        QTest::qFail("the picture could not be added", __FILE__, __LINE__);
    }
    const qint64 counter = write.connection().lastInsertId();
    write.commit();
    return counter;
}

qint64 MergeWorld::countOf(const QString& name, const QString& sql) {
    Result<Connection> connection = machines.at(name).db().open();
    return test::countOf(connection.value(), sql);
}

QString MergeWorld::textOf(const QString& name, const QString& sql) {
    Result<Connection> connection = machines.at(name).db().open();
    Statement query = connection->prepare(sql);
    return query.next() ? query.text(0) : QStringLiteral("(none)");
}

QString countsText(const MergeReport& report, const QString& owner, int kind) {
    for (const AccountMergeReport& account : report.accounts) {
        if (account.owner == owner) {
            const MergeCounts& c = account.kinds.at(kind);
            return QStringLiteral("+%1 ~%2 -%3 r%4")
                .arg(c.added)
                .arg(c.changed)
                .arg(c.deleted)
                .arg(c.renamed);
        }
    }
    return QStringLiteral("(no account)");
}

}  // namespace ks::test
