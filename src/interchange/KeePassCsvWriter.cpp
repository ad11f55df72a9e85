#include "interchange/KeePassCsvWriter.h"

#include <QStringList>

#include "interchange/LabelledNotes.h"
#include "storage/AtomicFile.h"
#include "vault/VaultNames.h"

namespace ks {

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype kWriteBytes = 1024 * 1024;  // written in pieces of about this size

QByteArray quotedLine(const QStringList& fields) {
    QString line;
    for (const QString& field : fields) {
        if (!line.isEmpty()) {
            line += u',';
        }
        line += u'"' + QString(field).replace(u'"', u"\"\""_s) + u'"';
    }
    line += u'\n';
    return line.toUtf8();
}

}  // namespace

QByteArray KeePassCsvWriter::header() {
    return quotedLine({u"Group"_s, u"Title"_s, u"Username"_s, u"Password"_s, u"URL"_s, u"Notes"_s,
                       u"TOTP"_s, u"Icon"_s, u"Last Modified"_s, u"Created"_s});
}

QByteArray KeePassCsvWriter::line(const PlainRecord& record) {
    LabelledNotes notes = LabelledNotes::split(record.notes);
    const QString url = notes.take(notelabel::url());
    const QString totp = notes.take(notelabel::totp());
    if (!record.description.isEmpty()) {
        notes.set(notelabel::description(), record.description);
    }
    const QString category =
        record.category.trimmed().isEmpty() ? unfiledCategory() : record.category;
    if (category.contains(u'/')) {
        notes.set(notelabel::category(), category);
    }
    return quotedLine({u"Root/"_s + category, record.shortName, record.userName, record.password,
                       url, notes.joined(), totp, u"0"_s, QString(), QString()});
}

FsResult KeePassCsvWriter::writeFile(const QString& path, const QList<PlainRecord>& records) {
    AtomicFile file(path);
    FsResult status = file.open();
    QByteArray pending = header();
    for (const PlainRecord& record : records) {
        if (!status) {
            return status;
        }
        pending += line(record);
        if (pending.size() >= kWriteBytes) {
            status = file.write(pending);
            pending.clear();
        }
    }
    if (status) {
        status = file.write(pending);
    }
    return status ? file.commit() : status;
}

}  // namespace ks
