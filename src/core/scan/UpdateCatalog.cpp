// Updating a catalog from its folder: rescan, match old and new items by their scanned
// path, keep what the user typed, report the differences.
#include "core/scan/UpdateCatalog.h"
#include "core/scan/Scanner.h"

#include <QDir>
#include <QFileInfo>
#include <array>
#include <unordered_map>
#include <unordered_set>

#include "core/base/Errors.h"
#include "core/base/NativePaths.h"
#include "core/catalog/DateTimeParser.h"
#include "core/catalog/Paths.h"
#include "core/catalog/TimeFormat.h"
#include "core/catalogfile/CatalogDocument.h"
#include "core/catalogfile/CatalogLock.h"
#include "core/catalogfile/CatalogTreeReader.h"
#include "core/catalogfile/CatalogWriter.h"
#include "core/scan/FolderSizes.h"
#include "core/scan/ScannerDirectory.h"
#include "core/scan/UpdateRenames.h"

#include "core/base/TextDecoding.h"

namespace melodrix {

namespace {

QString QText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string Utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

// What a file that could not be read keeps of its stored item: its tags and audio properties.
constexpr std::array<int, 16> kTagFields = {
    MP3_Title,     MP3_Artist, MP3_Album,       MP3_Year,      MP3_Comment,  MP3_Genre,
    MP3_Track,     MP3_Disc,   MP3_AlbumArtist, AudioDuration, AudioBitrate, AudioSampleRate,
    AudioChannels, AudioCodec, AudioMode,       ID3Mismatch};
// What a rescan may change in an item: a file's size, time, tags and audio properties; a
// folder's time (its size and playing time are sums of what is below it, reported there).
constexpr std::array<int, 18> kFileFields = [] {
    std::array<int, 18> fields{FileSize, FileTime};
    std::copy(kTagFields.begin(), kTagFields.end(), fields.begin() + 2);
    return fields;
}();
constexpr std::array<int, 1> kFolderFields = {FileTime};

bool IsDiskAttribute(std::string_view name);

class TUpdateRun {
public:
    // `oldTimes` reads the catalog's times, `freshTimes` those the rescan wrote.
    TUpdateRun(const TCatalogTree& old, TCatalogTree& fresh, const TScanOutcome& outcome,
               const TStoredTimeReader& oldTimes, const TDateTimeParser& freshTimes)
        : old_(old),
          fresh_(fresh),
          record_(TRenameRecord::Of(old)),
          scanned_(record_),
          oldTimes_(oldTimes),
          freshTimes_(freshTimes) {
        for (const TScanProblem& folder : outcome.UnlistedFolders) {
            unlisted_.insert(folder.FullPath);
        }
        for (const TScanProblem& file : outcome.UnreadFiles) {
            unread_.emplace(file.FullPath, file.Examined);
        }
    }

