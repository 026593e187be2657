// The engine state machine, its messages and the broadcast over both engines, on a fake
// pipeline.
#include "playback/PlaybackEngine.h"
#include "playback/EngineBroadcast.h"

#include "FakePipeline.h"
#include "library/RecordingName.h"
#include "playback/EngineTelemetry.h"
#include "support/TempDir.h"
#include "telemetry/TelemetryTestData.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace kirvano {
namespace {

using testing::FakePipeline;
using testing::FakePipelineLog;
using testing::FakeWindow;

struct PipelineSpec {
    float detected = 33.366665f;
    std::int64_t duration = 100 * 333667;
    bool reverse = false;
    std::int64_t position = 1;
    std::string openError{};
};

struct Rig {
    explicit Rig(int index = 0, PipelineSpec s = {}) : spec(s) {
        EngineOptions options;
        options.timedSleepMs = 1;
        options.positionRetryMs = 1;
        engine = std::make_unique<PlaybackEngine>(
            index,
            [this] {
                auto p = std::make_unique<FakePipeline>(log);
                p->detected = spec.detected;
                p->duration = spec.duration;
                p->reverse = spec.reverse;
                p->position = spec.position;
                p->openError = spec.openError;
                fake = p.get();
                return p;
            },
            options);
        engine->Init(&window, "Noto Sans CJK JP");
        movie = dir.file("AGS-220801-123456-000123F.MOV");
        std::string bytes(300, '\0');
        bytes.replace(4, 4, "ftyp");
        kirvano::testing::WriteAll(movie, bytes);
    }
    PipelineSpec spec;
    std::shared_ptr<FakePipelineLog> log = std::make_shared<FakePipelineLog>();
    FakePipeline* fake = nullptr;
    FakeWindow window;
    kirvano::testing::TempDir dir;
    std::string movie;
    std::unique_ptr<PlaybackEngine> engine;
};

TEST(PlaybackEngine, StatesFollowTheOperations) {
    Rig rig;
    PlaybackEngine& e = *rig.engine;
    EXPECT_EQ(e.state(), EngineState::Closed);
    EXPECT_FALSE(e.Play());
    EXPECT_FALSE(e.Pause());
    EXPECT_FALSE(e.Stop());
    ASSERT_TRUE(e.Open(rig.movie));
    EXPECT_EQ(e.state(), EngineState::Stopped);
    EXPECT_EQ(rig.window.Count(WM_APP_ENGINE_READY), 1);
    EXPECT_TRUE(e.Play());
    EXPECT_EQ(e.state(), EngineState::Playing);
    EXPECT_TRUE(e.SeekPlaying(10));
    EXPECT_TRUE(e.Pause());
    EXPECT_EQ(e.state(), EngineState::Paused);
    EXPECT_FALSE(e.SeekPlaying(10)) << "only while playing";
    EXPECT_TRUE(e.Play());
    EXPECT_TRUE(e.Stop());
    EXPECT_EQ(e.state(), EngineState::Stopped);
    EXPECT_TRUE(e.Close());
    EXPECT_EQ(e.state(), EngineState::Closed);
    EXPECT_TRUE(rig.log->closed);
    const std::vector<std::string> expected{"open",  "start", "seek-playing", "pause",
                                            "start", "pause", "close"};
    EXPECT_EQ(rig.log->calls, expected);
}

TEST(PlaybackEngine, OpenRefusesWhatCannotPlay) {
    Rig rig;
    kirvano::testing::WriteAll(rig.dir.file("short.MOV"), "....ftyp");
    EXPECT_FALSE(rig.engine->Open(rig.dir.file("short.MOV")));
    EXPECT_FALSE(rig.engine->Open(rig.dir.file("missing.MOV")));

    Rig failing(0, PipelineSpec{.openError = "no decoder"});
    EXPECT_FALSE(failing.engine->Open(failing.movie));
    EXPECT_EQ(failing.engine->lastError(), "no decoder");
    EXPECT_EQ(failing.engine->state(), EngineState::Closed);

    Rig empty(0, PipelineSpec{.duration = 0});
    EXPECT_FALSE(empty.engine->Open(empty.movie)) << "the first engine needs frames";
    Rig emptyRear(1, PipelineSpec{.duration = 0});
    EXPECT_TRUE(emptyRear.engine->Open(emptyRear.movie));
}

TEST(PlaybackEngine, FrameDurationFromThePipelineWhenTheMovieHasNone) {
    Rig rig(0, PipelineSpec{.detected = 40.0f, .duration = 40 * 10000 * 75});
    ASSERT_TRUE(rig.engine->Open(rig.movie));
    EXPECT_FALSE(rig.engine->timingFromMovie());
    EXPECT_FLOAT_EQ(rig.engine->GetFrameDuration(), 40.0f);
    EXPECT_FLOAT_EQ(rig.fake->frameDuration, 40.0f);
    EXPECT_EQ(rig.engine->GetFrameCount(), 75);
}

TEST(PlaybackEngine, PositionsInFrames) {
    Rig rig(0, PipelineSpec{.detected = 40.0f});
    ASSERT_TRUE(rig.engine->Open(rig.movie));
    ASSERT_TRUE(rig.engine->SetPosition(25));
    EXPECT_EQ(rig.log->seeks.back(), 10000000);
    rig.fake->position = 10000000 + 200000; // middle of frame 25
    EXPECT_EQ(rig.engine->GetPosition(), 25);
    EXPECT_FALSE(rig.engine->SetPosition(-3));

    rig.fake->position = -5;
    EXPECT_EQ(rig.engine->GetPosition(), -1);

    // A clock that still reads 0 is asked ten more times, then 0 is the answer.
    rig.fake->position = 0;
    rig.log->positionReads = 0;
    EXPECT_EQ(rig.engine->GetPosition(), 0);
    EXPECT_EQ(rig.log->positionReads, 11);
}

TEST(PlaybackEngine, RatesAndSound) {
    Rig rig;
    PlaybackEngine& e = *rig.engine;
    ASSERT_TRUE(e.Open(rig.movie));
    ASSERT_TRUE(e.SetVolume(65535));
    EXPECT_DOUBLE_EQ(rig.log->volumes.back(), 1.0);

    ASSERT_TRUE(e.SetRate(-2, 1.0));
    EXPECT_DOUBLE_EQ(rig.log->rates.back(), 0.5);
    EXPECT_DOUBLE_EQ(rig.log->volumes.back(), 0.0);

    ASSERT_TRUE(e.SetRate(1, 1.0));
    ASSERT_TRUE(e.SetRate(-1, 1.0));
    EXPECT_DOUBLE_EQ(rig.log->rates.back(), 0.5357142857142857);
    EXPECT_EQ(e.rateCode(), -2);
    ASSERT_TRUE(e.SetRate(-1, 1.0));
    EXPECT_DOUBLE_EQ(rig.log->rates.back(), 1.0);
    EXPECT_EQ(e.rateCode(), 1);
    EXPECT_DOUBLE_EQ(rig.log->volumes.back(), 1.0);

    ASSERT_TRUE(e.SetRate(4, 1.0));
    EXPECT_TRUE(rig.log->thinning.back());
    ASSERT_TRUE(e.SetRate(2, 1.0));
    EXPECT_FALSE(rig.log->thinning.back());
    // The volume set at another rate is stored and applied muted.
    ASSERT_TRUE(e.SetVolume(30000));
    EXPECT_DOUBLE_EQ(rig.log->volumes.back(), 0.0);
    EXPECT_EQ(e.volume(), 30000);

    Rig reverse(0, PipelineSpec{.reverse = true});
    ASSERT_TRUE(reverse.engine->Open(reverse.movie));
    ASSERT_TRUE(reverse.engine->SetRate(-1, 1.0));
    EXPECT_DOUBLE_EQ(reverse.log->rates.back(), -1.0);
    ASSERT_TRUE(reverse.engine->SetRate(-4, 1.0));
    EXPECT_DOUBLE_EQ(reverse.log->rates.back(), -4.0);
    EXPECT_FALSE(reverse.log->thinning.back());
}

TEST(PlaybackEngine, EndOfMovieIsForwardedOnce) {
    Rig rig;
    ASSERT_TRUE(rig.engine->Open(rig.movie));
    rig.fake->handler(PipelineEvent::Ended);
    EXPECT_EQ(rig.window.Count(WM_APP_ENGINE_ENDED), 1);
    rig.fake->handler(PipelineEvent::Failed);
    const auto posted = rig.window.Snapshot();
    EXPECT_EQ(posted.back().message, WM_APP_ENGINE_ENDED);
    EXPECT_EQ(posted.back().wParam, 1) << "a failure is marked";
}

TEST(PlaybackEngine, TimedPlaybackTicksAndEnds) {
    Rig rig(0, PipelineSpec{.detected = 40.0f, .duration = 40 * 10000 * 5});
    PlaybackEngine& e = *rig.engine;
    ASSERT_TRUE(e.Open(rig.movie));
    rig.fake->position = 2 * 400000 + 200000; // frame 2
    ASSERT_TRUE(e.Play());
    ASSERT_TRUE(e.SetTimedPlayback(true, 1.0));
    for (int i = 0; i < 400 && rig.window.Count(kTimedPlaybackEndedMessage) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::vector<std::intptr_t> ticks;
    for (const auto& p : rig.window.Snapshot()) {
        if (p.message == kTimedTickMessage) {
            EXPECT_TRUE(p.toOwner);
            ticks.push_back(p.lParam);
        }
    }
    EXPECT_EQ(ticks, (std::vector<std::intptr_t>{2, 3, 4}));
    EXPECT_EQ(rig.window.Count(kTimedPlaybackEndedMessage), 1);
    EXPECT_DOUBLE_EQ(rig.log->volumes.back(), 0.0) << "muted while timed";
    ASSERT_TRUE(e.SetTimedPlayback(false, 1.0));
    EXPECT_DOUBLE_EQ(rig.log->volumes.back(), 1.0);

    // Paused: no ticks.
    ASSERT_TRUE(e.SetTimedPlayback(true, 1.0));
    ASSERT_TRUE(e.Pause());
    const int before = rig.window.Count(kTimedTickMessage);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(rig.window.Count(kTimedTickMessage), before);
    EXPECT_TRUE(e.Close()) << "closing stops the timed thread";
    EXPECT_FALSE(e.timedPlaybackRunning());
}

TEST(PlaybackEngine, ViewGoesToThePresenter) {
    Rig rig;
    PlaybackEngine& e = *rig.engine;
    EXPECT_EQ(e.displayRect(), (ViewRect{0, 0, 640, 360}));
    ASSERT_TRUE(e.Open(rig.movie));
    EXPECT_EQ(rig.log->display, (ViewRect{0, 0, 642, 362}));
    ASSERT_TRUE(e.SetAspectMode(0));
    EXPECT_EQ(rig.log->display, (ViewRect{0, 0, 640, 360}));
    ASSERT_TRUE(e.SetView(2.0f, 320, 180, 0, 0, true));
    EXPECT_EQ(rig.log->display, (ViewRect{-320, -180, 960, 540}));
    EXPECT_FALSE(e.SetView(0.0f, 0, 0, 0, 0, true));
    EXPECT_EQ(e.view().zoom, 2.0f) << "a refused view keeps the stored one";
    ASSERT_TRUE(e.SetMirror(true));
    EXPECT_TRUE(rig.log->mirror);
    EXPECT_EQ(rig.log->display, (ViewRect{960, -180, -320, 540}));
    rig.window.client = {0, 0, 320, 180};
    ASSERT_TRUE(e.RefreshView());
    EXPECT_EQ(rig.log->display, (ViewRect{320, -180, -320, 180}));
}

TEST(PlaybackEngine, TelemetryLoadsPublishesAndClears) {
    // 40 ms frames, 75 frames; ten records a second for 3 seconds.
    Rig rig(0, PipelineSpec{.detected = 40.0f, .duration = 40 * 10000 * 75});
    PlaybackEngine& e = *rig.engine;
    ASSERT_TRUE(e.Open(rig.movie));
    EXPECT_FALSE(e.LoadTelemetry(rig.movie)) << "no data file yet";
    const std::string data = DataPathOf(rig.movie);
    std::filesystem::create_directories(std::filesystem::path(data).parent_path());
    kirvano::testing::WriteAll(
        data, kirvano::testing::AsString(kirvano::testing::Block(kirvano::testing::Sequence(30))));
    for (bool prefetched : {false, true}) {
        SCOPED_TRACE(prefetched);
        if (prefetched) {
            ASSERT_TRUE(e.PrefetchTelemetry(rig.movie));
            EXPECT_TRUE(e.telemetry().cache.loaded());
        }
        ASSERT_TRUE(e.LoadTelemetry(rig.movie));
        EXPECT_EQ(e.telemetry().loading.frame_table().size(), 75u);
        EXPECT_TRUE(e.PublishTelemetry());
        EXPECT_EQ(e.telemetry().published.samples().size(), 30u);
        EXPECT_TRUE(e.telemetry().loading.samples().empty());
        // Record 1 (100 ms, frame 2) is the table entry from frame 3 on.
        EXPECT_EQ(e.telemetry().published.IndexOf(e.telemetry().published.SampleAtFrame(3)), 1);
        EXPECT_FALSE(e.telemetry().cache.loaded()) << "the cache was taken";
    }
    // Opening a movie discards the published samples; clearing empties both readers.
    ASSERT_TRUE(e.Open(rig.movie));
    EXPECT_TRUE(e.telemetry().published.samples().empty());
    ASSERT_TRUE(e.LoadTelemetry(rig.movie));
    EXPECT_TRUE(e.ClearTelemetry());
    EXPECT_TRUE(e.telemetry().loading.samples().empty());
    EXPECT_EQ(EngineLockWaiters(), 0);
}

TEST(EngineBroadcast, SucceedsWhenOneEngineSucceeds) {
    Rig front(0, PipelineSpec{.detected = 33.366665f});
    Rig rear(1, PipelineSpec{.detected = 66.73333f});
    EngineBroadcast both(front.engine.get(), rear.engine.get());
    both.settleMs = 0;
    // Only the front movie exists: the rear open fails, the broadcast succeeds.
    EXPECT_TRUE(both.Open(front.movie));
    EXPECT_TRUE(both.open(0));
    EXPECT_FALSE(both.open(1));
    ASSERT_TRUE(rear.engine->Open(rear.movie));
    EXPECT_FLOAT_EQ(both.scale(1).factor, 0.5f);
    EXPECT_DOUBLE_EQ(both.scale(1).baseRate, 1.0);
    ASSERT_TRUE(both.SetPosition(301));
    EXPECT_EQ(front.log->seeks.back(), FrameToMediaTime(33.366665f, 301));
    EXPECT_EQ(rear.log->seeks.back(), FrameToMediaTime(66.73333f, 150));

    ASSERT_TRUE(both.Play());
    ASSERT_TRUE(both.SetRate(2));
    EXPECT_DOUBLE_EQ(front.log->rates.back(), 2.0);
    EXPECT_DOUBLE_EQ(rear.log->rates.back(), 2.0);

    both.SetActive(0, false);
    EXPECT_TRUE(both.Pause());
    EXPECT_EQ(front.engine->state(), EngineState::Playing) << "inactive engine untouched";
    EXPECT_TRUE(both.Close());
    EXPECT_FALSE(both.Close() && false);
    both.SetActive(0, true);
    front.engine->Close();
    EXPECT_FALSE(both.Play()) << "no engine open";
}

TEST(EngineBroadcast, RearAtTheSameRateGetsTheBaseRate) {
    Rig front(0, PipelineSpec{.detected = 33.366665f});
    Rig rear(1, PipelineSpec{.detected = 33.366665f});
    ASSERT_TRUE(front.engine->Open(front.movie));
    ASSERT_TRUE(rear.engine->Open(rear.movie));
    EngineBroadcast both(front.engine.get(), rear.engine.get());
    both.settleMs = 0;
    ASSERT_TRUE(both.SetRate(1));
    EXPECT_DOUBLE_EQ(front.log->rates.back(), 1.0);
    EXPECT_NEAR(rear.log->rates.back(), 0.93333334, 1e-7);
    ASSERT_TRUE(both.SetPosition(77));
    EXPECT_EQ(rear.log->seeks.back(), FrameToMediaTime(33.366665f, 77));
}

} // namespace
} // namespace kirvano
