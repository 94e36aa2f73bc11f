#include "wirelessparsing.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QVector>

#include <algorithm>

namespace wireless {
namespace {

QString normaliseHex(QString text) {
    text.remove(QLatin1Char(':'));
    text.remove(QLatin1Char('-'));
    return text.toUpper();
}

QString normaliseNetworkName(QString ssid) {
    ssid.remove(QLatin1String("-5G"));
    ssid.remove(QLatin1String("-2.4G"));
    return ssid.trimmed();
}

QString sortedJoin(const QSet<QString>& values) {
    QStringList list(values.begin(), values.end());
    std::sort(list.begin(), list.end());
    return list.join(QLatin1String(", "));
}

} // namespace

LinkFigures parseProcNetWireless(const QString& text, const QString& interfaceName) {
    LinkFigures figures;
    const QStringList lines = text.split(QLatin1Char('\n'));
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    for (int i = 2; i < lines.size(); ++i) {
        const QStringList fields = lines.at(i).trimmed().split(blanks, Qt::SkipEmptyParts);
        if (fields.size() < 5)
            continue;
        QString name = fields.at(0);
        name.remove(QLatin1Char(':'));
        if (name != interfaceName)
            continue;
        figures.link = fields.at(2).toDouble();
        figures.level = fields.at(3).toDouble();
        figures.noise = fields.at(4).toDouble();
        if (figures.noise == -256)
            figures.noise = 0;
        break;
    }
    return figures;
}

QString firstWirelessInterface(const QString& iwDevOutput) {
    const QStringList lines = iwDevOutput.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QStringList words = line.trimmed().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.size() == 2 && words.at(0) == QLatin1String("Interface"))
            return words.at(1);
    }
    return QString();
}

QString extractValue(const QString& output, const QString& key) {
    const QStringList lines = output.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (!line.trimmed().startsWith(key))
            continue;
        const QStringList parts = line.split(QLatin1Char(':'));
        if (parts.size() >= 2)
            return parts.mid(1).join(QLatin1Char(':')).trimmed();
    }
    return QString();
}

QString connectionStateToString(const QString& state) {
    if (state.contains(QLatin1String("100")))
        return QStringLiteral("Connected");
    if (state.contains(QLatin1String("20")))
        return QStringLiteral("Disconnected");
    if (state.contains(QLatin1String("50")))
        return QStringLiteral("Connecting");
    if (state.contains(QLatin1String("30")))
        return QStringLiteral("Authentication Required");
    return QStringLiteral("Unknown Status");
}

QString linkStatusFromIw(const QString& iwLinkOutput) {
    if (iwLinkOutput.contains(QLatin1String("Connected to")))
        return QStringLiteral("Connected");
    if (iwLinkOutput.contains(QLatin1String("Not connected")))
        return QStringLiteral("Disconnected");
    return QStringLiteral("Unknown Status");
}

QString linkFrequencyText(const QString& iwLinkOutput) {
    const QStringList lines = iwLinkOutput.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        // The field's own line: a network may be named "freq: 1".
        if (!line.trimmed().startsWith(QLatin1String("freq:")))
            continue;
        const QString text = line.mid(line.lastIndexOf(QLatin1Char(':')) + 1).trimmed();
        bool isInteger = false;
        const int megahertz = text.toInt(&isInteger);
        if (isInteger && megahertz >= 2400 && megahertz <= 2500)
            return QStringLiteral("2.4G (%1 MHz)").arg(text);
        if (isInteger && megahertz >= 4900 && megahertz <= 5900)
            return QStringLiteral("5G (%1 MHz)").arg(text);
        return text + QStringLiteral(" MHz");
    }
    return QStringLiteral("N/A");
}

