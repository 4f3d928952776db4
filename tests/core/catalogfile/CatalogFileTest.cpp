#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <pugixml.hpp>
#include <sstream>

#include "core/base/AtomicFile.h"
#include "core/base/Errors.h"
#include "core/catalog/CatalogTree.h"
#include "core/catalog/XmlText.h"
#include "core/engine/FileInfo.h"
#include "support/RawNames.h"
#include "support/ScriptedSinks.h"
#include "support/TempDir.h"

using namespace melodrix;
using namespace melodrix::testing;

namespace {

constexpr char kDeclaration[] = R"(<?xml version="1.0" encoding="utf-8" standalone="yes"?>)";

// An engine over its own document, with recorded progress and scripted answers.
struct TEngine {
    pugi::xml_document document;
    TRecordingProgress progress;
    TScriptedPrompt prompt;
    TFileInfo info{progress, prompt};
    TEngine() { info.Document = &document; }

    void Save(const TCatalogTree& tree, const QString& path) {
        info.NewDocument();
        info.TreeToDocument(tree);
        info.SaveCatalogFile(path);
    }
    void Open(const QString& path, TCatalogTree& tree) {
        ASSERT_TRUE(info.OpenCatalogFile(path));
        info.DocumentToTree(tree);
    }
    std::string DocumentText() const {
        std::ostringstream out;
        document.save(out, "", pugi::format_raw);
        return out.str();
    }
};

TCatalogNode* AddItem(TCatalogTree& tree, TCatalogNode* parent,
                      std::initializer_list<std::pair<TField, std::string_view>> fields) {
    TCatalogNode* node = tree.AppendChild(parent);
    for (const auto& [field, text] : fields) {
        node->Item().SetField(field, text);
    }
    return node;
}

// The catalog of a folder holding one MP3 file, as a scan would leave it.
void FillMusicCatalog(TCatalogTree& tree) {
    TCatalogNode* root = AddItem(tree, nullptr,
                                 {{FileName, "/music"},
                                  {FullPath, "/music"},
                                  {FileSize, "4000"},
                                  {FileType, "directory"},
                                  {SizePercentage, "100"},
                                  {DiskName, "Disk"}});
    AddItem(tree, root,
            {{FileName, "song.mp3"},
             {FullPath, "/music/song.mp3"},
             {FileSize, "4000"},
             {FileTime, "3/4/2021 1:05:06 PM"},
             {FileExt, "mp3"},
             {FileType, "file"},
             {FileNameLength, "8"},
             {PathNameLength, "15"},
             {SizePercentage, "100.00"},
             {DiskName, "Disk"},
             {MP3_Title, "Fire & Ice"},
             {MP3_Genre, "Rock"}});
}

std::vector<std::string> PreOrderNames(const TCatalogTree& tree) {
    std::vector<std::string> names;
    ForEachNode(tree, [&](TCatalogNode* node) {
        names.emplace_back(std::string(node->Depth(), '>') +
                           std::string(node->Item().Field(FileName)));
    });
    return names;
}

// True when the bytes are UTF-8 that XML 1.0 can hold outside markup (no C0 controls but
// tab, LF and CR; no surrogates, U+FFFE or U+FFFF).
bool IsWellFormedText(const QByteArray& bytes) {
    std::string scratch;
    return !SanitizeForXml(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())),
                           scratch);
}

}  // namespace

TEST(CatalogFile, SavedCatalogHasTheExactFormat) {
    QTemporaryDir dir;
    TCatalogTree tree;
    FillMusicCatalog(tree);
    TEngine engine;
    const QString path = dir.filePath(QStringLiteral("Disk.xml"));
    engine.Save(tree, path);

    const std::string expected =
        std::string(kDeclaration) +
        R"(<fileinfo generated="Vellumdex">)"
        R"(<file FileName="/music" FullPath="/music" FileSize="4000" FileType="directory" )"
        R"(SizePercentage="100" DiskName="Disk">)"
        R"(<file FileName="song.mp3" FullPath="/music/song.mp3" FileSize="4000" )"
        R"(FileTime="3/4/2021 1:05:06 PM" FileExt="mp3" FileType="file" FileNameLength="8" )"
        R"(PathNameLength="15" SizePercentage="100.00" DiskName="Disk" MP3_Title="Fire &amp; Ice" )"
        R"(MP3_Genre="Rock"/></file></fileinfo>)";
    EXPECT_EQ(ReadFile(path).toStdString(), expected);
    EXPECT_TRUE(engine.info.CatalogFileName.isEmpty()) << "saving does not name the catalog";
}

