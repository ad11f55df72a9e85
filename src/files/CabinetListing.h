#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace ks {

// One file held by a cabinet archive.
struct CabinetEntry {
    QString name;
    qint64 size = 0;
};

// The files listed in the header of the cabinet archive at `path`; nullopt when it is not a
// complete single-volume cabinet (wrong signature, a size other than its header states, a
// listing that runs past the end).
std::optional<QList<CabinetEntry>> readCabinetEntries(const QString& path);

}  // namespace ks
