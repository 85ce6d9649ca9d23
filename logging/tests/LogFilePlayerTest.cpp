// Playback: pacing by timestamps, speed, gaps, loop, end, stop, seek, total
// play time, bookmarks as frames, and errors on the playback thread.
#include "PlaybackPacer.h"
#include "TestLogs.h"

#include <keldar/logging/LogFilePlayer.h>
#include <keldar/logging/SqliteLogFile.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace Keldar::Logging;
using namespace Keldar::Logging::Playback;
using namespace Keldar::Logging::Testing;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

// Log time so long that a player waiting it out would never finish a test:
// arriving at all then proves that the player did not wait it.
constexpr std::int64_t Hour = 3600 * 1000;

struct Delivery
{
    std::int32_t frame;
    std::int32_t entryId;
    Clock::time_point at;
    std::thread::id thread;
};

// Collects deliveries and lets a test wait for a number of them.
class Recorder
{
public:
    LogFilePlayer::FrameCallback callback()
    {
        return [this](std::int32_t frame, DataEntry entry) {
            std::lock_guard lock(mutex_);
            deliveries_.push_back({frame, entry.entryId, Clock::now(), std::this_thread::get_id()});
            changed_.notify_all();
        };
    }

    bool waitFor(std::size_t count, std::chrono::milliseconds timeout = 5s)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return deliveries_.size() >= count; });
    }

    std::vector<Delivery> deliveries()
    {
        std::lock_guard lock(mutex_);
        return deliveries_;
    }

    std::vector<std::int32_t> frames()
    {
        std::vector<std::int32_t> result;
        for (const auto& delivery : deliveries()) {
            result.push_back(delivery.frame);
        }
        return result;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Delivery> deliveries_;
};

std::int64_t millisecondsBetween(const Delivery& a, const Delivery& b)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(b.at - a.at).count();
}

// A log whose entries have the given timestamps, one sonar source.
std::unique_ptr<SqliteLogFile> logWithTimestamps(const TempFolder& folder, const std::vector<std::int64_t>& stamps,
                                                 const std::string& name = "play.ondrix")
{
    auto file = createLog(folder.file(name));
    DataSource source{-1, KD_LogDataSourceType_Sonar, "Ondrix"};
    file->addDataSource(source);
    for (const auto stamp : stamps) {
        file->logData(DataEntry{0, source.id, 0, {1, 2, 3}, stamp});
    }
    return file;
}

// Records why playback ended, as the player reports it. Declared before the
// player, so that it outlives the playback thread.
class EndWatcher
{
public:
    LogFilePlayer::EndCallback callback()
    {
        return [this](LogFilePlayer::PlaybackEnd reason) {
            std::lock_guard lock(mutex_);
            reasons_.push_back(reason);
            changed_.notify_all();
        };
    }

    bool waitFor(std::size_t count, std::chrono::milliseconds timeout = 5s)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return reasons_.size() >= count; });
    }

    std::vector<LogFilePlayer::PlaybackEnd> reasons()
    {
        std::lock_guard lock(mutex_);
        return reasons_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<LogFilePlayer::PlaybackEnd> reasons_;
};

