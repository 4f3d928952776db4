#include "core/library/Library.h"

#include <QDateTime>
#include <QDir>

#include "core/base/NativePaths.h"
#include "core/base/TextDecoding.h"
#include "core/catalog/Paths.h"
#include "core/catalog/Sorting.h"
#include "core/catalog/ValueFunctions.h"
#include "core/catalogfile/CatalogStream.h"
#include "core/config/Config.h"
#include "core/library/LibraryEntries.h"

namespace melodrix {

namespace {

void SetText(TFileItem& item, int field, const QString& text) {
    item.SetField(field, text.toUtf8().toStdString());
}

// Catalogs are shown by their name up to the first "." (a.b.xml shows as a).
QString CatalogDisplayName(const QString& fileName) {
    const qsizetype dot = fileName.indexOf(QLatin1Char('.'));
    return dot < 0 ? fileName : fileName.left(dot);
}

// `directory` is the text of the folder (the nodes' FullPath), `nativeDirectory` its name
// on disk, which the walk follows: names need not be UTF-8.
void AddLibraryEntries(TCatalogTree& tree, const QString& directory,
                       const std::string& nativeDirectory, TCatalogNode* parent, bool groupsOnly) {
    const QString prefix = WithTrailingBackslash(directory);
    const std::string nativePrefix =
        nativeDirectory.ends_with('/') ? nativeDirectory : nativeDirectory + '/';
    ListLibraryDirectory(nativeDirectory, [&](const TLibraryEntry& entry) {
        if (groupsOnly && !entry.isDirectory) {
            return;
        }
        TCatalogNode* node = tree.AppendChild(parent);
        TFileItem& item = node->Item();
        const QString fullPath = prefix + entry.name;
        SetText(item, FullPath, fullPath);
        item.SetField(FileSize, std::to_string(entry.size));
        if (entry.modifiedSecs) {
            SetText(item, FileTime,
                    DateTimeText(QDateTime::fromSecsSinceEpoch(*entry.modifiedSecs)));
        }
        if (entry.isDirectory) {
            SetText(item, FileName, entry.name);
            item.SetField(FileType, DirectoryType);
            // A linked directory is shown but never entered: no cycles, no leaving the library.
            if (!entry.isLink) {
                AddLibraryEntries(tree, fullPath, nativePrefix + entry.nativeName, node,
                                  groupsOnly);
            }
        } else {
            const QString name = CatalogDisplayName(entry.name);
            SetText(item, FileName, name);
            item.SetField(FileType, FileTypeFile);
            SetText(item, DiskName, name);
        }
    });
}

}  // namespace

void CreateDefaultLibrary(const QString& libraryPath) {
    QDir dir(libraryPath);
    if (libraryPath.isEmpty() || dir.exists()) {
        return;
    }
    if (!QDir().mkpath(libraryPath)) {
        return;
    }
    for (const char* group : {"Mp3", "DVD", "Movie", "Book", "Document"}) {
        dir.mkdir(QString::fromLatin1(group));
    }
}

void FillLibraryTree(TCatalogTree& tree, const QString& path, bool groupsOnly) {
    const QString libraryPath = path.isEmpty() ? GetConfig().LibraryPath() : path;
    TTreeUpdate bracket(tree);
    tree.Clear();
    TCatalogNode* root = tree.AppendChild(nullptr);
    SetText(root->Item(), FullPath, libraryPath);
    SetText(root->Item(), FileName, kLibraryRootName);
    root->Item().SetField(FileType, DirectoryType);
    AddLibraryEntries(tree, libraryPath, NativePathOf(libraryPath).toStdString(), root, groupsOnly);
    SetText(root->Item(), FileSize, ShortestNumberText(SumGroupSizes(root)));
    SetSizePercentages(tree);
}

double SumGroupSizes(TCatalogNode* node) {
    double total = 0;
    if (!node) {
        return total;
    }
    for (TCatalogNode* child = node->FirstChild(); child; child = child->NextSibling()) {
        if (child->Item().IsDirectory()) {
            SetText(child->Item(), FileSize, ShortestNumberText(SumGroupSizes(child)));
        }
        total += NumberOfText(child->Item().Field(FileSize)).value_or(0.0);
    }
    return total;
}

void SetSizePercentages(TCatalogTree& tree) {
    TCatalogNode* root = tree.GetFirst();
    if (!root) {
        return;
    }
    root->Item().SetField(SizePercentage, "100");
    const double total = NumberOfText(root->Item().Field(FileSize)).value_or(0.0);
    if (total == 0) {
        return;
    }
    for (TCatalogNode* node = tree.GetNext(root); node; node = tree.GetNext(node)) {
        const double size = NumberOfText(node->Item().Field(FileSize)).value_or(0.0);
        SetText(node->Item(), SizePercentage, PercentageText(size / total * 100.0));
    }
}

namespace {

int FieldOfColumn(int column) {
    switch (column) {
        case 1:
            return FileTime;
        case 2:
            return FileSize;
        default:
            return FileName;
    }
}

}  // namespace

int CompareLibraryNodes(const TCatalogNode* a, const TCatalogNode* b, int column) {
    const std::string_view typeA = TrimBlanks(a->Item().Field(FileType));
    const std::string_view typeB = TrimBlanks(b->Item().Field(FileType));
    if (typeA != typeB) {
        return typeA == DirectoryType ? -1
                                      : (typeB == DirectoryType ? 1 : (typeA < typeB ? -1 : 1));
    }
    switch (FieldOfColumn(column)) {
        case FileTime:
            return CompareDateTimeText(a->Item().Field(FileTime), b->Item().Field(FileTime));
        case FileSize:
            return CompareNumberText(a->Item().Field(FileSize), b->Item().Field(FileSize));
        default: {
            const int c =
                CompareTextIgnoringCase(a->Item().Field(FileName), b->Item().Field(FileName));
            return c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
    }
}

std::optional<TDiskFacts> CatalogDiskFacts(const QString& catalogFile) {
    // The root element comes first: a small piece of the file holds it, however large the
    // catalog is.
    TCatalogStream stream(4096);
    if (!stream.Load(catalogFile)) {
        return std::nullopt;
    }
    stream.NextItem();
    if (stream.Unusual() || stream.RootName() != "fileinfo") {
        return std::nullopt;
    }
    TCatalogAttributes attributes;
    std::string scratch;
    for (const TCatalogStream::TAttribute& attribute : stream.RootAttributes()) {
        if (attribute.name.starts_with("Disk")) {
            if (const auto value = TCatalogStream::Decode(attribute, scratch)) {
                attributes.Set(attribute.name, *value);
            }
        }
    }
    return RecordedDiskFacts(attributes);
}

void SortLibraryTree(TCatalogTree& tree, int column, bool ascending) {
    SortCatalogTree(tree, FieldOfColumn(column), ascending);
}

}  // namespace melodrix
