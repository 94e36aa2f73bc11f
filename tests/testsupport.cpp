#include "testsupport.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QProcess>

namespace TestSupport {

QString programPath() {
    return QStringLiteral(TESSMAR_BINARY);
}

QString testDataPath(const QString& relative) {
    return QStringLiteral(TESSMAR_TEST_DATA "/") + relative;
}

QString uniqueName(const QString& prefix) {
    static QAtomicInt counter;
    return QStringLiteral("%1%2x%3")
        .arg(prefix)
        .arg(QCoreApplication::applicationPid())
        .arg(counter.fetchAndAddRelaxed(1));
}

QStringList windowIdsWithTitle(const QString& title) {
    QProcess wmctrl;
    wmctrl.start(QStringLiteral("wmctrl"), {QStringLiteral("-l")});
    wmctrl.waitForFinished(5000);
    QStringList ids;
    const QStringList lines = QString::fromUtf8(wmctrl.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        // "0x01000003  0 host Title with blanks"
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() >= 4 && line.section(QLatin1Char(' '), 0, -1).endsWith(QLatin1Char(' ') + title) &&
            fields.mid(3).join(QLatin1Char(' ')) == title)
            ids << fields.at(0);
    }
    return ids;
}

} // namespace TestSupport
