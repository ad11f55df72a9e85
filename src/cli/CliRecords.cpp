#include "cli/CliRecords.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "cli/CliOptions.h"
#include "cli/ConsoleIo.h"
#include "core/DatabaseTexts.h"
#include "core/TextFolding.h"
#include "vault/VaultNames.h"

namespace ks::cli {

int databaseFailed(const DbStatus& status) {
    tell(describeDatabaseStatus(status) +
         (status.detail.isEmpty() ? QString() : u' ' + status.detail));
    return kError;
}

std::variant<StoredRecord, int> findRecord(RecordStore& store, const Account& account,
                                           const QString& name) {
    const Result<QList<RecordLine>> lines = store.ListRecords(account, allRecordsEntry());
    if (!lines.ok()) {
        return databaseFailed(lines.status());
    }
    const QString wanted = name.trimmed();
    const QList<RecordLine>& all = lines.value();
    auto line = std::find_if(all.cbegin(), all.cend(), [&wanted](const RecordLine& candidate) {
        return candidate.shortName.trimmed() == wanted;
    });
    if (line == all.cend()) {
        const QString folded = foldedForSearch(wanted);
        line = std::find_if(all.cbegin(), all.cend(), [&folded](const RecordLine& candidate) {
            return foldedForSearch(candidate.shortName.trimmed()) == folded;
        });
    }
    Result<std::optional<StoredRecord>> record =
        line == all.cend() ? Result<std::optional<StoredRecord>>(std::optional<StoredRecord>())
                           : store.ShowRecord(account, line->counter);
    if (!record.ok()) {
        return databaseFailed(record.status());
    }
    if (!record.value()) {
        tell(QStringLiteral("You have no record named %1.").arg(wanted));
        return kRefused;
    }
    return *std::move(record.value());
}

QString jsonText(const QJsonValue& value) {
    const QJsonDocument document =
        value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    const QString text = QString::fromUtf8(document.toJson(QJsonDocument::Compact));
    QString safe;
    safe.reserve(text.size());
    for (const QChar c : text) {
        // The engine escapes C0 itself; DEL and C1 pass it as they are.
        if (c.unicode() == 0x7F || (c.unicode() >= 0x80 && c.unicode() <= 0x9F)) {
            safe += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
            safe += c;
        }
    }
    return safe;
}

}  // namespace ks::cli
