#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QSize>
#include <QString>
#include <functional>
#include <optional>
#include <sys/types.h>

class QObject;

// Account pictures come from files other users control (~/.face above all),
// and the program reads them as root. So they are decoded only as raster
// formats named by their first bytes (PNG, JPEG, GIF, BMP), never as SVG or
// anything else that can reference other files; the size an image declares
// is checked before any pixel is decoded. Pictures are read and decoded
// away from the GUI thread; only the GUI thread makes icons of them.
namespace AccountPicture {

// The largest side an image may declare, and the most pixels a format that
// cannot decode straight to a smaller size may hold.
constexpr int maxSide = 4096;
constexpr qint64 maxFullPixels = 4 * 1024 * 1024;
// Largest ~/.face read, and largest file chosen with Browse.
constexpr qint64 maxFaceBytes = 1024 * 1024;
constexpr qint64 maxChosenFileBytes = 32 * 1024 * 1024;
// Side of the picture in an account tile.
constexpr int tilePictureSide = 126;

// "png", "jpeg", "gif" or "bmp" from the first bytes; empty for anything else.
QByteArray formatOf(const QByteArray& bytes);

enum class Crop { None, CentreSquare };
// Decodes bytes when their format and declared size pass, optionally only
// the centre square, scaled to size (ignoring the aspect ratio) when size is
// valid. A null image otherwise.
QImage decode(const QByteArray& bytes, Crop crop = Crop::None, const QSize& size = QSize());

// The picture of the file at path as an account tile shows it (the centre
// square at 126x126): read without following links or blocking, only a
// regular file owned by owner or root, of at most maxFaceBytes.
QImage readTilePicture(const QString& path, uid_t owner);

// The bytes of a picture file another user may control: only a regular
// file, not a link, owned by owner or root (by anybody without an owner), of
// at most maxBytes. Empty for anything else (a FIFO, a device, a bigger
// file), without blocking.
QByteArray readFile(const QString& path, std::optional<uid_t> owner, qint64 maxBytes);

// The generic picture of an account without one of its own: root's,
// nobody's, or everybody else's. GUI thread only; accounts that share one
// share the icon (and its cache key).
QIcon standInIcon(const QString& username);

// Runs read on the thread pool, and done with its result on the thread of
// context, unless context is gone by then.
void readInBackground(QObject* context, std::function<QImage()> read,
                      std::function<void(const QImage&)> done);
// Runs read on the thread pool and returns its result; the caller's event
// loop keeps running meanwhile, so the window answers.
QImage readAway(const std::function<QImage()>& read);

} // namespace AccountPicture
