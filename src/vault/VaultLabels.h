#pragma once

#include <QString>

#include "widgets/Captions.h"  // passwordCaption()

namespace ks {

// Captions shared by the details of the Password Vault tab, the record editor and its history.
inline QString shortNameCaption() {
    return QStringLiteral("Short Name");
}
inline QString userNameCaption() {
    return QStringLiteral("User Name");
}
inline QString descriptionCaption() {
    return QStringLiteral("Description");
}
inline QString notesCaption() {
    return QStringLiteral("Notes");
}
inline QString categoryCaption() {
    return QStringLiteral("Category");
}

}  // namespace ks
