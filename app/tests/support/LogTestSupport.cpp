#include "support/LogTestSupport.h"

#include "application/LumivaneWindow.h"
#include "capture/CaptureToolbar.h"
#include "controller/MainController.h"
#include "sonarcontrols/MainToolbar.h"

#include <keldar/gui/SvgButton.h>

#include <QTest>
#include <QThread>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>

namespace Keldar::OndrixLumivane::Testing {

std::vector<std::filesystem::path> filesIn(const std::filesystem::path& folder, const std::string& extension)
{
    std::vector<std::filesystem::path> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.path().extension() == extension) {
            found.push_back(entry.path());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::unique_ptr<Logging::SqliteLogFile> openLog(const std::filesystem::path& path)
{
    return std::make_unique<Logging::SqliteLogFile>(path, Logging::SqliteLogFile::Access::ReadOnly);
}

std::string integrityCheck(const std::filesystem::path& path)
{
    sqlite3* db = nullptr;
    std::string result = "cannot open";
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check;", -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            result = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return result;
}

namespace {
int maximumPages = 0;

int capPages(sqlite3* db, char**, const void*)
{
    const std::string sql = "PRAGMA max_page_count = " + std::to_string(maximumPages) + ";";
    return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
}
} // namespace

DiskFullAfterPages::DiskFullAfterPages(int pages)
{
    maximumPages = pages;
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(&capPages));
}

DiskFullAfterPages::~DiskFullAfterPages()
{
    sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(&capPages));
}

namespace {
int pause(void*)
{
    QThread::usleep(200);
    return 0;
}

int slowDown(sqlite3* db, char**, const void*)
{
    sqlite3_progress_handler(db, 50, &pause, nullptr);
    return SQLITE_OK;
}
} // namespace

SlowStatements::SlowStatements()
{
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(&slowDown));
}

SlowStatements::~SlowStatements()
{
    sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(&slowDown));
}

std::unique_ptr<Sim::SimulatedSonar> connectViewer(ViewerSession& viewer, std::uint32_t serial,
                                                   const std::filesystem::path& folder)
{
    auto sonar = viewer.network.startSonar(serial);
    viewer.controller->setLogLocation(folder.string());
    viewer.controller->connectWhenSeen(serial);
    EXPECT_TRUE(waitFor(
        [&] { return viewer.window->getMode() == LumivaneWindow::LiveSonar && viewer.controller->imagesShown() > 0; }));
    return sonar;
}

bool openThroughToolbar(ViewerSession& viewer, const std::filesystem::path& path)
{
    auto* mainToolbar = viewer.window->findChild<MainToolbar*>(QStringLiteral("mainToolbar"));
    mainToolbar->setFileChooser([path](auto&&...) { return QString::fromStdString(path.string()); });
    QTest::mouseClick(mainToolbar->findChild<QWidget*>(QStringLiteral("openFileButton")), Qt::LeftButton);
    return viewer.window->getMode() == LumivaneWindow::LogPlayback;
}

std::filesystem::path recordEntries(ViewerSession& viewer, int entries)
{
    CaptureToolbar* capture = viewer.window->getCaptureToolbar();
    if (!capture->getRecordButton()->isVisible()) {
        ADD_FAILURE() << "no record button";
        return {};
    }
    QTest::mouseClick(capture->getRecordButton(), Qt::LeftButton);
    if (!viewer.controller->isRecording()) {
        ADD_FAILURE() << "recording did not start";
        return {};
    }
    const std::filesystem::path path = viewer.controller->getRecordingPath();
    EXPECT_TRUE(waitFor([&] { return viewer.controller->getLastEntryID() >= entries; }));
    QTest::mouseClick(capture->getStopButton(), Qt::LeftButton);
    EXPECT_FALSE(viewer.controller->isRecording());
    return path;
}

} // namespace Keldar::OndrixLumivane::Testing
