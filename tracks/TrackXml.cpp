#include "tracks/TrackXml.h"

#include "base/Utf8.h"

#include <charconv>
#include <cstdio>

namespace kirvano {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool AllowedInXml(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

std::string Number(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string Element(std::string_view name, std::string_view text) {
    return "<" + std::string(name) + ">" + XmlText(text) + "</" + std::string(name) + ">";
}

std::string Coordinates(const TrackPoint& p) {
    return "lat=\"" + Number(p.latitude) + "\" lon=\"" + Number(p.longitude) + "\"";
}

std::string GpxTime(const CivilTime& time) {
    return HasClock(time) ? Element("time", IsoTimeText(time)) : std::string();
}

std::string EventDescription(const RecordingTrack& track, const TrackEvent& event) {
    return track.name + " frame " + std::to_string(event.frame);
}

std::string KmlCoordinate(const TrackPoint& p) {
    return Number(p.longitude) + "," + Number(p.latitude);
}

} // namespace

std::string XmlText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t code = 0;
        const std::size_t length = Utf8SequenceLength(text, i, &code);
        if (length == 0 || !AllowedInXml(code)) {
            out += kReplacement;
            i += length == 0 ? 1 : length;
            continue;
        }
        switch (code) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

std::string GpxDocument(std::span<const RecordingTrack> tracks, std::string_view title) {
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" xmlns:kirvano=\"";
    x += kTrackExtensionNamespace;
    x += "\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
         "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
         "http://www.topografix.com/GPX/1/1/gpx.xsd\" version=\"1.1\" creator=\"Kirvano\">\n";
    x += "<metadata>" + Element("name", title) + "</metadata>\n";
    for (const RecordingTrack& track : tracks) {
        for (const TrackEvent& event : track.events) {
            if (!event.position)
                continue;
            x += "<wpt " + Coordinates(*event.position) + ">" + GpxTime(event.position->time) +
                 Element("name", event.name) + Element("desc", EventDescription(track, event)) +
                 Element("type", "event " + std::to_string(event.kind)) +
                 "<extensions><kirvano:kind>" + std::to_string(event.kind) +
                 "</kirvano:kind><kirvano:frame>" + std::to_string(event.frame) +
                 "</kirvano:frame><kirvano:speed_kmh>" + Number(event.position->speedKmh) +
                 "</kirvano:speed_kmh></extensions></wpt>\n";
        }
    }
    x += "<trk>" + Element("name", title) + "\n";
    for (const RecordingTrack& track : tracks) {
        x += "<trkseg>\n";
        for (const TrackPoint& p : track.points)
            x += "<trkpt " + Coordinates(p) + ">" + GpxTime(p.time) +
                 "<extensions><kirvano:speed_kmh>" + Number(p.speedKmh) +
                 "</kirvano:speed_kmh></extensions></trkpt>\n";
        x += "<extensions><kirvano:recording>" + XmlText(track.name) +
             "</kirvano:recording></extensions></trkseg>\n";
    }
    x += "</trk>\n</gpx>\n";
    return x;
}

std::string KmlDocument(std::span<const RecordingTrack> tracks, std::string_view title) {
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<kml xmlns=\"http://www.opengis.net/kml/2.2\" "
                    "xmlns:gx=\"http://www.google.com/kml/ext/2.2\">\n<Document>" +
                    Element("name", title) +
                    "\n<Schema id=\"point\"><gx:SimpleArrayField name=\"speed_kmh\" "
                    "type=\"double\"/></Schema>\n";
    for (const RecordingTrack& track : tracks) {
        x += "<Folder>" + Element("name", track.name) + "\n";
        x += "<Placemark>" + Element("name", track.name);
        if (!track.points.empty()) {
            x += "<gx:Track>";
            for (const TrackPoint& p : track.points)
                x += Element("when", HasClock(p.time) ? IsoTimeText(p.time) : std::string());
            for (const TrackPoint& p : track.points)
                x +=
                    "<gx:coord>" + Number(p.longitude) + " " + Number(p.latitude) + " 0</gx:coord>";
            x += "<ExtendedData><SchemaData schemaUrl=\"#point\">"
                 "<gx:SimpleArrayData name=\"speed_kmh\">";
            for (const TrackPoint& p : track.points)
                x += "<gx:value>" + Number(p.speedKmh) + "</gx:value>";
            x += "</gx:SimpleArrayData></SchemaData></ExtendedData></gx:Track>";
        }
        x += "</Placemark>\n";
        for (const TrackEvent& event : track.events) {
            if (!event.position)
                continue;
            x += "<Placemark>" + Element("name", event.name) +
                 Element("description", EventDescription(track, event));
            if (HasClock(event.position->time))
                x += "<TimeStamp>" + Element("when", IsoTimeText(event.position->time)) +
                     "</TimeStamp>";
            x += "<ExtendedData><Data name=\"kind\"><value>" + std::to_string(event.kind) +
                 "</value></Data><Data name=\"frame\"><value>" + std::to_string(event.frame) +
                 "</value></Data><Data name=\"speed_kmh\"><value>" +
                 Number(event.position->speedKmh) + "</value></Data></ExtendedData>";
            x += "<Point><coordinates>" + KmlCoordinate(*event.position) +
                 "</coordinates></Point></Placemark>\n";
        }
        x += "</Folder>\n";
    }
    x += "</Document>\n</kml>\n";
    return x;
}

} // namespace kirvano
