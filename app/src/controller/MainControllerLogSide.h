#pragma once

// State of the controller's recording and log playback, shared by
// MainControllerRecording.cpp and MainControllerLogs.cpp.

#include "controller/MainController.h"

#include <keldar/logging/FlatInterface.h>
#include <keldar/logging/LogFilePlayer.h>

#include <QString>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <string>

namespace Keldar::OndrixLumivane {

struct MainController::StartedRecording
{
    KD_LogFile* file = nullptr;
    KD_LogDataSource* source = nullptr;
    std::filesystem::path path;
    // Why the file could not be made; empty when it was.
    std::string failure;
};

struct MainController::LogSide
{
    LogSide();
    ~LogSide();
    LogSide(const LogSide&) = delete;
    LogSide& operator=(const LogSide&) = delete;

    KD_LogConfig* config = nullptr;
    std::string logFolder;
    std::string captureExtension;

    // Held round the stop-flag test and the write on the session thread, and
    // by the GUI thread before it closes the file: a write that has passed
    // its test never finds the file closed under it.
    std::mutex writeMutex;
    KD_LogFile* file = nullptr;
    KD_LogError* error = nullptr;
    KD_LogDataSource* source = nullptr;
    // The navigation source, added to the recording with its first sentence.
    KD_LogDataSource* navigationSource = nullptr;
    std::filesystem::path navigationSourcePath;
    std::filesystem::path recordingPath;
    // 1 stopped (or stopping), 0 recording.
    std::atomic<std::int32_t> stopFlag{1};
    // Set by the session thread when a write fails; the GUI thread stops the
    // recording and tells the user once.
    bool writeFailed = false;
    Connection recordingConnection;
    // Takes the file from the writers: nothing is written to it any more.
    StartedRecording takeFile();
    // The worker making a new recording (Starting) or closing and reading
    // back the last one (Stopping); touched only on the GUI thread.
    std::future<StartedRecording> starting;
    std::future<ClosedRecording> stopping;

    std::unique_ptr<Logging::Playback::LogFilePlayer> player;
    // The frame last delivered to the screen, set on the player's thread.
    std::atomic<std::int32_t> shownFrame{0};
    bool loop = false;
    // Why the open log's bookmarks cannot be changed; empty when they can.
    QString readOnlyReason;
    // Lends the player to work on another thread: while it is away, every
    // slot finds no player and leaves it alone (the arbiter is in Working).
    class LentPlayer
    {
    public:
        explicit LentPlayer(LogSide& side)
            : side(side)
            , player(std::move(side.player))
        {
        }
        ~LentPlayer() { side.player = std::move(player); }
        LentPlayer(const LentPlayer&) = delete;
        LentPlayer& operator=(const LentPlayer&) = delete;

    private:
        LogSide& side;
        std::unique_ptr<Logging::Playback::LogFilePlayer> player;
    };
    // Kept across logs, as the speed control keeps showing it.
    float speed = 1.0F;
};

// A folder the user can write captures into: false for a missing path, a
// file, or a folder that is gone. Throws std::filesystem::filesystem_error
// ("status") for any other failure to read its status.
bool isExistingFolder(const std::filesystem::path& folder);

} // namespace Keldar::OndrixLumivane
