#pragma once

#include <sys/resource.h>

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <csignal>
#include <initializer_list>
#include <pugixml.hpp>
#include <string_view>
#include <utility>

#include "core/catalog/CatalogTree.h"
#include "core/engine/FileInfo.h"
#include "support/ScriptedSinks.h"
#include "support/TempDir.h"

namespace melodrix::testing {

using TFieldValues = std::initializer_list<std::pair<TField, std::string_view>>;

inline TCatalogNode* AddItem(TCatalogTree& tree, TCatalogNode* parent, TFieldValues values) {
    TCatalogNode* node = tree.AppendChild(parent);
    for (const auto& [field, text] : values) {
        node->Item().SetField(field, text);
    }
    return node;
}

// A folder holding two files; the folder is collapsed, its files are exported anyway.
inline void FillSmallCatalog(TCatalogTree& tree) {
    TCatalogNode* folder = AddItem(
        tree, nullptr,
        {{FileName, "Music"}, {FullPath, "/m/Music"}, {FileSize, "6144"}, {FileType, "directory"}});
    AddItem(tree, folder,
            {{FileName, "a.mp3"},
             {FullPath, "/m/Music/a.mp3"},
             {FileSize, "2048"},
             {FileType, "file"},
             {SizePercentage, "33.33"}});
    AddItem(tree, folder,
            {{FileName, "b.mp3"},
             {FullPath, "/m/Music/b.mp3"},
             {FileSize, "4096"},
             {FileType, "file"},
             {Description, "second"}});
}

// An engine over its own document, with scripted answers and recorded progress.
struct TExportFixture {
    TExportFixture() {
        UseEnglishLocale();
        info.Document = &document;
        info.ExportColumns = std::make_unique<QStringList>();
    }
    void Columns(const QStringList& names) { *info.ExportColumns = names; }
    QString PathOf(const QString& name) const { return QDir(dir.path()).filePath(name); }
    // Answers the next save question with this file name in the test folder.
    QString Answer(const QString& name) {
        const QString path = PathOf(name);
        prompt.fileAnswers.push_back(path);
        return path;
    }

    QTemporaryDir dir;
    pugi::xml_document document;
    TRecordingProgress progress;
    TScriptedPrompt prompt;
    TFileInfo info{progress, prompt};
};

// Lets writes fail beyond `bytes` per file, as on a full disk, for the scope.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limited = previous_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~TFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

}  // namespace melodrix::testing
