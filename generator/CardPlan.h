// What a generated recorder card holds: every recording's name, folder, start time and
// sequence number by the recorder's scheme, what happens in it (driving, parked, an
// impact, a manual mark, a gap in the GPS fix) and the formats of both cameras.
#pragma once

#include "base/Result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kirvano {

struct CameraFormat {
    int width = 1920;
    int height = 1080;
    int rateNumerator = 55; // frames per second as a fraction: 27.5 = 55/2
    int rateDenominator = 2;
};

struct FirmwareVersion {
    int major = 1, minor = 4, patch = 2;
};

enum class CardLayout { CameraFolders, Flat };

struct CardOptions {
    int recordings = 6; // driving recordings under Normal
    int parking = 3;    // time-lapse recordings under Parking (plus one parking impact)
    int seconds = 60;   // length of every recording, 1..60
    CameraFormat front{1920, 1080, 55, 2};
    CameraFormat rear{1280, 720, 55, 2};
    CardLayout layout = CardLayout::CameraFolders;
    std::uint32_t seed = 1;
    bool audio = true;
    int timelapseRate = 10; // telemetry records per second in time-lapse files: 10 or 15
    FirmwareVersion firmware;
};

struct PlanTime {
    int year = 2024, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
PlanTime AddSeconds(const PlanTime& time, long long seconds);
long long SecondsBetween(const PlanTime& from, const PlanTime& to);

enum class RecordingEvent { None, Impact, Manual, ParkingImpact };

struct PlannedRecording {
    std::string folder; // "Normal" or "Parking" ("" in a flat layout)
    std::string stem;   // the name up to the camera letter: "AS_-240518-081000-000101"
    PlanTime start;
    int sequence = 0;
    int run = 0;         // index of the drive or parking run it belongs to
    std::string group;   // the group label a scan of its folder is meant to give: "240518_0001"
    bool parked = false; // standing still (time-lapse and parking impact)
    bool timelapse = false;
    int recordsPerSecond = 10;
    double driveOffset = 0;   // seconds from the start of its drive
    double startDistance = 0; // metres along the route where its drive (or the car) starts
    RecordingEvent event = RecordingEvent::None;
    double eventAt = -1;                    // seconds into the recording
    double noFixFrom = -1, noFixUntil = -1; // seconds into the recording without a GPS fix
};

struct PlannedDrive {
    double startDistance = 0;
    double seconds = 0;
};

struct CardPlan {
    CardOptions options;
    std::vector<PlannedDrive> drives;
    std::vector<PlannedRecording> recordings; // in time order
};

// The whole card, deterministic for the options (seed included).
Result<CardPlan> PlanCard(const CardOptions& options);

// Paths below the card's root folder.
std::string FrontPathOf(const std::string& root, const CardPlan& plan, const PlannedRecording& r);
std::string RearMoviePathOf(const std::string& root, const CardPlan& plan,
                            const PlannedRecording& r);
std::string DataFilePathOf(const std::string& root, const CardPlan& plan,
                           const PlannedRecording& r);

// Parses "1920x1080@27.5" (the rate a decimal with at most three places, or N/D).
Result<CameraFormat> ParseCameraFormat(const std::string& text);
// Parses "1.4.2".
Result<FirmwareVersion> ParseFirmwareVersion(const std::string& text);

} // namespace kirvano
