#pragma once

#include <keldar/logging/DataEntry.h>
#include <keldar/logging/DataSource.h>
#include <keldar/logging/LogDataSourceType.h>
#include <keldar/logging/LogFileInterface.h>
#include <keldar/logging/PlayerBookmark.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Keldar::Logging::Playback {

// Replays a log's entries in order on a thread of its own, pacing them by
// their timestamps at a chosen speed. A frame is one entry of the entry index.
//
// Control calls (play, stop, seek, getTotalPlayTime, destruction) come from one
// thread and never from inside the frame callback. An error while reading the
// next entry, or one escaping the callback, ends playback as the end of the
// entries does.
class LogFilePlayer {
public:
    using FrameCallback = std::function<void(std::int32_t frame, DataEntry entry)>;

    LogFilePlayer(std::unique_ptr<LogFileInterface> file, const std::vector<KD_LogDataSourceType>& types,
                  FrameCallback callback, bool loop, std::int32_t maximumGap);
    ~LogFilePlayer();

    LogFilePlayer(LogFilePlayer&&) noexcept;
    LogFilePlayer& operator=(LogFilePlayer&&) noexcept;
    LogFilePlayer(const LogFilePlayer&) = delete;
    LogFilePlayer& operator=(const LogFilePlayer&) = delete;

    void play();
    void stop();
    // Delivers `frame` (in [0, frame count)) on the calling thread, to
    // `callback` or to the player's own when it is empty; playback then
    // continues after it.
    void seek(std::int32_t frame, const FrameCallback& callback = {});
    void setLoopPlayback(bool loop);
    // Must be greater than 0.
    void setPlaybackSpeedMultiplier(float speed);

    std::int32_t getFrameCount() const;
    // Milliseconds between the first and last frame; needs at least one frame.
    std::int32_t getTotalPlayTime();
    bool isPlaying() const;

    const std::vector<PlayerBookmark>& getBookmarks() const;
    const std::vector<DataSource>& getDataSources() const;
    const LogFileInterface& getUnderlyingLogFile() const;

    void addBookmark(std::int32_t entryId, const std::string& title, const std::string& comments);
    void updateBookmark(std::int32_t entryId, const std::string& title, const std::string& comments);
    void removeBookmark(std::int32_t entryId);

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace Keldar::Logging::Playback
