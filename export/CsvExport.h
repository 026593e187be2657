// The recording-list export to CSV: the file name, the header and one line per
// recording, converted to the locale's character set, written under a temporary name
// and renamed into place.
#pragma once

#include "base/Result.h"
#include "library/RecordingInfo.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kirvano {

// What a line shows of a recording's movie and telemetry header.
struct CsvMovieFacts {
    bool readable = false; // the container could be read
    int height = -1;
    std::int64_t frameCount = -1;
    float frameRate = -1.0f;
    char quality = 0; // the telemetry header's quality letter, 0 without one
};

// Reads the facts from the movie and its telemetry (the default for the export).
CsvMovieFacts ReadCsvMovieFacts(const RecordingInfo& record);

// "Dv_%Y%m%d_%H%M%S.csv" from the recording time of the first recording's name.
std::string CsvFileName(const RecordingInfo& first);
// The header line in UTF-8, with CR LF.
std::string CsvHeaderLine();
// One data line in UTF-8, with CR LF.
std::string CsvDataLine(const RecordingInfo& record, const CsvMovieFacts& facts);

// Converts UTF-8 text to charset (an iconv name). A character the set cannot hold, or a
// byte that is not UTF-8, becomes "?" and is counted in replaced. An empty charset or any
// spelling of UTF-8 keeps the text (invalid bytes still replaced).
std::string EncodeText(std::string_view utf8, const std::string& charset, std::size_t& replaced);
// The locale's character set (nl_langinfo(CODESET) after setlocale(LC_CTYPE, "")).
std::string LocaleCharset();

enum class CsvOutcome {
    Done,
    Cancelled,    // the lines written so far are in place
    NoRecordings, // entry 101
    Exists,       // the file exists and overwriting was not allowed (entry 93)
    Failed,       // the file could not be created or written (entry 96); nothing in place
};

struct CsvExportOptions {
    bool overwrite = false;
    std::string charset;                                      // empty: the locale's
    std::function<void(std::size_t, std::size_t)> progress;   // (index, count)
    std::function<bool()> cancelled;                          // polled before each line
    std::function<CsvMovieFacts(const RecordingInfo&)> facts; // default ReadCsvMovieFacts
};

struct CsvExportResult {
    CsvOutcome outcome = CsvOutcome::Failed;
    std::string path;                   // the final file name
    std::size_t lines = 0;              // data lines written
    std::size_t replacedCharacters = 0; // characters written as "?"
    std::string error;                  // why it failed
    int uiTextEntry = 0;                // the message to show: 93, 96, 101 or 0
};

// Writes recordings into a new CSV file in folder.
CsvExportResult ExportCsv(const std::vector<RecordingInfo>& recordings, const std::string& folder,
                          const CsvExportOptions& options = {});

} // namespace kirvano
