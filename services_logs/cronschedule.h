#pragma once

#include <QString>
#include <QStringList>

// A crontab schedule ("@daily", or five time fields) as an English sentence,
// read the way cron reads it: "30 2 * * *" -> "Every day at 02:30",
// "*/5 9-17 * * mon-fri" -> "Every 5 minutes, 09:00-17:55, Mon-Fri".
// Fixed English, not translated.
QString scheduleToText(const QString& schedule);

// The sentence with what cron makes of the schedule's details: why it
// refuses a line it cannot read, or parts of a field that it ignores.
struct ScheduleReading {
    QString sentence;
    QStringList notes;
    bool runs = true; // false when cron refuses the line or it can never match
    QString refusal;  // why cron refuses the line; empty when it reads it
};
ScheduleReading readSchedule(const QString& schedule);
// Only why cron refuses a schedule, given as its words ("@daily", or the
// five fields), or nothing: without the sentence.
QString scheduleRefusal(const QStringList& fields);
// How cron reads one time field (0 the minute ... 4 the day of the week):
// why it refuses it, or nothing; and how many characters of the text its
// list takes (cron skips the rest).
struct ScheduleFieldReading {
    QString refusal;
    int listLength = 0;
};
ScheduleFieldReading readScheduleField(int field, const QString& text);
// "minute", "hour", "day of the month", "month" or "day of the week".
QString scheduleFieldName(int field);

// "st", "nd", "rd" or "th" for a day-of-month text: "1" -> "st", "11" -> "th".
QString ordinalSuffix(const QString& day);
