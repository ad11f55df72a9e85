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
