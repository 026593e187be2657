#include "generator/MovieWriter.h"

#include "base/FileSystem.h"

#include <gst/app/gstappsrc.h>

#include <gst/gst.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <optional>
#include <unistd.h>

namespace kirvano {
namespace {

constexpr int kAudioRate = 48000;

Status InitialiseGStreamer() {
    static std::once_flag once;
    static std::string problem;
    std::call_once(once, [] {
        GError* error = nullptr;
        if (!gst_init_check(nullptr, nullptr, &error)) {
            problem = error ? error->message : "GStreamer could not start";
            g_clear_error(&error);
        }
    });
    if (!problem.empty()) {
        return Failure(problem);
    }
    return Success();
}

struct PipelineDeleter {
    void operator()(GstElement* p) const {
        gst_element_set_state(p, GST_STATE_NULL);
        gst_object_unref(p);
    }
};
using PipelinePtr = std::unique_ptr<GstElement, PipelineDeleter>;

// Frames go out in buffers of a pool: a fresh buffer of a few MiB for every frame would
// come from the system each time and cost a page fault per 4 KiB. Released when the
// pipeline that holds its buffers is gone.
struct FramePool {
    GstBufferPool* pool = gst_buffer_pool_new();
    FramePool(const CameraFormat& f, std::size_t frameBytes) {
        GstCaps* caps =
            gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "I420", "width", G_TYPE_INT,
                                f.width, "height", G_TYPE_INT, f.height, "framerate",
                                GST_TYPE_FRACTION, f.rateNumerator, f.rateDenominator, nullptr);
        GstStructure* config = gst_buffer_pool_get_config(pool);
        gst_buffer_pool_config_set_params(config, caps, static_cast<guint>(frameBytes), 2, 0);
        gst_caps_unref(caps);
        active = gst_buffer_pool_set_config(pool, config) && gst_buffer_pool_set_active(pool, TRUE);
    }
    ~FramePool() {
        gst_buffer_pool_set_active(pool, FALSE);
        gst_object_unref(pool);
    }
    FramePool(const FramePool&) = delete;
    FramePool& operator=(const FramePool&) = delete;
    GstBuffer* take() const {
        GstBuffer* buffer = nullptr;
        return active && gst_buffer_pool_acquire_buffer(pool, &buffer, nullptr) == GST_FLOW_OK
                   ? buffer
                   : nullptr;
    }
    bool active = false;
};

struct ElementRef {
    GstElement* element = nullptr;
    ~ElementRef() {
        if (element) {
            gst_object_unref(element);
        }
    }
};

// The first error on the bus, if there is one.
std::string BusError(GstElement* pipeline) {
    GstBus* bus = gst_element_get_bus(pipeline);
    std::string text;
    while (GstMessage* message = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR)) {
        GError* error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        if (text.empty() && error) {
            text = error->message;
        }
        g_clear_error(&error);
        gst_message_unref(message);
    }
    gst_object_unref(bus);
    return text;
}

// Quiet engine hum with a short tick at every whole second, so that sound and picture
// can be lined up by ear.
std::int16_t AudioSample(long long index) {
    const double t = static_cast<double>(index) / kAudioRate;
    double v = 700.0 * std::sin(2 * M_PI * 96.0 * t) + 250.0 * std::sin(2 * M_PI * 193.0 * t);
    const long long inSecond = index % kAudioRate;
    if (inSecond < kAudioRate * 3 / 100) {
        v += 5000.0 * std::sin(2 * M_PI * 1000.0 * t);
    }
    return static_cast<std::int16_t>(v);
}

GstFlowReturn PushAudio(GstAppSrc* source, long long from, long long to) {
    if (to <= from) {
        return GST_FLOW_OK;
    }
    const gsize bytes = static_cast<gsize>(to - from) * 2;
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, bytes, nullptr);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_WRITE);
    auto* samples = reinterpret_cast<std::int16_t*>(map.data);
    for (long long i = from; i < to; ++i) {
        samples[i - from] = AudioSample(i);
    }
    gst_buffer_unmap(buffer, &map);
    GST_BUFFER_PTS(buffer) =
        gst_util_uint64_scale(static_cast<guint64>(from), GST_SECOND, kAudioRate);
    GST_BUFFER_DURATION(buffer) =
        gst_util_uint64_scale(static_cast<guint64>(to), GST_SECOND, kAudioRate) -
        GST_BUFFER_PTS(buffer);
    return gst_app_src_push_buffer(source, buffer);
}

