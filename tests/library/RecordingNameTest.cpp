#include "library/RecordingName.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"
#include "ui/UiText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace kirvano {
namespace {

struct NameCase {
    const char* name;
    bool recording;
    bool front;
    std::optional<EventType> type;
    int mask;
    char letter;
};

TEST(RecordingName, Classification) {
    const NameCase cases[] = {
        {"AGS-220801-123456-000123F.MOV", true, true, EventType::ParkingImpact, 0x10, 'A'},
        {"A_S-220801-123456-000123F.MOV", true, true, EventType::Continuous, 0x01, 'A'},
        {"A__-220801-123456-000123R.MOV", true, false, EventType::Continuous, 0x01, 'A'},
        {"G__-220801-123456-000123F.MOV", true, true, EventType::Impact, 0x04, 'G'},
        {"M__-220801-123456-000123F.MOV", true, true, EventType::Manual, 0x02, 'M'},
        {"P__-220801-123456-000123F.MOV", true, true, EventType::Parking, 0x08, 'P'},
        {"T__-220801-123456-000123R.MOV", true, false, EventType::Parking, 0x08, 'T'},
        // underscores at 0 and 1 match the pattern but carry no event type
        {"___-220801-123456-000123F.MOV", false, false, std::nullopt, 0, 0},
        {"_G_-220801-123456-000123F.MOV", true, true, EventType::ParkingImpact, 0x10, '_'},
        // the dot before MOV is a wildcard
        {"A__-220801-123456-000123FxMOV", true, true, EventType::Continuous, 0x01, 'A'},
        // searched, not anchored
        {"A__-220801-123456-000123F.MOV.bak", true, true, EventType::Continuous, 0x01, 'A'},
        {"A__-220801-123456-000123F.mov", false, false, EventType::Continuous, 0x01, 'A'},
        {"A__-220801-123456-00012F.MOV", false, false, EventType::Continuous, 0x01, 'A'},
        {"A__-220801-123456-000123D.ADA", false, false, EventType::Continuous, 0x01, 'A'},
        {"A___220801-123456-000123F.MOV", false, false, EventType::Continuous, 0x01, 'A'},
        {"X__-220801-123456-000123F.MOV", false, false, std::nullopt, 0, 0},
        {"AG", false, false, EventType::ParkingImpact, 0x10, 'A'},
        {"A-", false, false, EventType::Continuous, 0x01, 'A'},
        {"", false, false, std::nullopt, 0, 0},
        {"holiday.mp4", false, false, std::nullopt, 0, 0},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsRecordingName(c.name), c.recording);
        EXPECT_EQ(IsFrontRecordingName(c.name), c.front);
        EXPECT_EQ(EventTypeOf(c.name), c.type);
        EXPECT_EQ(EventTypeMaskOf(c.name), c.mask);
        EXPECT_EQ(TypeLetterOf(c.name), c.letter);
    }
}

// The hand-written matcher against the scheme's pattern as a regular expression: every
// single-character change of a name at every position, with text around it.
TEST(RecordingName, MatcherAgreesWithThePattern) {
    const std::regex any("[APGTM_]{1,1}[G_]{1,1}[S_]{1,1}-[0-9]{6,6}-[0-9]{6,6}-[0-9]{6,6}"
                         "[FR]{1,1}.MOV");
    const std::regex front("[APGTM_]{1,1}[G_]{1,1}[S_]{1,1}-[0-9]{6,6}-[0-9]{6,6}-[0-9]{6,6}"
                           "[F]{1,1}.MOV");
    const std::string replacements = std::string("AGMPTS_FR-09x.\n\r") + '\0';
    int checked = 0;
    for (const std::string base :
         {"A__-220801-123456-000123F.MOV", "TGS-220801-123456-000123R.MOV"}) {
        for (const std::string& around : {std::string(), std::string("-"), std::string("A__-")}) {
            for (std::size_t at = 0; at < base.size(); ++at) {
                for (const char c : replacements) {
                    std::string name = base;
                    name[at] = c;
                    for (const std::string& text : {name, around + name, name + around}) {
                        SCOPED_TRACE(::testing::PrintToString(text));
                        const bool type = EventTypeOf(text).has_value();
                        const bool prefix = text.size() <= 3 || text[3] == '-';
                        EXPECT_EQ(IsRecordingName(text),
                                  prefix && type && std::regex_search(text, any));
                        EXPECT_EQ(IsFrontRecordingName(text),
                                  prefix && type && std::regex_search(text, front));
                        ++checked;
                    }
                }
            }
        }
    }
    EXPECT_GT(checked, 3000);
}

