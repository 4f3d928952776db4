#include <gtest/gtest.h>

#include <QDateTime>
#include <QLocale>
#include <vector>

#include "core/catalog/DateTimeParser.h"
#include "core/catalog/ValueFunctions.h"
#include "support/TempDir.h"

using namespace melodrix;
using namespace melodrix::testing;

namespace {

// Runs each test once in English (United States) and once in German, whose decimal
// separator is a comma and whose thousands separator is a dot.
class ValueFunctions : public ::testing::TestWithParam<QLocale::Language> {
protected:
    void SetUp() override {
        QLocale::setDefault(GetParam() == QLocale::German
                                ? QLocale(QLocale::German, QLocale::Germany)
                                : QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void TearDown() override { UseEnglishLocale(); }
    bool German() const { return GetParam() == QLocale::German; }
    // "1.5" written with the locale's decimal separator.
    std::string Decimal(std::string text) const {
        if (German()) {
            std::replace(text.begin(), text.end(), '.', ',');
        }
        return text;
    }
};

QString Display(int field, std::string_view text) {
    TFileItem item;
    item.SetField(field, text);
    return FieldDisplayText(field, &item);
}

}  // namespace

TEST_P(ValueFunctions, DisplayTextOfSizesAndPercentages) {
    EXPECT_EQ(FieldDisplayText(FileSize, nullptr), QString());
    EXPECT_EQ(Display(FileSize, "0").toStdString(), Decimal("0.00 KB"));
    EXPECT_EQ(Display(FileSize, "1536").toStdString(), Decimal("1.50 KB"));
    EXPECT_EQ(Display(FileSize, "2500000").toStdString(), German() ? "2.441,41 KB" : "2,441.41 KB");
    EXPECT_EQ(Display(FileSize, "abc"), QString());
    EXPECT_EQ(Display(FileSize, ""), QString());
    // A size written with the other locale's separator is not a number here.
    EXPECT_EQ(Display(FileSize, German() ? "1.5" : "1,5"), QString());

    EXPECT_EQ(Display(SizePercentage, "12.50"), QStringLiteral("12.50%"));
    EXPECT_EQ(Display(SizePercentage, ""), QString());
    EXPECT_EQ(Display(FileTime, "x y"), QStringLiteral("x y"));
    EXPECT_EQ(Display(MP3_Title, "Caf\xC3\xA9"), QString::fromUtf8("Caf\xC3\xA9"));
    EXPECT_EQ(Display(99, "x"), QString());

    // Playing times to the nearest second, m:ss under an hour.
    EXPECT_EQ(Display(AudioDuration, "0"), QStringLiteral("0:00"));
    EXPECT_EQ(Display(AudioDuration, "59499"), QStringLiteral("0:59"));
    EXPECT_EQ(Display(AudioDuration, "59500"), QStringLiteral("1:00"));
    EXPECT_EQ(Display(AudioDuration, "3599499"), QStringLiteral("59:59"));
    EXPECT_EQ(Display(AudioDuration, "3600000"), QStringLiteral("1:00:00"));
    EXPECT_EQ(Display(AudioDuration, "363599000"), QStringLiteral("100:59:59"));
    EXPECT_EQ(Display(AudioDuration, "12 s"), QStringLiteral("12 s")) << "shown as stored";
    EXPECT_EQ(Display(AudioDuration, ""), QString());
}

TEST_P(ValueFunctions, NumberTextFollowsTheLocale) {
    for (const std::string accepted :
         {"0", "42", " 7 ", "-3", "+3", "1.5", ".5", "5.", "1e3", "1.5E-2", "-2.5e+10", "\t12\t"}) {
        EXPECT_TRUE(IsNumberText(Decimal(accepted))) << Decimal(accepted);
    }
    for (const std::string rejected : {"", " ", "abc", "1x", "e5", "1e", "1e+", "--1", "1 000",
                                       "0x10", "nan", "inf", ".", "-"}) {
        EXPECT_FALSE(IsNumberText(rejected)) << rejected;
    }
    EXPECT_FALSE(IsNumberText(German() ? "1.5" : "1,5")) << "the other locale's separator";
    EXPECT_FALSE(IsNumberText(German() ? "1.000,5" : "1,000.5")) << "thousands separators";
    EXPECT_DOUBLE_EQ(NumberOfText(Decimal("-2.25")).value(), -2.25);
    EXPECT_EQ(NumberOfText("1e999").value(), HUGE_VAL);
    EXPECT_EQ(NumberOfText("1e-999").value(), 0.0);
}

TEST_P(ValueFunctions, NumberComparisonNeverGivesZero) {
    EXPECT_EQ(CompareNumberText("10", "9"), 1) << "as numbers, not as texts";
    EXPECT_EQ(CompareNumberText("9", "10"), -1);
    EXPECT_EQ(CompareNumberText("9", "9"), -1);
    EXPECT_EQ(CompareNumberText("x", "-1"), 1) << "x counts as 0";
    EXPECT_EQ(CompareNumberText("x", "y"), -1);
    EXPECT_EQ(CompareNumberText(Decimal("2.5"), "2"), 1);
    EXPECT_EQ(CompareNumberText("", "0"), -1);
}

TEST_P(ValueFunctions, TimestampsWithinAMillisecondAreEqual) {
    constexpr double kMs = 1.0 / 86400000.0;
    const double t = 44000.5;
    EXPECT_EQ(CompareTimestamps(t, t + 0.4 * kMs), 0);
    EXPECT_EQ(CompareTimestamps(t + 0.4 * kMs, t), 0);
    EXPECT_EQ(CompareTimestamps(t + 2 * kMs, t), 1);
    EXPECT_EQ(CompareTimestamps(t, t + 2 * kMs), -1);
    EXPECT_EQ(CompareTimestamps(-1.0, 1.0), -1) << "before the day count's epoch";
}

TEST_P(ValueFunctions, DateTimeTextsRoundTripAndCompare) {
    const QDateTime afternoon(QDate(2021, 3, 4), QTime(13, 5, 6));
    const QDateTime midnight(QDate(1975, 12, 31), QTime(0, 0));
    const QString a = DateTimeText(afternoon);
    const QString m = DateTimeText(midnight);
    EXPECT_EQ(
        a, German() ? QStringLiteral("04.03.2021 13:05:06") : QStringLiteral("3/4/2021 1:05:06 PM"))
        << a.toStdString();
    EXPECT_EQ(m, German() ? QStringLiteral("31.12.1975") : QStringLiteral("12/31/1975"))
        << "no time at exactly midnight, four-digit year";
    EXPECT_EQ(ParseDateTimeText(a), afternoon);
    EXPECT_EQ(ParseDateTimeText(m), midnight);
    EXPECT_FALSE(ParseDateTimeText(QStringLiteral("not a date")));
    EXPECT_FALSE(ParseDateTimeText(QString()));

    const std::string later = DateTimeText(afternoon.addSecs(1)).toStdString();
    const std::string text = a.toStdString();
    EXPECT_EQ(CompareDateTimeText(text, later), -1);
    EXPECT_EQ(CompareDateTimeText(later, text), 1);
    EXPECT_EQ(CompareDateTimeText(text, text), 0);
    EXPECT_EQ(CompareDateTimeText(m.toStdString(), text), -1);
    EXPECT_EQ(CompareDateTimeText("", ""), -1);
    EXPECT_EQ(CompareDateTimeText("", text), -1);
    EXPECT_EQ(CompareDateTimeText(text, ""), 1);
    EXPECT_EQ(CompareDateTimeText("garbage", ""), 1);
    EXPECT_EQ(CompareDateTimeText("garbage", text), 1);
    EXPECT_EQ(CompareDateTimeText(text, "garbage"), 1);
}

INSTANTIATE_TEST_SUITE_P(Locales, ValueFunctions,
                         ::testing::Values(QLocale::English, QLocale::German),
                         [](const auto& info) {
                             return info.param == QLocale::German ? std::string("German")
                                                                  : std::string("English");
                         });

namespace {

const QDateTime kSampleTimes[] = {
    QDateTime(QDate(2021, 3, 4), QTime(13, 5, 6)), QDateTime(QDate(1999, 12, 31), QTime(0, 0, 1)),
    QDateTime(QDate(2004, 2, 29), QTime(0, 0)), QDateTime(QDate(2010, 11, 7), QTime(12, 30, 59))};

}  // namespace

TEST(DateTimeParser, ReadsBackWhatEveryLocaleWrites) {
    const QList<QLocale> locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyCountry);
    QStringList unreadable;
    QStringList slow;
    for (const QLocale& locale : locales) {
        QLocale::setDefault(locale);
        if (!TDateTimeParser().IsFast()) {
            slow << locale.name();
        }
        for (const QDateTime& time : kSampleTimes) {
            const QString text = DateTimeText(time);
            if (ParseDateTimeText(text) != time) {
                unreadable << locale.name() + QStringLiteral(": ") + text;
            }
        }
    }
    UseEnglishLocale();
    // Quoted literals, native digits and AM/PM texts in any case are read without the
    // locale's parser (which overruns a buffer on some AM/PM texts in this Qt).
    EXPECT_LE(slow.size(), 1) << slow.join(u' ').toStdString();
    EXPECT_TRUE(unreadable.isEmpty()) << unreadable.join(u'\n').toStdString();
}

TEST(DateTimeParser, AgreesWithTheLocaleParser) {
    // The fast reader must take every text the locale's own parser takes, to the same
    // moment; the sort and the comparison functions depend on it.
    for (const char* name : {"en_US", "en_GB", "de_DE", "fr_FR", "es_ES", "it_IT", "pt_BR", "nl_NL",
                             "sv_SE", "fi_FI", "pl_PL", "cs_CZ", "hu_HU", "ru_RU", "uk_UA", "el_GR",
                             "tr_TR", "he_IL", "ja_JP", "zh_CN", "zh_TW", "ko_KR", "th_TH", "vi_VN",
                             "id_ID", "hi_IN", "en_IN", "en_AU", "fr_CA", "da_DK"}) {
        const QLocale locale(QString::fromLatin1(name));
        QLocale::setDefault(locale);
        const TDateTimeParser parser;
        for (const QDateTime& time : kSampleTimes) {
            const QString text = DateTimeText(time);
            const auto byLocale = ParseDateTimeTextByLocale(text);
            const auto fast = parser.ParseToMsecs(text.toStdString());
            if (!byLocale) {
                continue;  // the locale's parser cannot read its own format back
            }
            ASSERT_TRUE(fast) << name << " " << text.toStdString();
            const QDateTime wall(byLocale->date(), byLocale->time(), Qt::UTC);
            EXPECT_EQ(*fast, QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC).msecsTo(wall))
                << name << " " << text.toStdString();
        }
    }
    UseEnglishLocale();
}

