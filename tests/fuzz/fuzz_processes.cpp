// libFuzzer entry for the /proc readers of the Processes tab: every input is
// read as each of the files of one process folder, and as a folder name.
#include "processparser.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace ProcessParser;

namespace {

bool within(std::string_view view, const QByteArray& text) {
    return view.empty() ||
           (view.data() >= text.constData() && view.data() + view.size() <= text.constData() + text.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), int(size));

    const StatFields stat = parseStat(text);
    if ((stat.fieldCount != 0 && stat.fieldCount < 2) || stat.userTicks < 0 || stat.systemTicks < 0 ||
        stat.startTime < 0 || stat.flags < 0 || !within(stat.command, text))
        abort();
    // The name runs to the last ")": fields added after the line cannot move it.
    if (stat.fieldCount > 0 && !text.contains('\n')) {
        const QByteArray longerText = text + " 1";
        const StatFields longer = parseStat(longerText);
        if (longer.command != stat.command || longer.fieldCount != stat.fieldCount + 1)
            abort();
    }
    processName(stat.command);
    stateText(stat.state);

    const std::string_view uid = realUid(text);
    if (!within(uid, text) || uid.find_first_of(" \t\n") != std::string_view::npos)
        abort();

    for (const qint64 pageKb : {qint64(4), qint64(64)}) {
        const StatmFigures statm = parseStatm(text, pageKb);
        if (statm.residentKb < -1 || statm.anonKb < -1 || (statm.residentKb < 0) != (statm.anonKb < 0) ||
            statm.anonKb > statm.residentKb)
            abort();
    }

    const qint64 privateKb = privateMemoryKb(text);
    if (privateKb < 0)
        abort();
    formatMemoryKb(privateKb);

    // A process ID is the whole name, in range, written as the kernel writes it.
    const QByteArray name = text.left(text.indexOf('\0'));
    const int pid = parsePid(name.constData());
    if (pid < 0 || (pid > 0 && QByteArray::number(pid) != name))
        abort();

    parsePasswd(text);
    sessionUid(QString::fromUtf8(text), QString::fromUtf8(name));
    return 0;
}
