#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace melodrix {

// One entry of a library directory as the file system lists it.
struct TLibraryEntry {
    QString name;              // as text (see FileNameText)
    std::string nativeName;    // the bytes on disk
    bool isDirectory = false;  // a directory, or a link to one (never descended into)
    bool isLink = false;
    uint64_t size = 0;
    std::optional<int64_t> modifiedSecs;  // seconds since the epoch, when known
};

// Lists the directory whose name on disk is `nativeDirectory` (hidden entries included,
// "." and ".." skipped) in the file system's order. Returns false when the directory
// cannot be listed.
bool ListLibraryDirectory(const std::string& nativeDirectory,
                          const std::function<void(const TLibraryEntry&)>& visit);

}  // namespace melodrix
