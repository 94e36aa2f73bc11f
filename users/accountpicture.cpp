#include "accountpicture.h"

#include "commandrunner.h"
#include "picturecost.h"
#include "safefile.h"
#include "userslog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImageReader>
#include <QPointer>
#include <QThreadPool>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace {

using AccountPicture::StopCheck;
using AccountPicture::Verdict;

// Set while this thread runs an image reader over a picture.
thread_local bool decodingHere = false;
QtMessageHandler previousHandler = nullptr;

void filterDecoderMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const bool fromReader = !context.category || std::strcmp(context.category, "default") == 0;
    if (decodingHere && fromReader && type != QtFatalMsg) {
        qCDebug(lcUsers).noquote() << "Picture decoder:" << message;
        return;
    }
    previousHandler(type, context, message);
}

struct Decoding {
    Decoding() { decodingHere = true; }
    ~Decoding() { decodingHere = false; }
    Decoding(const Decoding&) = delete;
    Decoding& operator=(const Decoding&) = delete;
};

bool startsWith(const QByteArray& bytes, const char* magic, int length) {
    return bytes.size() >= length && std::equal(magic, magic + length, bytes.constData());
}

// Hands a decoder the shown parts of a picture's bytes a little at a time,
// and runs dry once the decode is to end: the decoders read as they go, so
// a decode that runs past its time, or is no longer wanted, stops at its
// next read. (Not a QBuffer: Qt's JPEG reader takes a QBuffer's bytes
// whole, without reading.)
class MeteredBytes : public QIODevice {
public:
    // piece: the most one read hands over, or 0 for as much as is asked for.
    MeteredBytes(const QByteArray& bytes, const QVector<PictureCost::Span>& shown, const StopCheck& stop,
                 int budgetMs, qint64 piece)
        : bytes(bytes), shown(shown), stop(stop), budgetMs(budgetMs), piece(piece) {
        // Where each shown part starts in what the decoder reads.
        qint64 total = 0;
        for (const PictureCost::Span& span : shown) {
            starts.append(total);
            total += span.length;
        }
        length = total;
        clock.start();
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

    bool isSequential() const override { return false; }
    qint64 size() const override { return length; }
    // Why the bytes ran dry: Decoded while they did not.
    Verdict cut() const { return ending; }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        if (ending == Verdict::Decoded) {
            if (CommandRunner::isAborted() || (stop && stop()))
                ending = Verdict::Stopped;
            else if (clock.elapsed() > budgetMs)
                ending = Verdict::TooSlow;
        }
        if (ending != Verdict::Decoded)
            return -1;
        const qint64 asked = piece > 0 ? qMin(maxSize, piece) : maxSize;
        const qint64 count = qMin(asked, length - pos());
        if (count <= 0)
            return 0;
        // The part holding the position, then those after it.
        int part = int(std::upper_bound(starts.cbegin(), starts.cend(), pos()) - starts.cbegin()) - 1;
        qint64 copied = 0;
        while (copied < count) {
            const qint64 into = pos() + copied - starts.at(part);
            const qint64 run = qMin(count - copied, qint64(shown.at(part).length) - into);
            std::memcpy(data + copied, bytes.constData() + shown.at(part).from + into, size_t(run));
            copied += run;
            ++part;
        }
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    const QByteArray& bytes;
    const QVector<PictureCost::Span>& shown;
    QVector<qint64> starts;
    qint64 length = 0;
    const StopCheck& stop;
    const int budgetMs;
    const qint64 piece;
    QElapsedTimer clock;
    Verdict ending = Verdict::Decoded;
};

// The size to decode to for a centre square of target's side: the whole
// picture scaled so that its shorter side fits, cut afterwards from the
// small image rather than from the full one.
QSize coveringSize(const QSize& declared, const QSize& target) {
    const int shorter = qMin(declared.width(), declared.height());
    return QSize(qMax(target.width(), int(qint64(declared.width()) * target.width() / shorter)),
                 qMax(target.height(), int(qint64(declared.height()) * target.height() / shorter)));
}

QImage centreSquare(const QImage& image) {
    if (image.width() == image.height())
        return image;
    const int side = qMin(image.width(), image.height());
    return image.copy((image.width() - side) / 2, (image.height() - side) / 2, side, side);
}

// Whether decoding picture for target would pass the limits, from its
// header alone.
Verdict checkCost(const PictureCost::Picture& picture, const QSize& target,
                  const AccountPicture::Limits& limits) {
    if (picture.scans > limits.jpegScans)
        return Verdict::TooManyScans;
    const qint64 cost = PictureCost::decodingBytes(picture, target);
    if (cost < 0)
        return Verdict::Unreadable;
    // The copy scaled to target comes on top; small but for a picture of a
    // very odd shape, whose centre square needs its long side scaled up too.
    const qint64 scaled = target.isValid() ? qint64(target.width()) * target.height() * 4 : 0;
    return qMax(cost, scaled) > limits.decodingBytes ? Verdict::TooCostly : Verdict::Decoded;
}

} // namespace

