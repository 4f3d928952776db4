// The XML export of the catalog engine: a catalog file of the document, of a tree, or copied
// from a catalog file as it is read.
#include "core/catalog/FileInfo.h"
#include "core/catalogfile/AtomicFile.h"
#include "core/catalogfile/CatalogDocument.h"
#include "core/catalogfile/CatalogStream.h"
#include "core/catalogfile/CatalogWriter.h"
#include "core/export/ExportFile.h"
#include "core/export/ExportTexts.h"

namespace melodrix {

namespace {

QString AskXmlPath(TFileInfo& info, const QString& defaultName) {
    return AskSaveFileName(info.Prompt(), kXmlExtension, kXmlFilter, defaultName);
}

}  // namespace

bool TFileInfo::ExportXml(const QString& defaultName) {
    const QString path = AskXmlPath(*this, defaultName);
    if (path.isEmpty()) {
        return false;
    }
    TProgressScope progress(Progress(), kExportToFile);
    DocumentRoot();  // an empty document is written as an empty catalog
    return SaveCatalogFile(path);
}

bool TFileInfo::ExportXml(const QString& defaultName, const TCatalogTree& tree) {
    const QString path = AskXmlPath(*this, defaultName);
    if (path.isEmpty()) {
        return false;
    }
    TProgressScope progress(Progress(), kExportToFile);
    WriteCatalogTreeFile(path, tree);
    return true;
}

bool TFileInfo::ExportCatalogXml(const QString& catalogPath, const QString& defaultName) {
    const QString path = AskXmlPath(*this, defaultName);
    if (path.isEmpty()) {
        return false;
    }
    TProgressScope progress(Progress(), kExportToFile);
    try {
        WriteFileAtomically(path, [&](QIODevice& device) {
            TCatalogStream stream;
            TCatalogWriter writer(device);
            if (!stream.Load(catalogPath) || !CopyStreamedCatalog(stream, writer)) {
                throw TNeedsParser{};  // what was written goes with the unfinished file
            }
        });
        return true;
    } catch (const TNeedsParser&) {
    }
    pugi::xml_document document;
    Progress().SetProgressText(kLoadingInfo);
    LoadCatalogDocument(catalogPath, document);
    Progress().SetProgressText(kExportToFile);
    WriteCatalogDocument(path, document);
    return true;
}

}  // namespace melodrix
