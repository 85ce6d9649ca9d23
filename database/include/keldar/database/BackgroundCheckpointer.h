#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

struct sqlite3;

namespace Keldar::Database {

// Copies a write-ahead log back into its database on a thread and connection
// of its own, so that writers only ever append to the log and never pay for the
// copy (and its syncs) inside their own commit.
class BackgroundCheckpointer
{
public:
    // Starts checkpointing `path` every `interval`; does nothing when the
    // file cannot be opened.
    BackgroundCheckpointer(const std::string& path, std::chrono::milliseconds interval);
    // Stops and joins the thread; the owner runs the final checkpoint.
    ~BackgroundCheckpointer();

    BackgroundCheckpointer(const BackgroundCheckpointer&) = delete;
    BackgroundCheckpointer& operator=(const BackgroundCheckpointer&) = delete;

    bool isRunning() const { return thread_.joinable(); }

private:
    void run();

    sqlite3* db_ = nullptr;
    std::chrono::milliseconds interval_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace Keldar::Database
