// Reading archives and disc images through libarchive: entries listed, the data of the entries
// asked for kept at its two ends, every cost bounded. Nothing is ever written to the disk.
#include "core/archive/ArchiveReader.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>

namespace melodrix {

namespace {

using TClock = std::chrono::steady_clock;

// Opening an archive and reading an entry's header convert times through the C library's
// time zone functions, whose shared state is guarded by a lock the thread checker cannot
// see; archives read at once on several threads take these steps one at a time. The data,
// where the time goes, is unpacked side by side.
std::mutex headerMutex;

struct TArchiveFree {
    void operator()(archive* reader) const { archive_read_free(reader); }
};
using TArchivePtr = std::unique_ptr<archive, TArchiveFree>;

TArchivePtr NewReader() {
    TArchivePtr reader(archive_read_new());
    if (!reader) {
        return reader;
    }
    archive* a = reader.get();
    // Only the formats a collection is kept in: no raw format, so that a lone compressed
    // file or anything else is not taken for an archive of one entry.
    archive_read_support_format_zip(a);
    archive_read_support_format_7zip(a);
    archive_read_support_format_tar(a);
    archive_read_support_format_iso9660(a);
    archive_read_support_filter_gzip(a);
    archive_read_support_filter_bzip2(a);
    archive_read_support_filter_xz(a);
    archive_read_support_filter_zstd(a);
    return reader;
}

std::string LibraryError(archive* a) {
    const char* text = archive_error_string(a);
    return text ? std::string(text) : std::string();
}

std::vector<std::string> ComponentsOf(std::string_view path) {
    std::vector<std::string> components;
    while (!path.empty()) {
        const size_t slash = path.find('/');
        const std::string_view name = path.substr(0, slash);
        if (!name.empty() && name != ".") {
            components.emplace_back(name);
        }
        if (slash == std::string_view::npos) {
            break;
        }
        path.remove_prefix(slash + 1);
    }
    return components;
}

// One pass over an opened archive.
class TArchiveRun {
public:
    TArchiveRun(archive* a, const TArchiveLimits& limits, const TWantsBytes& wantsBytes,
                const TArchiveVisit& visit)
        : a_(a), limits_(limits), wantsBytes_(wantsBytes), visit_(visit), start_(TClock::now()) {}

    TArchiveResult Run() {
        uint64_t entries = 0;
        for (;;) {
            archive_entry* header = nullptr;
            int status = 0;
            {
                const std::lock_guard lock(headerMutex);
                status = archive_read_next_header(a_, &header);
            }
            if (status == ARCHIVE_EOF) {
                return {};
            }
            if (status != ARCHIVE_OK && status != ARCHIVE_WARN) {
                return Failure();
            }
            if (++entries > limits_.MaxEntries) {
                return {TArchiveProblem::TooManyEntries, {}};
            }
            if (TArchiveResult cost = Cost(); !cost.Ok()) {
                return cost;
            }
            if (archive_entry_is_encrypted(header)) {
                return {TArchiveProblem::Encrypted, {}};
            }
            const char* utf8 = archive_entry_pathname_utf8(header);
            const char* raw = utf8 ? utf8 : archive_entry_pathname(header);
            TArchiveEntry entry;
            entry.Components = ComponentsOf(raw ? std::string_view(raw) : std::string_view());
            if (entry.Components.empty()) {
                continue;  // the archive's own root ("./"), or no name at all
            }
            entry.IsDirectory = archive_entry_filetype(header) == AE_IFDIR;
            if (!entry.IsDirectory && archive_entry_size_is_set(header)) {
                entry.Size =
                    static_cast<uint64_t>(std::max<la_int64_t>(0, archive_entry_size(header)));
            }
            if (archive_entry_mtime_is_set(header)) {
                entry.HasTime = true;
                entry.ModifiedSecs = archive_entry_mtime(header);
            }
            if (!entry.IsDirectory && wantsBytes_ && wantsBytes_(entry)) {
                if (TArchiveResult read = ReadData(); !read.Ok()) {
                    return read;
                }
                entry.Size = bytes_.Size().value_or(0);
                visit_(entry, &bytes_);
            } else {
                if (archive_read_data_skip(a_) != ARCHIVE_OK) {
                    return Failure();
                }
                visit_(entry, nullptr);
            }
        }
    }

private:
    // Takes the entry's data block by block as the library hands them over, without a copy
    // of its own; the holes of a sparse entry read as zeros.
    TArchiveResult ReadData() {
        bytes_.Start(limits_.HeadBytes, limits_.TailBytes);
        for (;;) {
            const void* block = nullptr;
            size_t size = 0;
            la_int64_t offset = 0;
            const int status = archive_read_data_block(a_, &block, &size, &offset);
            if (status == ARCHIVE_EOF) {
                return {};
            }
            if (status != ARCHIVE_OK && status != ARCHIVE_WARN) {
                return Failure();
            }
            while (offset >= 0 && static_cast<uint64_t>(offset) > bytes_.Size().value_or(0)) {
                const uint64_t hole = static_cast<uint64_t>(offset) - bytes_.Size().value_or(0);
                const size_t part = static_cast<size_t>(std::min<uint64_t>(hole, zeros_.size()));
                dataBytes_ += part;
                bytes_.Append(zeros_.data(), part);
                if (TArchiveResult cost = Cost(); !cost.Ok()) {
                    return cost;
                }
            }
            dataBytes_ += size;
            bytes_.Append(static_cast<const uint8_t*>(block), size);
            if (TArchiveResult cost = Cost(); !cost.Ok()) {
                return cost;
            }
        }
    }