Status AppendUdatAndPublish(const std::string& temporary, const std::string& path,
                            const std::vector<std::uint8_t>& block) {
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) {
        return Failure(std::string("cannot reopen the movie: ") + std::strerror(errno));
    }
    const std::uint64_t size = 8 + block.size();
    if (size > 0xFFFFFFFFu) {
        ::close(fd);
        return Failure("the telemetry block is too large for a udat box");
    }
    std::vector<std::uint8_t> box = {static_cast<std::uint8_t>(size >> 24),
                                     static_cast<std::uint8_t>(size >> 16),
                                     static_cast<std::uint8_t>(size >> 8),
                                     static_cast<std::uint8_t>(size),
                                     'u',
                                     'd',
                                     'a',
                                     't'};
    box.insert(box.end(), block.begin(), block.end());
    std::size_t done = 0;
    while (done < box.size()) {
        const ssize_t n = ::write(fd, box.data() + done, box.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int error = errno;
            ::close(fd);
            return Failure(std::string("cannot write the udat box: ") + std::strerror(error));
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        return Failure(std::string("cannot flush the movie: ") + std::strerror(errno));
    }
    // Never replace a file that appeared under the final name meanwhile.
    if (const int error = RenameNoReplace(temporary, path); error != 0) {
        return Failure(error == EEXIST
                           ? std::string("the movie exists already")
                           : std::string("cannot rename the movie: ") + std::strerror(error));
    }
    SyncFolder(FolderOf(path));
    return Success();
}

