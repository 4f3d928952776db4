// The search with the index must give exactly the hits of the search without it, for every
// kind of condition, and never a hit of a catalog as it was before a change.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/base/Errors.h"
#include "core/index/SearchIndex.h"
#include "core/search/Duplicates.h"
#include "core/search/Search.h"
#include "core/search/SearchConditions.h"
#include "support/TempDir.h"

using namespace melodrix;
using melodrix::testing::WriteFile;

namespace {

// Words of names and tags: cases and foldings that differ between ASCII and Unicode, the
// characters wildcards and regular expressions treat specially, and XML entities.
const std::vector<std::string> kWords = {
    "Straße",
    "STRASSE",
    "strasse",
    "Кино",
    "кино",
    "BJÖRK",
    "björk",
    "Édith",
    "ÉDITH",
    "\u212Aelvin",
    "kelvin",
    "\uFB01ne",
    "fine",
    "İstanbul",
    "naïve",
    "日本",
    "Love",
    "LOVE",
    "love",
    "Night",
    "Echo",
    "a*b",
    "x?y",
    "[Live]",
    "100%",
    "Rock &amp; Roll",
    "&quot;Q&quot;",
    "Don&apos;t",
    "Café",
    "ÆON",
    "σίσυφος",
    "ΣΊΣΥΦΟΣ",
    "Mix",
    "mix",
    "01",
    "02",
    "Ab",
    "aB",
};
const std::vector<std::string> kExtensions = {"mp3", "MP3", "flac", "jpg", "txt", ""};
const std::vector<std::string> kCodecs = {"MP3", "FLAC", "Vorbis", "Opus"};

class TGenerator {
public:
    explicit TGenerator(uint32_t seed) : random_(seed) {}

    int Below(int n) { return static_cast<int>(random_() % static_cast<uint32_t>(n)); }
    bool Chance(int percent) { return Below(100) < percent; }
    const std::string& Pick(const std::vector<std::string>& from) {
        return from[static_cast<size_t>(Below(static_cast<int>(from.size())))];
    }
    std::string Words(int most) {
        std::string text;
        const int count = 1 + Below(most);
        for (int i = 0; i < count; ++i) {
            text += (i ? " " : "") + Pick(kWords);
        }
        return text;
    }

