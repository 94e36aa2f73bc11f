#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QVector>

// Reading the window properties that other programs set: every size and
// count in them is checked against the data actually received.
namespace WindowProperties {

// Images are refused above this size in either direction.
constexpr quint32 maximumIconSide = 1024;

// One image of a _NET_WM_ICON value (32-bit values: width, height, then
// width x height ARGB pixels, image after image), as its header gives it.
struct IconImage {
    quint32 width = 0;
    quint32 height = 0;
    // Index of its first pixel value in the property.
    quint64 pixelOffset = 0;
    quint64 pixelCount() const { return quint64(width) * height; }
};

// Walks the image headers of a _NET_WM_ICON value without its pixels: the
// caller reads two values at nextOffset() and hands them over, until the
// walk is finished. It stops at the first entry with a zero or too large
// side, or whose pixels run past the property's end; the images before it
// are kept. At most maximumImages are looked at.
class NetWmIconWalk {
public:
    explicit NetWmIconWalk(int maximumImages) : maximumImages(maximumImages) {}

    bool finished() const { return done; }
    quint64 nextOffset() const { return offset; }
    // values: what was received at nextOffset() (count of them, none when the
    // property is gone or not 32-bit CARDINAL data); propertyValues: the
    // property's whole length in values, as that same answer gives it.
    void take(const quint32* values, qsizetype count, quint64 propertyValues);
    const QVector<IconImage>& images() const { return found; }

private:
    int maximumImages;
    quint64 offset = 0;
    bool done = false;
    QVector<IconImage> found;
};

// The index of the image to show in a row of side x side pixels: the
// smallest at least side each way, else the largest; -1 for none.
int chooseIconImage(const QVector<IconImage>& images, int side);

// The icon from an image's pixels (count values as received), scaled down
// smoothly to fit side x side when it is larger, centred on a transparent
// side x side image; null unless exactly the image's pixels were received.
QImage iconFromPixels(const quint32* values, qsizetype count, const IconImage& image, int side);

// The instance name (the first of the two NUL-terminated strings) of a
// WM_CLASS value.
QString instanceName(const QByteArray& wmClass);

// A text property's value (_NET_WM_NAME, WM_NAME) up to its first NUL, as
// UTF-8 or, for the STRING type, Latin-1; never null. Many programs write
// UTF-8 into STRING properties, so STRING bytes that are valid UTF-8 are
// read as UTF-8. cut: only the start of the value was read, so its last
// letter may be cut short; that part of a letter is left out.
QString textValue(const QByteArray& value, bool utf8, bool cut = false);

// The file name of the program a /proc/<pid>/cmdline started.
QString programName(const QByteArray& cmdline);

} // namespace WindowProperties
