// Telemetry as the rest of the viewer reaches it through files: the data-file test, the
// header alone for list columns, a movie's own block, the positions of a whole recording
// list for the map, and the prefetch into a player's cache reader.
#pragma once

#include "telemetry/TelemetryReader.h"
#include "telemetry/TelemetryTypes.h"

#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace kirvano {

// The file opens as a regular file and its first six bytes are "CSMDAT".
bool IsTelemetryFile(const std::string& path);

// The block header of a recording: from its data file (the name scheme's data path, the
// path itself for a data file), else from the movie's own udat block.
bool ReadHeaderOnly(const std::string& path, TelemetryHeader& header);

// Decodes the telemetry block that a movie carries as the payload of its top-level udat box,
// reading no further than that box. The reader's path becomes the movie path.
bool LoadMovieBlock(TelemetryReader& reader, const std::string& movie_path);

// Replaces the process-wide position list with the positions of every recording's data
// file, in order, each file's indices starting at 0 and frames holding the time offset in
// ms. Stops at the first file that does not load and returns false (the positions
// collected before it stay). Takes the cache lock "hCacheFileMutex".
bool CollectPositions(std::span<const std::string> movie_paths);
// Reads the process-wide position list under its lock.
void WithCollectedPositions(const std::function<void(const std::vector<PositionSample>&)>& read);
std::vector<PositionSample> CollectedPositions();

// Loads the data file of movie_path into the cache reader under cache_lock, after asking
// a prefetch still scanning to give up. An empty path only clears the cache (true).
// Otherwise true when the data file was loaded.
bool PrefetchTelemetry(TelemetryReader& cache, std::recursive_mutex& cache_lock,
                       const std::string& movie_path);

// When a prefetch is running for another movie: stops it and waits until it has let go of
// the cache lock. Call without holding cache_lock.
void AbortOtherPrefetch(TelemetryReader& cache, std::recursive_mutex& cache_lock,
                        const std::string& movie_path);

// Under cache_lock: moves the cache's samples into target when the cache is loaded for
// movie_path (true); otherwise clears the cache and returns false.
bool TakeCachedTelemetry(TelemetryReader& cache, TelemetryReader& target,
                         const std::string& movie_path);

// The whole load for playback into loading: stop a prefetch for another movie, take both
// locks (the cache lock first), take the cache's samples or load the data file, build the
// frame index for frame_count frames with loading's frame duration. True when the frame
// index was built.
bool LoadTelemetryForPlayback(TelemetryReader& cache, std::recursive_mutex& cache_lock,
                              std::recursive_mutex& file_lock, TelemetryReader& loading,
                              const std::string& movie_path, std::int64_t frame_count);

} // namespace kirvano