    // A catalog text of a few folders and files; `odd` adds what only the XML parser reads
    // or what the streamed reader must take with care.
    QByteArray Catalog(const std::string& disk, int items, bool odd) {
        std::string text =
            "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?><fileinfo "
            "generated=\"test\"";
        if (Chance(30)) {
            text +=
                " ScanLocale=\"en_US\" ScanDateFormat=\"M/d/yyyy\" ScanTimeFormat=\"h:mm:ss AP\"";
        }
        text += "><file FileName=\"/m\" FullPath=\"/m\" FileType=\"directory\" FileSize=\"1\"";
        text += " DiskName=\"" + disk + "\">";
        int depth = 0;
        for (int i = 0; i < items; ++i) {
            if (Chance(15) && depth < 3) {
                text += "<file FileName=\"" + Words(2) + "\" FullPath=\"/m/d" + std::to_string(i) +
                        "\" FileType=\"directory\" FileSize=\"" + std::to_string(Below(100000)) +
                        "\">";
                ++depth;
                continue;
            }
            if (Chance(10) && depth > 0) {
                text += "</file>";
                --depth;
            }
            const std::string ext = Pick(kExtensions);
            std::string name = (Chance(50) ? Pick({"01", "02", "10"}) + " - " : "") + Words(3);
            if (!ext.empty()) {
                name += "." + ext;
            }
            text += "<file FileName=\"" + name + "\" FullPath=\"/m/f" + std::to_string(i) + "/" +
                    name + "\" FileSize=\"" + std::to_string(Below(10'000'000)) + "\" FileTime=\"" +
                    std::to_string(1 + Below(12)) + "/" + std::to_string(1 + Below(28)) + "/" +
                    std::to_string(1990 + Below(35)) + " " + std::to_string(1 + Below(12)) + ":0" +
                    std::to_string(Below(10)) + ":00 " + (Chance(50) ? "AM" : "PM") + "\"";
            if (!ext.empty()) {
                text += " FileExt=\"" + ext + "\"";
            }
            text += " FileType=\"file\"";
            if (Chance(20)) {
                text += " Description=\"" + Words(2) + "\"";
            }
            if (Chance(60)) {
                text += " MP3_Title=\"" + Words(2) + "\" MP3_Artist=\"" + Words(1) +
                        "\" MP3_Year=\"" + std::to_string(1960 + Below(65)) + "\" MP3_Genre=\"" +
                        Pick({"Rock", "Jazz", "Pop", "Chanson"}) + "\" MP3_Track=\"" +
                        std::to_string(1 + Below(15)) + (Chance(50) ? "/15" : "") +
                        "\" AudioDuration=\"" + std::to_string(Below(600'000)) +
                        "\" AudioBitrate=\"" + std::to_string(64 + Below(256)) +
                        "\" AudioCodec=\"" + Pick(kCodecs) + "\"";
            }
            if (odd && Chance(10)) {
                text += " MP3_Comment=\"bell&#7;\"";  // mended to U+FFFD when read
            }
            if (odd && Chance(5)) {
                text += " FileName=\"again " + Words(1) + "\"";  // a repeated attribute
            }
            text += "/>";
            if (odd && Chance(3)) {
                text += "stray text";  // only the XML parser keeps this file's reading
            }
        }
        for (; depth > 0; --depth) {
            text += "</file>";
        }
        return QByteArray::fromStdString(text + "</file></fileinfo>");
    }

    // A text taken from a name that exists, in another case now and then.
    std::string NameText() {
        std::string word = Pick(kWords);
        if (Chance(40)) {
            const QString text = QString::fromUtf8(word);
            const int from = Below(std::max<int>(1, static_cast<int>(text.size()) - 1));
            word = text.mid(from, 1 + Below(4)).toUtf8().toStdString();
        }
        if (Chance(25)) {
            word = QString::fromUtf8(word).toUpper().toUtf8().toStdString();
        } else if (Chance(25)) {
            word = QString::fromUtf8(word).toLower().toUtf8().toStdString();
        }
        return word;
    }

private:
    std::mt19937 random_;
};

struct THit {
    QString catalog;
    std::vector<std::string> fields;
    bool operator==(const THit&) const = default;
};

struct TOutcome {
    std::vector<THit> hits;
    QStringList skipped;
    QString error;
    bool operator==(const TOutcome&) const = default;
};

TOutcome SearchOnce(TSearchScope scope, const QString& scopePath, const TFileItem& record,
                    const TSearchOptions& options, ICatalogCopies* copies) {
    TOutcome outcome;
    TSilentProgress progress;
    TSearchLeftover leftover;
    TFileItem conditions = record;
    conditions.SetField(FullPath, scopePath.toStdString());
    try {
        outcome.skipped = SearchCatalogsInto(
            progress, scope, conditions, options, leftover,
            [&](const QString& catalog, std::vector<TFileItem>& hits) {
                for (const TFileItem& item : hits) {
                    THit hit{catalog, {}};
                    for (int field = 0; field < FieldCount; ++field) {
                        hit.fields.emplace_back(item.Field(field));
                    }
                    outcome.hits.push_back(std::move(hit));
                }
            },
            copies);
    } catch (const TSearchConditionError& error) {
        outcome.error = error.Message();
    }
    return outcome;
}

class IndexedSearch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(library_.isValid() && cache_.isValid());
        index_.emplace(cache_.path());
    }

    // A library of groups and catalogs, some odd, one not a catalog at all and one empty.
    void MakeLibrary(TGenerator& generator) {
        for (int i = 0; i < 9; ++i) {
            WriteCatalog(generator, i);
        }
        WriteFile(library_.path(), QStringLiteral("Group 1/broken.xml"), "<fileinfo><file");
        WriteFile(library_.path(), QStringLiteral("Group 2/empty.xml"), QByteArray());
    }

    QString CatalogPath(int i) const {
        return library_.path() + QStringLiteral("/Group %1/Disk %2.xml").arg(i % 3).arg(i);
    }

    // Replaced atomically, as every writer of catalogs does.
    void WriteCatalog(TGenerator& generator, int i) {
        const QString path = CatalogPath(i);
        QDir().mkpath(QFileInfo(path).absolutePath());
        const QString temporary = path + QStringLiteral(".new");
        WriteFile(
            QString(), temporary,
            generator.Catalog("Disk " + std::to_string(i), 40 + generator.Below(200), i % 3 == 2));
        ASSERT_TRUE(std::rename(QFile::encodeName(temporary).constData(),
                                QFile::encodeName(path).constData()) == 0);
    }

