// The factory of the engines' pipelines and the decoder switch, with the pipeline's life and
// the two queries beside playback: whether the movie plays backwards, and the snapshot.
#include "playback/platform/GstPipeline.h"

#include "base/AtomicOutputFile.h"
#include "playback/platform/GstEnginePipeline.h"
#include "playback/platform/ReverseTrial.h"

#include <QBuffer>
#include <QByteArray>

#include <gst/gst.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <mutex>

namespace kirvano {
namespace {

std::atomic<bool> gHardwareDecoding{false};

void EnsureGstreamer() {
    static std::once_flag once;
    std::call_once(once, [] { gst_init(nullptr, nullptr); });
}

} // namespace

GstEnginePipeline::GstEnginePipeline() {
    EnsureGstreamer();
}

GstEnginePipeline::~GstEnginePipeline() {
    CancelPendingStart();
    Close(kWaitMs);
}

bool GstEnginePipeline::CanPlayBackwards() {
    if (!reverseTrial_.valid() && playbin_) {
        trialCancel_ = std::make_shared<std::atomic<bool>>(false);
        reverseTrial_ = StartReverseTrial(uri_, durationNs_, trialCancel_);
    }
    if (!reverseTrial_.valid())
        return false;
    if (reverseTrial_.wait_for(std::chrono::milliseconds(kWaitMs)) != std::future_status::ready)
        return false;
    return reverseTrial_.get();
}

bool GstEnginePipeline::SaveSnapshot(const std::string& jpegPath) {
    const QImage frame = presenter_.CurrentImage();
    if (frame.isNull())
        return false;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!frame.save(&buffer, "JPG", 95))
        return false;
    return WriteFileAtomically(jpegPath, std::string_view(bytes.constData(), bytes.size())).ok();
}

void SetHardwareDecoding(bool on) {
    gHardwareDecoding = on;
}

bool HardwareDecoding() {
    return gHardwareDecoding;
}

int DecoderThreads() {
    return std::max(1, static_cast<int>(g_get_num_processors()) / 2);
}

bool LimitDecoderThreads(GstElement* element) {
    GstElementFactory* factory = gst_element_get_factory(element);
    if (!factory || !g_str_has_prefix(GST_OBJECT_NAME(factory), "avdec_"))
        return false;
    // Front and rear decode at once, each on a thread of its own. More threads per decoder
    // than its share of the cores add hand-overs and wake-ups that cost more than they gain.
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(element), "max-threads"))
        g_object_set(element, "max-threads", DecoderThreads(), nullptr);
    return true;
}

PipelineFactory GstPipelineFactory() {
    return [] { return std::unique_ptr<MediaPipeline>(new GstEnginePipeline()); };
}

} // namespace kirvano
