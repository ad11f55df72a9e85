#pragma once

#include <QString>

class QWidget;

namespace ks {

// The layout a window was last left in on this machine: its size and position, the division
// of its named splitters and the column widths of its named lists. It lives in the user's
// configuration folder (one file per user), never in the data folder.
class WindowMemory {
public:
    // `settingsPath` empty: nothing is remembered.
    explicit WindowMemory(QString settingsPath);

    // Puts the window (named by its objectName) back as it was left; false when nothing was
    // kept for it.
    bool restore(QWidget& window) const;
    // Keeps the window's layout for the next time.
    void save(const QWidget& window) const;

private:
    QString settingsPath_;
};

}  // namespace ks
