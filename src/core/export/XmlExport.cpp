// The XML export of the catalog engine: a catalog file of the document, of a tree, or copied
// from a catalog file as it is read.
#include <optional>

#include "core/base/AtomicFile.h"
#include "core/base/Errors.h"
#include "core/catalogfile/CatalogDocument.h"
#include "core/catalogfile/CatalogLock.h"
#include "core/catalogfile/CatalogStream.h"
#include "core/catalogfile/CatalogWriter.h"
#include "core/export/ExportFile.h"
#include "core/export/ExportTexts.h"
#include "core/export/Exports.h"

namespace melodrix {

namespace {

QString AskXmlPath(const TExportContext& context, const QString& defaultName) {
    return AskSaveFileName(context.Prompt, kXmlExtension, kXmlFilter, defaultName);
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

bool ExportXml(const TExportContext& context, const QString& defaultName) {
    const QString path = AskXmlPath(context, defaultName);
    if (path.isEmpty()) {
        return false;
    }
    const std::optional<TCatalogLock> lock = LockExportTarget(path, context.Progress);
    TProgressScope progress(context.Progress, kExportToFile);
    pugi::xml_document& document = context.OpenDocument();
    CatalogDocumentRoot(document);  // an empty document is written as an empty catalog
    WriteCatalogDocument(path, document);
    return true;
}

bool ExportXml(const TExportContext& context, const QString& defaultName,
               const TCatalogTree& tree) {
    const QString path = AskXmlPath(context, defaultName);
    if (path.isEmpty()) {
        return false;
    }
    const std::optional<TCatalogLock> lock = LockExportTarget(path, context.Progress);
    TProgressScope progress(context.Progress, kExportToFile);
    WriteCatalogTreeFile(path, tree);
    return true;
}

bool ExportCatalogXml(const TExportContext& context, const QString& catalogPath,
                      const QString& defaultName) {
    const QString path = AskXmlPath(context, defaultName);
    if (path.isEmpty()) {
        return false;
    }
    const std::optional<TCatalogLock> lock = LockExportTarget(path, context.Progress);
    TProgressScope progress(context.Progress, kExportToFile);
    // What was written of a catalog that needs the parser goes with the unfinished file.
    if (WriteFileAtomicallyIf(path, [&](QIODevice& device) {
            TCatalogStream stream;
            TCatalogWriter writer(device);
            return stream.Load(catalogPath) && CopyStreamedCatalog(stream, writer);
        })) {
        return true;
    }
    pugi::xml_document document;
    context.Progress.SetProgressText(kLoadingInfo);
    LoadCatalogDocument(catalogPath, document);
    context.Progress.SetProgressText(kExportToFile);
    WriteCatalogDocument(path, document);
    return true;
}

}  // namespace melodrix
