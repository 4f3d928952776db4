#pragma once

#include <QDate>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/base/Errors.h"

namespace melodrix {

// How a text condition compares with a stored value.
enum class TTextMode {
    Contains,  // the text occurs in the value
    Whole,     // the value is the text (case ignored unless case-sensitive)
    Wildcard,  // the whole value fits the pattern: '*' any run of characters, '?' one character
    Regex,     // the regular expression matches somewhere in the value (RE2 syntax)
};

enum class TItemKind { Both, Files, Folders };

// A closed range; an open end is nothing.
template <typename T>
struct TRange {
    std::optional<T> low;
    std::optional<T> high;

    bool IsSet() const { return low || high; }
    bool Holds(T value) const { return (!low || value >= *low) && (!high || value <= *high); }
};

struct TTextCondition {
    int field;  // a field number of the catalog item
    std::string text;
};

// What a search asks for besides the record's FileName, FileExt and Description (which
// keep their place in the record). Left as constructed it is the plain search: contains,
// A-Z folded, files and folders alike.
struct TSearchOptions {
    bool caseSensitive = false;
    TTextMode mode = TTextMode::Contains;  // for every text condition, the record's included
    std::vector<TTextCondition> texts;     // tag fields, FullPath, DiskName, ...
    TRange<uint64_t> size;                 // FileSize in bytes
    TRange<int64_t> year;                  // MP3_Year read as a number
    TRange<int64_t> time;                  // FileTime, wall-clock ms since 0001-01-01
    TRange<int64_t> track;                 // MP3_Track's number ("3" of "3/12")
    TRange<int64_t> durationMs;            // AudioDuration
    TRange<int64_t> bitrate;               // AudioBitrate, kbit/s
    std::string codec;                     // AudioCodec exactly, A-Z folded; empty: any
    TItemKind kind = TItemKind::Both;
    // A catalog reached through a symbolic link is searched only when the link's target lies
    // in this folder (the library); empty: in the folder searched. A catalog scope given as
    // a link is searched wherever it leads unless this is set.
    QString linkRoot;
};

// A condition the search cannot use, such as a malformed regular expression. Raised before
// any catalog is read.
class TSearchConditionError : public TMelodrixError {
public:
    using TMelodrixError::TMelodrixError;
};

// The error of a regular expression as the search would report it; empty when it is valid.
QString RegexError(const std::string& pattern, bool caseSensitive);

// Wall-clock milliseconds since 0001-01-01 of the start of a day, the scale FileTime values
// are read in.
int64_t MsecsOfDayStart(const QDate& day);

// "10M", "700K", "1.5G", "123" (bytes); K, M and G count in 1024s. Nothing when unreadable.
std::optional<uint64_t> ParseSizeText(const QString& text);
// "1990-1999", "1994", "-1980", "2000-": inclusive; nothing when unreadable.
std::optional<TRange<int64_t>> ParseYearRange(const QString& text);
// The leading number of a stored year ("1994", " 1994-05-02"); nothing without digits.
std::optional<int64_t> YearOfText(std::string_view text);
// The whole number a stored value starts with after blanks (a track "3/12" gives 3, a playing
// time its milliseconds); nothing without digits or beyond 18 of them.
std::optional<int64_t> LeadingNumberOfText(std::string_view text);
// A playing time given as seconds ("95", "95.5"), "m:ss" or "h:mm:ss", in milliseconds;
// nothing when unreadable.
std::optional<int64_t> ParseDurationText(const QString& text);
// A stored size in bytes: the number, huge values saturating; nothing when not a number.
std::optional<uint64_t> SizeOfText(std::string_view text);

}  // namespace melodrix
