// The progress line of the command-line tool: what it draws, and when it stays silent.
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <QString>
#include <cstdio>
#include <memory>

#include "cli/TerminalProgress.h"

using melodrix::cli::TTerminalProgress;

namespace {

struct TCloseFile {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using TFile = std::unique_ptr<std::FILE, TCloseFile>;

std::string Contents(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
        text += static_cast<char>(c);
    }
    return text;
}

}  // namespace

TEST(TerminalProgress, DrawsItemsTimeAndPlaceThenWipesTheLine) {
    TFile file(std::tmpfile());
    TTerminalProgress progress(file.get(), true, 60);
    progress.ShowProgress(true, false);
    progress.SetProgressText(QStringLiteral("Loading info"));
    EXPECT_EQ(progress.Line(), QStringLiteral("0 items  0:00  Loading info"));
    progress.SetProgressCount(42);
    progress.SetProgressLocation(QStringLiteral("/media/usb/Band/"));
    EXPECT_EQ(progress.Line(), QStringLiteral("42 items  0:00  /media/usb/Band/"));
    progress.ShowProgress(false, false);

    const std::string written = Contents(file.get());
    EXPECT_NE(written.find("\r\033[K0 items  0:00  Loading info"), std::string::npos);
    EXPECT_NE(written.find("\r\033[K42 items  0:00  /media/usb/Band/"), std::string::npos);
    // Wiped at the end, so the next output starts on a clean line.
    EXPECT_EQ(written.substr(written.size() - 4), "\r\033[K");
    EXPECT_EQ(written.find('\n'), std::string::npos);
}

TEST(TerminalProgress, KeepsToOneLineShowingTheEndOfALongPath) {
    TTerminalProgress progress(nullptr, false, 40);
    progress.ShowProgress(true, false);
    progress.SetProgressLocation(
        QStringLiteral("/media/usb/a very long folder name/and deeper/Last"));
    const QString line = progress.Line();
    EXPECT_EQ(line.size(), 39);
    EXPECT_TRUE(line.startsWith(QStringLiteral("0 items  0:00  ..."))) << line.toStdString();
    EXPECT_TRUE(line.endsWith(QStringLiteral("deeper/Last"))) << line.toStdString();
}

TEST(TerminalProgress, ANewOperationStartsFromNothing) {
    TTerminalProgress progress(nullptr, false);
    progress.ShowProgress(true, false);
    progress.SetProgressCount(7);
    progress.SetProgressLocation(QStringLiteral("/old/"));
    progress.ShowProgress(false, false);
    progress.ShowProgress(true, false);
    progress.SetProgressText(QStringLiteral("Export to file"));
    EXPECT_EQ(progress.Line(), QStringLiteral("0 items  0:00  Export to file"));
}

TEST(TerminalProgress, OnlyATerminalGetsTheLineAndQuietSilencesIt) {
    TFile file(std::tmpfile());
    TTerminalProgress toFile = TTerminalProgress::ForTerminal(file.get(), false);
    toFile.ShowProgress(true, false);
    toFile.SetProgressText(QStringLiteral("Loading info"));
    toFile.ShowProgress(false, false);
    EXPECT_EQ(Contents(file.get()), "");

    int master = -1;
    int slave = -1;
    winsize size{};
    size.ws_col = 50;
    size.ws_row = 20;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, &size), 0);
    TFile terminal(::fdopen(slave, "w"));
    ASSERT_TRUE(terminal);
    for (const bool quiet : {false, true}) {
        TTerminalProgress progress = TTerminalProgress::ForTerminal(terminal.get(), quiet);
        progress.ShowProgress(true, false);
        progress.SetProgressText(QStringLiteral("Loading info"));
        progress.ShowProgress(false, false);
        char buffer[256] = {};
        // The terminal echoes what was written; a quiet run leaves nothing to read.
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(master, &ready);
        timeval wait{0, 200000};
        const bool readable = ::select(master + 1, &ready, nullptr, nullptr, &wait) == 1;
        const ssize_t got = readable ? ::read(master, buffer, sizeof buffer - 1) : 0;
        const std::string seen(buffer, got > 0 ? static_cast<size_t>(got) : 0);
        if (quiet) {
            EXPECT_EQ(seen, "");
        } else {
            EXPECT_NE(seen.find("0 items  0:00  Loading info"), std::string::npos) << seen;
        }
    }
    ::close(master);
}
