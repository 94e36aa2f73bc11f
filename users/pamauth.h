#pragma once

#include <QString>
#include <string>

class QWidget;
struct pam_message;
struct pam_response;

// Result codes of authenticateUser.
enum AuthenticationResult { AuthAccepted = 0, AuthRefused = 1, AuthConversationError = 2, AuthFailed = 3 };

// Checks user's password through PAM (service "common-auth", then the
// account check). Returns one of AuthenticationResult; reason gets PAM's
// words for a failure.
int authenticateUser(const std::string& username, const std::string& password, QString* reason = nullptr);

// The PAM conversation: answers every hidden prompt with the password passed
// as appdata, and nothing else.
extern "C" int pamConversation(int count, const struct pam_message** messages,
                               struct pam_response** responses, void* appdata);

// Asks for the password of the person at the desktop; empty when cancelled.
std::string promptForPassword(QWidget* parent);

// The account that started the program, whose password approves changes:
// SUDO_USER, when the account database gives it the id in SUDO_UID; without
// SUDO_USER (a root login) the account of the process's own user id. Empty
// when SUDO_USER and SUDO_UID disagree: authentication then fails.
QString invokingUserName();

// Whether an account's password can be checked, judged from a shadow file's
// text: Locked for a password field that no password matches ("!..." or
// "*"), Unknown when the file does not list the account.
enum class PasswordState { Usable, Locked, Unknown };
PasswordState passwordStateFrom(const QString& shadowText, const QString& account);

// Why the password of the invoking account cannot be checked at all, in
// words for the administrator; empty when it can (or might: an account that
// /etc/shadow does not list may be checked by other PAM modules).
QString authenticationProblem();
