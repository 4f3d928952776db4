#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/base/FileStamp.h"
#include "core/catalog/TimeFormat.h"
#include "core/index/CopyRecords.h"

namespace melodrix {

// What the head of a copy file says, read without mapping the rest.
struct TCopyFacts {
    TFileStamp catalogStamp;
    std::string catalogNativePath;
    uint64_t itemCount = 0;
    uint64_t bytes = 0;
    int64_t madeAtMs = 0;
};

// The search index's copy of one catalog file: the file's stamp when it was read, the root
// attributes the search uses, every item packed (CopyRecords.h), and the items' names folded
// (full Unicode case folding) one after another, so that a name condition is a scan of a few
// bytes per item instead of a parse of the whole file. Held as bytes: mapped from the index
// folder, or in memory when the folder cannot be written.
class TCatalogCopy {
public:
    ~TCatalogCopy();
    TCatalogCopy(const TCatalogCopy&) = delete;
    TCatalogCopy& operator=(const TCatalogCopy&) = delete;

    // Reads the catalog file `path` (whose name on disk is `native`) as the search reads it,
    // streamed when it is plainly written, else parsed, and saves the copy to `saveTo` (a
    // temporary file renamed over it; not synced: it is a cache and checked when read).
    // Nothing when it cannot be read as a catalog or changed while it was read; a copy that
    // cannot be saved is kept in memory.
    static std::unique_ptr<TCatalogCopy> Read(const QString& path, const QByteArray& native,
                                              const QString& saveTo = {});

    // Maps a copy file. Nothing when there is none or it is damaged.
    static std::unique_ptr<TCatalogCopy> Map(const QString& copyFile);
    // Reads the head of a copy file only: enough to tell whether it is current. Nothing when
    // there is none or its head is damaged; the rest is checked when it is mapped.
    static std::optional<TCopyFacts> Peek(const QString& copyFile);
    TCopyFacts Facts() const;

    const TFileStamp& CatalogStamp() const { return stamp_; }
    std::string_view CatalogNativePath() const { return nativePath_; }
    uint64_t ItemCount() const { return itemCount_; }
    uint64_t ByteCount() const { return bytes_.size(); }
    int64_t MadeAtMs() const { return madeAtMs_; }
    const std::optional<TTimeFormat>& TimeFormat() const { return timeFormat_; }

    // Calls `visit` for every item whose folded name holds `foldedNeedle` (every item when it
    // is empty), in the catalog's order, until `visit` returns false. False when the copy
    // turns out to be damaged.
    bool Visit(std::string_view foldedNeedle,
               const std::function<bool(const TPackedItem&)>& visit) const;

private:
    struct TBytes;
    explicit TCatalogCopy(std::unique_ptr<TBytes> bytes);
    bool TakeLayout();
    uint64_t NameStart(uint64_t item) const;
    std::string_view Block(uint64_t block) const;

    std::unique_ptr<TBytes> storage_;
    std::string_view bytes_;
    TFileStamp stamp_;
    std::string_view nativePath_;
    uint64_t itemCount_ = 0;
    int64_t madeAtMs_ = 0;
    std::optional<TTimeFormat> timeFormat_;
    std::string_view names_;
    const char* nameStarts_ = nullptr;   // uint32 per item and one past the last
    const char* blockStarts_ = nullptr;  // uint64 per block and one past the last
    std::string_view records_;
};

}  // namespace melodrix
