#include <keldar/logging/LogFilePlayer.h>

#include "PlaybackPacer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace Keldar::Logging::Playback {

namespace {

using SteadyClock = std::chrono::steady_clock;

} // namespace

struct LogFilePlayer::State
{
    std::unique_ptr<LogFileInterface> file;
    std::vector<DataSource> dataSources;
    std::vector<PlayerBookmark> bookmarks;
    std::vector<std::int32_t> entryIndex;
    std::vector<std::int64_t> frameTimestamps;
    FrameCallback callback;
    EndCallback endCallback;
    std::atomic<bool> loop{false};
    std::atomic<float> speed{1.0F};
    std::int32_t maximumGap = 500;

    std::mutex mutex;
    std::condition_variable wake;
    std::thread thread;

    std::optional<DataEntry> currentEntry;
    std::int32_t currentFrame = 0;
    std::int64_t previousTimestamp = 0;
    bool playing = false;

    enum class Step { Loaded, End, Unreadable };

    void loadBookmarks();
    // Moves to the next frame and loads its entry.
    Step advance();
    void run();
    void finish(PlaybackEnd reason);
    void stopAndJoin();
};

void LogFilePlayer::State::loadBookmarks()
{
    bookmarks.clear();
    for (auto& bookmark : file->getBookmarks()) {
        PlayerBookmark placed;
        placed.entryId = bookmark.entryId;
        placed.title = std::move(bookmark.title);
        placed.comments = std::move(bookmark.comments);
        const auto position = std::lower_bound(entryIndex.begin(), entryIndex.end(), bookmark.entryId);
        placed.frameIndex = position == entryIndex.end() ? static_cast<std::int32_t>(entryIndex.size()) - 1
                                                         : static_cast<std::int32_t>(position - entryIndex.begin());
        bookmarks.push_back(std::move(placed));
    }
}

LogFilePlayer::State::Step LogFilePlayer::State::advance()
{
    const auto frameCount = static_cast<std::int32_t>(entryIndex.size());
    if (frameCount == 0) {
        currentFrame = 0;
        return Step::End;
    }
    ++currentFrame;
    if (currentFrame >= frameCount) {
        if (!loop) {
            currentFrame = frameCount - 1;
            return Step::End;
        }
        currentFrame = 0;
        previousTimestamp = 0;
    }
    if (currentFrame < 0) {
        currentFrame = 0;
    }
    try {
        currentEntry = file->readEntry(entryIndex[static_cast<std::size_t>(currentFrame)]);
    } catch (...) {
        currentEntry.reset();
    }
    return currentEntry ? Step::Loaded : Step::Unreadable;
}

void LogFilePlayer::State::finish(PlaybackEnd reason)
{
    EndCallback notify;
    {
        std::lock_guard lock(mutex);
        playing = false;
        notify = endCallback;
    }
    if (notify) {
        try {
            notify(reason);
        } catch (...) {
            // The owner's failure must not end the program from this thread.
        }
    }
}

void LogFilePlayer::State::run()
{
    PlaybackPacer pacer(maximumGap);
    while (true) {
        const auto t0 = SteadyClock::now();
        // Restored when a stop comes before this frame is delivered, so that
        // playing again resumes with it instead of skipping it.
        const std::int32_t deliveredFrame = currentFrame;
        const std::int64_t deliveredTimestamp = previousTimestamp;
        const Step step = advance();
        if (step != Step::Loaded) {
            finish(step == Step::End ? PlaybackEnd::EndReached : PlaybackEnd::EntryUnreadable);
            return;
        }

        // The maximum gap also caps the first frame, where previousTimestamp is 0.
        const auto wait = pacer.plan(currentEntry->timestamp - previousTimestamp, speed.load());
        previousTimestamp = currentEntry->timestamp;
        const auto t2 = SteadyClock::now();
        const auto preparing = t2 - t0;

        std::unique_lock lock(mutex);
        const auto now = SteadyClock::now();
        auto deadline = now;
        if (wait > SteadyClock::duration::zero()) {
            deadline = wait >= SteadyClock::time_point::max() - now ? SteadyClock::time_point::max() : now + wait;
        }
        wake.wait_until(lock, deadline, [this] { return !playing; });
        const auto t4 = SteadyClock::now();
        const auto waited = t4 - t2;
        if (!playing) {
            currentFrame = deliveredFrame;
            previousTimestamp = deliveredTimestamp;
            currentEntry.reset();
            return;
        }
        lock.unlock();

        DataEntry entry = std::move(*currentEntry);
        currentEntry.reset();
        try {
            if (callback) {
                callback(currentFrame, std::move(entry));
            }
        } catch (...) {
            finish(PlaybackEnd::CallbackFailed);
            return;
        }
        pacer.delivered(preparing, waited, SteadyClock::now() - t4);
    }
}

