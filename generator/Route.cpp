#include "generator/Route.h"

#include <algorithm>
#include <cmath>

namespace kirvano {
namespace {

constexpr double kEarthRadius = 6371000.0;
constexpr double kPi = 3.14159265358979323846;

double Radians(double degrees) {
    return degrees * kPi / 180.0;
}

// Corners of the built-in road as east/north metres from a point in Yokohama.
std::vector<GeoPoint> DefaultCorners() {
    const GeoPoint origin{35.4437, 139.6380};
    const double metresPerDegreeLat = 111320.0;
    const double metresPerDegreeLon = 111320.0 * std::cos(Radians(origin.latitude));
    static const double kOffsets[][2] = {{0, 0},       {1200, 0},    {1500, 300},  {1500, 1400},
                                         {2300, 2000}, {3400, 2000}, {3400, 800},  {2600, 200},
                                         {2600, -600}, {1900, -950}, {1200, -900}, {400, -700},
                                         {0, -500}};
    std::vector<GeoPoint> corners;
    for (const auto& offset : kOffsets) {
        corners.push_back({origin.latitude + offset[1] / metresPerDegreeLat,
                           origin.longitude + offset[0] / metresPerDegreeLon});
    }
    return corners;
}

} // namespace

double DistanceMetres(const GeoPoint& a, const GeoPoint& b) {
    const double dLat = Radians(b.latitude - a.latitude);
    const double dLon = Radians(b.longitude - a.longitude);
    const double h = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(Radians(a.latitude)) * std::cos(Radians(b.latitude)) *
                         std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthRadius * std::asin(std::min(1.0, std::sqrt(h)));
}

const Route& Route::Default() {
    static const Route route(DefaultCorners());
    return route;
}

Route::Route(std::vector<GeoPoint> corners) : corners_(std::move(corners)) {
    corners_.push_back(corners_.front());
    cumulative_.push_back(0);
    for (std::size_t i = 1; i < corners_.size(); ++i) {
        cumulative_.push_back(cumulative_.back() + DistanceMetres(corners_[i - 1], corners_[i]));
    }
}

double Route::wrap(double distance) const {
    const double total = length();
    double d = std::fmod(distance, total);
    return d < 0 ? d + total : d;
}

std::size_t Route::legAt(double distance) const {
    const auto it = std::upper_bound(cumulative_.begin(), cumulative_.end(), wrap(distance));
    const std::size_t index = static_cast<std::size_t>(it - cumulative_.begin());
    return std::clamp<std::size_t>(index, 1, cumulative_.size() - 1) - 1;
}

GeoPoint Route::pointAt(double distance) const {
    const double d = wrap(distance);
    const std::size_t leg = legAt(d);
    const double legLength = cumulative_[leg + 1] - cumulative_[leg];
    const double t = legLength > 0 ? (d - cumulative_[leg]) / legLength : 0;
    const GeoPoint& a = corners_[leg];
    const GeoPoint& b = corners_[leg + 1];
    return {a.latitude + (b.latitude - a.latitude) * t,
            a.longitude + (b.longitude - a.longitude) * t};
}

double Route::headingAt(double distance) const {
    const std::size_t leg = legAt(distance);
    const GeoPoint& a = corners_[leg];
    const GeoPoint& b = corners_[leg + 1];
    const double north = b.latitude - a.latitude;
    const double east = (b.longitude - a.longitude) * std::cos(Radians(a.latitude));
    return std::atan2(east, north);
}

double Route::distanceToNextCorner(double distance) const {
    const double d = wrap(distance);
    return cumulative_[legAt(d) + 1] - d;
}

RouteBounds Route::bounds() const {
    RouteBounds b{90, -90, 180, -180};
    for (const GeoPoint& p : corners_) {
        b.minLatitude = std::min(b.minLatitude, p.latitude);
        b.maxLatitude = std::max(b.maxLatitude, p.latitude);
        b.minLongitude = std::min(b.minLongitude, p.longitude);
        b.maxLongitude = std::max(b.maxLongitude, p.longitude);
    }
    return b;
}

} // namespace kirvano
