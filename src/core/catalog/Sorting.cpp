#include "core/catalog/Sorting.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "core/base/TextDecoding.h"
#include "core/catalog/DateTimeParser.h"
#include "core/catalog/ValueFunctions.h"

namespace melodrix {

namespace {

struct TSortKey {
    size_t index;  // among the children before sorting
    bool folder;
    int8_t rank;  // dates: 0 empty, 1 readable, 2 unreadable
    double number;
    std::string_view text;
};

// The whole number a text starts with after blanks ("3" of " 3/12"); 0 when there is none.
double LeadingNumber(std::string_view text) {
    text = TrimBlanks(text);
    double number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        number = number * 10 + (c - '0');
    }
    return number;
}

}  // namespace

TSortKind SortKindOf(int field) {
    switch (field) {
        case FileSize:
        case FileNameLength:
        case PathNameLength:
        case SizePercentage:
        case AudioDuration:
        case AudioBitrate:
        case AudioSampleRate:
        case AudioChannels:
            return TSortKind::Number;
        case MP3_Track:
        case MP3_Disc:
            return TSortKind::Ordinal;
        case FileTime:
            return TSortKind::DateTime;
        case FileType:
            return TSortKind::Unordered;
        default:
            return TSortKind::Text;
    }
}

void SortCatalogTree(TCatalogTree& tree, int field, bool ascending, int threads) {
    const TSortKind kind = SortKindOf(field);
    // Each thread that sorts gets a parser and a key list of its own.
    const auto makeReorder = [&]() -> TCatalogTree::TReorder {
        return [kind, field, ascending, parser = TDateTimeParser(), keys = std::vector<TSortKey>(),
                decimal = DecimalSeparatorUtf8()](
                   std::vector<std::unique_ptr<TCatalogNode>>& children) mutable {
            keys.clear();
            keys.reserve(children.size());
            for (size_t i = 0; i < children.size(); ++i) {
                const TFileItem& item = children[i]->Item();
                TSortKey key{i, TrimBlanks(item.Field(FileType)) == DirectoryType, 0, 0.0, {}};
                const std::string_view value = item.Field(field);
                switch (kind) {
                    case TSortKind::Number:
                        key.number = NumberOfText(value, decimal).value_or(0.0);
                        break;
                    case TSortKind::Ordinal:
                        key.number = LeadingNumber(value);
                        break;
                    case TSortKind::DateTime:
                        if (value.empty()) {
                            key.rank = 0;
                        } else if (const auto ms = parser.ParseToMsecs(value)) {
                            key.rank = 1;
                            key.number = static_cast<double>(*ms);
                        } else {
                            key.rank = 2;
                        }
                        break;
                    case TSortKind::Text:
                        key.text = value;
                        break;
                    case TSortKind::Unordered:
                        break;
                }
                keys.push_back(std::move(key));
            }
            // Returns <0, 0, >0 for the field alone.
            auto compareField = [kind](const TSortKey& a, const TSortKey& b) -> int {
                switch (kind) {
                    case TSortKind::Number:
                    case TSortKind::Ordinal:
                        return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
                    case TSortKind::DateTime:
                        if (a.rank != b.rank) {
                            return a.rank < b.rank ? -1 : 1;
                        }
                        return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
                    case TSortKind::Text:
                        return CompareTextIgnoringCase(a.text, b.text);
                    case TSortKind::Unordered:
                        return 0;
                }
                return 0;
            };
            const auto less = [&](const TSortKey& a, const TSortKey& b) {
                if (a.folder != b.folder) {
                    return a.folder;
                }
                const int c = compareField(a, b);
                return ascending ? c < 0 : c > 0;
            };
            // A level already in order, as a catalog saved from a sorted view is, stays as it is:
            // one look at each pair instead of a sort (the order is the same either way).
            if (std::is_sorted(keys.begin(), keys.end(), less)) {
                return;
            }
            std::stable_sort(keys.begin(), keys.end(), less);
            std::vector<std::unique_ptr<TCatalogNode>> sorted;
            sorted.reserve(children.size());
            for (const TSortKey& key : keys) {
                sorted.push_back(std::move(children[key.index]));
            }
            children.swap(sorted);
        };
    };
    tree.ReorderAllLevels(makeReorder, threads);
}

}  // namespace melodrix
