#pragma once

// Recording and log-file helpers shared by the capture and playback tests.

#include "support/ViewerTestSupport.h"

#include <keldar/logging/SqliteLogFile.h>

#include <QString>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

namespace Keldar::OndrixLumivane::Testing {

/// Files with `extension` directly in `folder`, sorted.
std::vector<std::filesystem::path> filesIn(const std::filesystem::path& folder, const std::string& extension);

/// Opens a log read-only, as a user's data must be left untouched.
std::unique_ptr<Logging::SqliteLogFile> openLog(const std::filesystem::path& path);

/// SQLite's integrity check of a file: "ok" when sound.
std::string integrityCheck(const std::filesystem::path& path);

/// While it lives, every SQLite connection opened is capped at `pages` pages,
/// as if the disk filled up there.
class DiskFullAfterPages
{
public:
    explicit DiskFullAfterPages(int pages);
    ~DiskFullAfterPages();
    DiskFullAfterPages(const DiskFullAfterPages&) = delete;
    DiskFullAfterPages& operator=(const DiskFullAfterPages&) = delete;
};

/// While it lives, every SQLite connection opened runs its statements
/// slowly, so that a write is long enough for another thread to meet it.
class SlowStatements
{
public:
    SlowStatements();
    ~SlowStatements();
    SlowStatements(const SlowStatements&) = delete;
    SlowStatements& operator=(const SlowStatements&) = delete;
};

/// Connects the viewer to a simulated sonar (started here) and points the
/// recordings at `folder`.
std::unique_ptr<Sim::SimulatedSonar> connectViewer(ViewerSession& viewer, std::uint32_t serial,
                                                   const std::filesystem::path& folder);

/// Opens a log through the main toolbar's open button, as a user would;
/// whether the viewer then plays it.
bool openThroughToolbar(ViewerSession& viewer, const std::filesystem::path& path);

/// Records about `entries` entries through the capture toolbar's buttons;
/// returns the recording's path (empty on failure, reported to GoogleTest).
std::filesystem::path recordEntries(ViewerSession& viewer, int entries);

} // namespace Keldar::OndrixLumivane::Testing
