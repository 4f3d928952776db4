#include "core/scan/ScanTimeTexts.h"

#include <QTime>

#include "core/catalog/ValueFunctions.h"

namespace melodrix {

namespace {

std::string Utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

qsizetype RepeatCount(const QString& format, qsizetype at) {
    qsizetype end = at + 1;
    while (end < format.size() && format.at(end) == format.at(at)) {
        ++end;
    }
    return end - at;
}

// The end of the quoted text that starts at `at` ('' inside stands for one quote).
qsizetype QuotedEnd(const QString& format, qsizetype at) {
    qsizetype i = at + 1;
    while (i < format.size()) {
        if (format.at(i) == QLatin1Char('\'')) {
            if (i + 1 < format.size() && format.at(i + 1) == QLatin1Char('\'')) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return format.size();
}

// Whether the format shows AM/PM, which turns its "h" into the 12-hour clock.
bool ShowsAmPm(const QString& format) {
    for (qsizetype i = 0; i < format.size();) {
        if (format.at(i) == QLatin1Char('\'')) {
            i = QuotedEnd(format, i);
            continue;
        }
        if (format.at(i).toLower() == QLatin1Char('a')) {
            return true;
        }
        ++i;
    }
    return false;
}

}  // namespace

TScanTimeTexts::TScanTimeTexts() : TScanTimeTexts(CurrentTimeFormat()) {}

TScanTimeTexts::TScanTimeTexts(const TTimeFormat& format)
    : locale_(format.Locale), dateFormat_(format.Date), timeFormat_(format.Time) {
    ReadSystemTimeZone();  // once for the scan: the zone as it is now
    composed_ = Compose();
}

bool TScanTimeTexts::Compose() {
    const bool twelveHours = ShowsAmPm(timeFormat_);
    const auto table = [&](int count, const QString& format, auto timeOf) {
        std::vector<std::string> texts;
        texts.reserve(static_cast<size_t>(count));
        for (int value = 0; value < count; ++value) {
            texts.push_back(Utf8(locale_.toString(timeOf(value), format)));
        }
        return texts;
    };
    for (qsizetype i = 0; i < timeFormat_.size();) {
        const QChar c = timeFormat_.at(i);
        if (c == QLatin1Char('\'')) {
            const qsizetype end = QuotedEnd(timeFormat_, i);
            tokens_.push_back({TPiece::Fixed,
                               Utf8(locale_.toString(QTime(0, 0), timeFormat_.mid(i, end - i))),
                               {}});
            i = end;
            continue;
        }
        qsizetype repeat = RepeatCount(timeFormat_, i);
        const char letter = c.toLatin1();
        if (letter == 'h' || letter == 'H' || letter == 'm' || letter == 's') {
            repeat = std::min<qsizetype>(repeat, 2);
            const QString format(repeat, c);
            if (letter == 'h') {
                // The hour of the 12-hour clock is the same digits as that hour of the 24-hour one.
                tokens_.push_back({TPiece::Hour, {}, table(24, format, [&](int hour) {
                                       const int shown = twelveHours && hour % 12 == 0 ? 12
                                                         : twelveHours                 ? hour % 12
                                                                                       : hour;
                                       return QTime(shown, 0);
                                   })});
            } else if (letter == 'H') {
                tokens_.push_back(
                    {TPiece::Hour, {}, table(24, format, [](int hour) { return QTime(hour, 0); })});
            } else if (letter == 'm') {
                tokens_.push_back({TPiece::Minute, {}, table(60, format, [](int minute) {
                                       return QTime(0, minute);
                                   })});
            } else {
                tokens_.push_back({TPiece::Second, {}, table(60, format, [](int second) {
                                       return QTime(0, 0, second);
                                   })});
            }
        } else if (letter == 'a' || letter == 'A') {
            repeat = 1;
            if (i + 1 < timeFormat_.size() && timeFormat_.at(i + 1).toLower() == QLatin1Char('p')) {
                repeat = 2;
            }
            tokens_.push_back({TPiece::AmPm, {}, table(2, timeFormat_.mid(i, repeat), [](int pm) {
                                   return QTime(pm * 12, 0);
                               })});
        } else if ((letter >= 'a' && letter <= 'z') || (letter >= 'A' && letter <= 'Z')) {
            return false;  // milliseconds, a zone or a letter of some other meaning
        } else {
            tokens_.push_back({TPiece::Fixed, Utf8(QString(repeat, c)), {}});
        }
        i += repeat;
    }
    // Taken apart right only when it gives what the locale gives, hour by hour.
    for (int hour = 0; hour < 24; ++hour) {
        for (const auto& [minute, second] : {std::pair{0, 0}, {7, 3}, {30, 45}, {59, 59}}) {
            std::string composed;
            AppendComposedTime(composed, hour, minute, second);
            if (composed != LocaleTime(hour, minute, second)) {
                tokens_.clear();
                return false;
            }
        }
    }
    return true;
}

void TScanTimeTexts::AppendComposedTime(std::string& text, int hour, int minute, int second) const {
    for (const TToken& token : tokens_) {
        switch (token.Piece) {
            case TPiece::Fixed:
                text += token.Fixed;
                break;
            case TPiece::Hour:
                text += token.ByValue[static_cast<size_t>(hour)];
                break;
            case TPiece::Minute:
                text += token.ByValue[static_cast<size_t>(minute)];
                break;
            case TPiece::Second:
                text += token.ByValue[static_cast<size_t>(second)];
                break;
            case TPiece::AmPm:
                text += token.ByValue[hour < 12 ? 0 : 1];
                break;
        }
    }
}

std::string TScanTimeTexts::LocaleTime(int hour, int minute, int second) const {
    return Utf8(locale_.toString(QTime(hour, minute, second), timeFormat_));
}

const std::string& TScanTimeTexts::Text(int64_t secs) {
    text_.clear();
    const std::optional<std::pair<QDate, QTime>> local = LocalDateAndTime(secs);
    if (!local) {
        return text_;
    }
    const auto& [date, clock] = *local;
    constexpr size_t kDaysKept = 1 << 14;  // a collection spans a few thousand days at most
    if (dates_.size() >= kDaysKept) {
        dates_.clear();
    }
    auto [day, added] = dates_.try_emplace(date.toJulianDay());
    if (added) {
        day->second = Utf8(locale_.toString(date, dateFormat_));
    }
    text_ = day->second;
    if (clock == QTime(0, 0)) {
        return text_;
    }
    text_ += ' ';
    if (composed_) {
        AppendComposedTime(text_, clock.hour(), clock.minute(), clock.second());
    } else {
        text_ += LocaleTime(clock.hour(), clock.minute(), clock.second());
    }
    return text_;
}

}  // namespace melodrix
