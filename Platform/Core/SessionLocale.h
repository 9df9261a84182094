#pragma once
// The formats of the session's language: one place for every grid, dialog,
// editor and listing, whatever the process's LANG says.
//
// - Russian (also without a language pack): Russian (Russia), dates
//   05.02.2024, numbers 125 400,00, times 14:07:09;
// - every other language: English (United States), dates 02/05/2024 (month
//   first, the year in four digits), numbers 125,400.00, times 2:07:09 PM.
#include "Core/PlatformExport.h"

#include <QLocale>
#include <QString>

// The locale of the user's application language.
PLATFORM_EXPORT QLocale SessionLocale();
// A locale's date format with two-digit day and month and a four-digit year.
PLATFORM_EXPORT QString DateFormatOf(const QLocale &locale);
// A locale's time format without a time zone (local wall-clock times).
PLATFORM_EXPORT QString TimeFormatOf(const QLocale &locale);
inline QString SessionDateFormat() { return DateFormatOf(SessionLocale()); }
inline QString SessionTimeFormat() { return TimeFormatOf(SessionLocale()); }
// A number as a user types it back: the session's decimal separator, no group
// separators, no exponent, no needless zeros ("100000", "48200,5").
PLATFORM_EXPORT QString PlainNumberText(double value, const QLocale &locale = SessionLocale());
