// Many melodrix-cli processes writing one catalog at the same moment lose nothing.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/engine/FileInfo.h"
#include "support/TempDir.h"

using namespace melodrix;
using melodrix::testing::WriteFile;

namespace {

constexpr int kSongs = 400;
// Processes started at the same moment: 20 pairs, so every wave contends hard for the lock
// while the open files stay far below the descriptor limit.
constexpr int kWave = 40;

std::unique_ptr<QProcess> StartCli(const QStringList& args) {
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->start(QStringLiteral(MELODRIX_CLI_PATH), args);
    return process;
}

int Finish(QProcess& process) {
    EXPECT_TRUE(process.waitForFinished(300000));
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QString SongPath(const QString& music, int i) {
    return music + QStringLiteral("/song%1.mp3").arg(i, 3, 10, QLatin1Char('0'));
}

struct TLibrary {
    QTemporaryDir dir;
    QString library = dir.filePath(QStringLiteral("lib"));
    QString music = dir.filePath(QStringLiteral("music"));
    QString catalog;

    TLibrary() {
        for (int i = 0; i < kSongs; ++i) {
            WriteFile(music, QFileInfo(SongPath(music, i)).fileName(), QByteArray(10, 'x'));
        }
        QDir().mkpath(library);
        std::unique_ptr<QProcess> scan = StartCli(
            {QStringLiteral("--library"), library, QStringLiteral("--quiet"),
             QStringLiteral("scan"), music, QStringLiteral("--group"), QStringLiteral("Mp3")});
        EXPECT_EQ(Finish(*scan), 0);
        catalog = library + QStringLiteral("/Mp3/music.xml");
    }

    // Describes every song, a wave of processes at a time; true when each exited 0.
    // `started` is called once the first processes of a wave are running.
    bool DescribeEverySong(const std::function<void(int wave)>& started = {}) const {
        bool allOk = true;
        for (int first = 0; first < kSongs; first += kWave) {
            std::vector<std::unique_ptr<QProcess>> wave;
            for (int i = first; i < first + kWave && i < kSongs; ++i) {
                wave.push_back(StartCli({QStringLiteral("describe"), catalog, SongPath(music, i),
                                         QStringLiteral("note %1").arg(i)}));
                if (started && i == first + 1) {
                    started(first / kWave);
                }
            }
            for (const auto& process : wave) {
                allOk = Finish(*process) == 0 && allOk;
            }
        }
        return allOk;
    }

    // The songs whose description is not the one its describe set, as one line.
    std::string LostDescriptions() const {
        TFileInfo engine;
        TCatalogTree tree;
        engine.OpenCatalogTree(catalog, tree);
        QHash<QString, QString> described;
        for (const TCatalogNode* node = tree.GetFirst(); node; node = tree.GetNext(node)) {
            const std::string_view path = node->Item().Field(FullPath);
            const std::string_view text = node->Item().Field(Description);
            described.insert(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())),
                             QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        }
        QStringList lost;
        for (int i = 0; i < kSongs; ++i) {
            if (described.value(SongPath(music, i)) != QStringLiteral("note %1").arg(i)) {
                lost << QFileInfo(SongPath(music, i)).fileName();
            }
        }
        return lost.isEmpty() ? std::string()
                              : QStringLiteral("%1 lost: ").arg(lost.size()).toStdString() +
                                    lost.mid(0, 8).join(QStringLiteral(", ")).toStdString();
    }

    bool Holds(const QString& path) const {
        TFileInfo engine;
        TCatalogTree tree;
        engine.OpenCatalogTree(catalog, tree);
        for (const TCatalogNode* node = tree.GetFirst(); node; node = tree.GetNext(node)) {
            if (node->Item().Field(FullPath) == path.toStdString()) {
                return true;
            }
        }
        return false;
    }
};

}  // namespace

TEST(CliManyWriters, DescribesStartedTogetherKeepEveryDescription) {
    const TLibrary library;
    ASSERT_TRUE(QFileInfo::exists(library.catalog));
    EXPECT_TRUE(library.DescribeEverySong());
    EXPECT_EQ(library.LostDescriptions(), "");
}

TEST(CliManyWriters, DescribesDuringAnUpdateKeepEveryDescriptionAndTheUpdate) {
    const TLibrary library;
    ASSERT_TRUE(QFileInfo::exists(library.catalog));
    QString added;
    // Updates run in the thick of the waves: each one adds the song written just before it.
    std::vector<std::unique_ptr<QProcess>> updates;
    EXPECT_TRUE(library.DescribeEverySong([&](int wave) {
        if (wave % 3 == 1) {
            added = WriteFile(library.music, QStringLiteral("added%1.mp3").arg(wave), "new");
            updates.push_back(
                StartCli({QStringLiteral("--quiet"), QStringLiteral("update"), library.catalog}));
        }
    }));
    for (const auto& update : updates) {
        EXPECT_EQ(Finish(*update), 0);
    }
    ASSERT_EQ(updates.size(), 3u);
    EXPECT_EQ(library.LostDescriptions(), "");
    EXPECT_TRUE(library.Holds(added));
}
