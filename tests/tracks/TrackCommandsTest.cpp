// gpx, kml, evidence and verify run as programs on a generated card. The documents are
// checked by xmllint and read back by python3's own XML parser, the package by sha256sum;
// then the awkward cases: a recording without telemetry, names XML must escape, a package
// that is tampered with, a refusal to overwrite.
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <sys/wait.h>

namespace kirvano {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

struct Outcome {
    int status = -1;
    std::string out, err;
};

Outcome Shell(const std::string& command) {
    const TempDir io;
    const int raw = std::system(
        (command + " >" + Quote(io.file("out")) + " 2>" + Quote(io.file("err"))).c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadAll(io.file("out")),
            ReadAll(io.file("err"))};
}

Outcome Cli(const std::string& args) {
    return Shell(std::string(KIRVANO_CLI) + " " + args);
}

// Reads a GPX or KML file with python3's XML parser and prints what it found, one fact a
// line, so that the check does not rest on our own writer's idea of the format.
const char* kReader = R"(
import sys, xml.etree.ElementTree as ET
path = sys.argv[1]
root = ET.parse(path).getroot()
if path.endswith('.gpx'):
    n = {'g': 'http://www.topografix.com/GPX/1/1', 'k': 'urn:kirvano:track:1'}
    assert root.tag == '{http://www.topografix.com/GPX/1/1}gpx' and root.get('version') == '1.1'
    print('title', root.find('g:metadata/g:name', n).text)
    for seg in root.findall('g:trk/g:trkseg', n):
        pts = seg.findall('g:trkpt', n)
        for p in pts:
            assert -90 <= float(p.get('lat')) <= 90 and -180 <= float(p.get('lon')) < 180
            float(p.find('g:extensions/k:speed_kmh', n).text)
            assert len(p.find('g:time', n).text) == 19
        print('segment', seg.find('g:extensions/k:recording', n).text, len(pts))
    for w in root.findall('g:wpt', n):
        print('event', w.find('g:extensions/k:kind', n).text, w.find('g:name', n).text)
else:
    n = {'k': 'http://www.opengis.net/kml/2.2', 'gx': 'http://www.google.com/kml/ext/2.2'}
    assert root.tag == '{http://www.opengis.net/kml/2.2}kml'
    print('title', root.find('k:Document/k:name', n).text)
    for f in root.findall('k:Document/k:Folder', n):
        track = f.find('k:Placemark/gx:Track', n)
        count = 0
        if track is not None:
            count = len(track.findall('gx:coord', n))
            assert count == len(track.findall('k:when', n))
            assert count == len(track.findall('.//gx:value', n))
        print('segment', f.find('k:name', n).text, count)
        for p in f.findall('k:Placemark', n)[1:]:
            kind = p.find("k:ExtendedData/k:Data[@name='kind']/k:value", n).text
            print('event', kind, p.find('k:name', n).text)
)";

std::string ReadBack(const TempDir& scratch, const std::string& path) {
    WriteAll(scratch.file("reader.py"), kReader);
    const Outcome run = Shell("python3 " + Quote(scratch.file("reader.py")) + " " + Quote(path));
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out;
}

bool WellFormed(const std::string& path) {
    return Shell("xmllint --noout " + Quote(path)).status == 0;
}

long long Field(const std::string& json, const std::string& key) {
    std::smatch m;
    if (std::regex_search(json, m, std::regex("\"" + key + "\":(-?[0-9]+)")))
        return std::stoll(m[1]);
    return -1;
}

// Valid positions of a recording as the telemetry command decodes them.
long long Fixes(const std::string& movie) {
    const std::string out = Cli("telemetry " + Quote(movie)).out;
    long long n = 0;
    for (auto at = out.find("\"valid\":true"); at != std::string::npos;
         at = out.find("\"valid\":true", at + 1))
        ++n;
    return n;
}

class Tracks : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        card_ = new TempDir;
        // The core-only build has no card generator: every test then skips.
        if (Cli("help make-card").status != 0)
            return;
        const Outcome made = Cli("make-card " + Quote(card_->path()) +
                                 " --recordings 2 --parking 1 --seconds 2 --front 96x64@10"
                                 " --rear 96x64@10 --no-audio");
        ASSERT_EQ(made.status, 0) << made.err;
        for (const auto& e : fs::recursive_directory_iterator(card_->path()))
            if (e.path().filename().string().find("F.MOV") != std::string::npos)
                fronts_.push_back(e.path().string());
        std::sort(fronts_.begin(), fronts_.end(), [](const std::string& a, const std::string& b) {
            return fs::path(a).filename() < fs::path(b).filename();
        });
    }
    static void TearDownTestSuite() { delete card_; }
    void SetUp() override {
        if (fronts_.empty())
            GTEST_SKIP() << "the card generator is not built";
    }
    static std::string Front(char letter) {
        for (const std::string& f : fronts_)
            if (fs::path(f).filename().string()[0] == letter)
                return f;
        return {};
    }
    static TempDir* card_;
    static std::vector<std::string> fronts_;
};
TempDir* Tracks::card_ = nullptr;
std::vector<std::string> Tracks::fronts_;

