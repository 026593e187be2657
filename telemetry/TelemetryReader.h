// The telemetry of one recording as the player uses it: the decoded samples, the table
// that maps every video frame to its sample, and the cache role of the prefetch. The
// frame table and the links between samples point into the reader's own vectors; they
// stay valid until the next Clear or Load, and across MoveTo (moving a vector keeps its
// elements where they are).
#pragma once

#include "base/ByteRange.h"
#include "base/HugePages.h"
#include "container/MappedFile.h"
#include "telemetry/TelemetryBlock.h"
#include "telemetry/TelemetryTypes.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kirvano {

class TelemetryReader {
public:
    TelemetryReader() = default;
    TelemetryReader(const TelemetryReader&) = delete;
    TelemetryReader& operator=(const TelemetryReader&) = delete;

    // Opens the data file, finds its "CSMDAT" block and decodes it. On failure the reader is
    // left empty and not loaded. The file is closed again once the samples are decoded.
    bool Load(const std::string& data_path);
    // The same on a block in memory (the bytes after "CSMDAT"), e.g. a movie's udat payload;
    // name is kept as the reader's path.
    bool LoadBlock(ByteRange after_marker, const std::string& name);
    // Releases the samples and the frame table and zeroes the header, the record count
    // and the peak; the frame duration, the cache key and the prefetch mark stay.
    void Clear();
    // Clears other, moves the samples, frame table, header, counts and path into it and
    // leaves this reader empty. True when other now holds position samples.
    bool MoveTo(TelemetryReader& other);

    // Maps frames 0 .. frame_count - 1 to samples and links positions and samples (see the
    // .cpp). Needs a positive count, a finite positive frame duration and a loaded reader.
    bool BuildFrameIndex(std::int64_t frame_count);

    // The sample shown at a video frame; none outside the table.
    const TelemetrySample* SampleAtFrame(std::int64_t frame) const;

    const LargeArray<PositionSample>& positions() const { return positions_; }
    const LargeArray<TelemetrySample>& samples() const { return samples_; }
    const LargeArray<const TelemetrySample*>& frame_table() const { return frame_table_; }
    // The index of a linked sample in this reader's vectors, -1 for none.
    std::int64_t IndexOf(const PositionSample* p) const;
    std::int64_t IndexOf(const TelemetrySample* s) const;

    const TelemetryHeader& header() const { return header_; }
    // False until a block was decoded (a file without one, or after Clear).
    bool has_block() const { return has_vectors_; }
    std::uint32_t record_count() const { return record_count_; }
    double peak_g() const { return peak_g_; }
    float record_interval_ms() const { return record_interval_ms_; }
    bool loaded() const { return loaded_.load(); }
    const std::string& path() const { return path_; }

    // The movie's frame duration in ms, and the working copy the player may overwrite;
    // frame indexing uses the working copy.
    void set_frame_duration_ms(float ms) { frame_duration_ms_ = frame_duration_working_ms_ = ms; }
    void set_working_frame_duration_ms(float ms) { frame_duration_working_ms_ = ms; }
    float frame_duration_ms() const { return frame_duration_ms_; }
    float working_frame_duration_ms() const { return frame_duration_working_ms_; }

    // The cache role. The key and the running mark may be read from any thread.
    std::string cache_key() const;
    void set_cache_key(std::string key);
    bool prefetch_running() const { return prefetch_running_.load(); }
    void set_prefetch_running(bool running) { prefetch_running_.store(running); }
    void set_loaded(bool loaded) { loaded_.store(loaded); }

    // Stops a load that is scanning on another thread; the stopped load clears the request.
    void RequestAbort() { file_.RequestAbort(); }
    void ClearAbort() { (void)file_.TakeAbort(); }
    bool AbortRequested() const { return file_.AbortRequested(); }

    // The reader's file, e.g. for the movie timing of the opened movie.
    MappedFile& file() { return file_; }

private:
    void Adopt(TelemetryBlock&& block, const std::string& name);
    // nullopt when the file does not start with a block.
    std::optional<bool> ReadBlockAtStart(TelemetryBlock& block);

    MappedFile file_;
    std::string path_;
    std::uint32_t record_count_ = 0;
    double peak_g_ = 0.0;
    LargeArray<PositionSample> positions_;
    LargeArray<TelemetrySample> samples_;
    LargeArray<const TelemetrySample*> frame_table_;
    bool has_vectors_ = false;
    TelemetryHeader header_;
    float frame_duration_ms_ = 0.0f;
    float frame_duration_working_ms_ = 0.0f;
    std::atomic<bool> loaded_{false};
    mutable std::mutex key_mutex_;
    std::string cache_key_;
    std::atomic<bool> prefetch_running_{false};
    float record_interval_ms_ = kNormalRecordIntervalMs;
};

} // namespace kirvano
