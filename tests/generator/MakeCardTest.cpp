// kirvano-cli make-card end to end: the movies are what independent tools and our own
// reader see alike, every decoded frame carries its number, the udat block equals the
// data file, and an interrupted run leaves no partial file and completes when re-run.
#include "support/FrameBarcode.h"
#include "support/TempDir.h"

#include <QImage>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>

namespace kirvano {
namespace {

using testing::ReadAll;
using testing::TempDir;

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

std::string Capture(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        return out;
    }
    char buffer[65536];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        out.append(buffer, n);
    }
    const int rc = pclose(pipe);
    if (status) {
        *status = WEXITSTATUS(rc);
    }
    return out;
}

const char* kTiny =
    " --recordings 3 --parking 1 --seconds 3 --front 320x240@27.5 --rear 160x120@30";

std::vector<std::string> MovieFiles(const std::string& root) {
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
        if (e.path().extension() == ".MOV") {
            files.push_back(e.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> HiddenFiles(const std::string& root) {
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
        if (e.path().filename().string()[0] == '.') {
            files.push_back(e.path().string());
        }
    }
    return files;
}

long long JsonInt(const std::string& json, const std::string& key) {
    std::smatch m;
    if (std::regex_search(json, m, std::regex("\"" + key + "\":(-?[0-9.]+)"))) {
        return std::stoll(m[1]);
    }
    return -999;
}

class MakeCard : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        card_ = new TempDir;
        output_ = new std::string(Capture(
            std::string(KIRVANO_CLI) + " make-card " + Quote(card_->path()) + kTiny, &status_));
    }
    static void TearDownTestSuite() {
        delete card_;
        delete output_;
    }
    static TempDir* card_;
    static std::string* output_;
    static int status_;
};
TempDir* MakeCard::card_ = nullptr;
std::string* MakeCard::output_ = nullptr;
int MakeCard::status_ = -1;

TEST_F(MakeCard, WritesEveryFileOfTheCardAndNothingElse) {
    ASSERT_EQ(status_, 0) << *output_;
    EXPECT_EQ(JsonInt(*output_, "written"), 15);
    const auto movies = MovieFiles(card_->path());
    ASSERT_EQ(movies.size(), 10u);
    for (const std::string& movie : movies) {
        const bool front = movie.find("/Front/") != std::string::npos;
        EXPECT_TRUE(front || movie.find("/Rear_/") != std::string::npos) << movie;
    }
    const std::string json = *output_;
    for (const char* key : {"\"front\":\"", "\"rear\":\"", "\"data\":\""}) {
        for (std::size_t at = json.find(key); at != std::string::npos;
             at = json.find(key, at + 1)) {
            const std::size_t start = at + std::strlen(key);
            const std::string path = json.substr(start, json.find('"', start) - start);
            EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;
        }
    }
    EXPECT_TRUE(HiddenFiles(card_->path()).empty());
}

TEST_F(MakeCard, IndependentToolsAndOurReaderAgreeOnEveryMovie) {
    ASSERT_EQ(status_, 0);
    for (const std::string& movie : MovieFiles(card_->path())) {
        const bool front = movie.find("/Front/") != std::string::npos;
        const int frames = front ? 82 : 90;
        const std::string rate = front ? "55/2" : "30/1";
        const std::string ffprobe =
            Capture("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                    "stream=width,height,r_frame_rate,avg_frame_rate,nb_read_frames,codec_name "
                    "-of default=noprint_wrappers=1 " +
                    Quote(movie));
        EXPECT_NE(ffprobe.find("codec_name=h264"), std::string::npos) << ffprobe;
        EXPECT_NE(ffprobe.find("width=" + std::to_string(front ? 320 : 160)), std::string::npos);
        EXPECT_NE(ffprobe.find("r_frame_rate=" + rate), std::string::npos) << ffprobe;
        EXPECT_NE(ffprobe.find("avg_frame_rate=" + rate), std::string::npos) << ffprobe;
        EXPECT_NE(ffprobe.find("nb_read_frames=" + std::to_string(frames)), std::string::npos)
            << movie << "\n"
            << ffprobe;
        // Every frame decodes without an error.
        int decodeStatus = -1;
        const std::string errors =
            Capture("ffmpeg -v error -i " + Quote(movie) + " -f null - 2>&1", &decodeStatus);
        EXPECT_EQ(decodeStatus, 0);
        EXPECT_EQ(errors, "") << movie;
        // The sound track is there.
        EXPECT_NE(
            Capture("ffprobe -v error -show_entries stream=codec_name -of csv " + Quote(movie))
                .find("aac"),
            std::string::npos);
        const std::string discoverer = Capture("gst-discoverer-1.0 -v " + Quote(movie));
        EXPECT_NE(discoverer.find("Width: " + std::to_string(front ? 320 : 160)), std::string::npos)
            << discoverer;
        EXPECT_NE(discoverer.find("Frame rate: " + rate), std::string::npos) << discoverer;
        EXPECT_NE(discoverer.find("H.264"), std::string::npos);

        const std::string probe = Capture(std::string(KIRVANO_CLI) + " probe " + Quote(movie));
        EXPECT_EQ(JsonInt(probe, "frame_count"), frames) << probe;
        EXPECT_EQ(JsonInt(probe, "width"), front ? 320 : 160);
        EXPECT_EQ(JsonInt(probe, "height"), front ? 240 : 120);
        // Media data before the movie box, and the telemetry box last.
        const auto mdat = probe.find("\"type\":\"mdat\"");
        const auto moov = probe.find("\"type\":\"moov\"");
        const auto udat = probe.find("\"type\":\"udat\"");
        EXPECT_LT(mdat, moov);
        EXPECT_LT(moov, udat);
        EXPECT_NE(udat, std::string::npos);
    }
}

