#include "images/ImageTexts.h"

#include "images/PictureDecoder.h"

namespace ks {

namespace {
const QChar kCR = QLatin1Char('\r');
}

QString selectImageToViewMessage() {
    return QStringLiteral("You must select an image to view.");
}

QString selectImageToDeleteMessage() {
    return QStringLiteral("You must select an image to delete.");
}

QString deleteImagesQuestion(const QStringList& names) {
    QString text = names.size() > 1
                       ? QStringLiteral("You are about to delete the following images:")
                       : QStringLiteral("You are about to delete the following image:");
    text += kCR;
    text += kCR;
    for (const QString& name : names) {
        text += name + kCR;
    }
    text += kCR;
    text += QStringLiteral("Are you sure?");
    return text;
}

QString checkInFileFailedMessage(const QString& path, const QString& error) {
    return QStringLiteral("The picture was not checked in: this file could not be read.") + kCR +
           kCR + path + kCR + kCR + QLatin1Char('(') + error + QLatin1Char(')') + kCR + kCR +
           QStringLiteral("No picture was added.");
}

QString checkInNotStoredMessage() {
    return QStringLiteral("The pictures were not checked in; no picture was added.");
}

QString imagesNotDeletedMessage() {
    return QStringLiteral("The pictures were not deleted.");
}

QString imagesNotListedMessage() {
    return QStringLiteral("The pictures could not be listed.");
}

QString pictureTooLargeMessage(QSize size) {
    return QStringLiteral(
               "This picture is too large to show: %1 × %2 pixels. A picture may take "
               "at most %3 MB once decoded.")
        .arg(size.width())
        .arg(size.height())
        .arg(kLargestDecodedBytes >> 20);
}

QString pictureNotDecryptedMessage() {
    return QStringLiteral("The picture could not be decrypted.");
}

QString notDecryptedReason() {
    return QStringLiteral("It could not be decrypted.");
}

QString checkInDialogTitle() {
    return QStringLiteral("Check In");
}

QStringList checkInFilters(const QStringList& decodable) {
    // Each entry shows its own description; the patterns in the last parentheses are the ones
    // the dialog applies.
    return {
        QStringLiteral("(*.bmp;*.jpg;*.gif;*.dat;*.pcx) (*.bmp *.jpg *.gif *.dat *.pcx)"),
        QStringLiteral("(*.psd) (*.psd)"),
        QStringLiteral("Pictures (%1)").arg(decodable.join(QLatin1Char(' '))),
        QStringLiteral("(*.All files) (*)"),
    };
}

}  // namespace ks
