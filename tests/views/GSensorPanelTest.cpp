#include "views/CGSensorDlg.h"

#include "telemetry/TelemetryReader.h"
#include "telemetry/TelemetryWriter.h"
#include "ui/AppMessage.h"
#include "ui/CResourceImage.h"
#include "ui/SharedFonts.h"
#include "views/GraphScale.h"

#include "../support/PaintLog.h"

#include <QPainter>
#include <QStaticText>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace kirvano {
namespace {

constexpr int kWidth = 656; // layout 0: the video width
constexpr int kHeight = 74; // from video bottom + 95 to 135 above the client bottom

// A recording of `records` ten-a-second records, edited by `edit`, indexed for `frames`
// video frames of 33.333 ms.
std::unique_ptr<TelemetryReader>
Recording(int records, std::int64_t frames,
          const std::function<void(int, TelemetryRecordFields&)>& edit) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < records; ++i) {
        TelemetryRecordFields f;
        f.second = i / 10 % 60;
        edit(i, f);
        const auto record = EncodeTelemetryRecord(f);
        bytes.insert(bytes.end(), record.begin(), record.end());
    }
    const auto header = EncodeTelemetryHeader(TelemetryHeaderFields{});
    const std::vector<std::uint8_t> block = EncodeTelemetryBlock(header, bytes);
    auto reader = std::make_unique<TelemetryReader>();
    EXPECT_TRUE(reader->LoadBlock(ByteRange(block.data() + 6, block.size() - 6), "test"));
    reader->set_frame_duration_ms(33.333f);
    EXPECT_TRUE(reader->BuildFrameIndex(frames));
    return reader;
}

// The first frame whose sample satisfies `pred`.
std::int64_t FirstFrame(const TelemetryReader& r,
                        const std::function<bool(const TelemetrySample&)>& pred) {
    for (std::size_t i = 0; i < r.frame_table().size(); ++i) {
        if (pred(*r.frame_table()[i])) {
            return static_cast<std::int64_t>(i);
        }
    }
    return -1;
}

QColor At(const CGSensorDlg& g, int x, int y) {
    return QColor(g.Picture().pixel(x, y));
}

bool IsWhite(QColor c) {
    return c == QColor(Qt::white);
}

// Rows of column x whose pixel passes `pred`.
int RowsWhere(const CGSensorDlg& g, int x, const std::function<bool(QColor)>& pred) {
    int n = 0;
    for (int y = 0; y < kHeight; ++y) {
        n += pred(At(g, x, y)) ? 1 : 0;
    }
    return n;
}

class Owner : public QObject {
public:
    std::vector<int> messages;

protected:
    bool event(QEvent* e) override {
        if (IsAppMessage(e)) {
            messages.push_back(static_cast<AppMessage*>(e)->message());
            return true;
        }
        return QObject::event(e);
    }
};

class GSensorPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitSkinResources();
        CreateSharedFonts(96, 96);
        graph.resize(kWidth, kHeight);
    }
    Owner owner;
    CGSensorDlg graph{nullptr, &owner};
};

