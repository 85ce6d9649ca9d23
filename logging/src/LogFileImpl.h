#pragma once

#include <keldar/database/BackgroundCheckpointer.h>
#include <keldar/database/SqliteDatabase.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace Keldar::Logging {

class LogFileImpl
{
public:
    LogFileImpl() = default;
    ~LogFileImpl();
    LogFileImpl(const LogFileImpl&) = delete;
    LogFileImpl& operator=(const LogFileImpl&) = delete;

    void setLastError(std::string message);

    // The connection writes go through, or null (with the reason as the last
    // error) when the file may not be written.
    Database::SqliteDatabase* writeConnection();
    // The connection that sees this handle's own writes.
    Database::SqliteDatabase& current() const { return writer ? *writer : *database; }
    std::string getLastError() const;

    std::unique_ptr<Database::SqliteDatabase> database;
    std::filesystem::path filePath;
    bool isNew = false;
    // The file is shorter than its header says (the disk lost its end).
    bool endIsDamaged = false;
    // Reading met a page it could not read; set by whichever thread read it.
    std::atomic<bool> pagesDamaged{false};
    // A journal lay beside the file when it was opened: its writer stopped
    // mid-write (or is still writing).
    bool openedMidWrite = false;
    // Set by checkEntries: the ids of every entry that read whole, sorted, so
    // that listing entries need not read them all again.
    std::vector<std::int32_t> readableIds;
    bool entriesChecked = false;
    std::int64_t listedEntries = 0;
    std::int64_t readableEntries = 0;
    // The private folder holding a copy of the file and its journal, read in
    // the original's place; removed on close. Empty when the original is read.
    std::filesystem::path privateCopy;
    // Opened for reading with writes allowed: the file is opened for writing
    // (`writer`) when a write first asks for it.
    bool writeOnDemand = false;
    std::unique_ptr<Database::SqliteDatabase> writer;
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
