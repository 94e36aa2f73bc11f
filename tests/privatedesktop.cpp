#include "privatedesktop.h"

#include "rawxwindows.h"
#include "testsupport.h"

#include <QProcessEnvironment>

namespace {

// Whether the window manager lists a window mapped just now: it has started
// and manages new windows (it says it runs some time before it does).
bool windowManagerManages(const QByteArray& display) {
    RawXWindows x(display.constData());
    if (!x.isConnected())
        return false;
    const quint32 probe = x.createUnfocused();
    return TestSupport::waitFor([&] { return x.clientList().contains(probe); }, 1000);
}

} // namespace

PrivateDesktop::PrivateDesktop() {
    ready = start();
}

bool PrivateDesktop::start() {
    // Xvfb takes a free display number itself and writes it once it listens.
    // What either says besides is not read: unread, it would fill the pipe
    // and stop the writer.
    server.setStandardErrorFile(QProcess::nullDevice());
    windowManager.setStandardOutputFile(QProcess::nullDevice());
    windowManager.setStandardErrorFile(QProcess::nullDevice());
    server.start(QStringLiteral("Xvfb"),
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                  QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                  QStringLiteral("tcp")});
    if (!TestSupport::waitFor([this] { return server.canReadLine(); }))
        return false;
    displayName = ':' + server.readLine().trimmed();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(displayName));
    windowManager.setProcessEnvironment(environment);
    windowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    return TestSupport::waitFor([this] { return windowManagerManages(displayName); });
}

PrivateDesktop::~PrivateDesktop() {
    for (QProcess* process : {&windowManager, &server}) {
        process->kill();
        process->waitForFinished(5000);
    }
}

DisplayOverride::DisplayOverride(const QByteArray& display) : saved(qgetenv("DISPLAY")) {
    qputenv("DISPLAY", display);
}

DisplayOverride::~DisplayOverride() {
    qputenv("DISPLAY", saved);
}
