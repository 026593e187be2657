// kirvano-cli probe: being built.
#include "cli/Command.h"

namespace kirvano::cli {
namespace {

int Run(std::span<const std::string>) {
    ReportProblem("probe", "not built yet");
    return kInputFailed;
}

} // namespace

const Command kProbeCommand = {"probe", "kirvano-cli probe MOVIE...", Run};

} // namespace kirvano::cli
