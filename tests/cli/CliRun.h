#pragma once

// Runs the built melodrix-cli the way a shell does, for the command-line tests.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <optional>
#include <vector>

#include "support/FileRights.h"

namespace melodrix::testing {

// What one run of the tool printed, and how it ended (-1: it crashed or was killed).
struct TCliRun {
    int status = -1;
    QString out;
    QString err;

    // The JSON objects of the output, one per line.
    std::vector<QJsonObject> Objects() const {
        std::vector<QJsonObject> objects;
        for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            QJsonParseError error{};
            const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
            EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
            objects.push_back(document.object());
        }
        return objects;
    }
};

struct TCliOptions {
    QString workingDirectory;                        // empty: the test's own
    std::optional<QProcessEnvironment> environment;  // nothing: the test's own
    // Run without the right to read what permission bits forbid, also as root.
    bool asPermissionBitsSay = false;
    int timeoutMs = 60000;
};

inline QString TestCacheFolder() {
    static const QTemporaryDir folder;
    return folder.path();
}

// Runs melodrix-cli with `args`. A run that has not ended in time (a read blocked on a FIFO)
// is killed and fails the test rather than hang it.
inline TCliRun RunCli(const QStringList& args, const TCliOptions& options = {}) {
    QProcess process;
    if (!options.workingDirectory.isEmpty()) {
        process.setWorkingDirectory(options.workingDirectory);
    }
    // The search index the runs keep lives in a folder of the test run, never in the user's
    // cache, unless a test names its own.
    QProcessEnvironment environment =
        options.environment.value_or(QProcessEnvironment::systemEnvironment());
    if (!environment.contains(QStringLiteral("XDG_CACHE_HOME"))) {
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), TestCacheFolder());
    }
    process.setProcessEnvironment(environment);
    if (options.asPermissionBitsSay) {
        process.setChildProcessModifier([] {
            if (!GiveUpFileOverridesForGood()) {
                ::_exit(99);
            }
        });
    }
    process.start(QStringLiteral(MELODRIX_CLI_PATH), args);
    if (!process.waitForFinished(options.timeoutMs)) {
        ADD_FAILURE() << "still running: " << args.join(QLatin1Char(' ')).toStdString();
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

}  // namespace melodrix::testing