TEST(CatalogFile, NewDocumentIsAnEmptyCatalog) {
    TEngine engine;
    engine.document.load_string("<other><x/></other>");
    engine.info.NewDocument();
    const pugi::xml_node root = engine.info.DocumentRoot();
    EXPECT_STREQ(root.name(), "fileinfo");
    EXPECT_STREQ(root.attribute("generated").value(), "Vellumdex");
    EXPECT_FALSE(root.first_child());
    EXPECT_EQ(std::string(kNewDocumentText),
              R"(<?xml version="1.0" encoding="utf-8" standalone="yes" ?> )"
              R"(<fileinfo generated="Vellumdex"></fileinfo>)");

    // A document that was never filled is made a catalog before use.
    pugi::xml_document blank;
    engine.info.Document = &blank;
    EXPECT_STREQ(engine.info.DocumentRoot().name(), "fileinfo");
}

TEST(CatalogFile, SaveAndOpenRoundTripKeepsOrderAndNesting) {
    QTemporaryDir dir;
    TCatalogTree tree;
    FillMusicCatalog(tree);
    TCatalogNode* second = AddItem(tree, nullptr, {{FileName, "second"}, {FileType, "file"}});
    TCatalogNode* folder =
        AddItem(tree, tree.GetFirst(), {{FileName, "sub"}, {FileType, "directory"}});
    AddItem(tree, folder, {{FileName, "deep.mp3"}});
    AddItem(tree, second, {{FileName, "child of a file"}});
    const QString path = dir.filePath(QStringLiteral("Disk.xml"));
    TEngine engine;
    engine.Save(tree, path);

    TCatalogTree loaded;
    TEngine reader;
    reader.Open(path, loaded);
    EXPECT_EQ(PreOrderNames(loaded), PreOrderNames(tree));
    // Every field comes back as written (DiskName is "Disk" from the file name anyway).
    for (TCatalogNode *a = tree.GetFirst(), *b = loaded.GetFirst(); a && b;
         a = tree.GetNext(a), b = loaded.GetNext(b)) {
        for (int field = 0; field < FieldCount; ++field) {
            if (field == DiskName) {
                EXPECT_EQ(b->Item().Field(field), "Disk");
            } else if (!(a->Parent() == nullptr && (field == FileType || field == FullPath))) {
                EXPECT_EQ(b->Item().Field(field), a->Item().Field(field)) << FieldNames[field];
            }
        }
    }
    EXPECT_EQ(loaded.TopLevel(1)->Item().Field(FullPath), "second") << "top-level fallback";
}

TEST(CatalogFile, ReadingAppliesTheTopLevelDefaultsAndTheDiskName) {
    QTemporaryDir dir;
    const QString path =
        WriteFile(dir.path(), QStringLiteral("Jazz.xml"),
                  "<?xml version=\"1.0\"?>\n<anything generated=\"x\">\n  <file/>\n"
                  "  <file FileName=\"Top\" DiskName=\"Rock\" Unknown=\"u\">\n"
                  "    <item FileName=\"nested\" FileExt=\"mp3\"/>\n"
                  "  </file>\n  <!-- a comment -->\n"
                  "  <file FileType=\"\" FullPath=\"/kept\" FileName=\"typed\"/>\n</anything>\n");
    TEngine engine;
    TCatalogTree tree;
    engine.Open(path, tree);
    ASSERT_EQ(tree.TopLevelCount(), 3);

    const TFileItem& blank = tree.TopLevel(0)->Item();
    EXPECT_EQ(blank.Field(FileType), "directory");
    EXPECT_EQ(blank.Field(FileName), "");
    EXPECT_EQ(blank.Field(FullPath), "");
    EXPECT_EQ(blank.Field(DiskName), "Jazz");

    const TFileItem& top = tree.TopLevel(1)->Item();
    EXPECT_EQ(top.Field(FullPath), "Top");
    EXPECT_EQ(top.Field(DiskName), "Jazz") << "the stored disk name gives way to the file's";

    ASSERT_EQ(tree.TopLevel(1)->ChildCount(), 1);
    const TFileItem& nested = tree.TopLevel(1)->Child(0)->Item();
    EXPECT_EQ(nested.Field(FileName), "nested");
    EXPECT_EQ(nested.Field(FullPath), "") << "no FullPath fallback below the top level";
    EXPECT_EQ(nested.Field(FileType), "") << "no FileType default below the top level";
    EXPECT_EQ(nested.Field(DiskName), "Jazz");

    const TFileItem& typed = tree.TopLevel(2)->Item();
    EXPECT_EQ(typed.Field(FileType), "") << "an explicit empty FileType is kept";
    EXPECT_EQ(typed.Field(FullPath), "/kept");
}

