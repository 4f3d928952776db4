// Opening a catalog file into a tree: streamed in one pass, or through a parsed document for
// the files the one-pass reader leaves to the XML parser.
#include "core/catalogfile/CatalogTreeReader.h"

#include <QByteArray>
#include <algorithm>
#include <array>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "core/base/Handoff.h"
#include "core/catalog/Paths.h"
#include "core/catalogfile/CatalogDocument.h"
#include "core/catalogfile/CatalogRootAttributes.h"
#include "core/catalogfile/CatalogStream.h"

namespace melodrix {

namespace {

using TTexts = TItemTexts;

}  // namespace

void CompleteCatalogItem(TTexts& texts, uint32_t present, bool topLevel,
                         std::string_view diskName) {
    if (topLevel) {
        // Top-level items are folders unless the file says otherwise.
        if ((present & (1u << FileType)) == 0) {
            texts[FileType] = DirectoryType;
        }
        if (texts[FullPath].empty()) {
            texts[FullPath] = texts[FileName];
        }
    }
    texts[DiskName] = diskName;
}

void StoreCatalogItem(TFileItem& item, TTexts& texts, uint32_t present, bool topLevel,
                      std::string_view diskName) {
    CompleteCatalogItem(texts, present, topLevel, diskName);
    item.SetAllFields(texts);
}

std::optional<uint32_t> ReadStreamedItem(const TCatalogStream& stream, TFieldNameMatcher& matcher,
                                         std::array<std::string, FieldCount>& decoded,
                                         std::array<std::string, FieldCount>& mended,
                                         TTexts& texts) {
    texts.fill({});
    uint32_t present = 0;
    for (const TCatalogStream::TAttribute& attribute : stream.Attributes()) {
        const int index = matcher.IndexOf(attribute.name);
        if (index < 0) {
            continue;
        }
        const auto i = static_cast<size_t>(index);
        const std::optional<std::string_view> value =
            TCatalogStream::DecodeClean(attribute, decoded[i], mended[i]);
        if (!value) {
            return std::nullopt;
        }
        texts[i] = *value;
        present |= 1u << index;
    }
    return present;
}

namespace {

// The texts of many items, copied out of the reader's buffer for the thread that takes them.
class TItemBatch {
public:
    // Enough items that handing a batch over costs nothing next to reading it.
    static constexpr size_t kFullBytes = size_t{256} << 10;

    bool Full() const { return texts_.size() >= kFullBytes; }
    bool empty() const { return items_.empty(); }
    void clear() {
        items_.clear();
        texts_.clear();
    }

    void Add(const TTexts& texts, size_t depth) {
        TItem& item = items_.emplace_back();
        item.depth = depth;
        for (size_t i = 0; i < FieldCount; ++i) {
            item.lengths[i] = static_cast<uint32_t>(texts[i].size());
            texts_.append(texts[i]);
        }
    }

