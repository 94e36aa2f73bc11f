#include "testpictures.h"

#include <QBuffer>
#include <QImage>
#include <QRect>

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <vector>

namespace TestPictures {

QByteArray jpeg(const QSize& size, int components, bool progressive) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&info, &out, &outSize);
    info.image_width = JDIMENSION(size.width());
    info.image_height = JDIMENSION(size.height());
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(size_t(size.width() * components));
    for (size_t i = 0; i < row.size(); ++i)
        row[i] = static_cast<unsigned char>(40 + 60 * (i % size_t(components)));
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    const QByteArray bytes(reinterpret_cast<const char*>(out), int(outSize));
    jpeg_destroy_compress(&info);
    std::free(out);
    return bytes;
}

QByteArray withRepeatedScan(const QByteArray& jpeg, int times) {
    // The last start-of-scan marker; its coded data runs to the end marker.
    const int lastScan = jpeg.lastIndexOf("\xff\xda");
    const int end = jpeg.lastIndexOf("\xff\xd9");
    if (lastScan < 0 || end < lastScan)
        return QByteArray();
    const QByteArray scan = jpeg.mid(lastScan, end - lastScan);
    QByteArray repeated = jpeg.left(end);
    repeated.reserve(jpeg.size() + scan.size() * times);
    for (int i = 0; i < times; ++i)
        repeated += scan;
    return repeated + "\xff\xd9";
}

namespace {
QByteArray pngOf(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}
} // namespace

QByteArray deepPng(const QSize& size) {
    QImage image(size, QImage::Format_RGBA64);
    image.fill(QColor(200, 30, 90));
    return pngOf(image);
}

QByteArray png(const QSize& size) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(QColor(200, 30, 90));
    return pngOf(image);
}

