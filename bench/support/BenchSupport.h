#pragma once

// Helpers shared by the benchmarks: a scratch folder, log removal, and whole
// jobs measured in a child process so that their peak memory is their own.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace Keldar::Bench {

// A new folder under the temporary directory, named for this process; the
// benchmark removes it when it ends.
inline std::filesystem::path makeScratchFolder(const std::string& prefix)
{
    auto path = std::filesystem::temp_directory_path() / (prefix + "-" + std::to_string(getpid()));
    std::filesystem::create_directories(path);
    return path;
}

// Removes a log file and whatever journal files SQLite left beside it.
inline void removeLog(const std::filesystem::path& path)
{
    std::error_code error;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        std::filesystem::remove(path.string() + suffix, error);
    }
}

// Resident memory now, which a forked child starts with.
inline long currentRssKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return 0;
}

struct ChildRun
{
    bool succeeded = false;
    double seconds = 0.0;    // wall-clock time from fork to exit
    double cpuSeconds = 0.0; // the child's user and system time, which other load on the machine does not inflate
    long peakKilobytes = 0;  // peak resident memory above what the child inherited
};

// Runs `work` (returning true on success) in a child process.
template<typename Work>
ChildRun runInChild(Work work)
{
    const long before = currentRssKilobytes();
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        _exit(work() ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    const auto toSeconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return {WIFEXITED(status) && WEXITSTATUS(status) == 0, elapsed.count(),
            toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime), std::max(0L, usage.ru_maxrss - before)};
}

// The body of a benchmark program's main: runs what is registered, then
// removes the scratch folder.
inline int runBenchmarks(int argc, char** argv, const std::filesystem::path& scratch)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code error;
    std::filesystem::remove_all(scratch, error);
    return 0;
}

} // namespace Keldar::Bench
