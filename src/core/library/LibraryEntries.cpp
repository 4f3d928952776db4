#include "core/library/LibraryEntries.h"

#include "core/base/NativePaths.h"

#include <chrono>
#include <filesystem>
#include <system_error>

namespace melodrix {

namespace fs = std::filesystem;

namespace {

// Follows a link to its target, as the listing reports the target's time.
std::optional<int64_t> ModifiedSecs(const fs::path& path) {
    std::error_code error;
    const fs::file_time_type time = fs::last_write_time(path, error);
    if (error) {
        return std::nullopt;
    }
    const auto system = std::chrono::file_clock::to_sys(time);
    return std::chrono::floor<std::chrono::seconds>(system.time_since_epoch()).count();
}

}  // namespace

bool ListLibraryDirectory(const std::string& nativeDirectory,
                          const std::function<void(const TLibraryEntry&)>& visit) {
    std::error_code error;
    fs::directory_iterator it(fs::path(nativeDirectory), error);
    if (error) {
        return false;
    }
    for (const fs::directory_iterator end; it != end; it.increment(error)) {
        if (error) {
            break;
        }
        const fs::directory_entry& entry = *it;
        TLibraryEntry item;
        item.nativeName = entry.path().filename().string();
        item.name = FileNameText(item.nativeName);
        std::error_code statusError;
        const fs::file_status own = entry.symlink_status(statusError);
        item.isLink = fs::is_symlink(own);
        const fs::file_status target = item.isLink ? entry.status(statusError) : own;
        item.isDirectory = fs::is_directory(target);
        if (!item.isDirectory) {
            std::error_code sizeError;
            const auto size = entry.file_size(sizeError);
            item.size = sizeError ? 0 : size;
        }
        item.modifiedSecs = ModifiedSecs(entry.path());
        visit(item);
    }
    return true;
}

}  // namespace melodrix
