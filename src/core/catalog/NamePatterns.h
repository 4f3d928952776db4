#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <string_view>
#include <vector>

namespace melodrix {

// The names a scan skips, folders and files alike: the system's and other programs' own
// folders that hold no part of a collection.
const QStringList& DefaultExcludePatterns();

// Why `pattern` cannot be a name pattern (empty, holding a path separator or a NUL), or the
// empty text when it can.
QString ExcludePatternRefusal(const QString& pattern);

// A list of patterns as one text, as a catalog and the configuration keep it: the patterns
// joined by "/", which no file name can hold. The empty text is the empty list.
QString ExcludeListText(const QStringList& patterns);
QStringList ExcludeListOfText(const QString& text);

// Matches file names against name patterns: "*" stands for any run of characters, "?" for
// one, anything else for itself with ASCII letters of either case ("$Recycle.Bin" is
// "$RECYCLE.BIN"). A pattern matches the whole name.
class TNameExcluder {
public:
    TNameExcluder() = default;
    explicit TNameExcluder(const QStringList& patterns);

    bool IsEmpty() const { return patterns_.empty(); }
    // `name` is the name as the file system gives it (its bytes; UTF-8 for most).
    bool Excludes(std::string_view name) const;

private:
    std::vector<std::string> patterns_;  // UTF-8, ASCII letters in lower case
};

}  // namespace melodrix
