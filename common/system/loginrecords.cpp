#include "loginrecords.h"

#include <QFile>
#include <cstring>
#include <utmp.h>

namespace LoginRecords {

QVector<Login> parse(const QByteArray& data) {
    QVector<Login> logins;
    constexpr int recordSize = int(sizeof(struct utmp));
    for (int offset = 0; offset + recordSize <= data.size(); offset += recordSize) {
        struct utmp record;
        std::memcpy(&record, data.constData() + offset, sizeof record);
        if (record.ut_type != USER_PROCESS || record.ut_user[0] == '\0')
            continue;
        const size_t length = strnlen(record.ut_user, sizeof record.ut_user);
        const QByteArray user(record.ut_user, int(length));
        logins.append({QString::fromLocal8Bit(user), qint64(record.ut_pid)});
    }
    return logins;
}

std::optional<QVector<Login>> read(const QString& path, const std::function<bool()>& stop) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Whole records per piece, so that none is split between two.
    constexpr qint64 piece = qint64(sizeof(struct utmp)) * 256;
    QVector<Login> logins;
    QByteArray buffer;
    for (qint64 done = 0; done < maxBytes;) {
        if (stop && stop())
            return std::nullopt;
        buffer.resize(int(qMin(piece, maxBytes - done)));
        const qint64 count = file.read(buffer.data(), buffer.size());
        if (count <= 0)
            break;
        buffer.resize(int(count));
        logins += parse(buffer);
        done += count;
        if (count % qint64(sizeof(struct utmp)) != 0)
            break;
    }
    return logins;
}

} // namespace LoginRecords