    void Run(TCatalogUpdate& update) {
        const TCatalogNode* oldTop = old_.GetFirst();
        TCatalogNode* newTop = fresh_.GetFirst();
        if (oldTop && newTop) {
            std::string path;
            MatchPair(*oldTop, *newTop, path);
        } else if (oldTop) {
            RemovedSubtree(*oldTop);
        } else if (newTop) {
            AddedSubtree(*newTop);
        }
        // A scanned catalog has one top-level item; any other one has no folder to match.
        for (int row = 1; row < old_.TopLevelCount(); ++row) {
            RemovedSubtree(*old_.TopLevel(row));
        }
        if (!renamed_.empty()) {
            for (int row = 0; row < fresh_.TopLevelCount(); ++row) {
                FixPaths(*fresh_.TopLevel(row), std::string(), false);
            }
        }
        if (carried_ && fresh_.Attributes().Value(kOnlyFoldersAttribute) != "true") {
            ComputeFolderSizes(fresh_);
        }
        CarryAttributes();
        Report(update);
    }

private:
    void MatchPair(const TCatalogNode& oldNode, TCatalogNode& newNode, std::string& path) {
        TFileItem& item = newNode.Item();
        const std::string scannedPath(item.Field(FullPath));
        if (!item.IsDirectory()) {
            if (const auto unread = unread_.find(scannedPath); unread != unread_.end()) {
                KeepStored(oldNode.Item(), item, unread->second);
            }
        }
        KeepStoredTime(oldNode.Item(), item);
        const std::string_view description = oldNode.Item().Field(Description);
        if (!description.empty()) {
            item.SetField(Description, description);
        }
        if (const std::string* name = record_.Find(path)) {
            item.SetField(FileName, *name);
            renamed_.insert(&newNode);
            kept_.Set(path, *name);
        }
        if (Differs(oldNode.Item(), item)) {
            changed_.emplace_back(&oldNode, &newNode);
        }
        if (item.IsDirectory() && unlisted_.count(scannedPath) > 0) {
            CarryOver(oldNode, newNode, path);
            return;
        }
        if (oldNode.ChildCount() == 0) {
            for (TCatalogNode* child = newNode.FirstChild(); child; child = child->NextSibling()) {
                AddedSubtree(*child);
            }
            return;
        }
        const std::vector<std::string_view> names = scanned_.ChildrenOf(oldNode, path);
        std::unordered_map<std::string_view, size_t> byName;
        byName.reserve(names.size());
        for (size_t i = 0; i < names.size(); ++i) {
            byName.emplace(names[i], i);
        }
        std::vector<bool> matched(names.size(), false);
        for (TCatalogNode* child = newNode.FirstChild(); child; child = child->NextSibling()) {
            const TCatalogNode* oldChild = nullptr;
            const auto found = byName.find(child->Item().Field(FileName));
            if (found != byName.end() && !matched[found->second]) {
                const TCatalogNode* candidate = oldNode.Child(static_cast<int>(found->second));
                // A file that became a folder (or the other way) is a new item.
                if (candidate->Item().IsDirectory() == child->Item().IsDirectory()) {
                    oldChild = candidate;
                    matched[found->second] = true;
                }
            }
            if (!oldChild) {
                AddedSubtree(*child);
                continue;
            }
            const size_t length = path.size();
            AppendPathComponent(path, child->Item().Field(FileName));
            MatchPair(*oldChild, *child, path);
            path.resize(length);
        }
        for (size_t i = 0; i < matched.size(); ++i) {
            if (!matched[i]) {
                RemovedSubtree(*oldNode.Child(static_cast<int>(i)));
            }
        }
    }

    // A file that could not be read keeps its stored tags; one that could not even be
    // examined keeps its size and time as well.
    static void KeepStored(const TFileItem& stored, TFileItem& item, bool examined) {
        for (const int field : kTagFields) {
            item.SetField(field, stored.Field(field));
        }
        if (!examined) {
            item.SetField(FileSize, stored.Field(FileSize));
            item.SetField(FileTime, stored.Field(FileTime));
        }
    }

    // The same moment keeps the text it is stored with, in whatever format that was written.
    void KeepStoredTime(const TFileItem& stored, TFileItem& item) const {
        const std::string_view before = stored.Field(FileTime);
        const std::string_view after = item.Field(FileTime);
        if (before == after || before.empty() || after.empty()) {
            return;
        }
        const std::optional<int64_t> was = oldTimes_.ParseToMsecs(before);
        const std::optional<int64_t> now = freshTimes_.ParseToMsecs(after);
        if (was && now && *was == *now) {
            item.SetField(FileTime, std::string(before));
        }
    }

    // Puts the stored items below a folder that could not be listed under its new item, as
    // they are, and keeps the names the user gave them.
    void CarryOver(const TCatalogNode& oldNode, TCatalogNode& newNode, const std::string& path) {
        const std::string oldPath(oldNode.Item().Field(FullPath));
        const std::string newPath(newNode.Item().Field(FullPath));
        for (TCatalogNode* child = oldNode.FirstChild(); child; child = child->NextSibling()) {
            CopySubtree(*child, newNode, oldPath, newPath);
        }
        const std::string below = path.empty() ? std::string() : path + '/';
        for (const auto& [scanned, name] : record_.Entries()) {
            if (scanned.size() > below.size() && scanned.starts_with(below)) {
                kept_.Set(scanned, name);
            }
        }
        carried_ = true;
    }

    // The copy's path is the new folder's path followed by what followed the old one's.
    void CopySubtree(const TCatalogNode& from, TCatalogNode& parent, const std::string& oldPath,
                     const std::string& newPath) {
        TCatalogNode* copy = fresh_.AppendChild(&parent);
        TFileItem& item = copy->Item();
        item = from.Item();
        const std::string_view stored = from.Item().Field(FullPath);
        const std::string path = stored.starts_with(oldPath)
                                     ? newPath + std::string(stored.substr(oldPath.size()))
                                     : std::string(parent.Item().Field(FullPath)) +
                                           Utf8(PathDelimiter()) +
                                           std::string(from.Item().Field(FileName));
        if (path != stored) {
            item.SetField(FullPath, path);
            item.SetField(PathNameLength, std::to_string(Utf8CharacterCount(path)));
        }
        for (TCatalogNode* child = from.FirstChild(); child; child = child->NextSibling()) {
            CopySubtree(*child, *copy, oldPath, newPath);
        }
    }

