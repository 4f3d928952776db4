#include "core/catalog/DateTimeParser.h"

#include <QLocale>

#include "core/catalog/ValueFunctions.h"

namespace melodrix {

namespace {

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe);
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

}  // namespace

TDateTimeParser::TDateTimeParser() {
    const QLocale locale;
    am_ = locale.amText().toStdString();
    pm_ = locale.pmText().toStdString();
    const QString date = DateFormatWithFullYear();
    const QString time = TimeFormatWithoutZone();
    fast_ = Compile(date + QLatin1Char(' ') + time, dateTime_) && Compile(date, dateOnly_);
}

bool TDateTimeParser::Compile(const QString& format, std::vector<TPart>& parts) {
    parts.clear();
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar c = format.at(i);
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
                if (run > 2)
                    return false;  // month names
                token = TToken::Month;
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
            case '\'':
                return false;  // quoted literals: leave to the locale's parser
            default:
                break;
        }
        if (token == TToken::Literal) {
            const std::string literal = QString(c).repeated(run).toStdString();
            if (!parts.empty() && parts.back().token == TToken::Literal) {
                parts.back().literal += literal;
            } else {
                parts.push_back({TToken::Literal, literal});
            }
        } else {
            parts.push_back({token, {}});
        }
        i += run;
    }
    return true;
}

std::optional<int64_t> TDateTimeParser::ParseWith(const std::vector<TPart>& parts,
                                                  std::string_view text) const {
    int day = -1, month = -1, year = -1, hour = 0, minute = 0, second = 0;
    int pmState = -1;  // -1 none, 0 am, 1 pm
    bool hour12 = false;
    size_t pos = 0;
    auto readNumber = [&](size_t maxDigits, int& out) {
        size_t digits = 0;
        int value = 0;
        while (pos < text.size() && digits < maxDigits && text[pos] >= '0' && text[pos] <= '9') {
            value = value * 10 + (text[pos] - '0');
            ++pos;
            ++digits;
        }
        out = value;
        return digits > 0;
    };
    for (const TPart& part : parts) {
        switch (part.token) {
            case TToken::Literal:
                // Blanks in the format match any run of blanks (narrow no-break spaces too).
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
                if (StartsWithIgnoringCase(rest, am_)) {
                    pmState = 0;
                    pos += am_.size();
                } else if (StartsWithIgnoringCase(rest, pm_)) {
                    pmState = 1;
                    pos += pm_.size();
                } else {
                    return std::nullopt;
                }
                break;
            }
        }
    }
    if (pos != text.size() || day < 1 || month < 1 || month > 12 || year < 0) {
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
    const auto parsed =
        ParseDateTimeText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    if (!parsed) {
        return std::nullopt;
    }
    const QDate d = parsed->date();
    const QTime t = parsed->time();
    const int64_t days =
        DaysFromCivil(d.year(), static_cast<unsigned>(d.month()), static_cast<unsigned>(d.day()));
    return days * 86400000 + t.msecsSinceStartOfDay();
}

}  // namespace melodrix
