#include "core/search/Duplicates.h"

#include <QString>
#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/search/SearchConditions.h"

namespace melodrix {

namespace {

constexpr std::array<std::pair<TDuplicateKey, const char*>, 4> kKeyNames = {{
    {TDuplicateKey::NameSize, "name-size"},
    {TDuplicateKey::Size, "size"},
    {TDuplicateKey::ArtistTitle, "artist-title"},
    {TDuplicateKey::ArtistAlbumTitle, "artist-album-title"},
}};

// A file's key: up to three texts (views into the item or into the folded-text store) and
// the size for the size keys.
struct TKey {
    std::array<std::string_view, 3> texts{};
    uint64_t size = 0;
    size_t hash = 0;

    bool operator==(const TKey& other) const { return size == other.size && texts == other.texts; }
};

struct TKeyHash {
    size_t operator()(const TKey& key) const { return key.hash; }
};

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') {
        text.remove_suffix(1);
    }
    return text;
}

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

std::optional<TKey> KeyOf(const TFileItem& item, TDuplicateKey key, TFolder& folder) {
    TKey result;
    switch (key) {
        case TDuplicateKey::NameSize:
        case TDuplicateKey::Size: {
            const std::optional<uint64_t> size = SizeOfText(item.Field(FileSize));
            if (!size) {
                return std::nullopt;
            }
            result.size = *size;
            if (key == TDuplicateKey::NameSize) {
                result.texts[0] = item.Field(FileName);
            }
            break;
        }
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

void GroupDuplicates(TCatalogTree& files, TDuplicateKey key, TCatalogTree& result,
                     TDuplicates& duplicates) {
    result.Clear();
    const int count = files.TopLevelCount();
    TFolder folder;
    // For each file, the first file with its key; groups are numbered by that first file.
    std::unordered_map<TKey, int, TKeyHash> firstOfKey;
    firstOfKey.reserve(static_cast<size_t>(count));
    std::vector<int> firstOf(static_cast<size_t>(count), -1);
    std::vector<int> members(static_cast<size_t>(count), 0);
    for (int i = 0; i < count; ++i) {
        const std::optional<TKey> fileKey = KeyOf(files.TopLevel(i)->Item(), key, folder);
        if (!fileKey) {
            continue;
        }
        const int first = firstOfKey.try_emplace(*fileKey, i).first->second;
        firstOf[static_cast<size_t>(i)] = first;
        ++members[static_cast<size_t>(first)];
    }

    // Each group's files, gathered under its first file in the order they were met.
    std::vector<int> start(static_cast<size_t>(count) + 1, 0);
    for (int i = 0; i < count; ++i) {
        start[static_cast<size_t>(i) + 1] =
            start[static_cast<size_t>(i)] +
            (members[static_cast<size_t>(i)] >= 2 ? members[static_cast<size_t>(i)] : 0);
    }
    std::vector<int> order(static_cast<size_t>(start.back()));
    std::vector<int> filled(start.begin(), start.end() - 1);
    for (int i = 0; i < count; ++i) {
        const int first = firstOf[static_cast<size_t>(i)];
        if (first >= 0 && members[static_cast<size_t>(first)] >= 2) {
            order[static_cast<size_t>(filled[static_cast<size_t>(first)]++)] = i;
        }
    }

    duplicates.groups = 0;
    duplicates.extraBytes = 0;
    duplicates.groupOfHit.clear();
    duplicates.groupOfHit.reserve(order.size());
    TTreeUpdate bracket(result);
    for (int first = 0; first < count; ++first) {
        const int begin = start[static_cast<size_t>(first)];
        const int end = start[static_cast<size_t>(first) + 1];
        if (begin == end) {
            continue;
        }
        ++duplicates.groups;
        // The largest copy is the one kept; the others are the extra bytes.
        int largest = begin;
        std::vector<uint64_t> sizes;
        for (int k = begin; k < end; ++k) {
            TFileItem& item = files.TopLevel(order[static_cast<size_t>(k)])->Item();
            sizes.push_back(SizeOfText(item.Field(FileSize)).value_or(0));
            if (sizes.back() > sizes[static_cast<size_t>(largest - begin)]) {
                largest = k;
            }
            result.AppendChild(nullptr)->Item() = std::move(item);
            duplicates.groupOfHit.push_back(duplicates.groups);
        }
        for (int k = begin; k < end; ++k) {
            if (k != largest) {
                const uint64_t size = sizes[static_cast<size_t>(k - begin)];
                duplicates.extraBytes =
                    duplicates.extraBytes + size < size ? UINT64_MAX : duplicates.extraBytes + size;
            }
        }
    }
}

}  // namespace melodrix
