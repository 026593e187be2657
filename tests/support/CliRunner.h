// Runs the built kirvano-cli with a Japanese text column in a UTF-8 locale and keeps its
// exit status, standard output and standard error.
#pragma once

#include "support/TempDir.h"

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace kirvano::testing {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

inline CliRun Cli(const std::string& arguments, const TempDir& scratch) {
    const std::string errPath = scratch.file("stderr.txt");
    const std::string command = "KIRVANO_LANG=ja LC_ALL=C.UTF-8 " + std::string(KIRVANO_CLI) + " " +
                                arguments + " 2>" + errPath;
    CliRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        run.out.append(buffer.data(), n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = ReadAll(errPath);
    return run;
}

} // namespace kirvano::testing
