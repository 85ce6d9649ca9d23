// Logs of the older format through the real window: the conversion question,
// its progress dialog and what each answer leaves on disk, and the export of
// a range back to the older format from the export panel.

#include "support/LogTestSupport.h"
#include "support/OlderFormatFiles.h"

#include "application/LumivaneWindow.h"
#include "base/FileManager.h"
#include "base/MessageBoxes.h"
#include "controller/MainController.h"
#include "playback/ExportModal.h"
#include "playback/PlaybackToolbar.h"
#include "playback/ScrubControl.h"
#include "playback/ScrubSlider.h"
#include "sonarcontrols/MainToolbar.h"

#include <keldar/gui/RangeSlider.h>
#include <keldar/gui/SvgButton.h>
#include <keldar/logging/legacy/LegacyConversion.h>

#include <QAction>
#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Keldar::OndrixLumivane;
using namespace Keldar::OndrixLumivane::Testing;
namespace Legacy = Keldar::Logging::Legacy;

namespace {

// How a message box looked when the viewer showed it.
struct ShownBox
{
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
    QString styleClass;
    Qt::WindowModality modality;
    bool frameless;
};

// Answers every message box with `answer`, noting how each looked.
struct BoxAnswers
{
    BoxAnswers()
    {
        MessageBoxes::setPresenter([this](QMessageBox& box) {
            shown.push_back({box.windowTitle(), box.text(), box.standardButtons(), box.property("class").toString(),
                             box.windowModality(), box.windowFlags().testFlag(Qt::FramelessWindowHint)});
            return static_cast<int>(answer);
        });
    }

    QMessageBox::StandardButton answer = QMessageBox::Yes;
    std::vector<ShownBox> shown;
};

std::filesystem::path besideWith(const std::filesystem::path& path, const std::string& suffix)
{
    return path.parent_path() / (path.stem().string() + suffix + path.extension().string());
}

} // namespace

