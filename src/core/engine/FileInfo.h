#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <pugixml.hpp>

#include "core/catalog/CatalogTree.h"
#include "core/catalog/Sinks.h"
#include "core/catalogfile/CatalogDocument.h"
#include "core/scan/ScanOutcome.h"
#include "core/search/Search.h"

namespace melodrix {

struct TSearchOptions;     // core/search/SearchConditions.h
struct TDuplicates;        // core/search/Duplicates.h
enum class TDuplicateKey;  // core/search/Duplicates.h
struct TTimeFormat;        // core/catalog/TimeFormat.h
struct TScanOptions;       // core/scan/ScanOptions.h
struct TExportContext;     // core/export/ExportContext.h

// The catalog engine: moves catalogs between trees, its XML Document and files, scans
// folders, searches catalog files and exports. It works on a document it does not own.
// Each member hands its work to the folder that owns it (catalogfile, scan, search,
// export) and keeps only what the caller sees between calls: the document, the file it was
// read from, the export columns and the sinks.
class TFileInfo {
public:
    explicit TFileInfo(IProgressSink& progress = SilentProgress(),
                       IPromptSink& prompt = DecliningPrompt());
    ~TFileInfo();
    TFileInfo(const TFileInfo&) = delete;
    TFileInfo& operator=(const TFileInfo&) = delete;

    pugi::xml_document* Document = nullptr;  // not owned
    QString CatalogFileName;                 // set by OpenCatalogFile, even when parsing fails
    std::unique_ptr<QStringList> ExportColumns;

    IProgressSink& Progress() const { return *progress_; }
    IPromptSink& Prompt() const { return *prompt_; }
    void SetProgress(IProgressSink& progress) { progress_ = &progress; }
    void SetPrompt(IPromptSink& prompt) { prompt_ = &prompt; }

    // --- Catalog files ---
    // Resets Document to an empty catalog.
    void NewDocument();
    // Replaces the items of Document by the items of the tree.
    void TreeToDocument(const TCatalogTree& tree);
    // Writes Document to path (asks for one when empty). The old file is replaced only
    // once the new one is complete. False when the user declined; throws on failure.
    bool SaveCatalogFile(const QString& path);
    // Parses the file into Document (asks for a path when empty). False when the user
    // declined; throws TCatalogFileError when the file cannot be read or parsed, and
    // then leaves Document as it was.
    bool OpenCatalogFile(const QString& path);
    // Replaces the tree's contents by the items of Document.
    void DocumentToTree(TCatalogTree& tree);
    // Reads the catalog file straight into the tree, as OpenCatalogFile and DocumentToTree
    // together would, without a document; Document is left alone. Asks for a path when
    // empty; false when the user declined. Throws TCatalogFileError as OpenCatalogFile does,
    // and then leaves the tree as it was.
    bool OpenCatalogTree(const QString& path, TCatalogTree& tree);
    // Writes the tree as a catalog file, byte for byte what TreeToDocument and
    // SaveCatalogFile write after NewDocument, without a document. Asks for a path when
    // empty; false when the user declined; throws on failure, the old file then untouched.
    bool SaveCatalogTree(const TCatalogTree& tree, const QString& path);
    // Reads the catalog file through without keeping anything, to learn whether it can be
    // opened: throws TCatalogFileError as OpenCatalogTree would, for the same files.
    void CheckCatalogFile(const QString& path);
    // The root element of Document, making an empty catalog first when it has none.
    pugi::xml_node DocumentRoot();

    // --- Scanner ---
    // Fills the tree with what it can read below the folder and tells what it could not.
    // Times are written in `timeFormat` (the current locale's when null), which the catalog
    // records with the mask and the only-folders choice.
    TScanOutcome ScanFolder(TCatalogTree& tree, const QString& folder, const QString& maskList,
                            bool onlyFolders, const QString& catalogFile,
                            const TTimeFormat* timeFormat = nullptr);
    // The same with every choice of a scan (archives, exclusions...).
    TScanOutcome ScanFolder(TCatalogTree& tree, const QString& folder, const TScanOptions& options,
                            const QString& catalogFile);

    // --- Search --- Returns the files of the scope that were skipped as unreadable catalogs.
    QStringList Search(TSearchScope scope, TCatalogTree& result, TFileItem& conditions,
                       bool caseSensitive, bool wholeWords);
    // The same with conditions on any field, ranges and the kind of item. Throws
    // TSearchConditionError, before reading anything, for a condition it cannot use.
    QStringList Search(TSearchScope scope, TCatalogTree& result, TFileItem& conditions,
                       const TSearchOptions& options);
    // The files of the group or catalog at scopePath that share the key, in groups of two
    // or more, as a flat list ordered by group; each hit carries its catalog's disk name.
    // Catalogs reached through symbolic links are read only when the link leads into
    // `linkRoot` (empty: anywhere). With `copies` (the search index) only the files that may
    // have a copy are kept while reading.
    TDuplicates FindDuplicates(TSearchScope scope, const QString& scopePath, TDuplicateKey key,
                               TCatalogTree& result, const QString& linkRoot = QString(),
                               ICatalogCopies* copies = nullptr);

    // --- Exports --- Each returns true when a file was written.
    bool ExportHtml(const QString& defaultName, const TCatalogTree* tree);
    bool ExportText(const QString& defaultName, const QString& separator, const TCatalogTree* tree);
    bool ExportCsv(const QString& defaultName, const QString& separator, const TCatalogTree* tree);
    // The same three exports of the catalog file at catalogPath, written as the file is read:
    // no document, no tree. A file that only the XML parser reads is opened into a tree first.
    bool ExportCatalogHtml(const QString& catalogPath, const QString& defaultName);
    bool ExportCatalogText(const QString& catalogPath, const QString& defaultName,
                           const QString& separator);
    bool ExportCatalogCsv(const QString& catalogPath, const QString& defaultName,
                          const QString& separator);
    // The XML export writes Document as a catalog file; the workbook export shows Document's
    // items with their stored attribute texts.
    bool ExportXml(const QString& defaultName);
    bool ExportExcel(const QString& defaultName);
    // The same two exports of a tree, with the bytes and cells they give after TreeToDocument
    // of the tree, without a document.
    bool ExportXml(const QString& defaultName, const TCatalogTree& tree);
    bool ExportExcel(const QString& defaultName, const TCatalogTree& tree);
    // The same two exports of the catalog file at catalogPath, with the bytes and cells they
    // give after OpenCatalogFile, without a document: written as the file is read. The
    // workbook reads the file twice, as its columns are as wide as their longest text, the
    // first time before asking for the export file, so that a broken catalog is reported
    // first. A file that only the XML parser reads is parsed into a document of the export's.
    bool ExportCatalogXml(const QString& catalogPath, const QString& defaultName);
    bool ExportCatalogExcel(const QString& catalogPath, const QString& defaultName);

private:
    pugi::xml_document& ActiveDocument();
    TSearchLeftover Leftover() const;
    void TakeLeftover(const TSearchLeftover& leftover);
    TExportContext ExportContext() const;

    IProgressSink* progress_;
    IPromptSink* prompt_;
};

}  // namespace melodrix
