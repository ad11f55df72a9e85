#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include "vault/RecordStore.h"

// What the demonstration account holds. Every name, address and number in it is made up.
namespace ks::demo {

struct Account {
    QString name;
    QString password;
};
Account account();

// About thirty records over the shared categories and three of the user's own.
QList<RecordFields> records();

struct JournalDay {
    QDate day;
    QString text;
};
// Entries on most days of the five months up to `today`, today's included, oldest first. The
// same `today` always gives the same entries.
QList<JournalDay> journal(QDate today);

}  // namespace ks::demo
