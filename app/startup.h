#pragma once

#include <QLoggingCategory>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <string>
#include <sys/types.h>
#include <vector>

Q_DECLARE_LOGGING_CATEGORY(lcStartup)

class QCoreApplication;
class QTranslator;

// Name of the single-instance local socket, and the root-only folder it lives in.
extern const QString instanceServerName;
extern const QString instanceFolder;

// What the launch contract asks of a start, decided before Qt exists.
enum class LaunchAction {
    Run,        // root with the user's environment (sudo -E), or a root login
    RefuseSudo, // root through plain sudo: HOME unset or /root (cleaned) while SUDO_USER is set
    ReExecute,  // a regular user: re-execute through "sudo -E tessmar"
};

LaunchAction decideLaunch(uid_t effectiveUid, const char* home, const char* sudoUser);

// "sudo", "-E", "tessmar", then argv[1..argc-1].
std::vector<std::string> sudoArguments(int argc, char** argv);

// The root banner; unset variables are printed as "(null)".
void printRootBanner(std::FILE* out, const char* display, const char* xauthority, const char* dbusAddress);

// With no session bus named in the environment, names one that nothing can
// connect to, so that no library starts a bus of its own for the program.
// Returns true when it did. Call before Qt and before any thread starts.
bool refuseSessionBusStart();

// The program runs as root with the invoking user's HOME and XDG folders,
// which it keeps for reading the user's desktop (GTK's settings and style
// sheet, icons) and for opening the file dialogs in the user's home. What
// Qt and the libraries it loads write for the program itself goes to root's
// own home folder instead (ownHome, root's home from the account database
// when empty): Qt's user settings (QFileDialog's recent folders) to its
// .config, the caches of the program and of the tools it runs (GStreamer's
// registry) to its .cache, and no file dialog is
// the desktop's own (GTK's keeps recent files and bookmarks in the user's
// home and its state in the user's dconf). Returns the folder used. Call
// before Qt and before any thread starts.
QString keepOwnFilesOutOfUserHome(const QString& ownHome = QString());

// Qt's notice that the runtime folder is missing or another account's
// (a root login has none; through sudo it is the invoking user's) becomes a
// debug line: the program keeps nothing there. Other messages pass on.
void quietRuntimeFolderNotice();

// Locale name for the interface: APP_LOCALE, else the system locale's name.
QString interfaceLocaleName();

bool tryLoadTranslation(QTranslator& translator, const QString& dir, const QString& localeName);

// Loads the program's catalogue from the first folder that has one; the
// caller installs it when this returns true.
bool loadProgramTranslation(QTranslator& translator, const QString& programDir, const QString& localeName);

// Loads Qt's own catalogue for the system locale.
bool loadQtTranslation(QTranslator& translator, const QString& localeName);

// Declares the records that cross threads to the meta-type system.
void registerSharedMetaTypes();

// True when the X display named by DISPLAY can be opened, or when Qt is told
// to use another platform than X11. Checked before Qt, which would abort.
bool xDisplayAvailable();

// Asks Qt, before the application object exists, to draw every window with
// its raster engine only. Qt's X11 platform would otherwise load the OpenGL
// stack for the first window it creates, which nothing here draws with: a
// large share of the start-up time and tens of megabytes of every run's memory.
void useRasterWindowsOnly();

// The theme the program asks for by name is often not installed; its icons
// then come from the first installed one of the desktop's usual themes, so
// that process rows, menu entries and windows still get icons. Call once the
// application object exists. Returns the fallback chosen, empty when the
// asked-for theme is installed or none of the others is.
QString chooseIconThemeFallback();

// Ends the event loop on SIGTERM, SIGINT and SIGHUP the way the Quit action
// does, and, as the program quits, ends every running external command, so
// that no worker keeps the program waiting.
void installQuitHandling(QCoreApplication& app);

// Starts the quit watchdog: once a quit begins (a termination signal, or
// boundQuitting), whatever still holds the program at exitWithinMs (a busy
// GUI thread, a read stuck in the kernel, a library's wait) is cut short
// there with exit status 0. For the program's main only.
void startQuitWatchdog(int exitWithinMs);

// As the event loop ends: worker threads get until stopsWithinMs to stop
// (a worker still busy is left to end with the process), and the watchdog
// starts counting.
void boundQuitting(int stopsWithinMs);

// Ends every running external command, then leaves the event loop: work
// that runs inside the loop (a long table fill) sees the abort and stops.
void requestQuit();
