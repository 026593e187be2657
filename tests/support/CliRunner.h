// Runs the built kirvano-cli as a program and keeps its exit status, standard output and
// standard error (written to files in a scratch folder, so nothing blocks on a pipe).
#pragma once

#include "support/TempDir.h"

#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace kirvano::testing {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// One word for the shell, whatever bytes it holds.
inline std::string ShellWord(const std::string& word) {
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs a shell command line with its output redirected into the scratch folder.
inline CliRun RunShell(std::string command, const TempDir& scratch) {
    command += " >" + ShellWord(scratch.file("stdout.txt")) + " 2>" +
               ShellWord(scratch.file("stderr.txt"));
    CliRun run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadAll(scratch.file("stdout.txt"));
    run.err = ReadAll(scratch.file("stderr.txt"));
    return run;
}

// kirvano-cli with the given words as arguments, in a UTF-8 locale; environment is put
// before the program (for example "KIRVANO_LANG=ja").
inline CliRun RunCli(const std::vector<std::string>& words, const TempDir& scratch,
                     const std::string& environment = {}) {
    std::string command = "LC_ALL=C.UTF-8 " + environment + " " + ShellWord(KIRVANO_CLI);
    for (const std::string& word : words)
        command += " " + ShellWord(word);
    return RunShell(std::move(command), scratch);
}

// The same with the arguments as one line split by the shell, and the Japanese text
// column.
inline CliRun Cli(const std::string& arguments, const TempDir& scratch) {
    return RunShell("KIRVANO_LANG=ja LC_ALL=C.UTF-8 " + ShellWord(KIRVANO_CLI) + " " + arguments,
                    scratch);
}

} // namespace kirvano::testing