TEST_F(GSensorPanelTest, CurvesMarksBandAndCursorWhereTheSamplesSay) {
    // 10 s: X +0.8 G, Y -0.8 G, Z 0; an X event from record 50, over speed in records 20..29.
    auto r = Recording(100, 300, [](int i, TelemetryRecordFields& f) {
        f.gx = 0.8;
        f.gy = -0.8;
        f.axis = i >= 50 && i < 53 ? 'X' : 'N';
        f.mark_d = i >= 20 && i < 30 ? 'D' : 'N';
    });
    graph.LoadGraph(r.get());
    graph.RenderPicture();
    EXPECT_TRUE(graph.GraphReady());
    EXPECT_EQ(graph.ScaleMode(), 1); // peak 0.8 G: +-1 G full scale, 34 pixels a G
    // Rows: X at 37 - 27, Y at 37 + 27, Z on the centre line (merged onto the background).
    for (int x : {120, 300, 600}) {
        const QColor green = At(graph, x, 10);
        EXPECT_EQ(green.green(), 255) << x;
        EXPECT_LT(green.red(), 100) << x;
        const QColor red = At(graph, x, 64);
        EXPECT_EQ(red.red(), 255) << x;
        EXPECT_LT(red.green(), 100) << x;
        const QColor blue = At(graph, x, 37);
        EXPECT_EQ(blue.blue(), 255) << x;
        EXPECT_GE(blue.red(), 128) << x;
    }
    // Frames are spread over 605 columns: p = 605 / 300.
    const std::int64_t impact =
        FirstFrame(*r, [](const TelemetrySample& s) { return s.axis == 1; });
    const int impactX = kGraphLeftMargin + static_cast<int>(impact * (605.0 / 300));
    using Marks = std::vector<CGSensorDlg::Mark>;
    EXPECT_EQ(graph.Marks()[0], (Marks{{impactX, kEventSteering}}));
    EXPECT_EQ(At(graph, impactX, 25), QColor(0, 255, 0));
    const std::int64_t speeding =
        FirstFrame(*r, [](const TelemetrySample& s) { return s.extra_flag == 8; });
    const int bandX = kGraphLeftMargin + static_cast<int>(speeding * (605.0 / 300));
    EXPECT_EQ(graph.Marks()[6], (Marks{{bandX, kEventOverSpeed}}));
    // The band: continuous, 23 rows high at the bottom, from the first speeding column.
    auto reddish = [](QColor c) { return c.red() > c.green() + 50 && c.red() > c.blue() + 50; };
    for (int x = bandX + 2; x < bandX + 50; ++x) {
        EXPECT_EQ(RowsWhere(graph, x, reddish), CGSensorDlg::kBandHeight) << x;
        EXPECT_FALSE(reddish(At(graph, x, kHeight - CGSensorDlg::kBandHeight - 1))) << x;
    }
    EXPECT_FALSE(reddish(At(graph, bandX - 1, kHeight - 2)));
    // The cursor: a white column that follows the position.
    EXPECT_EQ(RowsWhere(graph, 50, IsWhite), kHeight);
    graph.SetGraphPosition(150);
    graph.RenderPicture();
    EXPECT_EQ(graph.CursorX(), 353);
    EXPECT_EQ(RowsWhere(graph, 353, IsWhite), kHeight);
    EXPECT_LT(RowsWhere(graph, 50, IsWhite), kHeight);
}

TEST_F(GSensorPanelTest, AxisFlagsHideCurvesAndTheirMarks) {
    auto r = Recording(100, 300, [](int i, TelemetryRecordFields& f) {
        f.gx = 0.8;
        f.gy = -0.8;
        f.axis = i >= 40 && i < 45 ? 'Y' : 'N';
    });
    graph.LoadGraph(r.get());
    graph.RenderPicture();
    EXPECT_EQ(graph.Marks()[1].size(), 1u);
    EXPECT_EQ(graph.Marks()[1][0].kind, kEventBraking);
    graph.Detector().SetAxisShown(1, false);
    graph.RenderPicture();
    EXPECT_TRUE(graph.Marks()[1].empty());
    for (int x : {120, 300, 600}) {
        EXPECT_LT(At(graph, x, 64).red(), 100) << x;
        EXPECT_EQ(At(graph, x, 10).green(), 255) << x;
    }
}

