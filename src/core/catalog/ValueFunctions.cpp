#include "core/catalog/ValueFunctions.h"

#include <ctime>

#include "core/catalog/DateTimeParser.h"

#include <QLocale>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

namespace melodrix {

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char FoldAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

// The locale's decimal separator as UTF-8 in a small buffer, without a heap copy.
struct TSeparator {
    char bytes[12] = {};
    size_t size = 0;
    std::string_view View() const { return std::string_view(bytes, size); }
};

TSeparator DecimalSeparator() {
    TSeparator separator;
    const QString text = QLocale().decimalPoint();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (separator.size + 3 > sizeof separator.bytes) {
            break;
        }
        if (u < 0x80) {
            separator.bytes[separator.size++] = static_cast<char>(u);
        } else if (u < 0x800) {
            separator.bytes[separator.size++] = static_cast<char>(0xC0 | (u >> 6));
            separator.bytes[separator.size++] = static_cast<char>(0x80 | (u & 0x3F));
        } else {
            separator.bytes[separator.size++] = static_cast<char>(0xE0 | (u >> 12));
            separator.bytes[separator.size++] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            separator.bytes[separator.size++] = static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return separator;
}

std::optional<double> NumberOfText(std::string_view text) {
    return NumberOfText(text, DecimalSeparator().View());
}

std::string DecimalSeparatorUtf8() {
    return std::string(DecimalSeparator().View());
}

std::optional<double> NumberOfText(std::string_view text, std::string_view decimal) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    // Rebuild the number in the C form that from_chars reads, checking the grammar.
    std::string plain;
    size_t i = begin;
    if (i < end && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') {
            plain += '-';
        }
        ++i;
    }
    int digits = 0;
    while (i < end && IsDigit(text[i])) {
        plain += text[i++];
        ++digits;
    }
    if (!decimal.empty() && text.substr(i, decimal.size()) == decimal) {
        i += decimal.size();
        if (digits == 0) {
            plain += '0';
        }
        plain += '.';
        while (i < end && IsDigit(text[i])) {
            plain += text[i++];
            ++digits;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    if (i < end && (text[i] == 'e' || text[i] == 'E')) {
        plain += 'e';
        ++i;
        if (i < end && (text[i] == '+' || text[i] == '-')) {
            plain += text[i++];
        }
        int exponentDigits = 0;
        while (i < end && IsDigit(text[i])) {
            plain += text[i++];
            ++exponentDigits;
        }
        if (exponentDigits == 0) {
            return std::nullopt;
        }
    }
    if (i != end) {
        return std::nullopt;
    }
    double value = 0;
    const auto result = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Overflow gives an infinity of the right sign, underflow zero, as a float parser would.
        return plain.find("e-") != std::string::npos
                   ? 0.0
                   : (plain.starts_with('-') ? -HUGE_VAL : HUGE_VAL);
    }
    if (result.ec != std::errc()) {
        return std::nullopt;
    }
    return value;
}

bool IsNumberText(std::string_view text) {
    return NumberOfText(text).has_value();
}

int CompareNumberText(std::string_view a, std::string_view b) {
    const double x = NumberOfText(a).value_or(0.0);
    const double y = NumberOfText(b).value_or(0.0);
    return x > y ? 1 : -1;
}

int CompareTimestamps(double x, double y) {
    constexpr double kMillisecond = 1.0 / 86400000.0;
    if (std::fabs(x - y) < kMillisecond) {
        return 0;
    }
    return x > y ? 1 : -1;
}

double DaysOf(const QDateTime& time) {
    static const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
    QDateTime asUtc = time;
    // Local wall-clock time counts, as the stored texts carry no zone.
    asUtc.setTimeSpec(Qt::UTC);
    return static_cast<double>(epoch.msecsTo(asUtc)) / 86400000.0;
}

int CompareDateTimeText(std::string_view a, std::string_view b) {
    if (a.empty()) {
        return -1;
    }
    if (b.empty()) {
        return 1;
    }
    const TDateTimeParser parser;
    const auto x = parser.ParseToMsecs(a);
    const auto y = parser.ParseToMsecs(b);
    if (!x || !y) {
        return 1;
    }
    constexpr double kDay = 86400000.0;
    return CompareTimestamps(static_cast<double>(*x) / kDay, static_cast<double>(*y) / kDay);
}

QString DateFormatWithFullYear() {
    return DateFormatWithFullYear(QLocale());
}

QString DateFormatWithFullYear(const QLocale& locale) {
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy"))) {
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    }
    return format;
}