void LogFilePlayer::State::stopAndJoin()
{
    std::unique_lock lock(mutex);
    if (!playing) {
        lock.unlock();
        if (thread.joinable()) {
            thread.join();
        }
        return;
    }
    playing = false;
    lock.unlock();
    wake.notify_all();
    if (thread.joinable()) {
        thread.join();
    }
}

LogFilePlayer::LogFilePlayer(std::unique_ptr<LogFileInterface> file, const std::vector<KD_LogDataSourceType>& types,
                             FrameCallback callback, bool loop, std::int32_t maximumGap)
    : state_(std::make_unique<State>())
{
    state_->file = std::move(file);
    state_->callback = std::move(callback);
    state_->loop = loop;
    state_->maximumGap = maximumGap;

    EntryIndexFilter filter;
    for (const auto& source : state_->file->getDataSources()) {
        if (std::find(types.begin(), types.end(), source.type) != types.end()) {
            state_->dataSources.push_back(source);
            filter.dataSources.push_back(source.id);
        }
    }
    state_->entryIndex = state_->file->getEntryIndex(filter);
    state_->frameTimestamps = state_->file->getEntryTimestamps(filter);
    if (state_->frameTimestamps.size() != state_->entryIndex.size()) {
        // The two reads disagree (a file still being written): one entry at a time.
        state_->frameTimestamps.clear();
        for (const std::int32_t entryId : state_->entryIndex) {
            const auto entry = state_->file->readEntry(entryId);
            const std::int64_t before = state_->frameTimestamps.empty() ? 0 : state_->frameTimestamps.back();
            state_->frameTimestamps.push_back(entry ? entry->timestamp : before);
        }
    }
    state_->loadBookmarks();
}

LogFilePlayer::~LogFilePlayer()
{
    if (state_) {
        state_->stopAndJoin();
    }
}

LogFilePlayer::LogFilePlayer(LogFilePlayer&&) noexcept = default;

LogFilePlayer& LogFilePlayer::operator=(LogFilePlayer&& other) noexcept
{
    if (this != &other) {
        if (state_) {
            state_->stopAndJoin();
        }
        state_ = std::move(other.state_);
    }
    return *this;
}

void LogFilePlayer::play()
{
    State& state = *state_;
    {
        std::lock_guard lock(state.mutex);
        if (state.playing) {
            return;
        }
        state.playing = true;
    }
    if (state.thread.joinable()) {
        state.thread.join();
    }
    state.thread = std::thread([&state] { state.run(); });
}

void LogFilePlayer::stop()
{
    state_->stopAndJoin();
}

bool LogFilePlayer::isPlaying() const
{
    std::lock_guard lock(state_->mutex);
    return state_->playing;
}

namespace {

// Runs `load` for a frame that exists, with playback stopped around it.
template<typename Load>
bool loadStopped(LogFilePlayer& player, std::int32_t frame, Load&& load)
{
    if (frame < 0 || frame >= player.getFrameCount()) {
        return false;
    }
    const bool wasPlaying = player.isPlaying();
    if (wasPlaying) {
        player.stop();
    }
    const bool loaded = load();
    if (wasPlaying) {
        player.play();
    }
    return loaded;
}

} // namespace

