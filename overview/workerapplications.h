#pragma once

#include "detailsapplicationwindow.h"
#include "windowiconresolver.h"
#include "x11windowicons.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>

#include <memory>

class X11WindowReader;

// What became of a Switch To or Close App.
struct WindowCommandResult {
    // "-ic" (close gracefully) or "-ia" (activate).
    QString action;
    QString id;
    bool succeeded = false;
};
Q_DECLARE_METATYPE(WindowCommandResult)

// The Applications tab's work, on a thread of its own so that a slow or
// wedged X server never freezes the window: lists the windows with wmctrl,
// reads their properties (all in one round trip, on an X connection of its
// own) and finds where their icons come from; runs the window commands.
// Every wmctrl run is bounded.
class WorkerApplications : public QObject {
    Q_OBJECT
public:
    // Decides here, on the creating thread, whether Qt runs on X11: off X11
    // (offscreen, Wayland) the worker never reaches X. Window icons are kept
    // at iconSide pixels each way, the size the table shows them at.
    explicit WorkerApplications(int iconSide, QObject* parent = nullptr);
    ~WorkerApplications() override;

    static constexpr int timeoutMs = 3000;

    // The windows of one `wmctrl -l` listing that the window manager
    // manages, with where their icons come from. On X the listing gives only
    // the ids: each window's desktop and title are its own properties.
    QList<DetailsApplicationWindow> listWindows(const QByteArray& wmctrlOutput);

    // What the listings fetched of the windows' icons so far.
    X11WindowIcons::Counters iconCounters() const;

public slots:
    // Answers with windowListUpdated; the list is empty when wmctrl could
    // not run or did not finish in time. When wmctrl keeps ending with an
    // error (windows closing while it reads them) there is no answer:
    // the table keeps what it shows until the next listing.
    void fetchWindowList();
    // action is "-ic" or "-ia"; answers with windowCommandFinished.
    void runWindowCommand(const QString& action, const QString& id);

signals:
    void windowListUpdated(const QList<DetailsApplicationWindow>& windows);
    void windowCommandFinished(const WindowCommandResult& result);

private:
    const bool onX11;
    const int iconSide;
    // Opened on the worker's thread at the first listing.
    std::unique_ptr<X11WindowReader> windowReader;
    WindowIconResolver iconResolver;
};
