// The tracks of recordings as GPX 1.1 and KML 2.2 documents: one track segment (GPX) or
// one placemark (KML) per recording with time and speed at every fix, and a waypoint or
// point placemark for every event that has a fix, named by its kind.
#pragma once

#include "tracks/RecordingTrack.h"

#include <span>
#include <string>
#include <string_view>

namespace kirvano {

// The namespace of our own GPX extension elements (speed, recording name, event kind).
inline constexpr std::string_view kTrackExtensionNamespace = "urn:kirvano:track:1";

std::string GpxDocument(std::span<const RecordingTrack> tracks, std::string_view title);
std::string KmlDocument(std::span<const RecordingTrack> tracks, std::string_view title);

// Text for XML character data and attribute values: markup characters as references,
// bytes that are not valid UTF-8 and characters XML 1.0 does not allow as U+FFFD.
std::string XmlText(std::string_view text);

} // namespace kirvano
