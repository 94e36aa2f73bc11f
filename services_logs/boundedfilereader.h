#pragma once

#include <QByteArray>
#include <QString>

// Reads a small file that someone else may have written, without ever
// blocking on a FIFO or device and without reading more than a limit.
struct BoundedFileRead {
    enum Status { Ok, Missing, Failed };
    Status status = Failed;
    QByteArray data;
    bool truncated = false; // more was there than the limit allowed
    int errorNumber = 0;    // errno of the failure
    QString error;
};

// Only regular files are read. With followSymlinks false a symbolic link at
// path is refused (O_NOFOLLOW), for folders other accounts can write to.
BoundedFileRead readBoundedRegularFile(const QString& path, qint64 maxBytes, bool followSymlinks);
