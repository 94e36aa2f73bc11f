#include "standinmachine.h"

#include "systempaths.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

StandInMachine::StandInMachine()
    : previousRoot(SystemPaths::rootPrefix()), previousSearchPath(SystemPaths::searchPath()) {
    valid = root.isValid() && tools.isValid();
    for (const char* folder : {"/root/.tessmar", "/home/alice", "/var/log", "/etc/sudoers.d",
                               "/etc/polkit-1/rules.d", "/var/spool/cron/crontabs"})
        valid = valid && QDir().mkpath(path(QLatin1String(folder)));
    // Homes are read where the account file says: alice's is in this root.
    valid =
        valid &&
        write("/etc/passwd", "root:x:0:0:root:/root:/bin/bash\nalice:x:1000:1000:Alice:" +
                                 QFile::encodeName(path("/home/alice")) + ":/bin/bash\n") &&
        write("/etc/group", "root:x:0:\nsudo:x:27:alice\nalice:x:1000:\n") &&
        write("/etc/os-release", "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\n"
                                 "VERSION_ID=\"12\"\nVERSION=\"12 (bookworm)\"\n"
                                 "VERSION_CODENAME=bookworm\nID=debian\n") &&
        write("/etc/debian_version", "12.5\n") &&
        write("/var/log/syslog",
              "Mar  4 09:10:01 deb12 CRON[812]: (root) CMD (command -v debian-sa1 > /dev/null)\n") &&
        write("/var/log/auth.log",
              "Mar  4 09:12:44 deb12 sudo: alice : TTY=pts/0 ; PWD=/home/alice ; USER=root ; "
              "COMMAND=/usr/bin/true\n");
    // The kernel's views: the test's own processes and this computer's devices.
    for (const char* kernel : {"proc", "sys"})
        valid = valid && QFile::link(QStringLiteral("/") + QLatin1String(kernel),
                                     path(QStringLiteral("/") + QLatin1String(kernel)));
    for (const QString& program : programs())
        valid = valid && setTool(program, "exit 0\n");
    SystemPaths::setRootPrefix(root.path());
    // First on the path: the system's folders after it give the stand-ins'
    // scripts their shell tools, never one of the window's programs.
    SystemPaths::setSearchPath(QStringList{tools.path()} + SystemPaths::defaultSearchPath());
}

StandInMachine::~StandInMachine() {
    SystemPaths::setRootPrefix(previousRoot);
    SystemPaths::setSearchPath(previousSearchPath);
}

QString StandInMachine::path(const QString& absolutePath) const {
    return root.path() + absolutePath;
}

bool StandInMachine::write(const QString& absolutePath, const QByteArray& content) const {
    QDir().mkpath(QFileInfo(path(absolutePath)).path());
    QFile file(path(absolutePath));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

bool StandInMachine::setTool(const QString& name, const QByteArray& body) const {
    return TestSupport::writeScript(tools.filePath(name), body);
}

QStringList StandInMachine::programs() {
    return QStringLiteral("systemctl journalctl dmesg last lastlog faillog flatpak getent id crontab sudo "
                          "iostat nvidia-smi lspci glxinfo lsmod modinfo clinfo lsblk who uname wmctrl "
                          "xprop dmidecode pgrep iw ip nmcli ethtool tcpdump "
                          "systemd-detect-virt VBoxControl xfce4-session gnome-shell plasmashell paplay "
                          "pkexec")
        .split(QLatin1Char(' '));
}
