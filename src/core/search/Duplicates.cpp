#include "core/search/Duplicates.h"

#include <QString>
#include <algorithm>
#include <bit>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "core/base/TextDecoding.h"
#include "core/search/SearchConditions.h"

namespace melodrix {

namespace {

constexpr std::array<std::pair<TDuplicateKey, const char*>, 5> kKeyNames = {{
    {TDuplicateKey::NameSize, "name-size"},
    {TDuplicateKey::Size, "size"},
    {TDuplicateKey::ArtistTitle, "artist-title"},
    {TDuplicateKey::ArtistAlbumTitle, "artist-album-title"},
    {TDuplicateKey::ArtistTitleDuration, "artist-title-duration"},
}};

// A file's key: up to three texts (views into the item or into the folded-text store) and
// the size for the size keys.
struct TKey {
    std::array<std::string_view, 3> texts{};
    uint64_t size = 0;
    size_t hash = 0;

    bool operator==(const TKey& other) const { return size == other.size && texts == other.texts; }
};

// Trimmed and case-folded tag texts; the item's own bytes when folding changes nothing.
class TFolder {
public:
    std::string_view Fold(std::string_view text) {
        text = TrimBlanks(text);
        bool ascii = true;
        bool upper = false;
        for (const char c : text) {
            ascii = ascii && static_cast<unsigned char>(c) < 0x80;
            upper = upper || (c >= 'A' && c <= 'Z');
        }
        if (ascii && !upper) {
            return text;
        }
        std::string& folded = store_.emplace_back();
        if (ascii) {
            folded.assign(text);
            for (char& c : folded) {
                c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
            }
        } else {
            folded = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
                         .toCaseFolded()
                         .toUtf8()
                         .toStdString();
        }
        return folded;
    }

private:
    std::deque<std::string> store_;  // stable addresses for the views
};

// The texts of a hit before it is made an item, read as the item's fields.
struct TTextsAsItem {
    const TItemTexts& texts;
    std::string_view Field(int field) const { return texts[static_cast<size_t>(field)]; }
};

template <typename TItem>
std::optional<TKey> KeyOf(const TItem& item, std::optional<uint64_t> size, TDuplicateKey key,
                          TFolder& folder) {
    TKey result;
    switch (key) {
        case TDuplicateKey::NameSize:
        case TDuplicateKey::Size: {
            if (!size) {
                return std::nullopt;
            }
            result.size = *size;
            if (key == TDuplicateKey::NameSize) {
                result.texts[0] = item.Field(FileName);
            }
            break;
        }
        case TDuplicateKey::ArtistTitleDuration:
            if (!LeadingNumberOfText(item.Field(AudioDuration))) {
                return std::nullopt;
            }
            [[fallthrough]];
        case TDuplicateKey::ArtistTitle:
        case TDuplicateKey::ArtistAlbumTitle:
            result.texts[0] = folder.Fold(item.Field(MP3_Artist));
            result.texts[1] = folder.Fold(item.Field(MP3_Title));
            if (result.texts[0].empty() || result.texts[1].empty()) {
                return std::nullopt;
            }
            if (key == TDuplicateKey::ArtistAlbumTitle) {
                result.texts[2] = folder.Fold(item.Field(MP3_Album));
            }
            break;
    }
    const std::hash<std::string_view> hashText;
    size_t hash = std::hash<uint64_t>()(result.size);
    for (const std::string_view text : result.texts) {
        // Mixes the length in too, so ("ab", "c") and ("a", "bc") differ.
        hash = (hash ^ hashText(text)) * 0x100000001B3ull + text.size();
    }
    result.hash = hash;
    return result;
}

// Spreads every bit of a hash over the low ones, which pick the slot: sizes that are
// multiples of a block would otherwise crowd a few slots.
size_t SlotOf(size_t hash) {
    uint64_t x = hash;
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    return static_cast<size_t>(x ^ (x >> 31));
}

// Splits each group of files that share artist and title into runs of playing times without a
// gap larger than the slack: each run becomes a group led by its first file met.
void SplitByDuration(const std::vector<TFileItem>& files, std::vector<size_t>& firstOf,
                     std::vector<uint32_t>& members) {
    constexpr size_t kNone = SIZE_MAX;
    struct TTimed {
        size_t group, durationMs, file;
    };
    std::vector<TTimed> timed;
    for (size_t i = 0; i < files.size(); ++i) {
        if (firstOf[i] != kNone && members[firstOf[i]] >= 2) {
            const auto duration = LeadingNumberOfText(files[i].Field(AudioDuration));
            timed.push_back({firstOf[i], static_cast<size_t>(duration.value_or(0)), i});
        }
    }
    std::sort(timed.begin(), timed.end(), [](const TTimed& a, const TTimed& b) {
        return std::tie(a.group, a.durationMs, a.file) < std::tie(b.group, b.durationMs, b.file);
    });
    // Every count of these files is made again below: a group's first file may lead a run or not.
    for (const TTimed& file : timed) {
        members[file.file] = 0;
    }
    for (size_t begin = 0; begin < timed.size();) {
        size_t end = begin + 1;
        size_t leader = timed[begin].file;
        while (end < timed.size() && timed[end].group == timed[begin].group &&
               timed[end].durationMs - timed[end - 1].durationMs <=
                   static_cast<size_t>(kDurationSlackMs)) {
            leader = std::min(leader, timed[end].file);
            ++end;
        }
        for (size_t k = begin; k < end; ++k) {
            firstOf[timed[k].file] = leader;
        }
        members[leader] = static_cast<uint32_t>(end - begin);
        begin = end;
    }
}

uint64_t Saturated(uint64_t a, uint64_t b) {
    return a + b < a ? UINT64_MAX : a + b;
}

}  // namespace

QString DuplicateKeyName(TDuplicateKey key) {
    for (const auto& [k, name] : kKeyNames) {
        if (k == key) {
            return QString::fromLatin1(name);
        }
    }
    return {};
}

std::optional<TDuplicateKey> DuplicateKeyOfName(const QString& name) {
    for (const auto& [key, keyName] : kKeyNames) {
        if (name == QLatin1String(keyName)) {
            return key;
        }
    }
    return std::nullopt;
}

uint64_t DuplicateKeyHash(const TItemTexts& texts, TDuplicateKey key) {
    TFolder folder;
    const TTextsAsItem item{texts};
    const std::optional<TKey> fileKey = KeyOf(item, SizeOfText(texts[FileSize]), key, folder);
    if (!fileKey) {
        return 0;
    }
    return fileKey->hash == 0 ? 1 : static_cast<uint64_t>(fileKey->hash);
}

void GroupDuplicates(std::vector<TFileItem>& files, const std::vector<QString>& sources,
                     TDuplicateKey key, TDuplicates& duplicates, TCatalogTree& result) {
    const size_t count = files.size();
    TFolder folder;
    std::vector<TKey> keys(count);
    std::vector<uint64_t> sizes(count, 0);
    std::vector<bool> keyed(count, false);
    size_t keyedCount = 0;
    for (size_t i = 0; i < count; ++i) {
        const std::optional<uint64_t> size = SizeOfText(files[i].Field(FileSize));
        sizes[i] = size.value_or(0);
        if (std::optional<TKey> fileKey = KeyOf(files[i], size, key, folder)) {
            keys[i] = *fileKey;
            keyed[i] = true;
            ++keyedCount;
        }
    }

    // Each file points to the first file met with its key, found in an open-addressing table
    // of the first files (with their hashes, so most probes compare no texts); groups are
    // numbered in the order of those first files.
    constexpr size_t kNone = SIZE_MAX;
    struct TSlot {
        size_t hash = 0;
        size_t file = kNone;
    };
    const size_t capacity = std::bit_ceil(std::max<size_t>(16, keyedCount * 2));
    std::vector<TSlot> table(capacity);
    std::vector<size_t> firstOf(count, kNone);
    std::vector<uint32_t> members(count, 0);
    for (size_t i = 0; i < count; ++i) {
        if (!keyed[i]) {
            continue;
        }
        const size_t hash = keys[i].hash;
        for (size_t at = SlotOf(hash) & (capacity - 1);; at = (at + 1) & (capacity - 1)) {
            TSlot& slot = table[at];
            if (slot.file == kNone) {
                slot = {hash, i};
                firstOf[i] = i;
                members[i] = 1;
                break;
            }
            if (slot.hash == hash && keys[slot.file] == keys[i]) {
                firstOf[i] = slot.file;
                ++members[slot.file];
                break;
            }
        }
    }
    if (key == TDuplicateKey::ArtistTitleDuration) {
        SplitByDuration(files, firstOf, members);
    }
    const auto grouped = [&](size_t file) {
        return firstOf[file] != kNone && members[firstOf[file]] >= 2;
    };

    // The row of every file that has a copy: the groups in the order of their first files,
    // each file of a group in the order met.
    std::vector<size_t> start(count + 1, 0);
    for (size_t i = 0; i < count; ++i) {
        start[i + 1] = start[i] + (members[i] >= 2 ? members[i] : 0);
    }
    std::vector<size_t> fileAt(start.back());
    std::vector<size_t> filled(start.begin(), start.end() - 1);
    // The largest copy of a group is the one kept; the others are the extra bytes.
    std::vector<uint64_t> total(count, 0), largest(count, 0);
    for (size_t i = 0; i < count; ++i) {
        if (grouped(i)) {
            const size_t first = firstOf[i];
            fileAt[filled[first]++] = i;
            total[first] = Saturated(total[first], sizes[i]);
            largest[first] = std::max(largest[first], sizes[i]);
        }
    }
    duplicates.groups = 0;
    duplicates.extraBytes = 0;
    duplicates.groupOfHit.assign(fileAt.size(), 0);
    for (size_t first = 0; first < count; ++first) {
        if (start[first] == start[first + 1]) {
            continue;
        }
        ++duplicates.groups;
        for (size_t row = start[first]; row < start[first + 1]; ++row) {
            duplicates.groupOfHit[row] = duplicates.groups;
        }
        const uint64_t sum = total[first];
        duplicates.extraBytes =
            Saturated(duplicates.extraBytes, sum == UINT64_MAX ? UINT64_MAX : sum - largest[first]);
    }

    // The keys view the items' texts: the items move only now, into their nodes.
    TTreeUpdate bracket(result);
    for (const size_t file : fileAt) {
        TCatalogNode* node = result.AppendChild(nullptr);
        node->Item() = std::move(files[file]);
        if (file < sources.size()) {
            result.SetSourceCatalog(node, sources[file]);
        }
    }
}

}  // namespace melodrix
