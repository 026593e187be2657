#include "generator/DriveTrace.h"

#include <algorithm>
#include <cmath>

namespace kirvano {
namespace {

constexpr double kGravity = 9.81;
constexpr double kPi = 3.14159265358979323846;
constexpr double kCornerSpeed = 18.0 / 3.6; // m/s through a turn
constexpr double kBraking = 1.8;            // m/s^2 planned deceleration
constexpr double kTurnLength = 16.0;        // metres over which a corner is driven
constexpr double kStopWait = 12.0;          // seconds at a red light

double NormalisedAngle(double a) {
    while (a > kPi) {
        a -= 2 * kPi;
    }
    while (a < -kPi) {
        a += 2 * kPi;
    }
    return a;
}

} // namespace

double UnitNoise(std::uint32_t seed, std::uint32_t a, std::uint32_t b) {
    std::uint32_t h = seed * 0x9E3779B1u ^ (a + 0x7F4A7C15u) * 0x85EBCA6Bu ^ b * 0xC2B2AE35u;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return (h >> 8) / 16777216.0;
}

std::vector<TraceSample> SimulateDrive(const Route& route, double startDistance, double seconds,
                                       int samplesPerSecond, std::uint32_t seed) {
    const int count = static_cast<int>(std::lround(seconds * samplesPerSecond));
    const double dt = 1.0 / samplesPerSecond;
    std::vector<TraceSample> trace;
    trace.reserve(static_cast<std::size_t>(std::max(0, count)));
    const double loop = route.length();
    double distance = startDistance;
    double speed = 0;
    double smoothedAccel = 0;
    double waited = 0;
    long servedCorner = -1; // the light already waited at
    double nextBump = distance + 40 + 120 * UnitNoise(seed, 1, 0);
    int bumpIndex = 0;
    double bumpAge = 10;
    for (int i = 0; i < count; ++i) {
        const double toCorner = route.distanceToNextCorner(distance);
        // A corner is known by where it lies along the whole drive (each pass is new).
        const long cornerId = std::lround(distance + toCorner);
        const bool redLight = UnitNoise(seed, 2, static_cast<std::uint32_t>(cornerId)) < 0.35 &&
                              cornerId != servedCorner;
        const auto leg = static_cast<std::uint32_t>(std::floor(std::fmod(distance, loop) / 400.0));
        const double cruise = (38.0 + 22.0 * UnitNoise(seed, 3, leg)) / 3.6;
        double target = cruise;
        if (redLight) {
            target = std::min(target, std::sqrt(2 * kBraking * std::max(0.0, toCorner - 3.0)));
            if (toCorner < 4.0 && speed < 0.3) {
                waited += dt;
                if (waited >= kStopWait) {
                    servedCorner = cornerId;
                    waited = 0;
                }
            }
        } else {
            target = std::min(target, std::sqrt(kCornerSpeed * kCornerSpeed +
                                                2 * kBraking * std::max(0.0, toCorner - 8.0)));
        }
        const double accel = std::clamp(0.9 * (target - speed), -3.0, 1.6);
        speed = std::max(0.0, speed + accel * dt);
        if (redLight && toCorner < 3.5 && speed < 0.3) {
            speed = 0;
        }
        distance += speed * dt;
        smoothedAccel += (accel - smoothedAccel) * std::min(1.0, dt * 4);

        // Across the car: the corner's turn, driven over kTurnLength around the corner.
        const double ahead = route.distanceToNextCorner(distance);
        double turn = 0;
        if (ahead < kTurnLength / 2) {
            turn = NormalisedAngle(route.headingAt(distance + ahead + 0.5) -
                                   route.headingAt(distance));
        } else {
            // A corner passed less than half a turn ago.
            if (route.distanceToNextCorner(distance - kTurnLength / 2) < kTurnLength / 2) {
                turn = NormalisedAngle(route.headingAt(distance) -
                                       route.headingAt(distance - kTurnLength));
            }
        }
        const double yawRate = turn * speed / kTurnLength;

        // Bumps in the road: a short jolt up, then down.
        if (distance >= nextBump) {
            bumpAge = 0;
            ++bumpIndex;
            nextBump =
                distance + 60 + 180 * UnitNoise(seed, 4, static_cast<std::uint32_t>(bumpIndex));
        }
        double bump = 0;
        if (bumpAge < 0.4) {
            bump = 0.22 * std::sin(bumpAge / 0.4 * 2 * kPi) * std::min(1.0, speed / 8.0);
        }
        bumpAge += dt;

        TraceSample s;
        s.time = i * dt;
        s.distance = distance;
        s.position = route.pointAt(distance);
        s.speedKmh = speed * 3.6;
        const double jitter = (UnitNoise(seed, 5, static_cast<std::uint32_t>(i)) - 0.5) * 0.02;
        s.gx = smoothedAccel / kGravity + jitter;
        s.gy = speed * yawRate / kGravity - jitter * 0.5;
        s.gz = 1.0 + bump + jitter * 0.7;
        trace.push_back(s);
    }
    return trace;
}

std::vector<TraceSample> SimulateParked(const GeoPoint& where, double distance, double seconds,
                                        int samplesPerSecond, std::uint32_t seed) {
    const int count = static_cast<int>(std::lround(seconds * samplesPerSecond));
    std::vector<TraceSample> trace;
    trace.reserve(static_cast<std::size_t>(std::max(0, count)));
    for (int i = 0; i < count; ++i) {
        TraceSample s;
        s.time = static_cast<double>(i) / samplesPerSecond;
        s.distance = distance;
        s.position = where;
        const double jitter = (UnitNoise(seed, 6, static_cast<std::uint32_t>(i)) - 0.5) * 0.006;
        s.gx = jitter;
        s.gy = -jitter;
        s.gz = 1.0 + jitter;
        trace.push_back(s);
    }
    return trace;
}

} // namespace kirvano
