#pragma once

#include <QByteArray>
#include <QSize>
#include <QVector>
#include <optional>
#include <variant>

// What decoding a picture would take, read from its header before any pixel
// is decoded, the way Qt's readers allocate. A small file can ask for a lot:
// a 16-bit PNG holds eight bytes a pixel and, to be scaled smoothly, a copy
// of as many; a GIF's reader makes its whole logical screen whatever size
// its frames report; a progressive JPEG keeps every coefficient of the whole
// image (two bytes a sample, full size) however small the picture it is
// decoded to, and can repeat scans, each one a pass over the whole image.
// Metadata is never handed to a reader at all: a PNG's compressed text
// grows a thousandfold, and the readers keep every piece of it.
// Pure functions of the file's bytes, each one walk over them.
namespace PictureCost {

// A run of a file's bytes.
struct Span {
    qsizetype from = 0;
    qsizetype length = 0;
};

// The frame and scans of a JPEG file, from its markers.
struct JpegLayout {
    QSize size;
    bool progressive = false;
    // Sampling factors of each component (one for grey, three for colour, four for CMYK).
    struct Component {
        int horizontal = 1;
        int vertical = 1;
    };
    QVector<Component> components;
    // Start-of-scan markers in the whole file; ordinary encoders write at
    // most a few dozen.
    int scans = 0;
    // The file less its comments and the application segments the reader
    // would keep (Exif, colour profile).
    QVector<Span> shown;
};

// The header of a PNG file, and the chunks that make its pixels.
struct PngLayout {
    QSize size;
    int bitDepth = 8;
    int colourType = 0;
    bool interlaced = false;
    bool transparency = false; // a tRNS chunk
    // The signature and the chunks the pixels need; text, profiles,
    // suggested palettes and unknown chunks are left out.
    QVector<Span> shown;
};

// What Qt's GIF reader makes: the logical screen as its decoder sizes it
// (the first frame's extent where the screen declares none), four bytes a
// pixel, with an alpha channel when the first frame is transparent; and the
// buffer of the frames that restore what was under them.
struct GifLayout {
    QSize canvas;
    bool transparent = false;
    QSize restoreBuffer{0, 0};
};

// A BMP file's header: width, height (top-down pictures too) and depth.
struct BmpLayout {
    QSize size;
    int bitCount = 24;
    bool alpha = false; // 16 or 32 bits with an alpha mask
};

// What a picture's header tells: the size of the image its reader makes
// before any scaling, and the parts of the file the reader is given.
struct Picture {
    QSize size;
    int scans = 0; // a JPEG's; 0 for the other formats
    QVector<Span> shown;
    std::variant<JpegLayout, PngLayout, GifLayout, BmpLayout> layout;
};

// Walks the markers of a JPEG file (skipping the coded data of each scan);
// nothing when it has no frame header, a broken one or one of no pixels.
std::optional<JpegLayout> jpegLayout(const QByteArray& bytes);

// The bytes a decoder holds at once for a JPEG of layout decoded for a
// picture of target: the image reduced by n/8 towards target (and its copy
// in colour for a grey one), plus, for a file of more than one scan, the
// coefficients of every block.
qint64 jpegDecodingBytes(const JpegLayout& layout, const QSize& target);

// The header of a picture of format ("png", "jpeg", "gif" or "bmp");
// nothing when it is broken, of no pixels, or one its reader refuses.
std::optional<Picture> readPicture(const QByteArray& bytes, const QByteArray& format);

// The most the reader of picture holds at once decoding it for a picture of
// target (at its own size when target is empty): the image it makes, the
// copy smooth scaling converts it to first, and whatever buffer its format
// keeps beside. The scaled picture itself is not counted.
qint64 decodingBytes(const Picture& picture, const QSize& target);

} // namespace PictureCost
