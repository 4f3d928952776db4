// Compares the audio properties the readers give with ffprobe's on a corpus made by real
// encoders (bench/make_audio_corpus, run first when the corpus folder is empty), and prints
// one table row a file with the reads the readers made.
//
// The duration is held against the ffprobe figure that honours encoder delay and padding: the
// samples of the frames ffprobe decodes (its format duration ignores the LAME tag's delay and
// padding and Opus's pre-skip), except for MP4, where its format duration follows the edit
// list while its AAC decoder keeps the padding of the last frame. A duration passes within
// 20 ms or 0.1%, whichever is larger; a CBR bitrate within 1 kbit/s of ffprobe's stream
// bit_rate; sample rate, channels and codec must be exact.
//
// Usage: bench_audio_accuracy [corpus folder = bench-data/audio]   (exit status 1 on a miss)

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <string>

#include "RecordingSource.h"
#include "core/tags/AudioProperties.h"

using namespace melodrix;

namespace {

struct TProbe {
    std::string Codec;
    int SampleRate = 0, Channels = 0;
    std::optional<double> StreamBitrate;  // bit/s
    double FormatSeconds = 0;
    double DecodedSeconds = 0;  // the samples of the decoded frames over the rate
};

QString Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(-1);
    return QString::fromUtf8(process.readAllStandardOutput());
}

std::optional<TProbe> Probe(const QString& path) {
    const QString fields =
        Run(QStringLiteral("ffprobe"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
             QStringLiteral("a:0"), QStringLiteral("-show_entries"),
             QStringLiteral("format=duration:stream=codec_name,sample_rate,channels,bit_rate"),
             QStringLiteral("-of"), QStringLiteral("default=nw=1"), path});
    std::map<QString, QString> values;
    for (const QString& line : fields.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0) {
            values[line.left(equals)] = line.mid(equals + 1).trimmed();
        }
    }
    if (values.count(QStringLiteral("codec_name")) == 0) {
        return std::nullopt;
    }
    TProbe probe;
    probe.Codec = values[QStringLiteral("codec_name")].toStdString();
    probe.SampleRate = values[QStringLiteral("sample_rate")].toInt();
    probe.Channels = values[QStringLiteral("channels")].toInt();
    bool ok = false;
    const double bitrate = values[QStringLiteral("bit_rate")].toDouble(&ok);
    if (ok) {
        probe.StreamBitrate = bitrate;
    }
    probe.FormatSeconds = values[QStringLiteral("duration")].toDouble();
    const QString frames = Run(
        QStringLiteral("ffprobe"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
         QStringLiteral("a:0"), QStringLiteral("-show_entries"), QStringLiteral("frame=nb_samples"),
         QStringLiteral("-of"), QStringLiteral("csv=p=0"), path});
    double samples = 0;
    for (const QString& line : frames.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        samples += line.trimmed().toDouble();
    }
    probe.DecodedSeconds = probe.SampleRate > 0 ? samples / probe.SampleRate : 0;
    return probe;
}

// ffprobe's codec names for ours.
std::string ProbeName(TAudioCodec codec) {
    switch (codec) {
        case TAudioCodec::MP1:
            return "mp1";
        case TAudioCodec::MP2:
            return "mp2";
        case TAudioCodec::MP3:
            return "mp3";
        case TAudioCodec::FLAC:
            return "flac";
        case TAudioCodec::Vorbis:
            return "vorbis";
        case TAudioCodec::Opus:
            return "opus";
        case TAudioCodec::AAC:
            return "aac";
        case TAudioCodec::ALAC:
            return "alac";
    }
    return "";
}

template <typename T>
std::string Text(const std::optional<T>& value) {
    return value ? std::to_string(*value) : std::string("-");
}

}  // namespace

