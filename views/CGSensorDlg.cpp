#include "views/CGSensorDlg.h"

#include "base/NamedLocks.h"
#include "telemetry/TelemetryReader.h"
#include "ui/AppMessage.h"
#include "ui/SharedFonts.h"
#include "views/GraphScale.h"
#include "views/ViewImages.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStaticText>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace kirvano {
namespace {

// The vertical mark of each event kind: pen colour, label (empty for the star picture) and
// how many steps the label is raised.
struct KindStyle {
    QColor pen;
    const char* label;
    int steps;
};

const KindStyle& StyleOf(int kind) {
    static const KindStyle kStyles[kEventKinds] = {
        {{0, 255, 0}, "G", 1},        {{0, 255, 0}, "G", 1},        {{255, 0, 0}, "G", 0},
        {{128, 128, 255}, "G", 2},    {{128, 128, 255}, "G", 2},    {Qt::white, "M", 3},
        {Qt::white, "\u203b", 3},     {Qt::white, "P", 3},          {Qt::white, "#", 3},
        {Qt::white, "O", 3},          {Qt::white, "R", 3},          {{255, 255, 0}, "", 4},
        {{255, 0, 255}, "\u25b2", 5}, {{0, 255, 255}, "\u25bc", 6},
    };
    return kStyles[std::clamp(kind, 0, kEventKinds - 1)];
}

// One curve's drawing state: the last drawn point, the previous frame's point and the
// frames since the last drawn point.
struct CurveState {
    QPoint drawn;
    QPoint previous;
    int counter = 0;
    bool started = false;
};

} // namespace

int ScalePictureOf(int mode) {
    static constexpr int kPictures[] = {viewpic::kScaleHalfG, viewpic::kScaleOneG,
                                        viewpic::kScaleOneHalfG, viewpic::kScaleTwoG};
    return kPictures[std::clamp(mode, 0, 3)];
}

CGSensorDlg::CGSensorDlg(QWidget* parent, QObject* owner)
    : QWidget(parent), owner_(owner != nullptr ? owner : parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    for (int kind = 0; kind < kEventKinds; ++kind) {
        QStaticText& label = labels_[static_cast<std::size_t>(kind)];
        label.setText(QString::fromUtf8(StyleOf(kind).label));
        label.setTextFormat(Qt::PlainText);
    }
}

void CGSensorDlg::LoadGraph(const TelemetryReader* published) {
    {
        std::lock_guard files(NamedLock("hFileMutex"));
        reader_ = published;
        currentFrame_ = 0;
        frameCount_ = 0;
        if (published != nullptr) {
            frameCount_ = static_cast<std::int64_t>(published->frame_table().size());
            scaleMode_ = ScaleModeOf(published->peak_g());
            detector_.SetLevelsFromHeader(published->header());
        }
        ready_ = published != nullptr;
    }
    repaint();
}

void CGSensorDlg::ResetGraph() {
    {
        std::lock_guard files(NamedLock("hFileMutex"));
        reader_ = nullptr;
        ready_ = false;
        frameCount_ = 0;
        currentFrame_ = 0;
    }
    for (auto& list : marks_) {
        list.clear();
    }
    repaint();
}

void CGSensorDlg::SetGraphPosition(std::int64_t frame) {
    // Called on every position update: painting waits for the event loop, so that several
    // updates between two frames cost one paint. When only the cursor moves, only its old
    // and new columns are painted.
    const int before = CursorX();
    currentFrame_ = frame;
    const int after = CursorX();
    if (!picture_.isNull() && drawnCursor_ == before && KeyNow() == drawnKey_) {
        if (after != before) {
            update(QRect(before, 0, 1, height()));
            update(QRect(after, 0, 1, height()));
        }
        return;
    }
    update();
}

int CGSensorDlg::CursorX() const {
    return CursorColumn(width(), frameCount_, currentFrame_);
}

void CGSensorDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (!jumpsEnabled_ || owner_ == nullptr) {
        return;
    }
    if (event->button() == Qt::LeftButton) {
        PostAppMessage(owner_, WM_APP_GSENSOR_NEXT, 0, 0);
    } else if (event->button() == Qt::RightButton) {
        PostAppMessage(owner_, WM_APP_GSENSOR_PREV, 0, 0);
    }
}

void CGSensorDlg::paintEvent(QPaintEvent* event) {
    if (width() <= 0 || height() <= 0) {
        return;
    }
    const bool redrawn = RenderPicture();
    QPainter p(this);
    const QRect area = event->rect();
    p.drawImage(area, picture_,
                QRectF(area.topLeft() * picture_.devicePixelRatio(),
                       area.size() * picture_.devicePixelRatio()));
    // Something besides the cursor changed while only part of the window was asked for.
    if (redrawn && event->region() != QRegion(rect())) {
        update();
    }
}

