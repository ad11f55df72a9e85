#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <chrono>

class QClipboard;
class QLineEdit;
class QMimeData;

namespace ks {

// The MIME type by which clipboard managers learn that a value must not be kept in their
// history, and the value that says so.
QString passwordManagerHintFormat();
QByteArray passwordManagerHintSecret();

// Clipboard contents for a secret: the text, marked for clipboard managers as secret.
QMimeData* secretMimeData(const QString& secret);

// Keeps a secret shown in `box` out of the desktop's selection (the X11 primary selection). The
// toolkit offers whatever is selected in a box that shows its characters to every program, and
// it stays offered until something else is selected, however long after. What the box offers is
// taken back at once, before any other program can ask for it. (A masked box offers nothing.)
void keepOutOfSelection(QLineEdit* box);

// Puts values on the desktop's clipboard. A secret (a password) is marked so that clipboard
// managers skip it, and it is taken off the clipboard again after a while, or when asked to (at
// logout and at the end of the program) - but only while the clipboard still holds it: what
// the user has copied since is left alone.
class SecretClipboard : public QObject {
    Q_OBJECT
public:
    // How long a secret stays on the clipboard.
    static constexpr std::chrono::milliseconds kDefaultClearAfter{20000};

    // Works on `clipboard`, or on the application's clipboard when none is given.
    explicit SecretClipboard(QObject* parent = nullptr, QClipboard* clipboard = nullptr);
    ~SecretClipboard() override;

    void setClearAfter(std::chrono::milliseconds after);
    std::chrono::milliseconds clearAfter() const;
    // The time a secret stays, in whole seconds rounded up (for messages).
    int clearAfterSeconds() const;

    // Copies a plain value; a secret copied before is no longer ours to clear.
    void copyText(const QString& text);
    // Copies a secret, marked for clipboard managers, and starts its time anew.
    void copySecret(const QString& secret);
    // Takes the secret off the clipboard now if the clipboard still holds it; true when it did.
    // The secret is forgotten either way.
    bool clearSecret();
    // Whether a secret copied by us is waiting to be cleared.
    bool holdsSecret() const { return !secret_.isNull(); }

Q_SIGNALS:
    // The time was up and the secret has been taken off the clipboard.
    void secretCleared();

private:
    void timeUp();
    void forget();

    QPointer<QClipboard> clipboard_;
    QTimer timer_;
    QString secret_;  // null when nothing is waiting
};

}  // namespace ks
