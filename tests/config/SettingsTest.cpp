#include "config/Settings.h"

#include "support/TempDir.h"
#include "support/TmpfsMount.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace std::literals;

namespace kirvano {
namespace {

using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { PointAt(dir.path() + "/config"); }
    void TearDown() override {
        unsetenv("KIRVANO_CONFIG_DIR");
        ResetConfigDirectoryForTests();
    }
    static void PointAt(const std::string& folder) {
        setenv("KIRVANO_CONFIG_DIR", folder.c_str(), 1);
        ResetConfigDirectoryForTests();
    }
    TempDir dir;
};

TEST_F(SettingsTest, DirectoryIsCreatedWithParents) {
    PointAt(dir.path() + "/a/b/c/");
    EXPECT_EQ(ConfigDirectory(), dir.path() + "/a/b/c");
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() + "/a/b/c"));
    EXPECT_EQ(ConfigFilePath(), dir.path() + "/a/b/c/Default_Folder.ini");
}

TEST_F(SettingsTest, DirectoryFallsBackToXdgThenHome) {
    unsetenv("KIRVANO_CONFIG_DIR");
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    setenv("XDG_CONFIG_HOME", (dir.path() + "/xdg").c_str(), 1);
    ResetConfigDirectoryForTests();
    EXPECT_EQ(ConfigDirectory(), dir.path() + "/xdg/kirvano");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", (dir.path() + "/home").c_str(), 1);
    ResetConfigDirectoryForTests();
    EXPECT_EQ(ConfigDirectory(), dir.path() + "/home/.config/kirvano");
    setenv("HOME", oldHome.c_str(), 1);
    if (oldXdg) {
        setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    }
}

TEST_F(SettingsTest, FirstStartWritesDefaults) {
    EXPECT_EQ(ReadVolumeSetting(), 65535);
    ASSERT_TRUE(WriteDefaultSettings());
    EXPECT_EQ(ReadSetting("DISPLAY", "INFOCHECK"), "31");
    EXPECT_EQ(ReadSetting("DISPLAY", "ASPECT"), "on");
    EXPECT_EQ(ReadSetting("DISPLAY", "VOLUME"), "65535");
    EXPECT_EQ(ReadAll(ConfigFilePath()), "[DISPLAY]\nINFOCHECK=31\nASPECT=on\nVOLUME=65535\n");
    // An existing file is left alone.
    ASSERT_TRUE(WriteSetting("DISPLAY", "ASPECT", "off"));
    ASSERT_TRUE(WriteDefaultSettings());
    EXPECT_EQ(ReadSetting("DISPLAY", "ASPECT"), "off");
}

TEST_F(SettingsTest, VolumeFromText) {
    struct Case {
        const char* text;
        int volume;
    };
    const Case cases[] = {
        {"", 65535},   {"0", 0},   {"1234", 1234},   {"65535", 65535},
        {"77abc", 77}, {"abc", 0}, {"70000", 65535}, {"99999999999999999999", 65535},
        {"-5", 0}};
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteSetting("DISPLAY", "VOLUME", c.text));
        EXPECT_EQ(ReadVolumeSetting(), c.volume) << c.text;
    }
}

TEST_F(SettingsTest, ValuesAreReturnedExactly) {
    ASSERT_TRUE(WriteSetting("DISPLAY", "ASPECT", "On"));
    EXPECT_EQ(ReadSetting("DISPLAY", "ASPECT"), "On");
    EXPECT_NE(ReadSetting("DISPLAY", "ASPECT"), "on");
}

