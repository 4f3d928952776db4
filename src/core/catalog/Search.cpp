// Searching catalog files by name, extension and description.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "core/catalog/FileInfo.h"
#include "core/catalog/Paths.h"
#include "core/catalog/SearchMatcher.h"

namespace melodrix {

namespace fs = std::filesystem;

namespace {

QString TextOf(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// One run of the search: the walk over the scope and the test of every item.
class TSearchRun {
public:
    TSearchRun(TFileInfo& engine, TCatalogTree& result, TFileItem& conditions,
               const TSearchMatcher& matcher)
        : engine_(engine),
          progress_(engine.Progress()),
          result_(result),
          conditions_(conditions),
          matcher_(matcher) {}

    QStringList skipped;

    void SearchGroupFolder(const QString& directory) {
        std::error_code error;
        fs::directory_iterator it(fs::path(QFile::encodeName(directory).toStdString()), error);
        if (error) {
            return;
        }
        for (const fs::directory_iterator end; !stopped_ && it != end; it.increment(error)) {
            if (error) {
                return;
            }
            const QString path = directory + QFile::decodeName(it->path().filename().c_str());
            if (throttle_.Due()) {
                ShowProgressNow(path);
            }
            if (Cancelled()) {
                return;
            }
            std::error_code statusError;
            // A linked folder is not entered: the walk stays inside the scope and ends.
            if (it->is_directory(statusError) && !it->is_symlink(statusError)) {
                SearchGroupFolder(WithTrailingBackslash(path));
            } else {
                conditions_.SetField(FullPath, path.toUtf8().toStdString());
                SearchCatalogFile();
            }
        }
    }

    void SearchCatalogFile() {
        const QString path = TextOf(conditions_.Field(FullPath));
        if (!QFileInfo(path).isFile()) {
            return;
        }
        // Each catalog is parsed into the search's own document, which the next one
        // reuses; the engine's Document gets the last one at the end.
        holdsLast_ = false;
        lastSearched_ = path;
        const pugi::xml_parse_result parsed = document_.load_file(
            QFile::encodeName(path).constData(), pugi::parse_default | pugi::parse_declaration);
        if (!parsed || !document_.document_element()) {
            // Not a catalog: note it and go on with the next file.
            skipped << path;
            return;
        }
        holdsLast_ = true;
        const QByteArray diskName = DiskNameOf(path).toUtf8();
        disk_.assign(diskName.constData(), static_cast<size_t>(diskName.size()));

        TTreeUpdate bracket(result_);
        const pugi::xml_node root = document_.document_element();
        // Pre-order over the elements without recursion, so any nesting depth is safe.
        pugi::xml_node element = root.first_child();
        while (element) {
            if (element.type() == pugi::node_element) {
                if (matcher_.Matches(element)) {
                    AddHit(element);
                }
                ++tested_;
                if ((++sinceCheck_ & 63) == 0 && throttle_.Due()) {
                    ShowProgressNow(TextOf(element.attribute("FileName").value()));
                }
                if (Cancelled()) {
                    return;
                }
                if (pugi::xml_node child = element.first_child()) {
                    element = child;
                    continue;
                }
            }
            while (element && !element.next_sibling() && element.parent() != root) {
                element = element.parent();
            }
            element = element.next_sibling();
        }
    }

    // Leaves the engine's Document holding the last catalog searched, as opening it would.
    void HandOverLastCatalog() {
        if (lastSearched_.isEmpty()) {
            return;
        }
        engine_.CatalogFileName = lastSearched_;
        if (holdsLast_ && engine_.Document) {
            SanitizeDocument(document_.document_element());
            *engine_.Document = std::move(document_);
        }
    }

private:
    bool Cancelled() {
        if (!stopped_ && progress_.CancelRequested()) {
            stopped_ = true;
        }
        return stopped_;
    }

    // Callers tell the progress window at most every ~30 ms, so it never slows the search.
    void ShowProgressNow(const QString& text) {
        progress_.SetProgressText(text);
        progress_.SetProgressCount(tested_);
        progress_.ProcessPendingInput();
    }

    void AddHit(const pugi::xml_node& element) {
        std::array<std::string_view, FieldCount> texts{};
        for (pugi::xml_attribute attribute = element.first_attribute(); attribute;
             attribute = attribute.next_attribute()) {
            const int index = fields_.IndexOf(attribute.name());
            if (index >= 0) {
                texts[index] = attribute.value();
            }
        }
        texts[DiskName] = disk_;
        result_.AppendChild(nullptr)->Item().SetAllFields(texts);
    }

    TFileInfo& engine_;
    IProgressSink& progress_;
    TCatalogTree& result_;
    TFileItem& conditions_;
    const TSearchMatcher& matcher_;
    TProgressThrottle throttle_;
    TFieldNameMatcher fields_;
    pugi::xml_document document_;
    QString lastSearched_;
    bool holdsLast_ = false;
    std::string disk_;
    uint64_t tested_ = 0;
    uint32_t sinceCheck_ = 0;
    bool stopped_ = false;
};

}  // namespace

QStringList TFileInfo::Search(TSearchScope scope, TCatalogTree& result, TFileItem& conditions,
                              bool caseSensitive, bool wholeWords) {
    result.Clear();
    TProgressScope progress(Progress(), QString(), true);
    SetCancelRequested(false);
    const TSearchMatcher matcher(conditions, caseSensitive, wholeWords);
    TSearchRun run(*this, result, conditions, matcher);
    if (scope == TSearchScope::Group) {
        const std::string_view folder = conditions.Field(FullPath);
        run.SearchGroupFolder(WithTrailingBackslash(TextOf(folder)));
    } else {
        run.SearchCatalogFile();
    }
    run.HandOverLastCatalog();
    return run.skipped;
}

}  // namespace melodrix
