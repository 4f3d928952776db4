#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalog/TimeFormat.h"

namespace melodrix {

// Reads date-time texts in the form DateTimeText writes them, fast enough to run once
// per item of a million-item sort. The locale's formats are compiled once; formats
// with day names fall back to the locale's own parser.
class TDateTimeParser {
public:
    // The current locale's format.
    TDateTimeParser();
    // Texts written in `format`, whatever the current locale is.
    explicit TDateTimeParser(const TTimeFormat& format);
    // Milliseconds of the wall-clock time since 0001-01-01, or nullopt when unreadable.
    std::optional<int64_t> ParseToMsecs(std::string_view text) const;
    // False when the locale's formats need the locale's own parser (day names).
    bool IsFast() const { return fast_; }

private:
    enum class TToken {
        Literal,
        Day,
        Month,
        MonthName,
        Year2,
        Year4,
        Hour24,
        Hour12,
        Minute,
        Second,
        AmPm
    };
    struct TPart {
        TToken token;
        std::string literal;  // for Literal
    };
    static bool Compile(const QString& format, std::vector<TPart>& parts);
    std::optional<int64_t> ParseWith(const std::vector<TPart>& parts, std::string_view text) const;
    std::optional<int64_t> ParseByLocale(std::string_view text) const;

    TTimeFormat format_;
    bool fast_ = false;
    std::vector<TPart> dateTime_;
    std::vector<TPart> dateOnly_;
    // The AM and PM texts as the locale has them, upper-cased and lower-cased.
    std::vector<std::string> am_;
    std::vector<std::string> pm_;
    // The month names of the locale (long and short, as written in a date and standing
    // alone), longest first so that "June" is not read as "Jun" and a trailing "e".
    std::vector<std::pair<std::string, int>> monthNames_;
    char32_t zero_ = U'0';  // the locale's zero digit; its nine successors follow it
};

// Reads the stored times of one catalog: in the format it records, or, for a catalog that
// records none, in the current locale's format and then in the common formats, each text in
// the first that reads it.
class TStoredTimeReader {
public:
    explicit TStoredTimeReader(const std::optional<TTimeFormat>& recorded);
    std::optional<int64_t> ParseToMsecs(std::string_view text) const;

private:
    std::vector<TDateTimeParser> parsers_;
};

}  // namespace melodrix
