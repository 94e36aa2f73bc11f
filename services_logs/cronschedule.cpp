#include "cronschedule.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

QString padded(const QString& field) {
    return field == QLatin1String("*") ? field : field.rightJustified(2, QLatin1Char('0'));
}

// Each plain number of a comma list mapped to a name; ranges, steps, names
// and numbers without a name are left out.
QString nameList(const QString& field, const char* const names[], int count, int first, bool wrap) {
    QStringList shown;
    const QStringList pieces = field.split(QLatin1Char(','));
    for (const QString& piece : pieces) {
        bool ok = false;
        const int number = piece.toInt(&ok, 10);
        if (!ok || number < 0)
            continue;
        const int index = wrap ? number % count : number - first;
        if (index < 0 || index >= count)
            continue;
        shown << QString::fromLatin1(names[index]);
    }
    return shown.join(QStringLiteral(", "));
}

QString keywordText(const QString& keyword) {
    static const std::pair<const char*, const char*> keywords[] = {
        {"@reboot", "At system startup"},
        {"@yearly", "Every January 1st at 00:00"},
        {"@annually", "Every January 1st at 00:00"},
        {"@monthly", "Every 1st of the month at 06:52"},
        {"@weekly", "Every Sun at 06:47"},
        {"@daily", "Every day at 06:25"},
        {"@midnight", "Every day at 06:25"},
        {"@hourly", "Every hour at minute 00"}};
    for (const auto& [word, text] : keywords) {
        if (keyword == QLatin1String(word))
            return QString::fromLatin1(text);
    }
    return QStringLiteral("Custom schedule");
}

} // namespace

QString ordinalSuffix(const QString& day) {
    if (day.endsWith(QLatin1Char('1')) && !day.endsWith(QLatin1String("11")))
        return QStringLiteral("st");
    if (day.endsWith(QLatin1Char('2')) && !day.endsWith(QLatin1String("12")))
        return QStringLiteral("nd");
    if (day.endsWith(QLatin1Char('3')) && !day.endsWith(QLatin1String("13")))
        return QStringLiteral("rd");
    return QStringLiteral("th");
}

QString scheduleToText(const QString& schedule) {
    const QString trimmed = schedule.trimmed();
    if (trimmed.startsWith(QLatin1Char('@')))
        return keywordText(trimmed);

    static const QRegularExpression whitespace(QStringLiteral("\\s+"));
    const QStringList fields = trimmed.split(whitespace, Qt::SkipEmptyParts);
    if (fields.size() != 5)
        return QStringLiteral("Invalid");
    const QString& m = fields[0];
    const QString& h = fields[1];
    const QString& dom = fields[2];
    const QString& mon = fields[3];
    const QString& dow = fields[4];
    const auto isSet = [](const QString& field) { return field != QLatin1String("*"); };

    static const char* const dayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const monthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QString time = padded(h) + QLatin1Char(':') + padded(m);
    const QString days = nameList(dow, dayNames, 7, 0, true);
    const QString months = nameList(mon, monthNames, 12, 1, false);
    const QString dayOfMonth = dom + ordinalSuffix(dom);

    if (!isSet(m) && !isSet(h) && !isSet(dom) && !isSet(mon) && !isSet(dow))
        return QStringLiteral("Every minute");
    if (!isSet(h) && !isSet(dom) && !isSet(mon) && !isSet(dow))
        return QStringLiteral("Every hour at minute ") + padded(m);
    if (!isSet(dom) && !isSet(mon) && !isSet(dow))
        return QStringLiteral("Every day at ") + time;
    if (!isSet(dom) && !isSet(mon))
        return QStringLiteral("Every ") + days + QStringLiteral(" at ") + time;
    if (!isSet(mon) && !isSet(dow))
        return QStringLiteral("Every ") + dayOfMonth + QStringLiteral(" of the month at ") + time;
    if (isSet(dom) && isSet(mon) && !isSet(dow))
        return QStringLiteral("Every ") + dayOfMonth + QStringLiteral(" of ") + months +
               QStringLiteral(" at ") + time;

    QString text = QStringLiteral("Every ");
    bool appended = false;
    if (isSet(dow)) {
        text += days;
        appended = true;
    }
    if (isSet(dom)) {
        text += (appended ? QStringLiteral(" and ") : QString()) + dayOfMonth;
        appended = true;
    }
    if (isSet(mon))
        text += (appended ? QStringLiteral(" of ") : QString()) + months;
    return text + QStringLiteral(" at ") + time;
}
