#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// Pure readers of the text that the kernel and the wireless tools print.
// They take text and give values, so they are tested on recorded outputs.
namespace wireless {

struct LinkFigures {
    double link = 0;
    double level = 0;
    double noise = 0;
};

// The figures of one interface in /proc/net/wireless (zeros when absent).
// A noise of -256 means the driver does not report it and reads as 0.
LinkFigures parseProcNetWireless(const QString& text, const QString& interfaceName);

// The first interface named by "iw dev", or an empty string.
QString firstWirelessInterface(const QString& iwDevOutput);

// The value after "key:" on the first line that starts with key; values
// that contain colons (addresses) are kept whole.
QString extractValue(const QString& output, const QString& key);

// nmcli's numeric GENERAL.STATE as a status text.
QString connectionStateToString(const QString& state);

// The status "iw dev X link" implies, for machines without nmcli.
QString linkStatusFromIw(const QString& iwLinkOutput);

// "5G (5180 MHz)", "2.4G (2437 MHz)" or "5955 MHz" from "iw dev X link";
// "N/A" when the link reports no frequency.
QString linkFrequencyText(const QString& iwLinkOutput);

// The access point's address after "Connected to", upper-cased, or "N/A".
QString bssidFromLink(const QString& iwLinkOutput);

// The security of a saved connection from its key-mgmt value, mapped
// exactly; an empty value (no security section) is an open network.
QString encryptionFromKeyManagement(const QString& keyManagement);

// The gateway of the IPv4 default route through exactly this interface,
// from "ip -4 route show default"; "N/A" when there is none.
QString defaultGateway(const QString& ipRouteOutput, const QString& interfaceName);

struct RouterScan {
    bool associated = false;
    // The associated access point's address, upper-cased.
    QString bssid;
    QString channels;
    QString frequencies;
    QString protocols = QStringLiteral("N/A");
    QString uptime = QStringLiteral("N/A");
    QString encryption;
    QString authentication;
};

// Everything the router announces, from "iw dev X scan" (or "scan dump"):
// the associated access point and every block that carries the same network
// name, its "-5G" and "-2.4G" variants counted as one network. Each block is
// read by its lines: the association mark counts only at the end of a block's
// "BSS" header line, and a field only on its own line. When connectedBssid
// (the link's access point) is an address, only that block may be the
// associated one.
RouterScan parseScan(const QString& scanOutput, const QString& connectedBssid = QString());

// A band name for a scanned frequency in MHz.
QString scanBandText(int megahertz);

// Text cut to maxLength characters followed by "..." when longer.
QString elideText(const QString& text, int maxLength);

// "1D 10:17:36" from its parts.
QString formatUptime(int days, int hours, int minutes, int seconds);

struct VendorInfo {
    QString shortName;
    QString fullName;
};

// Hardware address blocks and their vendors. A 36-bit block wins over the
// 28-bit and 24-bit blocks that contain it.
class VendorTable {
public:
    // Reads the table text; lines that do not parse are skipped and, when
    // asked, handed back.
    void load(const QString& text, QStringList* unparsed = nullptr);
    bool isEmpty() const { return m_blocks.isEmpty(); }
    // The vendor of an address, or "Unknown Vendor".
    QString lookup(const QString& mac, bool fullName) const;

private:
    QHash<QString, VendorInfo> m_blocks;
};

} // namespace wireless