int main(int argc, char** argv) {
    const QString folder =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("bench-data/audio");
    const QStringList filters = {QStringLiteral("*.mp3"),  QStringLiteral("*.mp2"),
                                 QStringLiteral("*.flac"), QStringLiteral("*.ogg"),
                                 QStringLiteral("*.opus"), QStringLiteral("*.m4a")};
    if (QDir(folder).entryList(filters, QDir::Files).isEmpty()) {
        const QString script = QFileInfo(QString::fromUtf8(__FILE__)).absolutePath() +
                               QStringLiteral("/make_audio_corpus");
        std::printf("making the corpus in %s\n", qPrintable(folder));
        if (QProcess::execute(script, {folder}) != 0) {
            std::fprintf(stderr, "%s failed\n", qPrintable(script));
            return 1;
        }
    }
    const QStringList files = QDir(folder).entryList(filters, QDir::Files, QDir::Name);
    std::printf("%-22s %-7s %6s %2s | %9s %9s %9s %6s %5s | %5s %9s %-8s | %5s %7s | %s\n", "file",
                "codec", "rate", "ch", "ours ms", "ff fmt", "ff dec", "diff", "tol", "kbps",
                "ff kbps", "mode", "reads", "bytes", "verdict");
    int misses = 0;
    for (const QString& name : files) {
        const QString path = folder + QLatin1Char('/') + name;
        const std::optional<TProbe> probe = Probe(path);
        TFileByteSource file(path);
        bench::TRecordingSource recording(file);
        const std::optional<TAudioProperties> ours = ReadAudioProperties(recording);
        size_t bytes = 0;
        for (const bench::TRange& range : recording.Ranges) {
            bytes += range.Size;
        }
        std::string verdict;
        const auto miss = [&](const char* what) {
            verdict += verdict.empty() ? what : std::string(", ") + what;
        };
        if (!probe || !ours) {
            miss(!ours ? "no properties" : "no ffprobe");
            std::printf("%-22s %s\n", qPrintable(name), verdict.c_str());
            ++misses;
            continue;
        }
        const bool mp4 = name.endsWith(QStringLiteral(".m4a"));
        const double reference = (mp4 ? probe->FormatSeconds : probe->DecodedSeconds) * 1000;
        const double tolerance = std::max(20.0, reference * 0.001);
        const double difference = ours->DurationMs ? *ours->DurationMs - reference : NAN;
        if (!ours->DurationMs || std::fabs(difference) > tolerance) {
            miss("duration");
        }
        if (ProbeName(ours->Codec) != probe->Codec) {
            miss("codec");
        }
        if (ours->SampleRate != probe->SampleRate) {
            miss("rate");
        }
        if (ours->Channels != probe->Channels) {
            miss("channels");
        }
        const bool cbr = ours->Mode == TAudioMode::CBR;
        if (cbr && (!ours->Bitrate || !probe->StreamBitrate ||
                    std::fabs(*ours->Bitrate - *probe->StreamBitrate / 1000) > 1)) {
            miss("bitrate");
        }
        misses += !verdict.empty();
        std::printf(
            "%-22s %-7s %6s %2s | %9s %9.0f %9.0f %6.1f %5.0f | %5s %9s %-8s | %5zu %7zu | %s\n",
            qPrintable(name), std::string(AudioCodecName(ours->Codec)).c_str(),
            Text(ours->SampleRate).c_str(), Text(ours->Channels).c_str(),
            Text(ours->DurationMs).c_str(), probe->FormatSeconds * 1000,
            probe->DecodedSeconds * 1000, difference, tolerance, Text(ours->Bitrate).c_str(),
            probe->StreamBitrate
                ? std::to_string(std::lround(*probe->StreamBitrate / 1000.0)).c_str()
                : "-",
            ours->Mode ? std::string(AudioModeName(*ours->Mode)).c_str() : "-",
            recording.Ranges.size(), bytes, verdict.empty() ? "ok" : verdict.c_str());
    }
    std::printf("%lld files, %d outside the targets\n", static_cast<long long>(files.size()),
                misses);
    return misses == 0 ? 0 : 1;
}
