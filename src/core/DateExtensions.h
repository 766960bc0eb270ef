#pragma once
// The short time stamp of a history row. Any thread.

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <functional>

// Hours and minutes for a moment of today (local time), otherwise month, day, hours and minutes,
// ordered and separated after the user's locale.
QString displayLabel(const QDateTime &date);
// The same for a given locale and "today" (tests, and callers that format many rows).
QString displayLabel(const QDateTime &date, const QLocale &locale, const QDate &today);

// Where displayLabel(date) takes today from: the system's local date unless another source is set
// (tests; an empty function restores the system's). Any thread.
using CurrentDateSource = std::function<QDate()>;
void setCurrentDateSource(CurrentDateSource source);
