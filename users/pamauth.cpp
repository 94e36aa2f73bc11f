#include "pamauth.h"

#include "userslog.h"

#include <QCoreApplication>
#include <QInputDialog>
#include <QLineEdit>

#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <security/pam_appl.h>
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

int authenticateUser(const std::string& username, const std::string& password) {
    if (username.empty())
        return AuthFailed;
    struct pam_conv conversation = {pamConversation, const_cast<char*>(password.c_str())};
    pam_handle_t* handle = nullptr;
    int status = pam_start("common-auth", username.c_str(), &conversation, &handle);
    if (status != PAM_SUCCESS) {
        if (handle)
            pam_end(handle, status);
        return AuthFailed;
    }
    status = pam_authenticate(handle, 0);
    if (status == PAM_SUCCESS) {
        const int account = pam_acct_mgmt(handle, 0);
        pam_end(handle, account);
        return account == PAM_SUCCESS ? AuthAccepted : AuthRefused;
    }
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
    bool ok = false;
    const uint uid = uidText.toUInt(&ok);
    if (name.isEmpty() || !ok)
        return QString();
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwnam_r(name.constData(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        found->pw_uid != uid) {
        qCWarning(lcUsers) << "SUDO_USER and SUDO_UID do not name the same account";
        return QString();
    }
    return QString::fromLocal8Bit(name);
}
