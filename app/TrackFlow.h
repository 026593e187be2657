// The list panel's track menu as a long task: a recording's track as GPX or KML (the same
// library code as `kirvano-cli gpx|kml`), or an evidence package (built by `kirvano-cli
// evidence` itself, so that the package and its manifest are the command line's). The folder
// is asked for first; the work runs on the task worker; failures are shown at the end.
#pragma once

#include "export/FlowDialogs.h"

#include <memory>
#include <string>
#include <vector>

namespace kirvano {

enum class TrackExport : int { Gpx = 0, Kml = 1, Evidence = 2 };

class TrackFlow : public LongFlow {
public:
    // Section and key of the remembered output folder.
    static constexpr const char* kSection = "FOLDERPATH";
    static constexpr const char* kKey = "TRACK_FOLDER";

    // Asks for the output folder (and before replacing a track file). Null when the user
    // cancelled or there is nothing to export.
    static std::unique_ptr<TrackFlow> Prepare(FlowDialogs& dialogs, TrackExport kind,
                                              std::vector<std::string> frontPaths);

    bool Run(const FlowProgress& progress, const std::atomic<bool>& cancelled) override;
    bool Finish(FlowDialogs& dialogs) override;

    // The file or package folder written (or to be written).
    const std::string& output() const { return output_; }
    const std::string& error() const { return error_; }

    // The path of kirvano-cli: beside this program, else where the build put it.
    static std::string CommandLineProgram();
    // The package folder for a recording in folder: "evidence-<name>", numbered on when
    // taken.
    static std::string EvidenceFolderFor(const std::string& folder, const std::string& frontPath);

private:
    TrackFlow() = default;
    bool RunEvidence(const std::atomic<bool>& cancelled);

    TrackExport kind_ = TrackExport::Gpx;
    std::vector<std::string> fronts_;
    std::string folder_;
    std::string output_;
    std::string error_;
    bool written_ = false; // the file or package is complete under its final name
};

} // namespace kirvano
