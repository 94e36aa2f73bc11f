#pragma once

#include "accountpicture.h"

#include <QByteArray>
#include <QImage>
#include <QPixmap>
#include <functional>

class QWidget;

// Account pictures: the framed 190x190 tile, the white veil of edit mode,
// the square crop of a chosen image, and the bold font fix of the forms.
QPixmap composeAvatarPixmap(const QPixmap& source, const QPixmap& overlay, bool edit);
QPixmap makeVeiledPixmap(const QPixmap& source);
void fixBoldFontWeight(QWidget* widget);
// Asks for an image file and reads it like a ~/.face (it may lie in another
// user's folder), away from the GUI thread: the dialog stays usable
// meanwhile. chosen then gets a 256x256 square of it on the GUI thread; a
// file that gives no picture is reported to parent instead ("Could not load
// image."; without a parent, nothing). Abandoning the returned read (or
// parent going) drops it; no file chosen starts no read.
AccountPicture::BackgroundRead openImageFromFile(QWidget* parent, std::function<void(const QImage&)> chosen);
// A picture of the root-owned stock folder, as its file bytes and decoded;
// false when it is not a picture the program decodes.
bool readStockPicture(const QString& path, QByteArray* bytes, QImage* image);
QImage cropImageToSquare(const QImage& image);
// The image as file bytes for ~/.face, kept in memory (no temporary file).
QByteArray encodePicture(const QImage& image);
