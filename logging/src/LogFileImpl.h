#pragma once

#include <keldar/database/BackgroundCheckpointer.h>
#include <keldar/database/SqliteDatabase.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

namespace Keldar::Logging {

class LogFileImpl
{
public:
    LogFileImpl() = default;
    ~LogFileImpl();
    LogFileImpl(const LogFileImpl&) = delete;
    LogFileImpl& operator=(const LogFileImpl&) = delete;

    void setLastError(std::string message);
    std::string getLastError() const;

    std::unique_ptr<Database::SqliteDatabase> database;
    std::filesystem::path filePath;
    bool isNew = false;
    // The file is shorter than its header says (the disk lost its end).
    bool endIsDamaged = false;
    std::int8_t compressionLevel = 0;
    std::int32_t logVersion = 0;
    // Set once the write-ahead log is on; closing then folds it back into the
    // main file and returns to a rollback journal.
    bool writeAheadLogEnabled = false;
    // Stopped first when closing, before the final checkpoint.
    std::unique_ptr<Database::BackgroundCheckpointer> checkpointer;
    // SQLite's code for the last write that failed, 0 after one that succeeded.
    std::atomic<int> lastWriteErrorCode{0};

private:
    // The player's thread and the owner's thread may both fail at once.
    mutable std::mutex errorMutex_;
    std::string lastError_ = "No error";
};

} // namespace Keldar::Logging
