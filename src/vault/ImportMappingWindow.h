#pragma once

#include <QDialog>
#include <array>
#include <optional>

#include "interchange/RecordFormats.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace ks {

// The column-mapping step of an import from a CSV file of no known format `frmImportMapping`:
// which column fills each value of a record (the short name, user name, password, web address,
// notes, description, category and one-time password key), whether the other columns go into
// the notes, and a preview of the file's first rows under its header, the chosen columns marked.
class ImportMappingWindow : public QDialog {
    Q_OBJECT
public:
    ImportMappingWindow(const QString& title, const QString& fileName, const CsvPreview& preview,
                        QWidget* parent = nullptr);

    // Shows the window modally; the mapping chosen, or nullopt when the user cancelled.
    static std::optional<ColumnMapping> choose(const QString& title, const QString& fileName,
                                               const CsvPreview& preview, QWidget* parent);

    ColumnMapping mapping() const;

private:
    void buildMappingBoxes(const CsvPreview& preview);
    void fillPreview(const CsvPreview& preview);
    // Marks the chosen columns in the preview's header and allows the import once a column
    // names or describes the records.
    void mappingChanged();

    QStringList header_;
    std::array<QComboBox*, kRecordParts> boxes_{};
    QCheckBox* chkKeepOtherColumns_;
    QTableWidget* tblPreview_;
    QPushButton* cmdMappingImport_;
};

}  // namespace ks