TEST(CatalogFile, DiskNameIsTheFileNameCutBeforeItsFirstDot) {
    QTemporaryDir dir;
    const QByteArray text = "<fileinfo><file FileName=\"x\"/></fileinfo>";
    for (const auto& [name, disk] : {std::pair{"My.Old.Disk.xml", "My"},
                                     std::pair{".hidden.xml", ""}, std::pair{"Plain", "Plain"}}) {
        const QString path = WriteFile(dir.path(), QString::fromUtf8(name), text);
        TEngine engine;
        TCatalogTree tree;
        engine.Open(path, tree);
        EXPECT_EQ(tree.GetFirst()->Item().Field(DiskName), disk) << name;
        EXPECT_EQ(engine.info.CatalogFileName, path);
    }
}

TEST(CatalogFile, SavingOverACatalogReplacesItCompletely) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Disk.xml"));
    TCatalogTree big;
    FillMusicCatalog(big);
    TEngine engine;
    engine.Save(big, path);

    TCatalogTree small;
    AddItem(small, nullptr, {{FileName, "only"}});
    engine.Save(small, path);
    EXPECT_EQ(ReadFile(path).toStdString(),
              std::string(kDeclaration) +
                  R"(<fileinfo generated="Vellumdex"><file FileName="only"/></fileinfo>)");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Disk.xml")})
        << "no temporary file is left behind";
}

