#include "core/config/Config.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <numeric>
#include <span>

#include "core/base/AtomicFile.h"
#include "core/base/Errors.h"
#include "core/catalog/FileItem.h"
#include "core/catalog/NamePatterns.h"
#include "core/catalog/XmlText.h"

namespace melodrix {

namespace {

const char* const kConfigFileName = "VellumdexConfig.xml";

struct TDefaultColumn {
    const char* name;
    bool visible;
    bool defaultExport;
    int width;
    bool readOnly;
    const char* align;
};

// The default column model, in node order (this is the content view's column order).
constexpr TDefaultColumn kDefaultColumns[] = {
    {"FileName", true, true, 172, false, "left"},
    {"MP3_Title", true, true, 143, true, "left"},
    {"MP3_Artist", true, true, 138, true, "left"},
    {"MP3_Album", true, true, 111, true, "left"},
    {"MP3_Year", true, true, 80, true, "left"},
    {"MP3_Comment", true, true, 106, true, "left"},
    {"MP3_Genre", true, true, 100, true, "left"},
    {"FullPath", true, true, 173, true, "left"},
    {"FileSize", true, true, 84, true, "right"},
    {"FileTime", true, true, 112, true, "right"},
    {"FileExt", true, true, 66, true, "right"},
    {"FileType", false, true, 66, true, "left"},
    {"Description", true, true, 124, false, "left"},
    {"FileNameLength", false, false, 100, true, "right"},
    {"PathNameLength", false, false, 100, true, "right"},
    {"SizePercentage", false, false, 100, true, "right"},
    {"DiskName", true, true, 66, true, "left"},
    // Added after the first 17, which an older configuration file holds alone. None is
    // exported by default, so a default export stays as it was; the export dialog offers them.
    {"MP3_Track", true, false, 80, true, "right"},
    {"MP3_Disc", false, false, 75, true, "right"},
    {"MP3_AlbumArtist", false, false, 125, true, "left"},
    {"AudioDuration", true, false, 100, true, "right"},
    {"AudioBitrate", true, false, 90, true, "right"},
    {"AudioSampleRate", false, false, 120, true, "right"},
    {"AudioChannels", false, false, 105, true, "right"},
    {"AudioCodec", false, false, 85, true, "left"},
    {"AudioMode", false, false, 85, true, "left"},
    {"ID3Mismatch", false, false, 100, true, "left"},
};

const char* BoolText(bool value) {
    return value ? "True" : "False";
}

bool ReadBool(const pugi::xml_node& node, const char* name, bool fallback) {
    const pugi::xml_attribute attribute = node.attribute(name);
    if (!attribute) {
        return fallback;
    }
    const QString text = QString::fromUtf8(attribute.value()).trimmed();
    if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) {
        return true;
    }
    if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) {
        return false;
    }
    return fallback;
}

int ReadInt(const pugi::xml_node& node, const char* name, int fallback) {
    const pugi::xml_attribute attribute = node.attribute(name);
    if (!attribute) {
        return fallback;
    }
    bool ok = false;
    const int value = QString::fromUtf8(attribute.value()).trimmed().toInt(&ok);
    return ok ? value : fallback;
}

QString ReadText(const pugi::xml_node& node, const char* name, const QString& fallback) {
    const pugi::xml_attribute attribute = node.attribute(name);
    return attribute ? QString::fromUtf8(attribute.value()) : fallback;
}

pugi::xml_attribute Attribute(pugi::xml_node node, const char* name) {
    pugi::xml_attribute attribute = node.attribute(name);
    return attribute ? attribute : node.append_attribute(name);
}

void SetInt(pugi::xml_node node, const char* name, int value) {
    Attribute(node, name).set_value(value);
}

void SetBool(pugi::xml_node node, const char* name, bool value) {
    Attribute(node, name).set_value(BoolText(value));
}

void SetText(pugi::xml_node node, const char* name, const QString& value) {
    Attribute(node, name).set_value(value.toUtf8().constData());
}

