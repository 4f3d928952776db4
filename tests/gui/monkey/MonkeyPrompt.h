#pragma once

// The monkey's answers to the program's file dialogs and questions: random, reproducible
// from the seed, and never a path outside the test's temporary directory.
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStringList>
#include <random>

#include "core/catalog/Sinks.h"
#include "monkey/MonkeyLog.h"
#include "monkey/MonkeyWorld.h"

namespace melodrix::testing {

class TMonkeyPrompt final : public IPromptSink {
public:
    TMonkeyPrompt(unsigned seed, const TMonkeyWorld& world, TMonkeyLog& log)
        : rng_(seed ^ 0x5bd1e995u), world_(world), log_(log) {}

    QStringList savedFiles;  // every path given to a save dialog
    QStringList outside;     // answers that would leave the temporary directory (a test fault)
    int questions = 0;
    int messages = 0;

    QString ChooseOpenFile(const QString&, const QString& filter,
                           const QString& initialName) override {
        QString answer;
        switch (Roll(10)) {
            case 0:
            case 1:
            case 2:
                break;  // cancelled
            case 3:
                answer = world_.Root() + QStringLiteral("/no such file.xml");
                break;
            case 4:
                answer = AnyFile(world_.Saves());
                break;
            default:
                answer = AnyFile(world_.Library());
                break;
        }
        Record(
            QStringLiteral("open dialog (%1, \"%2\") -> \"%3\"").arg(filter, initialName, answer),
            answer);
        return answer;
    }

    QString ChooseSaveFile(const QString& defaultExtension, const QString& filter,
                           const QString& initialName) override {
        const QString ext = defaultExtension.isEmpty() ? QStringLiteral("out") : defaultExtension;
        QString answer;
        switch (Roll(12)) {
            case 0:
            case 1:
            case 2:
                break;  // cancelled
            case 3:
            case 4: {
                // An existing file: the program asks before it replaces it.
                answer = AnyFile(world_.Saves());
                break;
            }
            case 5:
                answer = world_.Saves() + QStringLiteral("/no such folder/x.") + ext;
                break;
            case 6:
                answer = world_.Saves() + QStringLiteral("/Ünï €uro 'q' & ;.") + ext;
                break;
            case 7:
                // No extension: the dialog adds the default one.
                answer = world_.Saves() + QStringLiteral("/plain%1").arg(Roll(5));
                break;
            default:
                answer = world_.Saves() + QStringLiteral("/saved %1.%2").arg(Roll(8)).arg(ext);
                break;
        }
        if (answer.isEmpty() && Roll(4) == 0) {
            answer = world_.Saves() + QStringLiteral("/first.") + ext;
        }
        Record(
            QStringLiteral("save dialog (%1, \"%2\") -> \"%3\"").arg(filter, initialName, answer),
            answer);
        if (!answer.isEmpty()) {
            savedFiles << answer;
        }
        return answer;
    }

    void ShowMessage(const QString& title, const QString& text, TMessageIcon) override {
        ++messages;
        log_.Note(QStringLiteral("message \"%1\": %2").arg(title, text.left(160)));
    }

    bool AskYesNo(const QString& title, const QString& text, TMessageIcon) override {
        ++questions;
        const bool yes = Roll(5) < 2;
        log_.Note(
            QStringLiteral("question \"%1\": %2 -> %3")
                .arg(title, text.left(120), yes ? QStringLiteral("Yes") : QStringLiteral("No")));
        return yes;
    }

    // The folder browser of the new-catalog dialog: one of the folders made to catalog,
    // sometimes none, a file or a folder that does not exist.
    QString ChooseFolder() {
        QString answer;
        const int roll = Roll(10);
        if (roll == 0) {
            answer.clear();
        } else if (roll == 1) {
            answer = world_.Root() + QStringLiteral("/gone");
        } else {
            const QStringList& folders = world_.ScanFolders();
            answer = folders[Roll(static_cast<int>(folders.size()))];
        }
        Record(QStringLiteral("folder browser -> \"%1\"").arg(answer), answer);
        return answer;
    }

private:
    int Roll(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }

    QString AnyFile(const QString& dir) {
        QStringList files;
        QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            files << it.next();
        }
        files.sort();
        return files.isEmpty() ? QString() : files[Roll(static_cast<int>(files.size()))];
    }

    void Record(const QString& what, const QString& answer) {
        log_.Note(what);
        const QString root = QDir(world_.Root()).canonicalPath();
        if (!answer.isEmpty() &&
            !QFileInfo(answer).absoluteFilePath().startsWith(world_.Root() + QLatin1Char('/')) &&
            !QFileInfo(answer).absoluteFilePath().startsWith(root + QLatin1Char('/'))) {
            outside << answer;
        }
    }

    std::mt19937 rng_;
    const TMonkeyWorld& world_;
    TMonkeyLog& log_;
};

}  // namespace melodrix::testing
