// The directory scanner: a folder or a whole volume becomes a catalog tree.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "core/base/NativePaths.h"
#include "core/catalog/Paths.h"
#include "core/catalog/TimeFormat.h"
#include "core/catalog/ValueFunctions.h"
#include "core/catalogfile/CatalogDocument.h"
#include "core/scan/FolderSizes.h"
#include "core/scan/ScanOutcome.h"
#include "core/scan/ScanTimeTexts.h"
#include "core/scan/ScanWalk.h"
#include "core/scan/Scanner.h"

#include "core/base/TextDecoding.h"

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
    bool holdsUnlisted = false;  // a folder that could not be listed, which a mask keeps

    bool Kept() const { return holdsFile || holdsUnlisted; }
};

QString DiskText(const std::string& native) {
    return QFile::decodeName(QByteArray::fromStdString(native));
}

// The value a folder's size has once written as text and read back: whole numbers below
// 10^15 as they are, larger ones as their 15 significant digits.
double StoredNumber(double bytes) {
    if (bytes < 1e15) {
        return bytes;
    }
    return NumberOfText(Utf8(ShortestNumberText(bytes))).value_or(0.0);
}

// The share of the whole an item of `bytes` has, as a scan writes it.
std::string ShareText(double bytes, double total, const std::string& decimal) {
    return total == 0 ? std::string() : PercentageTextUtf8(bytes / total * 100.0, decimal);
}

// Sums the sizes below `node` as the scan does, writing each folder's; `built` gets every
// item below it with its bytes, in pre-order.
double SumBelow(TCatalogNode& node, std::vector<TBuiltItem>& built) {
    double sum = 0;
    for (TCatalogNode* child = node.FirstChild(); child; child = child->NextSibling()) {
        const size_t at = built.size();
        built.push_back({child, 0});
        double bytes = 0;
        if (child->Item().IsDirectory()) {
            bytes = StoredNumber(SumBelow(*child, built));
            child->Item().SetField(FileSize, Utf8(ShortestNumberText(bytes)));
        } else {
            bytes = NumberOfText(child->Item().Field(FileSize)).value_or(0.0);
        }
        built[at].bytes = bytes;
        sum += bytes;
    }
    return sum;
}

class TScanRun {
public:
    TScanRun(TCatalogTree& tree, IProgressSink& progress, const QString& folder,
             const QString& maskList, bool onlyFolders, const QString& catalogFile,
             const TTimeFormat& timeFormat, TScanOutcome& outcome)
        : tree_(tree),
          progress_(progress),
          outcome_(outcome),
          mask_(maskList),
          onlyFolders_(onlyFolders),
          prune_(!onlyFolders && !maskList.isEmpty()),
          diskName_(Utf8(DiskNameOf(catalogFile))),
          times_(timeFormat),
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

        if (prune_ && !all.Kept()) {
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
        if (listing.error != 0) {
            std::string directory = listing.directory;
            if (directory.size() > 1 && directory.back() == '/') {
                directory.pop_back();
            }
            outcome_.UnlistedFolders.push_back({DiskText(directory),
                                                std::string(parent->Item().Field(FullPath)),
                                                ScanErrorText(listing.error)});
            subtree.holdsUnlisted = true;
            return subtree;
        }
        std::string fullPath;  // the entry's FullPath text
        for (const TWalkEntry& walked : listing.entries) {
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
                if (entry.error != 0 || walked.readError != 0) {
                    outcome_.UnreadFiles.push_back(
                        {DiskText(listing.directory + entry.name), fullPath,
                         ScanErrorText(entry.error != 0 ? entry.error : walked.readError),
                         entry.error == 0});
                }
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
            if (prune_ && !below.Kept()) {
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
            subtree.holdsUnlisted = subtree.holdsUnlisted || below.holdsUnlisted;
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
        for (const TWalkEntry& walked : listing.entries) {
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

    // Every item but the root gets its share of the root's size, written over the room each
    // was given when it was made.
    void ComputeSizePercentages(double total) {
        built_.front().node->Item().SetField(SizePercentage, "100");
        for (size_t index = 1; index < built_.size(); ++index) {
            TFileItem& item = built_[index].node->Item();
            const std::string share = ShareText(built_[index].bytes, total, decimal_);
            if (!item.OverwriteField(SizePercentage, share)) {
                item.SetField(SizePercentage, share);
            }
        }
    }

    TCatalogTree& tree_;
    IProgressSink& progress_;
    TScanOutcome& outcome_;
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

void ComputeFolderSizes(TCatalogTree& tree) {
    TCatalogNode* root = tree.GetFirst();
    if (!root) {
        return;
    }
    std::vector<TBuiltItem> built;
    const double total = StoredNumber(SumBelow(*root, built));
    root->Item().SetField(FileSize, Utf8(ShortestNumberText(total)));
    root->Item().SetField(SizePercentage, "100");
    const std::string decimal = DecimalSeparatorUtf8();
    for (const TBuiltItem& item : built) {
        item.node->Item().SetField(SizePercentage, ShareText(item.bytes, total, decimal));
    }
}

TScanOutcome ScanFolderToTree(IProgressSink& progress, TCatalogTree& tree, const QString& folder,
                              const QString& maskList, bool onlyFolders, const QString& catalogFile,
                              const TTimeFormat* timeFormat) {
    TTreeUpdate bracket(tree);
    tree.Clear();
    const TTimeFormat format = timeFormat ? *timeFormat : CurrentTimeFormat();
    // The catalog remembers how it was made, so an update can scan the same way and its
    // times are read as they were written.
    tree.Attributes().Set(kScanMaskAttribute, Utf8(maskList));
    tree.Attributes().Set(kOnlyFoldersAttribute, onlyFolders ? "true" : "false");
    tree.Attributes().Set(kScanFolderAttribute, Utf8(folder));
    RecordTimeFormat(tree.Attributes(), format);
    TProgressScope scope(progress, kLoadingInfo);
    TScanOutcome outcome;
    try {
        TScanRun run(tree, progress, folder, maskList, onlyFolders, catalogFile, format, outcome);
        run.Run(folder);
    } catch (const std::exception& error) {
        // A failure outside the per-entry guards ends the scan; the tree keeps what was built,
        // and the outcome says that it is not the whole folder.
        outcome.Failure = QString::fromLocal8Bit(error.what());
        if (outcome.Failure.isEmpty()) {
            outcome.Failure = QStringLiteral("unknown failure");
        }
    }
    return outcome;
}

}  // namespace melodrix
