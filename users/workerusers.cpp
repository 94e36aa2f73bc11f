#include "workerusers.h"

#include "systempaths.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QTextStream>

namespace {
const QString settingsFolder = QStringLiteral("/root/.tessmar");
const QString securityLevelKey = QStringLiteral("security_level=");
constexpr int defaultSecurityLevel = 2;
} // namespace

WorkerUsers::WorkerUsers(QObject* parent) : QObject(parent) {
    qDebug() << "We are here in WorkerUsers!";
}

WorkerUsers::~WorkerUsers() = default;

bool WorkerUsers::ensureDirectoryExists(const QString& path) {
    QDir dir(path);
    return dir.exists() || dir.mkpath(QStringLiteral("."));
}

int WorkerUsers::getSudoUserSecurityLevel() {
    const QString userName = qEnvironmentVariable("SUDO_USER");
    if (userName.isEmpty()) {
        qDebug() << "Failed to determine username";
        return defaultSecurityLevel;
    }
    const QString folder = SystemPaths::path(settingsFolder);
    if (!ensureDirectoryExists(folder)) {
        qDebug() << "Failed to create directory:" << folder;
        return defaultSecurityLevel;
    }
    const QString path = folder + QStringLiteral("/settings_") + userName;
    QFile file(path);
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return defaultSecurityLevel;
        const QString firstLine = QTextStream(&file).readLine();
        if (!firstLine.contains(securityLevelKey))
            return defaultSecurityLevel;
        bool ok = false;
        const int level = firstLine.mid(securityLevelKey.size()).trimmed().toInt(&ok);
        return ok ? level : defaultSecurityLevel;
    }
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        qDebug() << "Failed to create settings file:" << path;
        return defaultSecurityLevel;
    }
    file.write("security_level=2\n");
    return defaultSecurityLevel;
}

void WorkerUsers::getUsers() {
    emit usersUpdated({});
}