QString TimeFormatWithoutZone() {
    return TimeFormatWithoutZone(QLocale());
}

QString TimeFormatWithoutZone(const QLocale& locale) {
    // Drops the unquoted zone letters ("t", "tttt") with a bracket pair that only held them,
    // then the blanks left over; quoted literals stay as they are.
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString result;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
        } else if (!quoted && c == QLatin1Char('t')) {
            while (i + 1 < format.size() && format.at(i + 1) == QLatin1Char('t')) {
                ++i;
            }
            if (result.endsWith(QLatin1Char('(')) && i + 1 < format.size() &&
                format.at(i + 1) == QLatin1Char(')')) {
                result.chop(1);
                ++i;
            }
            continue;
        }
        result += c;
    }
    // A separator that only led to the zone goes with it ("h:mm:ss AP, t").
    while (!result.isEmpty() && (result.back().isSpace() || result.back() == QLatin1Char(','))) {
        result.chop(1);
    }
    result = result.trimmed();
    while (result.contains(QLatin1String("  "))) {
        result.replace(QLatin1String("  "), QLatin1String(" "));
    }
    return result;
}

QString DateTimeText(const QDateTime& time) {
    const QLocale locale;
    QString text = locale.toString(time.date(), DateFormatWithFullYear());
    if (time.time() != QTime(0, 0)) {
        text += QLatin1Char(' ') + locale.toString(time.time(), TimeFormatWithoutZone());
    }
    return text;
}

std::optional<QDateTime> ParseDateTimeText(const QString& text) {
    // One reader for every caller, so the sort and the comparison functions agree.
    const TDateTimeParser parser;
    const QByteArray utf8 = text.toUtf8();
    const auto ms =
        parser.ParseToMsecs(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
    if (!ms) {
        return std::nullopt;
    }
    constexpr int64_t kDay = 86400000;
    return QDateTime(QDate(1, 1, 1).addDays(*ms / kDay),
                     QTime::fromMSecsSinceStartOfDay(static_cast<int>(*ms % kDay)));
}

std::optional<QDateTime> ParseDateTimeTextByLocale(const QString& text) {
    const QLocale locale;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        return std::nullopt;
    }
    const QString dateFormat = DateFormatWithFullYear();
    QDateTime full =
        locale.toDateTime(trimmed, dateFormat + QLatin1Char(' ') + TimeFormatWithoutZone());
    if (full.isValid()) {
        return full;
    }
    const QDate date = locale.toDate(trimmed, dateFormat);
    if (date.isValid()) {
        return QDateTime(date, QTime(0, 0));
    }
    return std::nullopt;
}

std::string TwoDecimalsText(double value) {
    if (!std::isfinite(value)) {
        return std::to_string(value);
    }
    // 15 significant digits: "d.dddddddddddddde+XX", exactly as printf's "%.14e" gives them.
    std::array<char, 40> buffer{};
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                       std::fabs(value), std::chars_format::scientific, 14);
    const std::string_view scientific(buffer.data(),
                                      static_cast<size_t>(written.ptr - buffer.data()));
    const size_t e = scientific.find('e');
    std::array<char, 16> digits{};
    size_t count = 0;
    for (const char c : scientific.substr(0, e)) {
        if (IsDigit(c)) {
            digits[count++] = c;
        }
    }
    int exponent = 0;
    std::from_chars(scientific.data() + e + (scientific[e + 1] == '+' ? 2 : 1),
                    scientific.data() + scientific.size(), exponent);
    // Digits before the point are exponent + 1; keep two after it.
    const int keep = exponent + 3;
    std::string kept;
    if (keep >= 0 && keep <= static_cast<int>(count)) {
        kept.assign(digits.data(), static_cast<size_t>(keep));
        if (keep < static_cast<int>(count) && digits[static_cast<size_t>(keep)] >= '5') {
            int i = keep - 1;
            for (; i >= 0 && kept[static_cast<size_t>(i)] == '9'; --i) {
                kept[static_cast<size_t>(i)] = '0';
            }
            if (i >= 0) {
                ++kept[static_cast<size_t>(i)];
            } else {
                kept.insert(kept.begin(), '1');
            }
        }
    } else if (keep > static_cast<int>(count)) {
        kept.assign(digits.data(), count);
        kept.append(static_cast<size_t>(keep) - count, '0');
    }
    if (kept.size() < 3) {
        kept.insert(0, 3 - kept.size(), '0');
    }
    const bool negative = value < 0 && kept.find_first_not_of('0') != std::string::npos;
    // Built by appending: GCC 12 warns (wrongly) about the same text made with operator+.
    std::string text = negative ? "-" : "";
    text.append(kept, 0, kept.size() - 2);
    text += '.';
    text.append(kept, kept.size() - 2, 2);
    return text;
}

