// The atomic output file: complete under the final name or not there at all.
#include "base/AtomicOutputFile.h"
#include "support/TempDir.h"
#include "support/TmpfsMount.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace kirvano {
namespace {

using testing::EntryCount;
using testing::ReadAll;
using testing::TempDir;
using testing::TmpfsMount;
using testing::WriteAll;

TEST(WriteFileAtomically, CreatesAndReplaces) {
    TempDir dir;
    const std::string path = dir.file("out.txt");
    const std::string contents[] = {"first", "", std::string(100000, 'z'), "last\n"};
    for (const auto& bytes : contents) {
        ASSERT_TRUE(WriteFileAtomically(path, bytes));
        EXPECT_EQ(ReadAll(path), bytes);
        EXPECT_EQ(EntryCount(dir.path()), 1u) << "no temporary file may remain";
    }
}

TEST(WriteFileAtomically, FailsWithReasonInMissingFolder) {
    TempDir dir;
    auto s = WriteFileAtomically(dir.file("no/such/out.txt"), "x");
    ASSERT_FALSE(s);
    EXPECT_NE(s.error().find("No such file"), std::string::npos) << s.error();
}

TEST(AtomicOutputFile, NothingUnderFinalNameBeforeCommit) {
    TempDir dir;
    const std::string path = dir.file("movie.mov");
    AtomicOutputFile out;
    ASSERT_TRUE(out.open(path));
    ASSERT_TRUE(out.write("abc"));
    ASSERT_TRUE(out.write("def"));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(std::filesystem::exists(out.temporaryPath()));
    EXPECT_EQ(std::filesystem::path(out.temporaryPath()).parent_path(), dir.path());
    ASSERT_TRUE(out.commit());
    EXPECT_EQ(ReadAll(path), "abcdef");
    EXPECT_EQ(EntryCount(dir.path()), 1u);
}

TEST(AtomicOutputFile, DestructorAndDiscardRemoveTemporary) {
    TempDir dir;
    const std::string path = dir.file("a.csv");
    WriteAll(path, "old");
    {
        AtomicOutputFile out;
        ASSERT_TRUE(out.open(path));
        ASSERT_TRUE(out.write("new"));
    }
    EXPECT_EQ(ReadAll(path), "old");
    EXPECT_EQ(EntryCount(dir.path()), 1u);
    AtomicOutputFile out;
    ASSERT_TRUE(out.open(path));
    out.discard();
    EXPECT_EQ(EntryCount(dir.path()), 1u);
    EXPECT_FALSE(out.write("x"));
    EXPECT_FALSE(out.commit());
}

TEST(AtomicOutputFile, KeepRefusesToReplace) {
    TempDir dir;
    const std::string path = dir.file("joined.mov");
    struct Case {
        bool existsBefore;
        ExistingFile mode;
        bool committed;
        const char* after;
    };
    const Case cases[] = {
        {false, ExistingFile::Keep, true, "new"},
        {true, ExistingFile::Keep, false, "old"},
        {true, ExistingFile::Replace, true, "new"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(path);
        if (c.existsBefore) {
            WriteAll(path, "old");
        }
        AtomicOutputFile out;
        ASSERT_TRUE(out.open(path, c.mode));
        ASSERT_TRUE(out.write("new"));
        auto s = out.commit();
        EXPECT_EQ(bool(s), c.committed);
        EXPECT_EQ(ReadAll(path), c.after);
        EXPECT_EQ(EntryCount(dir.path()), 1u);
    }
}

TEST(AtomicOutputFile, FullDiskKeepsPreviousFile) {
    TmpfsMount fs;
    if (!fs.mounted()) {
        GTEST_SKIP() << "cannot mount a tmpfs here";
    }
    const std::string path = fs.path() + "/settings.ini";
    ASSERT_TRUE(WriteFileAtomically(path, "previous"));
    fs.fill();
    auto s = WriteFileAtomically(path, std::string(64 * 1024, 'n'));
    ASSERT_FALSE(s);
    EXPECT_NE(s.error().find("No space"), std::string::npos) << s.error();
    EXPECT_EQ(ReadAll(path), "previous");
    EXPECT_EQ(EntryCount(fs.path()), 2u) << "only the file and the filler";
}

TEST(AtomicOutputFile, ReadOnlyFolderKeepsPreviousFile) {
    TmpfsMount fs;
    if (!fs.mounted()) {
        GTEST_SKIP() << "cannot mount a tmpfs here";
    }
    const std::string path = fs.path() + "/settings.ini";
    ASSERT_TRUE(WriteFileAtomically(path, "previous"));
    ASSERT_TRUE(fs.remountReadOnly());
    auto s = WriteFileAtomically(path, "new");
    ASSERT_FALSE(s);
    EXPECT_NE(s.error().find("Read-only"), std::string::npos) << s.error();
    EXPECT_EQ(ReadAll(path), "previous");
}

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
    std::string source(3 * kCopyWindow / 2 + 17, '\0');
    for (std::size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<char>(i * 7 + i / 4096);
    testing::WriteAll(dir.file("source"), source);
    const int fd = ::open(dir.file("source").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);

    AtomicOutputFile out;
    ASSERT_TRUE(out.open(dir.file("out"), ExistingFile::Keep));
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
        EXPECT_EQ(windows, static_cast<int>((c.length + kCopyWindow - 1) / kCopyWindow));
        ASSERT_TRUE(out.commit());
        EXPECT_EQ(ReadAll(dir.file("out")), "head" + source.substr(c.offset, c.length));
    } else {
        EXPECT_FALSE(out.commit());
    }
    EXPECT_EQ(testing::EntryCount(dir.path()), c.ok ? 2u : 1u) << "a temporary file is left";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OutputCopy,
    ::testing::Values(CopyCase{"KernelWhole", false, 0, 3 * kCopyWindow / 2 + 17, true},
                      CopyCase{"PlainWhole", true, 0, 3 * kCopyWindow / 2 + 17, true},
                      CopyCase{"KernelMiddle", false, 1000, kCopyWindow + 5, true},
                      CopyCase{"PlainMiddle", true, 1000, kCopyWindow + 5, true},
                      CopyCase{"KernelPastTheEnd", false, 1000, 2 * kCopyWindow, false},
                      CopyCase{"PlainPastTheEnd", true, 1000, 2 * kCopyWindow, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AtomicOutputFile, WriteBudgetAndCancelRemoveTheTemporaryFile) {
    TempDir dir;
    testing::WriteAll(dir.file("source"), std::string(100, 's'));
    const int fd = ::open(dir.file("source").c_str(), O_RDONLY);
    {
        AtomicOutputFile out;
        ASSERT_TRUE(out.open(dir.file("full"), ExistingFile::Keep));
        out.failAfterForTests(50);
        EXPECT_FALSE(out.copyFrom(fd, 0, 100));
        EXPECT_FALSE(out.write("x")) << "a failed output stays failed";
        EXPECT_EQ(testing::EntryCount(dir.path()), 1u);
    }
    {
        AtomicOutputFile out;
        ASSERT_TRUE(out.open(dir.file("cancelled"), ExistingFile::Keep));
        EXPECT_FALSE(out.copyFrom(fd, 0, 100, [](std::uint64_t) { return false; }));
        EXPECT_EQ(testing::EntryCount(dir.path()), 1u);
    }
    ::close(fd);
    AtomicOutputFile dropped;
    ASSERT_TRUE(dropped.open(dir.file("dropped"), ExistingFile::Keep));
    ASSERT_TRUE(dropped.write("abc"));
    dropped.discard();
    EXPECT_EQ(testing::EntryCount(dir.path()), 1u);
}

} // namespace
} // namespace kirvano
