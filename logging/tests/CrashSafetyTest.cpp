// A recorder killed with SIGKILL at random moments must leave a log that opens,
// passes SQLite's integrity check, and holds every entry whose logging call
// had returned before the kill.
#include "RecordedPayload.h"
#include "TestLogs.h"

#include <keldar/logging/SqliteLogFile.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <poll.h>
#include <random>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace Keldar::Logging;
using namespace Keldar::Logging::Testing;

namespace {

struct RecorderRun
{
    int lastReportedId = 0;
    bool sawReady = false;
    std::string stderrText;
};

// Starts the recorder, lets it run for `runFor`, kills it and returns the
// highest id it reported.
RecorderRun recordAndKill(const std::filesystem::path& path, std::size_t payloadBytes, int level, int intervalMs,
                          std::chrono::milliseconds runFor)
{
    const char* program = std::getenv("KELDAR_KILL_RECORDER");
    if (program == nullptr) {
        throw std::runtime_error("KELDAR_KILL_RECORDER is not set");
    }
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    const std::string pathText = path.string();
    const std::string bytesText = std::to_string(payloadBytes);
    const std::string levelText = std::to_string(level);
    const std::string intervalText = std::to_string(intervalMs);
    char* argv[] = {const_cast<char*>(program),
                    const_cast<char*>(pathText.c_str()),
                    const_cast<char*>(bytesText.c_str()),
                    const_cast<char*>(levelText.c_str()),
                    const_cast<char*>(intervalText.c_str()),
                    nullptr};
    pid_t child = 0;
    const int spawned = posix_spawn(&child, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        throw std::runtime_error("cannot start the recorder");
    }

    RecorderRun run;
    std::string pending;
    const auto readAvailable = [&](int timeoutMs) {
        pollfd descriptor{pipeFds[0], POLLIN, 0};
        if (poll(&descriptor, 1, timeoutMs) <= 0) {
            return false;
        }
        char buffer[4096];
        const ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
        if (got <= 0) {
            return false;
        }
        pending.append(buffer, static_cast<std::size_t>(got));
        std::size_t newline = 0;
        while ((newline = pending.find('\n')) != std::string::npos) {
            const std::string line = pending.substr(0, newline);
            pending.erase(0, newline + 1);
            if (line == "ready") {
                run.sawReady = true;
            } else if (!line.empty()) {
                run.lastReportedId = std::max(run.lastReportedId, std::stoi(line));
            }
        }
        return true;
    };

    // The clock starts once the file exists, so every kill lands while recording.
    const auto startDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!run.sawReady && std::chrono::steady_clock::now() < startDeadline) {
        readAvailable(50);
    }
    const auto killAt = std::chrono::steady_clock::now() + runFor;
    while (std::chrono::steady_clock::now() < killAt) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(killAt - std::chrono::steady_clock::now());
        readAvailable(static_cast<int>(std::max<std::int64_t>(1, left.count())));
    }
    kill(child, SIGKILL);
    // Ids printed before the kill may still sit in the pipe.
    while (readAvailable(0)) {
    }
    int status = 0;
    waitpid(child, &status, 0);
    close(pipeFds[0]);
    return run;
}

} // namespace

TEST(CrashSafety, KilledRecorderLeavesCompleteIntactLogs)
{
    TempFolder folder;
    std::mt19937 random(20240131);
    struct Scenario
    {
        std::size_t payloadBytes;
        int level;
        int intervalMs;
    };
    // Flat out and paced, raw and compressed, sonar-sized payloads.
    const std::vector<Scenario> scenarios{
        {512 * 1024, 0, 0}, {512 * 1024, -1, 0}, {128 * 1024, 0, 0}, {512 * 1024, 0, 25}, {128 * 1024, 6, 10},
    };
    constexpr int runs = 25;
    int checkedEntries = 0;
    for (int run = 0; run < runs; ++run) {
        const Scenario& scenario = scenarios[static_cast<std::size_t>(run) % scenarios.size()];
        const auto path = folder.file("crash" + std::to_string(run) + ".ondrix");
        const auto runFor = std::chrono::milliseconds(std::uniform_int_distribution<int>(30, 400)(random));
        const RecorderRun result =
            recordAndKill(path, scenario.payloadBytes, scenario.level, scenario.intervalMs, runFor);
        ASSERT_TRUE(result.sawReady) << "run " << run;

        // Plain SQLite first: it must recover the write-ahead log by itself.
        ASSERT_EQ(integrityCheck(path), "ok") << "run " << run;
        SqliteLogFile file(path);
        const std::int32_t count = file.getEntryCount();
        ASSERT_GE(count, result.lastReportedId) << "run " << run;
        // At most the entry being written (and one logged but not yet printed) beyond that.
        ASSERT_LE(count, result.lastReportedId + 2) << "run " << run;
        for (std::int32_t id = 1; id <= result.lastReportedId; ++id) {
            const auto entry = file.readEntry(id);
            ASSERT_TRUE(entry) << "run " << run << " entry " << id;
            ASSERT_EQ(entry->payload, recordedPayload(id, scenario.payloadBytes)) << "run " << run << " entry " << id;
            ASSERT_EQ(entry->timestamp, 1000 + id);
            ++checkedEntries;
        }
    }
    // The kills must have landed while entries were being written.
    EXPECT_GT(checkedEntries, runs);
}
