#pragma once

#include <QHash>
#include <QString>

namespace ks {

// Decrypted short names by their stored cipher text. The cipher is deterministic (one fixed
// key, every value from the start of the key stream), so a cipher text always decrypts to the
// same name and a remembered answer never goes stale, whatever happens to the table. Listing
// and the whole-table uniqueness check then decrypt each stored name once per run instead of at
// every operation.
class ShortNameCache {
public:
    struct Name {
        QString plain;  // as shown
        QString key;    // trimmed and in upper case, as names are compared
    };

    // The short name of a stored cipher text (empty when it cannot be decrypted).
    const Name& name(const QString& cipherText);
    QString plain(const QString& cipherText) { return name(cipherText).plain; }

    // How names are compared for uniqueness: spaces around and letter case do not count.
    static QString comparisonKey(const QString& name) { return name.trimmed().toUpper(); }

private:
    QHash<QString, Name> names_;
    Name failed_;
};

}  // namespace ks
