#include "core/scan/ScanWalk.h"

#include <QByteArray>
#include <chrono>
#include <iterator>
#include <system_error>
#include <utility>

#include "core/catalog/Paths.h"
#include "core/catalog/ValueFunctions.h"

namespace melodrix {

namespace {

// Enough entries that handing a batch over costs little beside building it, few enough that
// the building left when the walk ends is short.
constexpr size_t kBatchEntries = 1024;

}  // namespace

TScanWalk::TScanWalk(std::string directory, QString maskList, bool onlyFolders, bool readAudio,
                     std::chrono::milliseconds patience, TWalkOptions options)
    : mask_(std::move(maskList)),
      onlyFolders_(onlyFolders),
      patience_(patience),
      options_(std::move(options)),
      readers_(readAudio),
      first_(readAudio),
      second_(readAudio),
      thread_([this, directory = std::move(directory)] { Run(directory); }) {}

TScanWalk::~TScanWalk() {
    batches_.Stop();
    thread_.join();
}

bool TScanWalk::Next(TWalkListing& listing, const std::function<void()>& whileWaiting) {
    while (next_ == taken_.listings.size()) {
        next_ = 0;  // the batch is taken, or it is left empty
        const std::optional<bool> taken = batches_.TakeWithin(taken_, patience_);
        if (!taken) {
            whileWaiting();
            continue;
        }
        if (!*taken) {
            // The thread has closed the handoff, so what it set before is seen here.
            if (failure_) {
                std::rethrow_exception(failure_);
            }
            return false;
        }
    }
    listing = std::move(taken_.listings[next_++]);
    return true;
}

std::string TScanWalk::Location() const {
    const std::lock_guard lock(locationMutex_);
    return location_;
}

void TScanWalk::Run(const std::string& directory) {
    try {
        if (Walk(directory, 0) && !filling_.listings.empty()) {
            batches_.Give(filling_);
        }
    } catch (...) {
        failure_ = std::current_exception();
    }
    batches_.Close();
}

bool TScanWalk::Walk(const std::string& directory, size_t folder) {
    {
        const std::lock_guard lock(locationMutex_);
        location_ = directory;
    }
    TWalkListing listing;
    listing.folder = folder;
    listing.directory = directory;
    ListScanDirectory(directory, scanned_, &listing.error);
    // Entered once the listing is handed over, with the numbers their listings carry.
    std::vector<std::pair<std::string, size_t>> folders;
    // The archives in this folder, by their place in its listing; looked into once it is
    // listed, and their listings handed over right after it.
    std::vector<size_t> archives;
    for (TScanEntry& entry : scanned_) {
        if (!options_.Excluder.IsEmpty() && options_.Excluder.Excludes(entry.name)) {
            continue;
        }
        // An archive is looked into whatever the mask says, as a folder would be.
        const bool archive = options_.Archives && !onlyFolders_ && !entry.isDirectory &&
                             entry.error == 0 && IsArchiveName(entry.name);
        if (!entry.isDirectory && !archive && !PassesFilter(entry.name)) {
            continue;
        }
        kept_.fetch_add(1, std::memory_order_relaxed);
        TWalkEntry& walked = listing.entries.emplace_back();
        walked.entry = std::move(entry);
        if (archive) {
            archives.push_back(listing.entries.size() - 1);
        } else if (!walked.entry.isDirectory) {
            // A file that could not even be examined cannot be read either.
            if (walked.entry.error == 0) {
                ReadTags(directory, walked);
            }
        } else if (!walked.entry.isLink) {
            // A linked folder is catalogued but never entered: no cycles, no leaving the tree.
            walked.listedAs = ++folders_;
            folders.emplace_back(directory + walked.entry.name + '/', walked.listedAs);
        }
    }
    std::vector<TWalkListing> inside = ReadArchives(directory, listing, archives);
    filling_.entries += listing.entries.size() + 1;
    filling_.listings.push_back(std::move(listing));
    for (TWalkListing& archive : inside) {
        filling_.entries += archive.entries.size() + 1;
        filling_.listings.push_back(std::move(archive));
    }
    if (filling_.entries >= kBatchEntries && !batches_.Give(filling_)) {
        return false;
    }
    for (const auto& [below, number] : folders) {
        if (!Walk(below, number)) {
            return false;
        }
    }
    return true;
}

bool TScanWalk::PassesFilter(const std::string& name) {
    return PassesMask(name, passes_);
}

bool TScanWalk::PassesMask(const std::string& name,
                           std::unordered_map<std::string, bool>& passes) const {
    if (onlyFolders_) {
        return false;
    }
    if (mask_.isEmpty()) {
        return true;
    }
    const size_t dot = name.rfind('.');
    const std::string extension =
        dot == std::string::npos ? std::string() : AsciiUpper(std::string_view(name).substr(dot));
    // A folder holds few kinds of files: each is looked up in the mask once.
    const auto [known, added] = passes.try_emplace(extension, false);
    if (added) {
        const std::string test = '\\' + extension + '\\';
        known->second =
            mask_.contains(QLatin1String(test.data(), static_cast<qsizetype>(test.size())));
    }
    return known->second;
}

// The file is opened by its name on disk, never by its text. The music formats have ASCII
// extensions, which the name's text spells as the name does.
void TScanWalk::ReadTags(const std::string& directory, TWalkEntry& walked) {
    const TMusicFormat format = MusicFormatOfExtension(ExtensionOfUtf8(walked.entry.name));
    if (format == TMusicFormat::Other) {
        return;
    }
    try {
        path_.assign(directory).append(walked.entry.name);
        // Borrowed, not copied: the string outlives the call and ends in its NUL.
        readers_.Read(QByteArray::fromRawData(path_.data(), static_cast<qsizetype>(path_.size())),
                      format, walked.tags, walked.entry.size);
        walked.readError = readers_.LastError();
        walked.tagsRead = walked.readError == 0;
    } catch (const std::exception&) {
        walked.readFailed = true;
    }
}

}  // namespace melodrix

