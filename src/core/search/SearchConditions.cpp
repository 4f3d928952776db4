#include "core/search/SearchConditions.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "core/catalog/ValueFunctions.h"

namespace melodrix {

namespace {

constexpr int64_t kJulianDayOfYearOne = 1721426;  // 0001-01-01 in the proleptic calendar
constexpr int kMaxYearDigits = 9;

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<int64_t> YearNumber(const QString& text) {
    bool ok = false;
    const QString trimmed = text.trimmed();
    const qlonglong year = trimmed.toLongLong(&ok);
    if (!ok || year < 0 || trimmed.size() > kMaxYearDigits) {
        return std::nullopt;
    }
    return year;
}

}  // namespace

int64_t MsecsOfDayStart(const QDate& day) {
    return (day.toJulianDay() - kJulianDayOfYearOne) * 86'400'000;
}

std::optional<uint64_t> ParseSizeText(const QString& text) {
    QString number = text.trimmed().toUpper();
    if (number.endsWith(QLatin1Char('B'))) {
        number.chop(1);
    }
    double unit = 1;
    if (!number.isEmpty()) {
        const QChar suffix = number.back();
        const int power = suffix == QLatin1Char('K')   ? 1
                          : suffix == QLatin1Char('M') ? 2
                          : suffix == QLatin1Char('G') ? 3
                          : suffix == QLatin1Char('T') ? 4
                                                       : 0;
        if (power > 0) {
            unit = std::pow(1024.0, power);
            number.chop(1);
        }
    }
    bool ok = false;
    const double value = number.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 0) {
        return std::nullopt;
    }
    const double bytes = std::floor(value * unit);
    if (bytes >= 18446744073709551615.0) {
        return std::numeric_limits<uint64_t>::max();
    }
    return static_cast<uint64_t>(bytes);
}

std::optional<TRange<int64_t>> ParseYearRange(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        return std::nullopt;
    }
    TRange<int64_t> range;
    const qsizetype dash = trimmed.indexOf(QLatin1Char('-'));
    if (dash < 0) {
        range.low = range.high = YearNumber(trimmed);
        return range.low ? std::optional(range) : std::nullopt;
    }
    const QString from = trimmed.left(dash).trimmed();
    const QString to = trimmed.mid(dash + 1).trimmed();
    if (from.isEmpty() && to.isEmpty()) {
        return std::nullopt;
    }
    if (!from.isEmpty() && !(range.low = YearNumber(from))) {
        return std::nullopt;
    }
    if (!to.isEmpty() && !(range.high = YearNumber(to))) {
        return std::nullopt;
    }
    if (range.low && range.high && *range.low > *range.high) {
        return std::nullopt;
    }
    return range;
}

std::optional<int64_t> YearOfText(std::string_view text) {
    text = TrimBlanks(text);
    int64_t year = 0;
    int digits = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || digits == kMaxYearDigits) {
            break;
        }
        year = year * 10 + (c - '0');
        ++digits;
    }
    return digits > 0 ? std::optional(year) : std::nullopt;
}

std::optional<int64_t> LeadingNumberOfText(std::string_view text) {
    text = TrimBlanks(text);
    constexpr int kMaxDigits = 18;
    int64_t number = 0;
    int digits = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        if (++digits > kMaxDigits) {
            return std::nullopt;
        }
        number = number * 10 + (c - '0');
    }
    return digits > 0 ? std::optional(number) : std::nullopt;
}

std::optional<int64_t> ParseDurationText(const QString& text) {
    const QStringList parts = text.trimmed().split(QLatin1Char(':'));
    if (parts.size() > 3) {
        return std::nullopt;
    }
    double seconds = 0;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        bool ok = false;
        const bool last = i + 1 == parts.size();
        // Only the seconds may have a fraction; minutes and seconds after a colon stay below 60.
        const double value = last ? parts[i].toDouble(&ok) : parts[i].toUInt(&ok);
        if (!ok || value < 0 || !std::isfinite(value) || (i > 0 && value >= 60) ||
            parts[i].trimmed() != parts[i] || parts[i].isEmpty()) {
            return std::nullopt;
        }
        seconds = seconds * 60 + value;
    }
    if (seconds > 1e12) {
        return std::nullopt;
    }
    return static_cast<int64_t>(std::llround(seconds * 1000));
}

std::optional<uint64_t> SizeOfText(std::string_view text) {
    const std::string_view trimmed = TrimBlanks(text);
    uint64_t size = 0;
    const char* end = trimmed.data() + trimmed.size();
    const auto [at, error] = std::from_chars(trimmed.data(), end, size);
    if (error == std::errc() && at == end) {
        return size;
    }
    if (error == std::errc::result_out_of_range && at == end) {
        return std::numeric_limits<uint64_t>::max();
    }
    // Sizes written by hand or by other programs may carry a fraction or an exponent.
    const std::optional<double> number = NumberOfText(trimmed);
    if (!number || !std::isfinite(*number) || *number < 0) {
        return std::nullopt;
    }
    if (*number >= 18446744073709551615.0) {
        return std::numeric_limits<uint64_t>::max();
    }
    return static_cast<uint64_t>(*number);
}

}  // namespace melodrix
