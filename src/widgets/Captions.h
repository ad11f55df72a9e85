#pragma once

#include <QString>

namespace ks {

// Captions that several windows show, each kept in one place.
inline QString passwordCaption() {
    return QStringLiteral("Password");
}
inline QString saveCaption() {
    return QStringLiteral("Save");
}
inline QString closeCaption() {
    return QStringLiteral("Close");
}
inline QString imagesCaption() {
    return QStringLiteral("Images");
}
inline QString filesCaption() {
    return QStringLiteral("Files");
}

}  // namespace ks
