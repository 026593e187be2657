// The G-sensor panel under the info panel: the recording's X, Y and Z acceleration as three
// curves against time over a tiled scale background, the event marks of the detector
// slots, the over-speed band and the cursor of the frame being played. A left click asks
// the owner for the next event, a right click for the previous one.
#pragma once

#include "telemetry/EventDetection.h"
#include "views/CursorStrip.h"

#include <QColor>
#include <QImage>
#include <QStaticText>
#include <QWidget>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kirvano {

class TelemetryReader;

class CGSensorDlg : public QWidget {
    Q_OBJECT

public:
    // One mark found while drawing: its column and event kind.
    struct Mark {
        int x = 0;
        int kind = 0;
        bool operator==(const Mark&) const = default;
    };

    static inline const QColor kCurveColours[3] = {{0, 255, 0}, {255, 0, 0}, {128, 128, 255}};
    static inline const QColor kBandColour{170, 0, 0};
    static constexpr int kBandAlpha = 127;
    static constexpr int kBandHeight = 23;
    static constexpr int kLabelStep = 10; // pixels a label is raised per step

    // `owner` receives WM_APP_GSENSOR_NEXT / _PREV; the parent when null.
    explicit CGSensorDlg(QWidget* parent = nullptr, QObject* owner = nullptr);

    // The detector slots (flags, levels, the recording flag) that the graph, the map's event
    // list and the jumps share.
    EventDetector& Detector() { return detector_; }
    const EventDetector& Detector() const { return detector_; }

    // After a recording's telemetry is published: keeps the reader (read under the engines'
    // file lock at every paint), takes the frame count from its frame table, the scale mode
    // from its peak G and the levels of slots 0..2 from its header, puts the cursor on frame
    // 0 and repaints now. A null reader or one without frames draws no curves.
    void LoadGraph(const TelemetryReader* published);
    // Forgets the recording (before its reader is cleared): background, scale and cursor.
    void ResetGraph();
    // The position update: the cursor's frame; repaints now.
    void SetGraphPosition(std::int64_t frame);
    // Click jumps on or off (the owner turns them off for 500 ms after a jump).
    void SetJumpsEnabled(bool enabled) { jumpsEnabled_ = enabled; }
    bool JumpsEnabled() const { return jumpsEnabled_; }

    // The recording flag from the opened recording's name (parking and time-lapse names
    // give no G, parking or camera events).
    void SetRecordingName(std::string_view name) { detector_.SetRecordingName(name); }

    bool GraphReady() const { return ready_; }
    int ScaleMode() const { return scaleMode_; }
    std::int64_t FrameCount() const { return frameCount_; }
    std::int64_t CurrentFrame() const { return currentFrame_; }
    int CursorX() const;
    // The marks of each slot found by the last painting.
    const std::array<std::vector<Mark>, kDetectorSlots>& Marks() const { return marks_; }
    // The last painting as copied to the window.
    const QImage& Picture() const { return picture_; }
    // Brings the off-screen picture up to date (what a repaint does before copying it):
    // the curves, band and marks are drawn again only when what they show changed (size,
    // recording, scale, window of frames, detector flags and levels); a cursor move alone
    // restores the old cursor column and draws the new one. True when it drew everything.
    bool RenderPicture();
    // A mark's label with its left end of the baseline at `baseline`, as drawText draws it.
    static void DrawLabel(QPainter& p, QPoint baseline, const QStaticText& label);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void DrawBackground(QPainter& p, int width, int height);
    void DrawGraph(QPainter& p, int width, int height);
    void DrawMarks(QPainter& p, int height);

    // Everything the picture without the cursor depends on.
    struct ContentKey {
        QSize device;
        qreal ratio = 0;
        bool ready = false;
        const void* frames = nullptr;
        std::size_t frameEntries = 0;
        const void* samples = nullptr;
        std::size_t sampleEntries = 0;
        std::int64_t frameCount = 0;
        int scaleMode = 0;
        std::int64_t firstFrame = -1; // of the drawn window; -1 when no curves are drawn
        std::array<double, kDetectorSlots * 3 + 1> detector{};
        bool operator==(const ContentKey&) const = default;
    };
    ContentKey KeyNow() const;

    QObject* owner_;
    EventDetector detector_;
    const TelemetryReader* reader_ = nullptr;
    std::int64_t frameCount_ = 0;
    std::int64_t currentFrame_ = 0;
    int scaleMode_ = 1;
    bool ready_ = false;
    bool jumpsEnabled_ = true;
    std::array<std::vector<Mark>, kDetectorSlots> marks_;
    std::vector<MapEvent> found_; // scratch of one frame's events
    std::array<QStaticText, kEventKinds> labels_;
    ContentKey drawnKey_; // what the picture shows besides the cursor
    int drawnCursor_ = -1;
    CursorStrip under_; // the picture under the cursor
    QImage picture_;
};

// The background picture of a scale mode.
int ScalePictureOf(int mode);

} // namespace kirvano
