#pragma once

#include <QList>
#include <QString>
#include <optional>

#include "storage/Database.h"
#include "vault/CategoryRules.h"
#include "vault/RecordListing.h"
#include "vault/RecordSearch.h"
#include "vault/ShortNameIndex.h"

namespace ks {

// The plain values of a record, as typed in the editor or as decrypted for the details.
struct RecordFields {
    QString shortName;
    QString userName;
    QString password;
    QString description;
    QString notes;
    QString category;
};

struct StoredRecord {
    qint64 counter = 0;
    RecordFields fields;
};

enum class SaveOutcome {
    Saved,
    ShortNameBlank,     // nothing but spaces
    ShortNameTooShort,  // a short name of 3 characters or fewer
    ShortNameInUse,     // another record, of any user, has that name in some letter case
    NotFound,           // the edited record is no longer there
    NotEncrypted,       // the cipher failed and has shown its own message
    DatabaseFailed,
};

struct SaveResult {
    SaveOutcome outcome = SaveOutcome::Saved;
    DbStatus status;  // why the database failed
    qint64 counter = 0;
    bool categoryAdded = false;  // the record's category was new and is now the user's
};

// The password records of the Logins table. Every record is reached through its Counter and
// its owner together, so no action ever shows, changes or removes another user's record. Text
// fields other than the category are stored encrypted.
// The stored form of each text field: cipher text, or empty for an empty value.
struct EncryptedFields {
    QString shortName;
    QString userName;
    QString password;
    QString description;
    QString notes;
};

class RecordStore {
public:
    explicit RecordStore(DatabaseAccess& database) : database_(database) {}

    // The owner's records filed under `category` exactly (letter case counts), or all of them
    // for the all-records entry in any letter case; in the table's stored order. With a search
    // text, only the records whose short name, user name or description contains it, letter
    // case and the spaces between words ignored (foldedForSearch).
    Result<QList<RecordLine>> ListRecords(const QString& owner, const QString& category,
                                          const QString& search = QString());

    // Reads up to `rows` more of what a search of the owner's records looks in, ahead of the
    // search; true once all of it is read and current.
    Result<bool> ReadSearchAhead(const QString& owner, int rows);
    // Reads up to `rows` more of the table's short names, ahead of the uniqueness check of a
    // save; true once all of them are read and current.
    Result<bool> ReadShortNamesAhead(int rows);

    // The owner's record `counter`, decrypted; nullopt when the owner has no such record.
    Result<std::optional<StoredRecord>> ShowRecord(const QString& owner, qint64 counter);

    // Adds a record for `owner`. The short name (trimmed) must have more than 3 characters and
    // be unique over the whole table, letter case ignored; the category is filed as fileUnder()
    // says, adding it when new. Every other field is stored exactly as given.
    SaveResult CreateRecord(const QString& owner, const RecordFields& fields);

    // Replaces the fields of the owner's record `counter`. The short name (trimmed) must have
    // more than 3 characters and stay unique over the other records of the table.
    SaveResult UpdateRecord(const QString& owner, qint64 counter, const RecordFields& fields);

    // Removes the owner's record `counter`; the number of records removed (0 or 1).
    Result<int> DeleteRecord(const QString& owner, qint64 counter);

private:
    // What both saves work out under the writer's lock before they write.
    struct PreparedSave {
        CategoryFiling filing;
        EncryptedFields stored;
        bool listingCurrent = false;  // the kept listing and search texts were current
        bool searchCurrent = false;
    };
    // The short-name check, the filing and the encryption; a result when the save must stop.
    std::optional<SaveResult> prepareSave(Connection& connection, const QString& owner,
                                          const RecordFields& fields, const QString& shortName,
                                          qint64 exceptCounter, PreparedSave& prepared);
    // Adds a new category when the record needs one, then commits.
    SaveResult finishSave(WriteOperation& write, const QString& owner, const RecordFields& fields,
                          const PreparedSave& prepared, qint64 counter, const QString& shortName);
    // The lines of the last search: a longer text that holds the last one narrows them rather
    // than the whole category, while the kept lines and texts are the same.
    struct LastSearch {
        QString owner;
        QString category;
        QString folded;
        quint64 listing = 0;
        quint64 texts = 0;
        QList<RecordLine> found;
    };
    Result<QList<RecordLine>> searchIn(Connection& connection, const QString& owner,
                                       const QString& category, const QList<RecordLine>& all,
                                       const QString& search);
    DatabaseAccess& database_;
    ShortNameIndex index_;
    RecordListing listing_;
    RecordSearch search_;
    LastSearch lastSearch_;
};

}  // namespace ks
