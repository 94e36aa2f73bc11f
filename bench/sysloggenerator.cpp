#include "sysloggenerator.h"

#include <QFile>

#include <cstdio>

namespace {

// xorshift: the same file on every run.
struct Random {
    quint64 state = 0x9E3779B97F4A7C15ull;
    quint32 next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return quint32(state >> 11);
    }
    int below(int n) { return int(next() % quint32(n)); }
};

} // namespace

void generateSyslog(const QString& path, qint64 bytes) {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    Random random;
    QByteArray chunk;
    chunk.reserve(1 << 21);
    qint64 written = 0;
    // From 20 October: the file crosses the turn of the year.
    int month = 9, day = 20, seconds = 6 * 3600;
    double uptime = 0.5;
    int session = 1200;
    char line[1024];
    while (written + chunk.size() < bytes) {
        seconds += random.below(19);
        if (seconds >= 86400) {
            seconds -= 86400;
            if (++day > 28) {
                day = 1;
                month = (month + 1) % 12;
            }
        }
        uptime += random.below(4000) / 1000.0;
        // A reboot now and then: the kernel's uptime starts again, padded.
        if (random.below(150000) == 0)
            uptime = 0.5;
        char stamp[64];
        std::snprintf(stamp, sizeof stamp, "%s %2d %02d:%02d:%02d deb11", months[month], day, seconds / 3600,
                      (seconds / 60) % 60, seconds % 60);
        const int pick = random.below(100);
        const int pid = 300 + random.below(60000);
        int n = 0;
        if (pick < 26) {
            static const char* const units[] = {"apt-daily.service",     "logrotate.service",
                                                "man-db.service",        "anacron.service",
                                                "fwupd-refresh.service", "systemd-tmpfiles-clean.service",
                                                "packagekit.service"};
            const char* unit = units[random.below(7)];
            switch (random.below(4)) {
            case 0:
                n = std::snprintf(line, sizeof line, "%s systemd[1]: Starting %s...\n", stamp, unit);
                break;
            case 1:
                n = std::snprintf(line, sizeof line, "%s systemd[1]: %s: Deactivated successfully.\n", stamp,
                                  unit);
                break;
            case 2:
                n = std::snprintf(line, sizeof line,
                                  "%s systemd[1]: Started session-%d.scope - Session %d of User alice.\n",
                                  stamp, session, session);
                ++session;
                break;
            default:
                n = std::snprintf(line, sizeof line, "%s systemd[1]: Finished %s - Daily jobs.\n", stamp,
                                  unit);
            }
        } else if (pick < 37) {
            static const char* const kernel[] = {
                "audit: type=1400 audit(%d.%03d:%d): apparmor=\"DENIED\" operation=\"open\" pid=%d",
                "usb 1-%d: new high-speed USB device number %d using xhci_hcd",
                "IPv6: ADDRCONF(NETDEV_CHANGE): wlp2s0: link becomes ready",
                "wlp2s0: authenticated with 3c:84:6a:%02x:%02x:%02x (local address=a0:%02x:11:22:33:44)",
                "EXT4-fs (nvme0n1p2): warning: mounting fs with errors, running e2fsck is recommended",
            };
            char text[512];
            std::snprintf(text, sizeof text, kernel[random.below(5)], random.below(99), random.below(999),
                          random.below(99999), pid);
            n = std::snprintf(line, sizeof line, "%s kernel: [%12.6f] %s\n", stamp, uptime, text);
        } else if (pick < 47) {
            n = std::snprintf(line, sizeof line,
                              random.below(2)
                                  ? "%s CRON[%d]: (root) CMD (command -v debian-sa1 > /dev/null && "
                                    "debian-sa1 1 1)\n"
                                  : "%s CRON[%d]: pam_unix(cron:session): session closed for user root\n",
                              stamp, pid);
        } else if (pick < 53) {
            static const char* const messages[] = {
                "Accepted publickey for alice from 10.0.%d.%d port %d ssh2: ED25519 SHA256:Xq3mYvWb",
                "Connection closed by authenticating user root 203.0.%d.%d port %d [preauth]",
                "error: kex_exchange_identification: Connection reset by peer %d.%d.%d",
                "pam_unix(sshd:session): session closed for user alice"};
            char text[256];
            std::snprintf(text, sizeof text, messages[random.below(4)], random.below(255), random.below(255),
                          1024 + random.below(60000));
            n = std::snprintf(line, sizeof line, "%s sshd[%d]: %s\n", stamp, pid, text);
        } else if (pick < 59) {
            static const char* const messages[] = {
                "<info>  [%d.%04d] dhcp4 (wlp2s0): state changed new lease, address=192.168.1.%d",
                "<info>  [%d.%04d] device (wlp2s0): supplicant interface state: completed -> 4way_handshake "
                "%d",
                "<warn>  [%d.%04d] device (wlp2s0): link timed out. %d",
                "<info>  [%d.%04d] manager: NetworkManager state is now CONNECTED_GLOBAL"};
            char text[256];
            std::snprintf(text, sizeof text, messages[random.below(4)], 1700000000 + random.below(9999999),
                          random.below(9999), random.below(255));
            n = std::snprintf(line, sizeof line, "%s NetworkManager[612]: %s\n", stamp, text);
        } else if (pick < 64) {
            static const char* const services[] = {"hostname1", "timedate1", "locale1", "PackageKit",
                                                   "fwupd"};
            n = std::snprintf(line, sizeof line,
                              random.below(3)
                                  ? "%s dbus-daemon[512]: [system] Successfully activated service "
                                    "'org.freedesktop.%s'\n"
                                  : "%s dbus-daemon[512]: [system] Activating via systemd: service "
                                    "name='org.freedesktop.%s' unit='dbus-org.freedesktop.%s.service'\n",
                              stamp, services[random.below(5)], services[random.below(5)]);
        } else if (pick < 69) {
            static const char* const messages[] = {
                "Window manager warning: Overwriting existing binding of keysym %d with keysym %d",
                "JS ERROR: TypeError: this._settings is null @ ui/panel.js:%d",
                "libinput error: event%d - SynPS/2 Synaptics TouchPad: Touch jump detected"};
            char text[256];
            std::snprintf(text, sizeof text, messages[random.below(3)], random.below(99), random.below(99));
            n = std::snprintf(line, sizeof line, "%s gnome-shell[1403]: %s\n", stamp, text);
        } else if (pick < 73) {
            n = std::snprintf(
                line, sizeof line,
                "%s pulseaudio[1512]: E: [alsa-sink-ALC257] Error opening PCM device front:%d\n", stamp,
                random.below(3));
        } else if (pick < 77) {
            static const char* const daemons[] = {"avahi-daemon[470]", "colord[1020]", "thermald[498]",
                                                  "cupsd[780]",        "snapd[505]",   "rsyslogd[402]"};
            n = std::snprintf(line, sizeof line, "%s %s: %s %d\n", stamp, daemons[random.below(6)],
                              random.below(2) ? "Joining mDNS multicast group on interface wlp2s0.IPv4"
                                              : "Sensor reading out of range, limiting to quiet profile",
                              random.below(999));
        } else if (pick < 99) {
            static const char* const shortLines[] = {
                "%s systemd-logind[455]: New session %d of user alice.\n",
                "%s systemd-logind[455]: Removed session %d.\n",
                "%s kernel: [%d.%06d] wlp2s0: associated\n",
                "%s anacron[433]: Normal exit (%d job run)\n",
                "%s systemd[1]: Reloading requested from client PID %d.\n",
                "%s sudo: pam_unix(sudo:session): session closed for user root %d\n",
                "%s rtkit-daemon[888]: Supervising %d threads of 4 processes of 1 users.\n",
                "%s systemd[1640]: Started app-gnome-%d.scope.\n"};
            n = std::snprintf(line, sizeof line, shortLines[random.below(8)], stamp,
                              session + random.below(9), random.below(999999));
        } else {
            // rsyslog's mark lines fit no line pattern.
            n = std::snprintf(line, sizeof line, "%s -- MARK --\n", stamp);
        }
        chunk.append(line, qMin(n, int(sizeof line) - 1));
        if (chunk.size() > (1 << 20)) {
            written += file.write(chunk);
            chunk.clear();
        }
    }
    file.write(chunk);
}
