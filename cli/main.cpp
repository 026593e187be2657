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

// The list of commands: on standard output when asked for, else on standard error.
int PrintUsage(bool asked = false) {
    std::string text = "usage: kirvano-cli --version\n"
                       "       kirvano-cli help COMMAND\n";
    std::vector<const Command*> commands = Registry();
    std::sort(commands.begin(), commands.end(),
              [](const Command* a, const Command* b) { return a->name < b->name; });
    for (const Command* command : commands)
        text += "       kirvano-cli " + std::string(command->name) + " ...\n";
    std::fputs(text.c_str(), asked ? stdout : stderr);
    return asked ? kDone : kUsage;
}

bool IsHelpWord(const std::string& word) {
    return word == "help" || word == "--help" || word == "-h";
}

int PrintCommandUsage(const Command& command) {
    std::printf("usage: %.*s\n", static_cast<int>(command.usage.size()), command.usage.data());
    return kDone;
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

std::optional<std::vector<std::string>> PathOperands(std::span<const std::string> args,
                                                     std::string& problem) {
    std::vector<std::string> paths;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.starts_with("--")) {
            problem = "unknown option " + arg;
            return std::nullopt;
        } else {
            paths.push_back(arg);
        }
    }
    return paths;
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
    // "help", "--help" and "-h" alone list the commands; with a command, or after one as
    // its only argument, they print its usage. Asked for, help is no usage error.
    if (IsHelpWord(args[0])) {
        if (args.size() == 1)
            return PrintUsage(true);
        const Command* command = args.size() == 2 ? FindCommand(args[1]) : nullptr;
        if (!command) {
            if (args.size() == 2)
                std::fprintf(stderr, "kirvano-cli: unknown command '%s'\n", args[1].c_str());
            return PrintUsage();
        }
        return PrintCommandUsage(*command);
    }
    const Command* command = FindCommand(args[0]);
    if (!command) {
        std::fprintf(stderr, "kirvano-cli: unknown command '%s'\n", args[0].c_str());
        return PrintUsage();
    }
    if (args.size() == 2 && (args[1] == "--help" || args[1] == "-h"))
        return PrintCommandUsage(*command);
    return command->run(std::span(args).subspan(1));
}
