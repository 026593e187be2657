// kirvano-cli join: consecutive recordings into one movie per camera and one data file
// in OUTDIR, named after the first recording.
#include "base/FileSystem.h"
#include "cli/Command.h"
#include "cli/Json.h"
#include "container/JoinJob.h"

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace kirvano::cli {
namespace {

int Run(std::span<const std::string> args);

void PrintResult(const JoinJob* job) {
    JsonWriter json;
    json.beginObject();
    auto field = [&](const char* name, const std::string* path) {
        json.key(name);
        if (path && !path->empty())
            json.value(*path);
        else
            json.null();
    };
    field("front", job ? &job->frontOutput : nullptr);
    field("rear", job ? &job->rearOutput : nullptr);
    field("data", job ? &job->dataOutput : nullptr);
    json.endObject();
    PrintJson(json.text());
}

// "PATH: reason" as the job reports it, split for ReportProblem.
void Report(const std::string& problem, const std::string& fallbackPath) {
    const auto colon = problem.find(": ");
    if (colon == std::string::npos)
        ReportProblem(fallbackPath, problem);
    else
        ReportProblem(problem.substr(0, colon), problem.substr(colon + 2));
}

} // namespace

extern const Command kJoinCommand;
const Command kJoinCommand = {"join", "kirvano-cli join OUTDIR FRONT... [--force]", Run};
const CommandRegistration kRegistration{kJoinCommand};

namespace {

int Run(std::span<const std::string> args) {
    bool force = false;
    std::vector<std::string> paths;
    for (const std::string& a : args) {
        if (a == "--force")
            force = true;
        else if (a.size() > 1 && a[0] == '-' && a[1] == '-')
            return UsageError(kJoinCommand, "unknown option " + a);
        else
            paths.push_back(a);
    }
    if (paths.size() < 2)
        return UsageError(kJoinCommand, "an output folder and at least one recording are needed");
    std::string outdir = paths.front();
    while (outdir.size() > 1 && outdir.back() == '/')
        outdir.pop_back();
    struct stat st;
    if (::stat(outdir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        ReportProblem(outdir, "the output folder does not exist");
        PrintResult(nullptr);
        return kInputFailed;
    }

    const bool bar = isatty(STDERR_FILENO) != 0;
    JoinOptions options;
    options.replace = force;
    if (bar)
        options.progress = [](int done, int total) {
            std::fprintf(stderr, "\rjoin %3d%%", total ? done * 100 / total : 0);
            if (done >= 99)
                std::fprintf(stderr, "\n");
        };

    JoinJob job;
    bool ok = Begin(job, paths[1]);
    for (std::size_t i = 2; ok && i < paths.size(); ++i)
        ok = Append(job, paths[i]);
    if (ok)
        ok = Write(job, outdir + "/" + std::string(FileNameOf(paths[1])), options);
    for (const std::string& note : job.notes)
        Report(note, paths[1]);
    if (!ok) {
        Report(job.error, paths[1]);
        PrintResult(nullptr);
        return kInputFailed;
    }
    PrintResult(&job);
    return kDone;
}

} // namespace
} // namespace kirvano::cli
