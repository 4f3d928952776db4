// A search that has a cancel flag of its own (a search on a worker thread): it stops on that
// flag, and leaves the process-wide Cancel of another operation pending.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <functional>
#include <string>
#include <vector>

#include "core/catalog/Sinks.h"
#include "core/search/Search.h"
#include "core/search/SearchConditions.h"
#include "support/TempDir.h"

using namespace melodrix;
using melodrix::testing::WriteFile;

namespace {

QByteArray Catalog(const char* disk) {
    QByteArray text =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><fileinfo generated=\"x\">"
        "<file FileName=\"/m\" FullPath=\"/m\" FileType=\"directory\">";
    for (const char* name : {"song one.mp3", "song two.mp3", "other.txt"}) {
        text += QByteArray("<file FileName=\"") + disk + " " + name + "\" FullPath=\"/m/" + name +
                "\" FileType=\"file\"/>";
    }
    return text + "</file></fileinfo>";
}

// The sink of a search whose Cancel belongs to it alone.
class TOwnCancel final : public IProgressSink {
public:
    void ShowProgress(bool, bool) override {}
    void SetProgressText(const QString&) override {}
    bool CancelRequested() override { return cancel; }
    void ForgetEarlierCancel() override {}
    bool cancel = false;
};

class SearchCancel : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        WriteFile(dir.path(), QStringLiteral("Group/a.xml"), Catalog("a"));
        WriteFile(dir.path(), QStringLiteral("Group/b.xml"), Catalog("b"));
        SetCancelRequested(false);
    }
    void TearDown() override { SetCancelRequested(false); }

    // The names of the hits of "song" in the group, catalog by catalog; `afterCatalog` runs
    // once each catalog has been searched.
    std::vector<std::string> Songs(IProgressSink& progress,
                                   const std::function<void()>& afterCatalog = {}) {
        TFileItem conditions;
        conditions.SetField(FullPath, (dir.path() + QStringLiteral("/Group")).toStdString());
        conditions.SetField(FileName, "song");
        TSearchLeftover leftover;
        std::vector<std::string> names;
        SearchCatalogsInto(progress, TSearchScope::Group, conditions, TSearchOptions(), leftover,
                           [&](const QString&, std::vector<TFileItem>& hits) {
                               for (const TFileItem& hit : hits) {
                                   names.emplace_back(hit.Field(FileName));
                               }
                               if (afterCatalog) {
                                   afterCatalog();
                               }
                           });
        return names;
    }

    QTemporaryDir dir;
};

}  // namespace

TEST_F(SearchCancel, OwnFlagLeavesAnotherOperationsCancelPending) {
    TOwnCancel own;
    SetCancelRequested(true);  // another operation's Cancel that it has not seen yet
    EXPECT_EQ(Songs(own).size(), 4u);
    EXPECT_TRUE(CancelRequested());
    // A search through a sink without a flag of its own forgets it, as it always has.
    EXPECT_EQ(Songs(SilentProgress()).size(), 4u);
    EXPECT_FALSE(CancelRequested());
}

TEST_F(SearchCancel, OwnFlagStopsTheSearchBetweenCatalogs) {
    TOwnCancel own;
    const std::vector<std::string> names = Songs(own, [&] { own.cancel = true; });
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0].substr(0, 2), names[1].substr(0, 2));  // both of one catalog
    EXPECT_FALSE(CancelRequested());
}
