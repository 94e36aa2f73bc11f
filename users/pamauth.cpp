#include "pamauth.h"

#include "accounttext.h"
#include "displaytext.h"
#include "systempaths.h"
#include "userslog.h"

#include <QCoreApplication>
#include <QInputDialog>
#include <QLineEdit>

#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <security/pam_appl.h>
#include <unistd.h>
#include <vector>

extern "C" int pamConversation(int count, const struct pam_message** messages,
                               struct pam_response** responses, void* appdata) {
    if (count <= 0 || count > PAM_MAX_NUM_MSG || !messages || !responses)
        return PAM_CONV_ERR;
    auto* answers =
        static_cast<struct pam_response*>(std::calloc(size_t(count), sizeof(struct pam_response)));
    if (!answers)
        return PAM_BUF_ERR;
    const char* password = static_cast<const char*>(appdata);
    for (int i = 0; i < count; ++i) {
        if (messages[i]->msg_style != PAM_PROMPT_ECHO_OFF)
            continue;
        answers[i].resp = strdup(password ? password : "");
        if (!answers[i].resp) {
            for (int j = 0; j < i; ++j)
                std::free(answers[j].resp);
            std::free(answers);
            return PAM_BUF_ERR;
        }
    }
    *responses = answers;
    return PAM_SUCCESS;
}

int authenticateUser(const std::string& username, const std::string& password, QString* reason) {
    if (username.empty()) {
        if (reason)
            *reason = QCoreApplication::translate("DialogEditUser",
                                                  "The account that started the program is not known.");
        return AuthFailed;
    }
    struct pam_conv conversation = {pamConversation, const_cast<char*>(password.c_str())};
    pam_handle_t* handle = nullptr;
    int status = pam_start("common-auth", username.c_str(), &conversation, &handle);
    const auto explain = [&](int code) {
        if (reason)
            *reason = QString::fromLocal8Bit(pam_strerror(handle, code));
    };
    if (status != PAM_SUCCESS) {
        explain(status);
        if (handle)
            pam_end(handle, status);
        return AuthFailed;
    }
    status = pam_authenticate(handle, 0);
    if (status == PAM_SUCCESS) {
        const int account = pam_acct_mgmt(handle, 0);
        if (account != PAM_SUCCESS)
            explain(account);
        pam_end(handle, account);
        return account == PAM_SUCCESS ? AuthAccepted : AuthRefused;
    }
    explain(status);
    pam_end(handle, status);
    if (status == PAM_AUTH_ERR)
        return AuthRefused;
    if (status == PAM_CONV_ERR)
        return AuthConversationError;
    qCDebug(lcUsers) << "PAM failed:" << status;
    return AuthFailed;
}

std::string promptForPassword(QWidget* parent) {
    bool accepted = false;
    const QString text = QInputDialog::getText(
        parent, QCoreApplication::translate("DialogEditUser", "Authentication Required"),
        QCoreApplication::translate("DialogEditUser", "Please enter your password:"), QLineEdit::Password,
        QString(), &accepted);
    if (!accepted || text.isEmpty())
        return std::string();
    return text.toStdString();
}

QString invokingUserName() {
    const QByteArray name = qgetenv("SUDO_USER");
    const QByteArray uidText = qgetenv("SUDO_UID");
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (name.isEmpty()) {
        // Not started through sudo (the launch contract keys on SUDO_USER):
        // whoever logged in as root started it.
        if (getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found) {
            qCWarning(lcUsers) << "No account has the user id" << ::getuid();
            return QString();
        }
        return QString::fromLocal8Bit(found->pw_name);
    }
    bool ok = false;
    const uint uid = uidText.toUInt(&ok);
    if (!ok || getpwnam_r(name.constData(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        found->pw_uid != uid) {
        qCWarning(lcUsers) << "SUDO_USER and SUDO_UID do not name the same account";
        return QString();
    }
    return QString::fromLocal8Bit(name);
}

PasswordState passwordStateFrom(const QString& shadowText, const QString& account) {
    for (const QString& line : shadowText.split(QLatin1Char('\n'))) {
        const QStringList fields = line.split(QLatin1Char(':'));
        if (fields.size() < 2 || fields.at(0) != account)
            continue;
        // No hash starts with either: "!" locks a password, "*" never had one.
        const QString& hash = fields.at(1);
        return hash.startsWith(QLatin1Char('!')) || hash.startsWith(QLatin1Char('*')) ? PasswordState::Locked
                                                                                      : PasswordState::Usable;
    }
    return PasswordState::Unknown;
}

QString authenticationProblem() {
    const QString account = invokingUserName();
    if (account.isEmpty())
        return QCoreApplication::translate(
            "DialogEditUser",
            "Changes need the password of the account that started the program, but SUDO_USER and "
            "SUDO_UID do not name one account.\n\nStart the program again from your own account.");
    bool read = false;
    const QString shadow = AccountText::read(SystemPaths::path(QStringLiteral("/etc/shadow")),
                                             AccountText::Links::Follow, &read);
    if (read && passwordStateFrom(shadow, account) == PasswordState::Locked)
        return QCoreApplication::translate(
                   "DialogEditUser",
                   "Changes need the password of %1, the account that started the program, but %1 has no "
                   "password that can be checked: it is locked.\n\nGive %1 a password (passwd %1), or start "
                   "the program from an administrator's own account.")
            .arg(displaySafeText(account));
    return QString();
}
