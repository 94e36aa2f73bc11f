#pragma once

#include <QByteArray>
#include <QProcess>

#include <memory>

// An X display of a test's own (Xvfb) with the suite's window manager
// (openbox) on it, for tests that open windows by the thousand: on the
// shared display the window manager would be busy with them while the
// tests running beside wait for theirs. Both end with the object.
class PrivateDesktop {
public:
    PrivateDesktop();
    ~PrivateDesktop();
    PrivateDesktop(const PrivateDesktop&) = delete;
    PrivateDesktop& operator=(const PrivateDesktop&) = delete;

    // True once the window manager runs on the display.
    bool isReady() const { return ready; }
    // As DISPLAY names it, e.g. ":12".
    QByteArray name() const { return displayName; }

private:
    bool start();

    QProcess server;
    QProcess windowManager;
    QByteArray displayName;
    bool ready = false;
};

// Points DISPLAY at another display for the scope's life: what opens its
// own X connection meanwhile (a worker's window reader) opens it there.
class DisplayOverride {
public:
    explicit DisplayOverride(const QByteArray& display);
    ~DisplayOverride();

private:
    QByteArray saved;
};
