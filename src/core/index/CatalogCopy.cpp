#include "core/index/CatalogCopy.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QFile>
#include <QRandomGenerator>
#include <bit>
#include <cstring>
#include <pugixml.hpp>
#include <span>
#include <vector>

#include <cerrno>
#include "core/base/ByteScan.h"
#include "core/base/Errors.h"
#include "core/catalog/CatalogAttributes.h"
#include "core/catalog/XmlText.h"
#include "core/catalogfile/CatalogDocument.h"
#include "core/catalogfile/CatalogStream.h"
#include "core/catalogfile/CatalogTreeReader.h"
#include "core/catalogfile/DocumentItems.h"
#include "core/search/CaseFolding.h"

namespace melodrix {

namespace {

// The fixed head of a copy file; the sections follow in this order.
struct THead {
    char magic[8];
    uint32_t version;
    uint32_t blockItems;
    // The fields an item had when the copy was made: a program that knows more fields must
    // read the catalog again, or the new ones would be missing.
    uint32_t fieldCount;
    uint32_t unused;
    uint64_t device;
    uint64_t inode;
    int64_t size;
    int64_t modifiedNs;
    int64_t madeAtMs;
    uint64_t fileBytes;
    uint64_t itemCount;
    uint64_t pathBytes;
    uint64_t attributesBytes;
    uint64_t namesBytes;
    uint64_t recordsBytes;
};

constexpr char kMagic[8] = {'M', 'D', 'X', 'C', 'O', 'P', 'Y', '\n'};
constexpr uint32_t kVersion = 1;

uint64_t BlockCount(uint64_t items) {
    return (items + kCopyBlockItems - 1) / kCopyBlockItems;
}

template <typename T>
void AppendRaw(std::string& out, const T& value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

template <typename T>
T LoadRaw(const char* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// The items of a catalog as they are collected for a copy.
struct TCollected {
    std::string records;
    std::string names;
    std::vector<uint32_t> nameStarts;
    std::vector<uint64_t> blockStarts;
    std::string attributes;  // name and value pairs, each a varint length and the bytes
    uint64_t items = 0;
    bool overflow = false;  // more names than one copy can index

    void Clear() { *this = TCollected(); }

    void AddAttribute(std::string_view name, std::string_view value) {
        AppendVarint(attributes, name.size());
        attributes.append(name);
        AppendVarint(attributes, value.size());
        attributes.append(value);
    }
};

class TCollector {
public:
    explicit TCollector(TCollected& collected)
        : collected_(collected), packer_(collected.records) {}

    void Add(const TPackedItem& item) {
        if (packer_.StartsBlock()) {
            collected_.blockStarts.push_back(collected_.records.size());
        }
        packer_.Add(item);
        const TItemTexts& tested = item.hasTested ? item.tested : item.texts;
        const uint32_t testedPresent = item.hasTested ? item.testedPresent : item.present;
        collected_.nameStarts.push_back(static_cast<uint32_t>(collected_.names.size()));
        if ((testedPresent >> FileName) & 1u) {
            const std::string_view name = tested[FileName];
            if (HasNonAscii(name)) {
                collected_.names += FoldCaseUtf8(name);
            } else {
                for (const char c : name) {
                    collected_.names.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32)
                                                                    : c);
                }
            }
        }
        // A separator no searched text holds, so a match rarely spans two names.
        collected_.names.push_back('\0');
        collected_.overflow |= collected_.names.size() > UINT32_MAX;
        ++collected_.items;
    }

private:
    TCollected& collected_;
    TRecordPacker packer_;
};

// Whether two item texts are the same, field for field.
bool SameTexts(const TItemTexts& a, uint32_t aPresent, const TItemTexts& b, uint32_t bPresent) {
    if (aPresent != bPresent) {
        return false;
    }
    for (size_t field = 0; field < FieldCount; ++field) {
        if (((aPresent >> field) & 1u) && a[field] != b[field]) {
            return false;
        }
    }
    return true;
}

// Reads a plainly written catalog as the streamed search reads it: the hit takes every field
// attribute (the last of a repeated one), the tests the first of each name. False when
// something needs the XML parser.
bool StreamItems(const QByteArray& native, TCollected& collected) {
    TCatalogStream stream;
    if (!stream.Load(native)) {
        return false;
    }
    TCollector collector(collected);
    TFieldNameMatcher fields;
    TFieldNameMatcher testedFields;
    std::array<std::string, FieldCount> decoded;
    std::array<std::string, FieldCount> mended;
    std::array<std::string, FieldCount> testedDecoded;
    std::array<std::string, FieldCount> testedMended;
    TPackedItem item;
    bool first = true;
    while (stream.NextItem()) {
        if (first) {
            std::string scratch;
            std::string mendedScratch;
            for (const TCatalogStream::TAttribute& attribute : stream.RootAttributes()) {
                if (IsCatalogAttributeName(attribute.name)) {
                    if (const std::optional<std::string_view> value =
                            TCatalogStream::DecodeClean(attribute, scratch, mendedScratch)) {
                        collected.AddAttribute(attribute.name, *value);
                    }
                }
            }
            first = false;
        }
        const std::optional<uint32_t> present =
            ReadStreamedItem(stream, fields, decoded, mended, item.texts);
        if (!present) {
            return false;
        }
        item.present = *present;
        item.topLevel = stream.Depth() == 0;
        // The tests read the first attribute of each name, the hit the last: they differ only
        // where a name is repeated.
        size_t fieldAttributes = stream.Attributes().size();
        if (fieldAttributes != static_cast<size_t>(std::popcount(item.present))) {
            fieldAttributes = 0;  // other attributes too, or a repeated one
            for (const TCatalogStream::TAttribute& attribute : stream.Attributes()) {
                fieldAttributes += testedFields.IndexOf(attribute.name) >= 0;
            }
        }
        item.hasTested = fieldAttributes != static_cast<size_t>(std::popcount(item.present));
        if (item.hasTested) {
            item.tested.fill({});
            item.testedPresent = 0;
            for (const TCatalogStream::TAttribute& attribute : stream.Attributes()) {
                const int field = testedFields.IndexOf(attribute.name);
                if (field < 0 || ((item.testedPresent >> field) & 1u)) {
                    continue;
                }
                const auto f = static_cast<size_t>(field);
                const std::optional<std::string_view> value =
                    TCatalogStream::DecodeClean(attribute, testedDecoded[f], testedMended[f]);
                if (!value) {
                    return false;
                }
                item.tested[f] = *value;
                item.testedPresent |= 1u << field;
            }
            item.hasTested = !SameTexts(item.texts, item.present, item.tested, item.testedPresent);
        }
        collector.Add(item);
    }
    return !stream.Unusual();
}

// Reads a catalog with the XML parser as the search does when it cannot stream it: the hit
// takes the mended values, the tests the values as parsed.
bool ParseItems(const QString& path, TCollected& collected) {
    pugi::xml_document document;
    try {
        LoadCatalogDocument(path, document);
    } catch (const TCatalogFileError&) {
        return false;
    }
    const pugi::xml_node root = document.document_element();
    if (!root) {
        return false;
    }
    for (pugi::xml_attribute attribute = root.first_attribute(); attribute;
         attribute = attribute.next_attribute()) {
        if (IsCatalogAttributeName(attribute.name())) {
            collected.AddAttribute(attribute.name(), attribute.value());
        }
    }
    TCollector collector(collected);
    TFieldNameMatcher fields;
    std::array<std::string, FieldCount> mended;
    TPackedItem item;
    ForEachDocumentItem(root, [&](const pugi::xml_node& element) {
        item.texts.fill({});
        item.present = 0;
        for (pugi::xml_attribute attribute = element.first_attribute(); attribute;
             attribute = attribute.next_attribute()) {
            const int index = fields.IndexOf(attribute.name());
            if (index >= 0) {
                std::string& mendedValue = mended[static_cast<size_t>(index)];
                const std::string_view value = attribute.value();
                item.texts[index] =
                    SanitizeForXml(value, mendedValue) ? std::string_view(mendedValue) : value;
                item.present |= 1u << index;
            }
        }
        item.topLevel = element.parent() == root;
        item.tested.fill({});
        item.testedPresent = 0;
        for (size_t field = 0; field < FieldCount; ++field) {
            const pugi::xml_attribute attribute = element.attribute(FieldNames[field].data());
            if (attribute) {
                item.tested[field] = attribute.value();
                item.testedPresent |= 1u << field;
            }
        }
        item.hasTested = !SameTexts(item.texts, item.present, item.tested, item.testedPresent);
        collector.Add(item);
    });
    return true;
}

// Writes the sections one after another to a temporary file renamed over `file`, so a reader
// sees the old copy or the new one. A copy is a cache and checked when read: it is not synced.
bool SaveSections(const QString& file, std::span<const std::string_view> sections) {
    const QByteArray target = QFile::encodeName(file);
    QByteArray temporary = target + '.';
    temporary += QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".tmp";
    const int handle = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (handle < 0) {
        return false;
    }
    bool written = true;
    for (const std::string_view section : sections) {
        for (size_t done = 0; written && done < section.size();) {
            const ssize_t wrote = ::write(handle, section.data() + done, section.size() - done);
            if (wrote < 0 && errno == EINTR) {
                continue;
            }
            written = wrote > 0;
            done += written ? static_cast<size_t>(wrote) : 0;
        }
    }
    written = ::close(handle) == 0 && written;
    if (!written || ::rename(temporary.constData(), target.constData()) != 0) {
        ::unlink(temporary.constData());
        return false;
    }
    return true;
}

}  // namespace

struct TCatalogCopy::TBytes {
    std::string owned;
    void* mapped = nullptr;
    size_t mappedBytes = 0;
    ~TBytes() {
        if (mapped) {
            munmap(mapped, mappedBytes);
        }
    }
};

TCatalogCopy::TCatalogCopy(std::unique_ptr<TBytes> bytes) : storage_(std::move(bytes)) {
    bytes_ = storage_->mapped ? std::string_view(static_cast<const char*>(storage_->mapped),
                                                 storage_->mappedBytes)
                              : std::string_view(storage_->owned);
}

TCatalogCopy::~TCatalogCopy() = default;

std::unique_ptr<TCatalogCopy> TCatalogCopy::Read(const QString& path, const QByteArray& native,
                                                 const QString& saveTo) {
    const TFileStamp before = NativeFileStampOf(native);
    if (!before.Exists) {
        return nullptr;
    }
    TCollected collected;
    // Grown once: a copy is about a third of its catalog, its names a twentieth.
    collected.records.reserve(static_cast<size_t>(before.Size) / 3);
    collected.names.reserve(static_cast<size_t>(before.Size) / 20);
    if (!StreamItems(native, collected)) {
        collected.Clear();
        if (!ParseItems(path, collected)) {
            return nullptr;
        }
    }
    if (collected.overflow || !(NativeFileStampOf(native) == before)) {
        return nullptr;
    }
    collected.nameStarts.push_back(static_cast<uint32_t>(collected.names.size()));
    collected.blockStarts.push_back(collected.records.size());

    THead head{};
    std::memcpy(head.magic, kMagic, sizeof kMagic);
    head.version = kVersion;
    head.blockItems = kCopyBlockItems;
    head.fieldCount = FieldCount;
    head.device = before.Device;
    head.inode = before.Inode;
    head.size = before.Size;
    head.modifiedNs = before.ModifiedNs;
    head.madeAtMs = QDateTime::currentMSecsSinceEpoch();
    head.itemCount = collected.items;
    head.pathBytes = static_cast<uint64_t>(native.size());
    head.attributesBytes = collected.attributes.size();
    head.namesBytes = collected.names.size();
    head.recordsBytes = collected.records.size();
    const std::string_view sections[] = {
        {reinterpret_cast<const char*>(&head), sizeof head},
        {native.constData(), static_cast<size_t>(native.size())},
        collected.attributes,
        collected.names,
        {reinterpret_cast<const char*>(collected.nameStarts.data()),
         collected.nameStarts.size() * sizeof(uint32_t)},
        {reinterpret_cast<const char*>(collected.blockStarts.data()),
         collected.blockStarts.size() * sizeof(uint64_t)},
        collected.records,
    };
    for (const std::string_view section : sections) {
        head.fileBytes += section.size();
    }
    // Written straight from its parts and mapped back, so the copy lives in the page cache.
    if (!saveTo.isEmpty() && SaveSections(saveTo, sections)) {
        std::unique_ptr<TCatalogCopy> saved = Map(saveTo);
        if (saved && saved->CatalogStamp() == before &&
            saved->CatalogNativePath() ==
                std::string_view(native.constData(), static_cast<size_t>(native.size()))) {
            return saved;
        }
    }
    auto bytes = std::make_unique<TBytes>();
    bytes->owned.reserve(head.fileBytes);
    for (const std::string_view section : sections) {
        bytes->owned.append(section);
    }
    std::unique_ptr<TCatalogCopy> copy(new TCatalogCopy(std::move(bytes)));
    if (!copy->TakeLayout()) {
        return nullptr;  // cannot happen for bytes made here; checked all the same
    }
    return copy;
}

std::unique_ptr<TCatalogCopy> TCatalogCopy::Map(const QString& copyFile) {
    const QByteArray name = QFile::encodeName(copyFile);
    const int handle = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (handle < 0) {
        return nullptr;
    }
    struct stat status {};
    void* mapped = MAP_FAILED;
    if (::fstat(handle, &status) == 0 && S_ISREG(status.st_mode) &&
        status.st_size >= static_cast<off_t>(sizeof(THead))) {
        mapped =
            ::mmap(nullptr, static_cast<size_t>(status.st_size), PROT_READ, MAP_SHARED, handle, 0);
    }
    ::close(handle);
    if (mapped == MAP_FAILED) {
        return nullptr;
    }
    auto bytes = std::make_unique<TBytes>();
    bytes->mapped = mapped;
    bytes->mappedBytes = static_cast<size_t>(status.st_size);
    std::unique_ptr<TCatalogCopy> copy(new TCatalogCopy(std::move(bytes)));
    if (!copy->TakeLayout()) {
        return nullptr;
    }
    return copy;
}

std::optional<TCopyFacts> TCatalogCopy::Peek(const QString& copyFile) {
    const QByteArray name = QFile::encodeName(copyFile);
    const int handle = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (handle < 0) {
        return std::nullopt;
    }
    std::optional<TCopyFacts> facts;
    THead head{};
    struct stat status {};
    if (::fstat(handle, &status) == 0 &&
        ::pread(handle, &head, sizeof head, 0) == static_cast<ssize_t>(sizeof head) &&
        std::memcmp(head.magic, kMagic, sizeof kMagic) == 0 && head.version == kVersion &&
        head.fieldCount == FieldCount && head.fileBytes == static_cast<uint64_t>(status.st_size) &&
        head.pathBytes <= head.fileBytes - sizeof head) {
        std::string path(head.pathBytes, '\0');
        if (::pread(handle, path.data(), path.size(), sizeof head) ==
            static_cast<ssize_t>(path.size())) {
            facts.emplace();
            facts->catalogStamp = {true, head.device, head.inode, head.size, head.modifiedNs};
            facts->catalogNativePath = std::move(path);
            facts->itemCount = head.itemCount;
            facts->bytes = head.fileBytes;
            facts->madeAtMs = head.madeAtMs;
        }
    }
    ::close(handle);
    return facts;
}

TCopyFacts TCatalogCopy::Facts() const {
    return {stamp_, std::string(nativePath_), itemCount_, bytes_.size(), madeAtMs_};
}

bool TCatalogCopy::TakeLayout() {
    if (bytes_.size() < sizeof(THead)) {
        return false;
    }
    const THead head = LoadRaw<THead>(bytes_.data());
    if (std::memcmp(head.magic, kMagic, sizeof kMagic) != 0 || head.version != kVersion ||
        head.blockItems != kCopyBlockItems || head.fieldCount != FieldCount ||
        head.fileBytes != bytes_.size()) {
        return false;
    }
    // Every section must lie inside the file; sizes are added only after each is checked.
    uint64_t at = sizeof head;
    const auto take = [&](uint64_t length, std::string_view& section) {
        if (length > bytes_.size() - at) {
            return false;
        }
        section = bytes_.substr(at, length);
        at += length;
        return true;
    };
    std::string_view attributes;
    std::string_view nameStarts;
    std::string_view blockStarts;
    if (head.itemCount > bytes_.size() || !take(head.pathBytes, nativePath_) ||
        !take(head.attributesBytes, attributes) || !take(head.namesBytes, names_) ||
        !take((head.itemCount + 1) * sizeof(uint32_t), nameStarts) ||
        !take((BlockCount(head.itemCount) + 1) * sizeof(uint64_t), blockStarts) ||
        !take(head.recordsBytes, records_) || at != bytes_.size()) {
        return false;
    }
    itemCount_ = head.itemCount;
    nameStarts_ = nameStarts.data();
    blockStarts_ = blockStarts.data();
    // The starts must run forward inside their sections, so no later read leaves them.
    for (uint64_t i = 0, last = 0; i <= itemCount_; ++i) {
        const uint64_t start = NameStart(i);
        if (start < last || start > names_.size()) {
            return false;
        }
        last = start;
    }
    for (uint64_t i = 0, last = 0; i <= BlockCount(itemCount_); ++i) {
        const auto start = LoadRaw<uint64_t>(blockStarts_ + i * sizeof(uint64_t));
        if (start < last || start > records_.size()) {
            return false;
        }
        last = start;
    }
    stamp_.Exists = true;
    stamp_.Device = head.device;
    stamp_.Inode = head.inode;
    stamp_.Size = head.size;
    stamp_.ModifiedNs = head.modifiedNs;
    madeAtMs_ = head.madeAtMs;

    TCatalogAttributes recorded;
    std::string_view rest = attributes;
    const auto readText = [&rest](std::string_view& text) {
        uint64_t length = 0;
        return TakeVarint(rest, length) && TakeBytes(rest, length, text);
    };
    while (!rest.empty()) {
        std::string_view name;
        std::string_view value;
        if (!readText(name) || !readText(value)) {
            return false;
        }
        recorded.Set(name, value);
    }
    timeFormat_ = RecordedTimeFormat(recorded);
    return true;
}

uint64_t TCatalogCopy::NameStart(uint64_t item) const {
    return LoadRaw<uint32_t>(nameStarts_ + item * sizeof(uint32_t));
}

std::string_view TCatalogCopy::Block(uint64_t block) const {
    const auto start = LoadRaw<uint64_t>(blockStarts_ + block * sizeof(uint64_t));
    const auto end = LoadRaw<uint64_t>(blockStarts_ + (block + 1) * sizeof(uint64_t));
    return records_.substr(start, end - start);
}

bool TCatalogCopy::Visit(std::string_view foldedNeedle,
                         const std::function<bool(const TPackedItem&)>& visit) const {
    TRecordUnpacker unpacker;
    TPackedItem item;
    uint64_t block = UINT64_MAX;
    uint64_t next = 0;  // the item the unpacker gives next
    // Unpacks item `wanted`, from the start of its block unless the unpacker is on the way.
    const auto reach = [&](uint64_t wanted) {
        const uint64_t wantedBlock = wanted / kCopyBlockItems;
        if (wantedBlock != block || wanted < next) {
            block = wantedBlock;
            next = wantedBlock * kCopyBlockItems;
            unpacker.StartBlock(Block(block));
        }
        while (next <= wanted) {
            if (!unpacker.Next(item)) {
                return false;
            }
            ++next;
        }
        return true;
    };
    if (foldedNeedle.empty()) {
        for (uint64_t i = 0; i < itemCount_; ++i) {
            if (!reach(i)) {
                return false;
            }
            if (!visit(item)) {
                return true;
            }
        }
        return true;
    }
    const char* const begin = names_.data();
    const char* const end = begin + names_.size();
    const char* at = begin;
    while (at < end) {
        const void* found =
            memmem(at, static_cast<size_t>(end - at), foldedNeedle.data(), foldedNeedle.size());
        if (!found) {
            break;
        }
        const auto offset = static_cast<uint64_t>(static_cast<const char*>(found) - begin);
        // The item whose name holds the offset: the last that starts at or before it.
        uint64_t low = 0;
        uint64_t high = itemCount_;
        while (high - low > 1) {
            const uint64_t middle = low + (high - low) / 2;
            (NameStart(middle) <= offset ? low : high) = middle;
        }
        if (itemCount_ == 0 || !reach(low)) {
            return itemCount_ == 0;
        }
        if (!visit(item)) {
            return true;
        }
        at = begin + NameStart(low + 1);
    }
    return true;
}

}  // namespace melodrix
