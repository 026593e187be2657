#include "telemetry/EventDetection.h"

#include "base/NamedLocks.h"
#include "telemetry/TelemetryReader.h"

#include <algorithm>

namespace kirvano {

bool IsDrivingRecordingName(std::string_view name) {
    if (name.empty()) {
        return true;
    }
    const bool parkingOrLapse = name[0] == 'P' || name[0] == 'T';
    const bool impact = name.size() > 1 && name[1] == 'G';
    return !(parkingOrLapse && !impact);
}

int DisplaySlotOfKind(int kind) {
    switch (kind) {
    case kEventEmergencyStop:
        return 4;
    case kEventParking:
        return 5;
    case kEventOverSpeed:
        return 6;
    case kEventSpeedCamera:
        return 7;
    case kEventRadar:
        return 8;
    case kEventAssistSteering:
    case kEventAssistAcceleration:
    case kEventAssistBraking:
        return 9;
    default:
        return -1;
    }
}

FrameSamples FrameSamples::Of(const TelemetryReader& reader) {
    return FrameSamples{reader.frame_table(), reader.samples()};
}

std::int64_t FrameSamples::SampleIndex(std::int64_t i) const {
    if (i < 0 || i >= FrameCount() || samples.empty()) {
        return -1;
    }
    const TelemetrySample* s = frames[static_cast<std::size_t>(i)];
    // Compare addresses without forming an out-of-range pointer.
    const auto begin = reinterpret_cast<std::uintptr_t>(samples.data());
    const auto at = reinterpret_cast<std::uintptr_t>(s);
    if (s == nullptr || at < begin) {
        return -1;
    }
    const std::uintptr_t offset = at - begin;
    if (offset % sizeof(TelemetrySample) != 0) {
        return -1;
    }
    const std::uintptr_t index = offset / sizeof(TelemetrySample);
    return index < samples.size() ? static_cast<std::int64_t>(index) : -1;
}

const TelemetrySample* FrameSamples::At(std::int64_t i) const {
    const std::int64_t index = SampleIndex(i);
    return index < 0 ? nullptr : &samples[static_cast<std::size_t>(index)];
}

int EventDetector::Detect(int slot, const TelemetrySample& s) const {
    switch (slot) {
    case 0:
        return driving_ && s.axis == 1 ? kEventSteering : -1;
    case 1:
        return driving_ && s.axis == 2 ? kEventBraking : -1;
    case 2:
        return driving_ && s.axis == 3 ? kEventDescent : -1;
    case 3:
        return s.event_kind == kEventManual ? kEventManual : -1;
    case 4:
        return s.event_kind == kEventEmergencyStop ? kEventEmergencyStop : -1;
    case 5:
        return driving_ && s.event_kind == kEventParking ? kEventParking : -1;
    case 6:
        return s.extra_flag == kEventOverSpeed ? kEventOverSpeed : -1;
    case 7:
        return driving_ && s.warning_code == 10 && s.warning_detail == 9 ? kEventSpeedCamera : -1;
    case 8:
        return driving_ && (s.warning_code == 8 || s.warning_code == 9) && s.warning_detail == 8
                   ? kEventRadar
                   : -1;
    case 9:
        return s.event_kind >= kEventAssistSteering && s.event_kind <= kEventAssistBraking
                   ? s.event_kind
                   : -1;
    default:
        return -1;
    }
}

EventDetector::Outcome EventDetector::Test(const FrameSamples& frames, std::int64_t i, int slot,
                                           std::vector<MapEvent>& out) const {
    const std::int64_t index = frames.SampleIndex(i);
    if (index < 0) {
        return Outcome::kContinue;
    }
    const TelemetrySample& sample = frames.samples[static_cast<std::size_t>(index)];
    const int r = Detect(slot, sample);
    if (r < 0) {
        return Outcome::kContinue;
    }
    const int shownBy = DisplaySlotOfKind(r);
    if (r >= kEventEmergencyStop && (shownBy < 0 || !DisplayFlag(shownBy))) {
        return Outcome::kStop;
    }
    const TelemetrySample* previous = i > 0 ? frames.At(i - 1) : nullptr;
    if (i == 0 || previous == nullptr || Detect(slot, *previous) != r) {
        out.push_back(MapEvent{static_cast<std::int32_t>(index), 0, r, slot, &sample, i});
    }
    return Outcome::kStop;
}

bool EventDetector::Admits(int slot, Flags use) const {
    return use == Flags::kDisplay ? DisplayFlag(slot) : GraphFlag(slot);
}

void EventDetector::EventsAtFrame(const FrameSamples& frames, std::int64_t i, Flags use,
                                  std::vector<MapEvent>& out) const {
    if (Admits(kOverSpeedSlot, use)) {
        (void)Test(frames, i, kOverSpeedSlot, out);
    }
    for (int j = 0; j < kDetectorSlots; ++j) {
        if (j != kOverSpeedSlot && Admits(j, use) && Test(frames, i, j, out) == Outcome::kStop) {
            break;
        }
    }
}

namespace {

// A sample on which every detector returns -1, whatever the flags.
bool Quiet(const TelemetrySample& s) {
    const bool kind = s.event_kind == kEventManual || s.event_kind == kEventEmergencyStop ||
                      s.event_kind == kEventParking ||
                      (s.event_kind >= kEventAssistSteering && s.event_kind <= kEventAssistBraking);
    const bool warning = s.warning_code >= 8 && s.warning_code <= 10;
    const bool axis = s.axis >= 1 && s.axis <= 3;
    return !axis && !kind && s.extra_flag != kEventOverSpeed && !warning;
}

} // namespace

bool EventDetector::MayStartEvent(const FrameSamples& frames, std::int64_t i) {
    const std::int64_t index = frames.SampleIndex(i);
    if (index < 0 || (i > 0 && frames.SampleIndex(i - 1) == index)) {
        return false;
    }
    return !Quiet(frames.samples[static_cast<std::size_t>(index)]);
}

std::vector<MapEvent> EventDetector::BuildEventList(const FrameSamples& frames) const {
    std::vector<MapEvent> events;
    if (frames.samples.empty()) {
        return events;
    }
    for (std::int64_t i = 0; i < frames.FrameCount(); ++i) {
        if (MayStartEvent(frames, i)) {
            EventsAtFrame(frames, i, Flags::kDisplay, events);
        }
    }
    return events;
}

bool EventDetector::GraphFlag(int slot) const {
    return slot >= 0 && slot < kDetectorSlots && slots_[static_cast<std::size_t>(slot)].graph;
}

bool EventDetector::DisplayFlag(int slot) const {
    return slot >= 0 && slot < kDetectorSlots && slots_[static_cast<std::size_t>(slot)].display;
}

void EventDetector::SetGraphFlag(int slot, bool on) {
    if (slot >= 0 && slot < kDetectorSlots) {
        slots_[static_cast<std::size_t>(slot)].graph = on;
    }
}

void EventDetector::SetDisplayFlag(int slot, bool on) {
    if (slot >= 0 && slot < kDetectorSlots) {
        slots_[static_cast<std::size_t>(slot)].display = on;
    }
}

void EventDetector::SetAxisShown(int n, bool on) {
    if (n >= 0 && n < 3) {
        SetGraphFlag(n, on);
        SetDisplayFlag(n, on);
    }
}

int EventDetector::SlotOfSetting(int item) {
    static constexpr int kSlots[] = {9, 4, 5, 6};
    return item >= 0 && item < 4 ? kSlots[item] : -1;
}

void EventDetector::ApplySetting(int item, bool on) {
    SetDisplayFlag(SlotOfSetting(item), on);
}

double EventDetector::Level(int slot) const {
    return slot >= 0 && slot < kDetectorSlots ? slots_[static_cast<std::size_t>(slot)].level : 0.0;
}

void EventDetector::SetLevelsFromHeader(const TelemetryHeader& header) {
    for (std::size_t n = 0; n < 3; ++n) {
        if (header.values[n] > 0.0f) {
            slots_[n].level = header.values[n];
        }
    }
}

std::recursive_mutex& EventList::Lock() {
    return NamedLock("hMutexCpSet");
}

void EventList::Rebuild(const EventDetector& detector, const TelemetryReader* published) {
    std::lock_guard list(Lock());
    events_.clear();
    std::lock_guard files(NamedLock("hFileMutex"));
    if (published != nullptr && !published->frame_table().empty()) {
        events_ = detector.BuildEventList(FrameSamples::Of(*published));
    }
}

void EventList::Rebuild(const EventDetector& detector, const FrameSamples& frames) {
    std::lock_guard list(Lock());
    events_ = detector.BuildEventList(frames);
}

void EventList::Clear() {
    std::lock_guard list(Lock());
    events_.clear();
}

std::vector<MapEvent> EventList::Events() const {
    std::lock_guard list(Lock());
    return events_;
}

std::size_t EventList::Size() const {
    std::lock_guard list(Lock());
    return events_.size();
}

std::optional<std::int64_t> EventList::NextFrame(std::int64_t cursor) const {
    std::lock_guard list(Lock());
    return NextEventFrame(events_, cursor);
}

std::optional<std::int64_t> EventList::PreviousFrame(std::int64_t cursor) const {
    std::lock_guard list(Lock());
    return PreviousEventFrame(events_, cursor);
}

std::optional<std::int64_t> NextEventFrame(std::span<const MapEvent> events, std::int64_t cursor) {
    const auto it = std::upper_bound(events.begin(), events.end(), cursor,
                                     [](std::int64_t c, const MapEvent& e) { return c < e.frame; });
    return it == events.end() ? std::nullopt : std::optional<std::int64_t>(it->frame);
}

std::optional<std::int64_t> PreviousEventFrame(std::span<const MapEvent> events,
                                               std::int64_t cursor) {
    const auto it = std::lower_bound(events.begin(), events.end(), cursor,
                                     [](const MapEvent& e, std::int64_t c) { return e.frame < c; });
    return it == events.begin() ? std::nullopt : std::optional<std::int64_t>(std::prev(it)->frame);
}

} // namespace kirvano
