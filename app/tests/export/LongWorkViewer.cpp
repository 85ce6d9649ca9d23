// Not a test: the viewer program itself (its own start-up, signal handling
// and quit) with a file named on its command line, on which it starts long
// work as soon as the file is open, as the user would: LUMIVANE_TEST_WORK
// names it ("video", "log", "legacy" through the export panel; "conversion"
// answers Yes when asked to convert an older-format file). The log's frame
// count comes in LUMIVANE_TEST_LOG_FRAMES (the export panel counts a log's
// frames once it is open). SignalDuringWorkTest signals it part way.
//
// Every read and write SQLite makes off the GUI thread is slowed, so that the
// work is still running when the signal comes, whatever the machine's speed;
// the GUI thread, which handles the signal, runs at full speed.

#include "application/Startup.h"
#include "export/VideoExportOptionsDialog.h"
#include "playback/ExportModal.h"

#include <keldar/gui/RangeSlider.h>

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <sqlite3.h>

#include <chrono>
#include <thread>

using namespace Keldar::OndrixLumivane;

namespace {

std::thread::id guiThread;

// A file system for SQLite that reads and writes as the default one does,
// slowly off the GUI thread, and never maps a file into memory (so that every
// page read is a read).
sqlite3_vfs* realVfs = nullptr;
sqlite3_vfs slowVfs;

struct SlowFile
{
    sqlite3_file base;
    sqlite3_file* real;
};

sqlite3_file* real(sqlite3_file* file)
{
    return reinterpret_cast<SlowFile*>(file)->real;
}

void slowDown()
{
    if (std::this_thread::get_id() != guiThread) {
        std::this_thread::sleep_for(std::chrono::microseconds(800));
    }
}

const sqlite3_io_methods slowMethods = {
    3,
    [](sqlite3_file* f) {
        const int rc = real(f)->pMethods ? real(f)->pMethods->xClose(real(f)) : SQLITE_OK;
        sqlite3_free(real(f));
        return rc;
    },
    [](sqlite3_file* f, void* into, int amount, sqlite3_int64 offset) {
        slowDown();
        return real(f)->pMethods->xRead(real(f), into, amount, offset);
    },
    [](sqlite3_file* f, const void* from, int amount, sqlite3_int64 offset) {
        slowDown();
        return real(f)->pMethods->xWrite(real(f), from, amount, offset);
    },
    [](sqlite3_file* f, sqlite3_int64 size) { return real(f)->pMethods->xTruncate(real(f), size); },
    [](sqlite3_file* f, int flags) { return real(f)->pMethods->xSync(real(f), flags); },
    [](sqlite3_file* f, sqlite3_int64* size) { return real(f)->pMethods->xFileSize(real(f), size); },
    [](sqlite3_file* f, int level) { return real(f)->pMethods->xLock(real(f), level); },
    [](sqlite3_file* f, int level) { return real(f)->pMethods->xUnlock(real(f), level); },
    [](sqlite3_file* f, int* held) { return real(f)->pMethods->xCheckReservedLock(real(f), held); },
    [](sqlite3_file* f, int op, void* argument) { return real(f)->pMethods->xFileControl(real(f), op, argument); },
    [](sqlite3_file* f) { return real(f)->pMethods->xSectorSize(real(f)); },
    [](sqlite3_file* f) { return real(f)->pMethods->xDeviceCharacteristics(real(f)); },
    [](sqlite3_file* f, int region, int size, int extend, void volatile** mapped) {
        return real(f)->pMethods->xShmMap(real(f), region, size, extend, mapped);
    },
    [](sqlite3_file* f, int offset, int count, int flags) {
        return real(f)->pMethods->xShmLock(real(f), offset, count, flags);
    },
    [](sqlite3_file* f) { real(f)->pMethods->xShmBarrier(real(f)); },
    [](sqlite3_file* f, int remove) { return real(f)->pMethods->xShmUnmap(real(f), remove); },
    [](sqlite3_file*, sqlite3_int64, int, void** mapped) {
        *mapped = nullptr;
        return SQLITE_OK;
    },
    [](sqlite3_file*, sqlite3_int64, void*) { return SQLITE_OK; },
};

int openSlowly(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags)
{
    auto* slow = reinterpret_cast<SlowFile*>(file);
    slow->base.pMethods = nullptr;
    slow->real = static_cast<sqlite3_file*>(sqlite3_malloc(realVfs->szOsFile));
    if (slow->real == nullptr) {
        return SQLITE_NOMEM;
    }
    const int rc = realVfs->xOpen(realVfs, name, slow->real, flags, outFlags);
    if (rc != SQLITE_OK) {
        if (slow->real->pMethods != nullptr) {
            slow->real->pMethods->xClose(slow->real);
        }
        sqlite3_free(slow->real);
        return rc;
    }
    slow->base.pMethods = &slowMethods;
    return SQLITE_OK;
}

void useTheSlowFileSystem()
{
    // The viewer makes an application more than once as it starts.
    if (realVfs != nullptr) {
        return;
    }
    realVfs = sqlite3_vfs_find(nullptr);
    slowVfs = *realVfs;
    slowVfs.zName = "slow-off-the-gui-thread";
    slowVfs.szOsFile = sizeof(SlowFile);
    slowVfs.xOpen = &openSlowly;
    sqlite3_vfs_register(&slowVfs, 1);
}

// Whether the work was started on `panel`'s log.
bool startExport(ExportModal& panel, const QString& work)
{
    const int lastFrame = qEnvironmentVariableIntValue("LUMIVANE_TEST_LOG_FRAMES") - 1;
    if (panel.getRangeSlider()->maximum() != lastFrame) {
        return false;
    }
    panel.getRangeSlider()->setSpan(0, lastFrame);
    if (work == QLatin1String("video")) {
        panel.getVideoOptionsDialog()->findChild<QPushButton*>(QStringLiteral("exportButton"))->click();
    } else if (work == QLatin1String("log")) {
        panel.getLogFileAction()->trigger();
    } else if (work == QLatin1String("legacy")) {
        panel.getLegacyLogFileAction()->trigger();
    }
    return true;
}

void startWorkOnceTheFileIsOpen()
{
    guiThread = std::this_thread::get_id();
    useTheSlowFileSystem();
    const QString work = qEnvironmentVariable("LUMIVANE_TEST_WORK", QStringLiteral("video"));
    auto* poll = new QTimer(QCoreApplication::instance());
    QObject::connect(poll, &QTimer::timeout, [poll, work] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (work == QLatin1String("conversion")) {
                // The question before converting; the conversion runs behind it.
                if (auto* question = qobject_cast<QMessageBox*>(window); question && question->isVisible()) {
                    poll->stop();
                    question->button(QMessageBox::Yes)->click();
                    return;
                }
                continue;
            }
            auto* panel = window->findChild<ExportModal*>();
            if (panel != nullptr && startExport(*panel, work)) {
                poll->stop();
                return;
            }
        }
    });
    poll->start(50);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startWorkOnceTheFileIsOpen)

int main(int argc, char** argv)
{
    return runViewer(argc, argv);
}