QString bssidFromLink(const QString& iwLinkOutput) {
    static const QRegularExpression connected(QStringLiteral("Connected to ([0-9A-Fa-f:]{17})"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = connected.match(iwLinkOutput);
    if (!match.hasMatch())
        return QStringLiteral("N/A");
    const QString bssid = match.captured(1).trimmed().toUpper();
    if (bssid.split(QLatin1Char(':')).size() != 6)
        return QStringLiteral("N/A");
    return bssid;
}

QString encryptionFromKeyManagement(const QString& keyManagement) {
    static const QHash<QString, QString> names = {
        {QStringLiteral("none"), QStringLiteral("WEP")},
        {QStringLiteral("ieee8021x"), QStringLiteral("WEP (802.1X)")},
        {QStringLiteral("wpa-psk"), QStringLiteral("WPA2")},
        {QStringLiteral("sae"), QStringLiteral("WPA3")},
        {QStringLiteral("wpa-eap"), QStringLiteral("WPA2 Enterprise")},
        {QStringLiteral("wpa-eap-suite-b-192"), QStringLiteral("WPA3 Enterprise")},
        {QStringLiteral("owe"), QStringLiteral("OWE")},
    };
    const QString value = keyManagement.trimmed().toLower();
    if (value.isEmpty() || value == QLatin1String("--"))
        return QStringLiteral("None");
    return names.value(value, QStringLiteral("N/A"));
}

QString defaultGateway(const QString& ipRouteOutput, const QString& interfaceName) {
    const QStringList lines = ipRouteOutput.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.value(0) != QLatin1String("default"))
            continue;
        const int dev = words.indexOf(QStringLiteral("dev"));
        const int via = words.indexOf(QStringLiteral("via"));
        if (dev < 0 || words.value(dev + 1) != interfaceName || via < 0 || via + 1 >= words.size())
            continue;
        return words.at(via + 1);
    }
    return QStringLiteral("N/A");
}

QString scanBandText(int megahertz) {
    if (megahertz >= 2400 && megahertz <= 2500)
        return QStringLiteral("2.4G");
    // The 6 GHz band begins above 5925 MHz (its first channel is 5955).
    if (megahertz >= 5000 && megahertz <= 5925)
        return QStringLiteral("5G");
    if (megahertz > 5925 && megahertz <= 7125)
        return QStringLiteral("6G");
    return QString::number(megahertz / 1000.0, 'f', 1) + QLatin1Char('G');
}

