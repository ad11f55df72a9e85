#pragma once

#include <QString>

namespace ks {

// What an archiver run came to: ok, or the reason in words.
struct ArchiverOutcome {
    bool ok = false;
    QString error;
};

// The cabinet archiver the file store packs files with.
class Archiver {
public:
    virtual ~Archiver() = default;

    // Whether the archiver program is there to be run.
    virtual bool available() const = 0;
    // Makes `archive` holding the one file `file`, stored under its name without folder.
    virtual ArchiverOutcome create(const QString& archive, const QString& file) = 0;
    // Unpacks every file of `archive` into `folder` (made when missing), overwriting.
    virtual ArchiverOutcome extract(const QString& archive, const QString& folder) = 0;
};

}  // namespace ks
