// Loading, moving and frame indexing of a recording's telemetry.
#include "telemetry/TelemetryReader.h"

#include "container/Scanners.h"
#include "telemetry/TelemetryWriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace kirvano {
namespace {

// Truncation of a float to a frame number, kept inside the 32-bit range.
std::int32_t FrameOf(std::int32_t offset_ms, float frame_duration) {
    const float frame = static_cast<float>(offset_ms) / frame_duration;
    if (!(frame < 2147483520.0f))
        return std::numeric_limits<std::int32_t>::max();
    if (!(frame > -2147483520.0f))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(frame);
}

} // namespace

// A data file holds its block at offset 0: its window is then read in pieces of about
// 1 MiB, so a block of the full 32 MiB never sits in memory next to its decoded samples. A
// chain of block headers is followed within the first piece (some 30 000 headers). Any
// other file goes through the top-level walk.
std::optional<bool> TelemetryReader::ReadBlockAtStart(TelemetryBlock& block) {
    std::lock_guard lock(file_.scan_lock());
    file_.set_hits(0);
    std::uint8_t lead[4];
    if (!file_.ReadAt(0, lead) || std::memcmp(lead, "CSMD", 4) != 0)
        return std::nullopt;
    if (file_.TakeAbort())
        return false;
    constexpr std::uint64_t kMarkerLength = 6;
    constexpr std::uint64_t kPiece = 8192 * kTelemetryRecordSize;
    // Two bytes past 32 MiB, so that the last of the 270 600 records a block holds lies
    // whole inside the window (its status byte would be the first byte behind it).
    const std::uint64_t window_end = std::min<std::uint64_t>(file_.size(), kBlockWindow + 2);
    if (window_end <= kMarkerLength)
        return false;
    const std::uint64_t window_size = window_end - kMarkerLength;
    // One buffer for every piece and every load on this thread, on one huge page once a file
    // needs more than a small one: fresh buffers, or a large one on ordinary pages, would
    // cost a page fault per 4 KiB each time.
    const auto buffer_size =
        static_cast<std::size_t>(std::min<std::uint64_t>(28 + kPiece, window_size));
    thread_local LargeArray<std::uint8_t> buffer;
    if (buffer_size > buffer.capacity() && buffer_size >= kHugePageSize / 8)
        buffer.reserve(kHugePageSize);
    buffer.resize(buffer_size);
    if (!file_.ReadAt(kMarkerLength, buffer))
        return false;
    const auto limit =
        StartTelemetryBlock(ByteRange(buffer.data(), buffer.size()), window_size, block);
    if (!limit)
        return false;
    bool more =
        AppendTelemetryRecords(ByteRange(buffer.data(), buffer.size()).sub(28), *limit, block);
    for (std::uint64_t at = kMarkerLength + 28 + kPiece; more && at < window_end; at += kPiece) {
        if (file_.TakeAbort())
            return false;
        const auto length =
            static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, window_end - at));
        if (!file_.ReadAt(at, std::span(buffer).first(length)))
            return false; // the file shrank under us
        more = AppendTelemetryRecords(ByteRange(buffer.data(), length), *limit, block);
    }
    file_.set_hits(1);
    return true;
}

bool TelemetryReader::Load(const std::string& data_path) {
    Clear();
    if (!file_.Open(data_path)) {
        file_.Reset();
        return false;
    }
    TelemetryBlock block;
    std::optional<bool> decoded = ReadBlockAtStart(block);
    if (!decoded) {
        decoded = false;
        MarkerSpec spec;
        spec.bytes = "CSMDAT";
        spec.handler = [&block, &decoded](MappedFile& reader, ByteRange bytes) {
            decoded =
                ParseTelemetryBlock(bytes, block, [&reader] { return reader.AbortRequested(); });
            if (!*decoded)
                (void)reader.TakeAbort();
            return *decoded;
        };
        if (!WalkTopLevel(file_, spec))
            decoded = false;
    }
    file_.Reset();
    if (!*decoded)
        return false;
    Adopt(std::move(block), data_path);
    return true;
}

bool TelemetryReader::LoadBlock(ByteRange after_marker, const std::string& name) {
    Clear();
    TelemetryBlock block;
    if (!ParseTelemetryBlock(after_marker, block, [this] { return AbortRequested(); })) {
        ClearAbort();
        return false;
    }
    Adopt(std::move(block), name);
    return true;
}

void TelemetryReader::Adopt(TelemetryBlock&& block, const std::string& name) {
    header_ = block.header;
    record_interval_ms_ = block.record_interval_ms;
    positions_ = std::move(block.positions);
    samples_ = std::move(block.samples);
    frame_table_.clear();
    has_vectors_ = true;
    record_count_ = static_cast<std::uint32_t>(samples_.size());
    path_ = name;
    loaded_.store(true);
}

