// The map's Qt-free pieces: JSON holder and reader, messages, position arrays, scripts.
#include "map/MapScript.h"

#include <charconv>
#include <cmath>

namespace kirvano {

void CJsonHolder::Set(const std::string& key, std::string value, std::string separator) {
    entries_[key] = {std::move(value), std::move(separator)};
}

std::string& CJsonHolder::Value(const std::string& key) {
    return entries_[key].first;
}

std::string CJsonHolder::Serialize() const {
    std::string out = "{";
    for (const auto& [key, entry] : entries_) {
        out += '"';
        out += key;
        out += "\":\"";
        out += entry.first;
        out += '"';
        out += entry.second;
    }
    out += '}';
    return out;
}

void CJsonHolder::Read(std::string_view text) {
    enum State { Outside, InObject, InKey, AfterKey, AfterColon, InValue, AfterValue };
    State state = Outside;
    std::string key, value;
    auto store = [&](const char* separator) {
        Set(key, value, separator);
        key.clear();
        value.clear();
    };
    for (char c : text) {
        if (c == '\0')
            break;
        switch (c) {
        case '{':
            state = InObject;
            break;
        case '"':
            if (state == InObject)
                state = InKey;
            else if (state == InKey)
                state = AfterKey;
            else if (state == AfterColon)
                state = InValue;
            else if (state == InValue)
                state = AfterValue;
            break;
        case ':':
            if (state == AfterKey)
                state = AfterColon;
            break;
        case ',':
            if (state == AfterValue) {
                store(",");
                state = InObject;
            }
            break;
        case '}':
            if (state == InObject) {
                state = Outside;
            } else if (state == AfterValue) {
                store("");
                state = Outside;
            }
            break;
        default:
            if (state == InKey)
                key += c;
            else if (state == InValue)
                value += c;
            break;
        }
    }
}

std::string FixedSix(double value) {
    char buffer[400];
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    if (ec != std::errc())
        return "0.000000";
    return std::string(buffer, end);
}

std::string UpdateMessageText(double lat, double lng, const std::string& status) {
    CJsonHolder json;
    json.Set("val_command", "update", ",");
    json.Set("map_lat", FixedSix(lat), ",");
    json.Set("map_lng", FixedSix(lng), ",");
    json.Set("map_status", status, ",");
    json.Set("val_end", "", "");
    return json.Serialize();
}

namespace {

// Degrees to six decimals (about 0.1 m), without trailing zeros: 35.1, -33.868800 -> -33.8688.
void AppendDegrees(std::string& out, double value) {
    if (!std::isfinite(value) || std::abs(value) > 1e6)
        value = 0.0;
    char buffer[32];
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    if (ec != std::errc()) {
        out += '0';
        return;
    }
    while (end[-1] == '0')
        --end;
    if (end[-1] == '.')
        --end;
    const std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
    out += text == "-0" ? std::string_view("0") : text;
}

void AppendInteger(std::string& out, std::int64_t value) {
    char buffer[24];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, ec == std::errc() ? end : buffer);
}

} // namespace

std::string PositionArrayText(std::span<const PositionSample> samples, int stride) {
    if (stride < 1)
        stride = 1;
    std::string out = "[";
    out.reserve(samples.size() * 32 + 8);
    std::int64_t elements = 0;
    std::size_t lastValid = samples.size();
    for (std::size_t i = samples.size(); i-- > 0;) {
        if (samples[i].gps_valid) {
            lastValid = i;
            break;
        }
    }
    std::int64_t seen = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const PositionSample& p = samples[i];
        if (!p.gps_valid)
            continue;
        if (seen++ % stride != 0 && i != lastValid)
            continue;
        AppendDegrees(out, p.latitude);
        out += ',';
        AppendDegrees(out, p.longitude);
        out += ',';
        AppendInteger(out, p.frame);
        out += ',';
        elements += 3;
    }
    AppendInteger(out, elements);
    out += ']';
    return out;
}

int GroupTrackStride(std::span<const PositionSample> samples, std::size_t max_fixes) {
    std::size_t valid = 0;
    for (const PositionSample& p : samples)
        valid += p.gps_valid ? 1 : 0;
    if (max_fixes == 0 || valid <= max_fixes)
        return 1;
    std::size_t stride = (valid + max_fixes - 1) / max_fixes;
    return static_cast<int>(stride > 10 ? 10 : stride);
}

std::string TestMethodText(std::string_view text, std::int32_t number) {
    std::string out = "TestMethod(";
    out += text;
    out += ", ";
    AppendInteger(out, number);
    out += ") called.\n";
    return out;
}

int MarkNameEntry(int kind) {
    static constexpr std::array<int, 14> entries{75, 72, 73,  74,  76, 77, 78,
                                                 79, 80, 143, 144, 70, 68, 69};
    if (kind < 0 || kind >= static_cast<int>(entries.size()))
        return -1;
    return entries[static_cast<std::size_t>(kind)];
}

std::string AddCrashPosScript(const MapEvent& event, const PositionSample& position,
                              int fileIndex) {
    const TelemetrySample& s = *event.sample;
    std::string out = "cplist.AddCrashPos(";
    auto integer = [&](std::int64_t v) {
        AppendInteger(out, v);
        out += ',';
    };
    auto fixed = [&](double v) {
        out += FixedSix(std::isfinite(v) ? v : 0.0);
        out += ',';
    };
    integer(event.kind);
    fixed(s.x);
    fixed(s.y);
    fixed(s.z);
    integer(0);
    integer(fileIndex);
    integer(s.frame);
    fixed(position.latitude);
    fixed(position.longitude);
    integer(position.gps_valid ? 1 : 0);
    fixed(position.speed);
    out += FixedSix(std::isfinite(position.heading) ? position.heading : 0.0);
    out += ')';
    return out;
}

bool EventMarkerScripts(std::span<const MapEvent> events, const EventDetector& detector,
                        int fileIndex, std::vector<std::string>& scripts) {
    for (std::size_t i = events.size(); i-- > 0;) {
        const MapEvent& event = events[i];
        if (!detector.DisplayFlag(event.slot))
            continue;
        if (event.sample == nullptr || event.sample->position == nullptr)
            return false;
        const PositionSample& position = *event.sample->position;
        if (position.latitude != 0.0 || position.longitude != 0.0)
            scripts.push_back(AddCrashPosScript(event, position, fileIndex));
    }
    return true;
}

std::vector<std::string> RedrawTrackScripts(int fileIndex, bool withGroupTrack) {
    std::vector<std::string> scripts{"cplist.ClearCrashPos()", "orbitgrplist.RemoveLineList()"};
    if (withGroupTrack)
        scripts.emplace_back("orbitgrplist.CreateLine()");
    std::string grid = "orbitgrplist.CreateGridLine(";
    AppendInteger(grid, fileIndex);
    scripts.push_back(grid + ")");
    return scripts;
}

MapPlace DecideMapPlace(const MapPlaceInputs& in) {
    if (in.layout != 0 || in.fullScreen)
        return MapPlace::Neither;
    const bool driving = in.firstLetter != 'P' && in.firstLetter != 'T';
    if (in.trackNotEmpty && in.pageReady && driving && !in.mapOffline && !in.runtimeMissing)
        return MapPlace::Map;
    return MapPlace::Logo;
}

bool LogoShowsOffline(bool runtimeMissing, bool firstMapDrawDone, bool pageReady) {
    return runtimeMissing || !firstMapDrawDone || !pageReady;
}

} // namespace kirvano
