#include "VaultDriver.h"

namespace ks::test {

QStringList VaultDriver::lines(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) {
        out.append(list->item(i)->text());
    }
    return out;
}

QStringList VaultDriver::entries(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i) {
        out.append(box->itemText(i));
    }
    return out;
}

void VaultDriver::chooseFilter(const QString& entry) {
    filter()->setCurrentIndex(filter()->findText(entry, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

bool VaultDriver::select(const QString& shortName) {
    const QList<QListWidgetItem*> found = records()->findItems(shortName, Qt::MatchExactly);
    if (found.isEmpty()) {
        return false;
    }
    records()->setCurrentItem(found.first());
    return true;
}

QStringList VaultDriver::details() const {
    return {onTab<QLineEdit>("txtUserName")->text(), onTab<QLineEdit>("txtPassword")->text(),
            onTab<QPlainTextEdit>("txtDescription")->toPlainText(),
            onTab<QPlainTextEdit>("txtNotes")->toPlainText()};
}

void VaultDriver::type(const QString& shortName, const QString& category, const QString& userName,
                       const QString& password, const QString& description, const QString& notes) {
    inEditor<QLineEdit>("txtShortName")->setText(shortName);
    inEditor<QLineEdit>("txtUserName")->setText(userName);
    inEditor<QLineEdit>("txtPassword")->setText(password);
    inEditor<QLineEdit>("txtPassword2")->setText(password);
    inEditor<QPlainTextEdit>("txtDescription")->setPlainText(description);
    inEditor<QPlainTextEdit>("txtNotes")->setPlainText(notes);
    editorCategory()->setEditText(category);
}

bool VaultDriver::create(const QString& shortName, const QString& category) {
    press(main(), QStringLiteral("cmdLoginsNew"));
    type(shortName, category, shortName + QStringLiteral("-login"),
         shortName + QStringLiteral("-secret"));
    const qsizetype before = session_.dialogs.shown.size();
    press(editor(), QStringLiteral("cmdSaveClose"));
    const bool created =
        session_.dialogs.shown.size() == before + 1 &&
        session_.dialogs.shown.last().text == QStringLiteral("Record was successfully created.");
    if (!created && editor()->isVisible()) {
        press(editor(), QStringLiteral("cmdCancel"));
    }
    return created;
}

void VaultDriver::switchUser(const QString& name) {
    session_.program->state().CompactPolicy = 0;
    session_.logOut();
    session_.logIn(name);
}

}  // namespace ks::test
