#include <gtest/gtest.h>

#include <QDateTime>
#include <QLocale>

#include "core/catalog/DateTimeParser.h"
#include "core/catalog/TimeFormat.h"
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

// A catalog's times are read in the format they were written in, whatever locale reads them:
// month names, AM/PM texts and native digits included.
TEST_F(ScanTimeTexts, AreReadBackInTheirOwnFormatUnderAnyLocale) {
    const std::vector<QLocale> locales = {QLocale(QLocale::C),
                                          QLocale(QLocale::English, QLocale::UnitedStates),
                                          QLocale(QLocale::English, QLocale::UnitedKingdom),
                                          QLocale(QLocale::German, QLocale::Germany),
                                          QLocale(QLocale::Korean, QLocale::SouthKorea),
                                          QLocale(QLocale::Arabic, QLocale::Egypt),
                                          QLocale(QLocale::Hindi, QLocale::India),
                                          QLocale(QLocale::Portuguese, QLocale::Brazil)};
    for (const QLocale& locale : locales) {
        QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
        const TTimeFormat format = TimeFormatOf(locale);
        TScanTimeTexts texts(format);
        const TDateTimeParser parser(format);
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        for (int64_t secs = 1733778629; secs < 1733778629 + 400 * 86400; secs += 86400 * 7 + 3607) {
            const QDateTime local = QDateTime::fromSecsSinceEpoch(secs);
            const int64_t expected = QDate(1, 1, 1).daysTo(local.date()) * 86400000 +
                                     local.time().msecsSinceStartOfDay();
            const std::string text = texts.Text(secs);
            ASSERT_EQ(parser.ParseToMsecs(text), expected)
                << locale.name().toStdString() << " " << text;
        }
    }
    // Month names need no help from the locale's own parser.
    EXPECT_TRUE(TDateTimeParser(TimeFormatOf(QLocale::c())).IsFast());
    EXPECT_EQ(
        TDateTimeParser(TimeFormatOf(QLocale::c())).ParseToMsecs("9 dec 2026 21:10:29"),
        QDate(1, 1, 1).daysTo(QDate(2026, 12, 9)) * 86400000 + (21 * 3600 + 10 * 60 + 29) * 1000);
}
