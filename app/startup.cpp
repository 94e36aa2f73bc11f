#include "startup.h"

#include "commandrunner.h"
#include "detailscronjob.h"
#include "detailslogs.h"
#include "detailsprocess.h"
#include "detailsservice.h"
#include "detailsuser.h"
#include "packetinfo.h"
#include "workerthread.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QSettings>
#include <QSocketNotifier>
#include <QTranslator>

#include <X11/Xlib.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcStartup, "tessmar.startup", QtWarningMsg)

const QString instanceServerName = QStringLiteral("TessmarInstance");
const QString instanceFolder = QStringLiteral("/run/tessmar");

namespace {
const QString systemTranslationsDir = QStringLiteral("/usr/share/tessmar/translations");

const char* orNull(const char* value) {
    return value ? value : "(null)";
}
} // namespace

LaunchAction decideLaunch(uid_t effectiveUid, const char* home, const char* sudoUser) {
    if (effectiveUid != 0)
        return LaunchAction::ReExecute;
    // "/root/" or "//root" is the same home as "/root".
    const bool rootHome =
        home == nullptr || QDir::cleanPath(QString::fromLocal8Bit(home)) == QLatin1String("/root");
    if (rootHome && sudoUser != nullptr)
        return LaunchAction::RefuseSudo;
    return LaunchAction::Run;
}

std::vector<std::string> sudoArguments(int argc, char** argv) {
    std::vector<std::string> arguments{"sudo", "-E", "tessmar"};
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    return arguments;
}

void printRootBanner(std::FILE* out, const char* display, const char* xauthority, const char* dbusAddress) {
    std::fputs("Application is running as root.\n", out);
    std::fprintf(out, "DISPLAY=%s\n", orNull(display));
    std::fprintf(out, "XAUTHORITY=%s\n", orNull(xauthority));
    std::fprintf(out, "DBUS_SESSION_BUS_ADDRESS=%s\n", orNull(dbusAddress));
    std::fflush(out);
}

bool refuseSessionBusStart() {
    // Without an address, libdbus (Qt's accessibility bridge, as the form is
    // built) and GLib (GTK's) start a session bus through "dbus-launch
    // --autolaunch": as root, a bus daemon and an accessibility bus that stay
    // on the display after the program has gone. "disabled:" is a transport
    // neither knows, so each connection fails at once and starts nothing; the
    // tools the program runs inherit it.
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return false;
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    return true;
}

QString keepOwnFilesOutOfUserHome(const QString& ownHome) {
    QString home = ownHome;
    if (home.isEmpty()) {
        const passwd* account = ::getpwuid(::geteuid());
        home = account && account->pw_dir && account->pw_dir[0] == '/' ? QFile::decodeName(account->pw_dir)
                                                                       : QStringLiteral("/root");
    }
    // QFileDialog keeps its recent folders in Qt's user settings, written as
    // the dialog goes: a root-owned ~/.config of the user's would keep the
    // user's own programs from saving theirs.
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, home + QStringLiteral("/.config"));
    // GStreamer (the camera service) keeps its registry there, found through
    // this or else HOME. The tools run as root inherit it too; those run as
    // the user through sudo do not.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home + QStringLiteral("/.cache")));
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    return home;
}

namespace {
QtMessageHandler beforeRuntimeFilter = nullptr;

bool isRuntimeFolderNotice(const QString& message) {
    return message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")) ||
           message.startsWith(QLatin1String("QStandardPaths: runtime directory ")) ||
           message.startsWith(QLatin1String("QStandardPaths: wrong permissions on runtime directory "));
}

void filterRuntimeFolderNotice(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && isRuntimeFolderNotice(message)) {
        qCDebug(lcStartup).noquote() << message;
        return;
    }
    if (beforeRuntimeFilter)
        beforeRuntimeFilter(type, context, message);
    else
        qt_message_output(type, context, message);
}
} // namespace

void quietRuntimeFolderNotice() {
    static std::once_flag once;
    std::call_once(once, [] { beforeRuntimeFilter = qInstallMessageHandler(filterRuntimeFolderNotice); });
}