namespace melodrix {

namespace {

// Builds the listings of one archive: its entries become the listing of the archive itself
// and of each folder inside it, folders made for the paths that name them but have no entry
// of their own. Numbers are indexes into the listings until the archive has been read whole.
class TArchiveListings {
public:
    explicit TArchiveListings(const std::string& archivePath) {
        listings_.emplace_back().directory = archivePath + '/';
        folders_.emplace_back();
    }

    // The listing an entry below `components` (all but the entry's own name) goes into.
    size_t FolderOf(const std::vector<std::string>& components, size_t count) {
        size_t at = 0;
        for (size_t i = 0; i < count; ++i) {
            at = Subfolder(at, components[i], nullptr);
        }
        return at;
    }

    // A folder entry: made, or given the time its own entry has.
    void AddFolder(const TArchiveEntry& entry) {
        const size_t parent = FolderOf(entry.Components, entry.Components.size() - 1);
        Subfolder(parent, entry.Components.back(), &entry);
    }

    TWalkEntry& AddFile(const TArchiveEntry& entry) {
        TWalkListing& listing = listings_[FolderOf(entry.Components, entry.Components.size() - 1)];
        TWalkEntry& walked = listing.entries.emplace_back();
        walked.entry = ScanEntryOf(entry);
        return walked;
    }

    // The listings with the folder numbers of the walk: the archive's is `first`, and the
    // folders inside it follow.
    std::vector<TWalkListing> Take(size_t first) {
        for (size_t i = 0; i < listings_.size(); ++i) {
            listings_[i].folder = first + i;
            for (TWalkEntry& walked : listings_[i].entries) {
                if (walked.listedAs != 0) {
                    walked.listedAs += first - 1;
                }
            }
        }
        return std::move(listings_);
    }

    size_t Count() const { return listings_.size(); }

private:
    struct TFolder {
        std::unordered_map<std::string, size_t> subfolders;  // by name, to listing index
    };

    static TScanEntry ScanEntryOf(const TArchiveEntry& entry) {
        TScanEntry scanned;
        scanned.name = entry.Components.back();
        scanned.isDirectory = entry.IsDirectory;
        scanned.size = entry.IsDirectory ? 0 : entry.Size;
        scanned.hasTime = entry.HasTime;
        scanned.modifiedSecs = entry.ModifiedSecs;
        return scanned;
    }

    size_t Subfolder(size_t parent, const std::string& name, const TArchiveEntry* own) {
        const auto found = folders_[parent].subfolders.find(name);
        if (found != folders_[parent].subfolders.end()) {
            if (own) {
                // Its own entry came after an entry inside it: the folder takes its time.
                for (TWalkEntry& walked : listings_[parent].entries) {
                    if (walked.listedAs == found->second + 1) {
                        walked.entry.hasTime = own->HasTime;
                        walked.entry.modifiedSecs = own->ModifiedSecs;
                    }
                }
            }
            return found->second;
        }
        const size_t index = listings_.size();
        TWalkEntry walked;
        if (own) {
            walked.entry = ScanEntryOf(*own);
        } else {
            walked.entry.name = name;
            walked.entry.isDirectory = true;
        }
        walked.listedAs = index + 1;  // 0 stays "not entered"
        const std::string directory = listings_[parent].directory + name + '/';
        listings_[parent].entries.push_back(std::move(walked));
        folders_[parent].subfolders.emplace(name, index);
        listings_.emplace_back().directory = directory;
        folders_.emplace_back();
        return index;
    }

