#pragma once

// A second writer beside the monkey: while the monkey clicks, melodrix-cli describe (another
// process) sets a unique description on a random item of the open catalog, or of some other
// catalog of the library. Afterwards every such description must still be in its catalog,
// unless the monkey itself changed that item later: it typed its description, renamed it or
// a folder above it, or the catalog was written afresh by the test. Items of the catalogs the
// test wrote (paths under /media/disk) are the only ones edited, so a new scan of a folder
// never brings an edited item back without its description.
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <algorithm>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <vector>

#include "core/catalog/Paths.h"
#include "core/engine/FileInfo.h"
#include "core/scan/ItemEdits.h"
#include "gui/shell/CatalogModel.h"
#include "gui/shell/DetailPanel.h"
#include "gui/shell/MainWindow.h"
#include "monkey/MonkeyLog.h"
#include "monkey/MonkeyPrompt.h"
#include "monkey/MonkeyWorld.h"

namespace melodrix::testing {

class TMonkeySecondWriter final : public QObject {
public:
    TMonkeySecondWriter(unsigned seed, const TMonkeyWorld& world, const TMonkeyPrompt& prompt,
                        TMonkeyLog& log, QString cliPath)
        : rng_(seed ^ 0x2c1b3c6du),
          world_(world),
          prompt_(prompt),
          log_(log),
          cliPath_(std::move(cliPath)),
          process_(new QProcess(this)) {
        connect(process_, &QProcess::finished, this,
                [this](int code, QProcess::ExitStatus how) { Finished(code, how); });
        connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) {
                faults << QStringLiteral("melodrix-cli did not start: %1").arg(cliPath_);
                running_.reset();
            }
        });
    }

    ~TMonkeySecondWriter() override { WaitForLast(); }

    QStringList faults;
    int started = 0;
    int made = 0;        // edits melodrix-cli reported as saved
    int checked = 0;     // of those, found in their catalog at the end
    int seenBefore = 0;  // found during the run, their catalog or item gone by the end
    int overtaken = 0;   // changed later by the monkey or the test: not checked
    int gone = 0;        // their catalog or item went before any check

    // Notes what the monkey types into the window's cells, through the entry points the
    // views use: the content view's and the detail panel's accepted edits.
    void Watch(TFMMain& main) {
        TCatalogModel* model = main.ContentModel();
        model->NewText = [this, typed = model->NewText](TCatalogNode* node, int field,
                                                        const QString& text) {
            const size_t edit = Before(node, field, text);
            const int messages = prompt_.messages;
            typed(node, field, text);
            After(edit, messages);
        };
        TDetailModel& detail = main.VLE()->Model();
        detail.NewText = [this, &main, typed = detail.NewText](const QString& key,
                                                               const QString& text) {
            const int field = key == QLatin1String("FileName") ? FileName : Description;
            const size_t edit = Before(main.DetailNode(), field, text);
            const int messages = prompt_.messages;
            typed(key, text);
            After(edit, messages);
        };
    }

    // The test wrote these catalogs afresh (the monkey had deleted them).
    void NoteRewritten(const QStringList& paths) {
        for (const QString& path : paths) {
            rewritten_.push_back({Normal(path), ++clock_});
        }
    }

    // Starts one edit when none runs.
    void Step(TFMMain* main) {
        if (running_ || cliPath_.isEmpty()) {
            return;
        }
        QString catalog;
        std::string item;
        if (main && !main->CurrentCatalog.isEmpty() && Roll(100) < 90) {
            catalog = main->CurrentCatalog;
            item = PickItem(main->ContentTree());
        } else {
            catalog = PickCatalog();
            if (!catalog.isEmpty()) {
                TFileInfo engine;
                TCatalogTree tree;
                try {
                    engine.OpenCatalogTree(catalog, tree);
                } catch (...) {
                    return;  // a broken catalog: nothing to describe
                }
                item = PickItem(tree);
            }
        }
        if (catalog.isEmpty() || item.empty()) {
            return;
        }
        running_ = TEdit{Normal(catalog), item,
                         QStringLiteral("second-writer-%1").arg(++started).toStdString(), ++clock_};
        log_.Note(QStringLiteral("second writer: describe %1 in %2")
                      .arg(QString::fromStdString(item), catalog));
        process_->start(
            cliPath_,
            {QStringLiteral("--library"), world_.Library(), QStringLiteral("describe"), catalog,
             QString::fromStdString(item), QString::fromStdString(running_->text)});
    }

    void WaitForLast() {
        if (running_ && !process_->waitForFinished(60000)) {
            faults << QStringLiteral("melodrix-cli describe did not end within 60 s");
            process_->kill();
            process_->waitForFinished(5000);
        }
    }

    // Every edit that nothing overtook is in its catalog file. Run now and then during the
    // run too, so that an edit whose catalog the monkey deletes later is still checked.
    void Check(bool atTheEnd) {
        if (atTheEnd) {
            WaitForLast();
        }
        std::map<QString, std::unique_ptr<TCatalogTree>> trees;
        for (size_t i = 0; i < edits_.size(); ++i) {
            TEdit& edit = edits_[i];
            if (Overtaken(edit)) {
                overtaken += atTheEnd ? 1 : 0;
                continue;
            }
            auto& tree = trees[edit.catalog];
            if (!tree) {
                tree = std::make_unique<TCatalogTree>();
                TFileInfo engine;
                try {
                    if (QFileInfo::exists(edit.catalog)) {
                        engine.OpenCatalogTree(edit.catalog, *tree);
                    }
                } catch (...) {
                    tree->Clear();  // the library checks report a damaged catalog
                }
            }
            const TCatalogNode* node = FindItem(*tree, {edit.item, 0});
            if (!node) {
                if (atTheEnd) {
                    ++(edit.seen ? seenBefore : gone);
                }
                continue;
            }
            const std::string_view found = node->Item().Field(Description);
            if (found == edit.text) {
                edit.seen = true;
                checked += atTheEnd ? 1 : 0;
            } else if (!edit.reported) {
                edit.reported = true;
                faults << QStringLiteral(
                              "by step %1: the second writer's description \"%2\" of %3 "
                              "in %4 is lost: the file says \"%5\"")
                              .arg(log_.step.load())
                              .arg(QString::fromStdString(edit.text),
                                   QString::fromStdString(edit.item), edit.catalog,
                                   QString::fromUtf8(found.data(),
                                                     static_cast<qsizetype>(found.size())));
            }
        }
    }