bool LogFilePlayer::seek(std::int32_t frame, const FrameCallback& callback)
{
    State& state = *state_;
    return loadStopped(*this, frame, [&] {
        state.currentFrame = frame - 1;
        const bool loaded = state.advance() == State::Step::Loaded;
        if (loaded) {
            state.previousTimestamp = state.currentEntry->timestamp;
            DataEntry entry = std::move(*state.currentEntry);
            state.currentEntry.reset();
            const FrameCallback& target = callback ? callback : state.callback;
            if (target) {
                target(frame, std::move(entry));
            }
        }
        return loaded;
    });
}

bool LogFilePlayer::seekInto(std::int32_t frame, DataEntry& entry)
{
    State& state = *state_;
    return loadStopped(*this, frame, [&] {
        state.currentFrame = frame;
        state.currentEntry.reset();
        bool loaded = false;
        try {
            loaded = state.file->readEntryInto(state.entryIndex[static_cast<std::size_t>(frame)], entry);
        } catch (...) {
            loaded = false;
        }
        if (loaded) {
            state.previousTimestamp = entry.timestamp;
        }
        return loaded;
    });
}

void LogFilePlayer::setPlaybackEndedCallback(EndCallback callback)
{
    std::lock_guard lock(state_->mutex);
    state_->endCallback = std::move(callback);
}

const std::vector<std::int32_t>& LogFilePlayer::getEntryIndex() const
{
    return state_->entryIndex;
}

const std::vector<std::int64_t>& LogFilePlayer::getFrameTimestamps() const
{
    return state_->frameTimestamps;
}

void LogFilePlayer::setLoopPlayback(bool loop)
{
    state_->loop = loop;
}

void LogFilePlayer::setPlaybackSpeedMultiplier(float speed)
{
    state_->speed = speed;
}

float LogFilePlayer::getPlaybackSpeedMultiplier() const
{
    return state_->speed;
}

std::int32_t LogFilePlayer::getFrameCount() const
{
    return static_cast<std::int32_t>(state_->entryIndex.size());
}

std::int32_t LogFilePlayer::getTotalPlayTime()
{
    State& state = *state_;
    if (getFrameCount() == 0) {
        return 0;
    }
    const bool wasPlaying = isPlaying();
    if (wasPlaying) {
        stop();
    }
    const std::int32_t keptFrame = state.currentFrame;
    std::int64_t first = 0;
    std::int64_t last = 0;
    state.currentFrame = -1;
    if (state.advance() == State::Step::Loaded) {
        first = state.currentEntry->timestamp;
    }
    state.currentFrame = getFrameCount() - 2;
    if (state.advance() == State::Step::Loaded) {
        last = state.currentEntry->timestamp;
    }
    state.currentEntry.reset();
    state.currentFrame = keptFrame;
    if (wasPlaying) {
        play();
    }
    return static_cast<std::int32_t>(last - first);
}

const std::vector<PlayerBookmark>& LogFilePlayer::getBookmarks() const
{
    return state_->bookmarks;
}

const std::vector<DataSource>& LogFilePlayer::getDataSources() const
{
    return state_->dataSources;
}

const LogFileInterface& LogFilePlayer::getUnderlyingLogFile() const
{
    return *state_->file;
}

bool LogFilePlayer::addBookmark(std::int32_t entryId, const std::string& title, const std::string& comments)
{
    const bool added = state_->file->addBookmark(Bookmark{entryId, title, comments, {}});
    state_->loadBookmarks();
    return added;
}

bool LogFilePlayer::updateBookmark(const Bookmark& chosen, const std::string& title, const std::string& comments)
{
    const bool updated = state_->file->editBookmark(chosen, title, comments);
    state_->loadBookmarks();
    return updated;
}

bool LogFilePlayer::removeBookmark(const Bookmark& chosen)
{
    const bool removed = state_->file->removeOneBookmark(chosen);
    state_->loadBookmarks();
    return removed;
}

} // namespace Keldar::Logging::Playback
