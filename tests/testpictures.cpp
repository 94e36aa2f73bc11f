#include "testpictures.h"

#include <QBuffer>
#include <QImage>

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

} // namespace TestPictures
