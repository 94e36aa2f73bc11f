#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QSize>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <sys/types.h>

class QObject;

// Account pictures come from files other users control (~/.face above all),
// and the program reads them as root. So they are decoded only as raster
// formats named by their first bytes (PNG, JPEG, GIF, BMP), never as SVG or
// anything else that can reference other files; the size of the image its
// reader would make, the memory its decoding would hold and, for a JPEG,
// the number of its scans are read from the file's own header and checked
// before a reader sees a byte, a reader is handed no metadata, and a decode
// that runs past its time, or is no longer wanted, stops at its next read.
// Pictures are read and decoded away from the GUI thread; only the GUI
// thread makes icons of them.
namespace AccountPicture {

// The largest side of the image a picture's reader makes.
constexpr int maxSide = 4096;
// The most a decoder may hold at once for one picture, whatever its format:
// a 2048x2048 picture of four bytes a pixel.
constexpr qint64 maxDecodingBytes = 16 * 1024 * 1024;
// More scans than ordinary encoders write (a progressive colour JPEG has
// ten, a CMYK one eighteen); each is a pass over the whole image.
constexpr int maxJpegScans = 100;
// The time one picture may take to decode.
constexpr int decodingBudgetMs = 2000;
// Largest ~/.face read, and largest file chosen with Browse.
constexpr qint64 maxFaceBytes = 1024 * 1024;
constexpr qint64 maxChosenFileBytes = 32 * 1024 * 1024;
// Side of the picture in an account tile.
constexpr int tilePictureSide = 126;

// "png", "jpeg", "gif" or "bmp" from the first bytes; empty for anything else.
QByteArray formatOf(const QByteArray& bytes);

// Turns true when a picture being read is no longer wanted. Quitting always
// stops a decode, whatever the check says.
using StopCheck = std::function<bool()>;

enum class Crop { None, CentreSquare };

// What became of a picture's bytes.
enum class Verdict {
    Decoded,
    NotARasterPicture, // not one of the named formats
    TooLarge,          // a side over maxSide
    TooCostly,         // would hold more than the decoding budget
    TooManyScans,      // a JPEG of more scans than the limit
    TooSlow,           // ran past its time
    Stopped,           // stopped by the check, or by quitting
    Unreadable,        // a broken header or broken data
};

struct Limits {
    qint64 decodingBytes = maxDecodingBytes;
    int jpegScans = maxJpegScans;
    int budgetMs = decodingBudgetMs;
};

struct Decoded {
    QImage image; // null unless the verdict is Decoded
    Verdict verdict = Verdict::Unreadable;
};

// Decodes bytes when their format, declared size, decoding cost and scans
// pass, optionally only the centre square, scaled to size (ignoring the
// aspect ratio) when size is valid.
Decoded decodePicture(const QByteArray& bytes, Crop crop, const QSize& size, const StopCheck& stop = {},
                      const Limits& limits = Limits());
// The image of decodePicture, or a null image.
QImage decode(const QByteArray& bytes, Crop crop = Crop::None, const QSize& size = QSize(),
              const StopCheck& stop = {});

// The picture of the file at path as an account tile shows it (the centre
// square at 126x126): read without following links or blocking, only a
// regular file owned by owner or root, of at most maxFaceBytes.
QImage readTilePicture(const QString& path, uid_t owner, const StopCheck& stop = {});

// The bytes of a picture file another user may control: only a regular
// file, not a link, owned by owner or root (by anybody without an owner), of
// at most maxBytes. Empty for anything else (a FIFO, a device, a bigger
// file), without blocking.
QByteArray readFile(const QString& path, std::optional<uid_t> owner, qint64 maxBytes);

// The generic picture of an account without one of its own: root's,
// nobody's, or everybody else's. GUI thread only; accounts that share one
// share the icon (and its cache key).
QIcon standInIcon(const QString& username);

// The image readers write their complaints about a broken picture to
// stderr, and another user's picture may be broken on purpose (or cut short
// when its decode stops). Installed once at start-up, this turns what they
// say while this unit decodes a picture into debug lines of the account code.
void installDecoderMessageFilter();

// A picture being read in the background. Abandoning it stops its decode
// at the next read and drops its result; copies share one read. A default
// one stands for no read.
class BackgroundRead {
public:
    void abandon();
    bool isAbandoned() const;

private:
    friend BackgroundRead readInBackground(QObject*, std::function<QImage(const StopCheck&)>,
                                           std::function<void(const QImage&)>);
    std::shared_ptr<std::atomic<bool>> abandoned;
};

// Runs read on the thread pool, and done with its result on the thread of
// context. read gets a check that turns true once the read is abandoned or
// context is gone; done is not called then.
BackgroundRead readInBackground(QObject* context, std::function<QImage(const StopCheck&)> read,
                                std::function<void(const QImage&)> done);
// The same for a read that watches nothing but quitting.
void readInBackground(QObject* context, std::function<QImage()> read,
                      std::function<void(const QImage&)> done);

} // namespace AccountPicture
