#pragma once

#include <QByteArrayView>
#include <QLatin1StringView>
#include <QString>
#include <optional>

#include "core/Account.h"

namespace ks {

// How the shared format keeps a column's values.
enum class SharedForm {
    Cipher,               // the fixed cipher's text, read back without the spaces around it
    CipherKeepingSpaces,  // the same, read back with every character
    Plain,                // as typed
};

// A text column holding an account's values. A protected account seals every value of such a
// column, bound to the table, the column and the row's identity; an account in the shared
// format keeps each as its shared form says, an empty value always as the empty text.
struct ValueColumn {
    QLatin1StringView table;
    QLatin1StringView name;
    SharedForm shared;
};

namespace columns {
inline constexpr ValueColumn kShortName{QLatin1StringView("Logins"), QLatin1StringView("ShortName"),
                                        SharedForm::Cipher};
inline constexpr ValueColumn kRecordUserName{
    QLatin1StringView("Logins"), QLatin1StringView("UserName"), SharedForm::CipherKeepingSpaces};
inline constexpr ValueColumn kPassword{QLatin1StringView("Logins"), QLatin1StringView("Password"),
                                       SharedForm::CipherKeepingSpaces};
inline constexpr ValueColumn kDescription{
    QLatin1StringView("Logins"), QLatin1StringView("Description"), SharedForm::CipherKeepingSpaces};
inline constexpr ValueColumn kNotes{QLatin1StringView("Logins"), QLatin1StringView("Notes"),
                                    SharedForm::CipherKeepingSpaces};
inline constexpr ValueColumn kCategory{QLatin1StringView("Logins"), QLatin1StringView("Category"),
                                       SharedForm::Plain};
inline constexpr ValueColumn kCategoryName{QLatin1StringView("LoginsCategory"),
                                           QLatin1StringView("CategoryName"), SharedForm::Plain};
inline constexpr ValueColumn kImageName{QLatin1StringView("Images"), QLatin1StringView("ImageName"),
                                        SharedForm::Plain};
// A journal entry's text. The shared form keeps an entry of fewer than four characters as typed
// (see the journal's store); only a protected account's sealing goes through this column.
inline constexpr ValueColumn kJournalText{
    QLatin1StringView("Journals"), QLatin1StringView("Journal"), SharedForm::CipherKeepingSpaces};
inline constexpr ValueColumn kFileName{QLatin1StringView("Files"), QLatin1StringView("FileName"),
                                       SharedForm::Plain};
}  // namespace columns

// The stored text of `plain` in `column` of the row `rowUuid`; nullopt when the shared cipher
// failed on a value (it has told the user).
std::optional<QString> storedValue(const Account& account, const ValueColumn& column,
                                   QByteArrayView rowUuid, const QString& plain);

// The value a stored text holds; nullopt when a protected account's value does not open (it
// was changed, moved from another row or column, or sealed with another key): it is damaged.
std::optional<QString> shownValue(const Account& account, const ValueColumn& column,
                                  QByteArrayView rowUuid, const QString& stored);

// What is shown in place of a damaged value.
QString damagedValueText();

}  // namespace ks
