// A scripted session of a thousand random operations on an account's records and journal, with
// imports among them: afterwards every version of a record that was ever saved, every deleted
// record and every journal text that stood before a run of saves can still be found, in the
// database (records, their history) or in the copies the imports kept of what they replaced.
#include <QtTest>

#include <random>

#include "TestEnvironment.h"
#include "core/AccountValues.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "journal/JournalDate.h"
#include "journal/JournalStore.h"
#include "storage/Backups.h"
#include "storage/DatabaseCopy.h"
#include "vault/RecordHistory.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

constexpr int kOperations = 1000;
constexpr int kDays = 12;

QString joined(const RecordFields& f) {
    return QStringList{f.shortName, f.userName, f.password, f.description, f.notes, f.category}
        .join(u'\x1f');
}

// What the account's rows of one database hold: record versions (live and kept) and journal
// texts (live and kept), decrypted.
struct Found {
    QSet<QString> records;
    QSet<QString> texts;
};

void collect(const QString& path, const QString& owner, Found& found) {
    Result<Connection> connection = Connection::openFile(path, PassPhrase().toUtf8(), false);
    QVERIFY2(connection.ok(), qPrintable(path));
    for (const char* table : {"Logins", "LoginsHistory"}) {
        Statement rows = connection->prepare(
            u"SELECT ShortName, UserName, Password, Description, Notes, Category FROM %1 "
            "WHERE KeyUserName = ?1"_s.arg(QLatin1String(table)));
        rows.bind(1, owner);
        while (rows.next()) {
            // A plain account's values are not bound to their rows.
            static const ValueColumn* const valueColumns[] = {
                &columns::kShortName,   &columns::kRecordUserName, &columns::kPassword,
                &columns::kDescription, &columns::kNotes,          &columns::kCategory};
            QStringList values;
            for (int column = 0; column < 6; ++column) {
                values << shownValue(owner, *valueColumns[column], {}, rows.text(column))
                              .value_or(u"?"_s);
            }
            found.records.insert(values.join(u'\x1f'));
        }
        QVERIFY2(rows.status().ok(), qPrintable(rows.status().detail));
    }
    for (const char* table : {"Journals", "JournalsHistory"}) {
        Statement rows = connection->prepare(
            u"SELECT Date, Journal FROM %1 WHERE UserName = ?1"_s.arg(QLatin1String(table)));
        rows.bind(1, owner);
        while (rows.next()) {
            found.texts.insert(rows.text(0) + u'\x1f' + shownJournalText(rows.text(1)));
        }
        QVERIFY2(rows.status().ok(), qPrintable(rows.status().detail));
    }
}

}  // namespace

class NothingLostTest : public test::DatabaseTest {
    Q_OBJECT

    std::mt19937 random;
    HistorySettings settings{HistorySettings::kMostVersions, HistorySettings::kDefaultDeletedDays};
    std::unique_ptr<RecordStore> store;
    const QString owner = EncryptField(u"anna"_s);

    // The model: the records as they are now, by counter, and the journal's texts by day.
    struct Model {
        QMap<qint64, RecordFields> records;
        QMap<QString, QString> days;
    };
    Model model;
    QSet<QString> saved;      // every version of a record ever saved
    QSet<QString> keptTexts;  // journal texts that must be kept: see writeDay and import
    QList<std::pair<QString, Model>> snapshots;  // copies to import, with what they hold

    int pick(int below) { return std::uniform_int_distribution<int>(0, below - 1)(random); }
    QString text(int op) {
        static const QString pieces[] = {u"  leading"_s,   u"trailing  "_s, u"Grüße"_s,
                                         u"пароль"_s,      u"東京"_s,       u"<b>&amp;</b>"_s,
                                         u"line\nbreak"_s, u"שלום"_s};
        QString value = pieces[pick(8)] + u' ' + QString::number(op);
        if (pick(20) == 0) {
            value += QString(1000, QChar(u'a' + pick(26)));
        }
        return value;
    }
    qint64 anyRecord() {
        const QList<qint64> counters = model.records.keys();
        return counters.isEmpty() ? 0 : counters.at(pick(int(counters.size())));
    }

