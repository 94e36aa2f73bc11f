#pragma once

#include <QString>

// The text files the account code reads as root: /etc/passwd, /etc/group,
// LightDM's configuration and the program's per-user settings. They are read
// through the safe reader (a regular file, never blocking, bounded) and
// decoded with their length, so a NUL byte hides none of what follows it.
namespace AccountText {

// Root's text files (passwd of a big site included) are far below this;
// a bigger file is not read at all.
constexpr qint64 maxBytes = 256 * 1024 * 1024;

// Whether a symbolic link at the path is followed: only in folders nobody
// but root can write to.
enum class Links { Follow, Refuse };

// The whole file, a byte that is not UTF-8 read as U+FFFD, or an empty
// string (and *ok false) when it cannot be read.
QString read(const QString& path, Links links, bool* ok = nullptr);

// A file about to be rewritten. True when it is missing (*exists false,
// empty text) or holds UTF-8 text without NUL bytes, which a rewrite gives
// back byte for byte. False, with error naming the file, when it cannot be
// read or holds other bytes: such a file is never rewritten.
bool readForRewrite(const QString& path, Links links, QString* text, QString* error, bool* exists = nullptr);

} // namespace AccountText