// Defaults of the node at position `index` of the default model, for missing attributes.
const TDefaultColumn& DefaultColumnFor(const pugi::xml_node& node) {
    const std::string_view name = node.attribute("Name").value();
    for (const auto& column : kDefaultColumns) {
        if (name == column.name) {
            return column;
        }
    }
    return kDefaultColumns[0];
}

int DefaultIndexFor(const pugi::xml_node& node) {
    int index = 0;
    for (pugi::xml_node n = node.previous_sibling("node"); n; n = n.previous_sibling("node")) {
        ++index;
    }
    return index;
}

std::string NodeText(const TDefaultColumn& c, int index) {
    return "<node Name=\"" + std::string(c.name) + "\" Visible=\"" + BoolText(c.visible) +
           "\" Index=\"" + std::to_string(index) + "\" DefaultExport=\"" +
           BoolText(c.defaultExport) + "\" Width=\"" + std::to_string(c.width) + "\" ReadOnly=\"" +
           BoolText(c.readOnly) + "\" Align=\"" + c.align + "\"/>";
}

// A file written before the columns after the first 17 were added lacks them: they come
// after its own, with their defaults, and are written with the next save. The first 17 stay
// as the file has them (a user's file may leave some out).
void AddMissingColumns(pugi::xml_node nodes) {
    int count = 0;
    int lastIndex = -1;
    for (pugi::xml_node n = nodes.child("node"); n; n = n.next_sibling("node")) {
        lastIndex = std::max(lastIndex, n.attribute("Index").as_int(count));
        ++count;
    }
    for (const auto& column : std::span(kDefaultColumns).subspan(BasicFieldCount)) {
        if (nodes.find_child_by_attribute("node", "Name", column.name)) {
            continue;
        }
        pugi::xml_document piece;
        piece.load_string(NodeText(column, ++lastIndex).c_str());
        nodes.append_copy(piece.first_child());
    }
}

class TStringWriter final : public pugi::xml_writer {
public:
    void write(const void* data, size_t size) override {
        text.append(static_cast<const char*>(data), size);
    }
    std::string text;
};

std::unique_ptr<TConfig>& ConfigInstance() {
    static std::unique_ptr<TConfig> instance;
    return instance;
}

}  // namespace

const std::string& DefaultConfigText() {
    static const std::string text = [] {
        std::string t = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";
        t += "<config versionNo=\"Vellumdex V4\">";
        t += "\t<frame max=\"True\" left=\"0\" top=\"0\" height=\"600\" width=\"800\">";
        t += "\t\t<plLeft width=\"308\" col1=\"127\" col2=\"106\" col3=\"76\"/>";
        t += "\t\t<plHint height=\"262\" col1=\"139\" col2=\"139\"/>";
        t += "\t</frame>";
        t += "\t<nodes>";
        int index = 0;
        for (const auto& c : kDefaultColumns) {
            t += "\t\t" + NodeText(c, index++);
        }
        t += "\t</nodes>";
        t += "</config>";
        return t;
    }();
    return text;
}

// --- bindings ---

int TXMLPlLeftType::Width() const {
    return ReadInt(node_, "width", 308);
}
int TXMLPlLeftType::Col1() const {
    return ReadInt(node_, "col1", 127);
}
int TXMLPlLeftType::Col2() const {
    return ReadInt(node_, "col2", 106);
}
int TXMLPlLeftType::Col3() const {
    return ReadInt(node_, "col3", 76);
}
void TXMLPlLeftType::SetWidth(int value) {
    SetInt(node_, "width", value);
}
void TXMLPlLeftType::SetCol1(int value) {
    SetInt(node_, "col1", value);
}
void TXMLPlLeftType::SetCol2(int value) {
    SetInt(node_, "col2", value);
}
void TXMLPlLeftType::SetCol3(int value) {
    SetInt(node_, "col3", value);
}

