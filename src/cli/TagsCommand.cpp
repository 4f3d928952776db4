#include <QFileInfo>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "core/scan/ScannerTags.h"

namespace melodrix::cli {

namespace {

const char* const kTagsUsage =
    "Usage: melodrix-cli tags FILE... [--json]\n"
    "Prints the tag fields of each file as a scan would store them (title, artist, album,\n"
    "year, comment, genre, track, disc, album artist), the kind of tag that supplied them:\n"
    "ID3v1, ID3v2 or APEv2 (MP3 and any other file), FLAC (.flac), Ogg Vorbis, Opus or\n"
    "Ogg FLAC (.ogg .oga .opus), MP4 (.m4a .mp4 .m4b), or none, and the audio properties:\n"
    "playing time (ms), bitrate (kbit/s), sample rate (Hz), channels, codec and mode.\n";

}  // namespace

int RunTagsCommand(TCliContext& context, const QStringList& args) {
    const TParsedArguments parsed = ParseArguments(args, {});
    if (parsed.help) {
        context.out << kTagsUsage;
        return kExitOk;
    }
    if (parsed.positional.isEmpty()) {
        throw TUsageError(QStringLiteral("tags needs at least one file"));
    }
    TTagReaders readers;
    TTagFields fields;
    int status = kExitOk;
    for (const QString& file : parsed.positional) {
        if (!QFileInfo(file).isFile()) {
            context.out.flush();
            context.err << "melodrix-cli: no file " << file << '\n';
            context.err.flush();
            status = kExitError;
            continue;
        }
        const QString kind = TagKindName(readers.Read(file, fields));
        const TAudioTexts audio(fields.Audio);
        const std::pair<int, const std::string*> values[] = {{MP3_Title, &fields.Title},
                                                             {MP3_Artist, &fields.Artist},
                                                             {MP3_Album, &fields.Album},
                                                             {MP3_Year, &fields.Year},
                                                             {MP3_Comment, &fields.Comment},
                                                             {MP3_Genre, &fields.Genre},
                                                             {MP3_Track, &fields.Track},
                                                             {MP3_Disc, &fields.Disc},
                                                             {MP3_AlbumArtist, &fields.AlbumArtist},
                                                             {AudioDuration, &audio.duration},
                                                             {AudioBitrate, &audio.bitrate},
                                                             {AudioSampleRate, &audio.sampleRate},
                                                             {AudioChannels, &audio.channels},
                                                             {AudioCodec, &audio.codec},
                                                             {AudioMode, &audio.mode},
                                                             {ID3Mismatch, &fields.ID3Mismatch}};
        if (context.json) {
            context.out << "{\"file\":" << JsonString(file) << ",\"kind\":" << JsonString(kind);
            for (const auto& [field, value] : values) {
                context.out << ',' << JsonString(FieldNames[field]) << ':' << JsonString(*value);
            }
            context.out << "}\n";
            continue;
        }
        context.out << file << " (" << kind << ")\n";
        for (const auto& [field, value] : values) {
            context.out << "    " << TextOf(FieldNames[field]) << ": " << TextOf(*value) << '\n';
        }
    }
    return status;
}

}  // namespace melodrix::cli
