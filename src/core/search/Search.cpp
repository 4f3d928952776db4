// Searching catalog files: the walk over a group or one catalog and the test of every item.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "core/base/ByteScan.h"
#include "core/base/Errors.h"
#include "core/base/NativePaths.h"
#include "core/catalog/Paths.h"
#include "core/catalog/TimeFormat.h"
#include "core/catalog/XmlText.h"
#include "core/catalogfile/CatalogDocument.h"
#include "core/catalogfile/CatalogStream.h"
#include "core/catalogfile/CatalogTreeReader.h"
#include "core/catalogfile/DocumentItems.h"
#include "core/search/CatalogCopies.h"
#include "core/search/Duplicates.h"
#include "core/search/Search.h"
#include "core/search/SearchMatcher.h"

namespace melodrix {

namespace fs = std::filesystem;

namespace {

QString TextOf(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Takes each hit's texts with its catalog file, valid during the call only; keepFirst(n) forgets
// what it took after the first n hits (a catalog read as it went turned out to need the parser, and
// is read again).
struct THitVisitor {
    std::function<void(const QString& catalogFile, const TItemTexts& texts)> hit;
    std::function<void(size_t count)> keepFirst;
};

// Where a run puts its hits: the result tree, a flat list for the duplicate finder, which
// groups the files before any node is made for them, or a sink that takes them catalog by
// catalog, so that they are not all kept.
class THitList {
public:
    explicit THitList(TCatalogTree& tree) : tree_(&tree) {}
    THitList(std::vector<TFileItem>& items, std::vector<QString>& sources)
        : items_(&items), sources_(&sources) {}
    explicit THitList(const TCatalogHitsSink& sink)
        : items_(&ownItems_), sources_(&ownSources_), sink_(&sink) {}
    // Each hit's texts are handed to `visitor` as they are found; no item is made.
    explicit THitList(const THitVisitor& visitor) : visitor_(&visitor) {}

    // Hands a sink the hits of the catalog searched last; they are final once it is done.
    void CatalogDone(const QString& catalogFile) {
        if (sink_) {
            (*sink_)(catalogFile, ownItems_);
            ownItems_.clear();
            ownSources_.clear();
        }
    }

    // The catalog file the hits added from now on come from.
    void SetSource(const QString& catalogFile) { source_ = catalogFile; }
    // A hit of the texts read (decoded and mended, a bit per field present), completed as
    // opening its catalog completes it.
    void Add(TItemTexts& texts, uint32_t present, bool topLevel, std::string_view diskName) {
        if (visitor_) {
            CompleteCatalogItem(texts, present, topLevel, diskName);
            visitor_->hit(source_, texts);
            ++visited_;
            return;
        }
        StoreCatalogItem(NewItem(), texts, present, topLevel, diskName);
    }
    TFileItem& NewItem() {
        if (tree_) {
            TCatalogNode* node = tree_->AppendChild(nullptr);
            tree_->SetSourceCatalog(node, source_);
            return node->Item();
        }
        sources_->push_back(source_);
        return items_->emplace_back();
    }
    size_t Count() const {
        return visitor_ ? visited_
               : tree_  ? static_cast<size_t>(tree_->TopLevelCount())
                        : items_->size();
    }
    // Drops the hits after the first `count`.
    void KeepFirst(size_t count) {
        if (visitor_) {
            visited_ = count;
            visitor_->keepFirst(count);
            return;
        }
        if (!tree_) {
            items_->resize(count);
            sources_->resize(count);
            return;
        }
        while (static_cast<size_t>(tree_->TopLevelCount()) > count) {
            tree_->DeleteNode(tree_->TopLevel(tree_->TopLevelCount() - 1));
        }
    }
    TCatalogTree* Tree() const { return tree_; }

private:
    TCatalogTree* tree_ = nullptr;
    std::vector<TFileItem>* items_ = nullptr;
    std::vector<QString>* sources_ = nullptr;
    std::vector<TFileItem> ownItems_;
    std::vector<QString> ownSources_;
    const TCatalogHitsSink* sink_ = nullptr;
    const THitVisitor* visitor_ = nullptr;
    size_t visited_ = 0;
    QString source_;
};

// Observers of the result tree see the hits of one catalog file at once.
class THitsUpdate {
public:
    explicit THitsUpdate(const THitList& hits) : tree_(hits.Tree()) {
        if (tree_) {
            tree_->BeginUpdate();
        }
    }
    ~THitsUpdate() {
        if (tree_) {
            tree_->EndUpdate();
        }
    }
    THitsUpdate(const THitsUpdate&) = delete;
    THitsUpdate& operator=(const THitsUpdate&) = delete;

private:
    TCatalogTree* tree_;
};

// One run of the search: the walk over the scope and the test of every item.
class TSearchRun {
public:
    // Catalogs of a group are streamed; a single catalog is read into the document, which
    // the engine gets at the end anyway.
    // `linkRoot` is where a linked catalog must lead to be read; nothing: anywhere.
    TSearchRun(IProgressSink& progress, TSearchLeftover& leftover, THitList& result,
               TFileItem& conditions, TSearchMatcher& matcher, bool streaming,
               std::optional<fs::path> linkRoot, ICatalogCopies* copies)
        : leftover_(leftover),
          progress_(progress),
          result_(result),
          conditions_(conditions),
          matcher_(matcher),
          streaming_(streaming),
          linkRoot_(std::move(linkRoot)),
          copies_(copies) {}

    QStringList skipped;

    // `directory` is the text of the folder, `nativeDirectory` its name on disk, which the
    // walk follows: names need not be UTF-8.
    void SearchGroupFolder(const QString& directory, const fs::path& nativeDirectory) {
        std::error_code error;
        fs::directory_iterator it(nativeDirectory, error);
        if (error) {
            return;
        }
        for (const fs::directory_iterator end; !stopped_ && it != end; it.increment(error)) {
            if (error) {
                return;
            }
            const QString path = directory + FileNameText(it->path().filename().native());
            if (throttle_.Due()) {
                ShowProgressNow(path);
            }
            if (Cancelled()) {
                return;
            }
            std::error_code statusError;
            // A linked folder is not entered: the walk stays inside the scope and ends.
            if (it->is_directory(statusError) && !it->is_symlink(statusError)) {
                SearchGroupFolder(WithTrailingBackslash(path), it->path());
            } else {
                conditions_.SetField(FullPath, path.toUtf8().toStdString());
                SearchCatalogFile(QByteArray::fromStdString(it->path().native()));
            }
        }
    }

    // The catalog named by the conditions' FullPath, whose name on disk is `native`.
    void SearchCatalogFile(const QByteArray& native) {
        if (TestCatalogFile(native)) {
            result_.CatalogDone(TextOf(conditions_.Field(FullPath)));
        }
    }

    // True when the file was read as a catalog and its items tested.
    bool TestCatalogFile(const QByteArray& native) {
        const QString path = TextOf(conditions_.Field(FullPath));
        const TEntry entry = EntryOf(fs::path(native.toStdString()));
        if (entry == TEntry::Gone) {
            return false;
        }
        if (entry == TEntry::Other) {
            skipped << path;
            return false;
        }
        lastSearched_ = path;
        last_ = TLast::Skipped;
        if (entry == TEntry::Empty) {
            // Not read: it fails as a catalog all the same.
            skipped << path;
            return false;
        }
        if (copies_ && TestCopy(path, native)) {
            last_ = TLast::Streamed;  // the file itself is parsed only if it is handed over
            return true;
        }
        if (streaming_ && StreamCatalogFile(path, native)) {
            last_ = TLast::Streamed;
            return true;
        }
        // Each catalog is parsed into the search's own document, which the next one
        // reuses; the engine's Document gets the last one at the end.
        if (!ParseCatalogFile(path) || !document_.document_element()) {
            // Not a catalog: note it and go on with the next file.
            skipped << path;
            return false;
        }
        last_ = TLast::InDocument;
        SetDiskName(path);
        matcher_.UseTimeFormat(DocumentTimeFormat(document_.document_element()));

        const THitsUpdate bracket(result_);
        ForEachDocumentItem(document_.document_element(), [this](const pugi::xml_node& element) {
            if (diskHolds_ && matcher_.Matches(element)) {
                AddHit(element);
            }
            return !Tested([&] { return TextOf(element.attribute("FileName").value()); });
        });
        return true;
    }

    // Tests the items of a plainly written catalog while reading it. False, with no hits
    // kept from the file, when it holds something only the XML parser reads.
    bool StreamCatalogFile(const QString& path, const QByteArray& native) {
        if (!stream_.Load(native)) {
            return false;
        }
        SetDiskName(path);
        const size_t firstHit = result_.Count();
        const uint64_t testedBefore = tested_;
        const THitsUpdate bracket(result_);
        bool plain = true;
        bool first = true;
        while (plain && stream_.NextItem()) {
            if (first) {
                // The root element's attributes are known from the first item on.
                matcher_.UseTimeFormat(StreamedTimeFormat());
                first = false;
            }
            const std::optional<bool> matches = MatchesStreamed();
            plain = matches && (!*matches || AddStreamedHit());
            if (plain && Tested([this] { return StreamedFileName(); })) {
                return true;
            }
        }
        if (plain && !stream_.Unusual()) {
            return true;
        }
        result_.KeepFirst(firstHit);
        tested_ = testedBefore;
        return false;
    }

    // Tests the items of the current copy of the catalog, when the copies hold or can make one.
    bool TestCopy(const QString& path, const QByteArray& native) {
        SetDiskName(path);
        const size_t firstHit = result_.Count();
        const uint64_t testedBefore = tested_;
        const THitsUpdate bracket(result_);
        const bool copied = copies_->VisitCandidates(
            path, native,
            [this](const TCopiedCatalog& catalog) { matcher_.UseTimeFormat(catalog.timeFormat); },
            [this](const TCopiedItem& item) {
                if (!diskHolds_) {
                    return false;  // no item of this catalog can be a hit
                }
                if (MatchesCopied(item)) {
                    TItemTexts texts = item.texts;
                    result_.Add(texts, item.present, item.topLevel, disk_);
                }
                return !Tested([&] { return TextOf(item.texts[FileName]); });
            });
        if (!copied) {
            result_.KeepFirst(firstHit);
            tested_ = testedBefore;
        }
        return copied;
    }

    bool MatchesCopied(const TCopiedItem& item) const {
        const TItemTexts& tested = *item.tested;
        for (size_t i = 0; i < matcher_.ConditionCount(); ++i) {
            const int field = matcher_.ConditionFieldNumber(i);
            if (!matcher_.ConditionHolds(i, (item.testedPresent >> field) & 1u,
                                         tested[static_cast<size_t>(field)])) {
                return false;
            }
        }
        return true;
    }

    // Leaves the leftover's Document holding the last catalog searched, as opening it would.
    void HandOverLastCatalog() {
        if (lastSearched_.isEmpty()) {
            return;
        }
        leftover_.CatalogFileName = lastSearched_;
        if (!leftover_.Document) {
            return;
        }
        if (last_ == TLast::Streamed && ParseCatalogFile(lastSearched_) &&
            document_.document_element()) {
            last_ = TLast::InDocument;
        }
        if (last_ == TLast::InDocument) {
            SanitizeDocument(document_.document_element());
            *leftover_.Document = std::move(document_);
        }
    }

private:
    // How the last catalog searched was read, and so what the hand-over has to do.
    enum class TLast { Skipped, InDocument, Streamed };

    // What an entry of the scope is to the search. Only a regular file is read as a catalog:
    // a FIFO or a device would block the reader or never end (the open checks the kind again,
    // so a file swapped after this look cannot block it either). A link is followed only into
    // the link root.
    enum class TEntry { Catalog, Empty, Gone, Other };
    TEntry EntryOf(const fs::path& entry) const {
        std::error_code error;
        const fs::file_status own = fs::symlink_status(entry, error);
        if (error || own.type() == fs::file_type::not_found) {
            return TEntry::Gone;  // removed while the walk ran
        }
        if (fs::is_symlink(own) && linkRoot_ && !LeadsInto(entry, *linkRoot_)) {
            return TEntry::Other;
        }
        const fs::file_status target = fs::status(entry, error);
        if (fs::is_directory(target)) {
            return TEntry::Gone;  // a folder is never a catalog, nor worth a word
        }
        if (error || !fs::is_regular_file(target)) {
            return TEntry::Other;
        }
        // No catalog is empty. The files of /proc and /sys say they are, and some of them
        // never end or read the memory of a process: they are not read.
        const uintmax_t size = fs::file_size(entry, error);
        return error ? TEntry::Other : size > 0 ? TEntry::Catalog : TEntry::Empty;
    }

    static bool LeadsInto(const fs::path& link, const fs::path& root) {
        std::error_code error;
        const fs::path target = fs::canonical(link, error);
        if (error) {
            return false;
        }
        const std::string& folder = root.native();
        const std::string& found = target.native();
        return found == folder ||
               (found.size() > folder.size() && found.compare(0, folder.size(), folder) == 0 &&
                (folder.back() == '/' || found[folder.size()] == '/'));
    }

    // Parses a catalog as opening it does, in the encoding its declaration names.
    bool ParseCatalogFile(const QString& path) {
        try {
            LoadCatalogDocument(path, document_);
            return true;
        } catch (const TCatalogFileError&) {
            return false;
        }
    }

    // Counts a tested item; true when the user has cancelled the search.
    template <typename TextOfItem>
    bool Tested(TextOfItem&& textOfItem) {
        ++tested_;
        if ((++sinceCheck_ & 63) == 0 && throttle_.Due()) {
            ShowProgressNow(textOfItem());
        }
        return Cancelled();
    }

    void SetDiskName(const QString& path) {
        result_.SetSource(path);
        const QByteArray diskName = DiskNameOf(path).toUtf8();
        disk_.assign(diskName.constData(), static_cast<size_t>(diskName.size()));
        diskHolds_ = matcher_.DiskHolds(disk_);
    }

    // The time format a catalog records, from the attributes of its root element.
    static std::optional<TTimeFormat> DocumentTimeFormat(const pugi::xml_node& root) {
        TCatalogAttributes attributes;
        for (pugi::xml_attribute attribute = root.first_attribute(); attribute;
             attribute = attribute.next_attribute()) {
            if (IsCatalogAttributeName(attribute.name())) {
                attributes.Set(attribute.name(), attribute.value());
            }
        }
        return RecordedTimeFormat(attributes);
    }

    std::optional<TTimeFormat> StreamedTimeFormat() {
        TCatalogAttributes attributes;
        for (const TCatalogStream::TAttribute& attribute : stream_.RootAttributes()) {
            if (IsCatalogAttributeName(attribute.name)) {
                if (const std::optional<std::string_view> value =
                        TCatalogStream::DecodeClean(attribute, scratch_, mendedScratch_)) {
                    attributes.Set(attribute.name, *value);
                }
            }
        }
        return RecordedTimeFormat(attributes);
    }

    const TCatalogStream::TAttribute* FindStreamed(std::string_view name) const {
        for (const TCatalogStream::TAttribute& attribute : stream_.Attributes()) {
            if (bytescan::ShortEquals(attribute.name, name)) {
                return &attribute;
            }
        }
        return nullptr;
    }

    QString StreamedFileName() {
        const TCatalogStream::TAttribute* name = FindStreamed(FieldNames[FileName]);
        if (!name) {
            return QString();
        }
        return TextOf(TCatalogStream::Decode(*name, scratch_).value_or(name->rawValue));
    }

    // Whether the streamed item meets the conditions, tested as the matcher tests elements;
    // nothing when one of the values needs the XML parser.
    std::optional<bool> MatchesStreamed() {
        if (!diskHolds_) {
            return false;
        }
        for (size_t i = 0; i < matcher_.ConditionCount(); ++i) {
            const TCatalogStream::TAttribute* attribute = FindStreamed(matcher_.ConditionField(i));
            std::optional<std::string_view> value;
            if (attribute) {
                // Tested as the parsed catalog holds it: mended.
                value = TCatalogStream::DecodeClean(*attribute, scratch_, mendedScratch_);
                if (!value) {
                    return std::nullopt;
                }
            }
            if (!matcher_.ConditionHolds(i, attribute != nullptr, value.value_or(""))) {
                return false;
            }
        }
        return true;
    }

    bool Cancelled() {
        if (!stopped_ && progress_.CancelRequested()) {
            stopped_ = true;
        }
        return stopped_;
    }

    // Callers tell the progress window at most every ~30 ms, so it never slows the search.
    void ShowProgressNow(const QString& text) {
        progress_.SetProgressText(text);
        progress_.SetProgressCount(tested_);
        progress_.ProcessPendingInput();
    }

    // A hit holds the values opening its catalog gives the item: mended, and with the
    // defaults of a top-level item.
    void AddHit(const pugi::xml_node& element) {
        std::array<std::string_view, FieldCount> texts{};
        uint32_t present = 0;
        for (pugi::xml_attribute attribute = element.first_attribute(); attribute;
             attribute = attribute.next_attribute()) {
            const int index = fields_.IndexOf(attribute.name());
            if (index >= 0) {
                texts[index] = MendedHitValue(index, attribute.value());
                present |= 1u << index;
            }
        }
        const bool topLevel = element.parent() == document_.document_element();
        result_.Add(texts, present, topLevel, disk_);
    }

    // As AddHit; false when a value needs the XML parser.
    bool AddStreamedHit() {
        TItemTexts texts;
        const std::optional<uint32_t> present =
            ReadStreamedItem(stream_, fields_, hitScratch_, hitMended_, texts);
        if (!present) {
            return false;
        }
        result_.Add(texts, *present, stream_.Depth() == 0, disk_);
        return true;
    }

    std::string_view MendedHitValue(int index, std::string_view value) {
        std::string& mended = hitMended_[static_cast<size_t>(index)];
        return SanitizeForXml(value, mended) ? std::string_view(mended) : value;
    }

    TSearchLeftover& leftover_;
    IProgressSink& progress_;
    THitList& result_;
    TFileItem& conditions_;
    TSearchMatcher& matcher_;
    TProgressThrottle throttle_;
    TFieldNameMatcher fields_;
    const bool streaming_;
    const std::optional<fs::path> linkRoot_;
    ICatalogCopies* const copies_;
    pugi::xml_document document_;
    TCatalogStream stream_;
    std::string scratch_;
    std::string mendedScratch_;
    std::array<std::string, FieldCount> hitScratch_;
    std::array<std::string, FieldCount> hitMended_;
    QString lastSearched_;
    TLast last_ = TLast::Skipped;
    std::string disk_;
    bool diskHolds_ = true;
    uint64_t tested_ = 0;
    uint32_t sinceCheck_ = 0;
    bool stopped_ = false;
};

// The search of SearchCatalogs, its hits put in `hits`.
QStringList RunSearch(IProgressSink& progress, TSearchLeftover& leftover, TSearchScope scope,
                      THitList& hits, TFileItem& conditions, TSearchMatcher& matcher,
                      const TSearchOptions& options, ICatalogCopies* copies) {
    const QString& linkRoot = options.linkRoot;
    TProgressScope shown(progress, QString(), true);
    progress.ForgetEarlierCancel();
    const QString rootText = !linkRoot.isEmpty()            ? linkRoot
                             : scope == TSearchScope::Group ? TextOf(conditions.Field(FullPath))
                                                            : QString();
    std::optional<fs::path> root;
    if (!rootText.isEmpty()) {
        // Compared with the real paths links lead to; no link leads into a root not there.
        const fs::path given(NativePathOf(rootText).toStdString());
        std::error_code error;
        const fs::path real = fs::canonical(given, error);
        root = error ? given : real;
    }
    if (copies) {
        copies->Prepare(conditions, options);
    }
    TSearchRun run(progress, leftover, hits, conditions, matcher, scope == TSearchScope::Group,
                   root, copies);
    if (scope == TSearchScope::Group) {
        const QString folder = WithTrailingBackslash(TextOf(conditions.Field(FullPath)));
        run.SearchGroupFolder(folder, fs::path(NativePathOf(folder).toStdString()));
    } else {
        run.SearchCatalogFile(NativePathOf(TextOf(conditions.Field(FullPath))));
    }
    run.HandOverLastCatalog();
    return run.skipped;
}

}  // namespace

QStringList SearchCatalogs(IProgressSink& progress, TSearchScope scope, TCatalogTree& result,
                           TFileItem& conditions, const TSearchOptions& options,
                           TSearchLeftover& leftover, ICatalogCopies* copies) {
    // Made first: a condition that cannot be used is refused before anything is read.
    TSearchMatcher matcher(conditions, options);
    result.Clear();
    THitList hits(result);
    return RunSearch(progress, leftover, scope, hits, conditions, matcher, options, copies);
}

QStringList SearchCatalogsInto(IProgressSink& progress, TSearchScope scope, TFileItem& conditions,
                               const TSearchOptions& options, TSearchLeftover& leftover,
                               const TCatalogHitsSink& sink, ICatalogCopies* copies) {
    TSearchMatcher matcher(conditions, options);
    THitList hits(sink);
    return RunSearch(progress, leftover, scope, hits, conditions, matcher, options, copies);
}

TDuplicates FindDuplicates(IProgressSink& progress, TSearchScope scope, const QString& scopePath,
                           TDuplicateKey key, const QString& linkRoot, TCatalogTree& result,
                           TSearchLeftover& leftover, ICatalogCopies* copies) {
    // Every file of the scope is gathered as a search hit would be, but into a flat list:
    // only the files that have a copy become nodes, already in their groups' order.
    TFileItem record;
    const std::string scopeText = scopePath.toUtf8().toStdString();
    TSearchOptions options;
    options.kind = TItemKind::Files;
    options.linkRoot = linkRoot;
    TSearchMatcher matcher(record, options);
    result.Clear();
    TDuplicates duplicates;
    std::vector<TFileItem> files;
    std::vector<QString> sources;
    const auto read = [&](THitList& hits, TSearchLeftover& left) {
        record.SetField(FullPath, scopeText);  // the walk leaves the last catalog's path there
        duplicates.skipped =
            RunSearch(progress, left, scope, hits, record, matcher, options, copies);
    };

    bool gathered = false;
    if (copies) {
        // First reading: the hash of each file's key, in the order met; no file is kept.
        std::vector<uint64_t> hashes;
        const THitVisitor hashing{[&](const QString&, const TItemTexts& texts) {
                                      hashes.push_back(DuplicateKeyHash(texts, key));
                                  },
                                  [&](size_t count) { hashes.resize(count); }};
        THitList hashed(hashing);
        TSearchLeftover unparsed{nullptr, leftover.CatalogFileName};  // handed over at the end
        read(hashed, unparsed);
        if (progress.CancelRequested()) {
            return duplicates;
        }
        // Only a file whose hash another file has can have a copy.
        std::vector<uint64_t> shared;
        {
            std::vector<uint64_t> sorted;
            sorted.reserve(hashes.size());
            std::copy_if(hashes.begin(), hashes.end(), std::back_inserter(sorted),
                         [](uint64_t hash) { return hash != 0; });
            std::sort(sorted.begin(), sorted.end());
            for (size_t i = 1; i < sorted.size(); ++i) {
                if (sorted[i] == sorted[i - 1] && (shared.empty() || shared.back() != sorted[i])) {
                    shared.push_back(sorted[i]);
                }
            }
        }
        // Second reading: those files only. Each must come where the first reading met it,
        // with the same hash, or a catalog changed in between.
        size_t next = 0;
        bool same = true;
        std::vector<size_t> keptAt;  // the hit number of each file kept
        const THitVisitor keeping{
            [&](const QString& catalog, const TItemTexts& texts) {
                const uint64_t hash = DuplicateKeyHash(texts, key);
                same = same && next < hashes.size() && hashes[next] == hash;
                if (hash != 0 && std::binary_search(shared.begin(), shared.end(), hash)) {
                    files.emplace_back().SetAllFields(texts);
                    sources.push_back(catalog);
                    keptAt.push_back(next);
                }
                ++next;
            },
            [&](size_t count) {
                next = count;
                while (!keptAt.empty() && keptAt.back() >= count) {
                    keptAt.pop_back();
                    files.pop_back();
                    sources.pop_back();
                }
            }};
        THitList kept(keeping);
        read(kept, leftover);
        // Cancelled, the files kept so far are grouped, as a one-pass gathering would be.
        gathered = progress.CancelRequested() || (same && next == hashes.size());
        if (!gathered) {
            files.clear();
            sources.clear();
        }
    }
    if (!gathered) {
        THitList hits(files, sources);
        read(hits, leftover);
    }
    GroupDuplicates(files, sources, key, duplicates, result);
    return duplicates;
}

}  // namespace melodrix
