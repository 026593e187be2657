// The windowed reader on real files: opening, windows on page boundaries, bounds, the
// quick movie test, and a file that shrinks while it is mapped.
#include "container/MappedFile.h"

#include "container/BoxBuilder.h"
#include "container/Scanners.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kirvano {
namespace {

using testing::Bytes;
using testing::TempDir;

void WriteBytes(const std::string& path, const Bytes& bytes) {
    testing::WriteAll(path, std::string(bytes.begin(), bytes.end()));
}

Bytes Pattern(std::size_t n) {
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

TEST(MappedFile, OpenFailuresCarryTheSystemText) {
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
    const struct {
        std::string path;
        std::string reason;
    } cases[] = {
        {dir.file("missing.mov"), "No such file or directory"},
        {dir.path(), "Is a directory"},
        // Must neither block waiting for a writer nor be read.
        {dir.file("fifo"), "Not a regular file"},
    };
    for (const auto& c : cases) {
        MappedFile file;
        const Status opened = file.Open(c.path);
        ASSERT_FALSE(opened) << c.path;
        EXPECT_EQ(opened.error(), c.reason);
        EXPECT_FALSE(file.IsOpen());
    }
}

TEST(MappedFile, OpenRecordsPathAndSizeAndResetClears) {
    TempDir dir;
    WriteBytes(dir.file("a"), Pattern(5000));
    MappedFile file;
    ASSERT_TRUE(file.Open(dir.file("a")));
    EXPECT_TRUE(file.IsOpen());
    EXPECT_EQ(file.path(), dir.file("a"));
    EXPECT_EQ(file.size(), 5000u);
    EXPECT_EQ(file.granularity(), static_cast<std::uint32_t>(sysconf(_SC_PAGESIZE)));
    file.Reset();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_TRUE(file.path().empty());
    EXPECT_EQ(file.size(), 0u);
    EXPECT_FALSE(file.MapWindow(0, 10, 10));
}

TEST(MappedFile, ReopeningClosesTheFirstFile) {
    TempDir dir;
    WriteBytes(dir.file("a"), Pattern(100));
    WriteBytes(dir.file("b"), Pattern(300));
    MappedFile file;
    ASSERT_TRUE(file.Open(dir.file("a")));
    ASSERT_TRUE(file.Open(dir.file("b")));
    EXPECT_EQ(file.size(), 300u);
    EXPECT_FALSE(file.Open(dir.file("c")));
    EXPECT_FALSE(file.IsOpen());
}

struct WindowCase {
    std::uint64_t offset, length, limit;
    std::size_t expected; // 0: no window
};

TEST(MappedFile, WindowsHoldTheRightBytesCutAtLimitAndEnd) {
    TempDir dir;
    const Bytes bytes = Pattern(3 * 4096 + 123);
    WriteBytes(dir.file("a"), bytes);
    const WindowCase cases[] = {
        {0, 100, UINT64_MAX, 100},
        {5000, 100, UINT64_MAX, 100},   // not on a page boundary
        {4096, 4096, UINT64_MAX, 4096}, // on one
        {12000, 1000, UINT64_MAX, bytes.size() - 12000},
        {100, 1000, 600, 500},
        {bytes.size() - 1, 10, UINT64_MAX, 1},
        {bytes.size(), 10, UINT64_MAX, 0},
        {100, 0, UINT64_MAX, 0},
        {700, 10, 700, 0},
        {UINT64_MAX - 3, 10, UINT64_MAX, 0},
    };
    for (bool copy : {false, true}) {
        MappedFile file;
        ASSERT_TRUE(file.Open(dir.file("a")));
        for (const WindowCase& c : cases) {
            SCOPED_TRACE(::testing::Message() << c.offset << "+" << c.length << " copy " << copy);
            auto window = copy ? file.ReadWindow(c.offset, c.length, c.limit)
                               : file.MapWindow(c.offset, c.length, c.limit);
            if (c.expected == 0) {
                EXPECT_FALSE(window);
                continue;
            }
            ASSERT_TRUE(window);
            EXPECT_EQ(window->mapped(), !copy);
            EXPECT_EQ(window->offset(), c.offset);
            ASSERT_EQ(window->size(), c.expected);
            Bytes seen;
            auto read = [&] {
                seen.assign(window->bytes().data(), window->bytes().data() + window->size());
            };
            ASSERT_TRUE(GuardedRead(read));
            EXPECT_TRUE(std::equal(seen.begin(), seen.end(), bytes.begin() + c.offset));
        }
    }
}

TEST(MappedFile, ReadAtRefusesBytesOutsideTheFile) {
    TempDir dir;
    WriteBytes(dir.file("a"), Pattern(64));
    MappedFile file;
    ASSERT_TRUE(file.Open(dir.file("a")));
    std::uint8_t out[16];
    EXPECT_TRUE(file.ReadAt(48, out));
    EXPECT_FALSE(file.ReadAt(49, out));
    EXPECT_FALSE(file.ReadAt(UINT64_MAX - 4, out));
    EXPECT_TRUE(file.ReadAt(64, std::span<std::uint8_t>()));
}

TEST(MappedFile, MemoryBytesReadLikeAFile) {
    MappedFile file;
    ASSERT_TRUE(file.OpenMemory(Pattern(1000), "name"));
    EXPECT_EQ(file.path(), "name");
    EXPECT_EQ(file.size(), 1000u);
    auto window = file.MapWindow(990, 100, UINT64_MAX);
    ASSERT_TRUE(window);
    EXPECT_FALSE(window->mapped());
    EXPECT_EQ(window->size(), 10u);
    EXPECT_EQ(*window->bytes().u8(0), Pattern(1000)[990]);
    EXPECT_EQ(file.views(), 1u);
}

TEST(MappedFile, AShrunkFileFailsInsteadOfCrashing) {
    TempDir dir;
    const std::string path = dir.file("card.mov");
    // The marker lies far into the file, on a page that disappears.
    Bytes bytes(256 * 1024, 0x20);
    const Bytes marker = testing::Text("mvhdABCD");
    std::copy(marker.begin(), marker.end(), bytes.end() - 100);
    WriteBytes(path, bytes);

    MappedFile file;
    ASSERT_TRUE(file.Open(path));
    auto window = file.MapWindow(0, bytes.size(), UINT64_MAX);
    ASSERT_TRUE(window);
    ASSERT_EQ(truncate(path.c_str(), 10), 0);

    // A read of the vanished pages through the guard ends in false.
    std::uint8_t last = 0;
    auto read = [&] { last = window->bytes().data()[bytes.size() - 1]; };
    EXPECT_FALSE(GuardedRead(read));
    // The guard is left in a usable state: a good read still succeeds.
    auto first = [&] { last = window->bytes().data()[0]; };
    EXPECT_TRUE(GuardedRead(first));
    EXPECT_EQ(last, 0x20);

    // Every scan fails cleanly on the shrunk file.
    MarkerSpec spec;
    spec.bytes = "mvhd";
    bool called = false;
    spec.handler = [&](MappedFile&, ByteRange) { return called = true; };
    EXPECT_FALSE(FindMarker(file, spec));
    EXPECT_FALSE(called);
    EXPECT_FALSE(file.last_error().empty());
    EXPECT_FALSE(file.ReadWindow(bytes.size() - 100, 8, UINT64_MAX));
    std::uint8_t head[8];
    EXPECT_FALSE(file.ReadAt(100, head));
}

TEST(MappedFile, AShrunkFileFailsTheOtherScans) {
    TempDir dir;
    const std::string path = dir.file("card.ADA");
    const Bytes bytes = testing::Cat(
        {testing::Box("free", Bytes(100000, 0)), testing::Text("CSMDAT"), Bytes(1000, '1')});
    WriteBytes(path, bytes);
    MappedFile file;
    ASSERT_TRUE(file.Open(path));
    ASSERT_EQ(truncate(path.c_str(), 50000), 0);
    for (auto* scan : {&WalkTopLevel, &FindAtomPath}) {
        MarkerSpec spec;
        spec.bytes = "CSMDAT";
        bool called = false;
        spec.handler = [&](MappedFile&, ByteRange) { return called = true; };
        EXPECT_FALSE(scan(file, spec));
        EXPECT_FALSE(called);
    }
}

TEST(IsMovieFile, NeedsFtypAndAtLeast260Bytes) {
    TempDir dir;
    const auto with = [](std::string_view type, std::size_t size) {
        Bytes bytes(size, 0);
        for (std::size_t i = 0; i < type.size() && 4 + i < size; ++i)
            bytes[4 + i] = static_cast<std::uint8_t>(type[i]);
        return bytes;
    };
    const struct {
        const char* name;
        Bytes bytes;
        bool movie;
    } cases[] = {
        {"ftyp_260", with("ftyp", 260), true},     {"ftyp_large", with("ftyp", 10000), true},
        {"ftyp_259", with("ftyp", 259), false},    {"empty", Bytes{}, false},
        {"other_type", with("moov", 1000), false}, {"upper_case", with("FTYP", 1000), false},
    };
    for (const auto& c : cases) {
        WriteBytes(dir.file(c.name), c.bytes);
        EXPECT_EQ(IsMovieFile(dir.file(c.name)), c.movie) << c.name;
        EXPECT_EQ(IsMovieStart(ByteRange(c.bytes.data(), c.bytes.size())), c.movie) << c.name;
    }
    EXPECT_FALSE(IsMovieFile(dir.file("missing")));
    EXPECT_FALSE(IsMovieFile(dir.path()));
}

} // namespace
} // namespace kirvano
