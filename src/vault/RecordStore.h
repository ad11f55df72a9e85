#pragma once

#include <QList>
#include <QString>
#include <optional>

#include "core/Account.h"
#include "storage/Database.h"
#include "storage/SettingsFile.h"
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
    VersionDamaged,     // a kept version to restore holds a value that does not open
    DatabaseFailed,
};

struct SaveResult {
    SaveOutcome outcome = SaveOutcome::Saved;
    DbStatus status;  // why the database failed
    qint64 counter = 0;
    bool categoryAdded = false;  // the record's category was new and is now the user's
};

// The password records of the Logins table. Every record is reached through its Counter and
// its owner together, so no action ever shows, changes or removes another user's record. In the
// shared format, text fields other than the category are stored encrypted with the shared
// cipher; a protected account seals every field, the category too, and a field that does not
// open is shown as damaged.
// The stored form of each text field: cipher text, or empty for an empty value in the shared
// format; a sealed text of a protected account.
struct EncryptedFields {
    QString shortName;
    QString userName;
    QString password;
    QString description;
    QString notes;
    QString category;
};

class RecordStore {
public:
    // `history` says how many versions a save keeps and how long a deleted record can be
    // restored; it is read at every save (the defaults without one).
    explicit RecordStore(DatabaseAccess& database, const HistorySettings* history = nullptr)
        : database_(database), history_(history) {}

    // The account's records filed under `category` exactly (letter case counts), or all of them
    // for the all-records entry in any letter case; in the table's stored order. With a search
    // text, only the records whose short name, user name or description contains it, letter
    // case and the spaces between words ignored (foldedForSearch).
    Result<QList<RecordLine>> ListRecords(const Account& account, const QString& category,
                                          const QString& search = QString());
    // The same lines for a list that shows a few at a time: a protected account's values open
    // as they are shown, or ahead of that with OpenListedAhead(). A search waits at most about
    // `searchWaitMs` (all it takes when negative) for what it looks in to be read: when that was
    // not enough, the lines are those found so far and `searchUnfinished` says so; the search
    // can then be made again once ReadSearchAhead() says all is read.
    Result<ListedRecords> ListRecordLines(const Account& account, const QString& category,
                                          const QString& search = QString(), int searchWaitMs = -1);
    // Opens up to `rows` more of the listed values of the account while nothing else is asked
    // for; true once all of them are open.
    bool OpenListedAhead(const Account& account, int rows) {
        return listing_.openAhead(account, rows);
    }

    // Reads up to `rows` more of what a search of the account's records looks in, ahead of the
    // search; true once all of it is read and current.
    Result<bool> ReadSearchAhead(const Account& account, int rows);
    // Reads up to `rows` more of the short names the account's saves are checked against (those
    // of the shared format without an account), ahead of the uniqueness check of a save; true
    // once all of them are read and current.
    Result<bool> ReadShortNamesAhead(int rows, const Account& account = {});

    // The account's record `counter`, decrypted; nullopt when the account has no such record.
    Result<std::optional<StoredRecord>> ShowRecord(const Account& account, qint64 counter);
    // The same on the caller's connection.
    static Result<std::optional<StoredRecord>> readRecord(Connection& connection,
                                                          const Account& account, qint64 counter);

    // Adds a record for `account`. The short name (trimmed) must have more than 3 characters and
    // be unique, letter case ignored, over the names the account can read (ShortNameIndex); the
    // category is filed as fileUnder() says, adding it when new. Every other field is stored
    // exactly as given.
    SaveResult CreateRecord(const Account& account, const RecordFields& fields);

    // Replaces the fields of the account's record `counter`. The short name (trimmed) must have
    // more than 3 characters and stay unique over the other records it is checked against.
    // The values replaced go to the record's history in the same transaction (unless the save
    // changes nothing), and only the newest versions the settings keep stay there.
    SaveResult UpdateRecord(const Account& account, qint64 counter, const RecordFields& fields);

    // Removes the account's record `counter`; the number of records removed (0 or 1). Its last
    // version stays in history as a deleted record and it leaves a tombstone, in the same
    // transaction; deleted records older than the settings keep them are forgotten.
    Result<int> DeleteRecord(const Account& account, qint64 counter);

