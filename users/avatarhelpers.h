#pragma once

#include <QByteArray>
#include <QImage>
#include <QPixmap>

class QWidget;

// Account pictures: the framed 190x190 tile, the white veil of edit mode,
// the square crop of a chosen image, and the bold font fix of the forms.
QPixmap composeAvatarPixmap(const QPixmap& source, const QPixmap& overlay, bool edit);
QPixmap makeVeiledPixmap(const QPixmap& source);
void fixBoldFontWeight(QWidget* widget);
// Asks for an image file; a 256x256 square of it, or a null image. The file
// may lie in another user's folder, so it is read like a ~/.face, away from
// the GUI thread.
QImage openImageFromFile(QWidget* parent);
// A picture of the root-owned stock folder, as its file bytes and decoded;
// false when it is not a picture the program decodes.
bool readStockPicture(const QString& path, QByteArray* bytes, QImage* image);
QImage cropImageToSquare(const QImage& image);
// The image as file bytes for ~/.face, kept in memory (no temporary file).
QByteArray encodePicture(const QImage& image);