int TXMLPlHintType::Height() const {
    return ReadInt(node_, "height", 262);
}
int TXMLPlHintType::Col1() const {
    return ReadInt(node_, "col1", 139);
}
int TXMLPlHintType::Col2() const {
    return ReadInt(node_, "col2", 139);
}
void TXMLPlHintType::SetHeight(int value) {
    SetInt(node_, "height", value);
}
void TXMLPlHintType::SetCol1(int value) {
    SetInt(node_, "col1", value);
}
void TXMLPlHintType::SetCol2(int value) {
    SetInt(node_, "col2", value);
}

bool TXMLFrameType::Max() const {
    return ReadBool(node_, "max", true);
}
int TXMLFrameType::Left() const {
    return ReadInt(node_, "left", 0);
}
int TXMLFrameType::Top() const {
    return ReadInt(node_, "top", 0);
}
int TXMLFrameType::Height() const {
    return ReadInt(node_, "height", 600);
}
int TXMLFrameType::Width() const {
    return ReadInt(node_, "width", 800);
}
TXMLPlLeftType TXMLFrameType::PlLeft() const {
    return TXMLPlLeftType(node_.child("plLeft"));
}
TXMLPlHintType TXMLFrameType::PlHint() const {
    return TXMLPlHintType(node_.child("plHint"));
}
void TXMLFrameType::SetMax(bool value) {
    SetBool(node_, "max", value);
}
void TXMLFrameType::SetLeft(int value) {
    SetInt(node_, "left", value);
}
void TXMLFrameType::SetTop(int value) {
    SetInt(node_, "top", value);
}
void TXMLFrameType::SetHeight(int value) {
    SetInt(node_, "height", value);
}
void TXMLFrameType::SetWidth(int value) {
    SetInt(node_, "width", value);
}

QString TXMLNodeType::Name() const {
    return ReadText(node_, "Name", QString());
}
bool TXMLNodeType::Visible() const {
    return ReadBool(node_, "Visible", DefaultColumnFor(node_).visible);
}
int TXMLNodeType::Index() const {
    return ReadInt(node_, "Index", DefaultIndexFor(node_));
}
bool TXMLNodeType::DefaultExport() const {
    return ReadBool(node_, "DefaultExport", DefaultColumnFor(node_).defaultExport);
}
int TXMLNodeType::Width() const {
    return ReadInt(node_, "Width", DefaultColumnFor(node_).width);
}
bool TXMLNodeType::ReadOnly() const {
    return ReadBool(node_, "ReadOnly", DefaultColumnFor(node_).readOnly);
}
QString TXMLNodeType::Align() const {
    return ReadText(node_, "Align", QString::fromLatin1(DefaultColumnFor(node_).align));
}
void TXMLNodeType::SetName(const QString& value) {
    SetText(node_, "Name", value);
}
void TXMLNodeType::SetVisible(bool value) {
    SetBool(node_, "Visible", value);
}
void TXMLNodeType::SetIndex(int value) {
    SetInt(node_, "Index", value);
}
void TXMLNodeType::SetDefaultExport(bool value) {
    SetBool(node_, "DefaultExport", value);
}
void TXMLNodeType::SetWidth(int value) {
    SetInt(node_, "Width", value);
}
void TXMLNodeType::SetReadOnly(bool value) {
    SetBool(node_, "ReadOnly", value);
}
void TXMLNodeType::SetAlign(const QString& value) {
    SetText(node_, "Align", value);
}

int TXMLNodesType::Count() const {
    int count = 0;
    for (pugi::xml_node n = node_.child("node"); n; n = n.next_sibling("node")) {
        ++count;
    }
    return count;
}

TXMLNodeType TXMLNodesType::Node(int index) const {
    pugi::xml_node n = node_.child("node");
    for (int i = 0; n && i < index; ++i) {
        n = n.next_sibling("node");
    }
    return TXMLNodeType(index < 0 ? pugi::xml_node() : n);
}

TXMLNodeType TXMLNodesType::Add() {
    return TXMLNodeType(node_.append_child("node"));
}

TXMLNodeType TXMLNodesType::Insert(int index) {
    pugi::xml_node before = Node(index).XmlNode();
    if (!before) {
        return Add();
    }
    return TXMLNodeType(node_.insert_child_before("node", before));
}