bool waitUntilStopped(LogFilePlayer& player, std::chrono::milliseconds timeout = 5s)
{
    const auto deadline = Clock::now() + timeout;
    while (player.isPlaying()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

} // namespace

TEST(PlayerPacing, GapsBeyondMaximumAreWaitedAsMaximumAtAnySpeed)
{
    TempFolder folder;
    for (float speed : {1.0F, 4.0F}) {
        Recorder recorder;
        LogFilePlayer player(
            logWithTimestamps(folder, {1000, 1000 + Hour, 1000 + 2 * Hour}, "gap" + std::to_string(int(speed))),
            {KD_LogDataSourceType_Sonar}, recorder.callback(), false, 150);
        player.setPlaybackSpeedMultiplier(speed);
        const auto start = Clock::now();
        player.play();
        ASSERT_TRUE(recorder.waitFor(2)) << "speed " << speed;
        const auto deliveries = recorder.deliveries();
        const auto first = std::chrono::duration_cast<std::chrono::milliseconds>(deliveries[0].at - start).count();
        EXPECT_GE(first, 140) << "speed " << speed;
        EXPECT_GE(millisecondsBetween(deliveries[0], deliveries[1]), 140) << "speed " << speed;
    }
}

TEST(PlayerPacing, ShortGapsScaleWithSpeed)
{
    TempFolder folder;
    // Frames 1 to 7 of each log are six gaps of `gap` ms of log time apart.
    const auto span = [&](float speed, std::int64_t gap, std::int32_t maximumGap) -> std::int64_t {
        std::vector<std::int64_t> stamps;
        for (int i = 0; i < 8; ++i) {
            stamps.push_back(10000 + gap * i);
        }
        Recorder recorder;
        LogFilePlayer player(logWithTimestamps(folder, stamps, "speed" + std::to_string(int(speed * 10))),
                             {KD_LogDataSourceType_Sonar}, recorder.callback(), false, maximumGap);
        player.setPlaybackSpeedMultiplier(speed);
        player.play();
        if (!recorder.waitFor(7, 20s)) {
            ADD_FAILURE() << "speed " << speed << " delivered only " << recorder.deliveries().size();
            return -1;
        }
        const auto deliveries = recorder.deliveries();
        return millisecondsBetween(deliveries[0], deliveries[6]);
    };
    EXPECT_GE(span(1.0F, 100, 500), 500);
    EXPECT_GE(span(0.5F, 100, 500), 1000) << "half speed waits twice as long";
    // Six minutes of log time at a thousand times the speed arrive within the
    // wait; unscaled, they would not.
    span(1000.0F, 60 * 1000, 2 * 60 * 1000);
}

// At 8x a 40 Hz log leaves 3.125 ms a frame: fractions of a millisecond spent
// reading, oversleeping and delivering must come off the next wait, or fast
// playback falls far behind.
TEST(PlayerPacing, WaitsKeepTheSubMillisecondTimeTheFrameBeforeTook)
{
    PlaybackPacer pacer(500);
    EXPECT_EQ(pacer.plan(25, 8.0F), 3125us);
    pacer.delivered(800us, 3300us, 900us);
    EXPECT_EQ(pacer.plan(25, 8.0F), 3125us - 1875us);
    pacer.delivered(100us, 1250us, 100us);
    EXPECT_EQ(pacer.plan(25, 8.0F), 3125us - 200us);
    // Running late beyond a whole gap: no wait, and the debt carries on.
    pacer.delivered(4ms, 2925us, 1ms);
    EXPECT_EQ(pacer.plan(25, 8.0F), 3125us - 5ms);
    // The maximum gap caps the gap as the speed scales it, and is waited as
    // it is, whatever the debt: 8x on a 1 Hz log still plays 8 frames a second.
    EXPECT_EQ(pacer.plan(8000, 8.0F), 500ms);
    EXPECT_EQ(pacer.plan(400, 0.5F), 500ms);
    PlaybackPacer slowLog(500);
    EXPECT_EQ(slowLog.plan(1000, 8.0F), 125ms);
}

TEST(PlayerPacing, EarlierTimestampIsDeliveredWithoutWaiting)
{
    TempFolder folder;
    Recorder recorder;
    // Waiting out the backwards step, or the maximum gap, would take hours.
    LogFilePlayer player(logWithTimestamps(folder, {2 * Hour, 2 * Hour + 100, 0}), {KD_LogDataSourceType_Sonar},
                         recorder.callback(), false, 10 * Hour);
    player.seek(0);
    player.play();
    ASSERT_TRUE(recorder.waitFor(3));
    const auto deliveries = recorder.deliveries();
    EXPECT_GE(millisecondsBetween(deliveries[0], deliveries[1]), 90);
}

TEST(PlayerLifecycle, FreshPlayerStartsAtFrameOneAndStopsAtTheEnd)
{
    TempFolder folder;
    Recorder recorder;
    EndWatcher ends;
    LogFilePlayer player(logWithTimestamps(folder, {0, 1, 2, 3}), {KD_LogDataSourceType_Sonar}, recorder.callback(),
                         false, 20);
    player.setPlaybackEndedCallback(ends.callback());
    EXPECT_EQ(player.getFrameCount(), 4);
    player.play();
    ASSERT_TRUE(ends.waitFor(1));
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(ends.reasons(), (std::vector{LogFilePlayer::PlaybackEnd::EndReached}));
    EXPECT_EQ(recorder.frames(), (std::vector<std::int32_t>{1, 2, 3}));
    EXPECT_NE(recorder.deliveries()[0].thread, std::this_thread::get_id());
    // Playing again at the end delivers nothing more.
    player.play();
    ASSERT_TRUE(waitUntilStopped(player));
    EXPECT_EQ(recorder.frames().size(), 3u);
}

TEST(PlayerLifecycle, LoopReturnsToFirstFrameAfterMaximumGap)
{
    TempFolder folder;
    Recorder recorder;
    LogFilePlayer player(logWithTimestamps(folder, {1000, 1010, 1020}), {KD_LogDataSourceType_Sonar},
                         recorder.callback(), true, 1000);
    player.play();
    ASSERT_TRUE(recorder.waitFor(5, 10s));
    player.stop();
    const auto deliveries = recorder.deliveries();
    EXPECT_EQ(deliveries[0].frame, 1);
    EXPECT_EQ(deliveries[1].frame, 2);
    EXPECT_EQ(deliveries[2].frame, 0);
    EXPECT_EQ(deliveries[3].frame, 1);
    const auto loopPause = millisecondsBetween(deliveries[1], deliveries[2]);
    EXPECT_GE(loopPause, 990);
    // Back to the log's own 10 ms gaps, not the pause again: compared with the
    // pause rather than with a clock, whose bound a loaded machine can break.
    EXPECT_LT(millisecondsBetween(deliveries[2], deliveries[3]), loopPause / 2);
}

TEST(PlayerLifecycle, StopDuringLongWaitReturnsAtOnceWithoutDelivering)
{
    TempFolder folder;
    Recorder recorder;
    EndWatcher ends;
    // Stop returns at all only if it cuts the hour-long wait short.
    LogFilePlayer player(logWithTimestamps(folder, {0, Hour}), {KD_LogDataSourceType_Sonar}, recorder.callback(), false,
                         2 * Hour);
    player.setPlaybackEndedCallback(ends.callback());
    player.play();
    std::this_thread::sleep_for(50ms);
    player.stop();
    EXPECT_FALSE(player.isPlaying());
    EXPECT_TRUE(recorder.frames().empty());
    // The owner asked for it, so there is nothing to tell.
    EXPECT_TRUE(ends.reasons().empty());
}

TEST(PlayerLifecycle, StopAndPlayAgainResumesWithTheFrameNotYetDelivered)
{
    TempFolder folder;
    Recorder recorder;
    // Frame 2 waits the whole maximum gap, long enough to be stopped in it.
    EndWatcher ends;
    LogFilePlayer player(logWithTimestamps(folder, {0, 10, 3000, 3010}), {KD_LogDataSourceType_Sonar},
                         recorder.callback(), false, 2000);
    player.setPlaybackEndedCallback(ends.callback());
    player.play();
    ASSERT_TRUE(recorder.waitFor(1));
    player.stop();
    player.play();
    ASSERT_TRUE(ends.waitFor(1));
    EXPECT_EQ(recorder.frames(), (std::vector<std::int32_t>{1, 2, 3}));
}

TEST(PlayerLifecycle, LogWithoutEntriesHasNoFramesAndIgnoresSeeks)
{
    TempFolder folder;
    Recorder recorder;
    EndWatcher ends;
    LogFilePlayer player(logWithTimestamps(folder, {}), {KD_LogDataSourceType_Sonar}, recorder.callback(), true, 10);
    player.setPlaybackEndedCallback(ends.callback());
    EXPECT_EQ(player.getFrameCount(), 0);
    EXPECT_TRUE(player.getEntryIndex().empty());
    EXPECT_EQ(player.getTotalPlayTime(), 0);
    EXPECT_FALSE(player.seek(0));
    EXPECT_FALSE(player.seek(-1));
    player.play();
    ASSERT_TRUE(ends.waitFor(1));
    EXPECT_EQ(ends.reasons(), (std::vector{LogFilePlayer::PlaybackEnd::EndReached}));
    EXPECT_TRUE(recorder.frames().empty());

    // Out-of-range seeks on a log with entries are ignored too.
    LogFilePlayer filled(logWithTimestamps(folder, {0, 10}, "filled.ondrix"), {KD_LogDataSourceType_Sonar},
                         recorder.callback(), false, 10);
    EXPECT_FALSE(filled.seek(-1));
    EXPECT_FALSE(filled.seek(2));
    EXPECT_TRUE(recorder.frames().empty());
    EXPECT_TRUE(filled.seek(1));
    EXPECT_EQ(recorder.frames(), (std::vector<std::int32_t>{1}));
}

TEST(PlayerLifecycle, DestroyingAPlayingPlayerStopsIt)
{
    TempFolder folder;
    Recorder recorder;
    {
        // The destructor returns at all only if it cuts the hour-long wait short.
        LogFilePlayer player(logWithTimestamps(folder, {0, Hour}), {KD_LogDataSourceType_Sonar}, recorder.callback(),
                             false, 2 * Hour);
        player.play();
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(recorder.frames().empty());
}

TEST(PlayerSeek, SeekDeliversOnCallerThreadAndPlaybackContinuesAfterIt)
{
    TempFolder folder;
    Recorder recorder;
    LogFilePlayer player(logWithTimestamps(folder, {0, 10, 20, 30, 40, 50}), {KD_LogDataSourceType_Sonar},
                         recorder.callback(), false, 50);
    std::vector<std::int32_t> soughtIds;
    player.seek(3, [&](std::int32_t frame, DataEntry entry) {
        EXPECT_EQ(frame, 3);
        soughtIds.push_back(entry.entryId);
    });
    EXPECT_EQ(soughtIds, (std::vector<std::int32_t>{4}));
    EXPECT_TRUE(recorder.frames().empty());
    player.seek(2);
    ASSERT_EQ(recorder.frames(), (std::vector<std::int32_t>{2}));
    EXPECT_EQ(recorder.deliveries()[0].thread, std::this_thread::get_id());
    player.play();
    ASSERT_TRUE(waitUntilStopped(player));
    EXPECT_EQ(recorder.frames(), (std::vector<std::int32_t>{2, 3, 4, 5}));
}

TEST(PlayerSeek, SeekWhilePlayingKeepsPlaying)
{
    TempFolder folder;
    Recorder recorder;
    std::vector<std::int64_t> stamps;
    for (int i = 0; i < 50; ++i) {
        stamps.push_back(i * 40);
    }
    LogFilePlayer player(logWithTimestamps(folder, stamps), {KD_LogDataSourceType_Sonar}, recorder.callback(), false,
                         500);
    player.play();
    ASSERT_TRUE(recorder.waitFor(1));
    player.seek(40);
    EXPECT_TRUE(player.isPlaying());
    ASSERT_TRUE(recorder.waitFor(4));
    const auto frames = recorder.frames();
    const auto sought = std::find(frames.begin(), frames.end(), 40);
    ASSERT_NE(sought, frames.end());
    ASSERT_NE(sought + 1, frames.end());
    EXPECT_EQ(*(sought + 1), 41);
    player.stop();
}

TEST(PlayerSeek, TotalPlayTimeKeepsPositionAndState)
{
    TempFolder folder;
    Recorder recorder;
    LogFilePlayer player(logWithTimestamps(folder, {5000, 5100, 5350, 7250}), {KD_LogDataSourceType_Sonar},
                         recorder.callback(), false, 20);
    player.seek(1);
    EXPECT_EQ(player.getTotalPlayTime(), 2250);
    player.play();
    ASSERT_TRUE(waitUntilStopped(player));
    EXPECT_EQ(recorder.frames(), (std::vector<std::int32_t>{1, 2, 3}));
}

TEST(PlayerSources, TypeListSelectsSourcesAndNoMatchPlaysEverything)
{
    TempFolder folder;
    auto file = createLog(folder.file("two.ondrix"));
    DataSource sonar{-1, KD_LogDataSourceType_Sonar, "sonar"};
    DataSource other{-1, static_cast<KD_LogDataSourceType>(3), "gps"};
    file->addDataSource(sonar);
    file->addDataSource(other);
    for (int i = 0; i < 6; ++i) {
        file->logData(DataEntry{0, i % 2 == 0 ? sonar.id : other.id, 0, {}, 1000 * i * i});
    }
    auto second = std::make_unique<SqliteLogFile>(folder.file("two.ondrix"));
    LogFilePlayer sonarOnly(std::move(file), {KD_LogDataSourceType_Sonar}, {}, false, 10);
    EXPECT_EQ(sonarOnly.getEntryIndex(), (std::vector<std::int32_t>{1, 3, 5}));
    EXPECT_EQ(sonarOnly.getFrameTimestamps(), (std::vector<std::int64_t>{0, 4000, 16000}))
        << "each frame's own time, not an even spread";
    ASSERT_EQ(sonarOnly.getDataSources().size(), 1u);
    EXPECT_EQ(sonarOnly.getDataSources()[0].name, "sonar");
    LogFilePlayer noMatch(std::move(second), {static_cast<KD_LogDataSourceType>(9)}, {}, false, 10);
    EXPECT_EQ(noMatch.getFrameCount(), 6);
    EXPECT_EQ(noMatch.getFrameTimestamps(), (std::vector<std::int64_t>{0, 1000, 4000, 9000, 16000, 25000}));
    EXPECT_TRUE(noMatch.getDataSources().empty());
}

TEST(PlayerBookmarks, BookmarksMapToFramesAndEditsTouchOnlyTheChosenOne)
{
    TempFolder folder;
    const auto path = folder.file("bm.ondrix");
    auto file = createLog(path);
    DataSource sonar{-1, KD_LogDataSourceType_Sonar, "sonar"};
    DataSource other{-1, static_cast<KD_LogDataSourceType>(3), "gps"};
    file->addDataSource(sonar);
    file->addDataSource(other);
    // Sonar entries 1,3,5,7; the other source 2,4,6,8.
    for (int i = 0; i < 8; ++i) {
        file->logData(DataEntry{0, i % 2 == 0 ? sonar.id : other.id, 0, {}, i});
    }
    file->addBookmark({4, "between", "c", {}});
    file->addBookmark({8, "past the last sonar entry", "", {}});
    // Older files may hold two on one entry.
    file->addBookmark({8, "twin", "", {5, 6}});
    LogFilePlayer player(std::move(file), {KD_LogDataSourceType_Sonar}, {}, false, 10);
    auto bookmarks = player.getBookmarks();
    ASSERT_EQ(bookmarks.size(), 3u);
    EXPECT_EQ(bookmarks[0].frameIndex, 2); // first sonar id not less than 4 is 5, frame 2
    EXPECT_EQ(bookmarks[0].comments, "c");
    EXPECT_EQ(bookmarks[1].frameIndex, 3);

    EXPECT_TRUE(player.addBookmark(1, "start", ""));
    EXPECT_TRUE(player.updateBookmark(bookmarks[2], "twin renamed", "kept its payload"));
    EXPECT_TRUE(player.removeBookmark(bookmarks[1]));
    // Gone already: refused, and said so.
    EXPECT_FALSE(player.removeBookmark(bookmarks[1]));
    EXPECT_EQ(player.getUnderlyingLogFile().getLastError(), "The bookmark is no longer in the file.");
    bookmarks = player.getBookmarks();
    ASSERT_EQ(bookmarks.size(), 3u);
    EXPECT_EQ(bookmarks[0].title, "between");
    EXPECT_EQ(bookmarks[1].title, "twin renamed");
    EXPECT_EQ(bookmarks[1].entryId, 8);
    EXPECT_EQ(bookmarks[2].title, "start");
    EXPECT_EQ(bookmarks[2].frameIndex, 0);
    const auto stored = player.getUnderlyingLogFile().getBookmarks();
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[1].payload, (std::vector<std::uint8_t>{5, 6}));

    // A file opened read-only refuses every change, says why, and keeps its list.
    LogFilePlayer reader(std::make_unique<SqliteLogFile>(path, SqliteLogFile::Access::ReadOnly),
                         {KD_LogDataSourceType_Sonar}, {}, false, 10);
    EXPECT_FALSE(reader.addBookmark(3, "new", ""));
    EXPECT_EQ(reader.getUnderlyingLogFile().getLastError(), "The log file is read-only.");
    EXPECT_FALSE(reader.updateBookmark(bookmarks[0], "renamed", ""));
    EXPECT_FALSE(reader.removeBookmark(bookmarks[0]));
    EXPECT_EQ(reader.getBookmarks().size(), 3u);
    EXPECT_EQ(reader.getBookmarks()[0].title, "between");
}

TEST(PlayerBookmarks, EditingBookmarksWhilePlayingIsSafe)
{
    TempFolder folder;
    std::vector<std::int64_t> stamps(200);
    for (std::size_t i = 0; i < stamps.size(); ++i) {
        stamps[i] = static_cast<std::int64_t>(i);
    }
    Recorder recorder;
    LogFilePlayer player(logWithTimestamps(folder, stamps), {KD_LogDataSourceType_Sonar}, recorder.callback(), true, 5);
    player.play();
    for (int i = 1; i <= 60; ++i) {
        player.addBookmark(i, "b" + std::to_string(i), "");
        if (i % 3 == 0) {
            player.removeBookmark({i, "b" + std::to_string(i), "", {}});
        }
    }
    ASSERT_TRUE(recorder.waitFor(20));
    EXPECT_TRUE(player.isPlaying());
    player.stop();
    EXPECT_EQ(player.getBookmarks().size(), 40u);
}

TEST(PlayerErrors, ThrowingCallbackEndsPlaybackAndPlayerStaysUsable)
{
    TempFolder folder;
    int calls = 0;
    EndWatcher ends;
    LogFilePlayer player(
        logWithTimestamps(folder, {0, 1, 2, 3, 4}), {KD_LogDataSourceType_Sonar},
        [&](std::int32_t frame, DataEntry) {
            ++calls;
            if (frame == 2) {
                throw std::runtime_error("viewer failed");
            }
        },
        false, 10);
    player.setPlaybackEndedCallback(ends.callback());
    player.play();
    ASSERT_TRUE(ends.waitFor(1));
    EXPECT_EQ(calls, 2);
    player.play();
    ASSERT_TRUE(ends.waitFor(2));
    EXPECT_EQ(calls, 4);
    EXPECT_EQ(ends.reasons(),
              (std::vector{LogFilePlayer::PlaybackEnd::CallbackFailed, LogFilePlayer::PlaybackEnd::EndReached}));
}

TEST(PlayerErrors, UnreadableEntryEndsPlayback)
{
    TempFolder folder;
    const auto path = folder.file("damaged.ondrix");
    {
        auto file = createLog(path, 6);
        fillLog(*file, 5, 0, 1, 100);
    }
    runSql(path, "UPDATE data SET payload = x'FFFFFF7F0102' WHERE entryId = 4;");
    Recorder recorder;
    EndWatcher ends;
    LogFilePlayer player(std::make_unique<SqliteLogFile>(path), {KD_LogDataSourceType_Sonar}, recorder.callback(),
                         false, 10);
    player.setPlaybackEndedCallback(ends.callback());
    player.play();
    ASSERT_TRUE(ends.waitFor(1));
    EXPECT_EQ(ends.reasons(), (std::vector{LogFilePlayer::PlaybackEnd::EntryUnreadable}));
    EXPECT_EQ(recorder.frames(), (std::vector<std::int32_t>{1, 2}));
}
