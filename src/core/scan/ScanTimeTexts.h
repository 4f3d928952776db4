#pragma once

#include <QLocale>
#include <QString>
#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/catalog/TimeFormat.h"

namespace melodrix {

// Modification times as the catalog stores them (DateTimeText: the locale's short date with
// a four-digit year, a blank and its long time without zone; midnight without the time),
// made fast enough for a scan of many thousand files: the date text of each day is kept, and
// the time is put together from the locale's own texts for each hour, minute and second
// value. A time format whose pieces cannot be told apart in that way is formatted by the
// locale for every time, as before.
class TScanTimeTexts {
public:
    // In the current locale's format, or in `format`.
    TScanTimeTexts();
    explicit TScanTimeTexts(const TTimeFormat& format);

    // The text of a moment in seconds since 1970, in the time zone read when the object was
    // made; empty for a moment the system cannot convert. Valid until the next call.
    const std::string& Text(int64_t secs);

    // Whether the time format was taken apart (tests: every common locale should be).
    bool Composed() const { return composed_; }

private:
    // A piece of the time format: a fixed text, or one of the tables below.
    enum class TPiece : uint8_t { Fixed, Hour, Minute, Second, AmPm };
    struct TToken {
        TPiece Piece;
        std::string Fixed;                 // TPiece::Fixed
        std::vector<std::string> ByValue;  // the text of each value of the piece
    };

    bool Compose();
    void AppendComposedTime(std::string& text, int hour, int minute, int second) const;
    std::string LocaleTime(int hour, int minute, int second) const;

    QLocale locale_;
    QString dateFormat_;
    QString timeFormat_;
    bool composed_ = false;
    std::vector<TToken> tokens_;
    std::unordered_map<int64_t, std::string> dates_;  // by Julian day
    std::string text_;
};

}  // namespace melodrix
