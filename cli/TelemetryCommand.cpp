// kirvano-cli telemetry: being built.
#include "cli/Command.h"

namespace kirvano::cli {
namespace {

int Run(std::span<const std::string>) {
    ReportProblem("telemetry", "not built yet");
    return kInputFailed;
}

} // namespace

const Command kTelemetryCommand = {"telemetry", "kirvano-cli telemetry FILE [--udat] [--frames N] [--frame-duration MS]", Run};

} // namespace kirvano::cli
