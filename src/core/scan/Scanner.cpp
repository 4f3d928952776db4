// The directory scanner: a folder or a whole volume becomes a catalog tree.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "core/catalog/FileInfo.h"
#include "core/catalog/NativePaths.h"
#include "core/catalog/Paths.h"
#include "core/catalog/ValueFunctions.h"
#include "core/scan/ScanTimeTexts.h"
#include "core/scan/ScanWalk.h"

#include "core/tags/TextDecoding.h"

namespace melodrix {

namespace {

std::string Utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

// An item of the tree and the bytes it stands for.
struct TBuiltItem {
    TCatalogNode* node;
    double bytes;
};

// The bytes of a folder's files kept in the catalog, summed over its whole subtree.
struct TSubtree {
    double bytes = 0;
    bool holdsFile = false;
};

class TScanRun {
public:
    TScanRun(TCatalogTree& tree, IProgressSink& progress, const QString& folder,
             const QString& maskList, bool onlyFolders, const QString& catalogFile)
        : tree_(tree),
          progress_(progress),
          mask_(maskList),
          onlyFolders_(onlyFolders),
          prune_(!onlyFolders && !maskList.isEmpty()),
          diskName_(Utf8(DiskNameOf(catalogFile))),
          shareRoom_(onlyFolders ? std::string() : PercentageTextUtf8(0, decimal_)) {
        const bool volumeRoot = IsVolumeRoot(folder);
        const QString label = volumeRoot ? VolumeLabelOf(folder) : QString();
        rootNameUtf8_ =
            Utf8(label.isEmpty() ? folder : label + QLatin1Char('(') + folder + QLatin1Char(')'));
        // Below a volume root the relative path keeps the root's own separator ("D:\\Music").
        const QString base = volumeRoot ? WithoutTrailingBackslash(folder) : folder;
        relativeStart_ = static_cast<size_t>(NativePathOf(base).size());
    }

    void Run(const QString& folder) {
        TCatalogNode* root = tree_.AppendChild(nullptr);
        std::array<std::string_view, FieldCount> texts{};
        texts[FileName] = rootNameUtf8_;
        texts[FullPath] = rootNameUtf8_;
        texts[FileType] = DirectoryType;
        texts[DiskName] = diskName_;
        root->Item().SetAllFields(texts);
        built_.push_back({root, 0});

        const std::string directory = NativePathOf(WithTrailingBackslash(folder)).toStdString();
        // The texts of the paths below: the root's name, then the names below it as text.
        const std::string prefix =
            rootNameUtf8_ + Utf8(NativePathText(std::string_view(directory).substr(
                                std::min(relativeStart_, directory.size()))));
        TScanWalk walk(directory, mask_, onlyFolders_);
        TSubtree all;
        try {
            all = ScanDirectory(walk, prefix, root);
        } catch (...) {
            // A tree cut short has no shares: the room made for them goes.
            for (const TBuiltItem& built : built_) {
                built.node->Item().SetField(SizePercentage, {});
            }
            throw;
        }

        if (prune_ && !all.holdsFile) {
            tree_.DeleteNode(root);
            return;
        }
        if (!onlyFolders_) {
            all.bytes = StoredNumber(all.bytes);
            root->Item().SetField(FileSize, Utf8(ShortestNumberText(all.bytes)));
            ComputeSizePercentages(all.bytes);
        }
        tree_.SetExpanded(root, true);
    }

private:
    // Builds the next listing of the walk into `parent`; the FullPath of each entry is
    // `prefix` followed by the entry's name as text.
    TSubtree ScanDirectory(TScanWalk& walk, const std::string& prefix, TCatalogNode* parent) {
        TSubtree subtree;
        TWalkListing listing;
        walk.Next(listing, [&] { ShowProgress(walk); });
        std::string fullPath;  // the entry's FullPath text
        for (const TWalkEntry& walked : listing) {
            const TScanEntry& entry = walked.entry;
            TCatalogNode* node = tree_.AppendChild(parent);
            const size_t first = built_.size();  // the node's place in pre-order
            built_.push_back({node, 0});
            bool filled = false;
            try {
                if (!walked.readFailed) {
                    Fill(node->Item(), walked, prefix, fullPath);
                    filled = true;
                }
            } catch (const std::exception&) {
                // The entry keeps what was set; the walk goes on with the next one.
            }
            if (throttle_.Due()) {
                ShowProgress(walk);
            }
            const bool entered = entry.isDirectory && !entry.isLink;
            if (!filled) {
                // Neither a file nor a folder: no size, never pruned, nothing built below it.
                if (entered) {
                    SkipDirectory(walk);
                }
                continue;
            }
            if (!entry.isDirectory) {
                built_[first].bytes = static_cast<double>(entry.size);
                subtree.bytes += built_[first].bytes;
                subtree.holdsFile = true;
                continue;
            }
            TSubtree below;
            if (entered) {
                fullPath += '/';
                below = ScanDirectory(walk, fullPath, node);
            }
            if (prune_ && !below.holdsFile) {
                // Nothing kept below it: the folder goes, with what was listed for it.
                tree_.DeleteNode(node);
                built_.resize(first);
                continue;
            }
            if (!onlyFolders_) {
                below.bytes = StoredNumber(below.bytes);
                node->Item().SetField(FileSize, Utf8(ShortestNumberText(below.bytes)));
                built_[first].bytes = below.bytes;
            }
            subtree.bytes += below.bytes;
            subtree.holdsFile = subtree.holdsFile || below.holdsFile;
        }
        return subtree;
    }