    // What the archive has cost so far, against the limits.
    TArchiveResult Cost() const {
        uint64_t unpacked = dataBytes_;
        // Behind a compression filter the whole stream is unpacked, skipped entries too.
        if (archive_filter_count(a_) > 1) {
            unpacked = std::max(unpacked, static_cast<uint64_t>(archive_filter_bytes(a_, 0)));
        }
        if (unpacked > limits_.MaxBytes) {
            return {TArchiveProblem::TooManyBytes, {}};
        }
        if (TClock::now() - start_ > limits_.MaxTime) {
            return {TArchiveProblem::TooSlow, {}};
        }
        return {};
    }

    TArchiveResult Failure() const {
        if (archive_read_has_encrypted_entries(a_) > 0) {
            return {TArchiveProblem::Encrypted, {}};
        }
        return {TArchiveProblem::Unreadable, LibraryError(a_)};
    }

    archive* a_;
    const TArchiveLimits& limits_;
    const TWantsBytes& wantsBytes_;
    const TArchiveVisit& visit_;
    const TClock::time_point start_;
    uint64_t dataBytes_ = 0;
    TEntryBytes bytes_;
    std::array<uint8_t, 64 * 1024> zeros_{};
};

TArchiveResult ReadOpened(archive* a, int opened, const TArchiveLimits& limits,
                          const TWantsBytes& wantsBytes, const TArchiveVisit& visit) {
    if (opened != ARCHIVE_OK && opened != ARCHIVE_WARN) {
        return {TArchiveProblem::Unreadable, LibraryError(a)};
    }
    // On the heap: the run keeps a block of zeros for the holes of sparse entries.
    auto run = std::make_unique<TArchiveRun>(a, limits, wantsBytes, visit);
    return run->Run();
}

bool EndsWithIgnoringCase(std::string_view name, std::string_view ending) {
    if (name.size() <= ending.size()) {
        return false;  // a name that is only the ending, such as ".zip", is no archive's
    }
    const std::string_view tail = name.substr(name.size() - ending.size());
    return std::equal(tail.begin(), tail.end(), ending.begin(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a + 32) : a) == b;
    });
}

}  // namespace

void TEntryBytes::Start(size_t headBytes, size_t tailBytes) {
    head_.clear();
    tail_.clear();
    headBytes_ = headBytes;
    tailBytes_ = tailBytes;
    size_ = 0;
}

void TEntryBytes::Append(const uint8_t* bytes, size_t size) {
    size_ += size;
    const size_t toHead = std::min(size, headBytes_ - head_.size());
    head_.insert(head_.end(), bytes, bytes + toHead);
    bytes += toHead;
    size -= toHead;
    if (size == 0 || tailBytes_ == 0) {
        return;
    }
    tail_.insert(tail_.end(), bytes, bytes + size);
    // Trimmed only once twice as long as kept, so each byte is moved a bounded number of times.
    if (tail_.size() > 2 * tailBytes_) {
        tail_.erase(tail_.begin(), tail_.end() - static_cast<ptrdiff_t>(tailBytes_));
    }
}

