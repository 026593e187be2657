#include "generator/CardWriter.h"

#include "base/AtomicOutputFile.h"
#include "generator/CardTelemetry.h"
#include "generator/MovieWriter.h"

#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kirvano {
namespace {

struct PendingMovie {
    MovieJob job;
    double weight = 0; // pixels of all its frames
};

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

Status MakeFolder(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (ec) {
        return Failure(path + ": " + ec.message());
    }
    return Success();
}

} // namespace

Result<CardWriteReport> WriteCard(const std::string& root, const CardPlan& plan,
                                  const std::atomic<bool>& cancel,
                                  const CardWriteOptions& options) {
    CardWriteReport report;
    if (plan.options.layout == CardLayout::CameraFolders) {
        for (const char* top : {"Normal", "Parking"}) {
            for (const char* camera : {"Front", "Rear_", "Data"}) {
                if (Status s = MakeFolder(root + "/" + top + "/" + camera); !s) {
                    return Failure(s.error());
                }
            }
        }
    } else if (Status s = MakeFolder(root); !s) {
        return Failure(s.error());
    }

    std::vector<PendingMovie> movies;
    for (const PlannedRecording& r : plan.recordings) {
        if (cancel.load()) {
            return Failure("cancelled");
        }
        const std::string front = FrontPathOf(root, plan, r);
        const std::string rear = RearMoviePathOf(root, plan, r);
        const std::string data = DataFilePathOf(root, plan, r);
        if (Exists(front) && Exists(rear) && Exists(data)) {
            report.kept += 3;
            continue;
        }
        auto telemetry = std::make_shared<const RecordingTelemetry>(TelemetryOf(plan, r));
        if (Exists(data)) {
            ++report.kept;
        } else {
            AtomicOutputFile out;
            Status s = out.open(data, ExistingFile::Keep);
            if (s) {
                s = out.write(
                    std::string_view(reinterpret_cast<const char*>(telemetry->block.data()),
                                     telemetry->block.size()));
            }
            if (s) {
                s = out.commit();
            }
            if (!s) {
                return Failure(data + ": " + s.error());
            }
            ++report.written;
        }
        const struct {
            const std::string* path;
            const CameraFormat* format;
            const char* label;
            int tint;
        } cameras[] = {{&front, &plan.options.front, "FRONT", 0},
                       {&rear, &plan.options.rear, "REAR", 7}};
        for (const auto& camera : cameras) {
            if (Exists(*camera.path)) {
                ++report.kept;
                continue;
            }
            PendingMovie movie;
            movie.job.path = *camera.path;
            movie.job.format = *camera.format;
            movie.job.frames = FrameCountOf(*camera.format, plan.options.seconds);
            movie.job.audio = plan.options.audio;
            movie.job.tint = camera.tint;
            movie.job.udat = telemetry->block;
            const CameraFormat format = *camera.format;
            const std::string label = camera.label;
            const PlannedRecording recording = r;
            movie.job.overlay = [telemetry, format, label, recording](std::uint32_t frame,
                                                                      FrameOverlay& overlay) {
                const double seconds =
                    static_cast<double>(frame) * format.rateDenominator / format.rateNumerator;
                overlay.distanceMetres = SampleAt(*telemetry, seconds).distance;
                overlay.lines = FrameTextOf(label, recording, *telemetry, frame, seconds);
            };
            movie.weight = static_cast<double>(movie.job.frames) * format.width * format.height;
            movies.push_back(std::move(movie));
        }
    }

    double totalWeight = 0;
    for (const PendingMovie& m : movies) {
        totalWeight += m.weight;
    }
    std::vector<std::atomic<long long>> framesDone(movies.size());
    std::atomic<std::size_t> next{0};
    std::mutex problemLock;
    std::string problem;
    std::atomic<int> written{0};
    auto reportProgress = [&] {
        if (!options.progress || totalWeight <= 0) {
            return;
        }
        double done = 0;
        for (std::size_t i = 0; i < movies.size(); ++i) {
            done += movies[i].weight * static_cast<double>(framesDone[i].load()) /
                    std::max(1, movies[i].job.frames);
        }
        options.progress(done / totalWeight);
    };
    // One flag stops every encoder: set on Ctrl-C and after the first failure.
    std::atomic<bool> halt{false};
    std::atomic<int> finished{0};
    auto worker = [&] {
        for (;;) {
            const std::size_t i = next.fetch_add(1);
            if (i >= movies.size() || halt.load()) {
                break;
            }
            const Status s = WriteMovie(movies[i].job, halt, &framesDone[i]);
            if (!s) {
                std::lock_guard<std::mutex> lock(problemLock);
                if (problem.empty()) {
                    problem = movies[i].job.path + ": " + s.error();
                }
                halt = true;
                break;
            }
            ++written;
        }
        ++finished;
    };
    std::vector<std::thread> threads;
    const int count = std::max(1, options.parallelMovies);
    for (int t = 0; t < count; ++t) {
        threads.emplace_back(worker);
    }
    while (finished.load() < count) {
        if (cancel.load()) {
            halt = true;
        }
        reportProgress();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    for (std::thread& t : threads) {
        t.join();
    }
    report.written += written.load();
    if (cancel.load()) {
        return Failure("cancelled");
    }
    if (!problem.empty()) {
        return Failure(problem);
    }
    if (options.progress) {
        options.progress(1.0);
    }
    return report;
}

} // namespace kirvano
