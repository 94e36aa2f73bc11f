#include "capturesaver.h"

#include "captureformats.h"
#include "safefile.h"

#include <QLoggingCategory>
#include <pwd.h>
#include <vector>

namespace CaptureSaver {

bool write(Format format, const QString& path, const CaptureSnapshot& snapshot, QString* error) {
    SafeFile::WriteRules rules;
    rules.mode = 0644;
    if (!qEnvironmentVariableIsEmpty("SUDO_USER") && !invokingUser(rules.owner, rules.group))
        qWarning("The user named in SUDO_USER has no account; the file stays root's.");
    SafeFile::AtomicWriter file(rules);
    auto failed = [&] {
        if (error)
            *error = file.errorString();
        return false;
    };
    // The chosen name as it stands: the writer walks to its folder once,
    // through the links root or the user made (a folder the user reached
    // through their own link is still the folder they meant), and writes
    // through that folder alone.
    if (!file.open(path))
        return failed();
    QByteArray chunk;
    auto flushChunk = [&](bool force) {
        if (!force && chunk.size() < (1 << 16))
            return true;
        const bool ok = file.write(chunk);
        chunk.clear();
        return ok;
    };
    chunk += format == Format::Text  ? CaptureFormats::textHeader()
             : format == Format::Csv ? CaptureFormats::csvHeader()
                                     : CaptureFormats::pcapFileHeader();
    for (const PacketGroup& group : snapshot) {
        if (format == Format::Text)
            chunk += CaptureFormats::textGroupStart(group.application);
        for (const CapturedPacket& captured : group.packets) {
            const PacketInfo packet = captured.info();
            switch (format) {
            case Format::Text:
                chunk += CaptureFormats::textPacket(packet);
                break;
            case Format::Csv:
                chunk += CaptureFormats::csvLine(group.application, packet);
                break;
            case Format::Pcap:
                chunk += CaptureFormats::pcapRecord(packet);
                break;
            }
            if (!flushChunk(false))
                return failed();
        }
        if (format == Format::Text)
            chunk += CaptureFormats::textGroupEnd();
    }
    if (!flushChunk(true) || !file.commit())
        return failed();
    return true;
}

bool invokingUser(uid_t& uid, gid_t& gid) {
    const QByteArray name = qgetenv("SUDO_USER");
    if (name.isEmpty())
        return false;
    passwd entry{};
    passwd* result = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwnam_r(name.constData(), &entry, buffer.data(), buffer.size(), &result) != 0 || !result)
        return false;
    uid = entry.pw_uid;
    gid = entry.pw_gid;
    return true;
}

} // namespace CaptureSaver