CGSensorDlg::ContentKey CGSensorDlg::KeyNow() const {
    ContentKey key;
    key.ratio = devicePixelRatioF();
    key.device =
        QSize(static_cast<int>(width() * key.ratio), static_cast<int>(height() * key.ratio));
    key.ready = ready_;
    key.frameCount = frameCount_;
    key.scaleMode = scaleMode_;
    for (int slot = 0; slot < kDetectorSlots; ++slot) {
        const auto at = static_cast<std::size_t>(slot) * 3;
        key.detector[at] = detector_.GraphFlag(slot) ? 1 : 0;
        key.detector[at + 1] = detector_.DisplayFlag(slot) ? 1 : 0;
        key.detector[at + 2] = detector_.Level(slot);
    }
    key.detector.back() = detector_.DrivingRecording() ? 1 : 0;
    std::lock_guard files(NamedLock("hFileMutex"));
    if (ready_ && reader_ != nullptr) {
        const FrameSamples frames = FrameSamples::Of(*reader_);
        key.frames = frames.frames.data();
        key.frameEntries = frames.frames.size();
        key.samples = frames.samples.data();
        key.sampleEntries = frames.samples.size();
        // The same test DrawGraph makes before it draws any curve.
        const std::int64_t count = std::min<std::int64_t>(frameCount_, frames.FrameCount());
        if (count > 0 && !frames.samples.empty() && currentFrame_ < count && currentFrame_ >= 0) {
            key.firstFrame = WindowOf(width(), count, currentFrame_).FrameAt(0);
        }
    }
    return key;
}

bool CGSensorDlg::RenderPicture() {
    const int w = width();
    const int h = height();
    if (w <= 0 || h <= 0) {
        return false;
    }
    const ContentKey key = KeyNow();
    const bool redraw = picture_.isNull() || !(key == drawnKey_);
    if (redraw) {
        if (picture_.size() != key.device) {
            picture_ = QImage(key.device, QImage::Format_ARGB32_Premultiplied);
        }
        picture_.setDevicePixelRatio(key.ratio);
        for (auto& list : marks_) {
            list.clear();
        }
        QPainter p(&picture_);
        p.fillRect(QRect(0, 0, w, h), Qt::black);
        DrawBackground(p, w, h);
        if (ready_) {
            DrawGraph(p, w, h);
        }
        drawnKey_ = key;
    } else if (drawnCursor_ >= 0) {
        // Only the cursor moved: the columns under the old one as they were drawn.
        under_.Restore(picture_);
    }
    const int cursor = CursorX();
    under_.Save(picture_, cursor);
    QPainter p(&picture_);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setPen(QPen(Qt::white, 0));
    p.drawLine(cursor, 0, cursor, h - 1);
    drawnCursor_ = cursor;
    return redraw;
}

void CGSensorDlg::DrawBackground(QPainter& p, int width, int height) {
    const int id = ScalePictureOf(scaleMode_);
    const QSize own = ViewPictureSize(id);
    if (own.isEmpty()) {
        return;
    }
    const QImage& tile =
        ViewPicture(id, QSize(own.width(), height), p.device()->devicePixelRatioF());
    const int step = own.width() - kGraphLeftMargin;
    if (tile.isNull() || step <= 0) {
        return;
    }
    for (int n = 0; step * n < width; ++n) {
        p.drawImage(QPoint((width - step * n) / 5 * 5, 0), tile);
    }
    const qreal r = tile.devicePixelRatio();
    p.drawImage(QRectF(0, 0, kGraphLeftMargin, height), tile,
                QRectF(0, 0, kGraphLeftMargin * r, height * r));
}