TEST_F(GSensorPanelTest, ExtremeValuesStayInsideAndTheWindowSlides) {
    // 100 s, 3000 frames on 605 columns: the window slides. Samples far beyond +-2 G.
    auto r = Recording(1000, 3000, [](int i, TelemetryRecordFields& f) {
        f.gx = 2.7;
        f.gy = -3.1;
        f.axis = i >= 666 && i < 670 ? 'X' : 'N';
    });
    graph.LoadGraph(r.get());
    EXPECT_EQ(graph.ScaleMode(), 3);
    const std::int64_t impact =
        FirstFrame(*r, [](const TelemetrySample& s) { return s.axis == 1; });
    ASSERT_GT(impact, 605);
    graph.RenderPicture();
    EXPECT_TRUE(graph.Marks()[0].empty()); // not in the first window
    // Held at +-2 G, which is beyond the edge limit of a 74-pixel graph: rows 5 and 69.
    EXPECT_EQ(At(graph, 300, 5).green(), 255);
    EXPECT_EQ(At(graph, 300, 69).red(), 255);
    EXPECT_NE(At(graph, 300, 4).green(), 255);
    EXPECT_NE(At(graph, 300, 70).red(), 255);
    // Cursor on the impact: the window starts at (1 - 605 / 3000) x impact.
    graph.SetGraphPosition(impact);
    graph.RenderPicture();
    const double s = (1.0 - 605.0 / 3000) * static_cast<double>(impact);
    const std::int64_t n =
        impact - static_cast<std::int64_t>(s) - (s - static_cast<std::int64_t>(s) > 0 ? 1 : 0);
    ASSERT_EQ(graph.Marks()[0].size(), 1u);
    EXPECT_NEAR(graph.Marks()[0][0].x, kGraphLeftMargin + n, 1);
    // Positions past the frame table draw no curves, and never read beyond it.
    graph.SetGraphPosition(5000);
    graph.RenderPicture();
    EXPECT_TRUE(graph.Marks()[0].empty());
    EXPECT_NE(At(graph, 300, 5).green(), 255);
}

TEST_F(GSensorPanelTest, NoDataDrawsBackgroundScaleAndCursorOnly) {
    auto pureCurve = [](QColor c) { return c.green() == 255 || c.red() == 255 || c.blue() == 255; };
    graph.LoadGraph(nullptr);
    graph.SetGraphPosition(0);
    graph.RenderPicture();
    int coloured = 0;
    for (int x = 51; x < kWidth; ++x) {
        coloured += RowsWhere(graph, x, pureCurve);
    }
    EXPECT_EQ(coloured, 0);
    EXPECT_EQ(RowsWhere(graph, 50, IsWhite), kHeight);
    // The scale margin carries printed text (light pixels) and differs from the grid.
    int light = 0;
    for (int x = 0; x < 45; ++x) {
        light += RowsWhere(graph, x, [](QColor c) { return c.lightness() > 150; });
    }
    EXPECT_GT(light, 20);
    // A reader without samples (no data file) is no different.
    TelemetryReader empty;
    graph.LoadGraph(&empty);
    graph.RenderPicture();
    EXPECT_EQ(graph.FrameCount(), 0);
    for (const auto& marks : graph.Marks()) {
        EXPECT_TRUE(marks.empty());
    }
}

TEST_F(GSensorPanelTest, ACursorMovePaintsItsTwoColumnsAndAnythingElseTheWholeGraph) {
    // 10 s on 605 columns: the window stands still; 100 s: it slides with the position.
    auto still = Recording(100, 300, [](int i, TelemetryRecordFields& f) {
        f.gx = i % 7 * 0.2;
        f.axis = i >= 50 && i < 55 ? 'X' : 'N';
    });
    auto sliding =
        Recording(1000, 3000, [](int i, TelemetryRecordFields& f) { f.gy = i % 9 * 0.1; });
    graph.LoadGraph(still.get());
    graph.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&graph));
    testing::PaintLog log(graph);
    log.Settle();
    const QRegion whole(graph.rect());
    auto column = [](int x) { return QRegion(x, 0, 1, kHeight); };
    const struct {
        const TelemetryReader* load; // null: the same recording
        bool hideY;
        std::int64_t position;
        QRegion painted;
    } steps[] = {
        {nullptr, false, 150, column(50) + column(353)},
        {nullptr, false, 150, {}},
        {nullptr, false, 0, column(353) + column(50)},
        {nullptr, true, 1, whole}, // the detector changed without a repaint asked for
        {sliding.get(), false, 0, whole},
        {nullptr, false, 2000, whole},
        {nullptr, false, 2004, whole}, // the window moved on by three frames
        {nullptr, false, 5000, whole}, // past the frame table: no curves
    };
    int step = 0;
    const TelemetryReader* current = still.get();
    for (const auto& s : steps) {
        SCOPED_TRACE(step++);
        if (s.load != nullptr) {
            current = s.load;
            graph.LoadGraph(current);
            log.Settle();
        }
        graph.Detector().SetAxisShown(1, !s.hideY);
        graph.SetGraphPosition(s.position);
        EXPECT_EQ(log.Settle(), s.painted);
        // What the screen shows is what a graph painted at once shows.
        CGSensorDlg fresh;
        fresh.resize(kWidth, kHeight);
        fresh.LoadGraph(current);
        fresh.Detector().SetAxisShown(1, !s.hideY);
        fresh.SetGraphPosition(s.position);
        fresh.RenderPicture();
        EXPECT_EQ(testing::OnScreen(graph), fresh.Picture().convertToFormat(QImage::Format_RGB32));
        EXPECT_EQ(graph.Marks(), fresh.Marks());
    }
}