TEST(CatalogFile, HostileTextsAreWrittenAsWellFormedXmlAndReadBack) {
    QTemporaryDir dir;
    const std::string specials = "a \"quoted\" & <tagged> 'single'\ttab\nline\r\nwindows";
    const std::string controls = std::string(
        "bell\x07"
        "nul-free\x01\x1F"
        "end");
    const std::string invalid =
        "bad\xFF\xC0\x80"
        "utf8\xED\xA0\x80surrogate\xEF\xBF\xBE";
    const std::string unicode = "Caf\xC3\xA9 \xE5\xA4\x9C \xF0\x9F\x8E\xB5";
    TCatalogTree tree;
    TCatalogNode* root = AddItem(tree, nullptr, {{FileName, specials}, {Description, controls}});
    AddItem(tree, root, {{FileName, invalid}, {MP3_Title, unicode}, {MP3_Comment, "]]>"}});
    const QString path = dir.filePath(QStringLiteral("Hostile.xml"));
    TEngine engine;
    engine.Save(tree, path);

    const QByteArray bytes = ReadFile(path);
    EXPECT_TRUE(IsWellFormedText(bytes));
    pugi::xml_document check;
    EXPECT_TRUE(check.load_buffer(bytes.constData(), static_cast<size_t>(bytes.size())));

    TCatalogTree loaded;
    TEngine reader;
    reader.Open(path, loaded);
    const TFileItem& a = loaded.GetFirst()->Item();
    EXPECT_EQ(a.Field(FileName), specials);
    EXPECT_EQ(a.Field(Description),
              "bell\xEF\xBF\xBDnul-free\xEF\xBF\xBD\xEF\xBF\xBD"
              "end");
    const TFileItem& b = loaded.GetFirst()->Child(0)->Item();
    EXPECT_EQ(b.Field(FileName),
              "bad\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDutf8"
              "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDsurrogate\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(b.Field(MP3_Title), unicode);
    EXPECT_EQ(b.Field(MP3_Comment), "]]>");
    // The tree itself keeps what it held; only the file had to be mended.
    EXPECT_EQ(tree.GetFirst()->Item().Field(Description), controls);
}

TEST(CatalogFile, OpeningMendsWhatXmlCannotHoldSoTheNextSaveIsWellFormed) {
    QTemporaryDir dir;
    const QString source = WriteFile(dir.path(), QStringLiteral("In.xml"),
                                     "<fileinfo><file FileName=\"ctl&#1;x\" "
                                     "MP3_Title=\"raw\xFE\"/>bad\xFF text</fileinfo>");
    TEngine engine;
    TCatalogTree tree;
    engine.Open(source, tree);
    EXPECT_EQ(tree.GetFirst()->Item().Field(FileName), "ctl\xEF\xBF\xBDx");
    EXPECT_EQ(tree.GetFirst()->Item().Field(MP3_Title), "raw\xEF\xBF\xBD");

    // The document as opened is written again, as the XML export does.
    const QString copy = dir.filePath(QStringLiteral("Out.xml"));
    engine.info.SaveCatalogFile(copy);
    const QByteArray bytes = ReadFile(copy);
    EXPECT_TRUE(bytes.startsWith(kDeclaration));
    EXPECT_TRUE(IsWellFormedText(bytes));
    EXPECT_FALSE(bytes.contains("&#1;"));
}

TEST(CatalogFile, AnUnparsableFileRaisesAnErrorAndChangesNothing) {
    QTemporaryDir dir;
    const QByteArray broken = "<fileinfo><file FileName=\"a\"><file";
    const QString path = WriteFile(dir.path(), QStringLiteral("Broken.xml"), broken);
    TEngine engine;
    engine.info.NewDocument();
    TCatalogTree tree;
    FillMusicCatalog(tree);
    engine.info.TreeToDocument(tree);
    const std::string before = engine.DocumentText();
    engine.progress.events.clear();

    try {
        engine.info.OpenCatalogFile(path);
        FAIL() << "no error";
    } catch (const TCatalogFileError& error) {
        EXPECT_TRUE(error.Message().contains(path)) << error.Message().toStdString();
    }
    EXPECT_EQ(engine.DocumentText(), before);
    EXPECT_EQ(ReadFile(path), broken);
    EXPECT_EQ(engine.info.CatalogFileName, path) << "names the file even when parsing fails";
    EXPECT_FALSE(engine.progress.visible);
    EXPECT_EQ(engine.progress.events,
              (QStringList{QStringLiteral("show"), QStringLiteral("text:Loading info.."),
                           QStringLiteral("hide")}));

    EXPECT_THROW(engine.info.OpenCatalogFile(dir.filePath(QStringLiteral("missing.xml"))),
                 TCatalogFileError);
    const QString empty = WriteFile(dir.path(), QStringLiteral("Empty.xml"), "");
    EXPECT_THROW(engine.info.OpenCatalogFile(empty), TCatalogFileError);
    EXPECT_EQ(engine.DocumentText(), before);
}

TEST(CatalogFile, ProgressIsShownWithTheFixedMessagesAndHiddenAfterwards) {
    QTemporaryDir dir;
    TCatalogTree tree;
    FillMusicCatalog(tree);
    TEngine engine;
    engine.info.NewDocument();
    engine.info.TreeToDocument(tree);
    EXPECT_EQ(engine.progress.events,
              (QStringList{QStringLiteral("show"), QStringLiteral("text:Gathering info.."),
                           QStringLiteral("hide")}));
    const QString path = dir.filePath(QStringLiteral("Disk.xml"));
    engine.progress.events.clear();
    engine.info.SaveCatalogFile(path);
    EXPECT_TRUE(engine.progress.events.isEmpty()) << "saving shows no progress of its own";

    TCatalogTree loaded;
    engine.Open(path, loaded);
    EXPECT_EQ(engine.progress.events,
              (QStringList{QStringLiteral("show"), QStringLiteral("text:Loading info.."),
                           QStringLiteral("hide"), QStringLiteral("show"),
                           QStringLiteral("text:Loading info.."), QStringLiteral("hide")}));
}

TEST(CatalogFile, DocumentToTreeFillsTheTreeInsideOneUpdate) {
    struct TCounter : ITreeObserver {
        int resets = 0, inserts = 0;
        void TreeReset() override { ++resets; }
        void NodesInserted() override { ++inserts; }
    } counter;
    QTemporaryDir dir;
    TCatalogTree source;
    FillMusicCatalog(source);
    TEngine engine;
    const QString path = dir.filePath(QStringLiteral("Disk.xml"));
    engine.Save(source, path);

    TCatalogTree tree;
    AddItem(tree, nullptr, {{FileName, "old"}});
    tree.AddObserver(&counter);
    engine.Open(path, tree);
    EXPECT_EQ(counter.resets, 1);
    EXPECT_EQ(counter.inserts, 0);
    EXPECT_EQ(PreOrderNames(tree), PreOrderNames(source));
}

TEST(CatalogFile, AskingForFileNamesGoesThroughThePrompt) {
    QTemporaryDir dir;
    const QString existing = WriteFile(dir.path(), QStringLiteral("Old.xml"),
                                       "<fileinfo><file FileName=\"old\"/></fileinfo>");
    TCatalogTree tree;
    FillMusicCatalog(tree);
    TEngine engine;
    engine.info.NewDocument();
    engine.info.TreeToDocument(tree);

    // Save: cancelled, then declined overwrite: nothing written or deleted.
    EXPECT_FALSE(engine.info.SaveCatalogFile(QString()));
    engine.prompt.fileAnswers = {existing};
    engine.prompt.yesNoAnswers = {false};
    EXPECT_FALSE(engine.info.SaveCatalogFile(QString()));
    EXPECT_EQ(engine.prompt.questions,
              QStringList{QStringLiteral("Catalog with the same name already exists,overwrite?")});
    EXPECT_EQ(engine.prompt.titles, QStringList{QStringLiteral("Warning")});
    EXPECT_TRUE(ReadFile(existing).contains("old"));
    ASSERT_EQ(engine.prompt.fileQuestions.size(), 2u);
    EXPECT_TRUE(engine.prompt.fileQuestions[0].save);
    EXPECT_EQ(engine.prompt.fileQuestions[0].defaultExtension, QStringLiteral("xml"));
    EXPECT_EQ(engine.prompt.fileQuestions[0].filter, QStringLiteral("XML File|*.XML"));

    // Agreed overwrite replaces the file; a new name is written without a question.
    engine.prompt.fileAnswers = {existing};
    engine.prompt.yesNoAnswers = {true};
    EXPECT_TRUE(engine.info.SaveCatalogFile(QString()));
    EXPECT_TRUE(ReadFile(existing).contains("song.mp3"));
    const QString fresh = dir.filePath(QStringLiteral("New.xml"));
    engine.prompt.fileAnswers = {fresh};
    EXPECT_TRUE(engine.info.SaveCatalogFile(QString()));
    EXPECT_EQ(engine.prompt.questions.size(), 2);
    EXPECT_TRUE(QFile::exists(fresh));

    // Open: cancelled, then a file that does not exist, then a real one.
    TEngine reader;
    EXPECT_FALSE(reader.info.OpenCatalogFile(QString()));
    EXPECT_TRUE(reader.prompt.messages.isEmpty());
    reader.prompt.fileAnswers = {dir.filePath(QStringLiteral("nope.xml"))};
    EXPECT_FALSE(reader.info.OpenCatalogFile(QString()));
    EXPECT_EQ(reader.prompt.messages, QStringList{QStringLiteral("The file does not exist.")});
    EXPECT_EQ(reader.prompt.titles, QStringList{QStringLiteral("Warning")});
    EXPECT_TRUE(reader.info.CatalogFileName.isEmpty());
    EXPECT_FALSE(reader.progress.visible);
    reader.prompt.fileAnswers = {fresh};
    EXPECT_TRUE(reader.info.OpenCatalogFile(QString()));
    EXPECT_EQ(reader.info.CatalogFileName, fresh);
    EXPECT_FALSE(reader.prompt.fileQuestions.back().save);
}

namespace {

// Makes writes beyond `bytes` fail (EFBIG), as a full disk would, for one scope.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~TFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit saved_{};
    sighandler_t previousHandler_;
};

}  // namespace

