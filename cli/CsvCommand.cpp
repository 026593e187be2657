// kirvano-cli csv: the recording-list CSV export of a source, byte for byte what the viewer
// writes.
#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/SourceArguments.h"
#include "export/CsvExport.h"
#include "library/RecordingSource.h"
#include "ui/UiText.h"

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace kirvano::cli {
namespace {

int Run(std::span<const std::string> args);

} // namespace

extern const Command kCsvCommand;
const Command kCsvCommand = {
    "csv", "kirvano-cli csv SOURCE OUTDIR [--kind card|folder|file] [--force]", Run};
const CommandRegistration kRegistration{kCsvCommand};

namespace {

void PrintResult(const std::optional<std::string>& path, std::size_t lines) {
    JsonWriter json;
    json.beginObject();
    json.key("path").value(path);
    json.key("lines").value(lines);
    json.endObject();
    PrintJson(json.text());
}

void ShowProgress(std::size_t index, std::size_t count) {
    const int width = 40;
    const int done = count == 0 ? width : static_cast<int>(index * width / count);
    std::fprintf(stderr, "\r[%.*s%*s] %zu/%zu", done, "########################################",
                 width - done, "", index, count);
    if (index == count)
        std::fputc('\n', stderr);
    std::fflush(stderr);
}

int Run(std::span<const std::string> args) {
    std::string problem;
    const std::optional<SourceAndOut> parsed = ParseSourceAndOut(args, problem);
    if (!parsed)
        return UsageError(kCsvCommand, problem);
    const std::vector<std::string>& positional = parsed->positional;
    const std::optional<SourceKind> kind = parsed->kind;
    const bool force = parsed->force;
    if (positional.size() != 2)
        return UsageError(kCsvCommand, "SOURCE and OUTDIR are needed");
    SelectUiTextColumn(UiTextColumnFromEnvironment());

    const std::string sourcePath = AbsolutePath(positional[0]);
    const std::string outdir = AbsolutePath(positional[1]);
    struct stat info {};
    if (::stat(outdir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        ReportProblem(positional[1], "no such folder");
        PrintResult(std::nullopt, 0);
        return kInputFailed;
    }
    const SourceKind sourceKind = kind ? *kind : GuessSourceKind(sourcePath);
    if (const auto problem = SourceProblem(sourcePath, sourceKind)) {
        ReportProblem(positional[0], *problem);
        PrintResult(std::nullopt, 0);
        return kInputFailed;
    }
    RecordingSource source;
    source.LoadSource(sourcePath, sourceKind);
    source.takeProblems(); // the load's own list is not exported
    const auto& recordings = source.CollectAllRecordings();
    bool failed = ReportScanProblems(source);

    CsvExportOptions options;
    options.overwrite = force;
    if (::isatty(STDERR_FILENO))
        options.progress = ShowProgress;
    const CsvExportResult result = ExportCsv(recordings, outdir, options);
    switch (result.outcome) {
    case CsvOutcome::Done:
    case CsvOutcome::Cancelled:
        PrintResult(result.path, result.lines);
        return failed ? kInputFailed : kDone;
    case CsvOutcome::NoRecordings:
        ReportProblem(positional[0], UiText(101));
        break;
    case CsvOutcome::Exists:
        ReportProblem(result.path, "exists; --force replaces it");
        break;
    case CsvOutcome::Failed:
        ReportProblem(result.path, UiText(96) + " " + result.error);
        break;
    }
    PrintResult(std::nullopt, 0);
    return kInputFailed;
}

} // namespace
} // namespace kirvano::cli
