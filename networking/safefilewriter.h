#pragma once

#include <QByteArray>
#include <QString>
#include <sys/types.h>

// Writes a file as root for the invoking user without trusting the folder:
// the data goes to a new temporary file beside the target (O_EXCL and
// O_NOFOLLOW, so nothing planted there is followed), is handed to the user
// with fchown, synced, and renamed over the target, which replaces a symlink
// at the target's name instead of writing through it. Every write is
// checked; on any failure the temporary file is removed.
class SafeFileWriter {
public:
    SafeFileWriter() = default;
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    bool open(const QString& path);
    bool write(const QByteArray& bytes);
    // Hands the file to owner and group (unless -1), syncs and renames it into place.
    bool commit(uid_t owner = uid_t(-1), gid_t group = gid_t(-1));
    void discard();

    QString errorString() const { return error; }

    // The uid and primary gid of the user named in SUDO_USER; false when it
    // is unset, empty or names no account.
    static bool invokingUser(uid_t& uid, gid_t& gid);

private:
    bool fail(const QString& what, int errorNumber);

    int directoryFd = -1;
    int fd = -1;
    QByteArray temporaryName;
    QByteArray finalName;
    QString error;
};
