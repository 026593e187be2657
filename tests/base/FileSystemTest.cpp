// The file-system helpers: path pieces and the rename that never replaces a file.
#include "base/FileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace kirvano {
namespace {

using testing::EntryCount;
using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

TEST(FileSystem, PathPieces) {
    struct Case {
        const char* path;
        const char* folder;
        const char* name;
    };
    const Case cases[] = {
        {"/card/Normal/Front/A.MOV", "/card/Normal/Front", "A.MOV"},
        {"/A.MOV", "/", "A.MOV"},
        {"A.MOV", ".", "A.MOV"},
        {"out/", "out", ""},
        {"", ".", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FolderOf(c.path), c.folder) << c.path;
        EXPECT_EQ(FileNameOf(c.path), c.name) << c.path;
    }
}

TEST(FileSystem, RenameNoReplaceMovesOnlyToAFreeName) {
    TempDir dir;
    WriteAll(dir.file("a"), "first");
    WriteAll(dir.file("b"), "second");
    EXPECT_EQ(RenameNoReplace(dir.file("a"), dir.file("b")), EEXIST);
    EXPECT_EQ(ReadAll(dir.file("a")), "first");
    EXPECT_EQ(ReadAll(dir.file("b")), "second");
    EXPECT_EQ(RenameNoReplace(dir.file("a"), dir.file("c")), 0);
    EXPECT_EQ(ReadAll(dir.file("c")), "first");
    EXPECT_EQ(EntryCount(dir.path()), 2u);
    EXPECT_EQ(RenameNoReplace(dir.file("missing"), dir.file("d")), ENOENT);
    EXPECT_EQ(RenameNoReplace(dir.file("c"), dir.file("no/such/folder")), ENOENT);
    EXPECT_EQ(EntryCount(dir.path()), 2u);
}

} // namespace
} // namespace kirvano
