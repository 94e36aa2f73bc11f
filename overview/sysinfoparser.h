#pragma once

#include <QString>

// Pure readers of the tool outputs and files behind the Overview's static
// system facts: text in, label text (or the pieces of one) out.
namespace SysInfoParser {

struct OsRelease {
    QString name;
    QString version;
    QString basedOn;
};
// NAME=, VERSION= and ID_LIKE= of an os-release file; quotes removed and
// the based-on text capitalised. A missing key stays empty.
OsRelease parseOsRelease(const QString& text);

struct GpuIdentity {
    QString vendor; // "Nvidia", "AMD", "Intel", "VMware", "VirtualBox", "QEMU" or "Unknown"
    QString model;
};
// The display controllers (VGA, 3D and Display classes) of an lspci listing.
QString displayControllerLines(const QString& lspciOutput);
// Vendor and model, the model taken from the vendor's own controller line.
GpuIdentity identifyGpu(const QString& controllerLines);

// Value of glxinfo's "OpenGL version string" line, empty without one.
QString glxOpenGlVersion(const QString& glxinfoOutput);
// Whether an lsmod listing mentions the module.
bool lsmodMentions(const QString& lsmodOutput, const QString& module);
// The "version:" field of a modinfo listing, empty without one.
QString modinfoVersion(const QString& modinfoOutput);
// The text after the last ':' of clinfo's "Driver version" line, empty without one.
QString clinfoDriverVersion(const QString& clinfoOutput);
// The last word of the Xorg log lines that hold both "version" and "Intel".
QString xorgIntelDriverVersion(const QString& xorgLog);
// Shortens a driver text: a Mesa release to "Mesa x.y.z", anything else (but
// NVIDIA's) to its first word; empty becomes "Driver version not available".
QString shortenDriverText(const QString& text, const QString& vendor);
// The GPU driver label: the profile note dropped, Mesa kept with its release.
QString openGlLabel(const QString& driverText);

// The version in the first line of a desktop's --version output, "Unknown" without one.
QString desktopVersion(const QString& versionOutput);
// The "Name:" of wmctrl -m, XFWM names upper case; empty without the line.
QString windowManagerName(const QString& wmctrlOutput);

// Model and clock from /proc/cpuinfo's "model name" lines.
QString cpuModel(const QString& cpuinfo);
QString cpuSpeed(const QString& cpuinfo);

// MemTotal of /proc/meminfo in decimal gigabytes, rounded; 0 without it.
qint64 memTotalGigabytes(const QString& meminfo);
struct MemoryModules {
    int count = 0;
    QString type; // e.g. DDR4, LPDDR5; empty when none was named
};
// The installed modules of "dmidecode -t memory".
MemoryModules parseDmidecodeMemory(const QString& text);
QString ramInfo(bool virtualMachine, qint64 totalGigabytes, const MemoryModules& modules);

// "500 GB SSD", "1.5 TB HDD": decimal units, as disks are sold.
QString formatDiskSize(quint64 bytes, const QString& kind);
// The whole disks of "lsblk -b -d -o NAME,SIZE,ROTA,TYPE": SSDs first, then
// HDDs, joined by ", "; RAM disks, loop and optical devices and empty ones left out.
QString diskInfo(const QString& lsblkOutput);

// The device name of the first audio device of "lspci -vmm -D", empty without one.
QString audioDevice(const QString& lspciMachineOutput);

} // namespace SysInfoParser
