#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/catalog/FileItem.h"

namespace melodrix {

// Text shown for a field in the content view and detail panel: FileSize as "%n KB",
// SizePercentage with "%", AudioDuration as DurationText, everything else as stored. Empty on
// any conversion failure; a duration that is no whole number shows as stored.
QString FieldDisplayText(int index, const TFileItem* item);
// A playing time to the nearest second: "h:mm:ss", or "m:ss" under an hour.
QString DurationText(int64_t milliseconds);

// True when the text is a floating-point number by the locale's rules: blanks around
// it, optional sign, digits, the locale's decimal separator, optional exponent.
bool IsNumberText(std::string_view text);
// The number of a text that IsNumberText accepts; nullopt otherwise.
std::optional<double> NumberOfText(std::string_view text);
// The same with the decimal separator given (DecimalSeparatorUtf8), for loops over many
// values that need not ask the locale each time.
std::optional<double> NumberOfText(std::string_view text, std::string_view decimal);
// The locale's decimal separator, UTF-8.
std::string DecimalSeparatorUtf8();
// 1 when a's number is greater than b's, otherwise -1 (never 0); non-numbers count as 0.
int CompareNumberText(std::string_view a, std::string_view b);

// -1 when a is empty; 1 when b is empty; 1 when either cannot be read; otherwise
// CompareTimestamps of the two times.
int CompareDateTimeText(std::string_view a, std::string_view b);
// Two moments counted in days: 0 when less than a millisecond apart, else 1 or -1.
int CompareTimestamps(double x, double y);
// Days since 1899-12-30 (the date-time serial the comparisons count in).
double DaysOf(const QDateTime& time);

// A time stamp as the locale's short date with a four-digit year, a blank and the
// locale's long time without zone; the time is left out at exactly midnight.
QString DateTimeText(const QDateTime& time);
// Reads a text written by DateTimeText back (either form); nullopt when unreadable.
std::optional<QDateTime> ParseDateTimeText(const QString& text);
// The same through the locale's own parser only, for formats the fast reader cannot take
// (month names, native digits, quoted literals).
std::optional<QDateTime> ParseDateTimeTextByLocale(const QString& text);

// The locale's formats used above, exposed for tests and the date-time parser.
QString DateFormatWithFullYear();
QString DateFormatWithFullYear(const QLocale& locale);

// The local date and time of a moment given in seconds since 1970, as
// QDateTime::fromSecsSinceEpoch(secs) gives them, but in the time zone ReadSystemTimeZone
// read last, not looking at the zone file again for every call (a system call per scanned
// file). Nothing for a moment the system cannot convert.
void ReadSystemTimeZone();
std::optional<std::pair<QDate, QTime>> LocalDateAndTime(int64_t secs);
QString TimeFormatWithoutZone();
QString TimeFormatWithoutZone(const QLocale& locale);

// The number with two decimals and "." as separator, halves rounded away from zero (0.125
// gives "0.13"), judged on the value as its 15 significant digits show it, so that the
// binary noise of a computed share does not turn a half into less than one.
std::string TwoDecimalsText(double value);

// Decimal texts in the locale's conventions.
QString PercentageText(double percentage);  // "0.00" pattern, no grouping
QString KilobyteText(double bytes);         // "%n KB": grouping, two decimals
QString ShortestNumberText(double value);   // plain integer for whole values
// PercentageText in UTF-8 with the separator given (DecimalSeparatorUtf8), for loops over many
// values that need not ask the locale each time.
std::string PercentageTextUtf8(double percentage, std::string_view decimal);

// ASCII-only upper-casing (letters a-z), as the comparisons and the search use.
std::string AsciiUpper(std::string_view text);
// Case-insensitive (A-Z folded) comparison of UTF-8 texts: <0, 0 or >0.
int CompareTextIgnoringCase(std::string_view a, std::string_view b);

}  // namespace melodrix
