#include "programsettings.h"

#include "systempaths.h"

#include <QRegularExpression>

namespace ProgramSettings {

QString folder() {
    return SystemPaths::path(QStringLiteral("/root/.tessmar"));
}

QString filePath(const QString& userName) {
    // Any name the account database may list, upper case and a machine
    // account's trailing '$' included.
    static const QRegularExpression plainName(
        QRegularExpression::anchoredPattern(QStringLiteral("[A-Za-z0-9_][A-Za-z0-9._-]*\\$?")));
    if (!plainName.match(userName).hasMatch())
        return QString();
    return folder() + QStringLiteral("/settings_") + userName;
}

} // namespace ProgramSettings
