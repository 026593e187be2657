// The media commands in kirvano-cli: they run kirvano-cli-media, which lies next to this
// program, with the same arguments, so that the other commands never load the libraries
// only these two need.
#include "cli/Command.h"
#include "cli/media/MediaUsage.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace kirvano::cli {
namespace {

std::string MediaProgramPath() {
    std::string self(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", self.data(), self.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= self.size())
        return std::string(kMediaProgram);
    self.resize(static_cast<std::size_t>(n));
    const auto slash = self.rfind('/');
    return self.substr(0, slash + 1) + std::string(kMediaProgram);
}

int HandOver(std::string_view command, std::span<const std::string> args) {
    const std::string program = MediaProgramPath();
    std::vector<std::string> words{"kirvano-cli", std::string(command)};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ReportProblem(program, std::strerror(errno));
    return kInputFailed;
}

int RunFrame(std::span<const std::string> args) {
    return HandOver("frame", args);
}
int RunMakeCard(std::span<const std::string> args) {
    return HandOver("make-card", args);
}

} // namespace

extern const Command kFrameHandOver;
extern const Command kMakeCardHandOver;
const Command kFrameHandOver = {"frame", kFrameUsage, RunFrame};
const Command kMakeCardHandOver = {"make-card", kMakeCardUsage, RunMakeCard};
const CommandRegistration kFrameRegistration{kFrameHandOver};
const CommandRegistration kMakeCardRegistration{kMakeCardHandOver};

} // namespace kirvano::cli
