#include "workerapplications.h"

#include "commandrunner.h"

#include <QLoggingCategory>
#include <QSet>
#include <QThread>
#include <QVector>
#include <QX11Info>

Q_LOGGING_CATEGORY(lcApplicationsWorker, "tessmar.applications.worker", QtWarningMsg)

WorkerApplications::WorkerApplications(int iconSide, QObject* parent)
    : QObject(parent), onX11(QX11Info::isPlatformX11()), iconSide(iconSide) {}

WorkerApplications::~WorkerApplications() = default;

X11WindowReader* WorkerApplications::reader() {
    // Opened on the worker's thread at the first listing.
    if (!windowReader)
        windowReader = X11WindowReader::withOwnConnection();
    return windowReader.get();
}

void WorkerApplications::fetchWindowList() {
    // The window manager's own list holds every window it manages, each by
    // its id alone: nothing a window's program writes hides it, and a window
    // that closes meanwhile takes only its own row with it.
    if (onX11) {
        if (const std::optional<QVector<quint32>> clients = reader()->clientList()) {
            emit windowListUpdated(listManagedWindows(*clients));
            return;
        }
    }
    listWithWmctrl();
}

QList<DetailsApplicationWindow> WorkerApplications::listManagedWindows(const QVector<quint32>& clients) {
    const QVector<X11WindowReader::WindowFacts> facts = reader()->read(clients);
    QVector<WindowListParser::ServerWindow> server;
    server.reserve(facts.size());
    for (const X11WindowReader::WindowFacts& window : facts)
        server.append({!window.gone, window.desktop, window.title});
    return records(WindowListParser::managedRows(server), clients, facts);
}

void WorkerApplications::listWithWmctrl() {
    CommandOptions options;
    options.timeoutMs = timeoutMs;
    // wmctrl prints at most 4 KB of a title: room for 4,000 windows of
    // long titles, so that a few programs' titles empty nobody's list.
    options.maxOutputBytes = 16 * 1024 * 1024;
    const auto listing = [&options] {
        return CommandRunner::run(QStringLiteral("wmctrl"), {QStringLiteral("-l")}, options);
    };
    const auto endedWithError = [](const CommandResult& result) {
        return result.started && !result.timedOut && !result.crashed && !result.aborted &&
               result.exitCode != 0;
    };
    CommandResult result = listing();
    // wmctrl ends with an X error, having printed part of the list, when a
    // window closes while it reads it; a program closing several windows
    // can meet it again at once. A moment later the window manager no
    // longer lists them.
    for (int again = 1; again <= 3 && endedWithError(result); ++again) {
        QThread::msleep(50 * again);
        result = listing();
    }
    if (endedWithError(result)) {
        // A part of the list would hide windows that are there: the table
        // keeps what it shows until a listing succeeds.
        qCDebug(lcApplicationsWorker) << result.describeFailure(QStringLiteral("wmctrl"));
        return;
    }
    // A run cut short may end in the middle of a line: use none of it.
    const bool whole = result.started && !result.timedOut && !result.crashed;
    emit windowListUpdated(listWindows(whole ? result.standardOutput : QByteArray()));
}

QList<DetailsApplicationWindow> WorkerApplications::listWindows(const QByteArray& wmctrlOutput) {
    const QList<WindowListParser::Entry> entries = WindowListParser::parse(wmctrlOutput);
    QVector<quint32> numbers;
    numbers.reserve(entries.size());
    for (const WindowListParser::Entry& entry : entries)
        numbers.append(entry.number);
    QVector<X11WindowReader::WindowFacts> facts(numbers.size());
    std::optional<QVector<quint32>> clients;
    if (onX11) {
        facts = reader()->read(numbers);
        clients = reader()->clientList();
    }
    // Where the X server lists the managed windows, each window's own
    // properties give its desktop and title.
    QVector<WindowListParser::ServerWindow> server;
    if (clients) {
        const QSet<quint32> managed(clients->cbegin(), clients->cend());
        server.reserve(entries.size());
        for (int i = 0; i < entries.size(); ++i)
            server.append({managed.contains(numbers[i]) && !facts[i].gone, facts[i].desktop, facts[i].title});
    }
    return records(WindowListParser::rows(entries, clients ? &server : nullptr), numbers, facts);
}

QList<DetailsApplicationWindow>
WorkerApplications::records(const QList<WindowListParser::Row>& rows, const QVector<quint32>& numbers,
                            const QVector<X11WindowReader::WindowFacts>& facts) {
    iconResolver.refresh();
    // Icons only of the windows shown: a forged line names no window to fetch.
    QVector<quint32> shown;
    shown.reserve(rows.size());
    for (const WindowListParser::Row& row : rows)
        shown.append(numbers[row.entry]);
    const QVector<QImage> icons = onX11 ? reader()->icons(shown, iconSide) : QVector<QImage>(rows.size());

    QList<DetailsApplicationWindow> windows;
    windows.reserve(rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        const X11WindowReader::WindowFacts& window = facts[rows[i].entry];
        WindowIconSource icon;
        if (!icons[i].isNull())
            icon.image = icons[i];
        else
            icon = iconResolver.iconFor(window.pid, window.windowClass);
        windows.append({WindowListParser::idText(shown[i]), rows[i].title, icon});
    }
    return windows;
}

X11WindowIcons::Counters WorkerApplications::iconCounters() const {
    return windowReader ? windowReader->iconCounters() : X11WindowIcons::Counters();
}

void WorkerApplications::runWindowCommand(const QString& action, const QString& id) {
    CommandOptions options;
    options.timeoutMs = timeoutMs;
    const CommandResult result = CommandRunner::run(QStringLiteral("wmctrl"), {action, id}, options);
    emit windowCommandFinished({action, id, result.succeeded()});
}