    void create(int op) {
        RecordFields f{u"Record %1 "_s.arg(op) + text(op),
                       text(op),
                       text(op),
                       text(op),
                       text(op),
                       pick(3) == 0 ? u"Banking"_s : u"Travel %1"_s.arg(pick(3))};
        const SaveResult result = store->CreateRecord(owner, f);
        QCOMPARE(result.outcome, SaveOutcome::Saved);
        f.shortName = f.shortName.trimmed();
        model.records.insert(result.counter, f);
        saved.insert(joined(f));
    }
    void edit(int op) {
        const qint64 counter = anyRecord();
        if (counter == 0) {
            return create(op);
        }
        RecordFields f = model.records.value(counter);
        QString* const fields[] = {&f.userName, &f.password, &f.description, &f.notes};
        for (int changes = 1 + pick(3); changes > 0; --changes) {
            *fields[pick(4)] = text(op);
        }
        if (pick(6) == 0) {
            f.shortName = u"Renamed %1"_s.arg(op);
        }
        QCOMPARE(store->UpdateRecord(owner, counter, f).outcome, SaveOutcome::Saved);
        model.records.insert(counter, f);
        saved.insert(joined(f));
    }
    void remove() {
        if (const qint64 counter = anyRecord()) {
            QCOMPARE(store->DeleteRecord(owner, counter).value(), 1);
            model.records.remove(counter);
        }
    }
    void restoreDeleted() {
        const Result<QList<DeletedRecord>> deleted = ListDeletedRecords(*database, owner, settings);
        QVERIFY(deleted.ok());
        if (deleted.value().isEmpty()) {
            return;
        }
        const SaveResult result = store->RestoreDeletedRecord(
            owner, deleted.value().at(pick(int(deleted.value().size()))).id);
        QCOMPARE(result.outcome, SaveOutcome::Saved);
        const auto shown = store->ShowRecord(owner, result.counter);
        QVERIFY(shown.ok() && shown.value());
        model.records.insert(result.counter, shown.value()->fields);
        QVERIFY(saved.contains(joined(shown.value()->fields)));
    }
    void restoreVersion(int op) {
        const qint64 counter = anyRecord();
        if (counter == 0) {
            return create(op);
        }
        const Result<QList<RecordVersion>> versions = ListRecordHistory(*database, owner, counter);
        QVERIFY(versions.ok());
        if (versions.value().isEmpty()) {
            return edit(op);
        }
        const RecordVersion& version = versions.value().at(pick(int(versions.value().size())));
        QCOMPARE(store->RestoreVersion(owner, counter, version.id).outcome, SaveOutcome::Saved);
        QVERIFY(saved.contains(joined(version.fields)));
        model.records.insert(counter, version.fields);
    }
    void writeDay(int op) {
        const QString day = journalDateText(QDate(2026, 3, 1).addDays(pick(kDays)));
        const QString entry = text(op) + u" entry"_s;
        // Saves in quick succession keep only the text their run began with: the text an entry
        // was made with is kept when the next save replaces it.
        if (!model.days.contains(day)) {
            keptTexts.insert(day + u'\x1f' + entry);
        }
        const Result<bool> written =
            writeJournalEntry(*database, owner, day, storedJournalValue(entry), QDate(2026, 12, 1),
                              JournalKeeping{settings.versionsKept, false});
        QVERIFY2(written.ok(), qPrintable(written.status().detail));
        model.days.insert(day, entry);
    }
    // Keeps a copy of the database as it is, to import later.
    void snapshot(int op) {
        const Result<QString> made = makeVerifiedBackup(
            env->databasePath(), PassPhrase(), env->root() + u"snapshots/"_s, u"snapshot"_s,
            QDateTime(QDate(2026, 1, 1), QTime(0, 0)).addSecs(op));
        QVERIFY2(made.ok(), qPrintable(made.status().detail));
        snapshots.append({made.value(), model});
    }
    // Imports one of the copies kept earlier: the database it replaces goes to the backups.
    void import(int op) {
        const auto& [path, held] = snapshots.at(pick(int(snapshots.size())));
        const QString staging = env->dataFolder() + u"Import.part"_s;
        QVERIFY(QFile::copy(path, staging));
        store.reset();
        database->CloseAllDatabaseObjects();
        const Result<QString> kept =
            restoreDatabaseFrom(staging, env->databasePath(),
                                {backupsFolderIn(env->dataFolder()), u"before-import"_s,
                                 QDateTime(QDate(2026, 2, 1), QTime(0, 0)).addSecs(op)},
                                PassPhrase());
        QVERIFY2(kept.ok(), qPrintable(kept.status().detail));
        // The texts the import replaced are in the copy it kept.
        for (auto it = model.days.cbegin(); it != model.days.cend(); ++it) {
            keptTexts.insert(it.key() + u'\x1f' + it.value());
        }
        model = held;
        store = std::make_unique<RecordStore>(*database, &settings);
    }

private Q_SLOTS:
    void init() {
        startDatabase();
        store = std::make_unique<RecordStore>(*database, &settings);
    }
    void cleanup() {
        store.reset();
        endDatabase();
    }

    void everyVersionEverSavedCanBeFoundAgain() {
        const unsigned seed = std::random_device()();
        random.seed(seed);
        for (int op = 0; op < kOperations; ++op) {
            if (op % 150 == 75) {
                snapshot(op);
            } else if (op % 250 == 249) {
                import(op);
            } else {
                const int kind = pick(100);
                if (kind < 15) {
                    create(op);
                } else if (kind < 55) {
                    edit(op);
                } else if (kind < 65) {
                    remove();
                } else if (kind < 70) {
                    restoreDeleted();
                } else if (kind < 77) {
                    restoreVersion(op);
                } else {
                    writeDay(op);
                }
            }
            if (QTest::currentTestFailed()) {
                QFAIL(qPrintable(u"operation %1, seed %2"_s.arg(op).arg(seed)));
            }
        }
        store.reset();
        database->CloseAllDatabaseObjects();
        Found found;
        collect(env->databasePath(), owner, found);
        const QList<BackupFile> backups = listBackups(env->dataFolder());
        QCOMPARE(backups.size(), kOperations / 250);
        for (const BackupFile& backup : backups) {
            collect(backup.path, owner, found);
        }
        const QSet<QString> lostRecords = saved - found.records;
        QVERIFY2(
            lostRecords.isEmpty(),
            qPrintable(u"%1 record versions lost, seed %2"_s.arg(lostRecords.size()).arg(seed)));
        for (auto it = model.days.cbegin(); it != model.days.cend(); ++it) {
            keptTexts.insert(it.key() + u'\x1f' + it.value());
        }
        const QSet<QString> lostTexts = keptTexts - found.texts;
        QVERIFY2(lostTexts.isEmpty(),
                 qPrintable(u"%1 journal texts lost, seed %2"_s.arg(lostTexts.size()).arg(seed)));
        QVERIFY(saved.size() > 300);
    }
};

QTEST_GUILESS_MAIN(NothingLostTest)
#include "tst_nothing_lost.moc"
