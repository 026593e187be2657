#include "views/InfoText.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

namespace kirvano {
namespace {

CivilTime At(int y, int mo, int d, int h, int mi, int s) {
    CivilTime t;
    t.year = static_cast<std::uint16_t>(y);
    t.month = static_cast<std::uint16_t>(mo);
    t.day = static_cast<std::uint16_t>(d);
    t.hour = static_cast<std::uint16_t>(h);
    t.minute = static_cast<std::uint16_t>(mi);
    t.second = static_cast<std::uint16_t>(s);
    return t;
}

TEST(InfoText, GValuesAreCutToTwoDecimals) {
    const struct {
        double g;
        std::optional<std::string> text;
    } cases[] = {
        {0.129, "0.12G"},     {-0.129, "-0.12G"},
        {1.999, "1.99G"},     {-2.7, "-2.70G"},
        {0.0, "0.00G"},       {-0.001, "0.00G"}, // never the missing value's "-0.00G"
        {-4.999, "-4.99G"},   {-5.0, std::nullopt},
        {-7.5, std::nullopt}, {std::numeric_limits<double>::quiet_NaN(), std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GValueText(c.g), c.text) << c.g;
    }
}

TEST(InfoText, SpeedIsLimitedAndNeedsAFix) {
    const struct {
        bool valid;
        double kmh;
        std::optional<std::string> text;
    } cases[] = {
        {true, 1234.0, "999 "}, {true, 999.4, "999 "},      {true, 42.4, "42 "},
        {true, 0.0, "0 "},      {true, -1.0, std::nullopt}, {false, 60.0, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SpeedText(c.valid, c.kmh), c.text) << c.kmh;
    }
    // In miles an hour: converted first, then limited; the setting's text both ways.
    EXPECT_EQ(SpeedText(true, 100.0, SpeedUnit::Mph), "62 ");
    EXPECT_EQ(SpeedText(true, 160.9344, SpeedUnit::Mph), "100 ");
    EXPECT_EQ(SpeedText(true, 1700.0, SpeedUnit::Mph), "999 ");
    EXPECT_EQ(SpeedText(true, 1500.0, SpeedUnit::Mph), "932 ");
    EXPECT_EQ(SpeedText(false, 100.0, SpeedUnit::Mph), std::nullopt);
    EXPECT_EQ(SpeedUnitFromSetting("mph"), SpeedUnit::Mph);
    EXPECT_EQ(SpeedUnitFromSetting(""), SpeedUnit::Kmh);
    EXPECT_EQ(SpeedUnitFromSetting("MPH"), SpeedUnit::Kmh);
    for (const SpeedUnit unit : {SpeedUnit::Kmh, SpeedUnit::Mph})
        EXPECT_EQ(SpeedUnitFromSetting(SpeedUnitSetting(unit)), unit);
    EXPECT_STREQ(SpeedUnitText(SpeedUnit::Mph), "mph");
    EXPECT_STREQ(SpeedUnitText(SpeedUnit::Kmh), "km/h");
}

TEST(InfoText, FrameTimes) {
    const CivilTime noon = At(2022, 8, 18, 12, 0, 0);
    const struct {
        CivilTime start;
        int frame;
        float duration;
        bool timeLapse;
        std::optional<std::string> text;
    } cases[] = {
        {noon, 300, 33.333f, false, "2022/08/18 12:00:09"},
        {noon, 300, 33.333f, true, "2022/08/18 12:02:29"},
        {noon, 0, 33.333f, false, "2022/08/18 12:00:00"},
        {At(2056, 3, 1, 0, 0, 0), 0, 33.333f, false, "2021/03/01 00:00:00"},
        {At(2049, 12, 31, 23, 59, 59), 30, 33.34f, false, "2015/01/01 00:00:00"},
        {At(2023, 12, 31, 23, 59, 59), 60, 33.34f, false, "2024/01/01 00:00:01"},
        {At(2024, 2, 28, 23, 59, 59), 30, 33.34f, false, "2024/02/29 00:00:00"},
        {noon, -1, 33.333f, false, std::nullopt},
        {CivilTime{}, 300, 33.333f, false, std::nullopt},
        {At(2022, 2, 30, 0, 0, 0), 0, 33.333f, false, std::nullopt},
        {At(2022, 13, 1, 0, 0, 0), 0, 33.333f, false, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FrameTimeText(c.start, c.frame, c.duration, c.timeLapse), c.text)
            << c.start.year << " frame " << c.frame;
    }
    // Single precision, truncated: 300 x 33.333 x 10 000 is 99 999 000 ticks.
    EXPECT_EQ(FrameOffset100ns(300, 33.333f, false), 99'999'000);
    EXPECT_EQ(FrameOffset100ns(300, 33.333f, true), 1'499'985'024);
    EXPECT_EQ(FrameOffset100ns(5, std::numeric_limits<float>::infinity(), false), 0);
}

TEST(InfoText, TimeLapseFollowsTheRateLetter) {
    const struct {
        bool before;
        char rate;
        bool after;
    } cases[] = {{false, 'T', true},
                 {true, 'N', false},
                 {true, 'X', true},
                 {false, 0, false},
                 {true, 't', true}};
    for (const auto& c : cases) {
        EXPECT_EQ(TimeLapseAfterRate(c.before, c.rate), c.after) << c.rate;
    }
}

} // namespace
} // namespace kirvano
