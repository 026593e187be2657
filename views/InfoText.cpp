#include "views/InfoText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kirvano {
namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kTicksPerDay = kTicksPerSecond * 86'400;

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2 ? 1 : 0);
}

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Days from 1601-01-01, the start of the file-time scale, to 1970-01-01.
const std::int64_t kEpoch1601 = -DaysFromCivil(1601, 1, 1);

} // namespace

std::optional<std::string> GValueText(double g) {
    if (!(g > kNoGValue) || !std::isfinite(g)) {
        return std::nullopt;
    }
    // Adding zero turns a cut -0.00 into 0.00: "-0.00G" is what a missing value shows.
    const double cut = std::trunc(g * 100.0) / 100.0 + 0.0;
    char text[64];
    std::snprintf(text, sizeof text, "%.2fG", cut);
    return std::string(text);
}

SpeedUnit SpeedUnitFromSetting(std::string_view value) {
    return value == "mph" ? SpeedUnit::Mph : SpeedUnit::Kmh;
}

const char* SpeedUnitSetting(SpeedUnit unit) {
    return unit == SpeedUnit::Mph ? "mph" : "kmh";
}

const char* SpeedUnitText(SpeedUnit unit) {
    return unit == SpeedUnit::Mph ? "mph" : kSpeedUnit;
}

std::optional<std::string> SpeedText(bool gpsValid, double kmh, SpeedUnit unit) {
    if (!gpsValid || !(kmh >= 0.0)) {
        return std::nullopt;
    }
    constexpr double kKmPerMile = 1.609344;
    const double shown = unit == SpeedUnit::Mph ? kmh / kKmPerMile : kmh;
    char text[32];
    std::snprintf(text, sizeof text, "%.0f ", std::min(shown, 999.0));
    return std::string(text);
}

std::int64_t FrameOffset100ns(std::int32_t frame, float frameDurationMs, bool timeLapse) {
    const float factor = timeLapse ? kTimeLapseFactor : 1.0f;
    const float ticks = static_cast<float>(frame) * frameDurationMs * 10000.0f * factor;
    // A non-finite or absurd duration gives no offset rather than an undefined conversion.
    if (!std::isfinite(ticks) || std::fabs(ticks) > 9.0e18f) {
        return 0;
    }
    return static_cast<std::int64_t>(ticks);
}

std::optional<CivilTime> AddFileTime(const CivilTime& start, std::int64_t offset100ns) {
    if (start.year < 1601 || start.year > 30827 || start.month < 1 || start.month > 12 ||
        start.day < 1 || start.day > DaysInMonth(start.year, start.month) || start.hour > 23 ||
        start.minute > 59 || start.second > 59 || start.milliseconds > 999) {
        return std::nullopt;
    }
    const std::int64_t days = DaysFromCivil(start.year, start.month, start.day) + kEpoch1601;
    const std::int64_t base =
        days * kTicksPerDay +
        (start.hour * 3600 + start.minute * 60 + start.second) * kTicksPerSecond +
        static_cast<std::int64_t>(start.milliseconds) * 10'000;
    const std::int64_t limit = std::int64_t{1} << 62;
    if (offset100ns > limit || offset100ns < -limit) {
        return std::nullopt;
    }
    const std::int64_t total = base + offset100ns;
    if (total <= 0) {
        return std::nullopt;
    }
    std::int64_t y = 0;
    unsigned m = 0;
    unsigned d = 0;
    CivilFromDays(total / kTicksPerDay - kEpoch1601, y, m, d);
    if (y <= 0 || y > 30827) {
        return std::nullopt;
    }
    const std::int64_t inDay = total % kTicksPerDay;
    CivilTime t;
    t.year = static_cast<std::uint16_t>(y);
    t.month = static_cast<std::uint16_t>(m);
    t.day = static_cast<std::uint16_t>(d);
    t.day_of_week =
        static_cast<std::uint16_t>((total / kTicksPerDay + 1) % 7); // 1601-01-01 was a Monday
    t.hour = static_cast<std::uint16_t>(inDay / (3600 * kTicksPerSecond));
    t.minute = static_cast<std::uint16_t>(inDay / (60 * kTicksPerSecond) % 60);
    t.second = static_cast<std::uint16_t>(inDay / kTicksPerSecond % 60);
    t.milliseconds = static_cast<std::uint16_t>(inDay / 10'000 % 1000);
    return t;
}

std::optional<std::string> FrameTimeText(const CivilTime& start, std::int32_t frame,
                                         float frameDurationMs, bool timeLapse) {
    if (frame < 0) {
        return std::nullopt;
    }
    const std::optional<CivilTime> t =
        AddFileTime(start, FrameOffset100ns(frame, frameDurationMs, timeLapse));
    if (!t) {
        return std::nullopt;
    }
    const int year = t->year >= 2050 ? t->year - 35 : t->year;
    char text[64];
    std::snprintf(text, sizeof text, "%02d/%02d/%02d %02d:%02d:%02d", year, t->month, t->day,
                  t->hour, t->minute, t->second);
    return std::string(text);
}

bool TimeLapseAfterRate(bool current, char rate) {
    if (rate == 'T') {
        return true;
    }
    if (rate == 'N') {
        return false;
    }
    return current;
}

} // namespace kirvano
