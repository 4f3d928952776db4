#pragma once

#include <QLocale>
#include <QString>
#include <optional>
#include <vector>

#include "core/catalog/CatalogAttributes.h"

namespace melodrix {

// How time texts are written (DateTimeText): the date format, a blank and the time format,
// the time left out at midnight, in the words of a locale (month names, AM/PM).
struct TTimeFormat {
    QLocale Locale;
    QString Date;  // a QLocale date format with a four-digit year, "dd/MM/yyyy"
    QString Time;  // a QLocale time format without zone, "HH:mm:ss"

    friend bool operator==(const TTimeFormat& a, const TTimeFormat& b) {
        return a.Locale.name() == b.Locale.name() && a.Date == b.Date && a.Time == b.Time;
    }
};

// The format of a locale; the current one is the default locale's, which DateTimeText and a
// scan write in.
TTimeFormat TimeFormatOf(const QLocale& locale);
TTimeFormat CurrentTimeFormat();

// The formats a text of a catalog that does not record its own may be in, after the current
// one: those of the C locale (what a job started without a locale writes), English (United
// States and United Kingdom), German, and ISO 8601.
const std::vector<TTimeFormat>& CommonTimeFormats();

// The format a catalog records for its times; nothing when it records none (or only part).
std::optional<TTimeFormat> RecordedTimeFormat(const TCatalogAttributes& attributes);
// Records the format, after the attributes already set.
void RecordTimeFormat(TCatalogAttributes& attributes, const TTimeFormat& format);
void ForgetTimeFormat(TCatalogAttributes& attributes);

}  // namespace melodrix
