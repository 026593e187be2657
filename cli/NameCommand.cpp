// kirvano-cli name: being built.
#include "cli/Command.h"

namespace kirvano::cli {
namespace {

int Run(std::span<const std::string>) {
    ReportProblem("name", "not built yet");
    return kInputFailed;
}

} // namespace

const Command kNameCommand = {"name", "kirvano-cli name PATH...", Run};

} // namespace kirvano::cli
