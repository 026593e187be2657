// The map's Qt-free pieces: the flat JSON holder of the page messages, the "update"
// message, the position arrays handed to the page, the event-marker scripts and the rule
// that decides between the map and the logo panel.
#pragma once

#include "telemetry/EventDetection.h"
#include "telemetry/TelemetryTypes.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kirvano {

// An ordered map key -> (value, separator written after the value); keys sorted by byte.
class CJsonHolder {
public:
    virtual ~CJsonHolder() = default;

    void Clear() { entries_.clear(); }
    // Stores key -> (value, separator), replacing an entry with the same key.
    void Set(const std::string& key, std::string value, std::string separator);
    // The value of key; a missing key gets an empty entry first.
    std::string& Value(const std::string& key);
    // {"key":"value"sep...}: every entry in key order; nothing is escaped.
    std::string Serialize() const;
    // Reads a flat object of string values into the map (without emptying it first); stops
    // at a NUL. Escapes are not understood; a colon inside a key or value is dropped.
    void Read(std::string_view text);

    const std::map<std::string, std::pair<std::string, std::string>>& entries() const {
        return entries_;
    }

private:
    std::map<std::string, std::pair<std::string, std::string>> entries_;
};

// A number with six digits after the point, independent of the locale ("%f").
std::string FixedSix(double value);

// The message that carries the current position and playback status into the page:
// {"map_lat":"…","map_lng":"…","map_status":"…","val_command":"update","val_end":""}.
std::string UpdateMessageText(double lat, double lng, const std::string& status);

// The page's position array as JSON: lat, lng, frame for every sample with a valid fix, in
// order, then the number of elements before the count; an empty list gives [0]. With
// stride > 1 only every stride-th valid fix is kept (the last one always).
std::string PositionArrayText(std::span<const PositionSample> samples, int stride = 1);

// The stride that keeps a group track within max_fixes valid fixes, never above 10: at ten
// fixes a second this keeps at least one fix a second, so gaps still split the track.
int GroupTrackStride(std::span<const PositionSample> samples, std::size_t max_fixes);

// "TestMethod(abc, -12) called.\n"
std::string TestMethodText(std::string_view text, std::int32_t number);

// The text-table entry that names event kind 0..13; -1 for any other kind.
int MarkNameEntry(int kind);

// "cplist.AddCrashPos(kind,x,y,z,0,fileIndex,frame,lat,lng,valid,speed,direction)".
std::string AddCrashPosScript(const MapEvent& event, const PositionSample& position, int fileIndex);

// The marker scripts of an event list, latest event first, skipping events whose slot's
// display flag is off and positions at (0, 0). False when an event has no sample or its
// sample no position: the scripts of the later events are kept, the walk ends there.
bool EventMarkerScripts(std::span<const MapEvent> events, const EventDetector& detector,
                        int fileIndex, std::vector<std::string>& scripts);

// The scripts that redraw the tracks, in the order they must run.
std::vector<std::string> RedrawTrackScripts(int fileIndex, bool withGroupTrack);

// What stands in the 452 x 368 place right of the main video.
enum class MapPlace { Map, Logo, Neither };

struct MapPlaceInputs {
    int layout = 0;
    bool fullScreen = false;
    bool trackNotEmpty = false;  // the current recording has GPS fixes
    bool pageReady = false;      // the page has loaded its map library
    char firstLetter = 0;        // of the current recording's name
    bool mapOffline = false;     // the user switched the map off, or it cannot run
    bool runtimeMissing = false; // the browser component cannot start
};

MapPlace DecideMapPlace(const MapPlaceInputs& in);

// The logo panel shows its offline picture when the browser cannot start, the first map
// draw is not done or the page is not ready.
bool LogoShowsOffline(bool runtimeMissing, bool firstMapDrawDone, bool pageReady);

} // namespace kirvano
