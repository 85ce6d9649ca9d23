#pragma once

// Recording and log-file helpers shared by the capture and playback tests.

#include "support/ViewerTestSupport.h"

#include <keldar/logging/SqliteLogFile.h>

#include <QString>
#include <QWidget>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <utility>
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

/// While it lives, SQLite connections opened meanwhile can be held in the
/// middle of a statement, but only off the GUI thread: work the viewer runs
/// on a thread of its own can be stopped where it stands while the test looks
/// at the window; work on the GUI thread is never held.
class WorkerGate
{
public:
    WorkerGate();
    ~WorkerGate();
    WorkerGate(const WorkerGate&) = delete;
    WorkerGate& operator=(const WorkerGate&) = delete;

    /// From now on a statement off the GUI thread waits at the gate.
    void close();
    /// Lets the work run on for `passes` of SQLite's progress calls (10
    /// virtual machine steps each), then wait again.
    void step(int passes);
    /// Lets everything through from now on.
    void open();
    /// Whether a statement is waiting at the gate now.
    [[nodiscard]] bool holding() const;
    /// Whether any statement ever waited.
    [[nodiscard]] bool everHeld() const;
};

/// Watches for the viewer's progress dialog while work held at `gate` waits:
/// steps the work on until the dialog has moved on from its first value, asks
/// the window to paint and waits for it, notes how the dialog looks, presses
/// its Cancel button when asked to, and opens the gate. The gate is closed
/// here; the work is started after.
class HeldWorkWatcher
{
public:
    HeldWorkWatcher(WorkerGate& gate, QWidget& window, bool cancel);
    ~HeldWorkWatcher();
    HeldWorkWatcher(const HeldWorkWatcher&) = delete;
    HeldWorkWatcher& operator=(const HeldWorkWatcher&) = delete;

    /// The dialog moved and the window painted while the work waited.
    bool sawTheWindowLiveWhileHeld = false;
    bool cancelled = false;
    QString label;
    std::pair<int, int> range;
    QString styleClass;
    /// No parent, application-modal and frameless: in front of every window.
    bool blocksEverything = false;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

/// Presses "Show in folder" on the toast on show that reads `text`; false
/// when there is no such toast or it has no such button.
bool showFolderFromToast(ViewerSession& viewer, const std::string& text);

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
