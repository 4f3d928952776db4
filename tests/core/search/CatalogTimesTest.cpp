// Time conditions read each catalog's times in the format the catalog was written in.
#include <gtest/gtest.h>

#include <QDate>
#include <QLocale>
#include <QTemporaryDir>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "core/engine/FileInfo.h"
#include "core/search/SearchConditions.h"
#include "support/TempDir.h"

using namespace melodrix;
using melodrix::testing::WriteFile;

namespace {

using Names = std::vector<std::string>;

// A catalog whose root element carries `rootAttributes` (raw XML), with one file per
// name and time.
QByteArray Catalog(const QByteArray& rootAttributes,
                   const std::vector<std::pair<std::string, std::string>>& files) {
    QByteArray text =
        "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>"
        "<fileinfo generated=\"Vellumdex\"" +
        rootAttributes + "><file FileName=\"/music\" FullPath=\"/music\" FileType=\"directory\">";
    for (const auto& [name, time] : files) {
        text += "<file FileName=\"" + QByteArray::fromStdString(name) +
                "\" FileType=\"file\" FileTime=\"" + QByteArray::fromStdString(time) + "\"/>";
    }
    return text + "</file></fileinfo>";
}

const QByteArray kRecordsC =
    " ScanLocale=\"C\" ScanDateFormat=\"d MMM yyyy\" ScanTimeFormat=\"HH:mm:ss\"";
const QByteArray kRecordsBritish =
    " ScanLocale=\"en_GB\" ScanDateFormat=\"dd/MM/yyyy\" ScanTimeFormat=\"HH:mm:ss\"";

class CatalogTimes : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        ASSERT_TRUE(dir.isValid());
        engine.Document = &document;
    }
    void TearDown() override { melodrix::testing::UseEnglishLocale(); }

    // The names found on or after `day`, searched as one catalog (parsed) and as a group
    // (streamed), which must agree.
    Names After(const QByteArray& catalog, const QDate& day) {
        const QString group = dir.filePath(QStringLiteral("lib"));
        const QString file = WriteFile(group, QStringLiteral("Disk.xml"), catalog);
        TSearchOptions options;
        options.time.low = MsecsOfDayStart(day);
        const Names asCatalog = Run(file, TSearchScope::Catalog, options);
        EXPECT_EQ(Run(group, TSearchScope::Group, options), asCatalog);
        return asCatalog;
    }
    Names Run(const QString& scope, TSearchScope kind, const TSearchOptions& options) {
        TFileItem record;
        record.SetField(FullPath, scope.toStdString());
        TCatalogTree result;
        engine.Search(kind, result, record, options);
        Names names;
        for (int i = 0; i < result.TopLevelCount(); ++i) {
            names.emplace_back(result.TopLevel(i)->Item().Field(FileName));
        }
        return names;
    }

    QTemporaryDir dir;
    pugi::xml_document document;
    TFileInfo engine;
};

}  // namespace

TEST_F(CatalogTimes, ACatalogThatRecordsItsFormatIsReadInIt) {
    const QByteArray catalog =
        Catalog(kRecordsC, {{"december", "9 Dec 2026 21:10:29"}, {"march", "1 Mar 2026"}});
    EXPECT_EQ(After(catalog, QDate(2026, 12, 1)), Names{"december"});
    EXPECT_EQ(After(catalog, QDate(2026, 1, 1)), (Names{"december", "march"}));

    // Day first, as written, not month first, as the current locale would read it.
    const QByteArray british = Catalog(kRecordsBritish, {{"june", "05/06/2026 10:00:00"}});
    EXPECT_EQ(After(british, QDate(2026, 6, 1)), Names{"june"});
    EXPECT_EQ(After(british, QDate(2026, 6, 6)), Names{});
    // A text of another format is not guessed at in a catalog that names its own.
    EXPECT_EQ(After(Catalog(kRecordsBritish, {{"us", "12/9/2026 9:10:29 PM"}}), QDate(2000, 1, 1)),
              Names{});
}

TEST_F(CatalogTimes, ACatalogWithoutARecordIsReadInTheCurrentFormatThenTheCommonOnes) {
    const QByteArray catalog = Catalog("", {{"current", "12/9/2026 9:10:29 PM"},
                                            {"c locale", "9 Dec 2026 21:10:29"},
                                            {"german", "09.12.2026 21:10:29"},
                                            {"iso", "2026-12-09 21:10:29"},
                                            {"early", "1 Jan 2020"},
                                            {"unreadable", "soon"}});
    EXPECT_EQ(After(catalog, QDate(2026, 12, 9)), (Names{"current", "c locale", "german", "iso"}));
    EXPECT_EQ(After(catalog, QDate(2026, 12, 10)), Names{});
    // Month first under the current locale, the first that reads it.
    EXPECT_EQ(After(Catalog("", {{"may", "5/6/2026"}}), QDate(2026, 5, 7)), Names{});
}