std::string PercentageTextUtf8(double percentage, std::string_view decimal) {
    std::string text = TwoDecimalsText(percentage);
    const size_t dot = text.find('.');
    if (dot != std::string::npos) {
        text.replace(dot, 1, decimal);
    }
    return text;
}

QString PercentageText(double percentage) {
    return QString::fromStdString(PercentageTextUtf8(percentage, DecimalSeparatorUtf8()));
}

QString KilobyteText(double bytes) {
    QLocale locale;
    locale.setNumberOptions(QLocale::DefaultNumberOptions);
    return locale.toString(bytes / 1024.0, 'f', 2) + QLatin1String(" KB");
}

QString ShortestNumberText(double value) {
    if (std::fabs(value) < 1e15 && value == std::floor(value)) {
        return QString::number(static_cast<long long>(value));
    }
    return QString::number(value, 'g', 15);
}

QString DurationText(int64_t milliseconds) {
    const int64_t seconds = (std::max<int64_t>(milliseconds, 0) + 500) / 1000;
    const int64_t hours = seconds / 3600, minutes = seconds / 60 % 60, rest = seconds % 60;
    const QLatin1Char zero('0');
    if (hours == 0) {
        return QStringLiteral("%1:%2").arg(minutes).arg(rest, 2, 10, zero);
    }
    return QStringLiteral("%1:%2:%3").arg(hours).arg(minutes, 2, 10, zero).arg(rest, 2, 10, zero);
}

QString FieldDisplayText(int index, const TFileItem* item) {
    if (!item) {
        return {};
    }
    const std::string_view value = item->Field(index);
    if (index == AudioDuration && !value.empty()) {
        int64_t milliseconds = 0;
        const auto [end, error] =
            std::from_chars(value.data(), value.data() + value.size(), milliseconds);
        if (error == std::errc() && end == value.data() + value.size()) {
            return DurationText(milliseconds);
        }
    }
    if (index == FileSize) {
        if (value.empty()) {
            return {};
        }
        const auto number = NumberOfText(value);
        return number ? KilobyteText(*number) : QString();
    }
    QString text = QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
    if (index == SizePercentage && !text.isEmpty()) {
        text += QLatin1Char('%');
    }
    return text;
}

std::string AsciiUpper(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        c = FoldAscii(c);
    }
    return result;
}

int CompareTextIgnoringCase(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(FoldAscii(a[i]));
        const auto y = static_cast<unsigned char>(FoldAscii(b[i]));
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

void ReadSystemTimeZone() {
#ifdef Q_OS_UNIX
    ::tzset();
#endif
}

std::optional<std::pair<QDate, QTime>> LocalDateAndTime(int64_t secs) {
#ifdef Q_OS_UNIX
    // Qt sets the zone from the system (tzset) before every conversion, and the C library
    // then looks at the zone file each time; localtime_r keeps the zone last read.
    const auto moment = static_cast<time_t>(secs);
    struct tm parts {};
    if (static_cast<int64_t>(moment) == secs && ::localtime_r(&moment, &parts)) {
        const QDate date(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday);
        const QTime clock(parts.tm_hour, parts.tm_min, parts.tm_sec);
        if (date.isValid() && clock.isValid()) {  // a leap second (:60) goes the long way
            return std::pair{date, clock};
        }
    }
#endif
    const QDateTime time = QDateTime::fromSecsSinceEpoch(secs);
    if (!time.isValid()) {
        return std::nullopt;
    }
    return std::pair{time.date(), time.time()};
}

}  // namespace melodrix
