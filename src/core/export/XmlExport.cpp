// The XML export of the catalog engine: a catalog file of the document, of a tree, or copied
// from a catalog file as it is read.
#include <optional>

#include "core/catalog/Errors.h"
#include "core/catalog/FileInfo.h"
#include "core/catalogfile/AtomicFile.h"
#include "core/catalogfile/CatalogDocument.h"
#include "core/catalogfile/CatalogLock.h"
#include "core/catalogfile/CatalogStream.h"
#include "core/catalogfile/CatalogWriter.h"
#include "core/export/ExportFile.h"
#include "core/export/ExportTexts.h"

namespace melodrix {

namespace {

QString AskXmlPath(TFileInfo& info, const QString& defaultName) {
    return AskSaveFileName(info.Prompt(), kXmlExtension, kXmlFilter, defaultName);
}

// An XML export may replace a catalog of the library: it waits for whoever writes that
// catalog, as every writer does. A file that cannot be locked (not writable by us, not a
// regular file) is still replaced, as before; only a cancelled wait stops the export.
std::optional<TCatalogLock> LockExportTarget(const QString& path, IProgressSink& progress) {
    try {
        return std::optional<TCatalogLock>(std::in_place, path, progress);
    } catch (const TCancelledError&) {
        throw;
    } catch (const TMelodrixError&) {
        return std::nullopt;
    }
}

}  // namespace

bool TFileInfo::ExportXml(const QString& defaultName) {
    const QString path = AskXmlPath(*this, defaultName);
    if (path.isEmpty()) {
        return false;
    }
    const std::optional<TCatalogLock> lock = LockExportTarget(path, Progress());
    TProgressScope progress(Progress(), kExportToFile);
    DocumentRoot();  // an empty document is written as an empty catalog
    return SaveCatalogFile(path);
}

bool TFileInfo::ExportXml(const QString& defaultName, const TCatalogTree& tree) {
    const QString path = AskXmlPath(*this, defaultName);
    if (path.isEmpty()) {
        return false;
    }
    const std::optional<TCatalogLock> lock = LockExportTarget(path, Progress());
    TProgressScope progress(Progress(), kExportToFile);
    WriteCatalogTreeFile(path, tree);
    return true;
}

bool TFileInfo::ExportCatalogXml(const QString& catalogPath, const QString& defaultName) {
    const QString path = AskXmlPath(*this, defaultName);
    if (path.isEmpty()) {
        return false;
    }
    const std::optional<TCatalogLock> lock = LockExportTarget(path, Progress());
    TProgressScope progress(Progress(), kExportToFile);
    // What was written of a catalog that needs the parser goes with the unfinished file.
    if (WriteFileAtomicallyIf(path, [&](QIODevice& device) {
            TCatalogStream stream;
            TCatalogWriter writer(device);
            return stream.Load(catalogPath) && CopyStreamedCatalog(stream, writer);
        })) {
        return true;
    }
    pugi::xml_document document;
    Progress().SetProgressText(kLoadingInfo);
    LoadCatalogDocument(catalogPath, document);
    Progress().SetProgressText(kExportToFile);
    WriteCatalogDocument(path, document);
    return true;
}

}  // namespace melodrix
