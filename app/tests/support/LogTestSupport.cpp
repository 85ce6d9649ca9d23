#include "support/LogTestSupport.h"

#include "application/LumivaneWindow.h"
#include "capture/CaptureToolbar.h"
#include "controller/MainController.h"
#include "sonarcontrols/MainToolbar.h"

#include <keldar/gui/SvgButton.h>
#include <keldar/gui/Toast.h>
#include <keldar/gui/ToastDisplayManager.h>

#include <QApplication>
#include <QCoreApplication>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

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

namespace {
struct GateState
{
    std::mutex mutex;
    std::condition_variable changed;
    bool closed = false;
    bool holding = false;
    bool everHeld = false;
    int passes = 0;
};

GateState& gate()
{
    static GateState state;
    return state;
}

int waitAtGate(void*)
{
    if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
        return 0;
    }
    GateState& state = gate();
    std::unique_lock lock(state.mutex);
    if (!state.closed) {
        return 0;
    }
    if (state.passes > 0) {
        --state.passes;
        return 0;
    }
    state.holding = true;
    state.everHeld = true;
    // Bounded so that a failing test ends rather than hangs.
    state.changed.wait_for(lock, std::chrono::seconds(60), [&] { return !state.closed || state.passes > 0; });
    state.holding = false;
    return 0;
}

int installGate(sqlite3* db, char**, const void*)
{
    sqlite3_progress_handler(db, 10, &waitAtGate, nullptr);
    return SQLITE_OK;
}
} // namespace

WorkerGate::WorkerGate()
{
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(&installGate));
}

WorkerGate::~WorkerGate()
{
    open();
    sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(&installGate));
    const std::lock_guard lock(gate().mutex);
    gate().everHeld = false;
}

void WorkerGate::close()
{
    const std::lock_guard lock(gate().mutex);
    gate().closed = true;
}

void WorkerGate::step(int passes)
{
    {
        const std::lock_guard lock(gate().mutex);
        gate().passes = passes;
    }
    gate().changed.notify_all();
}

void WorkerGate::open()
{
    {
        const std::lock_guard lock(gate().mutex);
        gate().closed = false;
    }
    gate().changed.notify_all();
}

bool WorkerGate::holding() const
{
    const std::lock_guard lock(gate().mutex);
    return gate().holding;
}

bool WorkerGate::everHeld() const
{
    const std::lock_guard lock(gate().mutex);
    return gate().everHeld;
}

struct HeldWorkWatcher::Private : QObject
{
    Private(HeldWorkWatcher& watcher, WorkerGate& gate, QWidget& window, bool cancel)
        : watcher(watcher)
        , gate(gate)
        , window(window)
        , cancel(cancel)
    {
        window.installEventFilter(this);
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, this, &Private::look);
        gate.close();
        timer.start();
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &window && event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }

    QProgressDialog* dialog() const
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* found = qobject_cast<QProgressDialog*>(widget);
            if (found != nullptr && found->isVisible() && found->objectName() == "progress-dialog") {
                return found;
            }
        }
        return nullptr;
    }

    void look()
    {
        QProgressDialog* shown = dialog();
        if (shown == nullptr || !gate.holding()) {
            return;
        }
        watcher.label = shown->labelText();
        watcher.range = {shown->minimum(), shown->maximum()};
        watcher.styleClass = shown->property("class").toString();
        watcher.blocksEverything = shown->parentWidget() == nullptr &&
                                   shown->windowModality() == Qt::ApplicationModal &&
                                   shown->windowFlags().testFlag(Qt::FramelessWindowHint);
        if (refreshTimer == nullptr) {
            refreshTimer = shown->findChild<QTimer*>(QStringLiteral("progress-refresh"));
            if (refreshTimer == nullptr) {
                ADD_FAILURE() << "the progress dialog has no refresh timer";
                gate.open();
                timer.stop();
                return;
            }
            QObject::connect(refreshTimer, &QTimer::timeout, this, [this] { ++refreshes; });
        }
        if (shown->value() <= shown->minimum()) {
            // A little work at a time, each step an eighth of the work done so
            // far (a step past the work's end would miss it), and the next
            // only once the dialog has followed the work where it waits.
            if (refreshesAtHold < 0) {
                refreshesAtHold = refreshes;
            } else if (refreshes > refreshesAtHold) {
                const int passes = std::max(1, passed / 8);
                passed += passes;
                refreshesAtHold = -1;
                gate.step(passes);
            }
            return;
        }
        if (paintsAsked < 0) {
            paintsAsked = paints;
            window.update();
            return;
        }
        if (paints == paintsAsked) {
            return;
        }
        watcher.sawTheWindowLiveWhileHeld = true;
        if (cancel && !watcher.cancelled) {
            watcher.cancelled = true;
            QTest::mouseClick(shown->findChild<QPushButton*>(), Qt::LeftButton);
        }
        timer.stop();
        gate.open();
    }

    HeldWorkWatcher& watcher;
    WorkerGate& gate;
    QWidget& window;
    bool cancel;
    QTimer timer;
    int paints = 0;
    int paintsAsked = -1;
    QPointer<QTimer> refreshTimer;
    int refreshes = 0;
    int refreshesAtHold = -1;
    int passed = 0;
};

HeldWorkWatcher::HeldWorkWatcher(WorkerGate& gate, QWidget& window, bool cancel)
    : d(std::make_unique<Private>(*this, gate, window, cancel))
{
}

HeldWorkWatcher::~HeldWorkWatcher()
{
    d->gate.open();
}

bool showFolderFromToast(ViewerSession& viewer, const std::string& text)
{
    for (auto* toast : viewer.window->getToastDisplayManager()->getToasts()) {
        if (toast == nullptr || toast->isHidden() || toast->getText() != QString::fromStdString(text)) {
            continue;
        }
        QPushButton* button = toast->getAffirmativeButton();
        if (button == nullptr || button->text() != "Show in folder") {
            return false;
        }
        QTest::mouseClick(button, Qt::LeftButton);
        return true;
    }
    return false;
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
    // The file is made off the GUI thread.
    if (!waitFor([&] { return viewer.controller->isRecording(); })) {
        ADD_FAILURE() << "recording did not start";
        return {};
    }
    const std::filesystem::path path = viewer.controller->getRecordingPath();
    EXPECT_TRUE(waitFor([&] { return viewer.controller->getLastEntryID() >= entries; }));
    QTest::mouseClick(capture->getStopButton(), Qt::LeftButton);
    EXPECT_FALSE(viewer.controller->isRecording());
    // Closed and checked off the GUI thread.
    EXPECT_TRUE(waitFor([&] { return viewer.controller->getState() == SourceState::Live; }));
    return path;
}

} // namespace Keldar::OndrixLumivane::Testing
