#include "widgets/SecretClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>

namespace ks {

QString passwordManagerHintFormat() {
    return QStringLiteral("x-kde-passwordManagerHint");
}

QByteArray passwordManagerHintSecret() {
    return QByteArrayLiteral("secret");
}

QMimeData* secretMimeData(const QString& secret) {
    auto* data = new QMimeData;
    data->setText(secret);
    data->setData(passwordManagerHintFormat(), passwordManagerHintSecret());
    return data;
}

void keepOutOfSelection(QLineEdit* box) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard->supportsSelection()) {
        return;
    }
    // The toolkit tells of the new selection while it sets it, before it answers any program.
    QObject::connect(clipboard, &QClipboard::selectionChanged, box, [box, clipboard] {
        if (box->echoMode() == QLineEdit::Normal && box->hasSelectedText() &&
            clipboard->ownsSelection() &&
            clipboard->text(QClipboard::Selection) == box->selectedText()) {
            clipboard->clear(QClipboard::Selection);
        }
    });
}

SecretClipboard::SecretClipboard(QObject* parent, QClipboard* clipboard)
    : QObject(parent), clipboard_(clipboard != nullptr ? clipboard : QGuiApplication::clipboard()) {
    timer_.setSingleShot(true);
    timer_.setInterval(kDefaultClearAfter);
    connect(&timer_, &QTimer::timeout, this, &SecretClipboard::timeUp);
}

SecretClipboard::~SecretClipboard() {
    // However the program ends, a password it copied does not outlive it on the clipboard.
    clearSecret();
}

void SecretClipboard::setClearAfter(std::chrono::milliseconds after) {
    timer_.setInterval(after);
}

std::chrono::milliseconds SecretClipboard::clearAfter() const {
    return timer_.intervalAsDuration();
}

int SecretClipboard::clearAfterSeconds() const {
    constexpr int kMsPerSecond = 1000;
    return (timer_.interval() + kMsPerSecond - 1) / kMsPerSecond;
}

void SecretClipboard::copyText(const QString& text) {
    forget();
    if (clipboard_) {
        clipboard_->setText(text);
    }
}

void SecretClipboard::copySecret(const QString& secret) {
    forget();
    if (!clipboard_) {
        return;
    }
    clipboard_->setMimeData(secretMimeData(secret));
    // A null text would read as "nothing waiting"; an empty secret is still ours to clear.
    secret_ = secret.isNull() ? QString(QLatin1String("")) : secret;
    timer_.start();
}

bool SecretClipboard::clearSecret() {
    const bool stillThere = holdsSecret() && clipboard_ && clipboard_->text() == secret_;
    if (stillThere) {
        clipboard_->clear();
    }
    forget();
    return stillThere;
}

void SecretClipboard::timeUp() {
    if (clearSecret()) {
        emit secretCleared();
    }
}

void SecretClipboard::forget() {
    timer_.stop();
    secret_ = QString();
}

}  // namespace ks
