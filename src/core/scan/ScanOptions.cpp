#include "core/scan/ScanOptions.h"

#include "core/catalog/NamePatterns.h"

namespace melodrix {

namespace {

std::string Utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

}  // namespace

QStringList TScanOptions::ExcludePatterns() const {
    return Excludes ? *Excludes : DefaultExcludePatterns();
}

TScanOptions ScanOptionsOf(const TCatalogAttributes& attributes) {
    TScanOptions options;
    options.MaskList =
        QString::fromStdString(attributes.Value(kScanMaskAttribute, kDefaultScanMask));
    options.OnlyFolders = attributes.Value(kOnlyFoldersAttribute) == "true";
    options.Archives = attributes.Value(kScanArchivesAttribute) == "true";
    if (const std::string* excludes = attributes.Find(kScanExcludesAttribute)) {
        options.Excludes = ExcludeListOfText(QString::fromStdString(*excludes));
    }
    return options;
}

void RecordScanOptions(TCatalogAttributes& attributes, const TScanOptions& options,
                       const QString& folder) {
    attributes.Set(kScanMaskAttribute, Utf8(options.MaskList));
    attributes.Set(kOnlyFoldersAttribute, options.OnlyFolders ? "true" : "false");
    attributes.Set(kScanFolderAttribute, Utf8(folder));
    if (options.Archives) {
        attributes.Set(kScanArchivesAttribute, "true");
    } else {
        attributes.Remove(kScanArchivesAttribute);
    }
    const QStringList excludes = options.ExcludePatterns();
    if (excludes != DefaultExcludePatterns()) {
        attributes.Set(kScanExcludesAttribute, Utf8(ExcludeListText(excludes)));
    } else {
        attributes.Remove(kScanExcludesAttribute);
    }
}

}  // namespace melodrix
