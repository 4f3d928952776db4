#include "core/scan/ScannerDirectory.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <chrono>
#include <filesystem>
#endif

namespace melodrix {

#ifdef Q_OS_UNIX

namespace {

void FillFromStat(const struct stat& status, TScanEntry& entry) {
    entry.isDirectory = S_ISDIR(status.st_mode);
    entry.size = entry.isDirectory ? 0 : static_cast<uint64_t>(status.st_size);
    entry.modifiedSecs = static_cast<int64_t>(status.st_mtime);
    entry.hasTime = true;
}

}  // namespace

bool ListScanDirectory(const std::string& directory, std::vector<TScanEntry>& entries) {
    entries.clear();
    DIR* dir = ::opendir(directory.c_str());
    if (!dir) {
        return false;
    }
    const int fd = ::dirfd(dir);
    while (const dirent* item = ::readdir(dir)) {
        const char* name = item->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) {
            continue;
        }
        TScanEntry entry;
        entry.name = name;
        struct stat status {};
        if (::fstatat(fd, name, &status, AT_SYMLINK_NOFOLLOW) == 0) {
            if (S_ISLNK(status.st_mode)) {
                entry.isLink = true;
                struct stat target {};
                // A dangling link is listed as the link itself.
                FillFromStat(::fstatat(fd, name, &target, 0) == 0 ? target : status, entry);
            } else {
                FillFromStat(status, entry);
            }
        } else {
            entry.isDirectory = item->d_type == DT_DIR;
        }
        entries.push_back(std::move(entry));
    }
    ::closedir(dir);
    return true;
}

#else

bool ListScanDirectory(const std::string& directory, std::vector<TScanEntry>& entries) {
    namespace fs = std::filesystem;
    entries.clear();
    std::error_code error;
    fs::directory_iterator it(fs::u8path(directory), error);
    if (error) {
        return false;
    }
    for (const fs::directory_iterator end; it != end; it.increment(error)) {
        if (error) {
            break;
        }
        TScanEntry entry;
        entry.name = it->path().filename().u8string();
        std::error_code e;
        entry.isLink = it->is_symlink(e);
        entry.isDirectory = it->is_directory(e);
        entry.size = entry.isDirectory ? 0 : it->file_size(e);
        const auto time = it->last_write_time(e);
        if (!e) {
            const auto system = std::chrono::file_clock::to_sys(time);
            entry.modifiedSecs =
                std::chrono::floor<std::chrono::seconds>(system.time_since_epoch()).count();
            entry.hasTime = true;
        }
        entries.push_back(std::move(entry));
    }
    return true;
}

#endif

}  // namespace melodrix
