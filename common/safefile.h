#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <sys/types.h>
#include <unistd.h>

// Reading and writing files as root in places other accounts may control.
//
// Reading: only a regular file is read, opened without blocking (a FIFO or a
// device in its place never stalls the caller), never more than a limit, and
// by default not through a symbolic link at the path. Where the file belongs
// to an account, the owner rule refuses one that belongs to anybody else.
//
// Writing: the folder is opened once, walked from / one name at a time; a
// symbolic link on the way is followed only when it and the folder holding
// it belong to root or to the new file's owner and nobody else may write to
// that folder (/var/run -> /run; a link the user made in their own home).
// The folder must belong to root or to the new file's owner, with no write
// access for others (a group other than root's or the file's counts as
// others) unless it has the sticky bit (/tmp), or to a system account (a uid
// below the first regular one) with no write access for group or others
// (Debian's polkit keeps its rules folder so); everything after goes
// through that folder's descriptor, so no path is looked up twice. The data
// goes into a new hidden temporary file there (created exclusively, never
// through a link), is handed to its owner, given its mode, synced, and
// renamed over the target: a reader sees the old file or the new one, never
// a part, and a link planted at the target is replaced, not followed. On any
// failure the temporary file is removed and the target stays as it was.
namespace SafeFile {

struct ReadRules {
    qint64 maxBytes = 1024 * 1024;
    // Only for folders nobody but root can write to.
    bool followSymlinks = false;
    // When set, the file must belong to this account or to root.
    std::optional<uid_t> owner;
};

struct Read {
    enum Status { Ok, Missing, Failed };
    Status status = Failed;
    QByteArray data;
    // More was there than maxBytes; data holds the first maxBytes.
    bool truncated = false;
    // errno of the call that failed; 0 when the file broke a rule.
    int errorNumber = 0;
    QString error;

    bool ok() const { return status == Ok; }
};

Read read(const QString& path, const ReadRules& rules = {});

struct WriteRules {
    mode_t mode = 0600;
    // The new file's owner and group; the program's own (root) by default.
    uid_t owner = ::geteuid();
    gid_t group = ::getegid();
    // Sees the finished temporary file before it replaces the target (a
    // syntax check, say); false keeps the target as it was.
    std::function<bool(const QString& temporaryPath)> check;
};

// A file written in pieces and put in place at once by commit(); the
// destructor discards one that was not committed.
class AtomicWriter {
public:
    explicit AtomicWriter(WriteRules rules = {});
    ~AtomicWriter();
    AtomicWriter(const AtomicWriter&) = delete;
    AtomicWriter& operator=(const AtomicWriter&) = delete;

    bool open(const QString& path);
    bool write(const QByteArray& bytes);
    bool commit();
    void discard();

    QString errorString() const { return error; }

private:
    bool fail(const QString& what, int errorNumber);

    WriteRules rules;
    QString folderPath;
    int folderFd = -1;
    int fd = -1;
    QByteArray temporaryName;
    QByteArray finalName;
    QString error;
};

// The whole of data as path, by the rules above.
bool write(const QString& path, const QByteArray& data, const WriteRules& rules = {},
           QString* error = nullptr);

// The first uid of regular accounts: UID_MIN of login.defs (read under
// SystemPaths), 1000 where it names none.
uid_t firstRegularUid();
// UID_MIN of a login.defs text; fallback when it names none.
uid_t firstRegularUidFrom(const QByteArray& loginDefs, uid_t fallback = 1000);

// Removes the file at path (never a folder; the folder is reached as for
// writing a file of root's); true when it is gone afterwards.
bool remove(const QString& path, QString* error = nullptr);

} // namespace SafeFile
