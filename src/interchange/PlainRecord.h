#pragma once

#include <QString>

namespace ks {

// The plain values of one password record as they travel between the vault and a file: the
// same six values the record editor shows. Converting to and from the record store's own types
// is the caller's business, so that reading and writing files needs nothing of the database.
struct PlainRecord {
    QString shortName;
    QString userName;
    QString password;
    QString description;
    QString notes;
    QString category;  // a plain name; the unfiled name when the record has none

    bool operator==(const PlainRecord&) const = default;
};

}  // namespace ks
