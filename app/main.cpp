#include "accountpicture.h"
#include "apppalette.h"
#include "mainwindow.h"
#include "singleinstance.h"
#include "startup.h"
#include "workerthread.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QLoggingCategory>
#include <QTimer>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {
// Quitting: the budget of the worker threads' stops, and the moment the
// process ends whatever still holds it.
constexpr int quitStopsWithinMs = 600;
constexpr int quitEndsWithinMs = 900;

int reExecuteThroughSudo(int argc, char** argv) {
    const std::vector<std::string> arguments = sudoArguments(argc, argv);
    std::vector<char*> vector;
    vector.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments)
        vector.push_back(const_cast<char*>(argument.c_str()));
    vector.push_back(nullptr);
    execvp("sudo", vector.data());
    std::perror("execvp");
    return 1;
}
} // namespace

int main(int argc, char* argv[]) {
    switch (decideLaunch(geteuid(), std::getenv("HOME"), std::getenv("SUDO_USER"))) {
    case LaunchAction::RefuseSudo: {
        static const char message[] = "Please run this application as a regular user without 'sudo'.\n";
        std::fwrite(message, 1, sizeof(message) - 1, stderr);
        return 1;
    }
    case LaunchAction::ReExecute:
        return reExecuteThroughSudo(argc, argv);
    case LaunchAction::Run:
        break;
    }

    printRootBanner(stdout, std::getenv("DISPLAY"), std::getenv("XAUTHORITY"),
                    std::getenv("DBUS_SESSION_BUS_ADDRESS"));
    // As root, only a session bus the environment names is used, and none is ever started.
    refuseSessionBusStart();
    keepOwnFilesOutOfUserHome();
    quietRuntimeFolderNotice();
    QIcon::setThemeName(QStringLiteral("Brisklow"));

    if (!xDisplayAvailable()) {
        std::fprintf(stderr, "Cannot open the X display \"%s\": Tessmar needs an X11 desktop session.\n",
                     std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
        return 1;
    }
    useRasterWindowsOnly();
    // Still the only thread: the desktop theme is read by a child meanwhile.
    const bool earlyThemeProbe = startEarlyThemeProbe();
    QApplication app(argc, argv);
    chooseIconThemeFallback();
    installQuitHandling(app);
    AccountPicture::installDecoderMessageFilter();
    QApplication::setStyle(QStringLiteral("Fusion"));
    // The light palette until the child's verdict, taken before the window shows.
    applyApplicationPalette(app, earlyThemeProbe ? false : isSystemThemeDark());
    qCDebug(lcStartup) << "Default font is:" << QApplication::font().family();

    registerSharedMetaTypes();

    const QString localeName = interfaceLocaleName();
    qCDebug(lcStartup) << "Detected locale is:" << localeName;
    QTranslator programTranslator;
    if (loadProgramTranslation(programTranslator, QCoreApplication::applicationDirPath(), localeName))
        QCoreApplication::installTranslator(&programTranslator);
    QTranslator qtTranslator;
    if (loadQtTranslation(qtTranslator, localeName))
        QCoreApplication::installTranslator(&qtTranslator);

    SingleInstance instance(instanceFolder, instanceServerName);
    if (instance.anotherInstanceIsRunning(1000)) {
        qInfo("Another instance is already running. Exiting.");
        return 0;
    }
    if (!instance.listen()) {
        qWarning() << "Unable to listen on local server. Exiting.";
        return 1;
    }

    // Quit and SIGTERM end the program within a second, whatever it is doing.
    startQuitWatchdog(quitEndsWithinMs);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, [] { boundQuitting(quitStopsWithinMs); });

    int exitCode = 0;
    {
        MainWindow window(nullptr, MainWindow::TabCreation::OtherTabsAfterFirstPaint);
        bool lastAppliedDark = false;
        if (earlyThemeProbe) {
            // Built, not shown yet: the window first shows in the desktop's colours.
            // Without an answer it is light, and the poll reads the desktop again.
            lastAppliedDark = takeEarlyThemeVerdict().value_or(false);
            applyEarlyVerdict(lastAppliedDark, app, [&window] { emit window.themeChanged(); });
        } else {
            lastAppliedDark = isSystemThemeDark();
        }
        auto* themePoll = new QTimer(&app);
        themePoll->setInterval(1000);
        QObject::connect(themePoll, &QTimer::timeout, &app, [&lastAppliedDark, &app, &window] {
            checkThemeChange(lastAppliedDark, app, window);
        });
        themePoll->start();

        QObject::connect(&instance, &SingleInstance::activationRequested, &window, &MainWindow::bringToFront);

        window.show();
        exitCode = QApplication::exec();
        delete themePoll;
    }
    // A worker left in a long step must not meet the process's static
    // objects as they are destroyed.
    if (WorkerThread::leftRunning() > 0) {
        QFile::remove(instance.socketPath());
        std::fflush(nullptr);
        ::_exit(exitCode);
    }
    return exitCode;
}
