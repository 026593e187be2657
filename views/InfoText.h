// The texts of the info panel, free of any user-interface code: the shown date and time of
// a frame, the speed and the acceleration values, and the placeholders drawn without data.
#pragma once

#include "telemetry/TelemetryTypes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kirvano {

// A G value at or below this is the no-value mark.
inline constexpr double kNoGValue = -5.0;
// Records are written fifteen times faster than real time in time-lapse recordings.
inline constexpr float kTimeLapseFactor = 15.0f;

inline constexpr const char* kDateTimePlaceholder = "0000/00/00 00:00:00";
inline constexpr const char* kGValuePlaceholder = "-0.00G";
inline constexpr const char* kSpeedUnit = "km/h";

// The unit the speed is shown in, chosen in the settings window and stored as
// [DISPLAY] SPEED_UNIT "kmh" or "mph".
enum class SpeedUnit { Kmh, Mph };
inline constexpr const char* kSpeedUnitSection = "DISPLAY";
inline constexpr const char* kSpeedUnitKey = "SPEED_UNIT";
// "mph" is miles an hour; anything else, an empty value included, kilometres.
SpeedUnit SpeedUnitFromSetting(std::string_view value);
const char* SpeedUnitSetting(SpeedUnit unit);
// The unit as drawn: "km/h" or "mph".
const char* SpeedUnitText(SpeedUnit unit);

// "%.2fG" of the value cut (not rounded) to two decimals; nullopt for the no-value mark.
std::optional<std::string> GValueText(double g);
// "%.0f " of the speed in the unit, limited to 999; nullopt without a valid fix or below 0.
std::optional<std::string> SpeedText(bool gpsValid, double kmh, SpeedUnit unit = SpeedUnit::Kmh);

// The 100-ns file-time offset of a frame: frame x duration x 10 000 x (15 in time-lapse),
// multiplied in single precision and truncated.
std::int64_t FrameOffset100ns(std::int32_t frame, float frameDurationMs, bool timeLapse);
// The civil time of start + offset (100-ns units); nullopt when the start is no valid date
// (year 0, month or day out of range) or the result has year 0 or lies before year 1601.
std::optional<CivilTime> AddFileTime(const CivilTime& start, std::int64_t offset100ns);
// "%02d/%02d/%02d %02d:%02d:%02d" of the frame's time, years from 2050 on shown 35 years
// earlier; nullopt when there is nothing to show (frame < 0 or no valid time).
std::optional<std::string> FrameTimeText(const CivilTime& start, std::int32_t frame,
                                         float frameDurationMs, bool timeLapse);
// The time-lapse flag after loading a header with this rate letter: "T" sets it, "N"
// clears it, any other letter leaves it.
bool TimeLapseAfterRate(bool current, char rate);

} // namespace kirvano