// The two shortcuts of a repaint at every scale: a label laid out once lands where drawText
// puts it, and taking a cursor line away leaves the picture as it was.
TEST_F(GSensorPanelTest, ShortcutsLeaveThePixelsAWholeDrawingMakes) {
    for (const qreal ratio : {1.0, 1.25, 1.5, 2.0}) {
        SCOPED_TRACE(ratio);
        for (const char* text : {"G", "M", "\u203b", "#", "\u25b2", "\u25bc"}) {
            QImage expected(QSize(40, 30) * ratio, QImage::Format_ARGB32_Premultiplied);
            expected.setDevicePixelRatio(ratio);
            expected.fill(Qt::black);
            QImage drawn = expected.copy();
            const QStaticText label(QString::fromUtf8(text));
            for (QImage* image : {&expected, &drawn}) {
                QPainter p(image);
                p.setFont(TheSharedFonts().Font(0));
                p.setPen(Qt::white);
                for (const QPoint at : {QPoint(3, 20), QPoint(17, 27)}) {
                    if (image == &drawn)
                        CGSensorDlg::DrawLabel(p, at, label);
                    else
                        p.drawText(at, label.text());
                }
            }
            EXPECT_EQ(drawn, expected) << text;
        }
        QImage picture(QSize(kWidth, kHeight) * ratio, QImage::Format_ARGB32_Premultiplied);
        picture.setDevicePixelRatio(ratio);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, (x ^ y) % 256));
        const QImage before = picture.copy();
        for (const int x : {0, 1, 300, kWidth - 1}) {
            CursorStrip strip;
            strip.Save(picture, x);
            {
                QPainter p(&picture);
                p.setPen(QPen(Qt::white, 0));
                p.drawLine(x, 0, x, kHeight - 1);
            }
            EXPECT_NE(picture, before) << x;
            strip.Restore(picture);
            EXPECT_EQ(picture, before) << x;
        }
    }
}

TEST_F(GSensorPanelTest, ClicksAskForTheNextAndPreviousEvent) {
    graph.show();
    QTest::mouseClick(&graph, Qt::LeftButton, {}, QPoint(100, 30));
    QTest::mouseClick(&graph, Qt::RightButton, {}, QPoint(100, 30));
    graph.SetJumpsEnabled(false);
    QTest::mouseClick(&graph, Qt::LeftButton, {}, QPoint(100, 30));
    graph.SetJumpsEnabled(true);
    QTest::mouseClick(&graph, Qt::MiddleButton, {}, QPoint(100, 30));
    QCoreApplication::sendPostedEvents(&owner);
    EXPECT_EQ(owner.messages, (std::vector<int>{WM_APP_GSENSOR_NEXT, WM_APP_GSENSOR_PREV}));
}

} // namespace
} // namespace kirvano
