#include "library/MovieResource.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

namespace kirvano {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

bool WaitFor(const std::atomic<int>& count, int wanted, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (count.load() < wanted && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(5ms);
    return count.load() >= wanted;
}

TEST(MovieResource, LosingTheSourcePostsOnce) {
    struct Case {
        const char* what;
        bool folder;
    };
    for (const Case c : {Case{"a folder", true}, Case{"a file", false}}) {
        SCOPED_TRACE(c.what);
        testing::TempDir dir;
        const std::string path = dir.file("source");
        if (c.folder)
            fs::create_directories(path + "/Normal");
        else
            testing::WriteAll(path, "x");
        std::atomic<int> posted{0};
        CMovieResource watcher([&] { ++posted; });
        watcher.watch(path);
        std::this_thread::sleep_for(250ms);
        EXPECT_EQ(posted.load(), 0);
        const auto removed = std::chrono::steady_clock::now();
        fs::remove_all(path);
        ASSERT_TRUE(WaitFor(posted, 1, 1000ms));
        // Within the 100 ms period, with a margin for a loaded machine.
        EXPECT_LT(std::chrono::steady_clock::now() - removed, 200ms);
        std::this_thread::sleep_for(350ms);
        EXPECT_EQ(posted.load(), 1);
        EXPECT_TRUE(watcher.sourceLost());
        EXPECT_EQ(watcher.watchedPath(), "");
    }
}

TEST(MovieResource, NothingWatchedPostsNothingAndStopsPromptly) {
    std::atomic<int> posted{0};
    auto watcher = std::make_unique<CMovieResource>([&] { ++posted; });
    watcher->watch("");
    std::this_thread::sleep_for(250ms);
    const auto start = std::chrono::steady_clock::now();
    watcher.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
    EXPECT_EQ(posted.load(), 0);
}

TEST(MovieResource, ANewSourceIsWatchedAfterALoss) {
    testing::TempDir dir;
    fs::create_directories(dir.file("a"));
    fs::create_directories(dir.file("b"));
    std::atomic<int> posted{0};
    CMovieResource watcher([&] { ++posted; });
    watcher.watch(dir.file("a"));
    fs::remove(dir.file("a"));
    ASSERT_TRUE(WaitFor(posted, 1, 1000ms));
    watcher.watch(dir.file("b"));
    EXPECT_FALSE(watcher.sourceLost());
    fs::remove(dir.file("b"));
    ASSERT_TRUE(WaitFor(posted, 2, 1000ms));
    std::this_thread::sleep_for(250ms);
    EXPECT_EQ(posted.load(), 2);
}

} // namespace
} // namespace kirvano
