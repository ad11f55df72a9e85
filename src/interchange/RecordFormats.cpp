#include "interchange/RecordFormats.h"

#include <QSet>

namespace ks {

using namespace Qt::StringLiterals;

namespace {

using Names = QSet<QString>;

Names folded(const QStringList& names) {
    Names set;
    for (const QString& name : names) {
        set.insert(name.trimmed().toCaseFolded());
    }
    return set;
}

Names namesOf(std::initializer_list<const char*> names) {
    Names set;
    for (const char* name : names) {
        set.insert(QString::fromLatin1(name).toCaseFolded());
    }
    return set;
}

// Every required name is there, and nothing but required and optional names.
bool isExactly(const Names& header, const Names& required, const Names& optional) {
    return header.contains(required) && (required + optional).contains(header);
}

bool isBitwarden(const Names& header) {
    const Names required = namesOf({"type", "name", "notes", "fields", "login_uri",
                                    "login_username", "login_password", "login_totp"});
    const Names optional = namesOf({"favorite", "reprompt"});
    const bool personal = isExactly(header, required + namesOf({"folder"}), optional);
    const bool organisation = isExactly(header, required + namesOf({"collections"}), optional);
    return personal || organisation;
}

// The names that propose a column for each part, best first.
const std::array<QStringList, kRecordParts>& partNames() {
    static const std::array<QStringList, kRecordParts> names = {
        QStringList{u"title"_s, u"name"_s, u"short name"_s, u"shortname"_s, u"account"_s,
                    u"entry"_s, u"service"_s, u"site"_s},
        QStringList{u"username"_s, u"user name"_s, u"login_username"_s, u"user"_s, u"login"_s,
                    u"login name"_s, u"email"_s, u"e-mail"_s},
        QStringList{u"password"_s, u"login_password"_s, u"pass"_s, u"pwd"_s},
        QStringList{u"url"_s, u"login_uri"_s, u"uri"_s, u"website"_s, u"web site"_s, u"address"_s,
                    u"link"_s},
        QStringList{u"notes"_s, u"note"_s, u"comments"_s, u"comment"_s, u"extra"_s},
        QStringList{u"description"_s},
        QStringList{u"category"_s, u"group"_s, u"folder"_s, u"collections"_s},
        QStringList{u"totp"_s, u"login_totp"_s, u"otp"_s, u"otpauth"_s, u"2fa"_s},
    };
    return names;
}

}  // namespace

CsvFormat detectFormat(const QStringList& header) {
    const Names names = folded(header);
    const Names keepassBase = namesOf({"group", "title", "username", "password", "url", "notes"});
    if (isExactly(names, keepassBase,
                  namesOf({"totp", "icon", "last modified", "created", "tags"}))) {
        return CsvFormat::KeePassXC;
    }
    if (isBitwarden(names)) {
        return CsvFormat::Bitwarden;
    }
    if (isExactly(names,
                  namesOf({"url", "username", "password", "httprealm", "formactionorigin", "guid",
                           "timecreated", "timelastused", "timepasswordchanged"}),
                  {})) {
        return CsvFormat::Firefox;
    }
    if (isExactly(names, namesOf({"name", "url", "username", "password"}), namesOf({"note"}))) {
        return CsvFormat::Chromium;
    }
    return CsvFormat::Other;
}

QString formatName(CsvFormat format) {
    switch (format) {
        case CsvFormat::KeePassXC:
            return QStringLiteral("KeePassXC");
        case CsvFormat::Bitwarden:
            return QStringLiteral("Bitwarden");
        case CsvFormat::Firefox:
            return QStringLiteral("Firefox");
        case CsvFormat::Chromium:
            return QStringLiteral("Chrome, Chromium or Edge");
        case CsvFormat::Other:
            break;
    }
    return QStringLiteral("Other CSV");
}

ColumnMapping proposeMapping(const QStringList& header) {
    QStringList names;
    for (const QString& name : header) {
        names.append(name.trimmed().toCaseFolded());
    }
    ColumnMapping mapping;
    QSet<qsizetype> used;
    for (int part = 0; part < kRecordParts; ++part) {
        for (const QString& wanted : partNames()[part]) {
            const qsizetype column = names.indexOf(wanted);
            if (column >= 0 && !used.contains(column)) {
                mapping.columns[part] = static_cast<int>(column);
                used.insert(column);
                break;
            }
        }
    }
    return mapping;
}

CsvPreview previewOf(const CsvTable& table, int rows) {
    CsvPreview preview;
    preview.header = table.header;
    for (qsizetype i = 0; i < qMin<qsizetype>(rows, table.rows.size()); ++i) {
        preview.rows.append(table.rows[i].fields);
    }
    preview.totalRows = static_cast<int>(table.rows.size());
    preview.format = detectFormat(table.header);
    preview.mapping = proposeMapping(table.header);
    return preview;
}

}  // namespace ks
