#include "core/scan/ScanWalk.h"

#include <QByteArray>
#include <chrono>
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
                     std::chrono::milliseconds patience)
    : mask_(std::move(maskList)),
      onlyFolders_(onlyFolders),
      patience_(patience),
      readers_(readAudio),
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
    for (TScanEntry& entry : scanned_) {
        if (!entry.isDirectory && !PassesFilter(entry.name)) {
            continue;
        }
        kept_.fetch_add(1, std::memory_order_relaxed);
        TWalkEntry& walked = listing.entries.emplace_back();
        walked.entry = std::move(entry);
        if (!walked.entry.isDirectory) {
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
    filling_.entries += listing.entries.size() + 1;
    filling_.listings.push_back(std::move(listing));
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
    const auto [known, added] = passes_.try_emplace(extension, false);
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
