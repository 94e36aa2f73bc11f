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

// Settings meant for Qt's own start-up only: X11's OpenGL set-up is skipped
// (everything is drawn with the raster engine, and it costs a large share of
// the start-up time) unless the user chose a setting. restore() puts the
// environment back as the program received it, so that no program it starts
// inherits the setting.
class StartupEnvironment {
public:
    StartupEnvironment();
    void restore();

private:
    bool setHere = false;
};

// Ends the event loop on SIGTERM, SIGINT and SIGHUP the way the Quit action
// does, and, as the program quits, ends every running external command, so
// that no worker keeps the program waiting.
void installQuitHandling(QCoreApplication& app);