void TelemetryReader::Clear() {
    LargeArray<PositionSample>().swap(positions_);
    LargeArray<TelemetrySample>().swap(samples_);
    LargeArray<const TelemetrySample*>().swap(frame_table_);
    has_vectors_ = false;
    header_ = TelemetryHeader{};
    record_count_ = 0;
    peak_g_ = 0.0;
    record_interval_ms_ = kNormalRecordIntervalMs;
    path_.clear();
    loaded_.store(false);
}

bool TelemetryReader::MoveTo(TelemetryReader& other) {
    if (&other == this)
        return !positions_.empty();
    other.Clear();
    other.positions_ = std::move(positions_);
    other.samples_ = std::move(samples_);
    other.frame_table_ = std::move(frame_table_);
    other.has_vectors_ = has_vectors_;
    other.header_ = header_;
    other.record_count_ = record_count_;
    other.peak_g_ = peak_g_;
    other.record_interval_ms_ = record_interval_ms_;
    other.path_ = std::move(path_);
    other.loaded_.store(loaded_.load());
    Clear();
    return !other.positions_.empty();
}

// Frame indexing. Every sample's frame becomes its offset divided by the frame duration.
// The table entry of frame i is the sample that was current before frame i: a cursor that
// moves on by at most one sample per frame, once the next sample's frame is not after i.
// Each position links to the first telemetry sample whose frame is not before its own, and
// each telemetry sample to the position five behind the position cursor.
bool TelemetryReader::BuildFrameIndex(std::int64_t frame_count) {
    const float duration = frame_duration_working_ms_;
    if (frame_count <= 0 || !has_vectors_ || !std::isfinite(duration) || duration <= 0.0f)
        return false;
    try {
        // Filled below in one pass; an empty table is made whole there.
        frame_table_.clear();
        frame_table_.reserve(static_cast<std::size_t>(frame_count));
    } catch (const std::bad_alloc&) {
        LargeArray<const TelemetrySample*>().swap(frame_table_);
        return false;
    } catch (const std::length_error&) {
        LargeArray<const TelemetrySample*>().swap(frame_table_);
        return false;
    }
    for (auto& s : samples_) {
        s.frame = FrameOf(s.offset_ms, duration);
        s.position = nullptr;
    }
    for (auto& p : positions_) {
        p.frame = FrameOf(p.offset_ms, duration);
        p.telemetry = nullptr;
    }

    const auto frames = static_cast<std::size_t>(frame_count);
    if (samples_.empty()) {
        frame_table_.assign(frames, nullptr);
    } else {
        std::size_t k = 0;
        for (std::size_t i = 0; i < frames; ++i) {
            frame_table_.push_back(&samples_[k]);
            if (k + 1 < samples_.size() &&
                static_cast<std::int64_t>(samples_[k + 1].frame) <= static_cast<std::int64_t>(i))
                ++k;
        }
    }

    double max_x = 0.0, max_y = 0.0, max_z = 0.0;
    if (!positions_.empty()) {
        std::size_t t = 0;
        for (auto& s : samples_) {
            max_x = std::max(max_x, std::fabs(s.x));
            max_y = std::max(max_y, std::fabs(s.y));
            max_z = std::max(max_z, std::fabs(s.z));
            if (positions_[t].frame <= s.frame) {
                positions_[t].telemetry = &s;
                if (t + 1 < positions_.size())
                    ++t;
            }
            s.position = &positions_[t < 5 ? 0 : t - 5];
        }
    }
    peak_g_ = std::max({max_x, max_y, max_z});
    return true;
}

const TelemetrySample* TelemetryReader::SampleAtFrame(std::int64_t frame) const {
    if (frame < 0 || static_cast<std::uint64_t>(frame) >= frame_table_.size())
        return nullptr;
    return frame_table_[static_cast<std::size_t>(frame)];
}

std::int64_t TelemetryReader::IndexOf(const PositionSample* p) const {
    if (p == nullptr || positions_.empty() || p < positions_.data() ||
        p >= positions_.data() + positions_.size())
        return -1;
    return p - positions_.data();
}

std::int64_t TelemetryReader::IndexOf(const TelemetrySample* s) const {
    if (s == nullptr || samples_.empty() || s < samples_.data() ||
        s >= samples_.data() + samples_.size())
        return -1;
    return s - samples_.data();
}

std::string TelemetryReader::cache_key() const {
    std::lock_guard lock(key_mutex_);
    return cache_key_;
}

void TelemetryReader::set_cache_key(std::string key) {
    std::lock_guard lock(key_mutex_);
    cache_key_ = std::move(key);
}

} // namespace kirvano