namespace AccountPicture {

QByteArray formatOf(const QByteArray& bytes) {
    if (startsWith(bytes, "\x89PNG\r\n\x1a\n", 8))
        return QByteArrayLiteral("png");
    if (startsWith(bytes, "\xff\xd8\xff", 3))
        return QByteArrayLiteral("jpeg");
    if (startsWith(bytes, "GIF87a", 6) || startsWith(bytes, "GIF89a", 6))
        return QByteArrayLiteral("gif");
    if (startsWith(bytes, "BM", 2))
        return QByteArrayLiteral("bmp");
    return QByteArray();
}

Decoded decodePicture(const QByteArray& bytes, Crop crop, const QSize& size, const StopCheck& stop,
                      const Limits& limits) {
    const QByteArray format = formatOf(bytes);
    if (format.isEmpty())
        return {QImage(), Verdict::NotARasterPicture};
    // The picture's own header, read before any reader sees a byte: the
    // image its reader makes can be larger than the size Qt reports (a
    // GIF's screen), and the reader keeps what it reads of the header.
    const std::optional<PictureCost::Picture> picture = PictureCost::readPicture(bytes, format);
    if (!picture)
        return {QImage(), Verdict::Unreadable};
    const QSize made = picture->size;
    if (made.width() > maxSide || made.height() > maxSide)
        return {QImage(), Verdict::TooLarge};
    const bool sized = size.isValid() && !size.isEmpty();
    const QSize target = sized && crop == Crop::CentreSquare && made.width() != made.height()
                             ? coveringSize(made, size)
                             : size;
    const Verdict cost = checkCost(*picture, target, limits);
    if (cost != Verdict::Decoded) {
        qCDebug(lcUsers) << "Picture refused before decoding:" << int(cost) << made << format;
        return {QImage(), cost};
    }
    // Qt's JPEG reader takes what a read gives, and a JPEG's scans can be a
    // few bytes each: small pieces, so that few scans pass between two looks
    // at the clock. The other readers expect every read filled.
    MeteredBytes device(bytes, picture->shown, stop, limits.budgetMs, format == "jpeg" ? 256 : 0);
    const Decoding decoding;
    QImageReader reader(&device, format);
    reader.setAutoDetectImageFormat(false);
    reader.setDecideFormatFromContent(false);
    // Qt's reader must see the header read above (a GIF's it sizes by a
    // guess of its own; a BMP stored top down it reports upside down).
    const QSize declared = reader.size();
    if (device.cut() != Verdict::Decoded)
        return {QImage(), device.cut()};
    if (format != "gif" && (declared.width() != made.width() || qAbs(declared.height()) != made.height())) {
        qCDebug(lcUsers) << "Picture header read two ways:" << declared << made << format;
        return {QImage(), Verdict::Unreadable};
    }
    if (sized)
        reader.setScaledSize(target);
    QImage image = reader.read();
    if (device.cut() != Verdict::Decoded) {
        qCDebug(lcUsers) << "Picture decoding stopped:" << int(device.cut()) << made << format;
        return {QImage(), device.cut()};
    }
    if (image.isNull())
        return {QImage(), Verdict::Unreadable};
    if (crop == Crop::CentreSquare)
        image = centreSquare(image);
    // The reader scales quickly; a smooth pass where it left the size alone.
    if (sized && image.size() != size)
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return {image, Verdict::Decoded};
}

void installDecoderMessageFilter() {
    static std::once_flag once;
    std::call_once(once, [] { previousHandler = qInstallMessageHandler(filterDecoderMessages); });
}

QImage decode(const QByteArray& bytes, Crop crop, const QSize& size, const StopCheck& stop) {
    return decodePicture(bytes, crop, size, stop).image;
}

QImage readTilePicture(const QString& path, uid_t owner, const StopCheck& stop) {
    const QByteArray bytes = readFile(path, owner, maxFaceBytes);
    return bytes.isEmpty() ? QImage()
                           : decode(bytes, Crop::CentreSquare, QSize(tilePictureSide, tilePictureSide), stop);
}

QByteArray readFile(const QString& path, std::optional<uid_t> owner, qint64 maxBytes) {
    SafeFile::ReadRules rules;
    rules.maxBytes = maxBytes;
    rules.owner = owner;
    const SafeFile::Read read = SafeFile::read(path, rules);
    // A bigger file is refused whole, never decoded from its start.
    return read.ok() && !read.truncated ? read.data : QByteArray();
}

QIcon standInIcon(const QString& username) {
    static const QIcon rootIcon(QStringLiteral(":/icons/user-root"));
    static const QIcon otherIcon(QStringLiteral(":/icons/user-other"));
    static const QIcon systemIcon(QStringLiteral(":/icons/user-system"));
    if (username == QLatin1String("root"))
        return rootIcon;
    if (username == QLatin1String("nobody"))
        return otherIcon;
    return systemIcon;
}

void BackgroundRead::abandon() {
    if (abandoned)
        *abandoned = true;
}

bool BackgroundRead::isAbandoned() const {
    return abandoned && *abandoned;
}

BackgroundRead readInBackground(QObject* context, std::function<QImage(const StopCheck&)> read,
                                std::function<void(const QImage&)> done) {
    BackgroundRead handle;
    handle.abandoned = std::make_shared<std::atomic<bool>>(false);
    const std::shared_ptr<std::atomic<bool>> abandoned = handle.abandoned;
    // The decode learns of context's end through the flag; context itself
    // is only looked at on its own thread.
    const auto watch = std::make_shared<QMetaObject::Connection>(
        QObject::connect(context, &QObject::destroyed, [abandoned] { *abandoned = true; }));
    QPointer<QObject> guard(context);
    QThreadPool::globalInstance()->start(
        [guard, abandoned, watch, read = std::move(read), done = std::move(done)]() {
            const QImage image = read([abandoned] { return abandoned->load(); });
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [guard, abandoned, watch, done, image] {
                    QObject::disconnect(*watch);
                    if (guard && !*abandoned)
                        done(image);
                },
                Qt::QueuedConnection);
        });
    return handle;
}

void readInBackground(QObject* context, std::function<QImage()> read,
                      std::function<void(const QImage&)> done) {
    readInBackground(
        context, [read = std::move(read)](const StopCheck&) { return read(); }, std::move(done));
}

} // namespace AccountPicture
