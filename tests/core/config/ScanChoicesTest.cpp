#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "core/catalog/NamePatterns.h"
#include "core/config/Config.h"

using namespace melodrix;

namespace {

TEST(ScanChoices, AreRememberedInTheFileAndHandEditsAreReadSafely) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        TConfig config(dir.path());
        // A file that names neither choice: no archives, the default patterns.
        EXPECT_FALSE(config.ConfigRoot().LookInsideArchives());
        EXPECT_EQ(config.ConfigRoot().ExcludePatterns(), DefaultExcludePatterns());
        config.ConfigRoot().SetLookInsideArchives(true);
        config.ConfigRoot().SetExcludePatterns({QStringLiteral("*.tmp"), QStringLiteral("@eaDir")});
        config.SaveConfig();
    }
    {
        TConfig config(dir.path());
        EXPECT_TRUE(config.ConfigRoot().LookInsideArchives());
        EXPECT_EQ(config.ConfigRoot().ExcludePatterns(),
                  (QStringList{QStringLiteral("*.tmp"), QStringLiteral("@eaDir")}));
        // No patterns at all is a choice of its own, not the defaults.
        config.ConfigRoot().SetExcludePatterns({});
        config.SaveConfig();
    }
    TConfig config(dir.path());
    EXPECT_TRUE(config.ConfigRoot().ExcludePatterns().isEmpty());
}

}  // namespace
