// Stopping a recording while the network thread writes into it: the stop
// must wait for the write under way, or it closes the file beneath it.

#include "support/LogTestSupport.h"

#include "application/LumivaneWindow.h"
#include "capture/CaptureToolbar.h"
#include "controller/MainController.h"

#include <keldar/gui/SvgButton.h>
#include <keldar/ondrix/SonarTypes.h>

#include <QTest>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>

using namespace Keldar::OndrixLumivane;
using namespace Keldar::OndrixLumivane::Testing;

namespace {

constexpr std::uint32_t serial = 40041;

// While it lives, the first data write after arm() stalls inside SQLite, as
// on a disk that hangs, for up to two seconds; it counts the files whose
// close began meanwhile (a close starts with the file's second, checkpointing
// connection, which no write holds up).
class StallingDisk
{
public:
    StallingDisk()
    {
        instance = this;
        sqlite3_auto_extension(reinterpret_cast<void (*)()>(&install));
    }
    ~StallingDisk()
    {
        sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(&install));
        instance = nullptr;
    }
    StallingDisk(const StallingDisk&) = delete;
    StallingDisk& operator=(const StallingDisk&) = delete;

    void arm()
    {
        std::lock_guard lock(mutex);
        armed = true;
    }
    [[nodiscard]] bool stalling() const
    {
        std::lock_guard lock(mutex);
        return !stalledFile.empty();
    }
    [[nodiscard]] int closesDuringStalls() const
    {
        std::lock_guard lock(mutex);
        return closesSeen;
    }

private:
    static int install(sqlite3* db, char**, const void*)
    {
        sqlite3_progress_handler(db, 5, &onProgress, db);
        sqlite3_trace_v2(db, SQLITE_TRACE_CLOSE, &onClose, nullptr);
        return SQLITE_OK;
    }

    static bool insertingData(sqlite3* db)
    {
        for (sqlite3_stmt* statement = sqlite3_next_stmt(db, nullptr); statement != nullptr;
             statement = sqlite3_next_stmt(db, statement)) {
            if (sqlite3_stmt_busy(statement) != 0 &&
                std::strncmp(sqlite3_sql(statement), "INSERT INTO data ", 17) == 0) {
                return true;
            }
        }
        return false;
    }

    static int onProgress(void* context)
    {
        auto* db = static_cast<sqlite3*>(context);
        StallingDisk& disk = *instance;
        std::unique_lock lock(disk.mutex);
        if (!disk.armed || !insertingData(db)) {
            return 0;
        }
        disk.armed = false;
        disk.stalledFile = sqlite3_db_filename(db, "main");
        disk.closing = false;
        disk.wake.wait_for(lock, std::chrono::seconds(2), [&] { return disk.closing; });
        disk.closesSeen += disk.closing ? 1 : 0;
        disk.stalledFile.clear();
        return 0;
    }

    static int onClose(unsigned, void*, void* connection, void*)
    {
        auto* db = static_cast<sqlite3*>(connection);
        StallingDisk& disk = *instance;
        std::lock_guard lock(disk.mutex);
        const char* file = sqlite3_db_filename(db, "main");
        if (!disk.stalledFile.empty() && file != nullptr && disk.stalledFile == file) {
            disk.closing = true;
            disk.wake.notify_all();
        }
        return 0;
    }

    static inline StallingDisk* instance = nullptr;
    mutable std::mutex mutex;
    std::condition_variable wake;
    bool armed = false;
    bool closing = false;
    std::string stalledFile;
    int closesSeen = 0;
};

// The viewer connected to a sonar imaging at 40 Hz, recording into a folder of its own.
struct StopWhileWriting : ::testing::Test
{
    ViewerSession viewer;
    QTemporaryDir folder;
    std::unique_ptr<Keldar::Sim::SimulatedSonar> sonar = connectViewer(viewer, serial, folder.path().toStdString());
    CaptureToolbar* capture = viewer.window->getCaptureToolbar();

    StopWhileWriting() { viewer.controller->setPingRate(static_cast<int>(Keldar::Ondrix::PingRate::Rate40Hz)); }
};

} // namespace

TEST_F(StopWhileWriting, AStopWaitsForTheWriteUnderWayAndKeepsIt)
{
    StallingDisk disk;
    std::vector<std::pair<std::filesystem::path, int>> recordings; // path, entries before the stall
    for (int run = 0; run < 3; ++run) {
        QTest::mouseClick(capture->getRecordButton(), Qt::LeftButton);
        ASSERT_TRUE(waitFor([&] { return viewer.controller->isRecording(); })) << "run " << run;
        ASSERT_TRUE(waitFor([&] { return viewer.controller->getLastEntryID() >= 2; }));
        recordings.emplace_back(viewer.controller->getRecordingPath(), viewer.controller->getLastEntryID());
        disk.arm();
        ASSERT_TRUE(waitFor([&] { return disk.stalling(); })) << "run " << run;
        QTest::mouseClick(capture->getStopButton(), Qt::LeftButton);
        EXPECT_FALSE(viewer.controller->isRecording());
        ASSERT_TRUE(waitFor([&] { return viewer.controller->getState() == SourceState::Live; })) << "run " << run;
    }
    EXPECT_EQ(disk.closesDuringStalls(), 0) << "a file was closed under a write";
    for (const auto& [path, entriesBeforeStall] : recordings) {
        EXPECT_EQ(integrityCheck(path), "ok") << path;
        // The write that was under way at the stop is in the file.
        EXPECT_GT(openLog(path)->getEntryCount(), entriesBeforeStall) << path;
    }
}

TEST_F(StopWhileWriting, RapidStartsAndStopsWhileStreamingLeaveSoundFilesWithUniqueNames)
{
    // Writes slow enough that a stop, while messages stream in at 40 Hz,
    // lands in the middle of one: it must wait for the write to end.
    const SlowStatements slow;
    for (int run = 0; run < 20; ++run) {
        // Recordings started within one second get names of their own.
        QTest::mouseClick(capture->getRecordButton(), Qt::LeftButton);
        ASSERT_TRUE(waitFor([&] { return viewer.controller->isRecording(); })) << "run " << run;
        ASSERT_TRUE(waitFor([&] { return viewer.controller->getLastEntryID() >= 1 + run % 3; }));
        QTest::mouseClick(capture->getStopButton(), Qt::LeftButton);
        // The next press is ignored until the close has been checked.
        ASSERT_TRUE(waitFor([&] { return viewer.controller->getState() == SourceState::Live; })) << "run " << run;
    }
    const auto files = filesIn(folder.path().toStdString(), ".ondrix");
    ASSERT_EQ(files.size(), 20U);
    for (const auto& file : files) {
        EXPECT_EQ(integrityCheck(file), "ok") << file;
        EXPECT_GE(openLog(file)->getEntryCount(), 1) << file;
    }
}