TEST(ValueFunctionsText, CaseFoldingCoversAsciiLettersOnly) {
    EXPECT_EQ(CompareTextIgnoringCase("abc", "ABC"), 0);
    EXPECT_LT(CompareTextIgnoringCase("abc", "ABD"), 0);
    EXPECT_GT(CompareTextIgnoringCase("b", "A"), 0);
    EXPECT_LT(CompareTextIgnoringCase("ab", "abc"), 0);
    EXPECT_GT(CompareTextIgnoringCase("\xC3\xA9", "\xC3\x89"), 0) << "é and É stay apart";
    EXPECT_LT(CompareTextIgnoringCase("Z", "_"), 0) << "letters fold to upper case: Z < _";
    EXPECT_LT(CompareTextIgnoringCase("z", "_"), 0);
    EXPECT_EQ(AsciiUpper("mp3 \xC3\xA9"), "MP3 \xC3\xA9");
}

TEST(ValueFunctionsText, TwoDecimalsRoundHalvesAwayFromZero) {
    // Halves go up, whatever the binary value of the computed share is.
    EXPECT_EQ(TwoDecimalsText(1.0 / 800.0 * 100.0), "0.13");
    EXPECT_EQ(TwoDecimalsText(0.125), "0.13");
    EXPECT_EQ(TwoDecimalsText(0.145), "0.15");
    EXPECT_EQ(TwoDecimalsText(2.675), "2.68");
    EXPECT_EQ(TwoDecimalsText(-0.125), "-0.13");
    EXPECT_EQ(TwoDecimalsText(0.1249), "0.12");
    EXPECT_EQ(TwoDecimalsText(0.005), "0.01");
    EXPECT_EQ(TwoDecimalsText(0.004999), "0.00");
    EXPECT_EQ(TwoDecimalsText(0.0004), "0.00");
    EXPECT_EQ(TwoDecimalsText(-0.001), "0.00");
    EXPECT_EQ(TwoDecimalsText(0), "0.00");
    EXPECT_EQ(TwoDecimalsText(99.995), "100.00");
    EXPECT_EQ(TwoDecimalsText(25), "25.00");
    EXPECT_EQ(TwoDecimalsText(100), "100.00");
    EXPECT_EQ(TwoDecimalsText(123456.789), "123456.79");
    EXPECT_EQ(TwoDecimalsText(1e20), "100000000000000000000.00");

    EXPECT_EQ(PercentageText(0.125), QStringLiteral("0.13"));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(PercentageText(1234.125), QStringLiteral("1234,13"));
    UseEnglishLocale();
}

