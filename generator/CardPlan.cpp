#include "generator/CardPlan.h"

#include "generator/DriveTrace.h"
#include "library/RecordingName.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <map>
#include <numeric>

namespace kirvano {
namespace {

constexpr int kNameGap = 60;       // seconds between consecutive recordings of a run
constexpr int kTimelapseGap = 900; // seconds between time-lapse recordings
constexpr PlanTime kFirstDay{2024, 5, 18, 8, 10, 0};

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
long long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy =
        (153 * static_cast<unsigned>(m + (m > 2 ? -3 : 9)) + 2) / 5 + static_cast<unsigned>(d) - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

PlanTime CivilFromSeconds(long long total) {
    long long days = total / 86400;
    long long rest = total % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    PlanTime t;
    t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (t.month <= 2 ? 1 : 0));
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

long long SecondsOf(const PlanTime& t) {
    return DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

std::string StemOf(const char letters[3], const PlanTime& t, int sequence) {
    char text[32];
    std::snprintf(text, sizeof text, "%c%c%c-%02d%02d%02d-%02d%02d%02d-%06d", letters[0],
                  letters[1], letters[2], t.year % 100, t.month, t.day, t.hour, t.minute, t.second,
                  sequence % 1000000);
    return text;
}

struct Item {
    PlannedRecording recording;
    char letters[3];
};

Status CheckFormat(const CameraFormat& f, const char* camera) {
    if (f.width < 32 || f.height < 24 || f.width > 4096 || f.height > 2304 || f.width % 2 ||
        f.height % 2) {
        return Failure(std::string(camera) + " size must be even, 32x24 to 4096x2304");
    }
    if (f.rateNumerator <= 0 || f.rateDenominator <= 0 ||
        f.rateNumerator > 240 * f.rateDenominator || f.rateNumerator < f.rateDenominator) {
        return Failure(std::string(camera) + " frame rate must be 1 to 240 per second");
    }
    return Success();
}

} // namespace

PlanTime AddSeconds(const PlanTime& time, long long seconds) {
    return CivilFromSeconds(SecondsOf(time) + seconds);
}

long long SecondsBetween(const PlanTime& from, const PlanTime& to) {
    return SecondsOf(to) - SecondsOf(from);
}

Result<CardPlan> PlanCard(const CardOptions& options) {
    if (options.recordings < 0 || options.recordings > 400) {
        return Failure("the number of recordings must be 0 to 400");
    }
    if (options.parking < 0 || options.parking > 40) {
        return Failure("the number of parking recordings must be 0 to 40");
    }
    if (options.seconds < 1 || options.seconds > kNameGap) {
        return Failure("the recording length must be 1 to 60 seconds");
    }
    if (options.timelapseRate != 10 && options.timelapseRate != 15) {
        return Failure("the time-lapse telemetry rate must be 10 or 15");
    }
    for (const Status& status :
         {CheckFormat(options.front, "front"), CheckFormat(options.rear, "rear")}) {
        if (!status) {
            return Failure(status.error());
        }
    }

    CardPlan plan;
    plan.options = options;
    const Route& route = Route::Default();
    const std::uint32_t seed = options.seed;
    const int n = options.recordings;
    const int driveCount = n == 0 ? 0 : n < 2 ? 1 : std::max(2, (n + 9) / 10);
    const int onFirstDay = (driveCount + 1) / 2;
    const long long parkingSpan =
        options.parking > 0 ? static_cast<long long>(options.parking) * kTimelapseGap + 900 : 0;

    std::vector<Item> items;
    double distance = route.length() * UnitNoise(seed, 7, 0);
    double parkedDistance = distance;
    PlanTime firstDriveEnd = AddSeconds(kFirstDay, static_cast<long long>(seed % 20) * 60);
    long long clock = SecondsOf(firstDriveEnd) + static_cast<long long>(seed * 7 % 60);
    for (int d = 0; d < driveCount; ++d) {
        const int size = n / driveCount + (d < n % driveCount ? 1 : 0);
        if (d == onFirstDay) {
            // The next morning, a little later.
            clock = SecondsOf(AddSeconds(kFirstDay, 86400 + 55 * 60)) +
                    static_cast<long long>(seed * 13 % 60);
        }
        PlannedDrive drive;
        drive.startDistance = distance;
        drive.seconds = (size - 1) * kNameGap + options.seconds;
        const auto trace = SimulateDrive(route, distance, drive.seconds, 10, seed + d);
        if (!trace.empty()) {
            distance = trace.back().distance;
        }
        for (int k = 0; k < size; ++k) {
            Item item{};
            PlannedRecording& r = item.recording;
            r.folder = "Normal";
            r.start = CivilFromSeconds(clock + static_cast<long long>(k) * kNameGap);
            r.run = d;
            r.driveOffset = k * kNameGap;
            r.startDistance = drive.startDistance;
            item.letters[0] = 'A';
            item.letters[1] = '_';
            item.letters[2] = k == 0 ? 'S' : '_';
            const bool impact = d == 0 && k == 1;
            const bool manual = (driveCount > 1 && d == 1 && k == 1) || (driveCount == 1 && k == 2);
            if (impact || manual) {
                item.letters[0] = impact ? 'G' : 'M';
                r.event = impact ? RecordingEvent::Impact : RecordingEvent::Manual;
                r.eventAt = options.seconds * 0.4;
            }
            if (d == 0 && k == size - 1 && size >= 3) {
                r.noFixFrom = options.seconds * 0.45;
                r.noFixUntil = r.noFixFrom + std::min(5.0, options.seconds * 0.25);
            }
            items.push_back(item);
        }
        const long long end = clock + static_cast<long long>(drive.seconds);
        if (d == 0) {
            parkedDistance = distance;
            firstDriveEnd = CivilFromSeconds(end);
        }
        // The next drive of the day after a break, past the parking run of the first.
        clock = end + std::max<long long>(d == 0 ? parkingSpan + 1800 : 0, 3 * 3600);
        plan.drives.push_back(drive);
    }

    if (options.parking > 0) {
        const long long parkStart = SecondsOf(firstDriveEnd) + 90;
        for (int k = 0; k <= options.parking; ++k) {
            Item item{};
            PlannedRecording& r = item.recording;
            r.folder = "Parking";
            r.run = driveCount;
            r.parked = true;
            r.startDistance = parkedDistance;
            const bool impact = k == options.parking;
            if (impact) {
                r.start = CivilFromSeconds(parkStart +
                                           static_cast<long long>(k - 1) * kTimelapseGap + 420);
                r.run = driveCount + 1;
                r.event = RecordingEvent::ParkingImpact;
                r.eventAt = options.seconds * 0.4;
                item.letters[0] = 'P';
                item.letters[1] = 'G';
                item.letters[2] = '_';
            } else {
                r.start = CivilFromSeconds(parkStart + static_cast<long long>(k) * kTimelapseGap);
                r.timelapse = true;
                r.recordsPerSecond = options.timelapseRate;
                item.letters[0] = 'T';
                item.letters[1] = '_';
                item.letters[2] = k == 0 ? 'S' : '_';
            }
            items.push_back(item);
        }
    }

    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
        return SecondsOf(a.recording.start) < SecondsOf(b.recording.start);
    });
    const int firstSequence = 100 + static_cast<int>(seed % 800);
    for (std::size_t i = 0; i < items.size(); ++i) {
        PlannedRecording& r = items[i].recording;
        r.sequence = firstSequence + static_cast<int>(i);
        r.stem = StemOf(items[i].letters, r.start, r.sequence);
        if (options.layout == CardLayout::Flat) {
            r.folder.clear();
        }
        plan.recordings.push_back(r);
    }
    // Groups: runs in sequence order within each folder, numbered per date.
    std::map<std::string, int> lastRun;
    std::map<std::string, std::string> lastLabel;
    std::map<std::string, int> perDate;
    for (PlannedRecording& r : plan.recordings) {
        const auto previous = lastRun.find(r.folder);
        if (previous == lastRun.end() || previous->second != r.run) {
            char label[16];
            const std::string date = r.stem.substr(4, 6);
            std::snprintf(label, sizeof label, "%s_%04d", date.c_str(), ++perDate[r.folder + date]);
            lastLabel[r.folder] = label;
        }
        lastRun[r.folder] = r.run;
        r.group = lastLabel[r.folder];
    }
    return plan;
}

