// The video output of one engine: the last decoded frame, the destination rectangle the
// engine computed, the mirror flag and the text overlay. Frames arrive on streaming
// threads, which also convert them into a picture of the size they are shown at; the
// video window paints on the UI thread and only copies that picture.
#pragma once

#include "playback/PlaybackTypes.h"
#include "playback/VideoPresenter.h"
#include "playback/platform/SampleFrame.h"

#include <QImage>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class QPainter;
class QRect;

namespace kirvano {

class FramePresenter : public VideoPresenter {
public:
    // Converts a frame that is about to be shown, before the sink waits for its moment,
    // so that showing it costs no conversion; called on the streaming thread that then
    // hands the same buffer to SetFrame.
    void Prepare(GstBuffer* buffer, const GstVideoInfo& info);
    // Converts a frame as it leaves the decoder, on the decoder's thread, while its memory
    // is still in the processor's caches; Prepare then finds the picture by the buffer
    // (address and time). Once buffers stop arriving as they left the decoder (something
    // between made new ones), frames are converted only by Prepare until ForgetDecoded.
    void PrepareDecoded(GstBuffer* buffer, const GstVideoInfo& info);
    // Drops the pictures made by PrepareDecoded (after a flush, or for another movie with
    // `again`, which also converts early again).
    void ForgetDecoded(bool again);
    // Stores a frame (with its prepared picture when there is one); called on a streaming
    // thread.
    void SetFrame(std::shared_ptr<const DecodedFrame> frame, std::int64_t number);
    void SetDestination(const ViewRect& rect, bool mirror);
    ViewRect destination() const;
    bool mirror() const;
    bool HasPicture() const override;
    QImage CurrentImage() const override;
    std::int64_t FrameNumber() const;
    void ClearFrame();

    // The 300 x 120 overlay: green text on black with word wrap; black is transparent.
    void ShowOverlayText(const std::string& text, const std::string& fontFace);
    void HideOverlayText();
    QImage Overlay() const;

    // Black where the picture is not, the picture in the destination rectangle (flipped
    // when mirrored), the overlay at the top left at its own pixel size.
    void Paint(QPainter& painter, const QRect& client) const override;

    // Called whenever a new frame is stored (any thread).
    void SetRepaintCallback(std::function<void()> callback);

private:
    mutable std::mutex mutex_;
    std::shared_ptr<const DecodedFrame> frame_;
    mutable QImage picture_; // frame_ converted for the screen, null until needed
    std::int64_t number_ = -1;
    ViewRect destination_;
    bool mirror_ = false;
    QImage overlay_;
    std::function<void()> repaint_;
    // The picture Prepare made, and the buffer (address and time) it was made from.
    struct Prepared {
        const GstBuffer* buffer = nullptr;
        GstClockTime pts = GST_CLOCK_TIME_NONE;
        QImage picture;
    };
    Prepared prepared_; // streaming thread only
    // The pictures made as the frames left the decoder, oldest first, at most
    // kDecodedPictures - 4 (the others are prepared, shown, painted and being made).
    static constexpr std::size_t kDecodedPictures = 8;
    bool TakeDecoded(GstBuffer* buffer, QSize size);
    // The size a frame of that native size is converted at for the current destination.
    QSize ScreenSize(QSize native) const;
    std::mutex decodedMutex_;
    std::deque<Prepared> decoded_;
    int decodedMisses_ = 0; // in a row; under decodedMutex_
    std::atomic<bool> decodedOff_{false};
    PictureRing decodedPictures_{kDecodedPictures}; // decoder thread only
    FrameConverter decodedConverter_;               // decoder thread only
    // Converts for the screen into one of the pictures below (streaming thread only).
    QImage ConvertForScreen(const DecodedFrame& frame, QSize size);
    PictureRing pictures_;
    FrameConverter streamingConverter_;
    mutable FrameConverter onDemandConverter_;
};

// The size a picture is converted at for a destination rectangle: the rectangle's size,
// but never more than the frame's own (a zoomed picture is enlarged when painted); empty
// when there is no destination.
QSize PictureSize(const ViewRect& destination, QSize native);

// The overlay surface for a text, as the engine draws it (opaque, black background).
QImage RenderOverlayText(const std::string& text, const std::string& fontFace);

} // namespace kirvano
