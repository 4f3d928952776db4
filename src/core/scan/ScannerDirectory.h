#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace melodrix {

// One entry of a scanned directory, with what the file system told about it.
struct TScanEntry {
    std::string name;          // in the file system's encoding
    bool isDirectory = false;  // a directory, or a link to one (never entered)
    bool isLink = false;
    bool hasTime = false;      // false when the entry could not be examined
    int error = 0;             // then what examining it failed with (an errno value)
    uint64_t size = 0;         // bytes; 0 for directories
    int64_t modifiedSecs = 0;  // seconds since the epoch
};

// Lists `directory` (its path ends with a separator) with hidden entries, without "." and
// "..", in the order the file system returns them. Links are reported as what they point
// to, marked as links; a link that points nowhere is a file of size 0. False, with no
// entries and the errno value in `error`, when the directory cannot be opened or reading it
// fails part way (a disk pulled out): a listing cut short would pass for a complete one.
// Entries that cannot be examined are still listed with what is known.
bool ListScanDirectory(const std::string& directory, std::vector<TScanEntry>& entries,
                       int* error = nullptr);

}  // namespace melodrix