    static bool Differs(const TFileItem& before, const TFileItem& after) {
        const auto differs = [&](int field) { return before.Field(field) != after.Field(field); };
        if (after.IsDirectory()) {
            return std::any_of(kFolderFields.begin(), kFolderFields.end(), differs);
        }
        return std::any_of(kFileFields.begin(), kFileFields.end(), differs);
    }

    void AddedSubtree(const TCatalogNode& node) {
        added_.push_back(&node);
        ForEachDescendant(const_cast<TCatalogNode*>(&node),
                          [&](const TCatalogNode* inner) { added_.push_back(inner); });
    }

    void RemovedSubtree(const TCatalogNode& node) {
        removed_.push_back(&node);
        ForEachDescendant(const_cast<TCatalogNode*>(&node),
                          [&](const TCatalogNode* inner) { removed_.push_back(inner); });
    }

    // Gives renamed items and everything below them the paths a rename in the content view
    // gives: the parent's path, the delimiter and the new name; below it the old path's
    // tail after the new beginning.
    void FixPaths(TCatalogNode& node, const std::string& parentScanned, bool parentMoved) {
        TFileItem& item = node.Item();
        const std::string scanned(item.Field(FullPath));
        std::string path = scanned;
        if (parentMoved) {
            const std::string parentPath(node.Parent()->Item().Field(FullPath));
            path = parentPath + scanned.substr(std::min(parentScanned.size(), scanned.size()));
        }
        if (renamed_.count(&node) > 0) {
            const std::string name(item.Field(FileName));
            if (const TCatalogNode* parent = node.Parent()) {
                path = std::string(parent->Item().Field(FullPath)) + Utf8(PathDelimiter()) + name;
            } else {
                path = name;
            }
            item.SetField(FileNameLength, std::to_string(Utf8CharacterCount(name)));
        }
        const bool moved = path != scanned;
        if (moved) {
            item.SetField(FullPath, path);
            item.SetField(PathNameLength, std::to_string(Utf8CharacterCount(path)));
        }
        for (TCatalogNode* child = node.FirstChild(); child; child = child->NextSibling()) {
            if (moved || HoldsRenamed(*child)) {
                FixPaths(*child, scanned, moved);
            }
        }
    }

    // True when the subtree of `node` holds a renamed item (a short walk: few are renamed).
    bool HoldsRenamed(const TCatalogNode& node) const {
        for (const TCatalogNode* renamed : renamed_) {
            for (const TCatalogNode* n = renamed; n; n = n->Parent()) {
                if (n == &node) {
                    return true;
                }
            }
        }
        return false;
    }

    // The new tree has the scan's own attributes; the others of the old catalog stay, and
    // the rename record keeps the entries of the items found again. The time format, which
    // older catalogs lack, comes after the attributes they have.
    void CarryAttributes() {
        TCatalogAttributes& attributes = fresh_.Attributes();
        for (const auto& [name, value] : old_.Attributes().Entries()) {
            // The disk is as the rescan found it: facts it did not record are no longer true.
            if (!attributes.Find(name) && name != kRenamedItemsAttribute &&
                !IsDiskAttribute(name)) {
                attributes.Set(name, value);
            }
        }
        kept_.StoreIn(fresh_);
        if (const std::optional<TTimeFormat> format = RecordedTimeFormat(attributes)) {
            ForgetTimeFormat(attributes);
            RecordTimeFormat(attributes, *format);
        }
    }

    void Report(TCatalogUpdate& update) const {
        update.Added.reserve(added_.size());
        for (const TCatalogNode* node : added_) {
            update.Added.push_back(ChangeOf(TChangeKind::Added, *node));
        }
        update.Removed.reserve(removed_.size());
        for (const TCatalogNode* node : removed_) {
            TCatalogChange change = ChangeOf(TChangeKind::Removed, *node);
            change.Description = node->Item().Field(Description);
            update.Removed.push_back(std::move(change));
        }
        update.Changed.reserve(changed_.size());
        for (const auto& [before, after] : changed_) {
            TCatalogChange change = ChangeOf(TChangeKind::Changed, *after);
            for (int field = 0; field < FieldCount; ++field) {
                if (field != Description && field != FileName && field != FullPath &&
                    field != FileNameLength && field != PathNameLength && field != SizePercentage &&
                    field != DiskName &&
                    before->Item().Field(field) != after->Item().Field(field) &&
                    (!after->Item().IsDirectory() || field == FileTime)) {
                    change.Fields.push_back({field, std::string(before->Item().Field(field)),
                                             std::string(after->Item().Field(field))});
                }
            }
            update.Changed.push_back(std::move(change));
        }
    }