    // Saves the kept version `versionId` as the account's record `counter` again: a save like
    // UpdateRecord (held to its rules, its values replaced going to history), so it can be
    // undone the same way. NotFound when the version is not one of that record's;
    // VersionDamaged when one of its values does not open.
    SaveResult RestoreVersion(const Account& account, qint64 counter, qint64 versionId);
    // Brings the deleted record whose last version is `versionId` back with its own identity
    // (its tombstone goes, Modified is now), held to the rules of CreateRecord; its earlier
    // versions stay its history. NotFound when the account has no such deleted record,
    // VersionDamaged when one of its values does not open.
    SaveResult RestoreDeletedRecord(const Account& account, qint64 versionId);

    // The session ends: every decrypted text kept for listing, searching and checking goes.
    void forgetSession() {
        index_ = ShortNameIndex();
        ownIndex_ = ShortNameIndex();
        listing_ = RecordListing();
        search_ = RecordSearch();
        lastSearch_ = LastSearch();
    }

private:
    // The one rule for a short name, at creation and at edit alike (given trimmed).
    static std::optional<SaveResult> refusedShortName(const QString& shortName);
    // What both saves work out under the writer's lock before they write.
    struct PreparedSave {
        QByteArray uuid;  // the row's identity, which a sealed value is bound to
        CategoryFiling filing;
        EncryptedFields stored;
        bool listingCurrent = false;  // the kept listing and search texts were current
        RecordSearch::Followed searchFollowed;
    };
    // The short-name check, the filing and the encryption; a result when the save must stop.
    std::optional<SaveResult> prepareSave(Connection& connection, const Account& account,
                                          const RecordFields& fields, const QString& shortName,
                                          qint64 exceptCounter, PreparedSave& prepared);
    // A value that did not open and comes back as the text shown for it keeps its stored form
    // (it may still open with the right key); the damaged text is never sealed over it.
    static void keepDamaged(const Account& account, const EncryptedFields& current,
                            const QString& shortName, const RecordFields& typed,
                            PreparedSave& prepared);
    // The settings in force for history.
    const HistorySettings& history() const;
    // The versions a save of the record `counter` replaces are kept (see UpdateRecord).
    DbStatus keepReplaced(Connection& connection, const Account& account, qint64 counter,
                          const EncryptedFields& current, const PreparedSave& prepared,
                          const QString& shortName, const RecordFields& fields);
    // The last version of the record `counter` about to be deleted, its tombstone, and the
    // forgetting of deleted records that have aged out.
    DbStatus keepDeleted(Connection& connection, const Account& account, qint64 counter);
    // Adds a record with the identity `uuid` (new, or a deleted record's own).
    SaveResult insertRecord(WriteOperation& write, const Account& account,
                            const RecordFields& fields, const QString& shortName,
                            const QByteArray& uuid);
    // Adds a new category when the record needs one, then commits.
    SaveResult finishSave(WriteOperation& write, const Account& account, const RecordFields& fields,
                          const PreparedSave& prepared, qint64 counter, const QString& shortName);
    // The lines of the last search: a longer text that holds the last one narrows them rather
    // than the whole category, while the kept lines and texts are the same.
    struct LastSearch {
        CachedAccount account;
        QString category;
        QString folded;
        quint64 listing = 0;
        quint64 texts = 0;
        QList<RecordLine> found;
    };
    Result<QList<RecordLine>> searchIn(Connection& connection, const Account& account,
                                       const QString& category, const ListedRecords& all,
                                       const QString& search, int waitMs, bool& unfinished);
    // The index a save of `account` is checked against.
    ShortNameIndex& indexFor(const Account& account) {
        return account.isProtected() ? ownIndex_ : index_;
    }
    DatabaseAccess& database_;
    const HistorySettings* history_;
    ShortNameIndex index_;     // for accounts in the shared format
    ShortNameIndex ownIndex_;  // for the protected account last used
    RecordListing listing_;
    RecordSearch search_;
    LastSearch lastSearch_;
};

}  // namespace ks