TEST(CatalogFile, AFailedSaveKeepsTheOldCatalog) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Disk.xml"));
    TCatalogTree tree;
    AddItem(tree, nullptr, {{FileName, "old"}});
    TEngine engine;
    engine.Save(tree, path);
    const QByteArray old = ReadFile(path);

    // A catalog bigger than the disk will take, after the user agreed to overwrite.
    TCatalogTree big;
    TCatalogNode* root = AddItem(big, nullptr, {{FileName, "big"}});
    for (int i = 0; i < 2000; ++i) {
        AddItem(big, root, {{FileName, "a file with a long enough name.mp3"}});
    }
    engine.info.NewDocument();
    engine.info.TreeToDocument(big);
    engine.prompt.fileAnswers = {path};
    engine.prompt.yesNoAnswers = {true};
    {
        TFileSizeLimit limit(4096);
        EXPECT_THROW(engine.info.SaveCatalogFile(QString()), TMelodrixError);
    }
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Disk.xml")});

    // A path that cannot be created fails clearly and creates nothing.
    const QString unreachable = dir.filePath(QStringLiteral("missing/folder/Disk.xml"));
    try {
        engine.info.SaveCatalogFile(unreachable);
        FAIL() << "no error";
    } catch (const TMelodrixError& error) {
        EXPECT_TRUE(error.Message().contains(unreachable));
    }
    EXPECT_FALSE(QFile::exists(unreachable));
}