TEST_F(Tracks, GpxAndKmlCarryEveryFixAndEveryEventOfTheCard) {
    ASSERT_EQ(fronts_.size(), 4u); // two drives, a time-lapse and a parking impact
    std::string expected = "title " + fs::path(card_->path()).filename().string() + "\n";
    std::map<std::string, long long> fixes;
    for (const std::string& f : fronts_)
        fixes[fs::path(f).filename().string()] = Fixes(f);
    const TempDir out;
    for (const char* format : {"gpx", "kml"}) {
        const std::string path = out.file(std::string("card.") + format);
        const Outcome run =
            Cli(std::string(format) + " " + Quote(card_->path()) + " " + Quote(path));
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(WellFormed(path)) << format;
        const std::string facts = ReadBack(out, path);
        long long points = 0;
        for (const auto& [name, count] : fixes) {
            EXPECT_NE(facts.find("segment " + name + " " + std::to_string(count) + "\n"),
                      std::string::npos)
                << format << " " << name << "\n"
                << facts;
            points += count;
        }
        EXPECT_GT(points, 0);
        EXPECT_EQ(Field(run.out, "points"), points);
        EXPECT_EQ(Field(run.out, "recordings"), 4);
        // The parking impact's G event (kind 0..4) is a waypoint named by its kind.
        EXPECT_TRUE(std::regex_search(facts, std::regex("event [0-4] \\S+"))) << format << "\n"
                                                                              << facts;
        EXPECT_GE(Field(run.out, "waypoints"), 1);
        EXPECT_EQ(facts.rfind(expected, 0), 0u) << facts;
        // A second run refuses to replace the file; --force does.
        EXPECT_EQ(Cli(std::string(format) + " " + Quote(card_->path()) + " " + Quote(path)).status,
                  1);
        EXPECT_EQ(
            Cli(std::string(format) + " " + Quote(card_->path()) + " " + Quote(path) + " --force")
                .status,
            0);
    }
    EXPECT_EQ(Cli("gpx " + Quote(card_->path())).status, 2);
    EXPECT_EQ(Cli("kml " + Quote(card_->path()) + " " + Quote(out.file("no/such/x.kml"))).status,
              1);
    EXPECT_EQ(Cli("help evidence").status, 0);
}

TEST_F(Tracks, ARecordingWithoutTelemetryInAFolderNamedWithMarkupGivesAnEmptySegment) {
    const TempDir scratch;
    const std::string folder = scratch.file("a&b <c> \"d\"");
    fs::create_directory(folder);
    // The movie's own telemetry box renamed to a free box, and no data file beside it.
    const std::string name = fs::path(Front('A')).filename().string();
    std::string movie = ReadAll(Front('A'));
    const auto udat = movie.find("udat");
    ASSERT_NE(udat, std::string::npos);
    movie.replace(udat, 4, "free");
    WriteAll(folder + "/" + name, movie);

    for (const char* format : {"gpx", "kml"}) {
        const std::string path = scratch.file(std::string("t.") + format);
        const Outcome run = Cli(std::string(format) + " " + Quote(folder) + " " + Quote(path));
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find("\"without_telemetry\":[\"" + name + "\"]"), std::string::npos)
            << run.out;
        EXPECT_TRUE(WellFormed(path));
        EXPECT_EQ(ReadBack(scratch, path), "title a&b <c> \"d\"\nsegment " + name + " 0\n");
    }
    const Outcome packed =
        Cli("evidence " + Quote(scratch.file("pkg")) + " " + Quote(folder + "/" + name));
    ASSERT_EQ(packed.status, 0) << packed.err;
    const std::string manifest = ReadAll(scratch.file("pkg/manifest.json"));
    EXPECT_NE(manifest.find("\"telemetry\":false"), std::string::npos);
    EXPECT_NE(manifest.find("\"first_position\":null,\"last_position\":null"), std::string::npos);
    EXPECT_NE(manifest.find("\"rear\":null,\"data\":null"), std::string::npos);
}