TEST(LocalDateAndTime, GivesWhatQtGivesAcrossZonesAndChangesOfSummerTime) {
    const QByteArray savedZone = qgetenv("TZ");
    // Zones with summer time on both halves of the world, one with a half-hour offset.
    for (const char* zone : {"Europe/Berlin", "America/New_York", "Australia/Adelaide", "UTC"}) {
        qputenv("TZ", zone);
        ReadSystemTimeZone();
        // Every 97 minutes from 1965 to 2045 meets each change of summer time at odd minutes;
        // the far moments are the edges of what the system converts.
        std::vector<int64_t> moments{0, -1, 1, -86400LL * 365 * 300, 86400LL * 365 * 3000};
        for (int64_t secs = -157766400; secs < 2366841600; secs += 97 * 60) {
            moments.push_back(secs);
        }
        for (const int64_t secs : moments) {
            const QDateTime expected = QDateTime::fromSecsSinceEpoch(secs);
            const auto local = LocalDateAndTime(secs);
            ASSERT_EQ(local.has_value(), expected.isValid()) << zone << " " << secs;
            if (local) {
                ASSERT_EQ(local->first, expected.date()) << zone << " " << secs;
                ASSERT_EQ(local->second, expected.time()) << zone << " " << secs;
            }
        }
    }
    if (savedZone.isNull()) {
        qunsetenv("TZ");
    } else {
        qputenv("TZ", savedZone);
    }
    ReadSystemTimeZone();
}
