// Data-file test, header reads, a movie's udat block, the collected positions and the
// prefetch.
#include "telemetry/TelemetryFiles.h"

#include "base/NamedLocks.h"
#include "container/MappedFile.h"
#include "container/Scanners.h"
#include "library/RecordingName.h"

#include <cstring>
#include <optional>

namespace kirvano {
namespace {

constexpr char kMarker[] = "CSMDAT";

// The payload of the first top-level udat box, cut at the box's end and at 32 MiB.
std::optional<Window> UdatPayload(MappedFile& file) {
    const std::uint64_t size = file.size();
    std::uint64_t offset = 0;
    while (offset + 8 <= size) {
        std::uint8_t head[8];
        if (!file.ReadAt(offset, head))
            return std::nullopt;
        const ByteRange h(head, sizeof head);
        const std::uint32_t box_size = *h.be32(0);
        if (box_size < 8)
            return std::nullopt; // 0 (to the end) and 1 (64-bit size) are not supported
        if (*h.fourcc(4) == "udat") {
            const std::uint64_t length = std::min<std::uint64_t>(box_size - 8, kBlockWindow);
            return file.ReadWindow(offset + 8, length, std::min(size, offset + box_size));
        }
        offset += box_size;
    }
    return std::nullopt;
}

bool StartsWithMarker(ByteRange bytes) {
    return bytes.has(0, 6) && std::memcmp(bytes.data(), kMarker, 6) == 0;
}

std::mutex& CollectedLock() {
    static std::mutex lock;
    return lock;
}
std::vector<PositionSample>& Collected() {
    static std::vector<PositionSample> positions;
    return positions;
}

} // namespace

bool IsTelemetryFile(const std::string& path) {
    MappedFile file;
    if (!file.Open(path))
        return false;
    std::uint8_t head[6];
    return file.ReadAt(0, head) && std::memcmp(head, kMarker, 6) == 0;
}

bool ReadHeaderOnly(const std::string& path, TelemetryHeader& header) {
    float interval = 0;
    MappedFile file;
    bool found = false;
    if (file.Open(DataPathOf(path))) {
        MarkerSpec spec;
        spec.bytes = kMarker;
        spec.handler = [&](MappedFile&, ByteRange bytes) {
            found = DecodeTelemetryHeader(bytes, header, interval);
            return found;
        };
        if (WalkTopLevel(file, spec) && found)
            return true;
    }
    if (!IsMovieFile(path) || !file.Open(path))
        return false;
    const auto payload = UdatPayload(file);
    if (!payload || !StartsWithMarker(payload->bytes()))
        return false;
    return DecodeTelemetryHeader(payload->bytes().sub(6), header, interval);
}

bool LoadMovieBlock(TelemetryReader& reader, const std::string& movie_path) {
    reader.Clear();
    MappedFile file;
    if (!file.Open(movie_path))
        return false;
    const auto payload = UdatPayload(file);
    if (!payload || !StartsWithMarker(payload->bytes()))
        return false;
    return reader.LoadBlock(payload->bytes().sub(6), movie_path);
}

bool CollectPositions(std::span<const std::string> movie_paths) {
    std::lock_guard cache(NamedLock("hCacheFileMutex"));
    {
        std::lock_guard lock(CollectedLock());
        Collected().clear();
    }
    TelemetryReader reader;
    for (const std::string& movie : movie_paths) {
        if (!reader.Load(DataPathOf(movie)))
            return false;
        std::lock_guard lock(CollectedLock());
        auto& all = Collected();
        all.insert(all.end(), reader.positions().begin(), reader.positions().end());
    }
    return true;
}

void WithCollectedPositions(const std::function<void(const std::vector<PositionSample>&)>& read) {
    std::lock_guard lock(CollectedLock());
    read(Collected());
}

std::vector<PositionSample> CollectedPositions() {
    std::lock_guard lock(CollectedLock());
    return Collected();
}

bool PrefetchTelemetry(TelemetryReader& cache, std::recursive_mutex& cache_lock,
                       const std::string& movie_path) {
    cache.RequestAbort();
    std::lock_guard lock(cache_lock);
    cache.ClearAbort();
    cache.set_loaded(false);
    cache.Clear();
    if (movie_path.empty()) {
        cache.set_cache_key({});
        return true;
    }
    cache.set_prefetch_running(true);
    cache.set_cache_key(movie_path);
    const std::string data = DataPathOf(movie_path);
    const bool loaded = IsTelemetryFile(data) && cache.Load(data);
    cache.set_prefetch_running(false);
    return loaded;
}

void AbortOtherPrefetch(TelemetryReader& cache, std::recursive_mutex& cache_lock,
                        const std::string& movie_path) {
    if (!cache.prefetch_running() || cache.cache_key() == movie_path)
        return;
    cache.RequestAbort();
    { std::lock_guard wait(cache_lock); }
    cache.ClearAbort();
}

bool TakeCachedTelemetry(TelemetryReader& cache, TelemetryReader& target,
                         const std::string& movie_path) {
    if (cache.loaded() && cache.cache_key() == movie_path) {
        cache.MoveTo(target);
        return true;
    }
    cache.Clear();
    return false;
}

bool LoadTelemetryForPlayback(TelemetryReader& cache, std::recursive_mutex& cache_lock,
                              std::recursive_mutex& file_lock, TelemetryReader& loading,
                              const std::string& movie_path, std::int64_t frame_count) {
    AbortOtherPrefetch(cache, cache_lock, movie_path);
    std::lock_guard cache_held(cache_lock); // the cache lock always comes first
    std::lock_guard file_held(file_lock);
    if (!TakeCachedTelemetry(cache, loading, movie_path)) {
        loading.Clear();
        const std::string data = DataPathOf(movie_path);
        if (IsTelemetryFile(data))
            loading.Load(data);
    }
    return loading.BuildFrameIndex(frame_count);
}

} // namespace kirvano
