// libFuzzer entry for the window properties other programs write. The input
// is read as a _NET_WM_ICON value (32-bit values after a first byte that
// gives the row's side), walked header by header as the X server hands it
// out, and as the bytes of a STRING title.
#include "windowproperties.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using WindowProperties::IconImage;

void readIcon(const uint8_t* data, size_t size) {
    if (size < 1)
        return;
    const int side = 1 + data[0] % 64;
    std::vector<quint32> values((size - 1) / 4);
    if (!values.empty())
        std::memcpy(values.data(), data + 1, values.size() * 4);
    const quint64 total = values.size();

    WindowProperties::NetWmIconWalk walk(16);
    int steps = 0;
    while (!walk.finished()) {
        const quint64 at = walk.nextOffset();
        const qsizetype count = at < total ? qsizetype(qMin<quint64>(2, total - at)) : 0;
        walk.take(count ? values.data() + at : nullptr, count, total);
        if (++steps > 17)
            abort();
    }
    quint64 end = 0;
    for (const IconImage& image : walk.images()) {
        // Each image whole within the property, after the one before it.
        if (image.width < 1 || image.width > 1024 || image.height < 1 || image.height > 1024 ||
            image.pixelOffset < end + 2 || image.pixelOffset + image.pixelCount() > total)
            abort();
        end = image.pixelOffset + image.pixelCount();
    }
    const int chosen = WindowProperties::chooseIconImage(walk.images(), side);
    if ((chosen < 0) != walk.images().isEmpty() || chosen >= walk.images().size())
        abort();
    if (chosen < 0)
        return;
    const IconImage image = walk.images().at(chosen);
    const quint32* pixels = values.data() + image.pixelOffset;
    const QImage icon = WindowProperties::iconFromPixels(pixels, qsizetype(image.pixelCount()), image, side);
    if (icon.isNull() || icon.width() > qMax(side, 1) || icon.height() > qMax(side, 1))
        abort();
    if (!WindowProperties::iconFromPixels(pixels, qsizetype(image.pixelCount()) - 1, image, side).isNull())
        abort();
}

void readTitle(const QByteArray& bytes) {
    for (bool cut : {false, true}) {
        if (WindowProperties::textValue(bytes, false, cut).isNull() ||
            WindowProperties::textValue(bytes, true, cut).isNull())
            abort();
    }
    // A UTF-8 title cut anywhere reads as the whole letters before the cut.
    const QString whole = WindowProperties::textValue(bytes, true);
    if (!bytes.contains('\0') && whole.toUtf8() == bytes) {
        for (int end = qMax(0, int(bytes.size()) - 4); end <= bytes.size(); ++end) {
            if (!whole.startsWith(WindowProperties::textValue(bytes.left(end), false, true)))
                abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    readIcon(data, size);
    readTitle(QByteArray(reinterpret_cast<const char*>(data), int(size)));
    return 0;
}