TEST(LegacyLog, DecliningLeavesTheFileAndAcceptingConvertsAndPlaysIt)
{
    ViewerSession viewer;
    BoxAnswers boxes;
    QTemporaryDir folder;
    const OlderFormatFile file(folder.filePath("dive.ondrix").toStdString(), 12);
    viewer.controller->setLogCompression(true);

    boxes.answer = QMessageBox::No;
    openThroughToolbar(viewer, file.path);
    ASSERT_EQ(boxes.shown.size(), 1U);
    const ShownBox& question = boxes.shown.front();
    EXPECT_EQ(question.title, "Legacy Log File");
    EXPECT_EQ(question.text, "The log file is in an old file format. Do you want to convert it to the new format? "
                             "(N.B. conversion adheres to compression setting)");
    EXPECT_EQ(question.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(question.styleClass, "inverted");
    EXPECT_EQ(question.modality, Qt::ApplicationModal);
    EXPECT_TRUE(question.frameless);
    EXPECT_EQ(viewer.window->getMode(), LumivaneWindow::NoSource);
    EXPECT_EQ(bytesOnDisk(file.path), file.bytes);
    EXPECT_FALSE(std::filesystem::exists(file.path.string() + ".old"));
    EXPECT_TRUE(viewer.shownToasts().isEmpty()) << viewer.shownToasts().join('\n').toStdString();

    boxes.answer = QMessageBox::Yes;
    openThroughToolbar(viewer, file.path);
    EXPECT_TRUE(viewer.toastShown(
        QString::fromStdString("Conversion successful! The original is kept as " + file.path.string() + ".old")))
        << viewer.shownToasts().join('\n').toStdString();
    ASSERT_EQ(viewer.window->getMode(), LumivaneWindow::LogPlayback);
    EXPECT_EQ(viewer.window->windowTitle().toStdString(), file.path.string());
    EXPECT_EQ(viewer.window->getPlaybackToolbar()->getScrubControl()->getSlider()->maximum(), 11);
    EXPECT_TRUE(waitFor([&] { return viewer.fanCoverage() > 0.05; })) << "the first frame is shown";
    EXPECT_EQ(bytesOnDisk(file.path.string() + ".old"), file.bytes) << "the original is kept as it was";
    auto converted = openLog(file.path);
    EXPECT_NE(converted->getCompressionLevel(), 0) << "the compression setting is followed";
    const auto entries = converted->readEntries(-1, -1, {}, -1);
    ASSERT_EQ(entries.size(), file.payloads.size());
    EXPECT_EQ(entries.back().payload, file.payloads.back());
}

TEST(LegacyLog, CancelledAndFailedConversionsLeaveTheOriginalAlone)
{
    ViewerSession viewer;
    BoxAnswers boxes;
    QTemporaryDir folder;
    const OlderFormatFile file(folder.filePath("dive.ondrix").toStdString(), 30);
    {
        WorkerGate gate;
        HeldWorkWatcher progress(gate, *viewer.window, true);
        openThroughToolbar(viewer, file.path);
        EXPECT_TRUE(progress.sawTheWindowLiveWhileHeld) << "the conversion runs off the GUI thread";
        EXPECT_TRUE(progress.cancelled);
        EXPECT_EQ(progress.label, "Converting...");
        EXPECT_EQ(progress.range, std::make_pair(0, static_cast<int>(file.bytes.size() / 1024)));
        EXPECT_EQ(progress.styleClass, "inverted");
        EXPECT_TRUE(progress.blocksEverything);
    }
    EXPECT_TRUE(viewer.toastShown("Conversion cancelled."));
    EXPECT_EQ(viewer.window->getMode(), LumivaneWindow::NoSource);
    EXPECT_EQ(filesIn(folder.path().toStdString(), ".ondrix"), std::vector<std::filesystem::path>{file.path})
        << "no converted or temporary file is left";
    EXPECT_FALSE(std::filesystem::exists(file.path.string() + ".old"));
    EXPECT_EQ(bytesOnDisk(file.path), file.bytes);

    // A record whose header is damaged stops the conversion with the reason.
    FileBytes damaged = file.bytes;
    damaged[48 + 40 + file.payloads[0].size()] ^= 0xFF;
    file.write(damaged);
    openThroughToolbar(viewer, file.path);
    ASSERT_EQ(boxes.shown.size(), 3U);
    EXPECT_EQ(boxes.shown.back().title, "Conversion Error");
    EXPECT_EQ(boxes.shown.back().text,
              "The log file could not be converted because: The file is not a well formed log file.");
    EXPECT_EQ(viewer.window->getMode(), LumivaneWindow::NoSource);
    EXPECT_EQ(filesIn(folder.path().toStdString(), ".ondrix"), std::vector<std::filesystem::path>{file.path});
    EXPECT_EQ(bytesOnDisk(file.path), damaged);
}

TEST(LegacyLog, ARangeIsExportedToTheOlderFormatFromTheExportPanel)
{
    ViewerSession viewer;
    BoxAnswers boxes;
    QTemporaryDir folder;
    const OlderFormatFile file(folder.filePath("dive.ondrix").toStdString(), 10);
    // Before the log opens, so that its reads can be held.
    WorkerGate gate;
    openThroughToolbar(viewer, file.path);
    ASSERT_EQ(viewer.window->getMode(), LumivaneWindow::LogPlayback);
    auto* toolbar = viewer.window->getPlaybackToolbar();
    ExportModal* panel = toolbar->getExportModal();
    QAction* legacy = panel->getLegacyLogFileAction();
    EXPECT_EQ(legacy->text(), "Legacy log file");
    EXPECT_EQ(legacy->toolTip(), "A Lumivane V1 log file.");
    const auto exported = besideWith(file.path, "_legacy");

    auto exportSpan = [&](int lower, int upper) {
        QTest::mouseClick(toolbar->getExportButton(), Qt::LeftButton);
        ASSERT_TRUE(panel->isVisible());
        panel->getRangeSlider()->setSpan(lower, upper);
        legacy->trigger();
        EXPECT_FALSE(panel->isVisible());
    };
    {
        HeldWorkWatcher progress(gate, *viewer.window, true);
        exportSpan(2, 8);
        EXPECT_TRUE(progress.sawTheWindowLiveWhileHeld) << "the export runs off the GUI thread";
        EXPECT_TRUE(progress.cancelled);
        EXPECT_EQ(progress.label, "Exporting...");
        EXPECT_EQ(progress.range, std::make_pair(2, 8));
        EXPECT_EQ(progress.styleClass, "");
        EXPECT_TRUE(progress.blocksEverything);
    }
    EXPECT_TRUE(viewer.toastShown("Export cancelled."));
    EXPECT_FALSE(std::filesystem::exists(exported));

    std::vector<QUrl> shownFolders;
    FileManager::setOpener([&](const QUrl& folder) {
        shownFolders.push_back(folder);
        return true;
    });
    exportSpan(2, 8);
    EXPECT_TRUE(showFolderFromToast(viewer, "Export finished successfully! Saved as " + exported.string()))
        << viewer.shownToasts().join('\n').toStdString();
    EXPECT_EQ(shownFolders, std::vector<QUrl>{QUrl::fromLocalFile(folder.path())});
    FileManager::setOpener({});
    ASSERT_TRUE(std::filesystem::exists(exported));
    const auto back = Legacy::convertLegacyLogFile(exported.string(), {"UTC", "test", 0});
    ASSERT_TRUE(back);
    const auto entries = back->readEntries(-1, -1, {}, -1);
    ASSERT_EQ(entries.size(), 7U);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].payload, file.payloads[2 + i]) << i;
        EXPECT_EQ(entries[i].type, 1U) << i;
    }

    // An entry that no older record can carry is left out, and the toast says so.
    viewer.controller->closeLogFile();
    {
        Keldar::Logging::SqliteLogFile log(file.path);
        const auto last = log.readEntry(log.getLastEntryId());
        ASSERT_TRUE(last);
        ASSERT_TRUE(log.logData({0, last->dataSourceId, 20, {1, 2}, last->timestamp + 100}));
    }
    ASSERT_TRUE(openThroughToolbar(viewer, file.path));
    exportSpan(0, 10);
    EXPECT_TRUE(
        viewer.toastShown(QString::fromStdString("Exported 10 of 11 frames: 1 the older format cannot hold. Saved as " +
                                                 besideWith(file.path, "_legacy_1").string())))
        << viewer.shownToasts().join('\n').toStdString();

    // With its folder gone the file cannot be made; the user is told why.
    std::filesystem::remove_all(folder.path().toStdString());
    exportSpan(0, 1);
    EXPECT_TRUE(viewer.toastShown("Something went wrong: Could not create new file"))
        << viewer.shownToasts().join('\n').toStdString();
}
