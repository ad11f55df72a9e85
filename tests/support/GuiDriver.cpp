#include "GuiDriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTabWidget>
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

QStringList itemTexts(const QWidget* view) {
    const auto* box = qobject_cast<const QComboBox*>(view);
    const QAbstractItemModel* model =
        box ? box->model() : qobject_cast<const QAbstractItemView*>(view)->model();
    QStringList out;
    for (int row = 0; row < model->rowCount(); ++row) {
        out.append(model->index(row, 0).data().toString());
    }
    return out;
}

void selectRows(QAbstractItemView* view, const QList<int>& rows, bool moveCurrent) {
    view->clearSelection();
    QItemSelectionModel* selection = view->selectionModel();
    for (const int row : rows) {
        const QModelIndex index = view->model()->index(row, 0);
        if (moveCurrent) {
            selection->setCurrentIndex(index, QItemSelectionModel::Select);
        } else {
            selection->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
}

bool selectText(QAbstractItemView* view, const QString& text) {
    const qsizetype row = itemTexts(view).indexOf(text);
    if (row < 0) {
        return false;
    }
    view->setCurrentIndex(view->model()->index(int(row), 0));
    return true;
}

void showTab(QWidget* main, int index) {
    control<QTabWidget>(main, QStringLiteral("SSTab1"))->setCurrentIndex(index);
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
