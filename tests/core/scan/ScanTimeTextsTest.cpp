#include <gtest/gtest.h>

#include <QDateTime>
#include <QLocale>

#include "core/catalog/ValueFunctions.h"
#include "core/scan/ScanTimeTexts.h"
#include "support/TempDir.h"

using namespace melodrix;

namespace {

class ScanTimeTexts : public ::testing::Test {
protected:
    void SetUp() override {
        savedZone_ = qgetenv("TZ");
        qputenv("TZ", "Europe/Berlin");  // summer time changes, away from UTC
    }
    void TearDown() override {
        if (savedZone_.isNull()) {
            qunsetenv("TZ");
        } else {
            qputenv("TZ", savedZone_);
        }
        ReadSystemTimeZone();
        melodrix::testing::UseEnglishLocale();
    }

private:
    QByteArray savedZone_;
};

}  // namespace

// The texts put together from the pieces of the time format are the locale's own, for
// 12- and 24-hour clocks, AM/PM texts before and after the time, native digits and
// literal letters; a format that cannot be taken apart still gives the locale's text.
TEST_F(ScanTimeTexts, AreWhatTheLocaleWritesInEveryCommonLocale) {
    const std::vector<QLocale> locales = {QLocale(QLocale::English, QLocale::UnitedStates),
                                          QLocale(QLocale::German, QLocale::Germany),
                                          QLocale(QLocale::C),
                                          QLocale(QLocale::Korean, QLocale::SouthKorea),
                                          QLocale(QLocale::Chinese, QLocale::China),
                                          QLocale(QLocale::Arabic, QLocale::Egypt),
                                          QLocale(QLocale::Persian, QLocale::Iran),
                                          QLocale(QLocale::Hindi, QLocale::India),
                                          QLocale(QLocale::Bulgarian, QLocale::Bulgaria),
                                          QLocale(QLocale::Portuguese, QLocale::Brazil),
                                          QLocale(QLocale::Japanese, QLocale::Japan),
                                          QLocale(QLocale::Vietnamese, QLocale::Vietnam)};
    int composed = 0;
    for (const QLocale& locale : locales) {
        QLocale::setDefault(locale);
        TScanTimeTexts texts;
        composed += texts.Composed() ? 1 : 0;
        // Every 7 minutes 13 seconds over two days and across a change of summer time,
        // with midnight itself, which has no time part.
        std::vector<int64_t> moments{1711839600 /* 2024-03-31 00:00 */, 0, -1};
        for (int64_t secs = 1711753200; secs < 1711753200 + 2 * 86400; secs += 433) {
            moments.push_back(secs);
        }
        for (const int64_t secs : moments) {
            const QString expected = DateTimeText(QDateTime::fromSecsSinceEpoch(secs));
            ASSERT_EQ(QString::fromStdString(texts.Text(secs)), expected)
                << locale.name().toStdString() << " " << secs;
        }
    }
    // Taking the format apart is what makes it fast: it must work for nearly every locale.
    EXPECT_GE(composed, static_cast<int>(locales.size()) - 1);
}
