// The map's Qt-free pieces: the flat JSON reader and writer, the update message, position
// arrays, event-marker scripts and the map-or-logo rule.
#include "map/MapScript.h"

#include <gtest/gtest.h>

namespace kirvano {
namespace {

PositionSample Fix(double lat, double lng, int frame, bool valid = true) {
    PositionSample p;
    p.latitude = lat;
    p.longitude = lng;
    p.frame = frame;
    p.gps_valid = valid ? 1 : 0;
    return p;
}

TEST(MapJson, UpdateMessageIsOrderedByKey) {
    EXPECT_EQ(UpdateMessageText(35.5, 139.25, "pause"),
              R"({"map_lat":"35.500000","map_lng":"139.250000","map_status":"pause",)"
              R"("val_command":"update","val_end":""})");
    EXPECT_EQ(UpdateMessageText(-33.8688, -0.0000004, ""),
              R"({"map_lat":"-33.868800","map_lng":"-0.000000","map_status":"",)"
              R"("val_command":"update","val_end":""})");
}

TEST(MapJson, FlatReader) {
    using namespace std::literals;
    struct Case {
        std::string_view text;
        const char* lat;
        const char* lng;
        const char* status;
    };
    const Case cases[] = {
        {R"({"map_lat":"1.5","map_status":"stop"})"sv, "1.5", "", "stop"},
        {R"({"map_lat":"12:30"})"sv, "1230", "", ""},        // a colon in a value is dropped
        {R"({"map_lat":"1","map_lat":"2"})"sv, "2", "", ""}, // the later entry wins
        {R"(  {"map_lng" : "7" , "x":"y"})"sv, "", "7", ""}, // blanks outside strings
        {"{\"map_lat\":\"1\"}\0{\"map_lng\":\"2\"}"sv, "1", "", ""}, // stops at NUL
        {R"({"map_lat":"3",)"sv, "3", "", ""},                       // a comma stores the entry
        {R"({"map_lat":"3")"sv, "", "", ""},                         // unterminated: nothing stored
        {R"({"map_lat":"1"{"map_lng":"2"})"sv, "", "", ""},          // a brace keeps the buffers
        {R"(not json at all)"sv, "", "", ""},
    };
    for (const Case& c : cases) {
        CJsonHolder json;
        json.Read(c.text);
        EXPECT_EQ(json.Value("map_lat"), c.lat) << c.text;
        EXPECT_EQ(json.Value("map_lng"), c.lng) << c.text;
        EXPECT_EQ(json.Value("map_status"), c.status) << c.text;
    }
}

TEST(MapJson, ReadBackWhatWasWritten) {
    CJsonHolder json;
    json.Read(UpdateMessageText(1.25, 2.5, "stop"));
    EXPECT_EQ(json.Serialize(), UpdateMessageText(1.25, 2.5, "stop"));
    EXPECT_EQ(json.entries().at("val_end").second, "");
    EXPECT_EQ(json.entries().at("map_lat").second, ",");
}

TEST(MapPositions, ArrayOfValidFixesWithCount) {
    const std::vector<PositionSample> fixes{Fix(35.1, 139.2, 0), Fix(50, 50, 15, false),
                                            Fix(35.2, 139.3, 30)};
    EXPECT_EQ(PositionArrayText(fixes), "[35.1,139.2,0,35.2,139.3,30,6]");
    EXPECT_EQ(PositionArrayText({}), "[0]");
    EXPECT_EQ(PositionArrayText(std::vector<PositionSample>{Fix(1, 2, 3, false)}), "[0]");
    // Six decimals (about 0.1 m) are kept, without trailing zeros.
    EXPECT_EQ(PositionArrayText(std::vector<PositionSample>{Fix(-33.86880049, -0.0000001, 7)}),
              "[-33.8688,0,7,3]");

    std::vector<PositionSample> many;
    for (int i = 0; i < 25; ++i)
        many.push_back(Fix(35 + i * 1e-5, 139, i * 3));
    // Every tenth fix and always the last.
    EXPECT_EQ(PositionArrayText(many, 10),
              "[35,139,0,35.0001,139,30,35.0002,139,60,35.00024,139,72,12]");
    EXPECT_EQ(GroupTrackStride(many, 100), 1);
    EXPECT_EQ(GroupTrackStride(many, 5), 5);
    EXPECT_EQ(GroupTrackStride(many, 1), 10); // never thinner than one fix in ten
}

TEST(MapEvents, MarkerScriptsLatestFirst) {
    PositionSample at450 = Fix(35.681236, 139.767125, 450);
    at450.speed = 42.5;
    PositionSample origin = Fix(0, 0, 600);
    TelemetrySample brake, manual, atOrigin, lost;
    brake.frame = 450;
    brake.x = 0.25;
    brake.y = -0.5;
    brake.z = 1;
    brake.position = &at450;
    manual.frame = 500;
    manual.position = &at450;
    atOrigin.frame = 600;
    atOrigin.position = &origin;
    lost.frame = 30;
    EventDetector shown;
    for (int slot = 0; slot < kDetectorSlots; ++slot)
        shown.SetDisplayFlag(slot, slot == 1 || slot == 3);

    const std::vector<MapEvent> events{{0, 0, 2, 1, &brake},
                                       {1, 0, 5, 3, &manual},
                                       {2, 0, 0, 0, &manual}, // slot 0 hidden
                                       {3, 0, 2, 1, &atOrigin}};
    std::vector<std::string> scripts;
    EXPECT_TRUE(EventMarkerScripts(events, shown, 7, scripts));
    ASSERT_EQ(scripts.size(), 2u); // the event at (0, 0) keeps no marker
    EXPECT_EQ(scripts[0], "cplist.AddCrashPos(5,0.000000,0.000000,0.000000,0,7,500,35.681236,"
                          "139.767125,1,42.500000,0.000000)");
    EXPECT_EQ(scripts[1], "cplist.AddCrashPos(2,0.250000,-0.500000,1.000000,0,7,450,35.681236,"
                          "139.767125,1,42.500000,0.000000)");

    // A sample without position ends the walk with failure after the later markers.
    const std::vector<MapEvent> broken{
        {0, 0, 2, 1, &brake}, {1, 0, 5, 3, &lost}, {2, 0, 5, 3, &manual}};
    scripts.clear();
    EXPECT_FALSE(EventMarkerScripts(broken, shown, 0, scripts));
    EXPECT_EQ(scripts.size(), 1u);

    EXPECT_EQ(
        RedrawTrackScripts(4, true),
        (std::vector<std::string>{"cplist.ClearCrashPos()", "orbitgrplist.RemoveLineList()",
                                  "orbitgrplist.CreateLine()", "orbitgrplist.CreateGridLine(4)"}));
    EXPECT_EQ(RedrawTrackScripts(0, false).size(), 3u);
}

TEST(MapHostTexts, TestMethodAndMarkNames) {
    EXPECT_EQ(TestMethodText("abc", -12), "TestMethod(abc, -12) called.\n");
    EXPECT_EQ(MarkNameEntry(9), 143);
    EXPECT_EQ(MarkNameEntry(0), 75);
    EXPECT_EQ(MarkNameEntry(13), 69);
    EXPECT_EQ(MarkNameEntry(14), -1);
    EXPECT_EQ(MarkNameEntry(-1), -1);
}

TEST(MapPlaceRule, MapOnlyWhenEverythingAllowsIt) {
    MapPlaceInputs ok;
    ok.trackNotEmpty = ok.pageReady = true;
    ok.firstLetter = 'N';
    EXPECT_EQ(DecideMapPlace(ok), MapPlace::Map);
    auto with = [&](auto change) {
        MapPlaceInputs in = ok;
        change(in);
        return DecideMapPlace(in);
    };
    EXPECT_EQ(with([](auto& in) { in.trackNotEmpty = false; }), MapPlace::Logo);
    EXPECT_EQ(with([](auto& in) { in.pageReady = false; }), MapPlace::Logo);
    EXPECT_EQ(with([](auto& in) { in.firstLetter = 'P'; }), MapPlace::Logo);
    EXPECT_EQ(with([](auto& in) { in.firstLetter = 'T'; }), MapPlace::Logo);
    EXPECT_EQ(with([](auto& in) { in.mapOffline = true; }), MapPlace::Logo);
    EXPECT_EQ(with([](auto& in) { in.runtimeMissing = true; }), MapPlace::Logo);
    EXPECT_EQ(with([](auto& in) { in.layout = 1; }), MapPlace::Neither);
    EXPECT_EQ(with([](auto& in) {
                  in.fullScreen = true;
                  in.pageReady = false;
              }),
              MapPlace::Neither);
    EXPECT_TRUE(LogoShowsOffline(false, false, true));
    EXPECT_TRUE(LogoShowsOffline(false, true, false));
    EXPECT_TRUE(LogoShowsOffline(true, true, true));
    EXPECT_FALSE(LogoShowsOffline(false, true, true));
}

} // namespace
} // namespace kirvano
