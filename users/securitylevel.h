#pragma once

#include <QString>

// The program's security level of an account, kept in its per-user settings
// file (ProgramSettings::filePath): 0 lets the account do administrative
// work without a password, 1 and 2 ask for it. A missing, unreadable or
// malformed level reads as the highest, 2.
namespace SecurityLevel {

constexpr int highest = 2;

// The level of the invoking account (SUDO_USER); creates the settings folder
// and the account's file (at level 2) when they are missing.
int ofInvokingUser();
// The level of any account; never creates anything.
int ofAccount(const QString& username);

// The settings file of an account as text; empty (*ok false) when the name
// could not be an account's or the file cannot be read. A link in its place
// is not followed.
QString settingsText(const QString& username, bool* ok = nullptr);
// True when the settings folder exists or was made with its parents.
bool ensureSettingsFolder();

} // namespace SecurityLevel
