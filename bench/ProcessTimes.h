// Whole-process measurements for the benchmarks: a program run with its output thrown
// away, its CPU time (user + system, from the kernel's account) and its wall time.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace bench {

struct ProcessTimes {
    double cpuMs = 0;
    double wallMs = 0;
};

// One run of a program with its output thrown away.
inline ProcessTimes RunProcess(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(child, &status, 0, &usage);
    ProcessTimes times;
    times.wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    times.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::printf("warning: %s ended with status %d\n", args[0], status);
    return times;
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Two programs run in turns (so that a change of the machine's load hits both alike),
// after one warm-up run each; prints the medians and their ratios, candidate to reference.
inline void CompareProcesses(const std::vector<std::string>& reference,
                             const std::vector<std::string>& candidate, int runs) {
    RunProcess(reference);
    RunProcess(candidate);
    std::vector<double> refCpu, refWall, candCpu, candWall;
    for (int i = 0; i < runs; ++i) {
        const ProcessTimes r = RunProcess(reference);
        const ProcessTimes c = RunProcess(candidate);
        refCpu.push_back(r.cpuMs);
        refWall.push_back(r.wallMs);
        candCpu.push_back(c.cpuMs);
        candWall.push_back(c.wallMs);
    }
    const auto name = [](const std::vector<std::string>& argv) {
        const std::string& program = argv.front();
        std::string text = program.substr(program.rfind('/') + 1);
        for (std::size_t i = 1; i < argv.size(); ++i)
            text += " " + (argv[i].find('/') != std::string::npos ? "..." : argv[i]);
        return text;
    };
    std::printf("whole processes, median of %d in turns:\n"
                "  %-40s %8.1f ms CPU %8.1f ms wall\n"
                "  %-40s %8.1f ms CPU %8.1f ms wall\n"
                "  ratio: %.3fx CPU, %.3fx wall\n",
                runs, name(reference).c_str(), Median(refCpu), Median(refWall),
                name(candidate).c_str(), Median(candCpu), Median(candWall),
                Median(candCpu) / Median(refCpu), Median(candWall) / Median(refWall));
}

} // namespace bench