TEST_F(Tracks, EvidenceCopiesUnchangedAndVerifyNamesEveryTamperedFile) {
    const TempDir scratch;
    const std::string pkg = scratch.file("case 17");
    const std::string impact = Front('P'), drive = Front('A');
    std::vector<std::string> sources;
    for (const std::string& f : {impact, drive})
        for (const char* suffix : {"F.MOV", "R.MOV", "D.ADA"}) {
            std::string path = f;
            path.replace(path.size() - 5, 5, suffix);
            path = fs::path(path).parent_path().parent_path() /
                   (suffix[0] == 'F'   ? "Front"
                    : suffix[0] == 'R' ? "Rear_"
                                       : "Data") /
                   fs::path(path).filename();
            sources.push_back(path);
        }
    std::string before;
    for (const std::string& s : sources)
        before += ReadAll(s);

    const Outcome packed = Cli("evidence " + Quote(pkg) + " " + Quote(impact) + " " + Quote(drive));
    ASSERT_EQ(packed.status, 0) << packed.err;
    std::string after;
    for (const std::string& s : sources) {
        after += ReadAll(s);
        EXPECT_EQ(ReadAll(pkg + "/" + fs::path(s).filename().string()), ReadAll(s)) << s;
    }
    EXPECT_EQ(before, after); // the sources are untouched
    // Every file but the list itself is listed, and an independent tool agrees.
    EXPECT_EQ(testing::EntryCount(pkg), 6u + 4u);
    EXPECT_EQ(Shell("cd " + Quote(pkg) + " && sha256sum --quiet -c SHA256SUMS").status, 0);
    // The manifest read by python: the impact's event with frame, time and position.
    const Outcome events = Shell(
        "python3 -c \"import json,sys; m=json.load(open(sys.argv[1])); "
        "[print(r['name'], r['front']['sha256'] == __import__('hashlib').sha256(open(sys.argv[2] "
        "if r['name'].startswith('P') else sys.argv[3],'rb').read()).hexdigest(), r['peak_g'] > 0,"
        " [(e['kind'], e['frame'] > 0, e['position']['time'][:10]) for e in r['events']]) for r "
        "in m['recordings']]\" " +
        Quote(pkg + "/manifest.json") + " " + Quote(impact) + " " + Quote(drive));
    ASSERT_EQ(events.status, 0) << events.err;
    EXPECT_TRUE(std::regex_search(
        events.out, std::regex("^P\\S+ True True \\[\\([0-4], True, '\\d{4}-\\d\\d-\\d\\d'\\)")))
        << events.out;
    EXPECT_NE(events.out.find("\nA"), std::string::npos) << events.out;
    EXPECT_NE(ReadAll(pkg + "/summary.txt").find(fs::path(impact).filename().string()),
              std::string::npos);

    const Outcome clean = Cli("verify " + Quote(pkg));
    EXPECT_EQ(clean.status, 0) << clean.err;
    EXPECT_EQ(Field(clean.out, "checked"), 9);
    // Refuses to touch an existing package.
    EXPECT_EQ(Cli("evidence " + Quote(pkg) + " " + Quote(impact)).status, 1);

    const std::string data = fs::path(sources[2]).filename().string();
    const std::string rear = fs::path(sources[4]).filename().string();
    std::string bytes = ReadAll(pkg + "/" + data);
    bytes[bytes.size() / 2] ^= 1;
    WriteAll(pkg + "/" + data, bytes);
    fs::remove(pkg + "/" + rear);
    WriteAll(pkg + "/extra.txt", "added later");
    const Outcome tampered = Cli("verify " + Quote(pkg));
    EXPECT_EQ(tampered.status, 1);
    EXPECT_NE(tampered.out.find("\"ok\":false"), std::string::npos);
    EXPECT_NE(tampered.out.find("\"changed\":[\"" + data + "\"],\"missing\":[\"" + rear +
                                "\"],\"unlisted\":[\"extra.txt\"]"),
              std::string::npos)
        << tampered.out;
    EXPECT_NE(tampered.err.find(data + ": changed"), std::string::npos) << tampered.err;

    fs::remove(pkg + "/SHA256SUMS");
    EXPECT_EQ(Cli("verify " + Quote(pkg)).status, 1);
}

TEST_F(Tracks, EvidenceRefusesBadInputAndLeavesNothingBehind) {
    const TempDir scratch;
    const std::string front = Front('A');
    const struct {
        std::string args;
        int status;
    } cases[] = {
        {Quote(scratch.file("p")), 2}, // no recording
        {Quote(scratch.file("p")) + " " + Quote(scratch.file("none.MOV")), 1},
        {Quote(scratch.file("p")) + " " + Quote(Front('A')) + " " + Quote(Front('A')), 1},
        {Quote(scratch.file("no/such/p")) + " " + Quote(front), 1}, // no parent folder
    };
    for (const auto& c : cases) {
        const Outcome run = Cli("evidence " + c.args);
        EXPECT_EQ(run.status, c.status) << c.args;
        if (c.status == 1) {
            EXPECT_NE(run.out.find("\"path\":null"), std::string::npos) << c.args << run.out;
        }
    }
    std::string rear = front;
    rear.replace(rear.find("/Front/"), 7, "/Rear_/");
    rear.replace(rear.size() - 5, 1, "R");
    const Outcome notFront = Cli("evidence " + Quote(scratch.file("p")) + " " + Quote(rear));
    EXPECT_EQ(notFront.status, 1);
    EXPECT_EQ(testing::EntryCount(scratch.path()), 0u); // no package, no staging folder
}

} // namespace
} // namespace kirvano