    template <typename Visit>
    void VisitAll(Visit&& visit) const {
        const char* at = texts_.data();
        TTexts texts;
        for (const TItem& item : items_) {
            for (size_t i = 0; i < FieldCount; ++i) {
                texts[i] = std::string_view(at, item.lengths[i]);
                at += item.lengths[i];
            }
            visit(texts, item.depth);
        }
    }

private:
    struct TItem {
        size_t depth;
        std::array<uint32_t, FieldCount> lengths;  // an item's texts fit a TFileItem
    };
    std::vector<TItem> items_;
    std::string texts_;
};

// Reads the stream's items into batches for `batches`; false when the stream meets something
// only the XML parser reads, or the taker stopped.
bool ReadItemBatches(TCatalogStream& stream, std::string_view diskName,
                     THandoff<TItemBatch>& batches) {
    TFieldNameMatcher matcher;
    std::array<std::string, FieldCount> decoded;
    std::array<std::string, FieldCount> mended;
    TTexts texts;
    TItemBatch batch;
    bool read = true;
    while (read && stream.NextItem()) {
        const std::optional<uint32_t> present =
            ReadStreamedItem(stream, matcher, decoded, mended, texts);
        read = present.has_value();
        if (read) {
            const size_t depth = stream.Depth();
            CompleteCatalogItem(texts, *present, depth == 0, diskName);
            batch.Add(texts, depth);
            if (batch.Full() && !batches.Give(batch)) {
                return false;
            }
        }
    }
    // The items read so far go to the taker also when the stream stops at something odd.
    return (batch.empty() || batches.Give(batch)) && read && !stream.Unusual();
}

}  // namespace

bool StreamCatalogItems(TCatalogStream& stream, std::string_view diskName,
                        const std::function<void(const TTexts& texts, size_t depth)>& visit) {
    // Reading and decoding the file is about half the work; what the caller does with the
    // items (nodes of a tree, rows of an export) is the other half, done here meanwhile.
    THandoff<TItemBatch> batches(4);
    bool read = false;
    std::exception_ptr failure;
    std::thread reader([&] {
        try {
            read = ReadItemBatches(stream, diskName, batches);
        } catch (...) {
            failure = std::current_exception();
        }
        batches.Close();
    });
    try {
        TItemBatch batch;
        while (batches.Take(batch)) {
            batch.VisitAll(visit);
        }
    } catch (...) {
        // The reader stops before the stream it reads goes.
        batches.Stop();
        reader.join();
        throw;
    }
    reader.join();
    if (failure) {
        std::rethrow_exception(failure);
    }
    return read;
}

bool StreamItemsToTree(TCatalogStream& stream, std::string_view diskName, TCatalogTree& tree) {
    std::vector<TCatalogNode*> parents;  // parents[d] takes the items of depth d + 1
    bool nested = true;
    const bool read = StreamCatalogItems(stream, diskName, [&](const TTexts& texts, size_t depth) {
        if (depth > parents.size()) {
            nested = false;  // cannot happen: an element's parent was read before it
            return;
        }
        parents.resize(depth);
        TCatalogNode* node = tree.AppendChild(depth == 0 ? nullptr : parents.back());
        node->Item().SetAllFieldsWithoutNul(texts);  // XML cannot carry a NUL
        parents.push_back(node);
    });
    if (!read || !nested) {
        return false;
    }
    for (const TCatalogStream::TAttribute& attribute : stream.RootAttributes()) {
        std::string decoded;
        std::string mended;
        const std::optional<std::string_view> value =
            TCatalogStream::DecodeClean(attribute, decoded, mended);
        if (!value) {
            return false;
        }
        KeepCatalogRootAttribute(tree, attribute.name, *value);
    }
    return true;
}

void DocumentItemsToTree(const pugi::xml_node& root, std::string_view diskName,
                         TCatalogTree& tree) {
    TFieldNameMatcher matcher;
    TTexts texts;
    // Iterative pre-order walk of the elements, so any nesting depth is safe.
    pugi::xml_node element = root.first_child();
    TCatalogNode* parent = nullptr;
    while (element) {
        if (element.type() == pugi::node_element) {
            TCatalogNode* node = tree.AppendChild(parent);
            texts.fill({});
            uint32_t present = 0;
            for (pugi::xml_attribute attribute = element.first_attribute(); attribute;
                 attribute = attribute.next_attribute()) {
                const int index = matcher.IndexOf(attribute.name());
                if (index >= 0) {
                    texts[static_cast<size_t>(index)] = attribute.value();
                    present |= 1u << index;
                }
            }
            StoreCatalogItem(node->Item(), texts, present, parent == nullptr, diskName);
            if (pugi::xml_node child = element.first_child()) {
                parent = node;
                element = child;
                continue;
            }
        }
        // Climb until a next sibling is found.
        while (element && !element.next_sibling() && element.parent() != root) {
            element = element.parent();
            parent = parent ? parent->Parent() : nullptr;
        }
        element = element.next_sibling();
    }
}

void ReadCatalogTreeFile(const QString& source, TCatalogTree& tree) {
    const QByteArray diskName = DiskNameOf(source).toUtf8();
    const std::string_view disk(diskName.constData(), static_cast<size_t>(diskName.size()));
    // Read aside, so that a file that cannot be read leaves the tree as it was. The stamp is
    // taken first: should the file be replaced while it is read, the stamp is the older one,
    // and the next locked save reads the file again rather than write over the newer one.
    TCatalogTree read;
    const TFileStamp stamp = FileStampOf(source);
    bool streamed = false;
    {
        TCatalogStream stream;
        streamed = stream.Load(source) && StreamItemsToTree(stream, disk, read);
    }
    if (!streamed) {
        read.Clear();
        pugi::xml_document document;
        LoadCatalogDocument(source, document);
        DocumentItemsToTree(document.document_element(), disk, read);
    }
    read.SetFileStamp(stamp);
    tree.TakeContents(read);
}

void VerifyCatalogFile(const QString& path) {
    std::string scratch;
    const auto decodable = [&](std::span<const TCatalogStream::TAttribute> attributes) {
        return std::all_of(attributes.begin(), attributes.end(),
                           [&](const TCatalogStream::TAttribute& attribute) {
                               return TCatalogStream::Decode(attribute, scratch).has_value();
                           });
    };
    TCatalogStream stream;
    bool read = stream.Load(path);
    while (read && stream.NextItem()) {
        read = decodable(stream.Attributes());
    }
    if (!read || stream.Unusual() || !decodable(stream.RootAttributes())) {
        // The parser decides, as it does when the catalog is opened.
        pugi::xml_document document;
        LoadCatalogDocument(path, document);
    }
}

}  // namespace melodrix