QString TXMLConfigType::VersionNo() const {
    return ReadText(node_, "versionNo", QString());
}
TXMLFrameType TXMLConfigType::Frame() const {
    return TXMLFrameType(node_.child("frame"));
}
TXMLNodesType TXMLConfigType::Nodes() const {
    return TXMLNodesType(node_.child("nodes"));
}
void TXMLConfigType::SetVersionNo(const QString& value) {
    SetText(node_, "versionNo", value);
}
bool TXMLConfigType::AllMusicFiles() const {
    return ReadBool(node_, "allMusicFiles", false);
}
void TXMLConfigType::SetAllMusicFiles(bool value) {
    SetBool(node_, "allMusicFiles", value);
}

bool TXMLConfigType::LookInsideArchives() const {
    return ReadBool(node_, "lookInsideArchives", false);
}
void TXMLConfigType::SetLookInsideArchives(bool value) {
    SetBool(node_, "lookInsideArchives", value);
}

QStringList TXMLConfigType::ExcludePatterns() const {
    if (!node_.attribute("excludePatterns")) {
        return DefaultExcludePatterns();
    }
    QStringList patterns;
    for (const QString& pattern : ExcludeListOfText(ReadText(node_, "excludePatterns", {}))) {
        // A pattern edited by hand into something no name can match is left out.
        if (ExcludePatternRefusal(pattern).isEmpty()) {
            patterns << pattern;
        }
    }
    return patterns;
}
void TXMLConfigType::SetExcludePatterns(const QStringList& patterns) {
    SetText(node_, "excludePatterns", ExcludeListText(patterns));
}

bool TXMLConfigType::MoreSearchConditions() const {
    return ReadText(node_, "moreSearchConditions", QString()) == QLatin1String("true");
}
void TXMLConfigType::SetMoreSearchConditions(bool value) {
    SetText(node_, "moreSearchConditions",
            value ? QStringLiteral("true") : QStringLiteral("false"));
}

TXMLRememberedType TXMLConfigType::Remembered(const char* name) const {
    pugi::xml_node config = node_;
    pugi::xml_node node = config.child(name);
    if (!node && config) {
        node = config.append_child(name);
    }
    return TXMLRememberedType(node);
}

bool TXMLRememberedType::Has(const char* key) const {
    return static_cast<bool>(node_.attribute(key));
}
QString TXMLRememberedType::Text(const char* key, const QString& fallback) const {
    return ReadText(node_, key, fallback);
}
int TXMLRememberedType::Int(const char* key, int fallback) const {
    return ReadInt(node_, key, fallback);
}
void TXMLRememberedType::SetText(const char* key, const QString& value) {
    const QByteArray utf8 = value.toUtf8();
    std::string mended;
    const std::string_view text(utf8.constData(), static_cast<size_t>(utf8.size()));
    Attribute(node_, key)
        .set_value(std::string(SanitizeForXml(text, mended) ? mended : text).c_str());
}
void TXMLRememberedType::SetInt(const char* key, int value) {
    Attribute(node_, key).set_value(value);
}

// --- column model ---

std::vector<int> NormalizedDisplayPositions(const std::vector<int>& indexes) {
    const int count = static_cast<int>(indexes.size());
    std::vector<bool> seen(indexes.size(), false);
    bool permutation = true;
    for (int index : indexes) {
        if (index < 0 || index >= count || seen[static_cast<size_t>(index)]) {
            permutation = false;
            break;
        }
        seen[static_cast<size_t>(index)] = true;
    }
    if (permutation) {
        return indexes;
    }
    std::vector<int> order(indexes.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return indexes[static_cast<size_t>(a)] < indexes[static_cast<size_t>(b)];
    });
    std::vector<int> positions(indexes.size());
    for (int position = 0; position < count; ++position) {
        positions[static_cast<size_t>(order[static_cast<size_t>(position)])] = position;
    }
    return positions;
}

// --- TConfig ---

TConfig::TConfig(const QString& baseDirectory) : baseDirectory_(baseDirectory) {
    Load();
}