    std::vector<TWalkListing> listings_;
    std::vector<TFolder> folders_;
};

}  // namespace

// What reading one archive gave: its listings, numbered from 1, or why it stays a file.
struct TScanWalk::TArchiveRead {
    TArchiveResult result;
    std::vector<TWalkListing> listings;
    uint64_t kept = 0;  // entries kept of it
};

TScanWalk::TArchiveRead TScanWalk::ReadArchive(const std::string& archivePath,
                                               TArchiveReading& reading) const {
    TArchiveRead read;
    TArchiveListings built(archivePath);
    const auto skipped = [&](const TArchiveEntry& entry) {
        for (const std::string& name : entry.Components) {
            if (!options_.Excluder.IsEmpty() && options_.Excluder.Excludes(name)) {
                return true;
            }
        }
        return !entry.IsDirectory && !PassesMask(entry.Components.back(), reading.passes);
    };
    const auto formatOf = [](const TArchiveEntry& entry) {
        return MusicFormatOfExtension(ExtensionOfUtf8(entry.Components.back()));
    };
    try {
        read.result = ReadArchiveFile(
            archivePath, options_.ArchiveLimits,
            [&](const TArchiveEntry& entry) {
                return !skipped(entry) && formatOf(entry) != TMusicFormat::Other;
            },
            [&](const TArchiveEntry& entry, IByteSource* bytes) {
                if (skipped(entry)) {
                    return;
                }
                ++read.kept;
                if (entry.IsDirectory) {
                    built.AddFolder(entry);
                    return;
                }
                TWalkEntry& file = built.AddFile(entry);
                if (bytes) {
                    reading.readers.Read(*bytes, formatOf(entry), file.tags);
                    file.tagsRead = true;
                }
            });
    } catch (const std::exception&) {
        // Out of memory in a reader: the archive is no listing, the scan goes on.
        read.result = {TArchiveProblem::Unreadable, "out of memory"};
    }
    if (read.result.Ok()) {
        read.listings = built.Take(1);
    }
    return read;
}

std::vector<TWalkListing> TScanWalk::ReadArchives(const std::string& directory,
                                                  TWalkListing& listing,
                                                  const std::vector<size_t>& archives) {
    std::vector<TArchiveRead> reads(archives.size());
    // Nothing may leave a thread: an archive that fails in any way is a plain file.
    const auto readShare = [&](size_t first, size_t step, TArchiveReading& reading) {
        for (size_t i = first; i < archives.size(); i += step) {
            try {
                reads[i] =
                    ReadArchive(directory + listing.entries[archives[i]].entry.name, reading);
            } catch (...) {
                reads[i].result = {TArchiveProblem::Unreadable, "out of memory"};
            }
        }
    };
    std::thread helper;
    if (archives.size() > 1) {
        // Unpacking is what an archive costs: a second thread takes every other archive of
        // the folder, with readers of its own, and both are done before the folder is
        // handed over.
        try {
            helper = std::thread(readShare, 1, 2, std::ref(second_));
        } catch (const std::system_error&) {
            // No thread to be had: this one reads them all.
        }
    }
    readShare(0, helper.joinable() ? 2 : 1, first_);
    if (helper.joinable()) {
        helper.join();
    }
    std::vector<TWalkListing> inside;
    for (size_t i = 0; i < archives.size(); ++i) {
        TWalkEntry& walked = listing.entries[archives[i]];
        if (!reads[i].result.Ok()) {
            walked.archiveProblem = ArchiveProblemText(reads[i].result, options_.ArchiveLimits);
            continue;
        }
        // Numbered as the walk numbers folders, each after the folder it lies in.
        walked.listedAs = folders_ + 1;
        for (TWalkListing& archive : reads[i].listings) {
            archive.folder += folders_;
            for (TWalkEntry& entry : archive.entries) {
                if (entry.listedAs != 0) {
                    entry.listedAs += folders_;
                }
            }
        }
        folders_ += reads[i].listings.size();
        kept_.fetch_add(reads[i].kept, std::memory_order_relaxed);
        std::move(reads[i].listings.begin(), reads[i].listings.end(), std::back_inserter(inside));
    }
    return inside;
}

}  // namespace melodrix