std::string FrontPathOf(const std::string& root, const CardPlan& plan, const PlannedRecording& r) {
    std::string path = root;
    if (plan.options.layout == CardLayout::CameraFolders) {
        path += "/" + r.folder + "/Front";
    }
    return path + "/" + r.stem + "F.MOV";
}

std::string RearMoviePathOf(const std::string& root, const CardPlan& plan,
                            const PlannedRecording& r) {
    return RearPathOf(FrontPathOf(root, plan, r));
}

std::string DataFilePathOf(const std::string& root, const CardPlan& plan,
                           const PlannedRecording& r) {
    return DataPathOf(FrontPathOf(root, plan, r));
}

namespace {

bool ParseInt(std::string_view text, int& out) {
    if (text.empty()) {
        return false;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

} // namespace

Result<CameraFormat> ParseCameraFormat(const std::string& text) {
    const auto x = text.find('x');
    const auto at = text.find('@');
    if (x == std::string::npos || at == std::string::npos || at < x) {
        return Failure("expected WIDTHxHEIGHT@FPS, for example 1920x1080@27.5");
    }
    CameraFormat f;
    const std::string_view all(text);
    if (!ParseInt(all.substr(0, x), f.width) ||
        !ParseInt(all.substr(x + 1, at - x - 1), f.height)) {
        return Failure("the size is not two whole numbers");
    }
    const std::string_view rate = all.substr(at + 1);
    const auto slash = rate.find('/');
    const auto dot = rate.find('.');
    if (slash != std::string_view::npos) {
        if (!ParseInt(rate.substr(0, slash), f.rateNumerator) ||
            !ParseInt(rate.substr(slash + 1), f.rateDenominator)) {
            return Failure("the frame rate is not N/D");
        }
    } else if (dot != std::string_view::npos) {
        const std::string_view whole = rate.substr(0, dot);
        const std::string_view fraction = rate.substr(dot + 1);
        int w = 0;
        int fr = 0;
        if (!ParseInt(whole, w) || fraction.size() > 3 || !ParseInt(fraction, fr)) {
            return Failure("the frame rate is not a decimal with at most three places");
        }
        int scale = 1;
        for (std::size_t i = 0; i < fraction.size(); ++i) {
            scale *= 10;
        }
        f.rateNumerator = w * scale + fr;
        f.rateDenominator = scale;
    } else {
        if (!ParseInt(rate, f.rateNumerator)) {
            return Failure("the frame rate is not a number");
        }
        f.rateDenominator = 1;
    }
    if (f.rateNumerator <= 0 || f.rateDenominator <= 0) {
        return Failure("the frame rate must be positive");
    }
    const int g = std::gcd(f.rateNumerator, f.rateDenominator);
    f.rateNumerator /= g;
    f.rateDenominator /= g;
    if (const Status status = CheckFormat(f, "the"); !status) {
        return Failure(status.error());
    }
    return f;
}

Result<FirmwareVersion> ParseFirmwareVersion(const std::string& text) {
    FirmwareVersion v;
    const auto a = text.find('.');
    const auto b = a == std::string::npos ? a : text.find('.', a + 1);
    const std::string_view all(text);
    if (b == std::string::npos || !ParseInt(all.substr(0, a), v.major) ||
        !ParseInt(all.substr(a + 1, b - a - 1), v.minor) || !ParseInt(all.substr(b + 1), v.patch) ||
        v.major < 0 || v.major > 99 || v.minor < 0 || v.minor > 99 || v.patch < 0 || v.patch > 99) {
        return Failure("expected a version of three numbers 0 to 99, for example 1.4.2");
    }
    return v;
}

} // namespace kirvano
