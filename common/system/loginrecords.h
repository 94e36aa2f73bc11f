#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>
#include <functional>
#include <optional>

// The login records of the utmp file (the C library's struct utmp, one
// after another), as the Overview and the Users page read them. The file is
// read in pieces and no further than maxBytes: a real one holds a few
// hundred records, and one grown (or made sparse) to gigabytes must not
// hold up a page.
namespace LoginRecords {

constexpr qint64 maxBytes = 16 * 1024 * 1024;

// One login: a user's process on a terminal or display.
struct Login {
    QString user;
    qint64 pid = 0;
};

// The user-process records of data; other record types, records without a
// user name and a partial record at the end are left out.
QVector<Login> parse(const QByteArray& data);

// The logins of the file at path, from its first maxBytes. Nothing when it
// cannot be opened, or when stop turns true between two pieces.
std::optional<QVector<Login>> read(const QString& path, const std::function<bool()>& stop = {});

} // namespace LoginRecords
