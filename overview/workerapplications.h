#pragma once

#include "detailsapplicationwindow.h"
#include "windowiconresolver.h"
#include "windowlistparser.h"
#include "x11windowreader.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVector>

#include <memory>

// What became of a Switch To or Close App.
struct WindowCommandResult {
    // "-ic" (close gracefully) or "-ia" (activate).
    QString action;
    QString id;
    bool succeeded = false;
};
Q_DECLARE_METATYPE(WindowCommandResult)

// The Applications tab's work, on a thread of its own so that a slow or
// wedged X server never freezes the window: lists the windows the window
// manager manages, reads their properties (on an X connection of its own)
// and finds where their icons come from; runs the window commands. Where
// the X server holds no such list (or Qt does not run on X), the windows
// are those `wmctrl -l` prints. Every wmctrl run is bounded.
class WorkerApplications : public QObject {
    Q_OBJECT
public:
    // Decides here, on the creating thread, whether Qt runs on X11: off X11
    // (offscreen, Wayland) the worker never reaches X. Window icons are kept
    // at iconSide pixels each way, the size the table shows them at.
    explicit WorkerApplications(int iconSide, QObject* parent = nullptr);
    ~WorkerApplications() override;

    static constexpr int timeoutMs = 3000;

    // The windows of one `wmctrl -l` listing, with where their icons come
    // from. Where the X server lists the managed windows, the listing gives
    // only the ids of those it shows: each window's desktop and title are
    // its own properties.
    QList<DetailsApplicationWindow> listWindows(const QByteArray& wmctrlOutput);

    // What the listings fetched of the windows' icons so far.
    X11WindowIcons::Counters iconCounters() const;

public slots:
    // Answers with windowListUpdated. Without the window manager's list on
    // the X server, the list is empty when wmctrl could not run or did not
    // finish in time; when wmctrl keeps ending with an error (windows
    // closing while it reads them) there is no answer: the table keeps what
    // it shows until the next listing.
    void fetchWindowList();
    // action is "-ic" or "-ia"; answers with windowCommandFinished.
    void runWindowCommand(const QString& action, const QString& id);

signals:
    void windowListUpdated(const QList<DetailsApplicationWindow>& windows);
    void windowCommandFinished(const WindowCommandResult& result);

private:
    // Every window of the window manager's list that has not gone since.
    QList<DetailsApplicationWindow> listManagedWindows(const QVector<quint32>& clients);
    void listWithWmctrl();
    // The records of the rows, each row's entry indexing numbers and facts;
    // icons are fetched for these windows alone.
    QList<DetailsApplicationWindow> records(const QList<WindowListParser::Row>& rows,
                                            const QVector<quint32>& numbers,
                                            const QVector<X11WindowReader::WindowFacts>& facts);
    X11WindowReader* reader();

    const bool onX11;
    const int iconSide;
    // Opened on the worker's thread at the first listing.
    std::unique_ptr<X11WindowReader> windowReader;
    WindowIconResolver iconResolver;
};
