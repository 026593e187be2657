// What `scan`, `csv` and the track exports share: reading SOURCE and --kind, guessing the
// kind, loading the source and reporting what the scan skipped.
#pragma once

#include "library/RecordingSource.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kirvano::cli {

// The words of the commands that write from a source: SOURCE OUT [--kind K] [--force].
struct SourceAndOut {
    std::vector<std::string> positional;
    std::optional<SourceKind> kind;
    bool force = false;
};
// Reads them in any order; on a usage problem returns nothing and names it in `problem`.
std::optional<SourceAndOut> ParseSourceAndOut(std::span<const std::string> args,
                                              std::string& problem);

// "card" 1, "folder" 2, "file" 3.
std::optional<SourceKind> ParseSourceKind(const std::string& text);
// A file is a file, a folder with "Normal" and "Parking" entries a card, else a folder.
SourceKind GuessSourceKind(const std::string& path);
// Why a source of that kind cannot be loaded from the path (nothing when it can be tried):
// it does not exist, or it is a file where a card or folder is asked for, or a folder
// where a file is.
std::optional<std::string> SourceProblem(const std::string& path, SourceKind kind);
// The path made absolute and normal, without a trailing "/".
std::string AbsolutePath(const std::string& path);
// Prints one line per skipped thing on standard error; true when there was any.
bool ReportScanProblems(RecordingSource& source);

} // namespace kirvano::cli
