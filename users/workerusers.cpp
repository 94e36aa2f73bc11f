#include "workerusers.h"

#include "systempaths.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextStream>

namespace {
const QString settingsFolder = QStringLiteral("/root/.tessmar");
const QString securityLevelKey = QStringLiteral("security_level=");
constexpr int defaultSecurityLevel = 2;

// The name becomes part of a file path written as root, so only names a
// login could have are accepted: no '/', no "." or "..".
bool isPlainUserName(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9._-]*\\$?$"));
    return pattern.match(name).hasMatch();
}

QString settingsPath(const QString& userName) {
    return SystemPaths::path(settingsFolder) + QStringLiteral("/settings_") + userName;
}

QString readFirstLine(const QString& path, bool* ok) {
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly | QIODevice::Text);
    return *ok ? QTextStream(&file).readLine() : QString();
}
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
    if (!isPlainUserName(userName)) {
        qWarning() << "Refusing settings file for unusual user name:" << userName;
        return defaultSecurityLevel;
    }
    const QString folder = SystemPaths::path(settingsFolder);
    if (!ensureDirectoryExists(folder)) {
        qDebug() << "Failed to create directory:" << folder;
        return defaultSecurityLevel;
    }
    const QString path = settingsPath(userName);
    if (QFile::exists(path)) {
        bool opened = false;
        const QString firstLine = readFirstLine(path, &opened);
        if (!opened || !firstLine.contains(securityLevelKey))
            return defaultSecurityLevel;
        // Read from the key's length on, wherever the key stands: text before
        // it makes the conversion fail, which gives the safe default.
        bool ok = false;
        const int level = firstLine.mid(securityLevelKey.size()).trimmed().toInt(&ok);
        return ok ? level : defaultSecurityLevel;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text) || file.write("security_level=2\n") < 0 ||
        !file.commit()) {
        qDebug() << "Failed to create settings file:" << path;
        return defaultSecurityLevel;
    }
    return defaultSecurityLevel;
}

int WorkerUsers::getSecurityLevel(const DetailsUser& user) {
    static const QRegularExpression levelLine(QStringLiteral("^security_level=(\\d+)$"));
    bool opened = false;
    const QString firstLine =
        isPlainUserName(user.username) ? readFirstLine(settingsPath(user.username), &opened) : QString();
    const QRegularExpressionMatch match = levelLine.match(firstLine);
    bool ok = false;
    const int level = match.hasMatch() ? match.captured(1).toInt(&ok) : 0;
    if (!opened || !ok) {
        qDebug()
            << "Defaulting to highest security level (2) due to read failure or malformed setting for user:"
            << user.username;
        return defaultSecurityLevel;
    }
    return level;
}

void WorkerUsers::getUsers() {
    emit userListUpdated({});
}

void WorkerUsers::requestSetShowAllUsers(bool checked) {
    showAllUsers = checked;
    qDebug().noquote() << "Set the showAllUsers to:" << (checked ? "true" : "false");
    getUsers();
}
