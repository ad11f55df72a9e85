#pragma once

#include <QDialog>

#include "vault/PasswordGenerator.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace ks {

// Makes a strong password for the record editor: a length, the kinds of character, the
// password drawn and its strength; "Use" hands it to the editor.
class PasswordGeneratorWindow : public QDialog {
    Q_OBJECT
public:
    explicit PasswordGeneratorWindow(QWidget* parent = nullptr);

    // Draws a new password with the chosen length and kinds.
    void generate();
    QString password() const;

Q_SIGNALS:
    void used(const QString& password);

private:
    PasswordClasses chosenClasses() const;

    QSpinBox* length_;
    QCheckBox* upper_;
    QCheckBox* lower_;
    QCheckBox* digits_;
    QCheckBox* symbols_;
    QLineEdit* generated_;
    QLabel* strength_;
    QPushButton* use_;
};

}  // namespace ks
