#include "app/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace ks {

namespace {

QWidget* owner() {
    return QApplication::activeWindow();
}

// Messages separate their lines with CR; the toolkit breaks lines at LF.
QString displayed(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

QMessageBox::Icon boxIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case MessageIcon::Critical:
            return QMessageBox::Critical;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void QtDialogs::message(MessageIcon icon, const QString& title, const QString& text) {
    QMessageBox box(boxIcon(icon), title, displayed(text), QMessageBox::Ok, owner());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool QtDialogs::askYesNo(const QString& title, const QString& text) {
    return askYesNoWithDefault(title, text, DefaultAnswer::Yes);
}

bool QtDialogs::askYesNoWithDefault(const QString& title, const QString& text,
                                    DefaultAnswer defaultAnswer) {
    QMessageBox box(QMessageBox::Question, title, displayed(text),
                    QMessageBox::Yes | QMessageBox::No, owner());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultAnswer == DefaultAnswer::No ? QMessageBox::No : QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtDialogs::inputText(const QString& title, const QString& prompt,
                                            const QString& initial) {
    bool accepted = false;
    QString text =
        QInputDialog::getText(owner(), title, prompt, QLineEdit::Normal, initial, &accepted);
    if (!accepted) {
        return std::nullopt;
    }
    return text;
}

QString QtDialogs::openFile(const QString& title, const QStringList& filters) {
    return QFileDialog::getOpenFileName(owner(), title, QString(),
                                        filters.join(QStringLiteral(";;")));
}

QStringList QtDialogs::openFiles(const QString& title, const QStringList& filters) {
    return QFileDialog::getOpenFileNames(owner(), title, QString(),
                                         filters.join(QStringLiteral(";;")));
}

QString QtDialogs::saveFile(const QString& title, const QStringList& filters,
                            const QString& suggested) {
    return QFileDialog::getSaveFileName(owner(), title, suggested,
                                        filters.join(QStringLiteral(";;")));
}

QString QtDialogs::chooseFolder(const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(owner(), title, start);
}

}  // namespace ks
