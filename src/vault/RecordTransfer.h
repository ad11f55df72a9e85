#pragma once

#include <QObject>

#include <optional>

#include "core/Services.h"
#include "interchange/ImportPlan.h"
#include "interchange/RecordFormats.h"

class QWidget;

namespace ks {

// "Import Records..." and "Export Records..." of the Password Vault menu: records read from
// another password manager's CSV file (its format told by the header, any other file through
// the mapping step), counted and confirmed, then written in one transaction after a checked
// copy of the database went to Backups; and the user's records written as KeePassXC's CSV
// after a warning that the file holds the passwords in clear.
class RecordTransfer : public QObject {
    Q_OBJECT
public:
    RecordTransfer(Services& services, QWidget* window);

    void importRecords();
    void exportRecords();

Q_SIGNALS:
    // Records (and perhaps categories) were added: the lists are filled again.
    void recordsImported();

private:
    // The mapping of the file's columns, asked for when the format is not known.
    std::optional<ColumnMapping> mappingFor(const QString& fileName, const CsvTable& table);
    // Writes the confirmed plan (a copy of the database kept first) and says how it went.
    void writePlan(const ImportPlan& plan);

    Services& services_;
    QWidget* window_;
};

}  // namespace ks
