#include "accounttext.h"

#include "safefile.h"

namespace {
SafeFile::Read readWhole(const QString& path, AccountText::Links links) {
    SafeFile::ReadRules rules;
    rules.maxBytes = AccountText::maxBytes;
    rules.followSymlinks = links == AccountText::Links::Follow;
    return SafeFile::read(path, rules);
}
} // namespace

namespace AccountText {

QString read(const QString& path, Links links, bool* ok) {
    const SafeFile::Read file = readWhole(path, links);
    const bool read = file.ok() && !file.truncated;
    if (ok)
        *ok = read;
    // The length is passed: QString::fromUtf8(QByteArray) stops at a NUL.
    return read ? QString::fromUtf8(file.data.constData(), file.data.size()) : QString();
}

bool readForRewrite(const QString& path, Links links, QString* text, QString* error, bool* exists) {
    text->clear();
    if (exists)
        *exists = true;
    const SafeFile::Read file = readWhole(path, links);
    if (file.status == SafeFile::Read::Missing) {
        if (exists)
            *exists = false;
        return true;
    }
    if (!file.ok() || file.truncated) {
        if (error)
            *error = QStringLiteral("%1 could not be read as a plain file.").arg(path);
        return false;
    }
    const QString decoded = QString::fromUtf8(file.data.constData(), file.data.size());
    if (file.data.contains('\0') || decoded.toUtf8() != file.data) {
        if (error)
            *error = QStringLiteral("%1 holds bytes that are not plain UTF-8 text (a NUL byte or "
                                    "another encoding); it was left unchanged.")
                         .arg(path);
        return false;
    }
    *text = decoded;
    return true;
}

} // namespace AccountText
