// One joined movie being assembled: the first recording's box tree, the sample tables
// of every track with the further recordings appended, the chains of media data that
// the output's media boxes copy, the summed durations and the telemetry records of the
// movie's own udat block. Appending checks first that the recordings fit together and
// leaves the movie unchanged when they do not.
#pragma once

#include "base/Result.h"
#include "container/JoinBoxWriter.h"
#include "container/JoinDataFile.h"
#include "container/JoinInput.h"
#include "container/JoinTables.h"

#include <optional>
#include <string>
#include <vector>

namespace kirvano {

struct EditFacts {
    std::uint8_t version = 0;
    std::uint64_t duration = 0; // in the movie's time scale
    std::int64_t mediaTime = 0;
};

struct TrackFacts {
    std::string handler; // "vide", "soun", ...
    std::vector<std::uint8_t> sampleDescription;
    std::vector<std::uint8_t> groupDescription; // sgpd, kept as it is
    std::uint32_t mediaTimescale = 0;
    std::uint64_t mediaDuration = 0; // mdhd
    std::uint64_t trackDuration = 0; // tkhd
    std::optional<EditFacts> edit;   // a single edit, when the track has an edit list
    std::uint32_t width = 0, height = 0;
    SampleTables tables;
    std::vector<std::uint64_t> chunkLengths;
};

struct MediaBox {
    std::uint64_t payloadOffset = 0;
    std::uint64_t payloadSize = 0;
};

struct MovieFacts {
    std::uint32_t movieTimescale = 0;
    std::uint64_t movieDuration = 0;
    std::vector<TrackFacts> tracks;
    std::vector<MediaBox> media;       // the top-level mdat boxes in file order
    bool hasTelemetryBox = false;      // a top-level udat box
    std::optional<DataFile> telemetry; // its records, when the block could be read
};

// Reads what a join needs from a movie's tree; refuses what it cannot join.
Result<MovieFacts> AnalyseMovie(const JoinInput& input);

class JoinedMovie {
public:
    static Result<JoinedMovie> Start(JoinInput first);
    // Puts next behind everything joined so far; on failure nothing changes.
    Status Append(JoinInput next);

    // The output's boxes, chunk offsets placed for the final layout.
    Result<std::vector<OutBox>> Build() const;
    // The input files in source order (index 0 is the first recording).
    std::vector<std::string> sourcePaths() const;
    std::vector<std::uint64_t> sourceSizes() const;
    std::uint32_t recordingCount() const {
        return static_cast<std::uint32_t>(1 + appended_.size());
    }
    const MovieFacts& facts() const { return facts_; }

private:
    JoinInput first_;
    std::vector<JoinInput> appended_;
    MovieFacts facts_;                           // merged
    std::vector<std::vector<OutSegment>> media_; // per mdat box: the chain of segments
    std::vector<std::uint64_t> mediaLength_;     // per mdat box: bytes so far
};

} // namespace kirvano
