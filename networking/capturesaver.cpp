#include "capturesaver.h"

#include "captureformats.h"
#include "safefile.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <pwd.h>
#include <vector>

namespace CaptureSaver {

namespace {
// The chosen name in its folder with every link resolved: the writer
// refuses to go through a link, and a folder chosen through one (a link in
// the home folder, say) is still the folder the user meant.
QString resolvedPath(const QString& path) {
    const QFileInfo chosen(path);
    const QString folder = QDir(chosen.absolutePath()).canonicalPath();
    return folder.isEmpty() ? chosen.absoluteFilePath() : folder + QLatin1Char('/') + chosen.fileName();
}
} // namespace

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
    if (!file.open(resolvedPath(path)))
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