TEST_F(MakeCard, EveryDecodedFrameShowsItsNumber) {
    ASSERT_EQ(status_, 0);
    const auto movies = MovieFiles(card_->path());
    for (const std::string& movie : {movies.front(), movies.back()}) {
        const bool front = movie.find("/Front/") != std::string::npos;
        const int w = front ? 320 : 160;
        const int h = front ? 240 : 120;
        const std::string raw =
            Capture("ffmpeg -v error -i " + Quote(movie) + " -f rawvideo -pix_fmt rgb24 -");
        const std::size_t frameBytes = static_cast<std::size_t>(w) * h * 3;
        ASSERT_EQ(raw.size() % frameBytes, 0u);
        const std::size_t frames = raw.size() / frameBytes;
        EXPECT_EQ(frames, front ? 82u : 90u);
        for (std::size_t i = 0; i < frames; ++i) {
            QImage image(reinterpret_cast<const uchar*>(raw.data() + i * frameBytes), w, h, w * 3,
                         QImage::Format_RGB888);
            ASSERT_EQ(testing::ReadFrameBarcode(image), static_cast<int>(i)) << movie;
        }
    }
}

TEST_F(MakeCard, TheUdatBlockEqualsTheDataFile) {
    ASSERT_EQ(status_, 0);
    for (const std::string& movie : MovieFiles(card_->path())) {
        const std::string fromData =
            Capture(std::string(KIRVANO_CLI) + " telemetry " + Quote(movie));
        const std::string fromUdat =
            Capture(std::string(KIRVANO_CLI) + " telemetry --udat " + Quote(movie));
        EXPECT_EQ(JsonInt(fromData, "record_count"), 30) << movie;
        const auto strip = [](const std::string& json) {
            return json.substr(json.find("\"header\""));
        };
        EXPECT_EQ(strip(fromData), strip(fromUdat)) << movie;
    }
}

TEST_F(MakeCard, AScanOfTheCardGivesTheIntendedGroups) {
    ASSERT_EQ(status_, 0);
    std::map<std::string, std::vector<std::string>> planned; // "folder/group" -> names
    const std::regex entry(
        "\\{\"name\":\"([^\"]+)\"[^}]*\"folder\":\"([^\"]*)\",\"group\":\"([^\"]+)\"");
    for (auto it = std::sregex_iterator(output_->begin(), output_->end(), entry);
         it != std::sregex_iterator(); ++it) {
        planned[(*it)[2].str() + "/" + (*it)[3].str()].push_back((*it)[1].str());
    }
    ASSERT_EQ(planned.size(), 4u);
    const std::string scan = Capture(std::string(KIRVANO_CLI) + " scan " + Quote(card_->path()));
    EXPECT_NE(scan.find("\"firmware\":\"1.4.2\""), std::string::npos) << scan;
    std::size_t groupItems = 0;
    const std::regex item("\"text\":\"([0-9]{6}_[0-9]{4})\"");
    for (auto it = std::sregex_iterator(scan.begin(), scan.end(), item);
         it != std::sregex_iterator(); ++it) {
        ++groupItems;
    }
    EXPECT_EQ(groupItems, planned.size()) << scan;
    for (const auto& [group, names] : planned) {
        const std::string listed =
            Capture(std::string(KIRVANO_CLI) + " scan " + Quote(card_->path()) + " --select " +
                    Quote(card_->path() + "/" + group));
        std::vector<std::string> found;
        const std::regex name("\"name\":\"([^\"]+)\"");
        for (auto it = std::sregex_iterator(listed.begin(), listed.end(), name);
             it != std::sregex_iterator(); ++it) {
            found.push_back((*it)[1].str());
        }
        EXPECT_EQ(found, names) << group << "\n" << listed;
    }
}

