#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <pugixml.hpp>
#include <vector>

namespace melodrix {

// Typed bindings over the elements of the configuration document. They hold a node
// handle only; setters change the document in memory, nothing reaches the file before
// SaveConfig. A missing attribute reads as its default.
class TXMLPlLeftType {
public:
    explicit TXMLPlLeftType(pugi::xml_node node = {}) : node_(node) {}
    int Width() const;
    int Col1() const;
    int Col2() const;
    int Col3() const;
    void SetWidth(int value);
    void SetCol1(int value);
    void SetCol2(int value);
    void SetCol3(int value);

private:
    pugi::xml_node node_;
};

class TXMLPlHintType {
public:
    explicit TXMLPlHintType(pugi::xml_node node = {}) : node_(node) {}
    int Height() const;
    int Col1() const;
    int Col2() const;
    void SetHeight(int value);
    void SetCol1(int value);
    void SetCol2(int value);

private:
    pugi::xml_node node_;
};

class TXMLFrameType {
public:
    explicit TXMLFrameType(pugi::xml_node node = {}) : node_(node) {}
    bool Max() const;
    int Left() const;
    int Top() const;
    int Height() const;
    int Width() const;
    TXMLPlLeftType PlLeft() const;
    TXMLPlHintType PlHint() const;
    void SetMax(bool value);
    void SetLeft(int value);
    void SetTop(int value);
    void SetHeight(int value);
    void SetWidth(int value);

private:
    pugi::xml_node node_;
};

class TXMLNodeType {
public:
    explicit TXMLNodeType(pugi::xml_node node = {}) : node_(node) {}
    QString Name() const;
    bool Visible() const;
    int Index() const;
    bool DefaultExport() const;
    int Width() const;
    bool ReadOnly() const;
    QString Align() const;
    void SetName(const QString& value);
    void SetVisible(bool value);
    void SetIndex(int value);
    void SetDefaultExport(bool value);
    void SetWidth(int value);
    void SetReadOnly(bool value);
    void SetAlign(const QString& value);
    pugi::xml_node XmlNode() const { return node_; }

private:
    pugi::xml_node node_;
};

class TXMLNodesType {
public:
    explicit TXMLNodesType(pugi::xml_node node = {}) : node_(node) {}
    int Count() const;
    TXMLNodeType Node(int index) const;
    TXMLNodeType Add();
    TXMLNodeType Insert(int index);

private:
    pugi::xml_node node_;
};

// Choices the desktop program remembers from one run to the next (the last search, the size
// of a dialog): the attributes of one element below `config`, by name. A missing attribute
// reads as the fallback.
class TXMLRememberedType {
public:
    explicit TXMLRememberedType(pugi::xml_node node = {}) : node_(node) {}
    bool Has(const char* key) const;
    QString Text(const char* key, const QString& fallback = {}) const;
    int Int(const char* key, int fallback) const;
    // Characters XML cannot hold are written as U+FFFD.
    void SetText(const char* key, const QString& value);
    void SetInt(const char* key, int value);

private:
    pugi::xml_node node_;
};

class TXMLConfigType {
public:
    explicit TXMLConfigType(pugi::xml_node node = {}) : node_(node) {}
    QString VersionNo() const;
    TXMLFrameType Frame() const;
    TXMLNodesType Nodes() const;
    // The new-catalog dialog's last choice: all music files (true) or MP3 files only.
    bool AllMusicFiles() const;
    void SetVersionNo(const QString& value);
    void SetAllMusicFiles(bool value);
    // The new-catalog dialog's "Look inside archives" ("lookInsideArchives").
    bool LookInsideArchives() const;
    void SetLookInsideArchives(bool value);
    // The names a new catalog's scan skips ("excludePatterns": the patterns joined by "/", as
    // ExcludeListText writes them); DefaultExcludePatterns() when the file names none.
    QStringList ExcludePatterns() const;
    void SetExcludePatterns(const QStringList& patterns);
    // Whether the search dialog shows its "More conditions" panel ("moreSearchConditions").
    bool MoreSearchConditions() const;
    void SetMoreSearchConditions(bool value);
    // The remembered choices of one part of the program: the child element `name` (an XML
    // name), made when first asked for.
    TXMLRememberedType Remembered(const char* name) const;

private:
    pugi::xml_node node_;
};

// One column of the content view as the column model describes it.
struct TColumnSpec {
    QString Name;
    int Field = 0;  // FieldIndexOf(Name)
    bool Visible = true;
    int Index = 0;            // as stored
    int DisplayPosition = 0;  // normalised: a permutation of 0..count-1
    bool DefaultExport = false;
    int Width = 100;
    bool ReadOnly = true;
    QString Align;
};

// Display positions for stored Index values: the values themselves when they are a
// permutation of 0..n-1; otherwise columns ordered by Index, ties by model order.
std::vector<int> NormalizedDisplayPositions(const std::vector<int>& indexes);

// The configuration file and the one configuration object of the process.
class TConfig {
public:
    // Loads (or creates) the configuration file in `baseDirectory`.
    explicit TConfig(const QString& baseDirectory);
    TConfig(const TConfig&) = delete;
    TConfig& operator=(const TConfig&) = delete;

    QString BaseDirectory() const { return baseDirectory_; }
    QString ConfigFilePath() const;
    QString LibraryPath();
    TXMLConfigType ConfigRoot() const { return TXMLConfigType(document_.document_element()); }
    // The column model, in model order.
    std::vector<TColumnSpec> Columns() const;
    // Writes the config element (no declaration) atomically. Throws on failure.
    void SaveConfig();
    // Writes the built-in default text to the file, exactly.
    void WriteDefaultConfig();
    // True when the file on disk could not be used and the default text stands in.
    bool UsedFallback() const { return usedFallback_; }

private:
    void Load();

    QString baseDirectory_;
    QString libraryPath_;
    pugi::xml_document document_;
    bool usedFallback_ = false;
};

// The default configuration file, byte for byte.
const std::string& DefaultConfigText();

// The directory of the executable when it is writable, else the per-user data directory.
QString DefaultBaseDirectory();

// The process's configuration, created on first use in DefaultBaseDirectory() or in the
// directory given to UseConfigDirectory.
TConfig& GetConfig();
// Points GetConfig at another base directory (tests, the command-line tool); replaces
// any configuration object made before.
void UseConfigDirectory(const QString& baseDirectory);

}  // namespace melodrix