QString interfaceLocaleName() {
    QString name = qEnvironmentVariable("APP_LOCALE");
    if (name.isEmpty())
        name = QLocale::system().name();
    return name;
}

bool tryLoadTranslation(QTranslator& translator, const QString& dir, const QString& localeName) {
    const QString path = dir + QStringLiteral("/tessmar_") + localeName + QStringLiteral(".qm");
    qCDebug(lcStartup) << "Trying:" << path;
    return translator.load(path);
}

bool loadProgramTranslation(QTranslator& translator, const QString& programDir, const QString& localeName) {
    const QString language = localeName.section(QLatin1Char('_'), 0, 0);
    if (tryLoadTranslation(translator, programDir, localeName) ||
        tryLoadTranslation(translator, programDir, language)) {
        qCDebug(lcStartup) << "Loaded translation from DEV path";
        return true;
    }
    if (tryLoadTranslation(translator, systemTranslationsDir, localeName) ||
        tryLoadTranslation(translator, systemTranslationsDir, language)) {
        qCDebug(lcStartup) << "Loaded translation from SYSTEM path";
        return true;
    }
    qCDebug(lcStartup) << "No translation file found for" << localeName << "or" << language
                       << "- using default English.";
    return false;
}

bool loadQtTranslation(QTranslator& translator, const QString& localeName) {
    if (translator.load(QLocale(), QStringLiteral("qt"), QStringLiteral("_"),
                        QLibraryInfo::location(QLibraryInfo::TranslationsPath))) {
        qCDebug(lcStartup) << "Loaded Qt standard translations for locale:" << localeName;
        return true;
    }
    qCDebug(lcStartup) << "Failed to load Qt standard translations for locale:" << localeName;
    return false;
}

void registerSharedMetaTypes() {
    qRegisterMetaType<DetailsProcess>("DetailsProcess");
    qRegisterMetaType<QList<DetailsProcess>>("QList<DetailProcess>");
    qRegisterMetaType<DetailsService>("DetailsService");
    qRegisterMetaType<QList<DetailsService>>("QList<DetailsService>");
    qRegisterMetaType<DetailsCronJob>("DetailsCronJob");
    qRegisterMetaType<QList<DetailsCronJob>>("QList<DetailsCronJob>");
    qRegisterMetaType<DetailsUser>("DetailsUser");
    qRegisterMetaType<QList<DetailsUser>>("QList<DetailsUser>");
    qRegisterMetaType<UserPicture>("UserPicture");
    qRegisterMetaType<DetailsLogsSysLog>("DetailLogsSysLog");
    qRegisterMetaType<QList<DetailsLogsSysLog>>("QList<DetailsLogsSysLog>");
    qRegisterMetaType<DetailsLogsAuthLog>("DetailLogsAuthLog");
    qRegisterMetaType<QList<DetailsLogsAuthLog>>("QList<DetailsLogsAuthLog>");
    qRegisterMetaType<DetailsLogsKernLog>("DetailLogsKernLog");
    qRegisterMetaType<QList<DetailsLogsKernLog>>("QList<DetailsLogsKernLog>");
    qRegisterMetaType<DetailsLogsDmesgLog>("DetailLogsDmesgLog");
    qRegisterMetaType<QList<DetailsLogsDmesgLog>>("QList<DetailsLogsDmesgLog>");
    qRegisterMetaType<DetailsLogsBootLog>("DetailLogsBootLog");
    qRegisterMetaType<QList<DetailsLogsBootLog>>("QList<DetailsLogsBootLog>");
    qRegisterMetaType<DetailsLogsFailLog>("DetailLogsFailLog");
    qRegisterMetaType<QList<DetailsLogsFailLog>>("QList<DetailsLogsFailLog>");
    qRegisterMetaType<DetailsLogsDpkgLog>("DetailLogsDpkgLog");
    qRegisterMetaType<QList<DetailsLogsDpkgLog>>("QList<DetailsLogsDpkgLog>");
    qRegisterMetaType<DetailsLogsFlatpakLog>("DetailLogsFlatpakLog");
    qRegisterMetaType<QList<DetailsLogsFlatpakLog>>("QList<DetailsLogsFlatpakLog>");
    qRegisterMetaType<PacketInfo>("PacketInfo");
}