TEST(RecordingName, Labels) {
    SelectUiTextColumn(0);
    const struct {
        const char* name;
        int entry; // -1: empty
    } cases[] = {
        {"AGS-220801-123456-000123F.MOV", 141}, {"A__-220801-123456-000123F.MOV", 26},
        {"G__-220801-123456-000123F.MOV", 29},  {"M__-220801-123456-000123F.MOV", 27},
        {"P__-220801-123456-000123F.MOV", 28},  {"T__-220801-123456-000123F.MOV", 28},
        {"___-220801-123456-000123F.MOV", -1},  {"A__-220801-123456-000123F.MO", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EventTypeLabel(c.name), c.entry < 0 ? std::string() : UiText(c.entry));
    }
    EXPECT_EQ(EventTypeLabel("A__-220801-123456-000123F.MOV"), "常時");
    EXPECT_EQ(EventTypeLabel("AGS-220801-123456-000123F.MOV"), "駐車衝撃");
}

TEST(RecordingName, TokenAndMid) {
    EXPECT_EQ(Token("AGS-220801-123456", '-', 4), "220801");
    EXPECT_EQ(Token("AGS-220801-123456", '-', 11), "123456");
    EXPECT_EQ(Token("a.b.c", '.', 0), "a");
    EXPECT_EQ(Token("abc", '-', 0), "abc");
    EXPECT_EQ(Token("abc", '-', 3), "");
    EXPECT_EQ(Token("abc", '-', 10), "");
    EXPECT_EQ(Mid("abcdef", 2, 3), "cde");
    EXPECT_EQ(Mid("abcdef", 4, 10), "ef");
    EXPECT_EQ(Mid("abcdef", 9, 1), "");
}

