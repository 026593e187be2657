// kirvano-cli: the viewer's core on the command line.
#include "cli/Command.h"

#include "KirvanoVersion.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace kirvano::cli {
namespace {

// Filled by the static registrations before main runs.
std::vector<const Command*>& Registry() {
    static std::vector<const Command*> commands;
    return commands;
}

const Command* FindCommand(std::string_view name) {
    for (const Command* command : Registry())
        if (command->name == name)
            return command;
    return nullptr;
}

int PrintUsage() {
    std::string text = "usage: kirvano-cli --version\n"
                       "       kirvano-cli help COMMAND\n";
    std::vector<const Command*> commands = Registry();
    std::sort(commands.begin(), commands.end(),
              [](const Command* a, const Command* b) { return a->name < b->name; });
    for (const Command* command : commands)
        text += "       kirvano-cli " + std::string(command->name) + " ...\n";
    std::fputs(text.c_str(), stderr);
    return kUsage;
}

} // namespace

CommandRegistration::CommandRegistration(const Command& command) {
    Registry().push_back(&command);
}

void ReportProblem(std::string_view path, std::string_view reason) {
    std::fprintf(stderr, "kirvano-cli: %.*s: %.*s\n", static_cast<int>(path.size()), path.data(),
                 static_cast<int>(reason.size()), reason.data());
}

int UsageError(const Command& command, std::string_view problem) {
    if (!problem.empty())
        std::fprintf(stderr, "kirvano-cli %.*s: %.*s\n", static_cast<int>(command.name.size()),
                     command.name.data(), static_cast<int>(problem.size()), problem.data());
    std::fprintf(stderr, "usage: %.*s\n", static_cast<int>(command.usage.size()),
                 command.usage.data());
    return kUsage;
}

void PrintJson(const std::string& document) {
    std::fwrite(document.data(), 1, document.size(), stdout);
    std::fflush(stdout);
}

} // namespace kirvano::cli

int main(int argc, char** argv) {
    using namespace kirvano::cli;
    // Without TZ the C library looks at /etc/localtime again on every local-time
    // conversion (one per recording name in a scan); naming that same zone file reads it
    // once. A TZ that is already set is left as it is.
    ::setenv("TZ", ":/etc/localtime", 0);
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return PrintUsage();
    if (args[0] == "--version") {
        std::puts("kirvano-cli " KIRVANO_VERSION);
        return kDone;
    }
    if (args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
        if (args.size() != 2)
            return PrintUsage();
        const Command* command = FindCommand(args[1]);
        if (!command)
            return PrintUsage();
        std::printf("usage: %.*s\n", static_cast<int>(command->usage.size()),
                    command->usage.data());
        return kDone;
    }
    const Command* command = FindCommand(args[0]);
    if (!command) {
        std::fprintf(stderr, "kirvano-cli: unknown command '%s'\n", args[0].c_str());
        return PrintUsage();
    }
    return command->run(std::span(args).subspan(1));
}
