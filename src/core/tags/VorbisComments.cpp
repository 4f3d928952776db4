#include "core/tags/VorbisComments.h"

#include <algorithm>

#include "core/base/TextDecoding.h"

namespace melodrix {
namespace {

uint32_t LittleEndian32(const uint8_t* bytes) {
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
           uint32_t{bytes[3]} << 24;
}

bool SameKey(std::string_view key, std::string_view name) {
    return key.size() == name.size() &&
           std::equal(key.begin(), key.end(), name.begin(), [](char a, char b) {
               return (a >= 'a' && a <= 'z' ? char(a - 32) : a) == b;
           });
}

// The values of one list, gathered before they are stored, so a broken list changes nothing.
struct TGathered {
    std::string Title, Artist, Album, Date, Year, Comment, Description, Genre, Track;
    std::string TrackTotal, Disc, DiscTotal, AlbumArtist;

    void Add(std::string_view key, std::string_view value) {
        struct TTarget {
            std::string_view Key;
            std::string TGathered::*Field;
        };
        static constexpr TTarget kTargets[] = {{"TITLE", &TGathered::Title},
                                               {"ARTIST", &TGathered::Artist},
                                               {"ALBUM", &TGathered::Album},
                                               {"DATE", &TGathered::Date},
                                               {"YEAR", &TGathered::Year},
                                               {"COMMENT", &TGathered::Comment},
                                               {"DESCRIPTION", &TGathered::Description},
                                               {"GENRE", &TGathered::Genre},
                                               {"TRACKNUMBER", &TGathered::Track},
                                               {"TRACKTOTAL", &TGathered::TrackTotal},
                                               {"TOTALTRACKS", &TGathered::TrackTotal},
                                               {"DISCNUMBER", &TGathered::Disc},
                                               {"DISCTOTAL", &TGathered::DiscTotal},
                                               {"TOTALDISCS", &TGathered::DiscTotal},
                                               {"ALBUMARTIST", &TGathered::AlbumArtist},
                                               {"ALBUM ARTIST", &TGathered::AlbumArtist}};
        for (const TTarget& target : kTargets) {
            if (SameKey(key, target.Key)) {
                AppendJoined(this->*target.Field, SanitizeUtf8(value));
                return;
            }
        }
    }
};

// "3" and a total of "12" give "3/12", as the other tags write it; a number that has its
// total already, or a total without a number, is left as it is.
std::string WithTotal(std::string number, const std::string& total) {
    if (!number.empty() && !total.empty() && number.find('/') == std::string::npos) {
        number += '/';
        number += total;
    }
    return number;
}

}  // namespace

void AppendJoined(std::string& joined, std::string_view value) {
    if (value.empty()) {
        return;
    }
    if (!joined.empty()) {
        joined += "; ";
    }
    joined += value;
}

std::string YearOfDate(std::string_view date) {
    const bool digits = date.size() >= 4 && std::all_of(date.begin(), date.begin() + 4, [](char c) {
                            return c >= '0' && c <= '9';
                        });
    return std::string(digits ? date.substr(0, 4) : date);
}

bool ReadVorbisComments(std::span<const uint8_t> list, TTextTag& tag) {
    const auto take32 = [&list](uint32_t& value) {
        if (list.size() < 4) {
            return false;
        }
        value = LittleEndian32(list.data());
        list = list.subspan(4);
        return true;
    };
    uint32_t vendorSize = 0, count = 0;
    if (!take32(vendorSize) || vendorSize > list.size()) {
        return false;
    }
    list = list.subspan(vendorSize);
    // Every entry takes at least its four length bytes.
    if (!take32(count) || count > list.size() / 4) {
        return false;
    }
    TGathered gathered;
    for (uint32_t entry = 0; entry < count; ++entry) {
        uint32_t size = 0;
        if (!take32(size) || size > list.size()) {
            return false;
        }
        const std::string_view text(reinterpret_cast<const char*>(list.data()), size);
        list = list.subspan(size);
        const size_t equals = text.find('=');
        if (equals != std::string_view::npos) {
            gathered.Add(text.substr(0, equals), text.substr(equals + 1));
        }
    }
    tag.Title = std::move(gathered.Title);
    tag.Artist = std::move(gathered.Artist);
    tag.Album = std::move(gathered.Album);
    tag.Year = YearOfDate(gathered.Date.empty() ? gathered.Year : gathered.Date);
    tag.Comment = std::move(gathered.Comment.empty() ? gathered.Description : gathered.Comment);
    tag.Genre = std::move(gathered.Genre);
    if (!gathered.Track.empty()) {
        tag.Track = WithTotal(std::move(gathered.Track), gathered.TrackTotal);
    }
    tag.Disc = WithTotal(std::move(gathered.Disc), gathered.DiscTotal);
    tag.AlbumArtist = std::move(gathered.AlbumArtist);
    return true;
}

}  // namespace melodrix