TEST(AtomicFile, AnAbortedWriteLeavesTheTargetUntouched) {
    QTemporaryDir dir;
    const QString path = WriteFile(dir.path(), QStringLiteral("target.txt"), "previous");
    EXPECT_THROW(WriteFileAtomically(path,
                                     [](QIODevice& device) {
                                         WriteAll(device, "half", 4);
                                         throw TMelodrixError(QStringLiteral("stopped"));
                                     }),
                 TMelodrixError);
    EXPECT_EQ(ReadFile(path), "previous");
    WriteFileAtomically(path, [](QIODevice& device) { WriteAll(device, "complete", 8); });
    EXPECT_EQ(ReadFile(path), "complete");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("target.txt")});
}

TEST(CatalogFile, DeepNestingSurvivesBothDirections) {
    QTemporaryDir dir;
    constexpr int kDepth = 20000;
    TCatalogTree tree;
    TCatalogNode* node = nullptr;
    for (int i = 0; i < kDepth; ++i) {
        node = AddItem(tree, node, {{FileName, "d"}});
    }
    AddItem(tree, nullptr, {{FileName, "after"}});
    const QString path = dir.filePath(QStringLiteral("Deep.xml"));
    TEngine engine;
    engine.Save(tree, path);
    TCatalogTree loaded;
    TEngine reader;
    reader.Open(path, loaded);
    EXPECT_EQ(loaded.NodeCount(), static_cast<size_t>(kDepth + 1));
    EXPECT_EQ(loaded.TopLevelCount(), 2);
    EXPECT_EQ(loaded.TopLevel(1)->Item().Field(FileName), "after");
    TCatalogNode* deepest = loaded.GetFirst();
    while (deepest->ChildCount() > 0) {
        deepest = deepest->FirstChild();
    }
    EXPECT_EQ(deepest->Depth(), kDepth - 1);
}

TEST(CatalogFile, ACatalogWhoseNameIsNotUtf8OpensByTheTextOfItsPath) {
    QTemporaryDir dir;
    ASSERT_TRUE(MakeRawDirectory(RawPath(dir.path(), "Gr\xFCn")));
    ASSERT_TRUE(WriteRawFile(RawPath(dir.path(), "Gr\xFCn/Caf\xE9.xml"),
                             "<fileinfo><file FileName=\"x\"/></fileinfo>"));
    const QString path = dir.path() + QString::fromUtf8("/Gr\xC3\xBCn/Caf\xC3\xA9.xml");
    TEngine engine;
    TCatalogTree tree;
    engine.Open(path, tree);
    ASSERT_EQ(tree.TopLevelCount(), 1);
    EXPECT_EQ(tree.GetFirst()->Item().Field(FileName), "x");
    EXPECT_EQ(tree.GetFirst()->Item().Field(DiskName), "Caf\xC3\xA9");
    EXPECT_EQ(engine.info.CatalogFileName, path);
}

TEST(CatalogFile, SavingACatalogWhoseNameIsNotUtf8ReplacesThatFile) {
    QTemporaryDir dir;
    const QByteArray native = RawPath(dir.path(), "Gr\xFCn/Caf\xE9.xml");
    ASSERT_TRUE(MakeRawDirectory(RawPath(dir.path(), "Gr\xFCn")));
    ASSERT_TRUE(WriteRawFile(native, "<fileinfo><file FileName=\"old\"/></fileinfo>"));
    ::chmod(native.constData(), 0640);
    const QString path = dir.path() + QString::fromUtf8("/Gr\xC3\xBCn/Caf\xC3\xA9.xml");
    TCatalogTree tree;
    AddItem(tree, nullptr, {{FileName, "new"}});
    TEngine engine;
    engine.Save(tree, path);

    TCatalogTree read;
    engine.Open(path, read);
    EXPECT_EQ(read.GetFirst()->Item().Field(FileName), "new");
    struct stat status {};
    ASSERT_EQ(::stat(native.constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
    // No second file beside it, no temporary file left.
    EXPECT_EQ(RawEntryCount(RawPath(dir.path(), "Gr\xFCn")), 1);

    // A failed write leaves the file as it was.
    EXPECT_THROW(
        WriteFileAtomically(path, [](QIODevice&) { throw TMelodrixError(QStringLiteral("full")); }),
        TMelodrixError);
    engine.Open(path, read);
    EXPECT_EQ(read.GetFirst()->Item().Field(FileName), "new");
    EXPECT_EQ(RawEntryCount(RawPath(dir.path(), "Gr\xFCn")), 1);
}