TEST_F(SettingsTest, RoundTrips) {
    struct Case {
        const char* section;
        const char* key;
        std::string value;
    };
    const Case cases[] = {
        {"SOURCE", "SELECT", "FOLDER"},
        {"SOURCE", "FOLDER", "/media/user/SDカード/Normal"},
        {"FOLDERPATH", "CSV_FOLDER", "/home/user/" + std::string(1000, 'p')},
        {"FOLDERPATH", "SNAPSHOT_FOLDER", "/tmp/with spaces/and=equals"},
        {"DECODE", "HW", "on"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteSetting(c.section, c.key, c.value)) << c.key;
    }
    for (const auto& c : cases) {
        EXPECT_EQ(ReadSetting(c.section, c.key), c.value) << c.key;
    }
    EXPECT_EQ(ReadSetting("SOURCE", "FILE"), "");
    EXPECT_EQ(ReadSetting("NOSUCH", "SELECT"), "");
}

TEST_F(SettingsTest, RewriteKeepsForeignLines) {
    WriteAll(ConfigFilePath(),
             "; kept\r\n[DISPLAY]\r\nASPECT=on\r\nCUSTOM=1\r\n[OTHER]\r\nX=y\r\n");
    ASSERT_TRUE(WriteSetting("DISPLAY", "ASPECT", "off"));
    EXPECT_EQ(ReadAll(ConfigFilePath()),
              "; kept\r\n[DISPLAY]\r\nASPECT=off\r\nCUSTOM=1\r\n[OTHER]\r\nX=y\r\n");
}

TEST_F(SettingsTest, UnstorableValueIsRefused) {
    ASSERT_TRUE(WriteSetting("SOURCE", "FILE", "/a"));
    EXPECT_FALSE(WriteSetting("SOURCE", "FILE", "/a\n[DISPLAY]\nASPECT=off"));
    EXPECT_EQ(ReadSetting("SOURCE", "FILE"), "/a");
    EXPECT_EQ(ReadSetting("DISPLAY", "ASPECT"), "");
}

TEST_F(SettingsTest, DamagedFilesReadAsEmpty) {
    const std::string files[] = {
        "\x7f"
        "ELF\x02\x01\x01\0\0\0garbage\xff\xfe"s,
        "[DISPL"s,
        "[DISPLAY]\nASP"s,
        std::string(5000, '\0'),
    };
    for (const auto& bytes : files) {
        WriteAll(ConfigFilePath(), bytes);
        EXPECT_EQ(ReadSetting("DISPLAY", "ASPECT"), "");
        EXPECT_EQ(ReadVolumeSetting(), 65535);
    }
}

TEST_F(SettingsTest, FailedWriteKeepsFile) {
    testing::TmpfsMount fs;
    if (!fs.mounted()) {
        GTEST_SKIP() << "cannot mount a tmpfs here";
    }
    PointAt(fs.path());
    ASSERT_TRUE(WriteSetting("DISPLAY", "ASPECT", "on"));
    const std::string before = ReadAll(ConfigFilePath());
    fs.fill();
    EXPECT_FALSE(WriteSetting("SOURCE", "FOLDER", std::string(20000, 'x')));
    EXPECT_EQ(ReadAll(ConfigFilePath()), before);
    ASSERT_TRUE(fs.remountReadOnly());
    EXPECT_FALSE(WriteSetting("DISPLAY", "ASPECT", "off"));
    EXPECT_EQ(ReadSetting("DISPLAY", "ASPECT"), "on");
}

TEST_F(SettingsTest, TrashMovesFileAway) {
    // The data folder does not exist yet; the trash in it is created.
    setenv("XDG_DATA_HOME", (dir.path() + "/data").c_str(), 1);
    EXPECT_FALSE(MoveToRecycleBin(""));
    const std::string file = dir.file("REC_0001.MOV");
    WriteAll(file, "movie");
    ASSERT_TRUE(MoveToRecycleBin(file));
    EXPECT_FALSE(std::filesystem::exists(file));
    const std::string trashed = dir.path() + "/data/Trash/files/REC_0001.MOV";
    EXPECT_EQ(ReadAll(trashed), "movie");
    EXPECT_FALSE(MoveToRecycleBin(dir.file("missing.MOV")));
}

} // namespace
} // namespace kirvano
