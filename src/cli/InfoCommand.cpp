// melodrix-cli info: what a catalog holds, read exactly as the desktop program opens it.
#include <QFileInfo>
#include <algorithm>
#include <charconv>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "core/base/Errors.h"
#include "core/catalog/DiskFacts.h"
#include "core/catalog/ValueFunctions.h"
#include "core/engine/FileInfo.h"

namespace melodrix::cli {

namespace {

const char* const kInfoUsage =
    "Usage: melodrix-cli [--library DIR] info CATALOG [--json]\n"
    "Opens a catalog as the desktop program does and prints what it holds: items, folders,\n"
    "files, MP3 files, files with tags, total size of the files, disk name, the number of\n"
    "distinct artists and albums, the total playing time of the music files, the number of\n"
    "files of each codec and the ten most common genres with their counts; for a catalog of a\n"
    "disk, its free space and size, file system and label when it was scanned. The total size\n"
    "counts an archive once, not the entries listed below it.\n";

constexpr int kGenresShown = 10;

bool IsMp3(std::string_view ext) {
    return ext.size() == 3 && (ext[0] | 0x20) == 'm' && (ext[1] | 0x20) == 'p' && ext[2] == '3';
}

struct TCatalogSummary {
    uint64_t items = 0;
    uint64_t folders = 0;
    uint64_t files = 0;
    uint64_t mp3Files = 0;
    uint64_t taggedFiles = 0;
    uint64_t totalSize = 0;
    QString diskName;
    size_t artists = 0;
    size_t albums = 0;
    int64_t playingTimeMs = 0;  // over the files that have a playing time
    std::vector<std::pair<std::string_view, uint64_t>> genres;  // most common first
    std::vector<std::pair<std::string_view, uint64_t>> codecs;  // most common first
    std::optional<TDiskFacts> disk;
};

// True for an entry listed below an archive's item (a file with children).
bool InsideArchive(const TCatalogNode* node) {
    for (const TCatalogNode* above = node->Parent(); above; above = above->Parent()) {
        if (above->Item().IsFile()) {
            return true;
        }
    }
    return false;
}

// The counts most common first, ties by name.
std::vector<std::pair<std::string_view, uint64_t>> ByCount(
    const std::unordered_map<std::string_view, uint64_t>& counts) {
    std::vector<std::pair<std::string_view, uint64_t>> sorted(counts.begin(), counts.end());
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    return sorted;
}

// The texts viewed stay in the tree, which outlives the summary's use.
TCatalogSummary Summarise(const TCatalogTree& tree) {
    TCatalogSummary summary;
    std::unordered_set<std::string_view> artists;
    std::unordered_set<std::string_view> albums;
    std::unordered_map<std::string_view, uint64_t> genres;
    std::unordered_map<std::string_view, uint64_t> codecs;
    std::string_view lastArtist;
    std::string_view lastAlbum;
    std::pair<const std::string_view, uint64_t>* lastGenre = nullptr;  // stable in the map
    ForEachNode(tree, [&](const TCatalogNode* node) {
        const std::array<std::string_view, FieldCount> texts = node->Item().AllFields();
        ++summary.items;
        if (summary.diskName.isEmpty()) {
            summary.diskName = TextOf(texts[DiskName]);
        }
        if (texts[FileType] == DirectoryType) {
            ++summary.folders;
            return;
        }
        if (texts[FileType] != FileTypeFile) {
            return;
        }
        ++summary.files;
        uint64_t size = 0;
        const std::string_view sizeText = texts[FileSize];
        if (std::from_chars(sizeText.data(), sizeText.data() + sizeText.size(), size).ec ==
                std::errc() &&
            !InsideArchive(node)) {
            summary.totalSize += size;
        }
        summary.mp3Files += IsMp3(texts[FileExt]) ? 1 : 0;
        bool tagged = false;
        for (int field = MP3_Title; field <= MP3_AlbumArtist; ++field) {
            tagged = tagged || !texts[field].empty();
        }
        int64_t duration = 0;
        const std::string_view durationText = texts[AudioDuration];
        if (std::from_chars(durationText.data(), durationText.data() + durationText.size(),
                            duration)
                    .ec == std::errc() &&
            duration > 0) {
            summary.playingTimeMs += duration;
        }
        if (!texts[AudioCodec].empty()) {
            ++codecs[texts[AudioCodec]];
        }
        summary.taggedFiles += tagged ? 1 : 0;
        // The tracks of an album lie side by side: a value like the one before is counted
        // without looking it up again.
        if (!texts[MP3_Artist].empty() && texts[MP3_Artist] != lastArtist) {
            lastArtist = texts[MP3_Artist];
            artists.insert(lastArtist);
        }
        if (!texts[MP3_Album].empty() && texts[MP3_Album] != lastAlbum) {
            lastAlbum = texts[MP3_Album];
            albums.insert(lastAlbum);
        }
        if (!texts[MP3_Genre].empty()) {
            if (!lastGenre || lastGenre->first != texts[MP3_Genre]) {
                lastGenre = &*genres.try_emplace(texts[MP3_Genre], 0).first;
            }
            ++lastGenre->second;
        }
    });
    summary.artists = artists.size();
    summary.albums = albums.size();
    summary.genres = ByCount(genres);
    summary.codecs = ByCount(codecs);
    summary.disk = RecordedDiskFacts(tree.Attributes());
    if (summary.genres.size() > kGenresShown) {
        summary.genres.resize(kGenresShown);
    }
    return summary;
}

// [{"<key>":"...","count":n},...]
QString JsonCounts(const char* key,
                   const std::vector<std::pair<std::string_view, uint64_t>>& counts) {
    QString json;
    for (const auto& [name, count] : counts) {
        if (!json.isEmpty()) {
            json += QLatin1Char(',');
        }
        json += QStringLiteral("{\"%1\":%2,\"count\":%3}")
                    .arg(QLatin1String(key), JsonString(name))
                    .arg(count);
    }
    return QLatin1Char('[') + json + QLatin1Char(']');
}

void PrintCounts(QTextStream& out, const char* heading,
                 const std::vector<std::pair<std::string_view, uint64_t>>& counts) {
    if (counts.empty()) {
        return;
    }
    out << heading << '\n';
    std::vector<QStringList> rows;
    for (const auto& [name, count] : counts) {
        rows.push_back({QStringLiteral("  ") + QString::number(count), TextOf(name)});
    }
    PrintTable(out, rows);
}

void PrintJson(QTextStream& out, const QString& path, const TCatalogSummary& s) {
    out << "{\"catalog\":" << JsonString(QStringView(path)) << ",\"items\":" << s.items
        << ",\"folders\":" << s.folders << ",\"files\":" << s.files
        << ",\"mp3Files\":" << s.mp3Files << ",\"taggedFiles\":" << s.taggedFiles
        << ",\"totalSize\":" << s.totalSize
        << ",\"diskName\":" << JsonString(QStringView(s.diskName)) << ",\"artists\":" << s.artists
        << ",\"albums\":" << s.albums << ",\"genres\":" << JsonCounts("genre", s.genres)
        << ",\"playingTimeMs\":" << s.playingTimeMs
        << ",\"codecs\":" << JsonCounts("codec", s.codecs);
    if (s.disk) {
        out << ",\"diskTotalBytes\":" << s.disk->TotalBytes
            << ",\"diskFreeBytes\":" << s.disk->FreeBytes
            << ",\"diskFileSystem\":" << JsonString(QStringView(s.disk->FileSystem))
            << ",\"diskLabel\":" << JsonString(QStringView(s.disk->Label));
    }
    out << "}\n";
}

void PrintText(QTextStream& out, const QString& path, const TCatalogSummary& s) {
    std::vector<QStringList> rows{
        {QStringLiteral("Catalog:"), path},
        {QStringLiteral("Disk name:"), s.diskName},
        {QStringLiteral("Items:"), QString::number(s.items)},
        {QStringLiteral("Folders:"), QString::number(s.folders)},
        {QStringLiteral("Files:"), QString::number(s.files)},
        {QStringLiteral("MP3 files:"), QString::number(s.mp3Files)},
        {QStringLiteral("Files with tags:"), QString::number(s.taggedFiles)},
        {QStringLiteral("Total size:"), QString::number(s.totalSize)},
        {QStringLiteral("Artists:"), QString::number(s.artists)},
        {QStringLiteral("Albums:"), QString::number(s.albums)},
        {QStringLiteral("Playing time:"), DurationText(s.playingTimeMs)},
    };
    if (s.disk) {
        rows.push_back({QStringLiteral("Disk space:"), DiskSpaceText(*s.disk)});
        rows.push_back({QStringLiteral("File system:"), s.disk->FileSystem});
        rows.push_back({QStringLiteral("Disk label:"), s.disk->Label});
    }
    PrintTable(out, rows);
    PrintCounts(out, "Files by codec:", s.codecs);
    PrintCounts(out, "Most common genres:", s.genres);
}

}  // namespace

int RunInfoCommand(TCliContext& context, const QStringList& args) {
    const TParsedArguments parsed = ParseArguments(args, {});
    if (parsed.help) {
        context.out << kInfoUsage;
        return kExitOk;
    }
    if (parsed.positional.size() != 1) {
        throw TUsageError(QStringLiteral("info needs exactly one catalog"));
    }
    const QString path = ResolveCatalogFile(context, parsed.positional.first());
    TFileInfo engine(context.progress, context.prompt);
    TCatalogTree& tree = context.NewCatalogTree();
    engine.OpenCatalogTree(path, tree);
    const TCatalogSummary summary = Summarise(tree);
    if (context.json) {
        PrintJson(context.out, path, summary);
    } else {
        PrintText(context.out, path, summary);
    }
    return kExitOk;
}

}  // namespace melodrix::cli
