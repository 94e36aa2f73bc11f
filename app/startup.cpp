#include "startup.h"

#include "detailscronjob.h"
#include "detailslogs.h"
#include "detailsprocess.h"
#include "detailsservice.h"
#include "detailsuser.h"
#include "packetinfo.h"

#include <QDebug>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstring>

const QString instanceServerName = QStringLiteral("TessmarInstance");

namespace {
const QString systemTranslationsDir = QStringLiteral("/usr/share/tessmar/translations");

const char* orNull(const char* value) {
    return value ? value : "(null)";
}
} // namespace

LaunchAction decideLaunch(uid_t effectiveUid, const char* home, const char* sudoUser) {
    if (effectiveUid != 0)
        return LaunchAction::ReExecute;
    const bool rootHome = home == nullptr || std::strcmp(home, "/root") == 0;
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

QString interfaceLocaleName() {
    QString name = qEnvironmentVariable("APP_LOCALE");
    if (name.isEmpty())
        name = QLocale::system().name();
    return name;
}

QStringList translationCandidates(const QString& programDir, const QString& systemDir,
                                  const QString& localeName) {
    const QString language = localeName.section(QLatin1Char('_'), 0, 0);
    QStringList paths;
    for (const QString& dir : {programDir, systemDir}) {
        paths << dir + QStringLiteral("/tessmar_") + localeName + QStringLiteral(".qm");
        paths << dir + QStringLiteral("/tessmar_") + language + QStringLiteral(".qm");
    }
    return paths;
}

bool tryLoadTranslation(QTranslator& translator, const QString& dir, const QString& localeName) {
    const QString path = dir + QStringLiteral("/tessmar_") + localeName + QStringLiteral(".qm");
    qDebug() << "Trying:" << path;
    return translator.load(path);
}

bool loadProgramTranslation(QTranslator& translator, const QString& programDir, const QString& localeName) {
    const QString language = localeName.section(QLatin1Char('_'), 0, 0);
    if (tryLoadTranslation(translator, programDir, localeName) ||
        tryLoadTranslation(translator, programDir, language)) {
        qDebug() << "Loaded translation from DEV path";
        return true;
    }
    if (tryLoadTranslation(translator, systemTranslationsDir, localeName) ||
        tryLoadTranslation(translator, systemTranslationsDir, language)) {
        qDebug() << "Loaded translation from SYSTEM path";
        return true;
    }
    qDebug() << "No translation file found for" << localeName << "or" << language
             << "- using default English.";
    return false;
}

bool loadQtTranslation(QTranslator& translator, const QString& localeName) {
    if (translator.load(QLocale(), QStringLiteral("qt"), QStringLiteral("_"),
                        QLibraryInfo::location(QLibraryInfo::TranslationsPath))) {
        qDebug() << "Loaded Qt standard translations for locale:" << localeName;
        return true;
    }
    qDebug() << "Failed to load Qt standard translations for locale:" << localeName;
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
