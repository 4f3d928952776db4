#include "core/search/Duplicates.h"

#include <QString>
#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

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

std::optional<TKey> KeyOf(const TFileItem& item, std::optional<uint64_t> size, TDuplicateKey key,
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

void GroupDuplicates(TCatalogTree& tree, TDuplicateKey key, TDuplicates& duplicates) {
    const int count = tree.TopLevelCount();
    const auto at = [](int i) { return static_cast<size_t>(i); };
    TFolder folder;
    // Files sorted by the hash of their key bring equal keys together without a node per
    // file, as a hash map would allocate.
    std::vector<TKey> keys(at(count));
    std::vector<uint64_t> sizes(at(count), 0);  // read once: a second walk over the nodes costs
    std::vector<std::pair<size_t, int>> hashed;
    hashed.reserve(at(count));
    for (int i = 0; i < count; ++i) {
        const TFileItem& item = tree.TopLevel(i)->Item();
        const std::optional<uint64_t> size = SizeOfText(item.Field(FileSize));
        sizes[at(i)] = size.value_or(0);
        if (std::optional<TKey> fileKey = KeyOf(item, size, key, folder)) {
            keys[at(i)] = *fileKey;
            hashed.emplace_back(fileKey->hash, i);
        }
    }
    std::sort(hashed.begin(), hashed.end());

    // Each file points to the first file met with its key; groups are numbered in the order
    // of those first files.
    std::vector<int> firstOf(at(count), -1);
    std::vector<int> members(at(count), 0);
    for (size_t a = 0; a < hashed.size();) {
        size_t b = a + 1;
        while (b < hashed.size() && hashed[b].first == hashed[a].first) {
            ++b;
        }
        // Within one hash, by real key equality: different keys with one hash are rare.
        for (size_t i = a; i < b; ++i) {
            const int file = hashed[i].second;
            if (firstOf[at(file)] >= 0) {
                continue;
            }
            firstOf[at(file)] = file;
            members[at(file)] = 1;
            for (size_t j = i + 1; j < b; ++j) {
                const int other = hashed[j].second;
                if (firstOf[at(other)] < 0 && keys[at(other)] == keys[at(file)]) {
                    firstOf[at(other)] = file;
                    ++members[at(file)];
                }
            }
        }
        a = b;
    }

    // The new row of every file: the groups first, each gathered under its first file in
    // the order met, then the files without a copy, which are deleted.
    std::vector<int> start(at(count) + 1, 0);
    for (int i = 0; i < count; ++i) {
        start[at(i) + 1] = start[at(i)] + (members[at(i)] >= 2 ? members[at(i)] : 0);
    }
    const int grouped = start.back();
    std::vector<int> rowOf(at(count));
    std::vector<int> filled(start.begin(), start.end() - 1);
    int single = grouped;
    for (int i = 0; i < count; ++i) {
        const int first = firstOf[at(i)];
        rowOf[at(i)] = first >= 0 && members[at(first)] >= 2 ? filled[at(first)]++ : single++;
    }

    // The largest copy of a group is the one kept; the others are the extra bytes.
    std::vector<uint64_t> total(at(count), 0), largest(at(count), 0);
    for (int i = 0; i < count; ++i) {
        const int first = firstOf[at(i)];
        if (first >= 0 && members[at(first)] >= 2) {
            const uint64_t size = sizes[at(i)];
            total[at(first)] = Saturated(total[at(first)], size);
            largest[at(first)] = std::max(largest[at(first)], size);
        }
    }
    duplicates.groups = 0;
    duplicates.extraBytes = 0;
    duplicates.groupOfHit.assign(at(grouped), 0);
    for (int first = 0; first < count; ++first) {
        if (start[at(first)] == start[at(first) + 1]) {
            continue;
        }
        ++duplicates.groups;
        for (int row = start[at(first)]; row < start[at(first) + 1]; ++row) {
            duplicates.groupOfHit[at(row)] = duplicates.groups;
        }
        const uint64_t sum = total[at(first)];
        duplicates.extraBytes = Saturated(
            duplicates.extraBytes, sum == UINT64_MAX ? UINT64_MAX : sum - largest[at(first)]);
    }

    TTreeUpdate bracket(tree);
    tree.ReorderAllLevels([&](std::vector<std::unique_ptr<TCatalogNode>>& children) {
        if (children.size() != at(count) || children.front()->Parent() != nullptr) {
            return;  // hits are flat; a deeper list is left alone
        }
        std::vector<std::unique_ptr<TCatalogNode>> reordered(children.size());
        for (size_t i = 0; i < children.size(); ++i) {
            reordered[at(rowOf[i])] = std::move(children[i]);
        }
        children = std::move(reordered);
    });
    while (tree.TopLevelCount() > grouped) {
        tree.DeleteNode(tree.TopLevel(tree.TopLevelCount() - 1));
    }
}

}  // namespace melodrix
