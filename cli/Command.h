// What every kirvano-cli command provides, and the helpers they share for the output
// contract: one JSON document on standard output, one line per problem on standard error.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kirvano::cli {

enum ExitCode : int { kDone = 0, kInputFailed = 1, kUsage = 2 };

struct Command {
    std::string_view name;
    std::string_view usage;                        // the text of `kirvano-cli help NAME`
    int (*run)(std::span<const std::string> args); // args after the command name
};

// "kirvano-cli: PATH: reason" on standard error.
void ReportProblem(std::string_view path, std::string_view reason);
// Prints the usage on standard error and returns kUsage.
int UsageError(const Command& command, std::string_view problem = {});
// The operands of a command that takes only paths: a word that starts with "--" is an
// unknown option (nothing, with `problem` naming it) unless a "--" came before it.
std::optional<std::vector<std::string>> PathOperands(std::span<const std::string> args,
                                                     std::string& problem);
// Writes a complete JSON document to standard output.
void PrintJson(const std::string& document);

// Adds a command to the program: each command file holds one static registration,
// `const CommandRegistration kRegistration{kXxxCommand};`, so no list needs editing.
struct CommandRegistration {
    explicit CommandRegistration(const Command& command);
};

} // namespace kirvano::cli
