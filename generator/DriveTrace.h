// What the generated car does, sampled at the telemetry rate: where it is on the route,
// how fast it goes and what the G-sensor feels. Driving follows the road at town speeds,
// slows for turns and waits at some lights; a parked car stands still.
#pragma once

#include "generator/Route.h"

#include <cstdint>
#include <vector>

namespace kirvano {

struct TraceSample {
    double time = 0;     // seconds from the start of the trace
    double distance = 0; // metres along the route
    GeoPoint position;
    double speedKmh = 0;
    double gx = 0; // G along the car (braking negative)
    double gy = 0; // G across the car
    double gz = 1; // G up, 1 at rest
};

// A drive that starts from standing at startDistance, samples per second for seconds.
std::vector<TraceSample> SimulateDrive(const Route& route, double startDistance, double seconds,
                                       int samplesPerSecond, std::uint32_t seed);
// A car parked at a point.
std::vector<TraceSample> SimulateParked(const GeoPoint& where, double distance, double seconds,
                                        int samplesPerSecond, std::uint32_t seed);

// A small deterministic pseudo-random number in [0, 1) for (seed, a, b).
double UnitNoise(std::uint32_t seed, std::uint32_t a, std::uint32_t b);

} // namespace kirvano