    // The walk is ahead of the tree, and it is what waits on the disk: it is what is shown.
    void ShowProgress(const TScanWalk& walk) {
        progress_.SetProgressCount(walk.Kept());
        progress_.SetProgressLocation(
            QFile::decodeName(QByteArray::fromStdString(walk.Location())));
    }

    // Takes the listings of a folder that is not built, and of the folders below it.
    void SkipDirectory(TScanWalk& walk) {
        TWalkListing listing;
        walk.Next(listing, [&] { ShowProgress(walk); });
        for (const TWalkEntry& walked : listing) {
            if (walked.entry.isDirectory && !walked.entry.isLink) {
                SkipDirectory(walk);
            }
        }
    }

    // Sets `fullPath` to the entry's FullPath.
    void Fill(TFileItem& item, const TWalkEntry& walked, const std::string& prefix,
              std::string& fullPath) {
        const TScanEntry& entry = walked.entry;
        const std::string fileName = FileNameTextUtf8(entry.name);
        fullPath.assign(prefix).append(fileName);
        const std::string size = std::to_string(entry.size);
        const std::string_view time =
            entry.hasTime ? std::string_view(times_.Text(entry.modifiedSecs)) : std::string_view();
        const std::string_view ext =
            entry.isDirectory ? std::string_view() : ExtensionOfUtf8(fullPath);
        const std::string nameLength = std::to_string(Utf8CharacterCount(fileName));
        const std::string pathLength = std::to_string(Utf8CharacterCount(fullPath));

        std::array<std::string_view, FieldCount> texts{};
        texts[FileName] = fileName;
        texts[FullPath] = fullPath;
        texts[FileSize] = size;
        texts[FileTime] = time;
        texts[FileExt] = ext;
        texts[FileType] = entry.isDirectory ? DirectoryType : FileTypeFile;
        texts[FileNameLength] = nameLength;
        texts[PathNameLength] = pathLength;
        texts[DiskName] = diskName_;
        // Room for the item's share of the whole, which is known once the walk ends.
        texts[SizePercentage] = shareRoom_;
        if (walked.tagsRead) {
            const TTagFields& tags = walked.tags;
            texts[MP3_Title] = tags.Title;
            texts[MP3_Artist] = tags.Artist;
            texts[MP3_Album] = tags.Album;
            texts[MP3_Year] = tags.Year;
            texts[MP3_Comment] = tags.Comment;
            texts[MP3_Genre] = tags.Genre;
        }
        item.SetAllFields(texts);
    }

    // The value a folder's size has once written as text and read back: whole numbers below
    // 10^15 as they are, larger ones as their 15 significant digits.
    static double StoredNumber(double bytes) {
        if (bytes < 1e15) {
            return bytes;
        }
        return NumberOfText(Utf8(ShortestNumberText(bytes))).value_or(0.0);
    }

    // Every item but the root gets its share of the root's size, written over the room each
    // was given when it was made.
    void ComputeSizePercentages(double total) {
        built_.front().node->Item().SetField(SizePercentage, "100");
        for (size_t index = 1; index < built_.size(); ++index) {
            TFileItem& item = built_[index].node->Item();
            const std::string share =
                total == 0 ? std::string()
                           : PercentageTextUtf8(built_[index].bytes / total * 100.0, decimal_);
            if (!item.OverwriteField(SizePercentage, share)) {
                item.SetField(SizePercentage, share);
            }
        }
    }

    TCatalogTree& tree_;
    IProgressSink& progress_;
    QString mask_;
    bool onlyFolders_;
    bool prune_;
    std::string diskName_;
    std::string rootNameUtf8_;
    size_t relativeStart_ = 0;
    TScanTimeTexts times_;
    const std::string decimal_ = DecimalSeparatorUtf8();
    std::string shareRoom_;  // a share of the usual length; after decimal_, which it is made with
    TProgressThrottle throttle_;
    std::vector<TBuiltItem> built_;  // in creation order, which is pre-order
};

}  // namespace

void TFileInfo::ScanFolder(TCatalogTree& tree, const QString& folder, const QString& maskList,
                           bool onlyFolders, const QString& catalogFile) {
    TTreeUpdate bracket(tree);
    tree.Clear();
    // The catalog remembers how it was made, so an update can scan the same way.
    tree.Attributes().Set(kScanMaskAttribute, Utf8(maskList));
    tree.Attributes().Set(kOnlyFoldersAttribute, onlyFolders ? "true" : "false");
    tree.Attributes().Set(kScanFolderAttribute, Utf8(folder));
    TProgressScope progress(Progress(), kLoadingInfo);
    try {
        TScanRun run(tree, Progress(), folder, maskList, onlyFolders, catalogFile);
        run.Run(folder);
    } catch (const std::exception&) {
        // A failure outside the per-entry guards ends the scan; the tree keeps what was built.
    }
}

}  // namespace melodrix
