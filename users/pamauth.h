#pragma once

#include <QString>
#include <string>

class QWidget;
struct pam_message;
struct pam_response;

// Result codes of authenticateUser.
enum AuthenticationResult { AuthAccepted = 0, AuthRefused = 1, AuthConversationError = 2, AuthFailed = 3 };

// Checks user's password through PAM (service "common-auth", then the
// account check). Returns one of AuthenticationResult.
int authenticateUser(const std::string& username, const std::string& password);

// The PAM conversation: answers every hidden prompt with the password passed
// as appdata, and nothing else.
extern "C" int pamConversation(int count, const struct pam_message** messages,
                               struct pam_response** responses, void* appdata);

// Asks for the password of the person at the desktop; empty when cancelled.
std::string promptForPassword(QWidget* parent);

// The person who started the program: SUDO_USER, when the account database
// gives it the id in SUDO_UID. Empty otherwise, and authentication then fails.
QString invokingUserName();
