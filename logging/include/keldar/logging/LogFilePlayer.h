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
// entries does. A log without entries has no frames: playing ends at once and
// seeks are ignored.
class LogFilePlayer
{
public:
    using FrameCallback = std::function<void(std::int32_t frame, DataEntry entry)>;

    // Why playback ended by itself (a stop asked for by the owner is not reported).
    enum class PlaybackEnd {
        EndReached,      // past the last frame, loop off (or no frames at all)
        EntryUnreadable, // the next entry could not be read from the file
        CallbackFailed,  // the frame callback threw
    };
    // Runs on the playback thread once playing is already cleared; it must
    // not call play, stop, seek or getTotalPlayTime of the same player.
    using EndCallback = std::function<void(PlaybackEnd reason)>;

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
    // A frame outside that range is ignored and gives false, as does one
    // whose entry cannot be read (nothing is delivered then).
    bool seek(std::int32_t frame, const FrameCallback& callback = {});
    // Moves to `frame` as seek does, but reads its entry into `entry` (reusing
    // the storage of its payload) instead of delivering it: for going through
    // many frames without a buffer allocated and freed for each.
    bool seekInto(std::int32_t frame, DataEntry& entry);
    void setLoopPlayback(bool loop);
    // Must be greater than 0.
    void setPlaybackSpeedMultiplier(float speed);
    float getPlaybackSpeedMultiplier() const;

    std::int32_t getFrameCount() const;
    // Milliseconds between the first and last frame; 0 without frames.
    std::int32_t getTotalPlayTime();
    bool isPlaying() const;
    // Set before play; replaces any earlier one.
    void setPlaybackEndedCallback(EndCallback callback);

    // The entry id of every frame, in frame order.
    const std::vector<std::int32_t>& getEntryIndex() const;
    // The recorded timestamp (ms since the Unix epoch) of every frame, in
    // frame order: where a frame lies in time, gaps and dropouts included.
    const std::vector<std::int64_t>& getFrameTimestamps() const;

    const std::vector<PlayerBookmark>& getBookmarks() const;
    const std::vector<DataSource>& getDataSources() const;
    const LogFileInterface& getUnderlyingLogFile() const;

    // Each reloads the bookmarks and tells whether the file took the change;
    // getUnderlyingLogFile().getLastError() says why it did not. Editing and
    // removing act on exactly the bookmark chosen (an entry of an older file
    // may hold several), and editing keeps its payload.
    bool addBookmark(std::int32_t entryId, const std::string& title, const std::string& comments);
    bool updateBookmark(const Bookmark& chosen, const std::string& title, const std::string& comments);
    bool removeBookmark(const Bookmark& chosen);

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace Keldar::Logging::Playback