Status Encode(const MovieJob& job, const std::string& temporary, const std::atomic<bool>& cancel,
              std::atomic<long long>* framesDone) {
    const CameraFormat& f = job.format;
    const int gop = std::max(1, (f.rateNumerator + f.rateDenominator - 1) / f.rateDenominator);
    char description[1024];
    std::snprintf(description, sizeof description,
                  "appsrc name=video format=time block=true "
                  "caps=video/x-raw,format=I420,width=%d,height=%d,framerate=%d/%d,"
                  "pixel-aspect-ratio=1/1,interlace-mode=progressive "
                  "! x264enc speed-preset=ultrafast bframes=0 key-int-max=%d pass=qual "
                  "quantizer=24 "
                  "! video/x-h264,stream-format=avc ! qtmux name=mux ! filesink name=sink%s",
                  f.width, f.height, f.rateNumerator, f.rateDenominator, gop,
                  job.audio ? " appsrc name=audio format=time block=false max-bytes=0 "
                              "caps=audio/x-raw,format=S16LE,layout=interleaved,rate=48000,"
                              "channels=1 ! audioconvert ! avenc_aac ! mux."
                            : "");
    // Declared before the pipeline, so that it outlives the buffers the pipeline holds.
    std::optional<FramePool> pool;
    GError* error = nullptr;
    PipelinePtr pipeline(gst_parse_launch(description, &error));
    if (error) {
        std::string text = error->message;
        g_clear_error(&error);
        return Failure("cannot build the encoder: " + text);
    }
    ElementRef sink{gst_bin_get_by_name(GST_BIN(pipeline.get()), "sink")};
    ElementRef video{gst_bin_get_by_name(GST_BIN(pipeline.get()), "video")};
    ElementRef audio{job.audio ? gst_bin_get_by_name(GST_BIN(pipeline.get()), "audio") : nullptr};
    g_object_set(sink.element, "location", temporary.c_str(), nullptr);
    FramePainter painter(f.width, f.height, job.tint);
    pool.emplace(f, painter.frameBytes());
    // Keep at most two pictures waiting for the encoder.
    g_object_set(video.element, "max-bytes", static_cast<guint64>(painter.frameBytes() * 2),
                 nullptr);
    if (gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        const std::string text = BusError(pipeline.get());
        return Failure("cannot start the encoder" + (text.empty() ? "" : ": " + text));
    }

    // The sound ends a little before the picture, in whole AAC frames of 1024 samples: the
    // encoder adds a frame of its own, and a sound track longer than the picture would
    // make the movie's duration longer than its frames.
    const long long videoSamples = static_cast<long long>(gst_util_uint64_scale(
        static_cast<guint64>(job.frames), static_cast<guint64>(f.rateDenominator) * kAudioRate,
        static_cast<guint64>(f.rateNumerator)));
    const long long audioTotal = std::max(0ll, (videoSamples / 1024 - 2) * 1024);
    // All of the sound goes in first: the sound encoder holds samples back, and a muxer
    // that waits for sound while the picture queue is full would never finish.
    if (audio.element) {
        const long long chunk = kAudioRate / 10;
        for (long long from = 0; from < audioTotal; from += chunk) {
            if (PushAudio(GST_APP_SRC(audio.element), from, std::min(audioTotal, from + chunk)) !=
                GST_FLOW_OK) {
                break;
            }
        }
        gst_app_src_end_of_stream(GST_APP_SRC(audio.element));
    }
    FrameOverlay overlay;
    for (int i = 0; i < job.frames; ++i) {
        if (cancel.load()) {
            return Failure("cancelled");
        }
        const guint64 start = gst_util_uint64_scale(
            static_cast<guint64>(i), GST_SECOND * static_cast<guint64>(f.rateDenominator),
            static_cast<guint64>(f.rateNumerator));
        const guint64 end = gst_util_uint64_scale(
            static_cast<guint64>(i + 1), GST_SECOND * static_cast<guint64>(f.rateDenominator),
            static_cast<guint64>(f.rateNumerator));
        overlay.frame = static_cast<std::uint32_t>(i);
        overlay.lines.clear();
        if (job.overlay) {
            job.overlay(overlay.frame, overlay);
        }
        GstBuffer* buffer = pool->take();
        if (!buffer) {
            return Failure("cannot get a frame buffer");
        }
        GstMapInfo map;
        gst_buffer_map(buffer, &map, GST_MAP_WRITE);
        painter.paint(overlay, map.data);
        gst_buffer_unmap(buffer, &map);
        GST_BUFFER_PTS(buffer) = start;
        GST_BUFFER_DURATION(buffer) = end - start;
        if (gst_app_src_push_buffer(GST_APP_SRC(video.element), buffer) != GST_FLOW_OK) {
            break;
        }
        if (framesDone) {
            framesDone->fetch_add(1);
        }
    }
    gst_app_src_end_of_stream(GST_APP_SRC(video.element));
    GstBus* bus = gst_element_get_bus(pipeline.get());
    std::string problem;
    for (;;) {
        GstMessage* message = gst_bus_timed_pop_filtered(
            bus, 100 * GST_MSECOND,
            static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        if (cancel.load()) {
            problem = "cancelled";
        }
        if (message) {
            if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
                GError* e = nullptr;
                gst_message_parse_error(message, &e, nullptr);
                problem = e ? e->message : "encoder error";
                g_clear_error(&e);
            }
            gst_message_unref(message);
            break;
        }
        if (!problem.empty()) {
            break;
        }
    }
    gst_object_unref(bus);
    if (!problem.empty()) {
        return Failure(problem);
    }
    return Success();
}

} // namespace

std::string TemporaryMoviePath(const std::string& path) {
    return FolderOf(path) + "/." + std::string(FileNameOf(path)) + ".part";
}

int FrameCountOf(const CameraFormat& format, int seconds) {
    return static_cast<int>(static_cast<long long>(seconds) * format.rateNumerator /
                            format.rateDenominator);
}

Status WriteMovie(const MovieJob& job, const std::atomic<bool>& cancel,
                  std::atomic<long long>* framesDone) {
    if (const Status status = InitialiseGStreamer(); !status) {
        return status;
    }
    if (job.frames <= 0 || job.frames > static_cast<int>(65535)) {
        return Failure("a movie must have 1 to 65535 frames");
    }
    const std::string temporary = TemporaryMoviePath(job.path);
    Status status = Encode(job, temporary, cancel, framesDone);
    if (status) {
        status = AppendUdatAndPublish(temporary, job.path, job.udat);
    }
    if (!status) {
        ::unlink(temporary.c_str());
    }
    return status;
}

} // namespace kirvano
