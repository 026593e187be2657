// The usage texts of the commands that need the media platform. They run in their own
// program, kirvano-cli-media, so that the other commands start without loading Qt's GUI
// and GStreamer; kirvano-cli knows their usage and hands them over.
#pragma once

#include <string_view>

namespace kirvano::cli {

inline constexpr std::string_view kMediaProgram = "kirvano-cli-media";

inline constexpr std::string_view kFrameUsage = "kirvano-cli frame MOVIE N OUT.jpg [--force]";

inline constexpr std::string_view kMakeCardUsage =
    "kirvano-cli make-card DIR [--recordings N] [--parking N] [--seconds S]\n"
    "                      [--front WxH@FPS] [--rear WxH@FPS] [--layout camera-folders|flat]\n"
    "                      [--seed K] [--no-audio] [--firmware X.Y.Z] [--timelapse-rate 10|15]\n"
    "  Writes a recorder card of generated recordings into DIR (created when missing).\n"
    "  --recordings N    driving recordings under Normal, 60 s apart in drives (default 6)\n"
    "  --parking N       time-lapse recordings under Parking, 900 s apart, followed by one\n"
    "                    parking impact (default 3; 0 for none)\n"
    "  --seconds S       length of every recording, 1 to 60 (default 60)\n"
    "  --front, --rear   size and frame rate (default 1920x1080@27.5 and 1280x720@27.5)\n"
    "  --layout flat     one plain folder instead of Normal/Parking with Front/Rear_/Data\n"
    "  --seed K          varies times, route start and noise; the same seed gives the same card\n"
    "  --no-audio        movies without a sound track\n"
    "  --firmware X.Y.Z  firmware version in the telemetry header (default 1.4.2)\n"
    "  --timelapse-rate  telemetry records per second in time-lapse files (default 10)\n"
    "  Files that exist are kept, so an interrupted run completes when run again.";

} // namespace kirvano::cli
