// What a card load learns beyond its recordings, and where the viewer starts: the
// firmware version of the newest recording and the order of the start-up sources.
#include "library/CardBuilder.h"

#include "config/Settings.h"
#include "library/RecordingName.h"
#include "library/RecordingSource.h"
#include "telemetry/TelemetryWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace kirvano {
namespace {

using testing::AddMovie;
using testing::AddRecording;
using testing::NameAt;
using testing::TempDir;
namespace fs = std::filesystem;

TEST(SourceScan, FirmwareFromTheNewestRecording) {
    TempDir dir;
    const std::string root = dir.file("card");
    AddRecording(root, "Normal", NameAt("A__", 0, 10));
    AddRecording(root, "Normal", NameAt("G__", 0, 12));
    AddRecording(root, "Normal", NameAt("_G_", 0, 13));
    AddRecording(root, "Normal", NameAt("A__", 0, 11));
    fs::create_directories(root + "/Parking");
    RecordingSource source;
    std::string asked;
    source.setFirmwareVersionReader([&](const std::string& data) {
        asked = data;
        return std::string("1.2.3");
    });
    source.LoadSource(root, SourceKind::Card);
    EXPECT_EQ(source.firmwareVersion(), "1.2.3");
    EXPECT_EQ(asked, DataPathOf(root + "/Normal/Front/" + NameAt("_G_", 0, 13)));
}

std::string DataFileBytes(int major, int minor, int patch, char quality = 'H') {
    TelemetryHeaderFields fields;
    fields.major = major;
    fields.minor = minor;
    fields.patch = patch;
    fields.quality = quality;
    const auto header = EncodeTelemetryHeader(fields);
    const auto record = EncodeTelemetryRecord(TelemetryRecordFields{});
    const auto block = EncodeTelemetryBlock(header, record);
    return std::string(block.begin(), block.end());
}

TEST(SourceScan, FirmwareVersionFromTheDataFile) {
    struct Case {
        std::string bytes;
        std::string version;
    };
    const Case cases[] = {
        {DataFileBytes(3, 12, 5), "3.12.5"},
        {DataFileBytes(0, 0, 1), "0.0.1"},
        {"not telemetry", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string root = dir.file("card");
        fs::create_directories(root + "/Parking");
        const std::string front = AddRecording(root, "Normal", NameAt("A__", 0, 1), 260, 0, 0);
        fs::create_directories(root + "/Normal/Data");
        testing::WriteAll(DataPathOf(front), c.bytes);
        RecordingSource source;
        source.LoadSource(root, SourceKind::Card);
        EXPECT_EQ(source.firmwareVersion(), c.version);
    }
    EXPECT_EQ(FirmwareVersionOfDataFile("/nonexistent/x.ADA"), "");
}

TEST(SourceScan, InitialSourceOrder) {
    TempDir dir;
    const std::string card = dir.file("card");
    AddRecording(card, "Normal", NameAt("A__", 0, 1));
    fs::create_directories(card + "/Parking");
    const std::string folder = dir.file("folder");
    fs::create_directories(folder);
    const std::string rear = AddMovie(dir.file("files"), NameAt("A__", 0, 9, 'R'));
    const std::string other = AddMovie(dir.file("files"), "clip.MOV");
    setenv("KIRVANO_CONFIG_DIR", dir.file("config").c_str(), 1);
    ResetConfigDirectoryForTests();
    struct Case {
        const char* what;
        std::vector<std::string> volumes;
        std::string folderSetting, fileSetting;
        bool opened;
        SourceKind kind;
        std::string path;
    };
    const Case cases[] = {
        {"the newest volume that is there",
         {dir.file("gone"), card + "/", folder},
         folder,
         rear,
         true,
         SourceKind::Card,
         card},
        {"else the folder", {dir.file("gone")}, folder, rear, true, SourceKind::Folder, folder},
        {"else a recording file, rear names too",
         {},
         dir.file("gone"),
         rear,
         true,
         SourceKind::File,
         rear},
        {"a file outside the scheme is not taken", {}, "", other, false, SourceKind::Folder, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteSetting("SOURCE", "FOLDER", c.folderSetting));
        ASSERT_TRUE(WriteSetting("SOURCE", "FILE", c.fileSetting));
        RecordingSource source;
        EXPECT_EQ(source.OpenInitialSource(FixedVolumes(c.volumes)), c.opened);
        EXPECT_EQ(source.sourcePath(), c.path);
        if (c.opened) {
            EXPECT_EQ(source.sourceKind(), c.kind);
        }
    }
    unsetenv("KIRVANO_CONFIG_DIR");
    ResetConfigDirectoryForTests();
}

} // namespace
} // namespace kirvano
