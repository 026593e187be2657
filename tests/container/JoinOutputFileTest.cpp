// The streaming output: bytes and copied ranges land in order under a temporary name,
// the final name appears only on commit, and every failure removes the temporary file.
#include "container/JoinOutputFile.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace kirvano {
namespace {

using testing::ReadAll;
using testing::TempDir;

struct CopyCase {
    const char* name;
    bool plain;
    std::uint64_t offset, length;
    bool ok;
};

class OutputCopy : public ::testing::TestWithParam<CopyCase> {};

TEST_P(OutputCopy, CopiesTheRangeOrLeavesNothing) {
    const auto& c = GetParam();
    TempDir dir;
    std::string source(3 * kJoinCopyWindow / 2 + 17, '\0');
    for (std::size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<char>(i * 7 + i / 4096);
    testing::WriteAll(dir.file("source"), source);
    const int fd = ::open(dir.file("source").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);

    JoinOutputFile out;
    ASSERT_TRUE(out.open(dir.file("out"), false));
    if (c.plain)
        out.usePlainCopyForTests();
    ASSERT_TRUE(out.write("head"));
    int windows = 0;
    Status copied = out.copyFrom(fd, c.offset, c.length, [&](std::uint64_t) {
        ++windows;
        return true;
    });
    ::close(fd);
    EXPECT_EQ(static_cast<bool>(copied), c.ok);
    if (c.ok) {
        EXPECT_EQ(windows, static_cast<int>((c.length + kJoinCopyWindow - 1) / kJoinCopyWindow));
        ASSERT_TRUE(out.commit());
        EXPECT_EQ(ReadAll(dir.file("out")), "head" + source.substr(c.offset, c.length));
    } else {
        EXPECT_FALSE(out.commit());
    }
    EXPECT_EQ(testing::EntryCount(dir.path()), c.ok ? 2u : 1u) << "a temporary file is left";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OutputCopy,
    ::testing::Values(CopyCase{"KernelWhole", false, 0, 3 * kJoinCopyWindow / 2 + 17, true},
                      CopyCase{"PlainWhole", true, 0, 3 * kJoinCopyWindow / 2 + 17, true},
                      CopyCase{"KernelMiddle", false, 1000, kJoinCopyWindow + 5, true},
                      CopyCase{"PlainMiddle", true, 1000, kJoinCopyWindow + 5, true},
                      CopyCase{"KernelPastTheEnd", false, 1000, 2 * kJoinCopyWindow, false},
                      CopyCase{"PlainPastTheEnd", true, 1000, 2 * kJoinCopyWindow, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(JoinOutputFile, ExistingNameIsKeptUnlessReplacing) {
    TempDir dir;
    testing::WriteAll(dir.file("out"), "old");
    JoinOutputFile keep;
    ASSERT_TRUE(keep.open(dir.file("out"), false));
    ASSERT_TRUE(keep.write("new"));
    EXPECT_FALSE(keep.commit());
    EXPECT_EQ(ReadAll(dir.file("out")), "old");
    EXPECT_EQ(testing::EntryCount(dir.path()), 1u);
    JoinOutputFile replace;
    ASSERT_TRUE(replace.open(dir.file("out"), true));
    ASSERT_TRUE(replace.write("new"));
    ASSERT_TRUE(replace.commit());
    EXPECT_EQ(ReadAll(dir.file("out")), "new");
}

TEST(JoinOutputFile, WriteBudgetAndCancelRemoveTheTemporaryFile) {
    TempDir dir;
    testing::WriteAll(dir.file("source"), std::string(100, 's'));
    const int fd = ::open(dir.file("source").c_str(), O_RDONLY);
    {
        JoinOutputFile out;
        ASSERT_TRUE(out.open(dir.file("full"), false));
        out.failAfterForTests(50);
        EXPECT_FALSE(out.copyFrom(fd, 0, 100));
        EXPECT_FALSE(out.write("x")) << "a failed output stays failed";
        EXPECT_EQ(testing::EntryCount(dir.path()), 1u);
    }
    {
        JoinOutputFile out;
        ASSERT_TRUE(out.open(dir.file("cancelled"), false));
        EXPECT_FALSE(out.copyFrom(fd, 0, 100, [](std::uint64_t) { return false; }));
        EXPECT_EQ(testing::EntryCount(dir.path()), 1u);
    }
    ::close(fd);
    JoinOutputFile dropped;
    ASSERT_TRUE(dropped.open(dir.file("dropped"), false));
    ASSERT_TRUE(dropped.write("abc"));
    dropped.discard();
    EXPECT_EQ(testing::EntryCount(dir.path()), 1u);
}

} // namespace
} // namespace kirvano
