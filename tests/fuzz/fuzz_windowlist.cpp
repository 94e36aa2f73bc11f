// libFuzzer entry for the Applications tab's window list. Each input is read
// twice: as the text `wmctrl -l` printed, and as a set of windows (separated
// by NUL bytes: a desktop byte, an id byte, then the title) whose listing is
// printed as wmctrl prints it, titles with line breaks and all, and read back.
#include "windowlistparser.h"

#include <QHash>
#include <QSet>

#include <cstdint>
#include <cstdlib>

namespace {

constexpr quint32 everyDesktop = 0xFFFFFFFFu;

QString idText(quint32 number) {
    return QStringLiteral("0x%1").arg(number, 8, 16, QLatin1Char('0'));
}

// Whatever the text, each window once, its id in wmctrl's form; what the
// server says decides the desktop and the title.
void readListing(const QByteArray& text) {
    const QList<WindowListParser::Entry> entries = WindowListParser::parse(text);
    QSet<quint32> numbers;
    QVector<WindowListParser::ServerWindow> server;
    for (const WindowListParser::Entry& entry : entries) {
        if (entry.id != idText(entry.number) || numbers.contains(entry.number))
            abort();
        numbers.insert(entry.number);
        server.append({entry.number % 3 != 0, entry.number % 5 == 0 ? everyDesktop : entry.number % 4,
                       QStringLiteral("w%1").arg(entry.number)});
    }
    for (const WindowListParser::Row& row : WindowListParser::rows(entries, nullptr)) {
        if (row.entry < 0 || row.entry >= entries.size() || entries[row.entry].desktop == -1 ||
            row.title != entries[row.entry].title)
            abort();
    }
    for (const WindowListParser::Row& row : WindowListParser::rows(entries, &server)) {
        const quint32 number = entries.value(row.entry).number;
        if (row.entry < 0 || row.entry >= entries.size() || number % 3 == 0 || number % 5 == 0 ||
            row.title != QStringLiteral("w%1").arg(number))
            abort();
    }
}

struct Window {
    quint32 desktop = 0;
    QString title;
};

void readModel(const QByteArray& input) {
    QHash<quint32, Window> windows;
    QByteArray listing;
    const QList<QByteArray> chunks = input.split('\0');
    for (int i = 0; i < chunks.size() && i < 64; ++i) {
        const QByteArray& chunk = chunks[i];
        const uchar code = chunk.isEmpty() ? 0 : uchar(chunk[0]);
        const quint32 number = 0x01c00000u + quint32(i) * 0x100u + (chunk.size() > 1 ? uchar(chunk[1]) : 0u);
        Window window;
        window.desktop = code % 5 == 4 ? everyDesktop : code % 5;
        // A title property, maybe empty (one without any prints "N/A").
        window.title = QString::fromUtf8(chunk.mid(2));
        if (window.title.isNull())
            window.title = QStringLiteral("");
        windows.insert(number, window);
        // wmctrl: "0x%.8lx %2d %*s %s\n", the title as the window set it.
        listing += idText(number).toLatin1() + ' ' +
                   QByteArray::number(int(window.desktop)).rightJustified(2, ' ') + " host " +
                   window.title.toUtf8() + '\n';
    }
    const QList<WindowListParser::Entry> entries = WindowListParser::parse(listing);
    QVector<WindowListParser::ServerWindow> server;
    for (const WindowListParser::Entry& entry : entries) {
        const auto found = windows.constFind(entry.number);
        server.append(found == windows.constEnd()
                          ? WindowListParser::ServerWindow()
                          : WindowListParser::ServerWindow{true, found->desktop, found->title});
    }
    // Every window on a desktop is listed once, with its own title, whatever
    // lines the other titles forged; a window whose title has no word on its
    // first line prints no full line of its own and may be missing.
    QSet<quint32> listed;
    for (const WindowListParser::Row& row : WindowListParser::rows(entries, &server)) {
        const quint32 number = entries.value(row.entry).number;
        const auto found = windows.constFind(number);
        if (found == windows.constEnd() || found->desktop == everyDesktop || listed.contains(number) ||
            row.title != WindowListParser::titleLine(found->title))
            abort();
        listed.insert(number);
    }
    for (auto it = windows.constBegin(); it != windows.constEnd(); ++it) {
        if (it->desktop != everyDesktop && !WindowListParser::titleLine(it->title).isEmpty() &&
            !listed.contains(it.key()))
            abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), int(size));
    readListing(input);
    readModel(input);
    return 0;
}