void CGSensorDlg::DrawGraph(QPainter& p, int width, int height) {
    std::lock_guard files(NamedLock("hFileMutex"));
    if (reader_ == nullptr) {
        return;
    }
    const FrameSamples frames = FrameSamples::Of(*reader_);
    const std::int64_t count = std::min<std::int64_t>(frameCount_, frames.FrameCount());
    if (count <= 0 || frames.samples.empty() || currentFrame_ >= count || currentFrame_ < 0) {
        return;
    }
    const GraphWindow window = WindowOf(width, count, currentFrame_);
    const int centre = height / 2;
    const int unit = PixelsPerG(scaleMode_, height);
    const double step = window.pixelsPerFrame;

    std::array<CurveState, 3> curves{};
    std::array<QPen, 3> pens;
    for (std::size_t a = 0; a < 3; ++a) {
        pens[a] = QPen(kCurveColours[a], 0);
    }
    std::vector<std::pair<int, int>> band; // runs of over-speed columns [first, last]
    // Lines are ORed onto the picture, so each curve's lines are drawn in one call after
    // the walk (the order does not change a pixel; a pen change per column costs more than
    // the line).
    std::array<std::vector<QLine>, 3> lines;
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setCompositionMode(QPainter::RasterOp_SourceOrDestination);

    for (std::int64_t n = 0; n <= window.count; ++n) {
        const std::int64_t i = window.FrameAt(n);
        const TelemetrySample* s = frames.At(i);
        if (s == nullptr) {
            break;
        }
        const int x = window.ColumnAt(n);
        const std::array<double, 3> g{s->x, s->y, s->z};
        for (std::size_t a = 0; a < 3; ++a) {
            if (!detector_.GraphFlag(static_cast<int>(a))) {
                continue;
            }
            CurveState& c = curves[a];
            const QPoint point(x, centre - CurveLevel(g[a], unit, centre));
            if (!c.started) {
                c = CurveState{point, point, 0, true};
                continue;
            }
            ++c.counter;
            if (point.y() != c.drawn.y()) {
                if (c.counter > 7) {
                    lines[a].emplace_back(c.drawn, c.previous);
                    lines[a].emplace_back(c.previous, point);
                } else {
                    lines[a].emplace_back(c.drawn, point);
                }
                c.drawn = point;
                c.counter = 0;
            } else if (c.counter % 7 == 0) {
                lines[a].emplace_back(c.drawn, point);
                c.drawn = point;
            }
            c.previous = point;
        }

        found_.clear();
        if (EventDetector::MayStartEvent(frames, i)) {
            detector_.EventsAtFrame(frames, i, EventDetector::Flags::kGraph, found_);
        }
        for (const MapEvent& e : found_) {
            marks_[static_cast<std::size_t>(e.slot)].push_back(Mark{x, e.kind});
        }

        if (s->extra_flag == kEventOverSpeed) {
            const int last = step >= 2.0 ? window.ColumnAt(n + 1) - 1 : x;
            if (!band.empty() && band.back().second + 1 >= x) {
                band.back().second = std::max(band.back().second, last);
            } else {
                band.emplace_back(x, last);
            }
        }
    }
    for (std::size_t a = 0; a < 3; ++a) {
        const CurveState& c = curves[a];
        if (c.started && c.drawn != c.previous)
            lines[a].emplace_back(c.drawn, c.previous);
        if (!lines[a].empty()) {
            p.setPen(pens[a]);
            p.drawLines(lines[a].data(), static_cast<int>(lines[a].size()));
        }
    }

    // Every band column is the start of a 2-pixel strip: the run and the run moved right by
    // one, each blended once.
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    QColor band_colour = kBandColour;
    band_colour.setAlpha(kBandAlpha);
    for (const auto& [first, last] : band) {
        const int top = height - kBandHeight;
        p.fillRect(QRect(first, top, last - first + 1, kBandHeight), band_colour);
        p.fillRect(QRect(first + 1, top, last - first + 1, kBandHeight), band_colour);
    }
    DrawMarks(p, height);
}

void CGSensorDlg::DrawMarks(QPainter& p, int height) {
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setFont(TheSharedFonts().Font(0));
    const QFontMetrics metrics(p.font());
    const qreal ratio = p.device()->devicePixelRatioF();
    for (const auto& list : marks_) {
        for (const Mark& m : list) {
            const KindStyle& style = StyleOf(m.kind);
            p.setPen(QPen(style.pen, 0));
            p.drawLine(m.x, height - 1, m.x, 0);
            const int bottom = height - 5 - style.steps * kLabelStep;
            if (m.kind == kEventAssistSteering) {
                const QSize size = ViewPictureSize(viewpic::kStar);
                p.drawImage(QPoint(m.x + 1, bottom - size.height()),
                            ViewPicture(viewpic::kStar, ratio));
            } else {
                p.setPen(Qt::white);
                const QPoint baseline(m.x + 1, bottom - metrics.descent());
                DrawLabel(
                    p, baseline,
                    labels_[static_cast<std::size_t>(std::clamp(m.kind, 0, kEventKinds - 1))]);
            }
        }
    }
}

void CGSensorDlg::DrawLabel(QPainter& p, QPoint baseline, const QStaticText& label) {
    // Laid out once; at fractional scales a static text can land a row apart from
    // drawText's, so there it is laid out each time.
    const qreal ratio = p.device()->devicePixelRatioF();
    if (ratio == std::floor(ratio)) {
        p.drawStaticText(baseline - QPointF(0, QFontMetricsF(p.font()).ascent()), label);
    } else {
        p.drawText(baseline, label.text());
    }
}

} // namespace kirvano
