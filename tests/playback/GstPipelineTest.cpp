// The engine on the GStreamer pipeline with generated movies: frame-exact seeks and
// steps, rates, reverse play, the end message, snapshots and two engines in step.
#include "playback/platform/GstPipeline.h"
#include "playback/EngineBroadcast.h"
#include "playback/PlaybackEngine.h"
#include "playback/VideoPresenter.h"

#include "FakePipeline.h"
#include "TestMovies.h"
#include "support/ShownFrameTimes.h"
#include "support/TempDir.h"

#include <QImage>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <random>
#include <thread>

namespace kirvano {
namespace {

using testing::FakeWindow;
using testing::MakeNumberedMovie;
using testing::MovieSpec;
using testing::ReadFrameCode;

// Movies are made once for the whole program.
class Movies : public ::testing::Environment {
public:
    static kirvano::testing::TempDir* dir;
    static std::string b1080, p720, small, rear15, smallRear;
    void SetUp() override {
        dir = new kirvano::testing::TempDir;
        b1080 = dir->file("AGS-220801-123456-000123F.MOV");
        p720 = dir->file("AGS-220801-123456-000123R.MOV");
        small = dir->file("small.MOV");
        rear15 = dir->file("rear15.MOV");
        smallRear = dir->file("small-rear.MOV");
        ASSERT_TRUE(MakeNumberedMovie(b1080, {1920, 1080, "30000/1001", 3.0, true, true}));
        // The recorder's rear camera runs at 28 frames a second.
        ASSERT_TRUE(MakeNumberedMovie(p720, {1280, 720, "28", 3.0, false, false}));
        ASSERT_TRUE(MakeNumberedMovie(small, {320, 240, "30000/1001", 2.0, true, true}));
        ASSERT_TRUE(MakeNumberedMovie(rear15, {320, 240, "15", 2.0, false, false}));
        ASSERT_TRUE(MakeNumberedMovie(smallRear, {320, 240, "28", 3.0, false, false}));
    }
    void TearDown() override { delete dir; }
};
kirvano::testing::TempDir* Movies::dir = nullptr;
std::string Movies::b1080, Movies::p720, Movies::small, Movies::rear15, Movies::smallRear;
const auto* const kMovies = ::testing::AddGlobalTestEnvironment(new Movies);

struct Player {
    explicit Player(int index = 0) : engine(index, GstPipelineFactory()) {
        engine.Init(&window, "Noto Sans CJK JP");
    }
    std::optional<int> Shown() {
        VideoPresenter* p = engine.pipeline() ? engine.pipeline()->Presenter() : nullptr;
        return p ? ReadFrameCode(p->CurrentImage()) : std::nullopt;
    }
    FakeWindow window;
    PlaybackEngine engine;
};

void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

TEST(GstPipeline, PausedSeeksShowTheRequestedFrame) {
    Player player;
    ASSERT_TRUE(player.engine.Open(Movies::b1080)) << player.engine.lastError();
    EXPECT_EQ(player.window.Count(WM_APP_ENGINE_READY), 1);
    EXPECT_EQ(player.engine.GetVideoSize(), (VideoSize{1920, 1080}));
    EXPECT_NEAR(player.engine.GetFrameDuration(), 33.3667f, 0.001f);
    const std::int64_t count = player.engine.GetFrameCount();
    EXPECT_GE(count, 89);
    EXPECT_LE(count, 90);
    EXPECT_EQ(player.Shown(), 0);
    EXPECT_EQ(player.engine.GetPosition(), 0);

    std::mt19937 random(7);
    std::vector<std::int64_t> targets{0, count - 1};
    for (int i = 0; i < 50; ++i)
        targets.push_back(std::uniform_int_distribution<std::int64_t>(0, count - 1)(random));
    for (std::int64_t n : targets) {
        ASSERT_TRUE(player.engine.SetPosition(n)) << n;
        EXPECT_EQ(player.Shown(), n);
        EXPECT_EQ(player.engine.GetPosition(), n);
    }
    // Stepping forward shows the next frame.
    ASSERT_TRUE(player.engine.SetPosition(40));
    for (std::int64_t n = 41; n < 50; ++n) {
        ASSERT_TRUE(player.engine.SetPosition(n));
        EXPECT_EQ(player.Shown(), n);
        EXPECT_EQ(player.engine.GetPosition(), n);
    }
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(player.engine.Close());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// Frames shown over a while of playing, and the frames the rate promises over the time
// that really passed between the two readings (30 frames a second at 1x).
struct Advance {
    double frames = 0;
    double promised = 0;
};
Advance PlayFor(Player& player, int ms, double rate) {
    EXPECT_TRUE(player.engine.Play());
    SleepMs(100);
    const std::int64_t first = player.engine.GetPosition();
    const auto start = std::chrono::steady_clock::now();
    SleepMs(ms);
    const std::int64_t last = player.engine.GetPosition();
    const std::chrono::duration<double> passed = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(player.engine.Pause());
    return {static_cast<double>(last - first), passed.count() * 30.0 * rate};
}

TEST(GstPipeline, RatesAdvanceAsExpected) {
    // Never faster than the rate promises (two shown frames of reading slack); slower only as far
    // as a loaded machine (two test jobs, sanitizers) drops frames at the fast rates.
    Player player;
    ASSERT_TRUE(player.engine.Open(Movies::small)) << player.engine.lastError();
    Advance one = PlayFor(player, 1000, 1.0);
    EXPECT_LE(one.frames, one.promised + 2) << "1x";
    EXPECT_GE(one.frames, one.promised * 0.8) << "1x";
    // The picture follows the reported position.
    EXPECT_EQ(player.Shown(), player.engine.GetPosition());

    for (const int rate : {2, 4}) {
        ASSERT_TRUE(player.engine.SetPosition(0));
        ASSERT_TRUE(player.engine.SetRate(rate, 1.0));
        const Advance fast = PlayFor(player, 1000 / rate, rate);
        EXPECT_LE(fast.frames, fast.promised + 2 * rate) << rate << "x";
        // Clearly faster than normal play over the same time.
        EXPECT_GE(fast.frames, fast.promised / rate * 1.5) << rate << "x";
    }

    // At frame 0 backwards has nowhere to go; the rate changes still succeed.
    ASSERT_TRUE(player.engine.SetPosition(0));
    ASSERT_TRUE(player.engine.SetRate(-4, 1.0));
    ASSERT_TRUE(player.engine.SetRate(1, 1.0));
    ASSERT_TRUE(player.engine.SetPosition(5));
    EXPECT_EQ(player.Shown(), 5);
    ASSERT_TRUE(player.engine.SetPosition(0));
    ASSERT_TRUE(player.engine.reverseCapable()) << "a plain movie plays backwards";
    ASSERT_TRUE(player.engine.SetRate(-2, 1.0));
    EXPECT_EQ(player.engine.rateCode(), -2);
}

TEST(GstPipeline, ReversePlayShowsDecreasingFrames) {
    Player player;
    ASSERT_TRUE(player.engine.Open(Movies::small)) << player.engine.lastError();
    ASSERT_TRUE(player.engine.reverseCapable());
    ASSERT_TRUE(player.engine.SetPosition(50));
    ASSERT_TRUE(player.engine.SetRate(-1, 1.0));
    ASSERT_TRUE(player.engine.Play());
    // Watched until the picture has gone below frame 40 (at most 20 s: under load frames
    // come late), it never moves forward and steps back many times on the way.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::int64_t previous = player.engine.GetPosition();
    int decreases = 0;
    while ((previous >= 40 || decreases < 10) && previous > 0 &&
           std::chrono::steady_clock::now() < deadline) {
        SleepMs(5);
        const std::int64_t now = player.engine.GetPosition();
        EXPECT_LE(now, previous);
        decreases += now < previous;
        previous = now;
    }
    EXPECT_GE(decreases, 10);
    EXPECT_LT(previous, 40);
}

TEST(GstPipeline, EndOfMovieIsPostedOnce) {
    Player player;
    ASSERT_TRUE(player.engine.Open(Movies::small)) << player.engine.lastError();
    const std::int64_t count = player.engine.GetFrameCount();
    ASSERT_TRUE(player.engine.SetPosition(count - 10));
    ASSERT_TRUE(player.engine.Play());
    for (int i = 0; i < 200 && player.window.Count(WM_APP_ENGINE_ENDED) == 0; ++i)
        SleepMs(10);
    SleepMs(300);
    EXPECT_EQ(player.window.Count(WM_APP_ENGINE_ENDED), 1);
    const std::int64_t last = player.engine.GetPosition();
    EXPECT_GE(last, count - 1);
    EXPECT_LE(last, count);
    EXPECT_EQ(player.Shown(), last);
    // At the end a seek to the frame on screen is a real one: playing goes on from it.
    ASSERT_TRUE(player.engine.Pause());
    ASSERT_TRUE(player.engine.SetPosition(last));
    EXPECT_EQ(player.Shown(), last);
    ASSERT_TRUE(player.engine.Play());
    for (int i = 0; i < 2000 && player.window.Count(WM_APP_ENGINE_ENDED) < 2; ++i)
        SleepMs(10);
    EXPECT_EQ(player.window.Count(WM_APP_ENGINE_ENDED), 2);
    // After the end a seek and play work again.
    ASSERT_TRUE(player.engine.SetPosition(3));
    EXPECT_EQ(player.Shown(), 3);
}

// A pause straight after a start (a key pressed twice, a speed change then a pause) must
// leave the picture where the pause found it: the sink may not yet have let go of its
// held frame when the pause arrives.
TEST(GstPipeline, APauseRightAfterAStartHoldsItsPicture) {
    Player player;
    ASSERT_TRUE(player.engine.Open(Movies::small)) << player.engine.lastError();
    int moved = 0;
    for (int i = 0; i < 12; ++i) {
        ASSERT_TRUE(player.engine.Play());
        ASSERT_TRUE(player.engine.Pause());
        const std::optional<int> held = player.Shown();
        const std::int64_t position = player.engine.GetPosition();
        SleepMs(150);
        if (player.Shown() != held || player.engine.GetPosition() != position)
            ++moved;
        EXPECT_EQ(player.Shown(), static_cast<int>(player.engine.GetPosition()));
    }
    EXPECT_EQ(moved, 0) << "pictures that changed after their pause returned";
}

// A sound output that opens but refuses to play, registered above every other one. While
// switched off it refuses to open as well, so the automatic choice passes over it.
std::atomic<bool> gSoundRefusesToPlay{false};

GstStateChangeReturn RefuseToPlay(GstElement* element, GstStateChange transition) {
    if (transition == GST_STATE_CHANGE_NULL_TO_READY && !gSoundRefusesToPlay)
        return GST_STATE_CHANGE_FAILURE;
    if (transition == GST_STATE_CHANGE_READY_TO_PAUSED) {
        GST_ELEMENT_ERROR(element, RESOURCE, BUSY, ("The sound device is busy."), (nullptr));
        return GST_STATE_CHANGE_FAILURE;
    }
    auto* parent = GST_ELEMENT_CLASS(g_type_class_peek_parent(G_OBJECT_GET_CLASS(element)));
    return parent->change_state(element, transition);
}

GstStaticPadTemplate gRefusingSoundPad =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("audio/x-raw"));

void RegisterRefusingSoundOutput() {
    gst_init(nullptr, nullptr);
    const auto classInit = [](gpointer klass, gpointer) {
        auto* element = GST_ELEMENT_CLASS(klass);
        element->change_state = &RefuseToPlay;
        gst_element_class_add_static_pad_template(element, &gRefusingSoundPad);
        gst_element_class_set_static_metadata(element, "Refusing sound output", "Sink/Audio",
                                              "Opens, then refuses to play", "Kirvano tests");
    };
    const auto instanceInit = [](GTypeInstance* instance, gpointer) {
        GstElement* element = GST_ELEMENT(instance);
        gst_element_add_pad(element, gst_pad_new_from_static_template(&gRefusingSoundPad, "sink"));
        GST_OBJECT_FLAG_SET(element, GST_ELEMENT_FLAG_SINK);
    };
    const GType type = g_type_register_static_simple(
        GST_TYPE_ELEMENT, "KirvanoRefusingSoundOutput", sizeof(GstElementClass), classInit,
        sizeof(GstElement), instanceInit, GTypeFlags(0));
    gst_element_register(nullptr, "kirvanorefusingsound", GST_RANK_PRIMARY + 100, type);
}

TEST(GstPipeline, WithoutAWorkingSoundOutputTheMoviePlaysToItsEnd) {
    static std::once_flag registered;
    std::call_once(registered, RegisterRefusingSoundOutput);
    gSoundRefusesToPlay = true;
    Player player;
    const bool opened = player.engine.Open(Movies::small);
    gSoundRefusesToPlay = false;
    ASSERT_TRUE(opened) << player.engine.lastError();
    EXPECT_EQ(player.Shown(), 0);
    ASSERT_TRUE(player.engine.SetPosition(player.engine.GetFrameCount() - 10));
    ASSERT_TRUE(player.engine.Play());
    for (int i = 0; i < 200 && player.window.Count(WM_APP_ENGINE_ENDED) == 0; ++i)
        SleepMs(10);
    EXPECT_EQ(player.window.Count(WM_APP_ENGINE_ENDED), 1);
}

TEST(GstPipeline, SnapshotIsTheShownFrameAtNativeSize) {
    Player player;
    ASSERT_TRUE(player.engine.Open(Movies::b1080)) << player.engine.lastError();
    ASSERT_TRUE(player.engine.SetPosition(57));
    const std::string jpeg = Movies::dir->file("snap.jpg");
    ASSERT_TRUE(player.engine.SaveSnapshot(jpeg));
    QImage image(QString::fromStdString(jpeg));
    EXPECT_EQ(image.width(), 1920);
    EXPECT_EQ(image.height(), 1080);
    EXPECT_EQ(ReadFrameCode(image), 57);
    EXPECT_FALSE(player.engine.SaveSnapshot(Movies::dir->file("no/such/folder/x.jpg")));
}

TEST(GstPipeline, FrontAndRearStayInStep) {
    Player front(0);
    Player rear(1);
    EngineBroadcast both(&front.engine, &rear.engine);
    ASSERT_TRUE(front.engine.Open(Movies::small));
    ASSERT_TRUE(rear.engine.Open(Movies::smallRear));
    ASSERT_TRUE(both.SetPosition(0));
    ASSERT_TRUE(both.SetRate(1));
    // Played up to a front frame (at most 20 s each: under load frames come late) after a
    // start, a pause and a change to 2x while playing, the rear shows its frames within
    // half a frame of the moments the front's schedule gives them. The schedules are
    // medians over every frame change: a late frame here and there moves them little, a
    // start, pause or rate change applied at different moments moves them all.
    const double f = front.engine.GetFrameDuration();
    const double r = rear.engine.GetFrameDuration();
    auto playUntil = [&](std::int64_t frame, int rate) {
        testing::ShownFrameTimes times({&front.engine, &rear.engine});
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (front.engine.GetPosition() < frame && std::chrono::steady_clock::now() < deadline)
            SleepMs(5);
        times.Stop();
        ASSERT_GE(front.engine.GetPosition(), frame) << "the front did not get there";
        EXPECT_GE(times.changes(1).size(), 10u) << "the rear did not play";
        const auto gap = times.Gap(0, f / rate, 1, r / rate);
        ASSERT_TRUE(gap.has_value());
        EXPECT_LT(std::abs(*gap), f / rate / 2) << "rear schedule at " << rate << "x, ms";
    };
    ASSERT_TRUE(both.Play());
    playUntil(15, 1);
    ASSERT_TRUE(both.Pause());
    SleepMs(100);
    ASSERT_TRUE(both.Play());
    playUntil(30, 1);
    ASSERT_TRUE(both.SetRate(2));
    playUntil(55, 2);
    ASSERT_TRUE(both.Pause());
    ASSERT_TRUE(both.SetPosition(20));
    EXPECT_EQ(front.Shown(), 20);
    EXPECT_EQ(rear.Shown(), ScaledPosition(20, both.scale(1).factor));
    EXPECT_TRUE(both.Close());
}

TEST(GstPipeline, RearAtAnotherFrameRate) {
    Player front(0);
    Player rear(1);
    ASSERT_TRUE(front.engine.Open(Movies::small));
    ASSERT_TRUE(rear.engine.Open(Movies::rear15));
    EngineBroadcast both(&front.engine, &rear.engine);
    EXPECT_FLOAT_EQ(both.scale(1).factor, front.engine.GetFrameDuration() / 66.666664f);
    ASSERT_TRUE(both.SetPosition(40));
    EXPECT_EQ(front.Shown(), 40);
    EXPECT_EQ(rear.Shown(), ScaledPosition(40, both.scale(1).factor));
}

TEST(GstPipeline, BadFilesFailWithoutHanging) {
    kirvano::testing::TempDir dir;
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"not a movie", std::string(1000, 'x')},
        {"header only", std::string("\0\0\0\x14"
                                    "ftypqt  \0\0\0\0qt  ",
                                    20) +
                            std::string(300, '\0')},
    };
    for (const auto& c : cases) {
        const std::string path = dir.file("bad.MOV");
        kirvano::testing::WriteAll(path, c.bytes);
        Player player;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(player.engine.Open(path)) << c.what;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6)) << c.what;
        EXPECT_EQ(player.engine.state(), EngineState::Closed);
        EXPECT_FALSE(player.engine.lastErrorIsSetUp()) << c.what << ": the file's fault";
    }
    // A movie the pipeline can read but shows no picture of (here: sound only) is a set-up
    // failure the viewer tells the user about.
    const std::string soundOnly = dir.file("sound.MOV");
    if (std::system(
            ("ffmpeg -loglevel error -f lavfi -i sine=duration=1 -c:a aac '" + soundOnly + "'")
                .c_str()) == 0) {
        Player player;
        EXPECT_FALSE(player.engine.Open(soundOnly));
        EXPECT_TRUE(player.engine.lastErrorIsSetUp());
        EXPECT_FALSE(player.engine.lastError().empty());
    }
    // A truncated movie plays up to where its data ends, then ends normally.
    const std::string whole = kirvano::testing::ReadAll(Movies::small);
    const std::string cut = dir.file("cut.MOV");
    kirvano::testing::WriteAll(cut, whole.substr(0, whole.size() * 2 / 3));
    Player player;
    if (player.engine.Open(cut)) {
        ASSERT_TRUE(player.engine.Play());
        for (int i = 0; i < 400 && player.window.Count(WM_APP_ENGINE_ENDED) == 0; ++i)
            SleepMs(10);
        EXPECT_EQ(player.window.Count(WM_APP_ENGINE_ENDED), 1);
        EXPECT_TRUE(player.engine.Close());
    }
}

TEST(GstPipeline, MovieDeletedWhilePlayingKeepsTheEngineAlive) {
    kirvano::testing::TempDir dir;
    const std::string copy = dir.file("copy.MOV");
    kirvano::testing::WriteAll(copy, kirvano::testing::ReadAll(Movies::small));
    Player player;
    ASSERT_TRUE(player.engine.Open(copy));
    ASSERT_TRUE(player.engine.Play());
    std::remove(copy.c_str());
    SleepMs(300);
    EXPECT_TRUE(player.engine.Pause());
    EXPECT_TRUE(player.engine.Close());
}

} // namespace
} // namespace kirvano
