#pragma once

#include <QString>
#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "core/archive/ArchiveReader.h"
#include "core/base/Handoff.h"
#include "core/catalog/NamePatterns.h"
#include "core/scan/ScannerDirectory.h"
#include "core/scan/ScannerTags.h"

namespace melodrix {

// An entry of a listed directory that the scan keeps, with its tags when it is a music file.
struct TWalkEntry {
    TScanEntry entry;
    bool tagsRead = false;    // `tags` holds what the file's tags say
    bool readFailed = false;  // reading the file failed (out of memory): its item stays empty
    int readError = 0;        // the errno value of a music file that could not be read
    // The number of this folder's own listing when the walk enters it; 0 for a file and for a
    // folder it does not enter (a linked one). An archive the walk looked into is a file with
    // a listing of its own.
    size_t listedAs = 0;
    TTagFields tags;
    // Why the walk could not look inside this archive, which then stays a plain file; empty
    // for any other entry.
    std::string archiveProblem;
};

// A directory as the walk hands it over.
struct TWalkListing {
    // Which folder this lists: 0 for the folder the walk started at, else the `listedAs` of
    // the folder's entry in its parent's listing, which always comes first.
    size_t folder = 0;
    std::string directory;  // its name on disk, ending in '/'
    std::vector<TWalkEntry> entries;
    int error = 0;  // the errno value when it could not be listed; `entries` is then empty
};

// Listings handed over together, so that the two threads seldom wait for each other.
struct TWalkBatch {
    std::vector<TWalkListing> listings;
    size_t entries = 0;

    void clear() {
        listings.clear();
        entries = 0;
    }
};

// What the walk skips and what it looks into besides folders.
struct TWalkOptions {
    TNameExcluder Excluder;  // names skipped, in folders and in archives
    bool Archives = false;   // list the entries of archives and disc images
    TArchiveLimits ArchiveLimits;
};

// Walks a folder on a thread of its own: lists each directory, examines its entries and
// reads the tags of its music files. The caller builds the catalog from the listings already
// handed over while the walk waits on the file system for the next ones. Each listing says
// which folder it lists, and a folder's listing always comes after the listing that holds
// the folder's entry; the caller needs to know nothing else of the order.
class TScanWalk {
public:
    // `directory` is the folder's name on disk, ending in '/'. Files pass when `onlyFolders`
    // is false and the mask (upper-case extensions, each as "\.EXT\") is empty or holds
    // their extension. Music files get their audio properties when `readAudio` is true. While
    // the caller waits for a listing, it hears every `patience`.
    TScanWalk(std::string directory, QString maskList, bool onlyFolders, bool readAudio = true,
              std::chrono::milliseconds patience = std::chrono::milliseconds(100),
              TWalkOptions options = {});
    // Stops the walk and waits for its thread.
    ~TScanWalk();
    TScanWalk(const TScanWalk&) = delete;
    TScanWalk& operator=(const TScanWalk&) = delete;

    // The next listing; false once the walk has handed over every one. `whileWaiting` is
    // called every `patience` while the walk has none ready (a slow disk). Rethrows what
    // ended the walk early.
    bool Next(TWalkListing& listing, const std::function<void()>& whileWaiting);

    // The entries the walk has kept so far, and the directory it is reading: on a slow disk
    // it is ahead of what the caller has built.
    uint64_t Kept() const { return kept_.load(std::memory_order_relaxed); }
    std::string Location() const;

private:
    void Run(const std::string& directory);
    // False once the caller has stopped the walk.
    bool Walk(const std::string& directory, size_t folder);
    bool PassesFilter(const std::string& name);
    bool PassesMask(const std::string& name, std::unordered_map<std::string, bool>& passes) const;
    void ReadTags(const std::string& directory, TWalkEntry& walked);

    // What looking into archives takes on each thread: readers and a mask cache of its own.
    struct TArchiveReading {
        explicit TArchiveReading(bool readAudio) : readers(readAudio) {}
        TTagReaders readers;
        std::unordered_map<std::string, bool> passes;
    };
    struct TArchiveRead;
    TArchiveRead ReadArchive(const std::string& archivePath, TArchiveReading& reading) const;
    // Looks into the archives of a listed folder (their places in its entries) and gives
    // their listings, numbered after the folders numbered so far; an archive that cannot be
    // read gets its reason instead.
    std::vector<TWalkListing> ReadArchives(const std::string& directory, TWalkListing& listing,
                                           const std::vector<size_t>& archives);

    const QString mask_;
    const bool onlyFolders_;
    const std::chrono::milliseconds patience_;
    const TWalkOptions options_;
    std::unordered_map<std::string, bool> passes_;  // by upper-case extension with its dot
    std::vector<TScanEntry> scanned_;
    std::string path_;
    TTagReaders readers_;
    TArchiveReading first_;
    TArchiveReading second_;
    TWalkBatch filling_;  // the walk's
    TWalkBatch taken_;    // the caller's
    size_t next_ = 0;     // the caller's next listing in taken_
    size_t folders_ = 0;  // the folders numbered so far, the walk's
    std::atomic<uint64_t> kept_{0};
    mutable std::mutex locationMutex_;
    std::string location_;
    THandoff<TWalkBatch> batches_{4};
    std::exception_ptr failure_;  // set by the thread before it closes the handoff
    std::thread thread_;          // last: starts once everything it reads is built
};

}  // namespace melodrix
