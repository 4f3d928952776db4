#include "core/catalog/DateTimeParser.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>

#include "core/catalog/ValueFunctions.h"

namespace melodrix {

namespace {

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    // Counted from 0001-01-01 (the algorithm itself counts from 0000-03-01).
    return era * 146097 + static_cast<int64_t>(doe) - 306;
}

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (prefix.empty() || text.size() < prefix.size()) {
        return false;
    }
    return CompareTextIgnoringCase(text.substr(0, prefix.size()), prefix) == 0;
}

// The code point at text[pos] and its length in bytes; 0 with length 1 when malformed.
char32_t DecodeUtf8(std::string_view text, size_t pos, size_t& length) {
    const auto b0 = static_cast<unsigned char>(text[pos]);
    length = 1;
    if (b0 < 0x80) {
        return b0;
    }
    const size_t need = b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC0 ? 2 : 0;
    if (need == 0 || pos + need > text.size()) {
        return 0;
    }
    char32_t c = b0 & (0x7F >> need);
    for (size_t k = 1; k < need; ++k) {
        const auto b = static_cast<unsigned char>(text[pos + k]);
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        c = (c << 6) | (b & 0x3F);
    }
    length = need;
    return c;
}

}  // namespace

TDateTimeParser::TDateTimeParser() : TDateTimeParser(CurrentTimeFormat()) {}

TDateTimeParser::TDateTimeParser(const TTimeFormat& format) : format_(format) {
    const QLocale& locale = format_.Locale;
    for (const QString& text : {locale.amText(), locale.pmText()}) {
        std::vector<std::string>& variants = text == locale.amText() ? am_ : pm_;
        for (const QString& variant : {text, text.toUpper(), text.toLower()}) {
            if (!variant.isEmpty()) {
                variants.push_back(variant.toStdString());
            }
        }
    }
    for (int month = 1; month <= 12; ++month) {
        for (const QLocale::FormatType type : {QLocale::LongFormat, QLocale::ShortFormat}) {
            for (const QString& name :
                 {locale.monthName(month, type), locale.standaloneMonthName(month, type)}) {
                if (!name.isEmpty()) {
                    monthNames_.emplace_back(name.toStdString(), month);
                }
            }
        }
    }
    std::stable_sort(monthNames_.begin(), monthNames_.end(),
                     [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
    const QList<uint> zero = locale.zeroDigit().toUcs4();
    zero_ = zero.isEmpty() ? U'0' : static_cast<char32_t>(zero.front());
    fast_ = Compile(format_.Date + QLatin1Char(' ') + format_.Time, dateTime_) &&
            Compile(format_.Date, dateOnly_);
}

bool TDateTimeParser::Compile(const QString& format, std::vector<TPart>& parts) {
    parts.clear();
    qsizetype i = 0;
    auto appendLiteral = [&parts](const std::string& literal) {
        if (!parts.empty() && parts.back().token == TToken::Literal) {
            parts.back().literal += literal;
        } else {
            parts.push_back({TToken::Literal, literal});
        }
    };
    while (i < format.size()) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            // 'text' is literal text; '' is a quote, inside or outside quotes.
            QString literal;
            qsizetype j = i + 1;
            if (j < format.size() && format.at(j) == QLatin1Char('\'')) {
                literal = QStringLiteral("'");
                ++j;
            } else {
                while (j < format.size()) {
                    if (format.at(j) == QLatin1Char('\'')) {
                        if (j + 1 < format.size() && format.at(j + 1) == QLatin1Char('\'')) {
                            literal += QLatin1Char('\'');
                            j += 2;
                            continue;
                        }
                        ++j;
                        break;
                    }
                    literal += format.at(j++);
                }
            }
            appendLiteral(literal.toStdString());
            i = j;
            continue;
        }
        qsizetype run = 1;
        while (i + run < format.size() && format.at(i + run) == c) {
            ++run;
        }
        TToken token = TToken::Literal;
        switch (c.unicode()) {
            case 'd':
                if (run > 2)
                    return false;  // day names
                token = TToken::Day;
                break;
            case 'M':
                if (run > 4)
                    return false;
                token = run > 2 ? TToken::MonthName : TToken::Month;
                break;
            case 'y':
                if (run != 2 && run != 4)
                    return false;
                token = run == 2 ? TToken::Year2 : TToken::Year4;
                break;
            case 'H':
                token = TToken::Hour24;
                break;
            case 'h':
                token = TToken::Hour12;
                break;
            case 'm':
                token = TToken::Minute;
                break;
            case 's':
                token = TToken::Second;
                break;
            case 'A':
            case 'a':
                token = TToken::AmPm;
                run = (i + 1 < format.size() && (format.at(i + 1) == QLatin1Char('P') ||
                                                 format.at(i + 1) == QLatin1Char('p')))
                          ? 2
                          : 1;
                break;
            case 'z':
            case 't':
                return false;
            default:
                break;
        }
        if (token == TToken::Literal) {
            appendLiteral(QString(c).repeated(run).toStdString());
        } else {
            parts.push_back({token, {}});
        }
        i += run;
    }
    // Without an AM/PM marker "h" counts hours 0 to 23, as the locale writes them.
    const bool hasAmPm = std::any_of(parts.begin(), parts.end(),
                                     [](const TPart& part) { return part.token == TToken::AmPm; });
    if (!hasAmPm) {
        for (TPart& part : parts) {
            if (part.token == TToken::Hour12) {
                part.token = TToken::Hour24;
            }
        }
    }
    return true;
}

