#pragma once

#include "packettree.h"

#include <QString>
#include <sys/types.h>

// Writes the kept packets to a file in one of the three formats. The file
// is written atomically as root and handed to the user who started the
// program through sudo, so that it is theirs like any file they save.
namespace CaptureSaver {

enum class Format { Text, Csv, Pcap };

// The packets of the snapshot, group after group, as path. On failure
// returns false with a reason and leaves no file behind.
bool write(Format format, const QString& path, const CaptureSnapshot& snapshot, QString* error);

// The uid and primary gid of the user named in SUDO_USER; false when it
// is unset, empty or names no account.
bool invokingUser(uid_t& uid, gid_t& gid);

} // namespace CaptureSaver
