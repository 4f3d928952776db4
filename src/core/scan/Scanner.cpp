// The directory scanner: a folder or a whole volume becomes a catalog tree.
#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
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

// An item of the tree, the bytes it stands for and, while a scan builds, the number of the
// folder it is in.
struct TBuiltItem {
    TCatalogNode* node;
    double bytes;
    size_t folder = 0;
};

// The bytes and playing time of a folder's files kept in the catalog, summed over its whole
// subtree.
struct TSubtree {
    double bytes = 0;
    int64_t durationMs = 0;
    bool holdsDuration = false;  // some file below has a playing time
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

// A file's playing time as stored, or nothing.
std::optional<int64_t> DurationOf(const TFileItem& item) {
    const std::string_view text = item.Field(AudioDuration);
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

// Writes a folder's summed playing time; empty when nothing below it has one.
void SetFolderDuration(TFileItem& item, const TSubtree& subtree) {
    item.SetField(AudioDuration,
                  subtree.holdsDuration ? std::to_string(subtree.durationMs) : std::string());
}

void AddDuration(TSubtree& subtree, std::optional<int64_t> durationMs) {
    if (durationMs) {
        subtree.durationMs += *durationMs;
        subtree.holdsDuration = true;
    }
}

// Sums the sizes and playing times below `node` as the scan does, writing each folder's;
// `built` gets every item below it with its bytes, in pre-order.
TSubtree SumBelow(TCatalogNode& node, std::vector<TBuiltItem>& built) {
    TSubtree sum;
    for (TCatalogNode* child = node.FirstChild(); child; child = child->NextSibling()) {
        const size_t at = built.size();
        built.push_back({child, 0});
        double bytes = 0;
        if (child->Item().IsDirectory()) {
            const TSubtree below = SumBelow(*child, built);
            bytes = StoredNumber(below.bytes);
            child->Item().SetField(FileSize, Utf8(ShortestNumberText(bytes)));
            SetFolderDuration(child->Item(), below);
            if (below.holdsDuration) {
                AddDuration(sum, below.durationMs);
            }
        } else {
            bytes = NumberOfText(child->Item().Field(FileSize)).value_or(0.0);
            AddDuration(sum, DurationOf(child->Item()));
        }
        built[at].bytes = bytes;
        sum.bytes += bytes;
    }
    return sum;
}

class TScanRun {
public:
    TScanRun(TCatalogTree& tree, IProgressSink& progress, const QString& folder,
             const TScanOptions& options, const QString& catalogFile, const TTimeFormat& timeFormat,
             TScanOutcome& outcome)
        : tree_(tree),
          progress_(progress),
          outcome_(outcome),
          mask_(options.MaskList),
          onlyFolders_(options.OnlyFolders),
          readAudio_(options.ReadAudioProperties),
          prune_(!options.OnlyFolders && !options.MaskList.isEmpty()),
          walkOptions_{.Excluder = TNameExcluder(options.ExcludePatterns()),
                       .Archives = options.Archives,
                       .ArchiveLimits = options.ArchiveLimits},
          diskName_(Utf8(DiskNameOf(catalogFile))),
          times_(timeFormat),
          shareRoom_(options.OnlyFolders ? std::string() : PercentageTextUtf8(0, decimal_)) {
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
        folders_.push_back({.node = root, .prefix = prefix, .subtree = {}, .gone = false});
        TScanWalk walk(directory, mask_, onlyFolders_, readAudio_, std::chrono::milliseconds(100),
                       walkOptions_);
        try {
            TWalkListing listing;
            while (walk.Next(listing, [&] { ShowProgress(walk); })) {
                BuildListing(walk, listing);
            }
        } catch (...) {
            // The scan did not finish, so the shares of the total cannot be known: clear the
            // placeholder each item was given for its share.
            for (const TBuiltItem& built : built_) {
                built.node->Item().SetField(SizePercentage, {});
            }
            throw;
        }
        const TSubtree all = SumFolders();
        if (prune_ && !all.Kept()) {
            tree_.DeleteNode(root);
            return;
        }
        if (!onlyFolders_) {
            root->Item().SetField(FileSize, Utf8(ShortestNumberText(StoredNumber(all.bytes))));
            SetFolderDuration(root->Item(), all);
            ComputeSizePercentages(StoredNumber(all.bytes));
        }
        tree_.SetExpanded(root, true);
    }

private:
    // A folder the walk enters, by the number its listing carries.
    struct TFolder {
        TCatalogNode* node = nullptr;  // none: its item could not be made, nor anything below
        std::string prefix;            // the FullPath text of its entries, before their names
        size_t parent = 0;
        size_t built = 0;   // the folder's own place in built_
        TSubtree subtree;   // what its listing and the folders below it hold
        bool gone = false;  // pruned, or inside a pruned folder
        // An archive: a file whose entries are listed below it. Its size is its own, not
        // the sum of what it unpacks to, and only that counts in the folders above it.
        bool archive = false;
        double ownBytes = 0;
    };

    // Builds the items of a listing into the folder it lists.
    void BuildListing(const TScanWalk& walk, TWalkListing& listing) {
        // The walk numbers folders in the order it finds them, so the number is this one.
        TFolder& folder = folders_.at(listing.folder);
        TCatalogNode* const parent = folder.node;
        const std::string prefix = std::move(folder.prefix);
        const size_t number = listing.folder;
        if (!parent) {
            // Below an item that could not be made nothing is built, however deep.
            for (const TWalkEntry& walked : listing.entries) {
                if (walked.listedAs != 0) {
                    AddFolder(walked.listedAs, nullptr, std::string(), number, 0);
                }
            }
            return;
        }
        if (listing.error != 0) {
            std::string directory = listing.directory;
            if (directory.size() > 1 && directory.back() == '/') {
                directory.pop_back();
            }
            outcome_.UnlistedFolders.push_back({DiskText(directory),
                                                std::string(parent->Item().Field(FullPath)),
                                                ScanErrorText(listing.error)});
            folders_[number].subtree.holdsUnlisted = true;
            return;
        }
        std::string fullPath;  // the entry's FullPath text
        for (const TWalkEntry& walked : listing.entries) {
            const TScanEntry& entry = walked.entry;
            TCatalogNode* node = tree_.AppendChild(parent);
            const size_t first = built_.size();
            built_.push_back({node, 0, number});
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
            if (!filled) {
                // Neither a file nor a folder: no size, never pruned, nothing built below it.
                if (walked.listedAs != 0) {
                    AddFolder(walked.listedAs, nullptr, std::string(), number, first);
                }
                continue;
            }
            if (entry.isDirectory) {
                // A folder the walk does not enter (a link) holds nothing, so a mask prunes it.
                AddFolder(walked.listedAs, node, fullPath + '/', number, first);
                continue;
            }
            built_[first].bytes = static_cast<double>(entry.size);
            if (walked.listedAs != 0) {
                // An archive counts once what is below it is known: a mask may leave nothing.
                AddFolder(walked.listedAs, node, fullPath + '/', number, first);
                folders_[walked.listedAs].archive = true;
                folders_[walked.listedAs].ownBytes = built_[first].bytes;
                continue;
            }
            if (!walked.archiveProblem.empty()) {
                outcome_.PlainArchives.push_back({DiskText(listing.directory + entry.name),
                                                  fullPath,
                                                  QString::fromStdString(walked.archiveProblem)});
            }
            if (entry.error != 0 || walked.readError != 0) {
                outcome_.UnreadFiles.push_back(
                    {DiskText(listing.directory + entry.name), fullPath,
                     ScanErrorText(entry.error != 0 ? entry.error : walked.readError),
                     entry.error == 0});
            }
            TSubtree& here = folders_[number].subtree;
            here.bytes += built_[first].bytes;
            here.holdsFile = true;
            if (walked.tagsRead && walked.tags.Audio) {
                AddDuration(here, walked.tags.Audio->DurationMs);
            }
        }
    }

    // Records a folder entry: one the walk enters by the number its listing will carry, one
    // it does not enter (a link) apart, as a folder with nothing in it.
    void AddFolder(size_t listedAs, TCatalogNode* node, std::string prefix, size_t parent,
                   size_t built) {
        TFolder folder{.node = node,
                       .prefix = std::move(prefix),
                       .parent = parent,
                       .built = built,
                       .subtree = {},
                       .gone = false};
        if (listedAs == 0) {
            unentered_.push_back(std::move(folder));
            return;
        }
        if (folders_.size() <= listedAs) {
            folders_.resize(listedAs + 1);
        }
        folders_[listedAs] = std::move(folder);
    }

    // Once everything is built: each folder's size is the sum over its subtree, and with a
    // mask a folder that keeps nothing below it goes. A folder's number is larger than its
    // parent's, so going down the numbers meets every folder after all the folders below it.
    // Returns what the whole tree holds.
    TSubtree SumFolders() {
        for (TFolder& folder : unentered_) {
            Fold(folder);
        }
        for (size_t number = folders_.size() - 1; number > 0; --number) {
            Fold(folders_[number]);
        }
        for (size_t number = 1; number < folders_.size(); ++number) {
            TFolder& folder = folders_[number];
            folder.gone = folder.gone || folders_[folder.parent].gone;
        }
        return folders_.front().subtree;
    }

    // Sets the folder's size and adds it to its parent's, or prunes it.
    void Fold(TFolder& folder) {
        if (!folder.node) {
            return;
        }
        TSubtree& parent = folders_[folder.parent].subtree;
        if (prune_ && !folder.subtree.Kept()) {
            // Nothing kept below it: the folder goes, with what was listed for it.
            tree_.DeleteNode(folder.node);
            built_[folder.built].node = nullptr;
            folder.gone = true;
            return;
        }
        if (folder.archive) {
            parent.bytes += folder.ownBytes;
            parent.holdsFile = true;
            SetFolderDuration(folder.node->Item(), folder.subtree);
            if (folder.subtree.holdsDuration) {
                AddDuration(parent, folder.subtree.durationMs);
            }
            return;
        }
        if (!onlyFolders_) {
            const double bytes = StoredNumber(folder.subtree.bytes);
            folder.node->Item().SetField(FileSize, Utf8(ShortestNumberText(bytes)));
            built_[folder.built].bytes = bytes;
            parent.bytes += bytes;
            SetFolderDuration(folder.node->Item(), folder.subtree);
            if (folder.subtree.holdsDuration) {
                AddDuration(parent, folder.subtree.durationMs);
            }
        }
        parent.holdsFile = parent.holdsFile || folder.subtree.holdsFile;
        parent.holdsUnlisted = parent.holdsUnlisted || folder.subtree.holdsUnlisted;
    }

    // The walk is ahead of the tree, and it is what waits on the disk: it is what is shown.
    void ShowProgress(const TScanWalk& walk) {
        progress_.SetProgressCount(walk.Kept());
        progress_.SetProgressLocation(
            QFile::decodeName(QByteArray::fromStdString(walk.Location())));
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
            texts[MP3_Track] = tags.Track;
            texts[MP3_Disc] = tags.Disc;
            texts[MP3_AlbumArtist] = tags.AlbumArtist;
            texts[ID3Mismatch] = tags.ID3Mismatch;
            // The texts outlive the array of views into them.
            audioTexts_ = TAudioTexts(tags.Audio);
            texts[AudioDuration] = audioTexts_.duration;
            texts[AudioBitrate] = audioTexts_.bitrate;
            texts[AudioSampleRate] = audioTexts_.sampleRate;
            texts[AudioChannels] = audioTexts_.channels;
            texts[AudioCodec] = audioTexts_.codec;
            texts[AudioMode] = audioTexts_.mode;
        }
        item.SetAllFields(texts);
    }

    // Every item but the root gets its share of the root's size, written over the room each
    // was given when it was made.
    void ComputeSizePercentages(double total) {
        built_.front().node->Item().SetField(SizePercentage, "100");
        for (size_t index = 1; index < built_.size(); ++index) {
            if (!built_[index].node || folders_[built_[index].folder].gone) {
                continue;  // pruned
            }
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
    bool readAudio_;
    bool prune_;
    TWalkOptions walkOptions_;
    std::string diskName_;
    std::string rootNameUtf8_;
    size_t relativeStart_ = 0;
    TScanTimeTexts times_;
    const std::string decimal_ = DecimalSeparatorUtf8();
    std::string shareRoom_;  // a share of the usual length; after decimal_, which it is made with
    TAudioTexts audioTexts_;
    TProgressThrottle throttle_;
    std::vector<TBuiltItem> built_;   // in creation order
    std::vector<TFolder> folders_;    // by number; the first is the scanned folder itself
    std::vector<TFolder> unentered_;  // folders the walk does not enter
};

}  // namespace

void ComputeFolderSizes(TCatalogTree& tree) {
    TCatalogNode* root = tree.GetFirst();
    if (!root) {
        return;
    }
    std::vector<TBuiltItem> built;
    const TSubtree all = SumBelow(*root, built);
    const double total = StoredNumber(all.bytes);
    root->Item().SetField(FileSize, Utf8(ShortestNumberText(total)));
    SetFolderDuration(root->Item(), all);
    root->Item().SetField(SizePercentage, "100");
    const std::string decimal = DecimalSeparatorUtf8();
    for (const TBuiltItem& item : built) {
        item.node->Item().SetField(SizePercentage, ShareText(item.bytes, total, decimal));
    }
}

TScanOutcome ScanFolderToTree(IProgressSink& progress, TCatalogTree& tree, const QString& folder,
                              const QString& maskList, bool onlyFolders, const QString& catalogFile,
                              const TTimeFormat* timeFormat, bool readAudioProperties) {
    TScanOptions options;
    options.MaskList = maskList;
    options.OnlyFolders = onlyFolders;
    options.TimeFormat = timeFormat;
    options.ReadAudioProperties = readAudioProperties;
    return ScanFolderToTree(progress, tree, folder, options, catalogFile);
}

TScanOutcome ScanFolderToTree(IProgressSink& progress, TCatalogTree& tree, const QString& folder,
                              const TScanOptions& options, const QString& catalogFile) {
    TTreeUpdate bracket(tree);
    tree.Clear();
    const TTimeFormat format = options.TimeFormat ? *options.TimeFormat : CurrentTimeFormat();
    // The catalog remembers how it was made, so an update can scan the same way and its
    // times are read as they were written.
    RecordScanOptions(tree.Attributes(), options, folder);
    RecordDiskFacts(tree.Attributes(), options.DiskOf ? options.DiskOf(folder) : std::nullopt);
    RecordTimeFormat(tree.Attributes(), format);
    TProgressScope scope(progress, kLoadingInfo);
    TScanOutcome outcome;
    try {
        TScanRun run(tree, progress, folder, options, catalogFile, format, outcome);
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