namespace {
QByteArray littleEndian(quint32 value, int bytes) {
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out += char((value >> (8 * i)) & 0xFF);
    return out;
}

QByteArray bigEndian32(quint32 value) {
    QByteArray out;
    for (int i = 3; i >= 0; --i)
        out += char((value >> (8 * i)) & 0xFF);
    return out;
}

quint32 crc32(const QByteArray& bytes) {
    quint32 crc = 0xFFFFFFFF;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

// A zlib stream: Qt's compressed form less the length it puts first.
QByteArray zlib(const QByteArray& bytes) {
    return qCompress(bytes, 9).mid(4);
}
} // namespace

QByteArray gif(const QSize& screen, const QRect& frame, bool transparent, int disposal) {
    QByteArray bytes = "GIF89a";
    bytes += littleEndian(quint32(screen.width()), 2) + littleEndian(quint32(screen.height()), 2);
    bytes += QByteArray("\x80\x00\x00", 3); // two global colours
    bytes += QByteArray("\x00\x00\x00\xff\xff\xff", 6);
    if (transparent || disposal != 0)
        bytes += QByteArray("\x21\xf9\x04", 3) + char(disposal << 2 | (transparent ? 1 : 0)) +
                 QByteArray("\x00\x00\x00\x00", 4);
    bytes += ',' + littleEndian(quint32(frame.x()), 2) + littleEndian(quint32(frame.y()), 2) +
             littleEndian(quint32(frame.width()), 2) + littleEndian(quint32(frame.height()), 2) + '\0';
    // Codes of two bits and more: clear, colour 0, end.
    bytes += QByteArray("\x02\x02\x44\x01\x00", 5);
    return bytes + ';';
}

QByteArray pngChunk(const char* type, const QByteArray& data) {
    const QByteArray typed = QByteArray(type) + data;
    return bigEndian32(quint32(data.size())) + typed + bigEndian32(crc32(typed));
}

QByteArray flatPng(const QSize& size, int colourType, int bitDepth, bool interlaced,
                   const QByteArray& chunks) {
    const int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    QByteArray header = bigEndian32(quint32(size.width())) + bigEndian32(quint32(size.height()));
    header += char(bitDepth);
    header += char(colourType);
    header += QByteArray(2, '\0');
    header += char(interlaced ? 1 : 0);
    // Rows of one filter byte and the same value throughout (palette index 0).
    QByteArray rows;
    const auto pass = [&](int width, int height) {
        if (width <= 0 || height <= 0)
            return;
        const QByteArray row =
            '\0' + QByteArray((width * channels * bitDepth + 7) / 8, colourType == 3 ? '\0' : '\x90');
        for (int y = 0; y < height; ++y)
            rows += row;
    };
    if (interlaced) {
        // The seven passes, each a smaller picture of every so many pixels.
        const int startX[] = {0, 4, 0, 2, 0, 1, 0}, stepX[] = {8, 8, 4, 4, 2, 2, 1};
        const int startY[] = {0, 0, 4, 0, 2, 0, 1}, stepY[] = {8, 8, 8, 4, 4, 2, 2};
        for (int i = 0; i < 7; ++i)
            pass((size.width() - startX[i] + stepX[i] - 1) / stepX[i],
                 (size.height() - startY[i] + stepY[i] - 1) / stepY[i]);
    } else {
        pass(size.width(), size.height());
    }
    QByteArray bytes = "\x89PNG\r\n\x1a\n" + pngChunk("IHDR", header);
    if (colourType == 3)
        bytes += pngChunk("PLTE", QByteArray("\xc8\x1e\x5a", 3));
    return bytes + chunks + pngChunk("IDAT", zlib(rows)) + pngChunk("IEND", QByteArray());
}

QByteArray compressedTexts(int count, int bytesEach) {
    const QByteArray chunk =
        pngChunk("zTXt", QByteArray("Comment\0\0", 9) + zlib(QByteArray(bytesEach, 'a')));
    return chunk.repeated(count);
}

QByteArray bmp(const QSize& size, int bitCount, bool topDown) {
    const bool alpha = bitCount == 32;
    const int headerSize = alpha ? 124 : 40;
    const int colours = bitCount == 8 ? 2 : 0;
    const int rowBytes = (size.width() * bitCount + 31) / 32 * 4;
    const int offset = 14 + headerSize + 4 * colours;
    QByteArray bytes = "BM" + littleEndian(quint32(offset + rowBytes * size.height()), 4) +
                       littleEndian(0, 4) + littleEndian(quint32(offset), 4);
    bytes += littleEndian(quint32(headerSize), 4) + littleEndian(quint32(size.width()), 4) +
             littleEndian(quint32(topDown ? -size.height() : size.height()), 4);
    bytes += littleEndian(1, 2) + littleEndian(quint32(bitCount), 2);
    bytes += littleEndian(alpha ? 3 : 0, 4) + littleEndian(quint32(rowBytes * size.height()), 4);
    bytes += littleEndian(2835, 4) + littleEndian(2835, 4) + littleEndian(quint32(colours), 4) +
             littleEndian(0, 4);
    if (alpha) {
        // Red, green, blue and alpha masks, then colour space fields left empty.
        bytes += littleEndian(0x00FF0000, 4) + littleEndian(0x0000FF00, 4) + littleEndian(0x000000FF, 4) +
                 littleEndian(0xFF000000, 4);
        bytes += QByteArray(headerSize - 56, '\0');
    }
    if (colours)
        bytes += QByteArray("\x5a\x1e\xc8\x00\x00\x00\x00\x00", 8);
    return bytes + QByteArray(rowBytes * size.height(), colours ? '\0' : '\x80');
}

QByteArray withComments(const QByteArray& jpeg, int bytes) {
    QByteArray comments;
    for (int left = bytes; left > 0; left -= 65533) {
        const int length = qMin(left, 65533);
        comments += QByteArray("\xff\xfe", 2) + char((length + 2) >> 8) + char((length + 2) & 0xFF) +
                    QByteArray(length, 'c');
    }
    return jpeg.left(2) + comments + jpeg.mid(2);
}

} // namespace TestPictures
