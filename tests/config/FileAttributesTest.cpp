#include "config/FileAttributes.h"

#include "support/TempDir.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <vector>

namespace kirvano {
namespace {

// A fake attribute store recording the calls made.
struct Fake {
    unsigned attributes = 0;
    int getError = 0;
    int setError = 0;
    std::vector<std::string> calls;
};
Fake gFake;

const FatAttributeCalls kFakeCalls{[](int, unsigned* a) {
                                       gFake.calls.push_back("get");
                                       *a = gFake.attributes;
                                       return gFake.getError;
                                   },
                                   [](int, unsigned a) {
                                       gFake.calls.push_back("set " + std::to_string(a));
                                       if (gFake.setError == 0) {
                                           gFake.attributes = a;
                                       }
                                       return gFake.setError;
                                   }};

class FatSeam : public ::testing::Test {
protected:
    void SetUp() override {
        gFake = Fake{};
        testing::WriteAll(path, "x");
        SetFatAttributeCallsForTests(&kFakeCalls);
    }
    void TearDown() override { SetFatAttributeCallsForTests(nullptr); }
    testing::TempDir dir;
    std::string path = dir.file("f.ini");
};

TEST_F(FatSeam, AddReadsOrsAndWrites) {
    struct Case {
        unsigned before;
        unsigned after;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {0x00, 0x02, {"get", "set 2"}},
        {0x21, 0x23, {"get", "set 35"}},
        {0x03, 0x03, {"get"}},
    };
    for (const auto& c : cases) {
        gFake.attributes = c.before;
        gFake.calls.clear();
        EXPECT_TRUE(AddHiddenAttribute(path));
        EXPECT_EQ(gFake.attributes, c.after);
        EXPECT_EQ(gFake.calls, c.calls);
    }
}

TEST_F(FatSeam, SetOnlyReplacesAllBits) {
    gFake.attributes = 0x21;
    EXPECT_TRUE(SetOnlyHiddenAttribute(path));
    EXPECT_EQ(gFake.attributes, kFatHidden);
    EXPECT_EQ(gFake.calls, std::vector<std::string>{"set 2"});
    EXPECT_TRUE(HasHiddenAttribute(path));
}

TEST_F(FatSeam, NoAttributeCountsAsDone) {
    struct Case {
        int error;
        bool done;
    };
    const Case cases[] = {
        {ENOTTY, true}, {EINVAL, true}, {EOPNOTSUPP, true}, {EIO, false}, {EPERM, false}};
    for (const auto& c : cases) {
        gFake.getError = c.error;
        gFake.setError = c.error;
        EXPECT_EQ(AddHiddenAttribute(path), c.done) << c.error;
        EXPECT_EQ(SetOnlyHiddenAttribute(path), c.done) << c.error;
        EXPECT_FALSE(HasHiddenAttribute(path)) << c.error;
    }
}

TEST_F(FatSeam, MissingFileFails) {
    EXPECT_FALSE(AddHiddenAttribute(dir.file("missing")));
    EXPECT_FALSE(SetOnlyHiddenAttribute(dir.file("missing")));
    EXPECT_FALSE(HasHiddenAttribute(""));
    EXPECT_TRUE(gFake.calls.empty());
}

TEST(FileAttributes, FileSystemWithoutAttributes) {
    testing::TempDir dir;
    const std::string path = dir.file("plain");
    testing::WriteAll(path, "x");
    EXPECT_TRUE(AddHiddenAttribute(path));
    EXPECT_TRUE(SetOnlyHiddenAttribute(path));
    EXPECT_FALSE(HasHiddenAttribute(path));
    EXPECT_EQ(testing::ReadAll(path), "x");
}

} // namespace
} // namespace kirvano
