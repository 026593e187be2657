// The CSV export. Each text (a header entry or a whole line) is converted on its own, as
// the file's readers expect; an unconvertible character never fails the export.
#include "export/CsvExport.h"

#include "base/AtomicOutputFile.h"
#include "base/Utf8.h"
#include "container/MappedFile.h"
#include "container/MovieFile.h"
#include "library/FolderListing.h"
#include "library/RecordingName.h"
#include "telemetry/TelemetryFiles.h"
#include "ui/UiText.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <iconv.h>
#include <langinfo.h>
#include <sys/stat.h>

namespace kirvano {
namespace {

std::string TwoDigitTime(const char* format, int a, int b, int c) {
    char text[64];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

} // namespace

std::string LocaleCharset() {
    std::setlocale(LC_CTYPE, "");
    return nl_langinfo(CODESET);
}

std::string EncodeText(std::string_view utf8, const std::string& charset, std::size_t& replaced) {
    std::string out;
    out.reserve(utf8.size());
    const bool keep = IsUtf8Charset(charset);
    iconv_t converter = keep ? reinterpret_cast<iconv_t>(-1) : iconv_open(charset.c_str(), "UTF-8");
    if (!keep && converter == reinterpret_cast<iconv_t>(-1)) {
        // An unknown character set: only ASCII is sure to be right.
        for (std::size_t at = 0; at < utf8.size();) {
            const std::size_t length = Utf8SequenceLength(utf8, at);
            if (length == 1) {
                out += utf8[at];
            } else {
                out += '?';
                ++replaced;
            }
            at += length == 0 ? 1 : length;
        }
        return out;
    }
    for (std::size_t at = 0; at < utf8.size();) {
        const std::size_t length = Utf8SequenceLength(utf8, at);
        if (length == 0) {
            out += '?';
            ++replaced;
            ++at;
            continue;
        }
        if (keep || length == 1) {
            // ASCII is the same in every set iconv is asked for here.
            out.append(utf8.substr(at, length));
            at += length;
            continue;
        }
        char input[4];
        utf8.copy(input, length, at);
        char output[16];
        char* in = input;
        std::size_t inLeft = length;
        char* o = output;
        std::size_t outLeft = sizeof output;
        if (iconv(converter, &in, &inLeft, &o, &outLeft) == static_cast<std::size_t>(-1) ||
            inLeft != 0) {
            out += '?';
            ++replaced;
        } else {
            // Return to the initial shift state after every character (stateful sets).
            iconv(converter, nullptr, nullptr, &o, &outLeft);
            out.append(output, static_cast<std::size_t>(o - output));
        }
        at += length;
    }
    if (!keep)
        iconv_close(converter);
    return out;
}

CsvMovieFacts ReadCsvMovieFacts(const RecordingInfo& record) {
    CsvMovieFacts facts;
    if (!IsMovieFile(record.path))
        return facts;
    Result<MovieFile> movie = ParseMovie(record.path, true);
    if (!movie)
        return facts;
    facts.readable = true;
    facts.height = VideoSize(movie.value()).height;
    facts.frameCount = FrameCount(movie.value());
    facts.frameRate = FrameRate(movie.value());
    TelemetryHeader header;
    if (ReadHeaderOnly(record.path, header))
        facts.quality = header.quality;
    return facts;
}

std::string CsvFileName(const RecordingInfo& first) {
    const RecordingTime t = RecordingTimeOf(first.name);
    char name[64];
    std::snprintf(name, sizeof name, "Dv_%04d%02d%02d_%02d%02d%02d.csv", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return name;
}

std::string CsvHeaderLine() {
    std::string line;
    for (int entry : {34, 33, 41, 40, 42, 39, 38, 36, 154, 155})
        line += UiText(entry);
    return line + "\r\n";
}

std::string CsvDataLine(const RecordingInfo& record, const CsvMovieFacts& facts) {
    const std::string& name = record.name;
    if (!facts.readable)
        return name + ",-,-,-,-,-,-,fps,0MB\r\n";
    const bool timeLapse = !name.empty() && name[0] == 'T';
    const RecordingTime t = RecordingTimeOf(name);
    const std::string date =
        t.year == 0 ? "--/--/--" : TwoDigitTime("%04d/%02d/%02d", t.year, t.month, t.day);
    const std::string start =
        t.year == 0 ? "--:--:--" : TwoDigitTime("%02d:%02d:%02d", t.hour, t.minute, t.second);

    double frames = static_cast<double>(facts.frameCount);
    if (timeLapse)
        frames *= 15;
    long long seconds = 0;
    if (facts.frameRate > 0 && frames > 0)
        seconds = static_cast<long long>(frames / static_cast<double>(facts.frameRate));
    char duration[64];
    std::snprintf(duration, sizeof duration, "%02lld:%02lld:%02lld", seconds / 3600,
                  seconds / 60 % 60, seconds % 60);

    const std::string trigger = timeLapse ? UiText(149) : EventTypeLabel(name);
    std::string size;
    if (facts.height == 1080)
        size = "FHD";
    else if (facts.height == 720)
        size = "HD";
    else if (facts.height == 360)
        size = "SD";
    const std::string quality = size.empty() ? "" : UiText(facts.quality == 'H' ? 59 : 60);
    std::string rate;
    if (timeLapse) {
        rate = UiText(150);
    } else {
        char text[64];
        std::snprintf(text, sizeof text, "%.0ffps", static_cast<double>(facts.frameRate));
        rate = text;
    }
    char sizes[64];
    std::snprintf(sizes, sizeof sizes, "%lldMB,%lldMB",
                  static_cast<long long>(static_cast<std::uint64_t>(record.frontSize) >> 20),
                  static_cast<long long>(static_cast<std::uint64_t>(record.rearSize) >> 20));
    return name + "," + date + "," + start + "," + duration + "," + trigger + "," + size + "," +
           quality + "," + rate + "," + sizes + "\r\n";
}

CsvExportResult ExportCsv(const std::vector<RecordingInfo>& recordings, const std::string& folder,
                          const CsvExportOptions& options) {
    CsvExportResult result;
    if (recordings.empty()) {
        result.outcome = CsvOutcome::NoRecordings;
        result.uiTextEntry = 101;
        return result;
    }
    result.path = JoinPath(folder, CsvFileName(recordings.front()));
    struct stat info {};
    if (!options.overwrite && ::lstat(result.path.c_str(), &info) == 0) {
        result.outcome = CsvOutcome::Exists;
        result.uiTextEntry = 93;
        return result;
    }
    const std::string charset = options.charset.empty() ? LocaleCharset() : options.charset;
    const auto facts = options.facts ? options.facts : ReadCsvMovieFacts;
    auto fail = [&](const std::string& error) {
        result.outcome = CsvOutcome::Failed;
        result.uiTextEntry = 96;
        result.error = error;
        result.lines = 0;
        return result;
    };

    AtomicOutputFile file;
    if (Status opened =
            file.open(result.path, options.overwrite ? ExistingFile::Replace : ExistingFile::Keep);
        !opened)
        return fail(opened.error());
    std::string header;
    for (int entry : {34, 33, 41, 40, 42, 39, 38, 36, 154, 155})
        header += EncodeText(UiText(entry), charset, result.replacedCharacters);
    header += "\r\n";
    if (Status written = file.write(header); !written)
        return fail(written.error());

    const std::size_t count = recordings.size();
    bool cancelled = false;
    for (std::size_t i = 0; i < count; ++i) {
        if (options.cancelled && options.cancelled()) {
            cancelled = true;
            break;
        }
        const std::string line = EncodeText(CsvDataLine(recordings[i], facts(recordings[i])),
                                            charset, result.replacedCharacters);
        if (Status written = file.write(line); !written)
            return fail(written.error());
        ++result.lines;
        if (options.progress)
            options.progress(i, count);
    }
    if (Status committed = file.commit(); !committed)
        return fail(committed.error());
    if (!cancelled && options.progress)
        options.progress(count, count);
    result.outcome = cancelled ? CsvOutcome::Cancelled : CsvOutcome::Done;
    return result;
}

} // namespace kirvano
