// The engine's front: each member asks what it must ask, then hands the work to the folder
// that owns it.
#include "core/engine/FileInfo.h"

#include "core/base/Errors.h"
#include "core/catalogfile/CatalogTreeReader.h"
#include "core/catalogfile/CatalogWriter.h"
#include "core/export/Exports.h"
#include "core/scan/Scanner.h"
#include "core/search/Duplicates.h"
#include "core/search/SearchConditions.h"

namespace melodrix {

TFileInfo::TFileInfo(IProgressSink& progress, IPromptSink& prompt)
    : progress_(&progress), prompt_(&prompt) {}

TFileInfo::~TFileInfo() = default;

pugi::xml_document& TFileInfo::ActiveDocument() {
    if (!Document) {
        throw TMelodrixError(QStringLiteral("The catalog engine has no document."));
    }
    return *Document;
}

// --- Catalog files ---

void TFileInfo::NewDocument() {
    NewCatalogDocument(ActiveDocument());
}

pugi::xml_node TFileInfo::DocumentRoot() {
    return CatalogDocumentRoot(ActiveDocument());
}

void TFileInfo::TreeToDocument(const TCatalogTree& tree) {
    TProgressScope progress(Progress(), kGatheringInfo);
    CatalogTreeToDocument(tree, ActiveDocument());
}

bool TFileInfo::SaveCatalogFile(const QString& path) {
    const QString target = CatalogFileToSave(Prompt(), path);
    if (target.isEmpty()) {
        return false;
    }
    DocumentRoot();
    WriteCatalogDocument(target, ActiveDocument());
    return true;
}

bool TFileInfo::OpenCatalogFile(const QString& path) {
    TProgressScope progress(Progress(), kLoadingInfo);
    const QString source = CatalogFileToOpen(Prompt(), path);
    if (source.isEmpty()) {
        return false;
    }
    CatalogFileName = source;
    LoadCatalogDocument(source, ActiveDocument());
    return true;
}

void TFileInfo::DocumentToTree(TCatalogTree& tree) {
    TProgressScope progress(Progress(), kLoadingInfo);
    CatalogDocumentToTree(DocumentRoot(), CatalogFileName, tree);
}

bool TFileInfo::OpenCatalogTree(const QString& path, TCatalogTree& tree) {
    TProgressScope progress(Progress(), kLoadingInfo);
    const QString source = CatalogFileToOpen(Prompt(), path);
    if (source.isEmpty()) {
        return false;
    }
    CatalogFileName = source;
    ReadCatalogTreeFile(source, tree);
    return true;
}

bool TFileInfo::SaveCatalogTree(const TCatalogTree& tree, const QString& path) {
    const QString target = CatalogFileToSave(Prompt(), path);
    if (target.isEmpty()) {
        return false;
    }
    TProgressScope progress(Progress(), kGatheringInfo);
    WriteCatalogTreeFile(target, tree);
    return true;
}

void TFileInfo::CheckCatalogFile(const QString& path) {
    TProgressScope progress(Progress(), kLoadingInfo);
    VerifyCatalogFile(path);
}

// --- Scanner ---

TScanOutcome TFileInfo::ScanFolder(TCatalogTree& tree, const QString& folder,
                                   const QString& maskList, bool onlyFolders,
                                   const QString& catalogFile, const TTimeFormat* timeFormat) {
    return ScanFolderToTree(Progress(), tree, folder, maskList, onlyFolders, catalogFile,
                            timeFormat);
}

TScanOutcome TFileInfo::ScanFolder(TCatalogTree& tree, const QString& folder,
                                   const TScanOptions& options, const QString& catalogFile) {
    return ScanFolderToTree(Progress(), tree, folder, options, catalogFile);
}

// --- Search ---

TSearchLeftover TFileInfo::Leftover() const {
    return TSearchLeftover{Document, CatalogFileName};
}

void TFileInfo::TakeLeftover(const TSearchLeftover& leftover) {
    CatalogFileName = leftover.CatalogFileName;
}

QStringList TFileInfo::Search(TSearchScope scope, TCatalogTree& result, TFileItem& conditions,
                              bool caseSensitive, bool wholeWords) {
    TSearchOptions options;
    options.caseSensitive = caseSensitive;
    options.mode = wholeWords ? TTextMode::Whole : TTextMode::Contains;
    return Search(scope, result, conditions, options);
}

QStringList TFileInfo::Search(TSearchScope scope, TCatalogTree& result, TFileItem& conditions,
                              const TSearchOptions& options) {
    TSearchLeftover leftover = Leftover();
    const QStringList skipped =
        SearchCatalogs(Progress(), scope, result, conditions, options, leftover);
    TakeLeftover(leftover);
    return skipped;
}

TDuplicates TFileInfo::FindDuplicates(TSearchScope scope, const QString& scopePath,
                                      TDuplicateKey key, TCatalogTree& result,
                                      const QString& linkRoot, ICatalogCopies* copies) {
    TSearchLeftover leftover = Leftover();
    TDuplicates duplicates = melodrix::FindDuplicates(Progress(), scope, scopePath, key, linkRoot,
                                                      result, leftover, copies);
    TakeLeftover(leftover);
    return duplicates;
}

// --- Exports ---

TExportContext TFileInfo::ExportContext() const {
    return TExportContext{Progress(), Prompt(), ExportColumns.get(), Document, CatalogFileName};
}

bool TFileInfo::ExportHtml(const QString& defaultName, const TCatalogTree* tree) {
    return melodrix::ExportHtml(ExportContext(), defaultName, tree);
}

bool TFileInfo::ExportText(const QString& defaultName, const QString& separator,
                           const TCatalogTree* tree) {
    return melodrix::ExportText(ExportContext(), defaultName, separator, tree);
}

bool TFileInfo::ExportCsv(const QString& defaultName, const QString& separator,
                          const TCatalogTree* tree) {
    return melodrix::ExportCsv(ExportContext(), defaultName, separator, tree);
}

bool TFileInfo::ExportCatalogHtml(const QString& catalogPath, const QString& defaultName) {
    return melodrix::ExportCatalogHtml(ExportContext(), catalogPath, defaultName);
}

bool TFileInfo::ExportCatalogText(const QString& catalogPath, const QString& defaultName,
                                  const QString& separator) {
    return melodrix::ExportCatalogText(ExportContext(), catalogPath, defaultName, separator);
}

bool TFileInfo::ExportCatalogCsv(const QString& catalogPath, const QString& defaultName,
                                 const QString& separator) {
    return melodrix::ExportCatalogCsv(ExportContext(), catalogPath, defaultName, separator);
}

bool TFileInfo::ExportXml(const QString& defaultName) {
    return melodrix::ExportXml(ExportContext(), defaultName);
}

bool TFileInfo::ExportExcel(const QString& defaultName) {
    return melodrix::ExportExcel(ExportContext(), defaultName);
}

bool TFileInfo::ExportXml(const QString& defaultName, const TCatalogTree& tree) {
    return melodrix::ExportXml(ExportContext(), defaultName, tree);
}

bool TFileInfo::ExportExcel(const QString& defaultName, const TCatalogTree& tree) {
    return melodrix::ExportExcel(ExportContext(), defaultName, tree);
}

bool TFileInfo::ExportCatalogXml(const QString& catalogPath, const QString& defaultName) {
    return melodrix::ExportCatalogXml(ExportContext(), catalogPath, defaultName);
}

bool TFileInfo::ExportCatalogExcel(const QString& catalogPath, const QString& defaultName) {
    return melodrix::ExportCatalogExcel(ExportContext(), catalogPath, defaultName);
}

}  // namespace melodrix