bool TEntryBytes::ReadAt(uint64_t offset, void* buffer, size_t size) {
    if (offset > size_ || size > size_ - offset) {
        return false;
    }
    auto* to = static_cast<uint8_t*>(buffer);
    const uint64_t tailStart = size_ - tail_.size();
    while (size > 0) {
        if (offset < head_.size()) {
            const size_t part = std::min<uint64_t>(size, head_.size() - offset);
            std::memcpy(to, head_.data() + offset, part);
            to += part;
            offset += part;
            size -= part;
        } else if (offset >= tailStart) {
            std::memcpy(to, tail_.data() + (offset - tailStart), size);
            return true;
        } else {
            return false;  // the middle of a long entry was not kept
        }
    }
    return true;
}

std::string ArchiveProblemText(const TArchiveResult& result, const TArchiveLimits& limits) {
    switch (result.Problem) {
        case TArchiveProblem::None:
            return {};
        case TArchiveProblem::Unreadable:
            return result.Detail.empty()
                       ? "it is damaged or not an archive"
                       : "it is damaged or not an archive (" + result.Detail + ")";
        case TArchiveProblem::Encrypted:
            return "it is encrypted";
        case TArchiveProblem::TooManyEntries:
            return "it holds more than " + std::to_string(limits.MaxEntries) + " entries";
        case TArchiveProblem::TooManyBytes:
            return "it unpacks to more than " +
                   (limits.MaxBytes % 1'000'000'000 == 0
                        ? std::to_string(limits.MaxBytes / 1'000'000'000) + " GB"
                        : std::to_string(limits.MaxBytes / 1'000'000) + " MB");
        case TArchiveProblem::TooSlow:
            return "reading it took longer than " + std::to_string(limits.MaxTime.count() / 1000) +
                   " s";
    }
    return {};
}

bool IsArchiveName(std::string_view name) {
    static constexpr std::array<std::string_view, 14> kEndings = {
        ".zip", ".7z",     ".tar", ".tar.gz",  ".tgz",  ".tar.bz2", ".tbz2",
        ".tbz", ".tar.xz", ".txz", ".tar.zst", ".tzst", ".iso",     ".tar.bz"};
    return std::any_of(kEndings.begin(), kEndings.end(),
                       [&](std::string_view ending) { return EndsWithIgnoringCase(name, ending); });
}

TArchiveResult ReadArchiveFile(const std::string& nativePath, const TArchiveLimits& limits,
                               const TWantsBytes& wantsBytes, const TArchiveVisit& visit) {
    // Non-blocking, then checked to be a regular file, so that a pipe or a device with an
    // archive's name cannot hang the scan.
    struct TDescriptor {
        int fd = -1;
        ~TDescriptor() {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    } file;
    do {
        file.fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (file.fd < 0 && errno == EINTR);
    if (file.fd < 0) {
        return {TArchiveProblem::Unreadable, std::strerror(errno)};
    }
    struct stat status {};
    if (::fstat(file.fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        return {TArchiveProblem::Unreadable, "not a regular file"};
    }
    const int flags = ::fcntl(file.fd, F_GETFL);
    if (flags >= 0) {
        ::fcntl(file.fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    // Declared after the descriptor, so the reader is freed before it is closed.
    TArchivePtr reader = NewReader();
    if (!reader) {
        return {TArchiveProblem::Unreadable, "out of memory"};
    }
    int opened = 0;
    {
        const std::lock_guard lock(headerMutex);
        opened = archive_read_open_fd(reader.get(), file.fd, 64 * 1024);
    }
    return ReadOpened(reader.get(), opened, limits, wantsBytes, visit);
}

TArchiveResult ReadArchiveBytes(std::span<const uint8_t> bytes, const TArchiveLimits& limits,
                                const TWantsBytes& wantsBytes, const TArchiveVisit& visit) {
    TArchivePtr reader = NewReader();
    if (!reader) {
        return {TArchiveProblem::Unreadable, "out of memory"};
    }
    int opened = 0;
    {
        const std::lock_guard lock(headerMutex);
        opened = archive_read_open_memory(reader.get(), bytes.data(), bytes.size());
    }
    return ReadOpened(reader.get(), opened, limits, wantsBytes, visit);
}

}  // namespace melodrix
