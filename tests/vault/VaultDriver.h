#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <memory>

#include "GuiDriver.h"
#include "Session.h"

namespace ks::test {

// Drives the Password Vault tab, the record editor `Form2` and the category window `Form5` of a
// logged-in session by their objectNames.
class VaultDriver {
public:
    explicit VaultDriver(Session& session) : session_(session) {}

    QMainWindow* main() const { return session_.mainWindow(); }
    QWidget* editor() const { return window(QStringLiteral("Form2")); }
    QWidget* categoryWindow() const { return window(QStringLiteral("Form5")); }

    template <typename T>
    T* onTab(const char* name) const {
        return control<T>(main(), QString::fromLatin1(name));
    }
    template <typename T>
    T* inEditor(const char* name) const {
        return control<T>(editor(), QString::fromLatin1(name));
    }

    QComboBox* filter() const { return onTab<QComboBox>("cmbCategories"); }
    QListWidget* records() const { return onTab<QListWidget>("lstPasswords"); }
    QComboBox* editorCategory() const { return inEditor<QComboBox>("cmbCategory"); }

    // The lines of a list box or the entries of a combo box.
    static QStringList lines(const QListWidget* list);
    static QStringList entries(const QComboBox* box);

    // Chooses a filter entry as the user would.
    void chooseFilter(const QString& entry);
    // Selects the line of the record list with this short name (as a click does).
    bool select(const QString& shortName);
    // The four detail boxes: user name, password, description, notes.
    QStringList details() const;

    // Fills the editor's boxes; the repeated password equals the password.
    void type(const QString& shortName, const QString& category, const QString& userName = {},
              const QString& password = {}, const QString& description = {},
              const QString& notes = {});
    // Creates a record through cmdLoginsNew and cmdSaveClose; true when it was created.
    bool create(const QString& shortName, const QString& category = QString());

    // Logs out and in as another user (no compaction question on the way).
    void switchUser(const QString& name);

private:
    Session& session_;
};

}  // namespace ks::test
