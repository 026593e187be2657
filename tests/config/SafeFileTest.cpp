#include "config/SafeFile.h"

#include "TmpfsMount.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace kirvano
