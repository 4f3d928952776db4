// The directory scanner: a folder or a whole volume becomes a catalog tree.
#include <QDateTime>
#include <QLocale>
#include <array>
#include <string>
#include <vector>

#include "core/catalog/FileInfo.h"
#include "core/catalog/NativePaths.h"
#include "core/catalog/Paths.h"
#include "core/catalog/ValueFunctions.h"
#include "core/scan/ScannerDirectory.h"
#include "core/scan/ScannerTags.h"

#include "core/tags/TextDecoding.h"

namespace melodrix {

namespace {

std::string Utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

// Modification times as the catalog writes them, made without rebuilding the locale's
// formats for every entry; the date text is reused while the date stays the same.
class TTimeTexts {
public:
    TTimeTexts() : dateFormat_(DateFormatWithFullYear()), timeFormat_(TimeFormatWithoutZone()) {
        ReadSystemTimeZone();  // once for the scan: the zone as it is now
    }

    std::string Text(int64_t secs) {
        const std::optional<std::pair<QDate, QTime>> local = LocalDateAndTime(secs);
        if (!local) {
            return {};
        }
        const auto& [date, clock] = *local;
        if (date != lastDate_) {
            lastDate_ = date;
            dateText_ = Utf8(locale_.toString(date, dateFormat_));
        }
        if (clock == QTime(0, 0)) {
            return dateText_;
        }
        return dateText_ + ' ' + Utf8(locale_.toString(clock, timeFormat_));
    }

private:
    QLocale locale_;
    QString dateFormat_;
    QString timeFormat_;
    QDate lastDate_;
    std::string dateText_;
};

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

class TScanRun {
public:
    TScanRun(TCatalogTree& tree, IProgressSink& progress, const QString& folder,
             const QString& maskList, bool onlyFolders, const QString& catalogFile)
        : tree_(tree),
          progress_(progress),
          mask_(maskList),
          onlyFolders_(onlyFolders),
          diskName_(Utf8(DiskNameOf(catalogFile))) {
        const bool volumeRoot = IsVolumeRoot(folder);
        const QString label = volumeRoot ? VolumeLabelOf(folder) : QString();
        rootName_ = label.isEmpty() ? folder : label + QLatin1Char('(') + folder + QLatin1Char(')');
        rootNameUtf8_ = Utf8(rootName_);
        // Below a volume root the relative path keeps the root's own separator ("D:\\Music").
        const QString base = volumeRoot ? WithoutTrailingBackslash(folder) : folder;
        relativeStart_ = NativePathOf(base).size();
    }