    // A random search over a random scope.
    void RandomQuery(TGenerator& g, TSearchScope& scope, QString& scopePath, TFileItem& record,
                     TSearchOptions& options) {
        options = TSearchOptions();
        record = TFileItem();
        const int where = g.Below(10);
        scope = where < 7 ? TSearchScope::Group : TSearchScope::Catalog;
        scopePath = where < 5   ? library_.path()
                    : where < 7 ? library_.path() + QStringLiteral("/Group %1").arg(g.Below(3))
                                : CatalogPath(g.Below(9));
        options.mode = static_cast<TTextMode>(g.Below(4));
        options.caseSensitive = g.Chance(30);
        std::string name = g.Chance(85) ? g.NameText() : std::string();
        if (options.mode == TTextMode::Wildcard && !name.empty()) {
            name = (g.Chance(70) ? "*" : "") + name + (g.Chance(70) ? "*" : "?*");
        } else if (options.mode == TTextMode::Regex && !name.empty() && g.Chance(30)) {
            name = g.Chance(50) ? "^" + name : name + "|(";  // the second does not compile
        }
        record.SetField(FileName, name);
        if (g.Chance(20)) {
            record.SetField(FileExt, g.Pick(kExtensions));
        }
        if (g.Chance(10)) {
            record.SetField(Description, g.NameText());
        }
        if (g.Chance(15)) {
            const int fields[] = {MP3_Artist, MP3_Title, DiskName, FullPath, MP3_Genre};
            options.texts.push_back({fields[g.Below(5)], g.NameText()});
        }
        if (g.Chance(15)) {
            options.size.low = static_cast<uint64_t>(g.Below(5'000'000));
        }
        if (g.Chance(10)) {
            options.year = {1970 + g.Below(30), 2000 + g.Below(25)};
        }
        if (g.Chance(10)) {
            options.time.low = MsecsOfDayStart(QDate(2000 + g.Below(20), 1, 1));
        }
        if (g.Chance(10)) {
            options.track.high = 1 + g.Below(10);
        }
        if (g.Chance(10)) {
            options.durationMs.low = g.Below(300'000);
        }
        if (g.Chance(10)) {
            options.bitrate = {96, 96 + g.Below(200)};
        }
        if (g.Chance(10)) {
            options.codec = g.Pick(kCodecs);
        }
        if (g.Chance(20)) {
            options.kind = g.Chance(50) ? TItemKind::Files : TItemKind::Folders;
        }
    }

    void ExpectSameHits(TGenerator& g, int queries, int& withHits) {
        for (int q = 0; q < queries; ++q) {
            TSearchScope scope;
            QString scopePath;
            TFileItem record;
            TSearchOptions options;
            RandomQuery(g, scope, scopePath, record, options);
            const TOutcome expected = SearchOnce(scope, scopePath, record, options, nullptr);
            const TOutcome indexed = SearchOnce(scope, scopePath, record, options, &*index_);
            withHits += !expected.hits.empty();
            ASSERT_EQ(indexed.error, expected.error) << "query " << q;
            ASSERT_EQ(indexed.skipped, expected.skipped) << "query " << q;
            ASSERT_EQ(indexed.hits.size(), expected.hits.size())
                << "query " << q << ": name \"" << record.Field(FileName) << "\" mode "
                << static_cast<int>(options.mode) << " case " << options.caseSensitive;
            ASSERT_TRUE(indexed.hits == expected.hits) << "query " << q;
        }
    }

    QTemporaryDir library_;
    QTemporaryDir cache_;
    std::optional<TSearchIndex> index_;
};

TEST_F(IndexedSearch, RandomQueriesGiveTheHitsOfTheFullSearch) {
    TGenerator generator(20261210);
    MakeLibrary(generator);
    int withHits = 0;
    ExpectSameHits(generator, 400, withHits);
    // The queries must find things, or the comparison proves little.
    EXPECT_GT(withHits, 150);
    // The copies were made once and are what later searches use.
    EXPECT_EQ(QDir(cache_.path()).entryList({QStringLiteral("*.copy")}).size(), 9);
}

TEST_F(IndexedSearch, ChangedAddedAndDeletedCatalogsNeverGiveStaleHits) {
    TGenerator generator(77);
    MakeLibrary(generator);
    int withHits = 0;
    for (int round = 0; round < 40; ++round) {
        const int catalog = generator.Below(12);
        switch (generator.Below(4)) {
            case 0:
            case 1:
                WriteCatalog(generator, catalog);  // changed, or added when it was not there
                break;
            case 2:
                QFile::remove(CatalogPath(catalog));
                break;
            case 3: {
                // Written in place: the same file, another size.
                QFile file(CatalogPath(catalog));
                if (file.exists() && file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                    file.write(generator.Catalog("in place", 30 + generator.Below(50), false));
                }
                break;
            }
        }
        ExpectSameHits(generator, 8, withHits);
    }
    EXPECT_GT(withHits, 60);
}

TEST_F(IndexedSearch, ACopyThatIsDamagedOrForeignIsNotUsed) {
    TGenerator generator(5);
    MakeLibrary(generator);
    int withHits = 0;
    ExpectSameHits(generator, 20, withHits);
    // Every copy cut short, or overwritten with another catalog's copy.
    const QStringList copies = QDir(cache_.path()).entryList({QStringLiteral("*.copy")});
    ASSERT_EQ(copies.size(), 9);
    const QByteArray other =
        melodrix::testing::ReadFile(cache_.path() + QLatin1Char('/') + copies[0]);
    for (qsizetype i = 0; i < copies.size(); ++i) {
        const QString file = cache_.path() + QLatin1Char('/') + copies[i];
        QByteArray bytes = melodrix::testing::ReadFile(file);
        if (i % 3 == 0) {
            bytes.truncate(bytes.size() / 2);
        } else if (i % 3 == 1) {
            bytes = other;
        } else {
            for (qsizetype at = 200; at < bytes.size(); at += 97) {
                bytes[at] = static_cast<char>(bytes[at] ^ 0x5A);  // records scrambled
            }
        }
        WriteFile(QString(), file, bytes);
    }
    ExpectSameHits(generator, 60, withHits);
}

TEST_F(IndexedSearch, WithoutAWritableIndexFolderTheSearchIsTheSame) {
    TGenerator generator(9);
    MakeLibrary(generator);
    index_.emplace(QStringLiteral("/proc/no-index-here"));
    int withHits = 0;
    ExpectSameHits(generator, 40, withHits);
    EXPECT_GT(withHits, 10);
}

TEST_F(IndexedSearch, ASurveyMakesWhatIsMissingAndDropsWhatIsGone) {
    TGenerator generator(11);
    MakeLibrary(generator);
    TSilentProgress progress;
    TIndexSurvey survey = index_->Survey(library_.path(), false, progress);
    EXPECT_EQ(survey.catalogs, 10u);  // nine catalogs and the broken file; the empty one is none
    EXPECT_EQ(survey.current, 9u);
    EXPECT_EQ(survey.made, 9u);
    ASSERT_EQ(survey.unreadable.size(), 1);
    EXPECT_TRUE(survey.unreadable.front().endsWith(QStringLiteral("broken.xml")));
    EXPECT_GT(survey.items, 9u * 40);
    EXPECT_GT(survey.bytes, 0u);
    EXPECT_LT(survey.bytes, survey.catalogBytes);

    EXPECT_EQ(index_->Survey(library_.path(), false, progress).made, 0u);
    WriteCatalog(generator, 3);
    ASSERT_TRUE(QFile::remove(CatalogPath(5)));
    survey = index_->Survey(library_.path(), false, progress);
    EXPECT_EQ(survey.made, 1u);
    EXPECT_EQ(survey.current, 8u);
    EXPECT_EQ(survey.removed, 1u);
    EXPECT_EQ(QDir(cache_.path()).entryList({QStringLiteral("*.copy")}).size(), 8);
    EXPECT_EQ(index_->Survey(library_.path(), true, progress).made, 8u);
    // What the survey made is what the searches use.
    int withHits = 0;
    ExpectSameHits(generator, 30, withHits);
}

// The duplicate finder reads the scope twice through the index, keeping only files whose key
// hash another file shares; the groups must be those of one reading of everything.
std::vector<std::string> DuplicateRows(const TCatalogTree& tree, const TDuplicates& found) {
    std::vector<std::string> rows;
    for (int i = 0; i < tree.TopLevelCount(); ++i) {
        const TFileItem& item = tree.TopLevel(i)->Item();
        rows.push_back(std::to_string(found.groupOfHit[static_cast<size_t>(i)]) + " " +
                       std::string(item.Field(DiskName)) + " " + std::string(item.Field(FullPath)) +
                       " " + tree.SourceCatalog(tree.TopLevel(i)).toStdString());
    }
    rows.push_back(std::to_string(found.groups) + " groups " + std::to_string(found.extraBytes));
    return rows;
}

// Rewrites a catalog when the second reading begins, as another writer might.
class TChangingCopies final : public ICatalogCopies {
public:
    TChangingCopies(ICatalogCopies& copies, std::function<void()> change)
        : copies_(copies), change_(std::move(change)) {}
    void Prepare(const TFileItem& conditions, const TSearchOptions& options) override {
        if (++prepared_ == 2) {
            change_();
        }
        copies_.Prepare(conditions, options);
    }
    bool VisitCandidates(const QString& path, const QByteArray& native,
                         const std::function<void(const TCopiedCatalog&)>& begin,
                         const std::function<bool(const TCopiedItem&)>& visit) override {
        return copies_.VisitCandidates(path, native, begin, visit);
    }

private:
    ICatalogCopies& copies_;
    std::function<void()> change_;
    int prepared_ = 0;
};

TEST_F(IndexedSearch, DuplicatesThroughTheIndexAreThoseOfOneFullReading) {
    TGenerator generator(31);
    MakeLibrary(generator);
    TSilentProgress progress;
    const QString scope = library_.path();
    for (const TDuplicateKey key :
         {TDuplicateKey::NameSize, TDuplicateKey::Size, TDuplicateKey::ArtistTitle,
          TDuplicateKey::ArtistAlbumTitle, TDuplicateKey::ArtistTitleDuration}) {
        TCatalogTree expected;
        TCatalogTree indexed;
        TSearchLeftover leftover;
        const TDuplicates plain = FindDuplicates(progress, TSearchScope::Group, scope, key,
                                                 QString(), expected, leftover);
        const TDuplicates twice = FindDuplicates(progress, TSearchScope::Group, scope, key,
                                                 QString(), indexed, leftover, &*index_);
        EXPECT_EQ(DuplicateRows(indexed, twice), DuplicateRows(expected, plain));
        EXPECT_EQ(twice.skipped, plain.skipped);
        if (key == TDuplicateKey::ArtistTitle) {
            EXPECT_GT(plain.groups, 20);  // the library has copies to find
        }
    }

    // A catalog rewritten between the two readings: the result is that of the library as it
    // is after the change, not a mixture.
    TChangingCopies changing(*index_, [&] { WriteCatalog(generator, 4); });
    TCatalogTree indexed;
    TSearchLeftover leftover;
    const TDuplicates twice =
        FindDuplicates(progress, TSearchScope::Group, scope, TDuplicateKey::ArtistTitle, QString(),
                       indexed, leftover, &changing);
    TCatalogTree expected;
    const TDuplicates plain =
        FindDuplicates(progress, TSearchScope::Group, scope, TDuplicateKey::ArtistTitle, QString(),
                       expected, leftover);
    EXPECT_EQ(DuplicateRows(indexed, twice), DuplicateRows(expected, plain));
}

TEST(NarrowingText, IsTheFoldedNameOrNothingWhereNoTextMustOccur) {
    TFileItem record;
    TSearchOptions options;
    record.SetField(FileName, "STRAßE");
    EXPECT_EQ(TSearchIndex::NarrowingText(record, options), "strasse");
    options.caseSensitive = true;
    EXPECT_EQ(TSearchIndex::NarrowingText(record, options), "strasse");
    options.mode = TTextMode::Wildcard;
    record.SetField(FileName, "*Ab?Love*x");
    EXPECT_EQ(TSearchIndex::NarrowingText(record, options), "love");
    record.SetField(FileName, "*?*");
    EXPECT_EQ(TSearchIndex::NarrowingText(record, options), "");
    options.mode = TTextMode::Regex;
    record.SetField(FileName, "Love");
    EXPECT_EQ(TSearchIndex::NarrowingText(record, options), "");
    options.mode = TTextMode::Contains;
    record.SetField(FileName, "\xC3(");  // not UTF-8: no narrowing
    EXPECT_EQ(TSearchIndex::NarrowingText(record, options), "");
}

}  // namespace
