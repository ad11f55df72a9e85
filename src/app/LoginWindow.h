#pragma once

#include <QWidget>

#include "storage/Database.h"

class QLineEdit;
class QPushButton;

namespace ks {

class Program;

// The login window `frmLogin`: a name and a password, log in or create the account on the spot.
class LoginWindow : public QWidget {
    Q_OBJECT
public:
    explicit LoginWindow(Program& program);

    // Each time the window is shown: reads Data.dat, greets a first-time user.
    void activate();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void cmdLogin_Click();
    // The trimmed name and password, once both are long enough; otherwise the user is told.
    bool readCredentials(QString& name, QString& password);
    // Database preparation; false when the attempt cannot go on.
    bool prepareDatabase();
    // Reports an engine failure during login; nothing has been changed.
    void reportFailure(const QString& what, const DbStatus& status);

    Program& program_;
    QLineEdit* txtUserName_;
    QLineEdit* txtPassword_;
    QPushButton* cmdLogin_;
};

}  // namespace ks
