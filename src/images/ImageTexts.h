#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

namespace ks {

// The messages and the file dialog's filter of the Images tab, each kept once.

QString selectImageToViewMessage();
QString selectImageToDeleteMessage();
// "You are about to delete the following image(s):", an empty line, the names each on its own
// line, an empty line and "Are you sure?".
QString deleteImagesQuestion(const QStringList& names);

// The check-in could not read a file, or the database refused the pictures.
QString checkInFileFailedMessage(const QString& path, const QString& error);
QString checkInNotStoredMessage();
QString imagesNotDeletedMessage();
QString imagesNotListedMessage();
// The viewer cannot show a picture of `size`: it would take more memory than a picture may.
QString pictureTooLargeMessage(QSize size);

// A protected account's picture whose stored bytes do not open: the viewer's message, and the
// reason a picture or a stored file was not checked out.
QString pictureNotDecryptedMessage();
QString notDecryptedReason();

// The file dialog's title and its filter entries: pictures by their usual names, Photoshop
// files, every picture this program shows (`decodable`), and all files.
QString checkInDialogTitle();
QStringList checkInFilters(const QStringList& decodable);

}  // namespace ks
