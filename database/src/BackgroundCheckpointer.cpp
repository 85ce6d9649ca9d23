#include <keldar/database/BackgroundCheckpointer.h>

#include <sqlite3.h>

namespace Keldar::Database {

BackgroundCheckpointer::BackgroundCheckpointer(const std::string& path, std::chrono::milliseconds interval)
    : interval_(interval)
{
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
        return;
    }
    // Never wait for a lock: a busy moment just leaves the copy to the next round.
    sqlite3_busy_timeout(db_, 0);
    thread_ = std::thread([this] { run(); });
}

BackgroundCheckpointer::~BackgroundCheckpointer()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
    sqlite3_close_v2(db_);
}

void BackgroundCheckpointer::run()
{
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        wake_.wait_for(lock, interval_, [this] { return stopping_; });
        if (stopping_) {
            break;
        }
        lock.unlock();
        // Passive: copies what it can without waiting for, or blocking, the writer.
        int logFrames = 0;
        int copiedFrames = 0;
        sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, &logFrames, &copiedFrames);
        lock.lock();
    }
}

} // namespace Keldar::Database
