#include "SyncViews.h"

#include <QDir>
#include <QDirIterator>

#include "core/AccountValues.h"

namespace ks::test {

using namespace Qt::StringLiterals;

QString joined(const QStringList& values) {
    return values.join(u'\x1f');
}

QMap<QString, qint64> viewFiles(const QString& view) {
    QMap<QString, qint64> files;
    QDirIterator it(view, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!it.fileName().startsWith(u'.')) {
            files.insert(QDir(view).relativeFilePath(path), it.fileInfo().size());
        }
    }
    return files;
}

QStringList decryptedRecords(Connection& connection, const Account& account, const char* table) {
    static const ValueColumn* const valueColumns[] = {
        &columns::kShortName,   &columns::kRecordUserName, &columns::kPassword,
        &columns::kDescription, &columns::kNotes,          &columns::kCategory};
    Statement rows = connection.prepare(
        u"SELECT Uuid, ShortName, UserName, Password, Description, Notes, Category FROM %1 "
        "WHERE KeyUserName = ?1"_s.arg(QLatin1String(table)));
    rows.bind(1, account.owner);
    QStringList found;
    while (rows.next()) {
        QStringList values;
        for (int column = 0; column < 6; ++column) {
            values << shownValue(account, *valueColumns[column], rows.blob(0),
                                 rows.text(column + 1))
                          .value_or(u"(damaged)"_s);
        }
        found << joined(values);
    }
    return found;
}

QStringList removedByWriter(const QString& deviceId, const QMap<QString, qint64>& source,
                            const QMap<QString, qint64>& target) {
    QStringList removed;
    for (auto it = target.cbegin(); it != target.cend(); ++it) {
        if (it.key().startsWith(deviceId + u'/') && !source.contains(it.key())) {
            removed << it.key();
        }
    }
    return removed;
}

}  // namespace ks::test