QString TConfig::ConfigFilePath() const {
    return QDir(baseDirectory_).filePath(QString::fromLatin1(kConfigFileName));
}

QString TConfig::LibraryPath() {
    if (libraryPath_.isEmpty()) {
        libraryPath_ = QDir(baseDirectory_).filePath(QStringLiteral("CatalogLibrary"));
    }
    return libraryPath_;
}

void TConfig::Load() {
    const QString path = ConfigFilePath();
    if (!QFileInfo::exists(path)) {
        WriteDefaultConfig();
    }
    const pugi::xml_parse_result result =
        document_.load_file(QFile::encodeName(path).constData(), pugi::parse_default);
    const pugi::xml_node root = document_.document_element();
    const bool complete = result && root && std::string_view(root.name()) == "config" &&
                          root.child("frame") && root.child("frame").child("plLeft") &&
                          root.child("frame").child("plHint") && root.child("nodes");
    if (complete) {
        AddMissingColumns(root.child("nodes"));
        return;
    }
    // Keep the user's unreadable file beside the default that stands in for this run.
    const QString badCopy = path + QStringLiteral(".bad");
    QFile::remove(badCopy);
    QFile::copy(path, badCopy);
    document_.load_string(DefaultConfigText().c_str());
    usedFallback_ = true;
}

std::vector<TColumnSpec> TConfig::Columns() const {
    std::vector<TColumnSpec> columns;
    const TXMLNodesType nodes = ConfigRoot().Nodes();
    std::vector<int> indexes;
    const int count = nodes.Count();
    for (int i = 0; i < count; ++i) {
        const TXMLNodeType node = nodes.Node(i);
        TColumnSpec spec;
        spec.Name = node.Name();
        spec.Field = FieldIndexOf(spec.Name.toStdString());
        spec.Visible = node.Visible();
        spec.Index = node.Index();
        spec.DefaultExport = node.DefaultExport();
        spec.Width = node.Width();
        spec.ReadOnly = node.ReadOnly();
        spec.Align = node.Align();
        indexes.push_back(spec.Index);
        columns.push_back(spec);
    }
    const std::vector<int> positions = NormalizedDisplayPositions(indexes);
    for (size_t i = 0; i < columns.size(); ++i) {
        columns[i].DisplayPosition = positions[i];
    }
    return columns;
}

void TConfig::SaveConfig() {
    TStringWriter writer;
    document_.document_element().print(writer, "", pugi::format_raw, pugi::encoding_utf8);
    WriteFileAtomically(ConfigFilePath(), [&](QIODevice& device) {
        WriteAll(device, writer.text.data(), static_cast<qint64>(writer.text.size()));
    });
}

void TConfig::WriteDefaultConfig() {
    QDir().mkpath(baseDirectory_);
    const std::string& text = DefaultConfigText();
    WriteFileAtomically(ConfigFilePath(), [&](QIODevice& device) {
        WriteAll(device, text.data(), static_cast<qint64>(text.size()));
    });
}

QString DefaultBaseDirectory() {
    const QString applicationDirectory = QCoreApplication::applicationDirPath();
    const QFileInfo info(applicationDirectory);
    // An installed program (its help page under ../share, none beside it) keeps its files
    // per user even when its directory is writable, as it is for root: nothing lands in
    // the system's program directory, where removing the package would leave it behind.
    const QDir directory(applicationDirectory);
    const bool installed =
        !QFileInfo::exists(directory.filePath(QStringLiteral("Help.htm"))) &&
        QFileInfo::exists(directory.filePath(QStringLiteral("../share/melodrix/Help.htm")));
    if (!applicationDirectory.isEmpty() && info.isDir() && info.isWritable() && !installed) {
        return applicationDirectory;
    }
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(data);
    return data;
}

TConfig& GetConfig() {
    auto& instance = ConfigInstance();
    if (!instance) {
        instance = std::make_unique<TConfig>(DefaultBaseDirectory());
    }
    return *instance;
}

void UseConfigDirectory(const QString& baseDirectory) {
    ConfigInstance() = std::make_unique<TConfig>(baseDirectory);
}

}  // namespace melodrix
