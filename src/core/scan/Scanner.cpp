// The directory scanner: a folder or a whole volume becomes a catalog tree.
#include <QLocale>
#include <algorithm>
#include <array>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/catalog/FileInfo.h"
#include "core/catalog/NativePaths.h"
#include "core/catalog/Paths.h"
#include "core/catalog/ValueFunctions.h"
#include "core/scan/ScanTimeTexts.h"
#include "core/scan/ScannerDirectory.h"
#include "core/scan/ScannerTags.h"

#include "core/tags/TextDecoding.h"

namespace melodrix {

namespace {

std::string Utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

// Percentages in the "0.00" pattern with the locale's decimal separator.
class TPercentTexts {
public:
    TPercentTexts() : decimal_(Utf8(QLocale().decimalPoint())) {}

    std::string Text(double percentage) const {
        std::string text = TwoDecimalsText(percentage);
        const size_t dot = text.find('.');
        if (dot != std::string::npos) {
            text.replace(dot, 1, decimal_);
        }
        return text;
    }

private:
    std::string decimal_;
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
          diskName_(Utf8(DiskNameOf(catalogFile))) {
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
        sizes_.push_back(0);

        const std::string directory = NativePathOf(WithTrailingBackslash(folder)).toStdString();
        // The texts of the paths below: the root's name, then the names below it as text.
        const std::string prefix =
            rootNameUtf8_ + Utf8(NativePathText(std::string_view(directory).substr(
                                std::min(relativeStart_, directory.size()))));
        TSubtree all = ScanDirectory(directory, prefix, root);

        if (prune_ && !all.holdsFile) {
            tree_.DeleteNode(root);
            return;
        }
        if (!onlyFolders_) {
            all.bytes = StoredNumber(all.bytes);
            root->Item().SetField(FileSize, Utf8(ShortestNumberText(all.bytes)));
            sizes_[0] = all.bytes;
            ComputeSizePercentages(all.bytes);
        }
        tree_.SetExpanded(root, true);
    }

private:
    // Lists `directory` (its name on disk, ending in '/') into `parent`; the FullPath of each
    // entry is `prefix` followed by the entry's name as text.
    TSubtree ScanDirectory(const std::string& directory, const std::string& prefix,
                           TCatalogNode* parent) {
        TSubtree subtree;
        std::vector<TScanEntry> entries;
        if (!ListScanDirectory(directory, entries)) {
            return subtree;
        }
        std::string path;      // the entry's name on disk
        std::string fullPath;  // its FullPath text
        for (const TScanEntry& entry : entries) {
            if (!entry.isDirectory && !PassesFilter(entry.name)) {
                continue;
            }
            path.assign(directory).append(entry.name);
            TCatalogNode* node = tree_.AppendChild(parent);
            const size_t first = sizes_.size();  // the node's place in pre-order
            sizes_.push_back(0);
            bool filled = false;
            try {
                Fill(node->Item(), entry, path, prefix, fullPath);
                filled = true;
            } catch (const std::exception&) {
                // The entry keeps what was set; the walk goes on with the next one.
            }
            ++count_;
            if (throttle_.Due()) {
                progress_.SetProgressCount(count_);
                progress_.SetProgressLocation(
                    QFile::decodeName(QByteArray::fromStdString(directory)));
            }
            if (!filled) {
                continue;  // neither a file nor a folder: no size, never pruned
            }
            if (!entry.isDirectory) {
                sizes_[first] = static_cast<double>(entry.size);
                subtree.bytes += sizes_[first];
                subtree.holdsFile = true;
                continue;
            }
            // A linked folder is catalogued but never entered: no cycles, no leaving the tree.
            TSubtree below;
            if (!entry.isLink) {
                fullPath += '/';
                below = ScanDirectory(path + '/', fullPath, node);
            }
            if (prune_ && !below.holdsFile) {
                // Nothing kept below it: the folder goes, with what was listed for it.
                tree_.DeleteNode(node);
                sizes_.resize(first);
                continue;
            }
            if (!onlyFolders_) {
                below.bytes = StoredNumber(below.bytes);
                node->Item().SetField(FileSize, Utf8(ShortestNumberText(below.bytes)));
                sizes_[first] = below.bytes;
            }
            subtree.bytes += below.bytes;
            subtree.holdsFile = subtree.holdsFile || below.holdsFile;
        }
        return subtree;
    }

    bool PassesFilter(const std::string& name) {
        if (onlyFolders_) {
            return false;
        }
        if (mask_.isEmpty()) {
            return true;
        }
        const size_t dot = name.rfind('.');
        const std::string extension = dot == std::string::npos
                                          ? std::string()
                                          : AsciiUpper(std::string_view(name).substr(dot));
        // A folder holds few kinds of files: each is looked up in the mask once.
        const auto [known, added] = passes_.try_emplace(extension, false);
        if (added) {
            const std::string test = '\\' + extension + '\\';
            known->second =
                mask_.contains(QLatin1String(test.data(), static_cast<qsizetype>(test.size())));
        }
        return known->second;
    }

    // `path` is the entry's name on disk: the file is opened by it, never by its text.
    // Sets `fullPath` to the entry's FullPath.
    void Fill(TFileItem& item, const TScanEntry& entry, const std::string& path,
              const std::string& prefix, std::string& fullPath) {
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
        const TMusicFormat format =
            entry.isDirectory ? TMusicFormat::Other : MusicFormatOfExtension(ext);
        if (format != TMusicFormat::Other) {
            // Borrowed, not copied: the string outlives the call and ends in its NUL.
            readers_.Read(QByteArray::fromRawData(path.data(), static_cast<qsizetype>(path.size())),
                          format, tags_, entry.size);
            texts[MP3_Title] = tags_.Title;
            texts[MP3_Artist] = tags_.Artist;
            texts[MP3_Album] = tags_.Album;
            texts[MP3_Year] = tags_.Year;
            texts[MP3_Comment] = tags_.Comment;
            texts[MP3_Genre] = tags_.Genre;
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

    // Every item but the root gets its share of the root's size; sizes_ holds the sizes of
    // the items in the tree's pre-order.
    void ComputeSizePercentages(double total) {
        TCatalogNode* root = tree_.GetFirst();
        root->Item().SetField(SizePercentage, "100");
        if (total == 0) {
            return;
        }
        size_t index = 1;
        for (TCatalogNode* node = tree_.GetNext(root); node; node = tree_.GetNext(node), ++index) {
            node->Item().SetField(SizePercentage, percents_.Text(sizes_[index] / total * 100.0));
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
    TTagReaders readers_;
    TTagFields tags_;
    TScanTimeTexts times_;
    TPercentTexts percents_;
    TProgressThrottle throttle_;
    uint64_t count_ = 0;
    std::vector<double> sizes_;  // of the items in creation order, which is pre-order
    std::unordered_map<std::string, bool> passes_;  // by upper-case extension with its dot
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
