#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>
#include <string>
#include <sys/types.h>
#include <vector>

class QTranslator;

// Name of the single-instance local socket.
extern const QString instanceServerName;

// What the launch contract asks of a start, decided before Qt exists.
enum class LaunchAction {
    Run,        // root with the user's environment (sudo -E), or a root login
    RefuseSudo, // root through plain sudo: HOME unset or /root while SUDO_USER is set
    ReExecute,  // a regular user: re-execute through "sudo -E tessmar"
};

LaunchAction decideLaunch(uid_t effectiveUid, const char* home, const char* sudoUser);

// "sudo", "-E", "tessmar", then argv[1..argc-1].
std::vector<std::string> sudoArguments(int argc, char** argv);

// The root banner; unset variables are printed as "(null)".
void printRootBanner(std::FILE* out, const char* display, const char* xauthority, const char* dbusAddress);

// Locale name for the interface: APP_LOCALE, else the system locale's name.
QString interfaceLocaleName();

// Catalogue paths tried for a locale, in order: the program's folder with the
// full name, then the language part, then the same two in the system folder.
QStringList translationCandidates(const QString& programDir, const QString& systemDir,
                                  const QString& localeName);

bool tryLoadTranslation(QTranslator& translator, const QString& dir, const QString& localeName);

// Loads the program's catalogue from the first folder that has one; the
// caller installs it when this returns true.
bool loadProgramTranslation(QTranslator& translator, const QString& programDir, const QString& localeName);

// Loads Qt's own catalogue for the system locale.
bool loadQtTranslation(QTranslator& translator, const QString& localeName);

// Declares the records that cross threads to the meta-type system.
void registerSharedMetaTypes();
