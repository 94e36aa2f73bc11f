#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <sys/types.h>

// Writing and reading files as root without trusting the folders they sit in.
namespace RootFiles {

// Replaces path atomically: a hidden temporary beside it (its name holds a
// '.', which sudo's include folder skips), written with mode and owned by
// root, then renamed over path. check, when given, sees the temporary's path
// before the rename; false keeps path as it was.
bool writeAtomically(const QString& path, const QByteArray& data, mode_t mode, QString* error = nullptr,
                     const std::function<bool(const QString&)>& check = {});

// Removes path (never a folder); true when it is gone afterwards.
bool removeFile(const QString& path, QString* error = nullptr);

// Writes fileName into the home folder home of the account uid:gid. The
// folder is opened once without following a symlink and must belong to the
// account or root; the file is created new beside the target (O_EXCL,
// O_NOFOLLOW), handed to the account with fchown, and renamed over the
// target, so a symlink the owner planted is replaced, never followed.
bool writeIntoHome(const QString& home, uid_t uid, gid_t gid, const QString& fileName, const QByteArray& data,
                   QString* error = nullptr);

// Owner argument of readSmallFile for a file anybody may own.
constexpr uid_t anyOwner = uid_t(-1);

// Reads a small file another user may control: only a regular file, not a
// symlink, owned by owner or root (or by anybody for anyOwner), of at most
// maxBytes. Anything else (a FIFO, a device, a huge file) gives false
// without blocking.
bool readSmallFile(const QString& path, uid_t owner, qint64 maxBytes, QByteArray* data);

// Whole text file, every byte counted (a NUL does not end it; a byte that is
// not UTF-8 becomes U+FFFD), or an empty string when it cannot be read.
QString readText(const QString& path, bool* ok = nullptr);

// Reads a text file that is about to be rewritten. True when it is missing
// (*exists false, empty text) or holds UTF-8 text without NUL bytes, which
// a rewrite gives back byte for byte. False, with error naming the file,
// when it cannot be read or holds other bytes: such a file is never rewritten.
bool readTextForRewrite(const QString& path, QString* text, QString* error, bool* exists = nullptr);

} // namespace RootFiles
