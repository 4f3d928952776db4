#include "core/scan/ScannerDirectory.h"

#include <QtGlobal>

#include <cerrno>

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

bool ListScanDirectory(const std::string& directory, std::vector<TScanEntry>& entries, int* error) {
    entries.clear();
    DIR* dir = ::opendir(directory.c_str());
    if (!dir) {
        if (error) {
            *error = errno;
        }
        return false;
    }
    const int fd = ::dirfd(dir);
    for (;;) {
        // readdir tells the end from a failure only through errno.
        errno = 0;
        const dirent* item = ::readdir(dir);
        if (!item) {
            const int failure = errno;
            ::closedir(dir);
            if (failure != 0) {
                entries.clear();
                if (error) {
                    *error = failure;
                }
                return false;
            }
            return true;
        }
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
                if (::fstatat(fd, name, &target, 0) == 0) {
                    FillFromStat(target, entry);
                } else {
                    // A link that points nowhere is listed as the link itself; its own size
                    // is the length of the name it holds, which is no size of a file.
                    FillFromStat(status, entry);
                    entry.size = 0;
                }
            } else {
                FillFromStat(status, entry);
            }
        } else {
            entry.error = errno;
            entry.isDirectory = item->d_type == DT_DIR;
        }
        entries.push_back(std::move(entry));
    }
}

#else

bool ListScanDirectory(const std::string& directory, std::vector<TScanEntry>& entries, int* error) {
    namespace fs = std::filesystem;
    entries.clear();
    std::error_code failure;
    fs::directory_iterator it(fs::u8path(directory), failure);
    for (const fs::directory_iterator end; !failure && it != end; it.increment(failure)) {
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
        } else {
            entry.error = e.value();
        }
        entries.push_back(std::move(entry));
    }
    if (failure) {
        entries.clear();
        if (error) {
            *error = failure.value();
        }
        return false;
    }
    return true;
}

#endif

}  // namespace melodrix