    void Run(const QString& folder) {
        TCatalogNode* root = tree_.AppendChild(nullptr);
        std::array<std::string_view, FieldCount> texts{};
        texts[FileName] = rootNameUtf8_;
        texts[FullPath] = rootNameUtf8_;
        texts[FileType] = DirectoryType;
        texts[DiskName] = diskName_;
        root->Item().SetAllFields(texts);

        ScanDirectory(NativePathOf(WithTrailingBackslash(folder)).toStdString(), root);

        if (!onlyFolders_ && !mask_.isEmpty()) {
            PruneEmptyFolders(root);
        }
        root = tree_.GetFirst();
        if (!onlyFolders_ && root) {
            root->Item().SetField(FileSize, Utf8(ShortestNumberText(SumFolderSizes(root))));
            ComputeSizePercentages();
        }
        if (root) {
            tree_.SetExpanded(root, true);
        }
    }

private:
    void ScanDirectory(const std::string& directory, TCatalogNode* parent) {
        std::vector<TScanEntry> entries;
        if (!ListScanDirectory(directory, entries)) {
            return;
        }
        for (const TScanEntry& entry : entries) {
            if (!entry.isDirectory && !PassesFilter(entry.name)) {
                continue;
            }
            const std::string path = directory + entry.name;
            TCatalogNode* node = tree_.AppendChild(parent);
            bool filled = false;
            try {
                Fill(node->Item(), entry, path);
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
            // A linked folder is catalogued but never entered: no cycles, no leaving the tree.
            if (filled && entry.isDirectory && !entry.isLink) {
                ScanDirectory(path + '/', node);
            }
        }
    }

    bool PassesFilter(const std::string& name) const {
        if (onlyFolders_) {
            return false;
        }
        if (mask_.isEmpty()) {
            return true;
        }
        const size_t dot = name.rfind('.');
        std::string test = "\\";
        if (dot != std::string::npos) {
            test += AsciiUpper(std::string_view(name).substr(dot));
        }
        test += '\\';
        return mask_.contains(QLatin1String(test.data(), static_cast<qsizetype>(test.size())));
    }

    // `path` is the entry's name on disk: the file is opened by it, never by its text.
    void Fill(TFileItem& item, const TScanEntry& entry, const std::string& path) {
        const std::string fileName = FileNameTextUtf8(entry.name);
        const std::string fullPath =
            rootNameUtf8_ + Utf8(NativePathText(std::string_view(path).substr(
                                std::min(static_cast<size_t>(relativeStart_), path.size()))));
        const std::string size = std::to_string(entry.size);
        const std::string time = entry.hasTime ? times_.Text(entry.modifiedSecs) : std::string();
        const std::string ext =
            entry.isDirectory ? std::string() : Utf8(ExtensionOf(Utf8ToQ(fullPath)));
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
            readers_.Read(QByteArray::fromStdString(path), format, tags_, entry.size);
            texts[MP3_Title] = tags_.Title;
            texts[MP3_Artist] = tags_.Artist;
            texts[MP3_Album] = tags_.Album;
            texts[MP3_Year] = tags_.Year;
            texts[MP3_Comment] = tags_.Comment;
            texts[MP3_Genre] = tags_.Genre;
        }
        item.SetAllFields(texts);
    }

    static QString Utf8ToQ(const std::string& text) {
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }

    // Deletes folders below which no file was kept; true when the node holds a file.
    bool PruneEmptyFolders(TCatalogNode* node) {
        bool holdsFile = false;
        for (TCatalogNode* child = node->LastChild(); child;) {
            TCatalogNode* previous = child->PreviousSibling();
            if (child->Item().IsFile()) {
                holdsFile = true;
            } else if (child->Item().IsDirectory()) {
                holdsFile = PruneEmptyFolders(child) || holdsFile;
            }
            child = previous;
        }
        if (!holdsFile) {
            tree_.DeleteNode(node);
        }
        return holdsFile;
    }

    double SumFolderSizes(TCatalogNode* node) {
        double total = 0;
        for (TCatalogNode* child = node->FirstChild(); child; child = child->NextSibling()) {
            if (child->Item().IsDirectory()) {
                child->Item().SetField(FileSize, Utf8(ShortestNumberText(SumFolderSizes(child))));
            }
            total += NumberOfText(child->Item().Field(FileSize)).value_or(0.0);
        }
        return total;
    }

    void ComputeSizePercentages() {
        TCatalogNode* root = tree_.GetFirst();
        root->Item().SetField(SizePercentage, "100");
        const double total = NumberOfText(root->Item().Field(FileSize)).value_or(0.0);
        if (total == 0) {
            return;
        }
        for (TCatalogNode* node = tree_.GetNext(root); node; node = tree_.GetNext(node)) {
            const double size = NumberOfText(node->Item().Field(FileSize)).value_or(0.0);
            node->Item().SetField(SizePercentage, percents_.Text(size / total * 100.0));
        }
    }

    TCatalogTree& tree_;
    IProgressSink& progress_;
    QString mask_;
    bool onlyFolders_;
    std::string diskName_;
    QString rootName_;
    std::string rootNameUtf8_;
    qsizetype relativeStart_ = 0;
    TTagReaders readers_;
    TTagFields tags_;
    TTimeTexts times_;
    TPercentTexts percents_;
    TProgressThrottle throttle_;
    uint64_t count_ = 0;
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
