// What counts as an event in a recording's telemetry: the ten detector slots with their
// graph and display flags, the per-frame test that finds the first frame of every run of
// equal detector results, the event list shared by the G-sensor graph, the map markers
// and the jump commands, and the next/previous event search.
#pragma once

#include "telemetry/TelemetryTypes.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace kirvano {

class TelemetryReader;

// Event kinds: one numbering for map marker pictures, graph marks and their names.
enum EventKind : int {
    kEventSteering = 0,
    kEventAcceleration = 1,
    kEventBraking = 2,
    kEventDescent = 3,
    kEventRise = 4,
    kEventManual = 5,
    kEventEmergencyStop = 6,
    kEventParking = 7,
    kEventOverSpeed = 8,
    kEventSpeedCamera = 9,
    kEventRadar = 10,
    kEventAssistSteering = 11,
    kEventAssistAcceleration = 12,
    kEventAssistBraking = 13,
};
inline constexpr int kEventKinds = 14;

// Detector slots: 0 X, 1 Y, 2 Z, 3 manual, 4 emergency stop, 5 parking, 6 over speed,
// 7 speed camera, 8 radar, 9 driving assistance.
inline constexpr int kDetectorSlots = 10;
inline constexpr int kOverSpeedSlot = 6;
inline constexpr double kDefaultLevel = 0.2;

// False exactly when the name's first letter is "P" or "T" and its second is not "G"
// (parking and time-lapse recordings; "PG" parking impacts count as driving).
bool IsDrivingRecordingName(std::string_view name);

// The slot whose display flag a kind of 6 and above needs (6: 4, 7: 5, 8: 6, 9: 7, 10: 8,
// 11..13: 9); -1 for kinds below 6 and unknown kinds.
int DisplaySlotOfKind(int kind);

// The frames of a recording as the frame table maps them onto samples. An entry that does
// not point into `samples` counts as out of range.
struct FrameSamples {
    std::span<const TelemetrySample* const> frames;
    std::span<const TelemetrySample> samples;

    static FrameSamples Of(const TelemetryReader& reader);
    std::int64_t FrameCount() const { return static_cast<std::int64_t>(frames.size()); }
    // The sample of frame i; null when i, or its sample, is out of range.
    const TelemetrySample* At(std::int64_t i) const;
    // Its index in `samples`, -1 for none.
    std::int64_t SampleIndex(std::int64_t i) const;
};

// One entry of the event list.
struct MapEvent {
    std::int32_t sampleIndex = 0;
    std::int32_t reserved = 0;
    std::int32_t kind = 0;
    std::int32_t slot = 0;
    const TelemetrySample* sample = nullptr;
    std::int64_t frame = 0; // the video frame at which the event was found
    bool operator==(const MapEvent&) const = default;
};

// The ten slots and the recording flag. Which flag admits a slot: the map list and the
// jumps use the display flags, the graph its graph flags.
class EventDetector {
public:
    enum class Flags { kDisplay, kGraph };
    enum class Outcome { kStop, kContinue };

    // Detector `slot` on one sample: its event kind, or -1.
    int Detect(int slot, const TelemetrySample& sample) const;

    // Test (i, j): "continue" when frame i has no sample or the slot finds nothing; "stop"
    // otherwise, appending an event when the result starts a run (frame 0, or frame i - 1
    // gives another result) and the kind's display slot (kinds 6 and above) is on.
    Outcome Test(const FrameSamples& frames, std::int64_t i, int slot,
                 std::vector<MapEvent>& out) const;
    // Every event of frame i in order: the over-speed slot first, then the first of slots
    // 0..9 (without 6) whose test stops; only slots whose `use` flag is on take part.
    void EventsAtFrame(const FrameSamples& frames, std::int64_t i, Flags use,
                       std::vector<MapEvent>& out) const;
    // The event list of a whole recording (display flags), in frame order.
    std::vector<MapEvent> BuildEventList(const FrameSamples& frames) const;
    // False where EventsAtFrame finds nothing whatever the flags: a frame that shows the
    // same sample as the frame before it (only a new sample starts a run), or a sample on
    // which no detector fires.
    static bool MayStartEvent(const FrameSamples& frames, std::int64_t i);

    bool GraphFlag(int slot) const;
    bool DisplayFlag(int slot) const;
    void SetGraphFlag(int slot, bool on);
    void SetDisplayFlag(int slot, bool on);
    // The info panel's curve switch n (0..2): both flags of slot n.
    void SetAxisShown(int n, bool on);
    // The settings dialog's item 0..3 (driving assistance, emergency stop, parking impact,
    // over speed): the display flag of slot 9, 4, 5 or 6; other items are ignored.
    void ApplySetting(int item, bool on);
    static int SlotOfSetting(int item);

    double Level(int slot) const;
    // Slots 0..2 take the header's first three values when those are positive.
    void SetLevelsFromHeader(const TelemetryHeader& header);

    bool DrivingRecording() const { return driving_; }
    void SetDrivingRecording(bool driving) { driving_ = driving; }
    void SetRecordingName(std::string_view name) { driving_ = IsDrivingRecordingName(name); }

private:
    struct Slot {
        bool graph = true;
        bool display = true;
        double level = kDefaultLevel;
    };
    bool Admits(int slot, Flags use) const;
    std::array<Slot, kDetectorSlots> slots_{};
    bool driving_ = true;
};

// The event list of the current recording, guarded by the "hMutexCpSet" lock. Rebuilding
// takes that lock and then the engines' "hFileMutex" while it reads the frame table.
class EventList {
public:
    // Rebuilds from the published telemetry (null or without a frame table: empty).
    void Rebuild(const EventDetector& detector, const TelemetryReader* published);
    // The same from frames the caller keeps valid (tests, benchmarks).
    void Rebuild(const EventDetector& detector, const FrameSamples& frames);
    void Clear();

    // A copy of the list, taken under the lock.
    std::vector<MapEvent> Events() const;
    std::size_t Size() const;

    // The first event frame after `cursor`, or the last one before it; nullopt when none.
    std::optional<std::int64_t> NextFrame(std::int64_t cursor) const;
    std::optional<std::int64_t> PreviousFrame(std::int64_t cursor) const;

    // The lock itself, for callers that walk the samples the events point to.
    static std::recursive_mutex& Lock();

private:
    std::vector<MapEvent> events_;
};

// The jump search on a list in frame order.
std::optional<std::int64_t> NextEventFrame(std::span<const MapEvent> events, std::int64_t cursor);
std::optional<std::int64_t> PreviousEventFrame(std::span<const MapEvent> events,
                                               std::int64_t cursor);

} // namespace kirvano
