// The built-in road the generated car drives: a closed polyline of about eleven
// kilometres with turns, in a city's street grid, and the point at any distance along it.
#pragma once

#include <vector>

namespace kirvano {

struct GeoPoint {
    double latitude = 0;  // degrees, north positive
    double longitude = 0; // degrees, east positive
};

struct RouteBounds {
    double minLatitude, maxLatitude, minLongitude, maxLongitude;
};

class Route {
public:
    // The built-in road.
    static const Route& Default();
    // A road through the given corners (at least two), closed back to the first.
    explicit Route(std::vector<GeoPoint> corners);

    double length() const { return cumulative_.back(); } // metres, once round
    // The point at a distance along the road (any distance: the road is a loop).
    GeoPoint pointAt(double distance) const;
    // Heading in radians (0 north, clockwise) of the leg at a distance.
    double headingAt(double distance) const;
    // Metres from a distance to the next corner ahead.
    double distanceToNextCorner(double distance) const;
    RouteBounds bounds() const;
    const std::vector<GeoPoint>& corners() const { return corners_; }

private:
    double wrap(double distance) const;
    std::size_t legAt(double distance) const;

    std::vector<GeoPoint> corners_;  // closed: the last equals the first
    std::vector<double> cumulative_; // distance at each corner
};

// Great-circle distance in metres.
double DistanceMetres(const GeoPoint& a, const GeoPoint& b);

} // namespace kirvano
