#include "securitylevel.h"

#include "accountfiles.h"
#include "accounttext.h"
#include "programsettings.h"
#include "safefile.h"
#include "userslog.h"

#include <QDir>
#include <QFileInfo>

namespace SecurityLevel {

QString settingsText(const QString& username, bool* ok) {
    const QString path = ProgramSettings::filePath(username);
    if (path.isEmpty()) {
        if (ok)
            *ok = false;
        return QString();
    }
    return AccountText::read(path, AccountText::Links::Refuse, ok);
}

bool ensureSettingsFolder() {
    QDir folder(ProgramSettings::folder());
    return folder.exists() || folder.mkpath(QStringLiteral("."));
}

int ofInvokingUser() {
    const QString userName = qEnvironmentVariable("SUDO_USER");
    if (userName.isEmpty()) {
        qCDebug(lcUsers) << "Failed to determine username";
        return highest;
    }
    const QString path = ProgramSettings::filePath(userName);
    if (path.isEmpty()) {
        qCWarning(lcUsers) << "Refusing settings file for unusual user name:" << userName;
        return highest;
    }
    if (!ensureSettingsFolder()) {
        qCDebug(lcUsers) << "Failed to create directory:" << ProgramSettings::folder();
        return highest;
    }
    if (QFileInfo::exists(path)) {
        bool opened = false;
        const QString text = settingsText(userName, &opened);
        return opened ? AccountFiles::securityLevelFrom(text) : highest;
    }
    QString error;
    if (!SafeFile::write(path, "security_level=2\n", {}, &error))
        qCDebug(lcUsers) << "Failed to create settings file:" << path << error;
    return highest;
}

int ofAccount(const QString& username) {
    bool opened = false;
    const QString text = settingsText(username, &opened);
    if (!opened) {
        qCDebug(lcUsers)
            << "Defaulting to highest security level (2) due to read failure or malformed setting for user:"
            << username;
        return highest;
    }
    return AccountFiles::securityLevelFrom(text);
}

} // namespace SecurityLevel
