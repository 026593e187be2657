// What `scan` and `csv` share: reading SOURCE and --kind, guessing the kind, loading the
// source and reporting what the scan skipped.
#pragma once

#include "library/RecordingSource.h"

#include <optional>
#include <string>

namespace kirvano::cli {

// "card" 1, "folder" 2, "file" 3.
std::optional<SourceKind> ParseSourceKind(const std::string& text);
// A file is a file, a folder with "Normal" and "Parking" entries a card, else a folder.
SourceKind GuessSourceKind(const std::string& path);
// The path made absolute and normal, without a trailing "/".
std::string AbsolutePath(const std::string& path);
// Prints one line per skipped thing on standard error; true when there was any.
bool ReportScanProblems(RecordingSource& source);

} // namespace kirvano::cli