namespace {

// One access point of a scan: from its "BSS" header line to the next one.
struct ScanBlock {
    QStringRef text;
    // The address of the header line, upper-cased; empty when the header is
    // not "BSS <address>(on <interface>)".
    QString bssid;
    // The header line ends in the kernel's association mark.
    bool associated = false;
    // The first line of each field, without its key; null when absent.
    QStringRef ssid, tsf, frequency, channel, rates;
    // The capability elements the access point announces, from their own
    // header lines ("\tHT capabilities:", in whatever case).
    bool ht = false, vht = false, he = false;
};

bool isHexDigit(QChar c) {
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

// "aa:bb:cc:dd:ee:ff" upper-cased, or an empty string.
QString hardwareAddress(const QStringRef& text) {
    if (text.size() != 17)
        return QString();
    for (int i = 0; i < 17; ++i) {
        if (i % 3 == 2 ? text.at(i) != QLatin1Char(':') : !isHexDigit(text.at(i)))
            return QString();
    }
    return text.toString().toUpper();
}

void readHeader(const QStringRef& line, ScanBlock* block) {
    // "BSS 70:b3:d5:f2:f0:11(on wlp2s0) -- associated"
    if (!line.mid(4 + 17).startsWith(QLatin1String("(on ")))
        return;
    block->bssid = hardwareAddress(line.mid(4, 17));
    block->associated = !block->bssid.isEmpty() && line.endsWith(QLatin1String(") -- associated"));
}

// The field lines iw prints one tab in; deeper lines belong to elements.
void readField(const QStringRef& line, ScanBlock* block) {
    const auto take = [&line](const char* key, QStringRef* field) {
        const QLatin1String prefix(key);
        if (field->isNull() && line.startsWith(prefix))
            *field = line.mid(prefix.size());
    };
    take("\tSSID: ", &block->ssid);
    take("\tTSF: ", &block->tsf);
    take("\tfreq: ", &block->frequency);
    take("\tDS Parameter set: channel ", &block->channel);
    take("\tSupported rates:", &block->rates);
    const auto announces = [&line](const char* element) {
        return line.startsWith(QLatin1String(element), Qt::CaseInsensitive);
    };
    // iw names the elements "HT capabilities" and so on; VHT implies HT.
    block->he = block->he || announces("\tHE capabilities");
    block->vht = block->vht || announces("\tVHT capabilities");
    block->ht = block->ht || block->vht || announces("\tHT capabilities");
}

QVector<ScanBlock> scanBlocks(const QString& output) {
    QVector<ScanBlock> blocks;
    int blockStart = -1;
    for (int start = 0; start < output.size();) {
        int end = output.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = output.size();
        const QStringRef line = output.midRef(start, end - start);
        if (line.startsWith(QLatin1String("BSS "))) {
            if (!blocks.isEmpty())
                blocks.last().text = output.midRef(blockStart, start - blockStart);
            blocks.append(ScanBlock());
            blockStart = start;
            readHeader(line, &blocks.last());
        } else if (!blocks.isEmpty()) {
            readField(line, &blocks.last());
        }
        start = end + 1;
    }
    if (!blocks.isEmpty())
        blocks.last().text = output.midRef(blockStart);
    return blocks;
}

// The network name a block announces; empty when it announces none.
QString networkName(const ScanBlock& block) {
    return block.ssid.isNull() ? QString() : block.ssid.trimmed().toString();
}

} // namespace

RouterScan parseScan(const QString& scanOutput, const QString& connectedBssid) {
    static const QRegularExpression tsf(QStringLiteral("^\\d+ usec \\(([^\\)]+)\\)"));
    static const QRegularExpression number(QStringLiteral("^(\\d+)"));

    RouterScan scan;
    const QVector<ScanBlock> blocks = scanBlocks(scanOutput);
    // Only a header line carries the mark: a network named "x -- associated"
    // is not the connected one. When the link names its access point, the
    // marked block must be that one: a neighbour's WPS strings, which iw
    // prints as they are, can print a header line of their own.
    const QString linked = hardwareAddress(QStringRef(&connectedBssid));
    const ScanBlock* associated = nullptr;
    for (const ScanBlock& block : blocks) {
        if (block.associated && (linked.isEmpty() || block.bssid == linked)) {
            associated = &block;
            break;
        }
    }
    if (!associated)
        return scan;
    scan.associated = true;
    scan.bssid = associated->bssid;
    const QString network = normaliseNetworkName(networkName(*associated));

    const QRegularExpressionMatch uptime = tsf.match(associated->tsf);
    if (uptime.hasMatch())
        scan.uptime = uptime.captured(1).trimmed().remove(QLatin1Char(',')).toUpper();

    QSet<QString> channels, bands, protocols, encryption, authentication;
    for (const ScanBlock& entry : blocks) {
        const QString name = networkName(entry);
        if (name.isEmpty() || normaliseNetworkName(name) != network)
            continue;
        const QStringRef block = entry.text;
        const QRegularExpressionMatch channelMatch = number.match(entry.channel);
        if (channelMatch.hasMatch())
            channels.insert(channelMatch.captured(1));
        const QRegularExpressionMatch frequencyMatch = number.match(entry.frequency);
        if (frequencyMatch.hasMatch())
            bands.insert(scanBandText(frequencyMatch.captured(1).toInt()));
        if (entry.he)
            protocols.insert(QStringLiteral("802.11ax"));
        if (entry.vht)
            protocols.insert(QStringLiteral("802.11ac"));
        if (entry.ht)
            protocols.insert(QStringLiteral("802.11n"));
        if (!entry.rates.isNull()) {
            const QStringRef supported = entry.rates.trimmed();
            if (supported.contains(QLatin1String("54.0")))
                protocols.insert(QStringLiteral("802.11g"));
            else if (supported.contains(QLatin1String("11.0")))
                protocols.insert(QStringLiteral("802.11b"));
            else if (supported.contains(QLatin1String("6.0")))
                protocols.insert(QStringLiteral("802.11a"));
        }
        if (block.contains(QLatin1String("RSN:"))) {
            if (block.contains(QLatin1String("CCMP")))
                encryption.insert(QStringLiteral("WPA2"));
            if (block.contains(QLatin1String("TKIP")))
                encryption.insert(QStringLiteral("TKIP"));
            if (block.contains(QLatin1String("Authentication suites: PSK")))
                authentication.insert(QStringLiteral("PSK"));
            if (block.contains(QLatin1String("Authentication suites: SAE")))
                authentication.insert(QStringLiteral("SAE"));
            if (block.contains(QLatin1String("Authentication suites: IEEE 802.1X")))
                authentication.insert(QStringLiteral("802.1X"));
        }
        if (block.contains(QLatin1String("WPA:"))) {
            encryption.insert(QStringLiteral("WPA"));
            if (block.contains(QLatin1String("TKIP")))
                encryption.insert(QStringLiteral("TKIP"));
            if (block.contains(QLatin1String("Authentication suites: PSK")))
                authentication.insert(QStringLiteral("PSK"));
        }
    }
    scan.channels = sortedJoin(channels);
    scan.frequencies = sortedJoin(bands);
    scan.encryption = sortedJoin(encryption);
    scan.authentication = sortedJoin(authentication);

    QStringList kept;
    for (const char* name : {"802.11ax", "802.11ac", "802.11n", "802.11g", "802.11b", "802.11a"}) {
        if (protocols.contains(QLatin1String(name)))
            kept << (kept.isEmpty() ? QString::fromLatin1(name) : QString::fromLatin1(name).mid(6));
    }
    if (!kept.isEmpty())
        scan.protocols = kept.join(QLatin1Char('/'));
    return scan;
}

QString elideText(const QString& text, int maxLength) {
    if (text.size() > maxLength)
        return text.left(maxLength) + QStringLiteral("...");
    return text;
}

QString formatUptime(int days, int hours, int minutes, int seconds) {
    return QStringLiteral("%1D %2:%3:%4")
        .arg(days)
        .arg(hours, 2, 10, QLatin1Char('0'))
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(seconds, 2, 10, QLatin1Char('0'));
}

void VendorTable::load(const QString& text, QStringList* unparsed) {
    static const QRegularExpression lineShape(
        QStringLiteral("^([0-9A-Fa-f:]+(?:/\\d+)?)\\s+([\\S]+)\\s+(.*)$"));
    int start = 0;
    while (start < text.size()) {
        int end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = text.size();
        const QString line = text.mid(start, end - start).trimmed();
        start = end + 1;
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QRegularExpressionMatch match = lineShape.match(line);
        if (!match.hasMatch()) {
            if (unparsed)
                unparsed->append(line);
            continue;
        }
        const QString prefix = match.captured(1);
        const int slash = prefix.indexOf(QLatin1Char('/'));
        const int bits = slash < 0 ? 24 : prefix.mid(slash + 1).toInt();
        const QString key = normaliseHex(prefix.left(slash < 0 ? prefix.size() : slash)).left(bits / 4);
        m_blocks.insert(key, VendorInfo{match.captured(2), match.captured(3).trimmed()});
    }
}

QString VendorTable::lookup(const QString& mac, bool fullName) const {
    const QString hex = normaliseHex(mac);
    for (int digits : {9, 7, 6}) {
        const auto found = m_blocks.constFind(hex.left(digits));
        if (hex.size() >= digits && found != m_blocks.constEnd())
            return fullName ? found->fullName : found->shortName;
    }
    return QStringLiteral("Unknown Vendor");
}

} // namespace wireless
