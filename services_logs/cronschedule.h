#pragma once

#include <QString>

// A crontab schedule ("@daily", or five time fields) as an English sentence,
// e.g. "30 2 * * *" -> "Every day at 02:30". Fixed English, not translated.
QString scheduleToText(const QString& schedule);

// "st", "nd", "rd" or "th" for a day-of-month text: "1" -> "st", "11" -> "th".
QString ordinalSuffix(const QString& day);
