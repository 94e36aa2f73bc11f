#pragma once

#include <QString>

// One-line English descriptions of the accounts and groups a Debian system
// makes, for the user dialogs.
namespace AccountDescriptions {

// The description of a well-known system account; empty for any other.
QString ofAccount(const QString& username);
// The description of a group as the group dialog shows it.
QString ofGroup(const QString& name, int gid);

} // namespace AccountDescriptions
