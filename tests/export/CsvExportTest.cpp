#include "export/CsvExport.h"

#include "support/TempDir.h"
#include "support/TmpfsMount.h"
#include "ui/UiText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <sys/mount.h>
#include <vector>

namespace kirvano {
namespace {

using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;
namespace fs = std::filesystem;

RecordingInfo Record(const std::string& name, std::int64_t front = 5 << 20,
                     std::int64_t rear = 3 << 20) {
    RecordingInfo r;
    r.name = name;
    r.path = "/card/Normal/Front/" + name;
    r.frontSize = front;
    r.rearSize = rear;
    return r;
}

CsvMovieFacts Facts(int height, std::int64_t frames, float rate, char quality = 'H') {
    CsvMovieFacts f;
    f.readable = true;
    f.height = height;
    f.frameCount = frames;
    f.frameRate = rate;
    f.quality = quality;
    return f;
}

TEST(CsvLine, Columns) {
    SelectUiTextColumn(0);
    struct Case {
        const char* what;
        RecordingInfo record;
        CsvMovieFacts facts;
        std::string line;
    };
    const std::string a = "A__-220801-123456-000123F.MOV";
    const Case cases[] = {
        {"full HD, high quality", Record(a), Facts(1080, 1800, 30.0f),
         a + ",2022/08/01,12:34:56,00:01:00,常時,FHD,高画質,30fps,5MB,3MB\r\n"},
        {"HD, low quality", Record(a), Facts(720, 1799, 30.0f, 'N'),
         a + ",2022/08/01,12:34:56,00:00:59,常時,HD,低画質,30fps,5MB,3MB\r\n"},
        {"SD without telemetry", Record(a), Facts(360, 27500, 27.5f, 0),
         a + ",2022/08/01,12:34:56,00:16:40,常時,SD,低画質,28fps,5MB,3MB\r\n"},
        {"480 lines: no size, no quality", Record(a), Facts(480, 900, 30.0f),
         a + ",2022/08/01,12:34:56,00:00:30,常時,,,30fps,5MB,3MB\r\n"},
        {"missing rear file", Record(a, 5 << 20, 0), Facts(1080, 1800, 30.0f),
         a + ",2022/08/01,12:34:56,00:01:00,常時,FHD,高画質,30fps,5MB,0MB\r\n"},
        {"hours and sizes above 4 GiB", Record(a, 5LL << 30, (1LL << 20) - 1),
         Facts(1080, 30 * 3725, 30.0f),
         a + ",2022/08/01,12:34:56,01:02:05,常時,FHD,高画質,30fps,5120MB,0MB\r\n"},
        {"time-lapse", Record("T__-220801-010203-000001F.MOV"), Facts(1080, 120, 30.0f),
         "T__-220801-010203-000001F.MOV,2022/08/01,01:02:03,00:01:00,駐車タイムラプス,FHD,"
         "高画質,タイムラプス,5MB,3MB\r\n"},
        {"parking impact", Record("AG_-221231-235959-999999F.MOV"), Facts(1080, 60, 30.0f),
         "AG_-221231-235959-999999F.MOV,2022/12/31,23:59:59,00:00:02,駐車衝撃,FHD,高画質,"
         "30fps,5MB,3MB\r\n"},
        {"unreadable container", Record(a), CsvMovieFacts{}, a + ",-,-,-,-,-,-,fps,0MB\r\n"},
        {"a name outside the scheme: day 0 of month 0 of 2000", Record("clip.MOV"),
         Facts(1080, 30, 30.0f),
         "clip.MOV,1999/11/30,00:00:00,00:00:01,,FHD,高画質,30fps,5MB,3MB\r\n"},
    };
    setenv("TZ", "UTC", 1);
    tzset();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(CsvDataLine(c.record, c.facts), c.line);
    }
}

TEST(CsvLine, FileNameAndHeader) {
    SelectUiTextColumn(0);
    EXPECT_EQ(CsvFileName(Record("A__-220801-123456-000123F.MOV")), "Dv_20220801_123456.csv");
    EXPECT_EQ(CsvHeaderLine(),
              "ファイル名,日付,開始時刻,録画時間,録画トリガー,録画サイズ,画質,"
              "フレームレート,フロントカメラデータサイズ,リヤカメラデータサイズ\r\n");
    SelectUiTextColumn(1);
    EXPECT_EQ(CsvHeaderLine().substr(0, 10), "File name,");
    SelectUiTextColumn(0);
}

TEST(CsvEncoding, Charsets) {
    struct Case {
        const char* what;
        std::string text;
        std::string charset;
        std::string bytes;
        std::size_t replaced;
    };
    const Case cases[] = {
        {"UTF-8 kept", "常時,abc", "UTF-8", "常時,abc", 0},
        {"utf8 spelled otherwise", "常時", "utf8", "常時", 0},
        {"Shift JIS", "常時,A", "SHIFT_JIS", "\x8F\xED\x8E\x9E,A", 0},
        {"Latin-1 cannot hold kanji", "é常x", "ISO-8859-1", "\xE9?x", 1},
        {"ASCII", "常時ab", "ANSI_X3.4-1968", "??ab", 2},
        {"invalid UTF-8 bytes", "a\xFF\xC0\x80z", "UTF-8", "a???z", 3},
        {"unknown set keeps ASCII", "a常", "NO-SUCH-SET", "a?", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::size_t replaced = 0;
        EXPECT_EQ(EncodeText(c.text, c.charset, replaced), c.bytes);
        EXPECT_EQ(replaced, c.replaced);
    }
}

std::vector<RecordingInfo> SmallCard() {
    return {Record("A__-220801-120000-000001F.MOV"), Record("G__-220801-120100-000002F.MOV", 1, 0),
            Record("M__-220801-120200-000003F.MOV")};
}

CsvExportOptions FixedFacts() {
    CsvExportOptions options;
    options.charset = "UTF-8";
    options.facts = [](const RecordingInfo& r) {
        if (r.name[0] == 'M')
            return CsvMovieFacts{};
        return Facts(r.name[0] == 'G' ? 480 : 1080, 1800, 30.0f);
    };
    return options;
}

TEST(CsvExport, WritesTheFileByteForByte) {
    SelectUiTextColumn(0);
    TempDir dir;
    std::vector<std::pair<std::size_t, std::size_t>> progress;
    CsvExportOptions options = FixedFacts();
    options.progress = [&](std::size_t i, std::size_t n) { progress.emplace_back(i, n); };
    const CsvExportResult result = ExportCsv(SmallCard(), dir.path(), options);
    ASSERT_EQ(result.outcome, CsvOutcome::Done) << result.error;
    EXPECT_EQ(result.path, dir.file("Dv_20220801_120000.csv"));
    EXPECT_EQ(result.lines, 3u);
    EXPECT_EQ(ReadAll(result.path),
              CsvHeaderLine() +
                  "A__-220801-120000-000001F.MOV,2022/08/01,12:00:00,00:01:00,常時,FHD,高画質,"
                  "30fps,5MB,3MB\r\n"
                  "G__-220801-120100-000002F.MOV,2022/08/01,12:01:00,00:01:00,衝撃,,,30fps,0MB,"
                  "0MB\r\n"
                  "M__-220801-120200-000003F.MOV,-,-,-,-,-,-,fps,0MB\r\n");
    const std::vector<std::pair<std::size_t, std::size_t>> expected{{0, 3}, {1, 3}, {2, 3}, {3, 3}};
    EXPECT_EQ(progress, expected);
    EXPECT_EQ(testing::EntryCount(dir.path()), 1u);
}

TEST(CsvExport, OverwriteOnlyWhenAllowed) {
    TempDir dir;
    const std::string target = dir.file("Dv_20220801_120000.csv");
    WriteAll(target, "old");
    CsvExportOptions options = FixedFacts();
    CsvExportResult result = ExportCsv(SmallCard(), dir.path(), options);
    EXPECT_EQ(result.outcome, CsvOutcome::Exists);
    EXPECT_EQ(result.uiTextEntry, 93);
    EXPECT_EQ(ReadAll(target), "old");
    options.overwrite = true;
    result = ExportCsv(SmallCard(), dir.path(), options);
    EXPECT_EQ(result.outcome, CsvOutcome::Done);
    EXPECT_NE(ReadAll(target), "old");
    EXPECT_EQ(testing::EntryCount(dir.path()), 1u);
}

TEST(CsvExport, CancelKeepsTheLinesWritten) {
    TempDir dir;
    CsvExportOptions options = FixedFacts();
    int polls = 0;
    options.cancelled = [&] { return ++polls > 2; };
    const CsvExportResult result = ExportCsv(SmallCard(), dir.path(), options);
    EXPECT_EQ(result.outcome, CsvOutcome::Cancelled);
    EXPECT_EQ(result.lines, 2u);
    const std::string text = ReadAll(result.path);
    EXPECT_NE(text.find("G__-220801-120100"), std::string::npos);
    EXPECT_EQ(text.find("M__-220801-120200"), std::string::npos);
    EXPECT_EQ(testing::EntryCount(dir.path()), 1u);
}

TEST(CsvExport, NothingToExport) {
    TempDir dir;
    const CsvExportResult result = ExportCsv({}, dir.path(), FixedFacts());
    EXPECT_EQ(result.outcome, CsvOutcome::NoRecordings);
    EXPECT_EQ(result.uiTextEntry, 101);
    EXPECT_EQ(testing::EntryCount(dir.path()), 0u);
}

TEST(CsvExport, MissingFolderFails) {
    TempDir dir;
    const CsvExportResult result = ExportCsv(SmallCard(), dir.file("absent"), FixedFacts());
    EXPECT_EQ(result.outcome, CsvOutcome::Failed);
    EXPECT_EQ(result.uiTextEntry, 96);
}

TEST(CsvExport, FullDiskLeavesNothing) {
    TempDir dir;
    if (mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    std::vector<RecordingInfo> many;
    for (int i = 0; i < 2000; ++i)
        many.push_back(Record("A__-220801-120000-000001F.MOV"));
    const CsvExportResult result = ExportCsv(many, dir.path(), FixedFacts());
    const std::size_t left = testing::EntryCount(dir.path());
    umount2(dir.path().c_str(), MNT_DETACH);
    EXPECT_EQ(result.outcome, CsvOutcome::Failed);
    EXPECT_EQ(result.uiTextEntry, 96);
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(left, 0u);
}

// Facts read from real movies made by ffmpeg, where it is installed.
TEST(CsvExport, FactsFromRealMovies) {
    if (std::system("ffmpeg -version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffmpeg is not installed";
    TempDir dir;
    struct Case {
        const char* size;
        int height;
        int frames;
    };
    for (const Case& c : {Case{"640x480", 480, 30}, Case{"1280x720", 720, 45}}) {
        SCOPED_TRACE(c.size);
        const std::string path = dir.file(std::string(c.size) + ".MOV");
        const std::string command =
            "ffmpeg -loglevel error -y -f lavfi -i testsrc=size=" + std::string(c.size) +
            ":rate=30 -frames:v " + std::to_string(c.frames) + " -c:v libx264 -preset ultrafast " +
            path;
        ASSERT_EQ(std::system(command.c_str()), 0);
        RecordingInfo record;
        record.path = path;
        const CsvMovieFacts facts = ReadCsvMovieFacts(record);
        EXPECT_TRUE(facts.readable);
        EXPECT_EQ(facts.height, c.height);
        EXPECT_EQ(facts.frameCount, c.frames);
        EXPECT_FLOAT_EQ(facts.frameRate, 30.0f);
    }
    testing::WriteAll(dir.file("broken.MOV"), std::string(300, 'x'));
    RecordingInfo broken;
    broken.path = dir.file("broken.MOV");
    EXPECT_FALSE(ReadCsvMovieFacts(broken).readable);
}

} // namespace
} // namespace kirvano