    static TCatalogChange ChangeOf(TChangeKind kind, const TCatalogNode& node) {
        TCatalogChange change;
        change.Kind = kind;
        change.FullPath = node.Item().Field(FullPath);
        change.IsDirectory = node.Item().IsDirectory();
        return change;
    }

    const TCatalogTree& old_;
    TCatalogTree& fresh_;
    const TRenameRecord record_;
    const TScannedNames scanned_;
    const TStoredTimeReader& oldTimes_;
    const TDateTimeParser& freshTimes_;
    std::unordered_set<std::string> unlisted_;      // by the FullPath the scan gave
    std::unordered_map<std::string, bool> unread_;  // the same, to whether it was examined
    bool carried_ = false;  // items were carried over below a folder that could not be listed
    TRenameRecord kept_;
    std::unordered_set<const TCatalogNode*> renamed_;
    std::vector<const TCatalogNode*> added_, removed_;
    std::vector<std::pair<const TCatalogNode*, const TCatalogNode*>> changed_;
};

bool IsDiskAttribute(std::string_view name) {
    return name == kDiskTotalBytesAttribute || name == kDiskFreeBytesAttribute ||
           name == kDiskFileSystemAttribute || name == kDiskLabelAttribute;
}

// The format every stored time of the catalog is in: the first of the current one and the
// common ones that reads them all; nothing when none does (texts of several formats).
std::optional<TTimeFormat> FormatOfStoredTimes(const TCatalogTree& catalog) {
    std::vector<TTimeFormat> candidates{CurrentTimeFormat()};
    for (const TTimeFormat& common : CommonTimeFormats()) {
        if (!(common == candidates.front())) {
            candidates.push_back(common);
        }
    }
    for (const TTimeFormat& candidate : candidates) {
        const TDateTimeParser parser(candidate);
        bool readsAll = true;
        for (TCatalogNode* node = catalog.GetFirst(); node && readsAll;
             node = catalog.GetNext(node)) {
            const std::string_view time = node->Item().Field(FileTime);
            readsAll = time.empty() || parser.ParseToMsecs(time).has_value();
        }
        if (readsAll) {
            return candidate;
        }
    }
    return std::nullopt;
}

}  // namespace

std::vector<const TCatalogChange*> TCatalogUpdate::DroppedDescriptions() const {
    std::vector<const TCatalogChange*> dropped;
    for (const TCatalogChange& change : Removed) {
        if (!change.Description.empty()) {
            dropped.push_back(&change);
        }
    }
    return dropped;
}

QString StoredScanFolder(const TCatalogTree& catalog) {
    if (const std::string* folder = catalog.Attributes().Find(kScanFolderAttribute)) {
        if (!folder->empty()) {
            return QText(*folder);
        }
    }
    const TCatalogNode* top = catalog.GetFirst();
    if (!top) {
        return QString();
    }
    const QString path = QText(top->Item().Field(FullPath));
    // A labelled drive root is shown as "LABEL(/mount/point)".
    const qsizetype open = path.indexOf(QLatin1Char('('));
    if (!QFileInfo(path).isDir() && open > 0 && path.endsWith(QLatin1Char(')'))) {
        return path.mid(open + 1, path.size() - open - 2);
    }
    return path;
}

TCatalogUpdate UpdateCatalog(IProgressSink& progress, const TCatalogTree& catalog,
                             const QString& catalogFile, const QString& folder) {
    TCatalogUpdate update;
    update.CatalogStamp = catalog.FileStamp();
    update.Folder = folder.isEmpty() ? StoredScanFolder(catalog) : folder;
    if (update.Folder.isEmpty()) {
        throw TMelodrixError(
            QStringLiteral("The catalog does not tell which folder it was made from; "
                           "choose the folder to scan."));
    }
    if (!QFileInfo(update.Folder).isDir()) {
        throw TMelodrixError(QStringLiteral("The folder %1 does not exist (is the disk "
                                            "mounted?). The catalog was not changed.")
                                 .arg(update.Folder));
    }
    std::vector<TScanEntry> entries;
    int error = 0;
    const std::string native = NativePathOf(WithTrailingBackslash(update.Folder)).toStdString();
    if (!ListScanDirectory(native, entries, &error)) {
        throw TMelodrixError(QStringLiteral("The folder %1 could not be read (%2). The catalog "
                                            "was not changed.")
                                 .arg(update.Folder, ScanErrorText(error)));
    }
    if (!catalog.IsEmpty() && entries.empty()) {
        throw TMelodrixError(QStringLiteral("The folder %1 is empty while the catalog is not "
                                            "(is the disk mounted?). The catalog was not "
                                            "changed.")
                                 .arg(update.Folder));
    }
    const TCatalogAttributes& made = catalog.Attributes();
    TScanOptions options = ScanOptionsOf(made);
    // The rescan writes its times as the catalog's are written, so that the same moment
    // gives the same text.
    std::optional<TTimeFormat> stored = RecordedTimeFormat(made);
    if (!stored) {
        stored = FormatOfStoredTimes(catalog);
    }
    const TTimeFormat format = stored.value_or(CurrentTimeFormat());

    update.Tree = std::make_unique<TCatalogTree>();
    options.TimeFormat = &format;
    const TScanOutcome outcome =
        ScanFolderToTree(progress, *update.Tree, update.Folder, options, catalogFile);
    if (!outcome.Failure.isEmpty()) {
        // What the scan did not reach would pass for removed.
        throw TMelodrixError(QStringLiteral("The scan of %1 ended early (%2). The catalog was "
                                            "not changed.")
                                 .arg(update.Folder, outcome.Failure));
    }
    const TCatalogNode* top = update.Tree->GetFirst();
    for (const TScanProblem& folder : outcome.UnlistedFolders) {
        if (top && folder.FullPath == top->Item().Field(FullPath)) {
            throw TMelodrixError(QStringLiteral("The folder %1 could not be read (%2). The "
                                                "catalog was not changed.")
                                     .arg(update.Folder, folder.Error));
        }
    }
    const TStoredTimeReader oldTimes(stored);
    const TDateTimeParser freshTimes(format);
    TUpdateRun(catalog, *update.Tree, outcome, oldTimes, freshTimes).Run(update);
    if (!stored) {
        // Stored texts of several formats stay as they are: the catalog can name none of them.
        ForgetTimeFormat(update.Tree->Attributes());
    }
    update.UnlistedFolders = outcome.UnlistedFolders;
    update.UnreadFiles = outcome.UnreadFiles;
    update.PlainArchives = outcome.PlainArchives;
    return update;
}

void ApplyCatalogUpdate(IProgressSink& progress, TCatalogUpdate& update, const QString& catalogFile,
                        bool keepUnreadable) {
    if (!update.Tree || catalogFile.isEmpty()) {
        throw TMelodrixError(QStringLiteral("There is no update to save."));
    }
    const TCatalogLock lock(catalogFile, progress);
    if (!lock.Exists()) {
        throw TMelodrixError(QStringLiteral("The catalog %1 no longer exists (it was renamed, "
                                            "moved or deleted). The update was not saved.")
                                 .arg(catalogFile));
    }
    if (!update.CatalogStamp.Exists || update.CatalogStamp != lock.Stamp()) {
        // Someone saved the catalog since it was read (a description typed in the desktop
        // program, a describe in a shell): the update is worked out again from what the file
        // holds now, so that their change is kept. The folder is rescanned under the lock.
        TCatalogTree current;
        {
            TProgressScope scope(progress, kLoadingInfo);
            ReadCatalogTreeFile(catalogFile, current);
        }
        current.SetFileStamp(lock.Stamp());
        update = UpdateCatalog(progress, current, catalogFile, update.Folder);
        if (update.HasUnreadable() && !keepUnreadable) {
            throw TMelodrixError(
                QStringLiteral("Another program saved %1 during the update, so the folder was "
                               "scanned again, and this time %2 folders and %3 files could not "
                               "be read. The catalog was not changed.")
                    .arg(catalogFile)
                    .arg(update.UnlistedFolders.size())
                    .arg(update.UnreadFiles.size()));
        }
    }
    TProgressScope scope(progress, kGatheringInfo);
    update.Tree->SetFileStamp(WriteCatalogTreeFile(catalogFile, *update.Tree));
    update.CatalogStamp = update.Tree->FileStamp();
}

}  // namespace melodrix
