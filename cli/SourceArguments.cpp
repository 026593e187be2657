// Shared by the scan and csv commands.
#include "cli/SourceArguments.h"

#include "cli/Command.h"

#include <filesystem>
#include <sys/stat.h>

namespace kirvano::cli {

std::optional<SourceKind> ParseSourceKind(const std::string& text) {
    if (text == "card")
        return SourceKind::Card;
    if (text == "folder")
        return SourceKind::Folder;
    if (text == "file")
        return SourceKind::File;
    return std::nullopt;
}

SourceKind GuessSourceKind(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode))
        return SourceKind::File;
    struct stat normal {
    }, parking{};
    if (::stat((path + "/Normal").c_str(), &normal) == 0 &&
        ::stat((path + "/Parking").c_str(), &parking) == 0)
        return SourceKind::Card;
    return SourceKind::Folder;
}

std::optional<std::string> SourceProblem(const std::string& path, SourceKind kind) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return "no such file or folder";
    const bool folder = S_ISDIR(info.st_mode);
    if (kind == SourceKind::File && folder)
        return "a folder, not a file";
    if (kind != SourceKind::File && !folder)
        return "not a folder";
    return std::nullopt;
}

std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    std::string absolute = std::filesystem::absolute(path, error).lexically_normal().string();
    if (error)
        absolute = path;
    while (absolute.size() > 1 && absolute.back() == '/')
        absolute.pop_back();
    return absolute;
}

bool ReportScanProblems(RecordingSource& source) {
    const auto problems = source.takeProblems();
    for (const ScanProblem& problem : problems)
        ReportProblem(problem.path, problem.reason);
    return !problems.empty();
}

std::optional<SourceAndOut> ParseSourceAndOut(std::span<const std::string> args,
                                              std::string& problem) {
    SourceAndOut parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--force") {
            parsed.force = true;
        } else if (arg == "--kind") {
            if (i + 1 >= args.size()) {
                problem = "--kind needs a value";
                return std::nullopt;
            }
            if (!(parsed.kind = ParseSourceKind(args[++i]))) {
                problem = "unknown kind " + args[i];
                return std::nullopt;
            }
        } else if (arg.starts_with("--")) {
            problem = "unknown option " + arg;
            return std::nullopt;
        } else {
            parsed.positional.push_back(arg);
        }
    }
    return parsed;
}

} // namespace kirvano::cli
