// libFuzzer entry for the readers of the wireless tools' output: every input
// is read as each tool's output. For a scan, the connected access point must
// be the first whose own "BSS" header line carries the association mark.
#include "wirelessparsing.h"

#include <cstdint>
#include <cstdlib>

namespace {

// The first header line "BSS <address>(on <interface>) -- associated",
// found line by line in another way than the parser does.
QString firstMarkedHeader(const QString& text, const QString& address) {
    static const QString hex = QStringLiteral("0123456789abcdefABCDEF");
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (!line.startsWith(QLatin1String("BSS ")) || line.mid(21, 4) != QLatin1String("(on ") ||
            !line.endsWith(QLatin1String(") -- associated")))
            continue;
        const QString bssid = line.mid(4, 17);
        bool wellFormed = true;
        for (int i = 0; i < 17; ++i)
            wellFormed = wellFormed && (i % 3 == 2 ? bssid[i] == QLatin1Char(':') : hex.contains(bssid[i]));
        if (wellFormed && (address.isEmpty() || bssid.toUpper() == address))
            return bssid.toUpper();
    }
    return QString();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));

    for (const QString& linked : {QString(), QStringLiteral("70:B3:D5:F2:F0:11")}) {
        const wireless::RouterScan scan = wireless::parseScan(text, linked);
        const QString expected = firstMarkedHeader(text, linked);
        if (scan.associated != !expected.isEmpty() || scan.bssid != expected)
            abort();
        if (!scan.associated && (!scan.channels.isEmpty() || scan.uptime != QLatin1String("N/A")))
            abort();
    }

    wireless::parseProcNetWireless(text, QStringLiteral("wlp2s0"));
    wireless::firstWirelessInterface(text);
    wireless::extractValue(text, QStringLiteral("GENERAL.STATE"));
    wireless::linkStatusFromIw(text);
    wireless::linkFrequencyText(text);
    const QString bssid = wireless::bssidFromLink(text);
    if (bssid != QLatin1String("N/A") && bssid.size() != 17)
        abort();
    wireless::defaultGateway(text, QStringLiteral("wlp2s0"));
    wireless::VendorTable table;
    table.load(text);
    table.lookup(QStringLiteral("70:B3:D5:F2:F0:11"), true);
    return 0;
}