TEST(RecordingName, DisplayAndSnapshotNames) {
    const struct {
        const char* input;
        const char* display;
        const char* snapshot;
    } cases[] = {
        {"AGS-220801-123456-000123F.MOV", "AGS-123456-000123", "220801-123456-F"},
        {"A__-220801-123456-000123R.MOV", "A__-123456-000123", "220801-123456-R"},
        {"___-220801-123456-000123F.MOV", "___-220801-123456-000123F", "220801-123456-F"},
        {"holiday.clip.mp4", "holiday", "dayy"},
        {"abc", "abc", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(DisplayNameOf(c.input), c.display);
        EXPECT_EQ(SnapshotBaseOf(c.input), c.snapshot);
    }
    EXPECT_EQ(SnapshotBaseOf("/media/card/Normal/Front/AGS-220801-123456-000123F.MOV"),
              "220801-123456-F");
}

TEST(RecordingName, CompanionPaths) {
    const struct {
        const char* path;
        const char* rear;
        const char* data;
    } cases[] = {
        {"/media/card/Normal/Front/AGS-220801-123456-000123F.MOV",
         "/media/card/Normal/Rear_/AGS-220801-123456-000123R.MOV",
         "/media/card/Normal/Data/AGS-220801-123456-000123D.ADA"},
        {"/media/card/Normal/Rear_/AGS-220801-123456-000123R.MOV",
         "/media/card/Normal/Front/AGS-220801-123456-000123F.MOV",
         "/media/card/Normal/Data/AGS-220801-123456-000123D.ADA"},
        {"/media/card/Normal/front/AGS-220801-123456-000123F.MOV",
         "/media/card/Normal/Rear_/AGS-220801-123456-000123R.MOV",
         "/media/card/Normal/Data/AGS-220801-123456-000123D.ADA"},
        {"/home/me/clips/AGS-220801-123456-000123F.MOV",
         "/home/me/clips/AGS-220801-123456-000123R.MOV",
         "/home/me/clips/AGS-220801-123456-000123D.ADA"},
        {"AGS-220801-123456-000123F.MOV", "AGS-220801-123456-000123R.MOV",
         "AGS-220801-123456-000123D.ADA"},
        {"/x.y/noext", "/x.y/noext", "/x.y/noext.ADA"},
        {"", "", ".ADA"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(RearPathOf(c.path), c.rear);
        EXPECT_EQ(DataPathOf(c.path), c.data);
    }
}

class TimeZone {
public:
    explicit TimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            old_ = std::make_unique<std::string>(old);
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZone() {
        if (old_)
            setenv("TZ", old_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::unique_ptr<std::string> old_;
};

TEST(RecordingName, RecordingTime) {
    const struct {
        const char* zone;
        const char* name;
        RecordingTime expected;
    } cases[] = {
        {"UTC", "AGS-220801-123456-000123F.MOV", {2022, 8, 1, 12, 34, 56}},
        {"Asia/Tokyo", "AGS-220801-123456-000123F.MOV", {2022, 8, 1, 12, 34, 56}},
        {"America/New_York", "AGS-220801-123456-000123F.MOV", {2022, 8, 1, 12, 34, 56}},
        // month 13 of 2022 rolls over into January 2023
        {"UTC", "A__-221301-000000-000001F.MOV", {2023, 1, 1, 0, 0, 0}},
        {"Asia/Tokyo", "A__-221301-000000-000001F.MOV", {2023, 1, 1, 0, 0, 0}},
        {"UTC", "A__-220229-250000-000001F.MOV", {2022, 3, 2, 1, 0, 0}},
        {"UTC", "A__-220101-000060-000001F.MOV", {2022, 1, 1, 0, 1, 0}},
        // 02:30 does not exist on 2022-03-13 in New York: the clock showed 03:30
        {"America/New_York", "A__-220313-023000-000001F.MOV", {2022, 3, 13, 3, 30, 0}},
        // a name with no fields: day 0 of month 0 of 2000
        {"UTC", "holiday.mp4", {1999, 11, 30, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + " " + c.name);
        TimeZone zone(c.zone);
        const RecordingTime t = RecordingTimeOf(c.name);
        EXPECT_EQ(t.year, c.expected.year);
        EXPECT_EQ(t.month, c.expected.month);
        EXPECT_EQ(t.day, c.expected.day);
        EXPECT_EQ(t.hour, c.expected.hour);
        EXPECT_EQ(t.minute, c.expected.minute);
        EXPECT_EQ(t.second, c.expected.second);
    }
}

class CardPath : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = dir_.path();
        std::filesystem::create_directories(root_ / "card/Normal/Front");
        std::filesystem::create_directories(root_ / "card/Parking");
        std::filesystem::create_directories(root_ / "half/Normal/Front");
        std::filesystem::create_directories(root_ / "plain");
        std::ofstream(root_ / "card/Normal/Front/A__-220801-123456-000123F.MOV") << "x";
    }
    testing::TempDir dir_;
    std::filesystem::path root_;
};

TEST_F(CardPath, FindsCardFoldersUpToTheMountPoint) {
    const struct {
        std::string path;
        bool card;
    } cases[] = {
        {(root_ / "card/Normal/Front/A__-220801-123456-000123F.MOV").string(), true},
        {(root_ / "card/Normal/Front/missing/deeper.MOV").string(), true},
        {(root_ / "card").string(), true},
        {(root_ / "card/Parking").string(), true},
        {(root_ / "half/Normal/Front").string(), false},
        {(root_ / "plain").string(), false},
        {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(IsRecorderCardPath(c.path), c.card);
    }
}

} // namespace
} // namespace kirvano

namespace kirvano {
namespace {

TEST(NameCommand, PrintsEveryField) {
    testing::TempDir scratch;
    const testing::CliRun run =
        testing::RunCli({"name", "/media/card/Normal/Front/AGS-220801-123456-000123F.MOV",
                         "___-220801-123456-000123F.MOV", "holiday.mp4"},
                        scratch);
    EXPECT_EQ(run.status, 0);
    const std::string& out = run.out;
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.front(), '[');
    for (const char* field :
         {"\"event_type\":\"ParkingImpact\"", "\"event_mask\":16", "\"type_letter\":\"A\"",
          "\"display_name\":\"AGS-123456-000123\"", "\"snapshot_base\":\"220801-123456-F\"",
          "\"time\":\"2022-08-01T12:34:56\"",
          "\"rear_path\":\"/media/card/Normal/Rear_/AGS-220801-123456-000123R.MOV\"",
          "\"data_path\":\"/media/card/Normal/Data/AGS-220801-123456-000123D.ADA\"",
          "\"name\":\"___-220801-123456-000123F.MOV\",\"is_recording\":false,\"is_front\":"
          "false,\"event_type\":null,\"event_mask\":0,\"type_letter\":null,\"label\":\"\"",
          "\"display_name\":\"holiday\""}) {
        SCOPED_TRACE(field);
        EXPECT_NE(out.find(field), std::string::npos);
    }
}

TEST(NameCommand, WithoutArgumentsIsAUsageError) {
    testing::TempDir scratch;
    const testing::CliRun run = testing::RunCli({"name"}, scratch);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.out.empty());
}

} // namespace
} // namespace kirvano