TEST(MakeCardRun, AnInterruptedRunLeavesNoPartialFileAndARerunCompletes) {
    TempDir card;
    const std::string args = std::string(" make-card ") + Quote(card.path()) +
                             " --recordings 6 --parking 1 --seconds 8 --front 640x480@27.5 "
                             "--rear 320x240@30 >/dev/null 2>&1";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", ("exec " + std::string(KIRVANO_CLI) + args).c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    // Wait until the first movie is complete, then interrupt in the middle of the rest.
    for (int i = 0; i < 600 && MovieFiles(card.path()).empty(); ++i) {
        usleep(50000);
    }
    kill(child, SIGINT);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_TRUE(HiddenFiles(card.path()).empty());
    const std::size_t before = MovieFiles(card.path()).size();
    EXPECT_GT(before, 0u);
    EXPECT_LT(before, 16u);
    for (const std::string& movie : MovieFiles(card.path())) {
        int probeStatus = -1;
        Capture("ffmpeg -v error -i " + Quote(movie) + " -f null - 2>&1", &probeStatus);
        EXPECT_EQ(probeStatus, 0) << movie;
    }

    int rerun = -1;
    const std::string output =
        Capture(std::string(KIRVANO_CLI) + args.substr(0, args.find(" >")), &rerun);
    EXPECT_EQ(rerun, 0);
    EXPECT_EQ(MovieFiles(card.path()).size(), 16u);
    EXPECT_GE(JsonInt(output, "kept"), static_cast<long long>(before));
    const std::string again = Capture(std::string(KIRVANO_CLI) + args.substr(0, args.find(" >")));
    EXPECT_EQ(JsonInt(again, "written"), 0);
    EXPECT_EQ(JsonInt(again, "kept"), 24);
}

TEST(MakeCardRun, FlatLayoutPutsTheFilesSideBySide) {
    TempDir card;
    int status = -1;
    Capture(std::string(KIRVANO_CLI) + " make-card " + Quote(card.path()) +
                " --layout flat --recordings 2 --parking 0 --seconds 1 --front 64x48@10 "
                "--rear 64x48@10 --no-audio",
            &status);
    ASSERT_EQ(status, 0);
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(card.path())) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 6u);
    EXPECT_EQ(names[0].substr(24), "D.ADA");
    EXPECT_EQ(names[1].substr(24), "F.MOV");
    EXPECT_EQ(names[2].substr(24), "R.MOV");
    EXPECT_EQ(Capture("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 " +
                      Quote(card.file(names[1]))),
              "video\n");
}

struct UsageCase {
    const char* args;
};

TEST(MakeCardRun, RefusesBadOptionsWithTheUsageStatus) {
    TempDir card;
    const UsageCase cases[] = {{""},
                               {" DIR --seconds 0"},
                               {" DIR --seconds 61"},
                               {" DIR --front 1920x1080"},
                               {" DIR --front 1921x1080@30"},
                               {" DIR --layout round"},
                               {" DIR --recordings many"},
                               {" DIR --bogus"},
                               {" DIR --firmware 1.2"},
                               {" DIR OTHER"}};
    for (const UsageCase& c : cases) {
        std::string args = c.args;
        const auto dir = args.find("DIR");
        if (dir != std::string::npos) {
            args.replace(dir, 3, Quote(card.file("x")));
        }
        int status = -1;
        Capture(std::string(KIRVANO_CLI) + " make-card" + args + " 2>/dev/null", &status);
        EXPECT_EQ(status, 2) << c.args;
    }
    EXPECT_FALSE(std::filesystem::exists(card.file("x")));
}

} // namespace
} // namespace kirvano
