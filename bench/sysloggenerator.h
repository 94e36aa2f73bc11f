#pragma once

#include <QString>

// Writes a realistic month-name syslog of about bytes bytes to path, the
// same on every run: systemd, kernel, cron, sshd, NetworkManager, dbus,
// desktop and audio daemons, and mark lines.
void generateSyslog(const QString& path, qint64 bytes);