std::optional<int64_t> TDateTimeParser::ParseWith(const std::vector<TPart>& parts,
                                                  std::string_view text) const {
    int day = -1, month = -1, year = -1, hour = 0, minute = 0, second = 0;
    int pmState = -1;  // -1 none, 0 am, 1 pm
    bool hour12 = false;
    size_t pos = 0;
    // Digits are ASCII or the locale's own (written by Qt for such locales).
    auto readNumber = [&](size_t maxDigits, int& out) {
        size_t digits = 0;
        int value = 0;
        while (pos < text.size() && digits < maxDigits) {
            size_t length = 0;
            const char32_t c = DecodeUtf8(text, pos, length);
            int digit = -1;
            if (c >= U'0' && c <= U'9') {
                digit = static_cast<int>(c - U'0');
            } else if (c >= zero_ && c <= zero_ + 9) {
                digit = static_cast<int>(c - zero_);
            }
            if (digit < 0) {
                break;
            }
            value = value * 10 + digit;
            pos += length;
            ++digits;
        }
        out = value;
        return digits > 0;
    };
    for (const TPart& part : parts) {
        switch (part.token) {
            case TToken::Literal:
                if (text.substr(pos, part.literal.size()) != part.literal) {
                    return std::nullopt;
                }
                pos += part.literal.size();
                break;
            case TToken::Day:
                if (!readNumber(2, day))
                    return std::nullopt;
                break;
            case TToken::Month:
                if (!readNumber(2, month))
                    return std::nullopt;
                break;
            case TToken::MonthName: {
                const std::string_view rest = text.substr(pos);
                const auto name = std::find_if(
                    monthNames_.begin(), monthNames_.end(),
                    [&](const auto& entry) { return StartsWithIgnoringCase(rest, entry.first); });
                if (name == monthNames_.end()) {
                    return std::nullopt;
                }
                month = name->second;
                pos += name->first.size();
                break;
            }
            case TToken::Year2:
                if (!readNumber(2, year))
                    return std::nullopt;
                year += 1900;
                break;
            case TToken::Year4:
                if (!readNumber(4, year))
                    return std::nullopt;
                break;
            case TToken::Hour24:
                if (!readNumber(2, hour))
                    return std::nullopt;
                break;
            case TToken::Hour12:
                if (!readNumber(2, hour))
                    return std::nullopt;
                hour12 = true;
                break;
            case TToken::Minute:
                if (!readNumber(2, minute))
                    return std::nullopt;
                break;
            case TToken::Second:
                if (!readNumber(2, second))
                    return std::nullopt;
                break;
            case TToken::AmPm: {
                const std::string_view rest = text.substr(pos);
                auto match = [&](const std::vector<std::string>& variants) {
                    for (const std::string& variant : variants) {
                        if (StartsWithIgnoringCase(rest, variant)) {
                            pos += variant.size();
                            return true;
                        }
                    }
                    return false;
                };
                if (match(am_)) {
                    pmState = 0;
                } else if (match(pm_)) {
                    pmState = 1;
                } else {
                    return std::nullopt;
                }
                break;
            }
        }
    }
    if (pos != text.size() || day < 1 || month < 1 || month > 12 || year < 1) {
        return std::nullopt;
    }
    if (day > DaysInMonth(year, month)) {
        return std::nullopt;
    }
    if (hour12) {
        if (hour < 1 || hour > 12)
            return std::nullopt;
        if (pmState == 1 && hour != 12)
            hour += 12;
        if (pmState == 0 && hour == 12)
            hour = 0;
    }
    if (hour > 23 || minute > 59 || second > 59) {
        return std::nullopt;
    }
    const int64_t days =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return ((days * 24 + hour) * 60 + minute) * 60000 + second * 1000;
}

std::optional<int64_t> TDateTimeParser::ParseToMsecs(std::string_view text) const {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32)
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32)
        text.remove_suffix(1);
    if (text.empty()) {
        return std::nullopt;
    }
    if (fast_) {
        if (auto ms = ParseWith(dateTime_, text)) {
            return ms;
        }
        return ParseWith(dateOnly_, text);
    }
    return ParseByLocale(text);
}

std::optional<int64_t> TDateTimeParser::ParseByLocale(std::string_view text) const {
    const QString trimmed = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    QDateTime parsed =
        format_.Locale.toDateTime(trimmed, format_.Date + QLatin1Char(' ') + format_.Time);
    if (!parsed.isValid()) {
        const QDate date = format_.Locale.toDate(trimmed, format_.Date);
        if (!date.isValid()) {
            return std::nullopt;
        }
        parsed = QDateTime(date, QTime(0, 0));
    }
    const QDate d = parsed.date();
    const QTime t = parsed.time();
    const int64_t days =
        DaysFromCivil(d.year(), static_cast<unsigned>(d.month()), static_cast<unsigned>(d.day()));
    return days * 86400000 + t.msecsSinceStartOfDay();
}

TStoredTimeReader::TStoredTimeReader(const std::optional<TTimeFormat>& recorded) {
    if (recorded) {
        parsers_.emplace_back(*recorded);
        return;
    }
    const TTimeFormat current = CurrentTimeFormat();
    parsers_.emplace_back(current);
    for (const TTimeFormat& common : CommonTimeFormats()) {
        if (!(common == current)) {
            parsers_.emplace_back(common);
        }
    }
}

std::optional<int64_t> TStoredTimeReader::ParseToMsecs(std::string_view text) const {
    for (const TDateTimeParser& parser : parsers_) {
        if (const std::optional<int64_t> msecs = parser.ParseToMsecs(text)) {
            return msecs;
        }
    }
    return std::nullopt;
}

}  // namespace melodrix
