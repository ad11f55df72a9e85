#pragma once

#include <QGroupBox>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace ks {

class OptionsHost;
struct Services;

// The Options tab's "Protect my data with my password" area: the current password, a new pass
// phrase twice with its strength, the warning that a forgotten pass phrase cannot be recovered,
// and "Protect", which converts the account under a progress window that can be cancelled. An
// account already protected is told so instead.
class ProtectionBox : public QGroupBox {
    Q_OBJECT
public:
    ProtectionBox(Services& services, OptionsHost& host, QWidget* parent);

    void clearBoxes();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showAccountState();
    void showStrength();
    void cmdProtect_Click();
    bool convertAccount(const QString& password, const QString& passPhrase);

    Services& services_;
    OptionsHost& host_;
    QWidget* form_ = nullptr;
    QLabel* protectedNote_ = nullptr;
    QLineEdit* txtProtectPassword_ = nullptr;
    QLineEdit* txtPassPhrase_ = nullptr;
    QLineEdit* txtPassPhrase2_ = nullptr;
    QLabel* lblStrength_ = nullptr;
};

}  // namespace ks
