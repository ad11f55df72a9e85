#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <array>

#include "interchange/CsvReader.h"
#include "interchange/PlainRecord.h"

namespace ks {

// The password managers whose CSV exports are known by their header. Column names are compared
// ignoring letter case and order, and the set must be exactly one a tool writes:
// - KeePassXC: Group, Title, Username, Password, URL, Notes, and any of TOTP, Icon,
//   Last Modified, Created, Tags (older and newer versions differ in these);
// - Bitwarden: type, name, notes, fields, login_uri, login_username, login_password,
//   login_totp, folder (a personal vault) or collections (an organisation's), and any of
//   favorite, reprompt;
// - Firefox: url, username, password, httpRealm, formActionOrigin, guid, timeCreated,
//   timeLastUsed, timePasswordChanged;
// - Chrome, Chromium, Edge: name, url, username, password, and perhaps note.
// Any other header is Other: the user maps its columns (proposeMapping() suggests a mapping).
enum class CsvFormat { KeePassXC, Bitwarden, Firefox, Chromium, Other };

CsvFormat detectFormat(const QStringList& header);
// The format's name as the import window shows it.
QString formatName(CsvFormat format);

// What a column can fill in a record. Url and Totp have no box of their own: they go into the
// notes, labelled (see LabelledNotes).
enum class RecordPart { ShortName, UserName, Password, Url, Notes, Description, Category, Totp };
constexpr int kRecordParts = 8;

// Which column (an index into the header) fills each part; -1 for none.
struct ColumnMapping {
    std::array<int, kRecordParts> columns{-1, -1, -1, -1, -1, -1, -1, -1};
    // Whether the non-empty values of the other columns go into the notes under their column
    // names. The columns that only describe the source tool itself are left out even then
    // (see mapRows()).
    bool keepOtherColumns = true;

    int& operator[](RecordPart part) { return columns[static_cast<size_t>(part)]; }
    int operator[](RecordPart part) const { return columns[static_cast<size_t>(part)]; }
    bool operator==(const ColumnMapping&) const = default;
};

// The mapping of a header by its column names: the fixed mapping of every known format, and
// a first guess for any other file (title, name, account... fill the short name; user name,
// login, email... the user name; and so on), which the user may change.
ColumnMapping proposeMapping(const QStringList& header);

// Why a row of the file does not become a record.
enum class SkipReason {
    None,
    EmptyRow,        // nothing in any column that fills a record
    NotALogin,       // a Bitwarden item that is neither a login nor a secure note
    RecycleBin,      // an entry in KeePassXC's recycle bin
    InVault,         // the vault already has this very record (ImportPlan)
    RepeatedInFile,  // an earlier row of the file is the same record (ImportPlan)
};

// A row of the file as a record, before its short name is settled (ImportPlan).
struct MappedRow {
    int line = 0;        // where the row starts in the file
    QString title;       // the short name as the file gives it (perhaps empty)
    QString url;         // the web address, which can name a record without a title
    PlainRecord record;  // shortName is left empty
    SkipReason skip = SkipReason::None;
    QString skipDetail;  // the Bitwarden item type of a NotALogin row
};

// The rows of the table as records, under `mapping`, with the rules of `format`:
// - the user name and the password are taken exactly as they are;
// - the notes keep a block of labelled values (LabelledNotes) that the file's notes may already
//   end with; the URL and the TOTP columns and, with keepOtherColumns, every other non-empty
//   column are set in that block; a description found there fills the description when no
//   column does;
// - KeePassXC's group path gives the category by its last group ("Root/Internet/Mail" is
//   "Mail"); the root group is the first group shared by every row, so "Root" or an empty path
//   is unfiled, and entries of the "Recycle Bin" group under it are skipped; its Icon, Last
//   Modified and Created columns are not kept;
// - a Bitwarden folder gives the category by its last part as well; "login" items are records,
//   "note" items (secure notes) are records with notes only, other items are skipped; its type
//   and reprompt columns are not kept;
// - Firefox's guid and times are not kept; Firefox and Chrome rows are unfiled;
// - a row with no short name, user name, password, description or notes is skipped as empty.
QList<MappedRow> mapRows(const CsvTable& table, CsvFormat format, const ColumnMapping& mapping);

// The first rows of a file as the import window previews them, with what is known of them.
struct CsvPreview {
    QStringList header;
    QList<QStringList> rows;
    int totalRows = 0;
    CsvFormat format = CsvFormat::Other;
    ColumnMapping mapping;
};
CsvPreview previewOf(const CsvTable& table, int rows = 5);

}  // namespace ks
