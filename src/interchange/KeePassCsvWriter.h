#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "interchange/PlainRecord.h"
#include "storage/FileServices.h"

namespace ks {

// Records as the CSV that KeePassXC 2.7 exports, which its CSV import reads back by the column
// names of the header: UTF-8 without a byte-order mark, LF line ends, every field quoted and
// its quotes doubled, the header
//   "Group","Title","Username","Password","URL","Notes","TOTP","Icon","Last Modified","Created"
// and for each record:
// - Group: "Root/" and the category (KeePassXC's import drops a first group named Root, and
//   makes nested groups of a category that holds a slash; the whole category then also goes
//   into the notes' block, so that it comes back whole);
// - Title, Username, Password: the short name, the user name, the password;
// - URL and TOTP: the values labelled so in the notes' block, taken out of it;
// - Notes: the notes, their block keeping the other labelled values, with the description
//   added under "Description" (KeePassXC has no column for it);
// - Icon: 0 (the default key), as KeePassXC writes it; Last Modified and Created: empty, so
//   KeePassXC stamps the time of the import.
//
// What comes back from a round trip through KeePassXC's CSV:
// - vault -> KeePassXC -> vault: the short name, user name, password, description, notes
//   (with their labelled block) and category come back as they were, but for these changes:
//   a CRLF or a lone CR in a value comes back as LF; in the block, URL and TOTP come back
//   first; a record the vault already has, equal in every value, is skipped; a short name the
//   vault already has gets " (2)"; a category that exists in another letter case is filed
//   under the existing one, as the editor does.
// - KeePassXC -> vault -> KeePassXC: the title (without spaces around and line breaks, and
//   unless renamed, visibly, as above), user name, password, URL, notes and TOTP (as KeePassXC
//   exports it) come back; the group comes back as its last group only, right under the root
//   ("Root/Internet/Mail" becomes "Root/Mail"); a Tags column, where a KeePassXC version writes
//   one, comes back as a line in the notes. Lost on the way: the icon (the default key comes
//   back), the creation and modification times (KeePassXC stamps the time of its import),
//   entries in the recycle bin, empty entries and entries equal in every value to an earlier
//   one (all skipped), and what KeePassXC's CSV export never holds: attachments, other custom
//   attributes, history, expiry, auto-type settings, group icons and notes.
class KeePassCsvWriter {
public:
    static QByteArray header();
    // One record, ending with its line break.
    static QByteArray line(const PlainRecord& record);
    // Writes the header and the records to `path` in one step, readable by the owner only; a
    // failure leaves an earlier file of that name as it was.
    static FsResult writeFile(const QString& path, const QList<PlainRecord>& records);
};

}  // namespace ks