private:
    struct TEdit {
        QString catalog;
        std::string item;
        std::string text;
        int startedAt = 0;
        bool seen = false;      // found intact by a check
        bool reported = false;  // found lost
    };
    struct TTyped {
        std::string path;     // the item as it was
        std::string renamed;  // its path after a rename, else empty
        int field = 0;
        int endedAt = 0;
    };
    struct TRewritten {
        QString catalog;
        int at = 0;
    };
    static constexpr int kStillPending = std::numeric_limits<int>::max();
    static constexpr size_t kNone = std::numeric_limits<size_t>::max();

    int Roll(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }

    // One spelling per file, whoever names it.
    static QString Normal(const QString& path) {
        return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    }

    static bool Within(const std::string& path, const std::string& folder) {
        return !folder.empty() &&
               (path == folder || (path.starts_with(folder) && path.size() > folder.size() &&
                                   path[folder.size()] == '/'));
    }

    // Notes an edit the monkey is making; until After it counts as still being made, so a
    // check in the middle of its save does not take the monkey's text for a lost one.
    size_t Before(const TCatalogNode* node, int field, const QString& text) {
        if (!node || (field != FileName && field != Description)) {
            return kNone;
        }
        TTyped edit;
        edit.field = field;
        edit.endedAt = kStillPending;
        edit.path = std::string(node->Item().Field(FullPath));
        if (field == FileName) {
            const TCatalogNode* parent = node->Parent();
            edit.renamed = (parent ? std::string(parent->Item().Field(FullPath)) + '/' : "") +
                           text.toStdString();
        }
        typed_.push_back(std::move(edit));
        return typed_.size() - 1;
    }

    void After(size_t typed, int messagesBefore) {
        // A save that failed keeps the edit and makes it with a later save: it stays pending.
        if (typed != kNone && prompt_.messages == messagesBefore) {
            typed_[typed].endedAt = ++clock_;
        }
    }

    bool Overtaken(const TEdit& edit) const {
        for (const TTyped& typed : typed_) {
            if (typed.endedAt <= edit.startedAt) {
                continue;  // saved before melodrix-cli began: the description came after it
            }
            if (typed.field == Description && typed.path == edit.item) {
                return true;
            }
            if (typed.field == FileName &&
                (Within(edit.item, typed.path) || Within(edit.item, typed.renamed))) {
                return true;
            }
        }
        // The second writer's own later description of the item, saved or on its way.
        const auto later = [&](const TEdit& other) {
            return other.startedAt > edit.startedAt && other.item == edit.item;
        };
        if (std::any_of(edits_.begin(), edits_.end(), later) || (running_ && later(*running_))) {
            return true;
        }
        for (const TRewritten& rewritten : rewritten_) {
            if (rewritten.at > edit.startedAt && rewritten.catalog == edit.catalog) {
                return true;
            }
        }
        return false;
    }

    std::string PickItem(const TCatalogTree& tree) {
        std::vector<const TCatalogNode*> items;
        ForEachNode(tree, [&](const TCatalogNode* node) {
            if (node->Item().Field(FullPath).starts_with("/media/disk")) {
                items.push_back(node);
            }
        });
        if (items.empty()) {
            return {};
        }
        return std::string(
            items[static_cast<size_t>(Roll(static_cast<int>(items.size())))]->Item().Field(
                FullPath));
    }

    QString PickCatalog() {
        QStringList files;
        QDirIterator it(world_.Library(), {QStringLiteral("*.xml")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            files << it.next();
        }
        files.sort();
        return files.isEmpty() ? QString() : files[Roll(static_cast<int>(files.size()))];
    }

    void Finished(int code, QProcess::ExitStatus how) {
        if (!running_) {
            return;
        }
        const TEdit edit = *running_;
        running_.reset();
        const QString error = QString::fromLocal8Bit(process_->readAllStandardError()).trimmed();
        process_->readAllStandardOutput();
        if (how == QProcess::NormalExit && code == 0) {
            ++made;
            edits_.push_back(edit);
            return;
        }
        if (how == QProcess::NormalExit && code == 1) {
            // The item or the catalog went meanwhile: nothing was written.
            log_.Note(QStringLiteral("second writer: %1").arg(error.left(160)));
            return;
        }
        faults << QStringLiteral("melodrix-cli describe %1 in %2 ended with status %3%4: %5")
                      .arg(QString::fromStdString(edit.item), edit.catalog)
                      .arg(code)
                      .arg(how == QProcess::CrashExit ? QStringLiteral(" (crashed)") : QString())
                      .arg(error.left(400));
    }

    std::mt19937 rng_;
    const TMonkeyWorld& world_;
    const TMonkeyPrompt& prompt_;
    TMonkeyLog& log_;
    QString cliPath_;
    QProcess* process_;
    std::optional<TEdit> running_;
    std::vector<TEdit> edits_;
    std::vector<TTyped> typed_;
    std::vector<TRewritten> rewritten_;
    int clock_ = 0;  // orders the edits of both writers as the test sees them
};

}  // namespace melodrix::testing