bool xDisplayAvailable() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb"))
        return true;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XCloseDisplay(display);
    return true;
}

void useRasterWindowsOnly() {
    QCoreApplication::setAttribute(Qt::AA_ForceRasterWidgets);
}

QString chooseIconThemeFallback() {
    const auto installed = [](const QString& theme) {
        const QStringList folders = QIcon::themeSearchPaths();
        return std::any_of(folders.begin(), folders.end(), [&theme](const QString& folder) {
            return QFileInfo::exists(folder + QLatin1Char('/') + theme + QStringLiteral("/index.theme"));
        });
    };
    if (installed(QIcon::themeName()))
        return QString();
    for (const QString& theme : {QStringLiteral("Adwaita"), QStringLiteral("hicolor")}) {
        if (installed(theme)) {
            QIcon::setFallbackThemeName(theme);
            qCDebug(lcStartup) << "Icon theme" << QIcon::themeName() << "is not installed; using" << theme;
            return theme;
        }
    }
    return QString();
}

namespace {
// Written by the signal handler, read by the event loop: the only safe way
// out of a handler is a write to a file descriptor.
int quitSignalPipe[2] = {-1, -1};

// Read by the quit watchdog, which waits on it from the start.
int watchdogPipe[2] = {-1, -1};
int watchdogLimitMs = 0;

// Safe in a signal handler.
void armQuitWatchdog() {
    if (watchdogPipe[1] < 0)
        return;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(watchdogPipe[1], &byte, 1);
}

void onQuitSignal(int) {
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(quitSignalPipe[1], &byte, 1);
    armQuitWatchdog();
    errno = savedErrno;
}

// The last resort of a quit: only system calls, on a thread of its own that
// holds no lock and touches nothing of the program's.
void* runQuitWatchdog(void*) {
    char byte = 0;
    while (::read(watchdogPipe[0], &byte, 1) < 0 && errno == EINTR) {
    }
    timespec limit{};
    ::clock_gettime(CLOCK_MONOTONIC, &limit);
    limit.tv_sec += watchdogLimitMs / 1000;
    limit.tv_nsec += long(watchdogLimitMs % 1000) * 1000000L;
    if (limit.tv_nsec >= 1000000000L) {
        limit.tv_sec += 1;
        limit.tv_nsec -= 1000000000L;
    }
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &limit, nullptr) == EINTR) {
    }
    static const char message[] = "Quitting took too long; the program ends now.\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, message, sizeof message - 1);
    ::_exit(0);
}
} // namespace

void startQuitWatchdog(int exitWithinMs) {
    if (watchdogPipe[0] >= 0 || ::pipe2(watchdogPipe, O_CLOEXEC) != 0)
        return;
    watchdogLimitMs = exitWithinMs;
    // Signals stay with the other threads.
    sigset_t all, previous;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    pthread_t watchdog;
    if (::pthread_create(&watchdog, nullptr, runQuitWatchdog, nullptr) == 0) {
        ::pthread_detach(watchdog);
    } else {
        ::close(watchdogPipe[0]);
        ::close(watchdogPipe[1]);
        watchdogPipe[0] = watchdogPipe[1] = -1;
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void boundQuitting(int stopsWithinMs) {
    WorkerThread::limitStopsTo(stopsWithinMs);
    armQuitWatchdog();
}

void requestQuit() {
    CommandRunner::abortAll();
    QCoreApplication::quit();
}

void installQuitHandling(QCoreApplication& app) {
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, [] { CommandRunner::abortAll(); });
    if (auto* gui = qobject_cast<QGuiApplication*>(&app)) {
        QObject::connect(gui, &QGuiApplication::lastWindowClosed, gui, [] {
            if (QGuiApplication::quitOnLastWindowClosed())
                CommandRunner::abortAll();
        });
    }
    if (quitSignalPipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, quitSignalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(quitSignalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t read = ::read(quitSignalPipe[0], &byte, 1);
        qCDebug(lcStartup) << "Quit signal received";
        requestQuit();
    });
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signalNumber, &action, nullptr);
}
