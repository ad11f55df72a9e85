#include "vault/PasswordGeneratorWindow.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "widgets/Controls.h"
#include "widgets/SecretClipboard.h"

namespace ks {

namespace {

QCheckBox* kindBox(QWidget* parent, const char* name, const QString& caption) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(true);
    return box;
}

}  // namespace

PasswordGeneratorWindow::PasswordGeneratorWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmPasswordGenerator"));
    setWindowTitle(tr("Generate Password"));
    setWindowModality(Qt::WindowModal);

    length_ = new QSpinBox(this);
    length_->setObjectName(QStringLiteral("spnLength"));
    length_->setRange(4, kLongestGeneratedPassword);
    length_->setValue(kDefaultPasswordLength);
    upper_ = kindBox(this, "chkUpper", tr("&Upper case (A-Z)"));
    lower_ = kindBox(this, "chkLower", tr("&Lower case (a-z)"));
    digits_ = kindBox(this, "chkDigits", tr("&Digits (0-9)"));
    symbols_ = kindBox(this, "chkSymbols", tr("&Symbols (!#$%...)"));
    generated_ = new QLineEdit(this);
    generated_->setObjectName(QStringLiteral("txtGenerated"));
    generated_->setReadOnly(true);
    generated_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    keepOutOfSelection(generated_);
    strength_ = makeLabel(this, QStringLiteral("lblStrength"), QString());

    QPushButton* again = makeButton(this, QStringLiteral("cmdGenerate"), tr("&New"));
    use_ = makeButton(this, QStringLiteral("cmdUse"), tr("Use"));
    use_->setDefault(true);
    QPushButton* cancel = makeButton(this, QStringLiteral("cmdCancelGenerate"), tr("Cancel"));

    auto* form = new QFormLayout;
    form->addRow(makeLabel(this, QStringLiteral("lblLength"), tr("Length"), length_), length_);
    for (QCheckBox* kind : {upper_, lower_, digits_, symbols_}) {
        form->addRow(kind);
        connect(kind, &QCheckBox::toggled, this, &PasswordGeneratorWindow::generate);
    }
    form->addRow(generated_);
    form->addRow(strength_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {again, use_, cancel}) {
        buttons->addWidget(button);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(length_, &QSpinBox::valueChanged, this, &PasswordGeneratorWindow::generate);
    connect(again, &QPushButton::clicked, this, &PasswordGeneratorWindow::generate);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(use_, &QPushButton::clicked, this, [this] {
        Q_EMIT used(generated_->text());
        accept();
    });
    generate();
}

PasswordClasses PasswordGeneratorWindow::chosenClasses() const {
    return {upper_->isChecked(), lower_->isChecked(), digits_->isChecked(), symbols_->isChecked()};
}

void PasswordGeneratorWindow::generate() {
    const PasswordClasses classes = chosenClasses();
    const std::optional<QString> password = generatePassword(length_->value(), classes);
    generated_->setText(password.value_or(QString()));
    use_->setEnabled(password.has_value());
    strength_->setText(
        password ? tr("Strength: %1 bits").arg(passwordStrengthBits(length_->value(), classes))
                 : tr("Choose at least one kind of character."));
}

QString PasswordGeneratorWindow::password() const {
    return generated_->text();
}

}  // namespace ks
