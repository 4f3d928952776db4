#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <string>

#include "core/base/FileStamp.h"
#include "core/catalog/Sinks.h"
#include "core/search/CatalogCopies.h"

namespace melodrix {

class TCatalogCopy;

// The folder the search index keeps its copies in: "melodrix/search-index" in the user's
// cache folder, never inside a library (which may be read-only or shared).
QString DefaultIndexFolder();

// What `Survey` found of a library's catalogs in the index.
struct TIndexSurvey {
    uint64_t catalogs = 0;      // catalog files of the library
    uint64_t current = 0;       // of those, with a current copy (after the survey)
    uint64_t made = 0;          // copies the survey made or remade
    uint64_t items = 0;         // items in the current copies
    uint64_t bytes = 0;         // size of the current copies
    uint64_t catalogBytes = 0;  // size of the catalog files
    int64_t oldestMs = 0;       // when the oldest and newest current copy were made (0: none)
    int64_t newestMs = 0;
    QStringList unreadable;  // catalog files that could not be read
    uint64_t removed = 0;    // copies dropped because their catalog is gone
};

// The search index: a copy of every catalog searched (CatalogCopy.h), one file each in the
// index folder, named by its catalog's path. It is a cache: before a copy is used, the
// catalog file's stamp (device, inode, size, modification time) is compared with the one the
// copy was made from, and a catalog that changed is read again first, by whichever process
// searches it. Deleting the folder loses nothing. Copies are replaced by renaming, so two
// processes may index the same catalog at once.
class TSearchIndex final : public ICatalogCopies {
public:
    explicit TSearchIndex(QString folder = DefaultIndexFolder());
    ~TSearchIndex() override;

    const QString& Folder() const { return folder_; }

    void Prepare(const TFileItem& conditions, const TSearchOptions& options) override;
    bool VisitCandidates(const QString& path, const QByteArray& native,
                         const std::function<void(const TCopiedCatalog&)>& begin,
                         const std::function<bool(const TCopiedItem&)>& visit) override;

    // Looks at every catalog file below `library` (groups included), making the copies that
    // are missing or stale, or all of them with `remake`, and drops the copies of catalogs
    // that no longer exist. Stops early when the progress sink asks.
    TIndexSurvey Survey(const QString& library, bool remake, IProgressSink& progress);

    // The name condition the copies narrow by, as folded text; empty when every item of a
    // catalog must be tested. Public for its tests.
    static std::string NarrowingText(const TFileItem& conditions, const TSearchOptions& options);

private:
    // The copy in the index folder when it was made from the file as it is (`stamp`), else a
    // new one (`made`); null when the catalog cannot be read. Touches nothing of this object
    // but the folder's name, so two threads may call it.
    std::unique_ptr<TCatalogCopy> FreshCopy(const QString& path, const QByteArray& native,
                                            const TFileStamp& stamp, bool remake, bool& made) const;
    QString CopyFileOf(const QByteArray& native) const;

    QString folder_;
    std::string needle_;
};

}  // namespace melodrix
