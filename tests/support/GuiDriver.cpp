#include "GuiDriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>
#include <memory>

namespace ks::test {

QWidget* window(const QString& name) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == name) {
            return widget;
        }
    }
    return nullptr;
}

bool press(QWidget* root, const QString& name) {
    auto* button = control<QAbstractButton>(root, name);
    if (button == nullptr) {
        return false;
    }
    button->click();
    return true;
}

std::shared_ptr<bool> whenModal(const QString& name, std::function<void(QWidget*)> action,
                                int timeoutMs) {
    auto done = std::make_shared<bool>(false);
    auto* timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal->objectName() == name && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            *done = true;
            action(modal);
        } else if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(5);
    return done;
}

void logIn(const QString& name, const QString& password) {
    QWidget* login = window(QStringLiteral("frmLogin"));
    control<QLineEdit>(login, QStringLiteral("txtUserName"))->setText(name);
    control<QLineEdit>(login, QStringLiteral("txtPassword"))->setText(password);
    press(login, QStringLiteral("cmdLogin"));
}

}  // namespace ks::test
