#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/base/ByteScan.h"

namespace melodrix {

// Field numbers of a catalog item. The order is fixed: it is the attribute order of
// catalog files and the index used everywhere a field is addressed by number.
enum TField : int {
    FileName = 0,
    FullPath,
    FileSize,
    FileTime,
    FileExt,
    FileType,
    Description,
    FileNameLength,
    PathNameLength,
    SizePercentage,
    DiskName,
    MP3_Title,
    MP3_Artist,
    MP3_Album,
    MP3_Year,
    MP3_Comment,
    MP3_Genre,
    // What collectors ask of a music file beyond its six tag texts; after the first 17 so
    // that those keep their numbers.
    MP3_Track,        // "3", or "3/12" when the tag gives the total
    MP3_Disc,         // likewise
    MP3_AlbumArtist,  //
    AudioDuration,    // playing time in whole milliseconds; folders: the sum over their files
    AudioBitrate,     // average kbit/s
    AudioSampleRate,  // Hz
    AudioChannels,    //
    AudioCodec,       // "MP3", "FLAC", "Vorbis", "Opus", "AAC" or "ALAC"
    AudioMode,        // "CBR", "VBR" or "lossless"
    // The tag fields in which an MP3 file's ID3v1 and ID3v2 tags disagree ("Title, Year");
    // empty when the file lacks one of them or they agree. The catalog shows ID3v1's texts,
    // so this is the only trace of what the other tag says.
    ID3Mismatch,
};

inline constexpr int FieldCount = 27;
// The fields every catalog has had; the others are stored only where a music file gives them.
inline constexpr int BasicFieldCount = 17;

inline constexpr std::array<std::string_view, FieldCount> FieldNames = {
    "FileName",      "FullPath",     "FileSize",        "FileTime",       "FileExt",
    "FileType",      "Description",  "FileNameLength",  "PathNameLength", "SizePercentage",
    "DiskName",      "MP3_Title",    "MP3_Artist",      "MP3_Album",      "MP3_Year",
    "MP3_Comment",   "MP3_Genre",    "MP3_Track",       "MP3_Disc",       "MP3_AlbumArtist",
    "AudioDuration", "AudioBitrate", "AudioSampleRate", "AudioChannels",  "AudioCodec",
    "AudioMode",     "ID3Mismatch",
};

// The texts of an item in field order.
using TItemTexts = std::array<std::string_view, FieldCount>;

inline constexpr std::string_view DirectoryType = "directory";
inline constexpr std::string_view FileTypeFile = "file";

// The record behind every node of a catalog, library or result tree: two icon
// indices and FieldCount UTF-8 texts. A million of these must fit in less memory than the
// catalog file, so the texts share one heap block and an item without any text allocates
// nothing. The block starts with one length byte per field (255: the length follows as four
// bytes after the lengths), then the texts one after another: a field is found without reading
// the texts before it.
class TFileItem {
public:
    TFileItem() = default;
    TFileItem(const TFileItem& other);
    TFileItem& operator=(const TFileItem& other);
    TFileItem(TFileItem&&) noexcept = default;
    TFileItem& operator=(TFileItem&&) noexcept = default;

    int32_t OpenIconIndex = 0;
    int32_t IconIndex = 0;

    std::string_view Field(int index) const;
    // All texts in field order, read in one pass (cheaper than a Field call each).
    std::array<std::string_view, FieldCount> AllFields() const;
    // Stores the text; a NUL inside it is replaced by U+FFFD, as no catalog file can hold one.
    void SetField(int index, std::string_view text);
    // Sets a field to a text of the length it has already, in place and without allocating.
    // False, with nothing changed, when the lengths differ or the text holds a NUL.
    bool OverwriteField(int index, std::string_view text);
    // Replaces all texts at once (one allocation); missing entries are empty.
    void SetAllFields(const std::array<std::string_view, FieldCount>& texts);
    // The same for texts that hold no NUL, which the caller knows: the catalog reader's
    // values, which XML cannot carry a NUL in. Skips looking for one.
    void SetAllFieldsWithoutNul(const std::array<std::string_view, FieldCount>& texts);
    bool IsEmpty() const { return !block_; }
    // Bytes held on the heap for the texts, for memory accounting.
    size_t HeapBytes() const;

    bool IsDirectory() const;  // FileType is exactly "directory"
    bool IsFile() const;       // FileType is exactly "file"

    friend bool operator==(const TFileItem& a, const TFileItem& b);

private:
    friend void ClearFileItem(TFileItem& item);
    void Store(const std::array<std::string_view, FieldCount>& texts, bool mayHoldNul);

    std::unique_ptr<char[]> block_;
    uint32_t size_ = 0;
};

// Sets all text fields to empty.
void ClearFileItem(TFileItem& item);

// Index of the field whose name equals `name` exactly; 0 (FileName) when none does.
int FieldIndexOf(std::string_view name);

// Index of the field named `name`, or -1 when none is.
int FindFieldIndex(std::string_view name);

// FindFieldIndex for a stream of attribute names: stored attributes come in field order,
// so the search starts after the last match and usually finds the next name at once.
class TFieldNameMatcher {
public:
    int IndexOf(std::string_view name) {
        // The expected name first, inline: it is the one nearly every time.
        const int expected = next_;
        const std::string_view expectedName = FieldNames[static_cast<size_t>(expected)];
        if (bytescan::ShortEquals(expectedName, name)) {
            next_ = expected + 1 == FieldCount ? 0 : expected + 1;
            return expected;
        }
        return Search(name);
    }

private:
    int Search(std::string_view name);
    int next_ = 0;
};

}  // namespace melodrix
