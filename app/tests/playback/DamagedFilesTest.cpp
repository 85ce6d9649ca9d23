// Damaged and odd files through the real window: every input the log file
// fuzzers start from (damaged logs among them, some with the journal their
// writer left beside them) is opened as a user would and played to its end,
// or refused with a message; nothing crashes or hangs, and no file is
// written, nor any journal or index file touched, but by a conversion the
// user accepted or a recovery into a new file.

#include "LogBundle.h"
#include "support/LogTestSupport.h"
#include "support/OlderFormatFiles.h"

#include "application/LumivaneWindow.h"
#include "controller/MainController.h"
#include "playback/PlaybackToolbar.h"

#include "playback/BookmarkControls.h"
#include "playback/BookmarkListWidget.h"

#include <keldar/gui/PopOutWidgetButton.h>
#include <keldar/gui/SvgButton.h>
#include <keldar/gui/Toast.h>
#include <keldar/gui/ToastDisplayManager.h>

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <vector>

using namespace Keldar::OndrixLumivane;
using namespace Keldar::OndrixLumivane::Testing;

namespace {

std::vector<std::filesystem::path> fuzzInputs()
{
    std::vector<std::filesystem::path> inputs;
    for (const char* folder : {"logfile/corpus", "legacylog/corpus", "legacylog/regressions"}) {
        for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(KELDAR_FUZZ_DIR) / folder)) {
            if (entry.is_regular_file() && entry.path().filename() != ".keep") {
                inputs.push_back(entry.path());
            }
        }
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

std::vector<std::string> namesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Every file of a folder, name to bytes: the listing and the contents.
std::map<std::string, FileBytes> folderContents(const std::filesystem::path& folder)
{
    std::map<std::string, FileBytes> contents;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        contents[entry.path().filename().string()] = bytesOnDisk(entry.path());
    }
    return contents;
}

// Writes a corpus input into `folder` as a user would find it: a log, and
// the journal its writer left beside it for the inputs that carry one.
std::filesystem::path unpackInto(const std::filesystem::path& input, const std::filesystem::path& folder)
{
    std::ifstream in(input, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    const auto path = folder / input.filename();
    Keldar::Fuzzing::writeLogBundle(bytes.data(), bytes.size(), path);
    return path;
}

// The toast that says `text`, or null.
Keldar::GUI::Widgets::Notifications::Toast* toastSaying(ViewerSession& viewer, const QString& text)
{
    for (auto* toast : viewer.window->getToastDisplayManager()->getToasts()) {
        if (toast != nullptr && !toast->isHidden() && toast->getText() == text) {
            return toast;
        }
    }
    return nullptr;
}

} // namespace

TEST(DamagedFiles, EveryFuzzInputPlaysToItsEndOrIsRefusedAndIsLeftAsItWas)
{
    ViewerSession viewer;
    const auto inputs = fuzzInputs();
    ASSERT_GE(inputs.size(), 12U);
    QSignalSpy stopped(viewer.controller, &MainController::playbackStopped);
    auto* toolbar = viewer.window->getPlaybackToolbar();
    int played = 0;
    int refused = 0;
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.string());
        // Each in a folder of its own, so that anything written beside it shows.
        QTemporaryDir folder;
        const std::filesystem::path copy = unpackInto(input, folder.path().toStdString());
        const auto before = folderContents(copy.parent_path());
        viewer.messageBoxes.clear();

        if (openThroughToolbar(viewer, copy)) {
            const auto stops = stopped.size();
            QTest::mouseClick(toolbar->getPlayButton(), Qt::LeftButton);
            EXPECT_TRUE(waitFor([&] { return stopped.size() > stops && !viewer.controller->isPlayingLog(); }));
            viewer.controller->closeLogFile();
            ++played;
        } else {
            ++refused;
            // The question about the older format is no answer by itself.
            const bool told = std::any_of(viewer.messageBoxes.begin(), viewer.messageBoxes.end(),
                                          [](const auto& box) { return box.first != "Legacy Log File"; }) ||
                              !viewer.shownToasts().isEmpty();
            EXPECT_TRUE(told);
        }
        EXPECT_EQ(viewer.window->getMode(), LumivaneWindow::NoSource);
        // Only a conversion the user accepted writes: the new log takes the
        // file's place and the original stays beside it, byte for byte.
        const std::filesystem::path kept = copy.string() + ".old";
        const bool converted = std::filesystem::exists(kept);
        const bool asked = std::any_of(viewer.messageBoxes.begin(), viewer.messageBoxes.end(),
                                       [](const auto& box) { return box.first == "Legacy Log File"; });
        EXPECT_TRUE(asked || !converted);
        if (converted) {
            EXPECT_EQ(bytesOnDisk(kept), before.at(copy.filename().string()));
            EXPECT_EQ(namesIn(copy.parent_path()),
                      (std::vector<std::string>{copy.filename().string(), kept.filename().string()}));
        } else {
            // Every byte of the file and of any journal or index beside it.
            EXPECT_EQ(folderContents(copy.parent_path()), before);
        }
    }
    // Both ways are met, or the corpora no longer test what they should.
    EXPECT_GT(played, 0);
    EXPECT_GT(refused, 0);
}

TEST(DamagedFiles, ARecordingCutOffByAPowerLossOpensWithEveryCompleteEntryAndSaysSo)
{
    ViewerSession viewer;
    QTemporaryDir folder;
    const std::filesystem::path whole = folder.filePath("whole.ondrix").toStdString();
    constexpr int entries = 120;
    {
        Keldar::Logging::SqliteLogFile file(whole.string(), "UTC", "test", "1", 0, 1000);
        Keldar::Logging::DataSource source{-1, KD_LogDataSourceType_Sonar, "Ondrix test"};
        file.addDataSource(source);
        // Payloads that fill most of a page each, so that a cut loses whole entries.
        for (int i = 0; i < entries; ++i) {
            const std::vector<std::uint8_t> payload(3000, static_cast<std::uint8_t>(i));
            ASSERT_TRUE(file.logData(Keldar::Logging::DataEntry{0, source.id, 1, payload, 1000 + 100 * i}));
        }
    }
    const QString damaged = "The end of the log file is damaged: it plays up to its last complete entry.";
    auto frames = [&] { return static_cast<int>(viewer.controller->getLogEntryIndex().size()); };

    // A whole recording plays every entry and says nothing of damage.
    ASSERT_TRUE(openThroughToolbar(viewer, whole));
    EXPECT_EQ(frames(), entries);
    EXPECT_FALSE(viewer.toastShown(damaged));
    viewer.controller->closeLogFile();

    // The disk lost the last quarter of the file, at a block boundary.
    const std::filesystem::path cut = folder.filePath("cut.ondrix").toStdString();
    std::filesystem::copy_file(whole, cut);
    std::filesystem::resize_file(cut, std::filesystem::file_size(cut) * 3 / 4 / 4096 * 4096);
    const FileBytes cutBytes = bytesOnDisk(cut);
    ASSERT_TRUE(openThroughToolbar(viewer, cut));
    EXPECT_TRUE(waitFor([&] { return viewer.toastShown(damaged); }));
    EXPECT_GE(frames(), entries / 2);
    EXPECT_LT(frames(), entries);
    // Every entry listed plays.
    QSignalSpy played(viewer.controller, &MainController::framePlayed);
    QSignalSpy stopped(viewer.controller, &MainController::playbackStopped);
    viewer.controller->setPlaybackSpeed(16.0F);
    QTest::mouseClick(viewer.window->getPlaybackToolbar()->getPlayButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !stopped.isEmpty(); }));
    EXPECT_GE(played.size(), frames() - 1);
    EXPECT_FALSE(viewer.toastShown("Playback stopped: the next entry of the log file could not be read."));
    viewer.controller->closeLogFile();
    EXPECT_EQ(bytesOnDisk(cut), cutBytes);

    // Power lost while the recorder still had the file open: the file and
    // its journal as they stood. Every committed entry plays, and the viewer
    // says the recording was cut off.
    const std::filesystem::path midWrite = folder.filePath("midwrite.ondrix").toStdString();
    {
        Keldar::Logging::SqliteLogFile file(folder.filePath("open.ondrix").toStdString(), "UTC", "test", "1", 0, 1000);
        Keldar::Logging::DataSource source{-1, KD_LogDataSourceType_Sonar, "Ondrix test"};
        file.addDataSource(source);
        for (int i = 0; i < 50; ++i) {
            const std::vector<std::uint8_t> payload(3000, static_cast<std::uint8_t>(i));
            ASSERT_TRUE(file.logData(Keldar::Logging::DataEntry{0, source.id, 1, payload, 1000 + 100 * i}));
        }
        // The journal first: pages copied into the file meanwhile are in it too.
        const std::string open = folder.filePath("open.ondrix").toStdString();
        std::filesystem::copy_file(open + "-wal", midWrite.string() + "-wal");
        std::filesystem::copy_file(open, midWrite);
    }
    ASSERT_GT(std::filesystem::file_size(midWrite.string() + "-wal"), 0U);
    ASSERT_TRUE(openThroughToolbar(viewer, midWrite));
    EXPECT_TRUE(waitFor([&] {
        return viewer.toastShown(
            "The recording was cut off while it was being written: it plays up to its last complete entry.");
    }));
    EXPECT_EQ(frames(), 50);
    viewer.controller->closeLogFile();
}

TEST(DamagedFiles, ADamagedLogShowsItsReadableBookmarksRefusesNewOnesAndRecoversIntoANewFile)
{
    ViewerSession viewer;
    QTemporaryDir folder;
    const std::filesystem::path damaged =
        unpackInto(std::filesystem::path(KELDAR_FUZZ_DIR) / "logfile/corpus/damaged-bad-bookmark-page.ondrix",
                   folder.path().toStdString());
    const auto before = folderContents(damaged.parent_path());
    ASSERT_TRUE(openThroughToolbar(viewer, damaged));
    const QString message = "The log file is damaged: it plays the entries that can still be read.";
    ASSERT_TRUE(waitFor([&] { return toastSaying(viewer, message) != nullptr; }));

    // The bookmark on an entry that reads is listed, the one whose entry was
    // lost goes to the next entry that reads.
    auto* toolbar = viewer.window->getPlaybackToolbar();
    QTest::mouseClick(toolbar->getBookmarksButton(), Qt::LeftButton);
    BookmarkListWidget* list = toolbar->getBookmarkControls()->getList();
    QStringList titles;
    for (int i = 0; i < list->count(); ++i) {
        titles << list->item(i)->text();
    }
    EXPECT_TRUE(titles.contains("readable")) << titles.join(", ").toStdString();

    // A new bookmark would be written into a damaged file: refused, saying why.
    const auto outcome = viewer.controller->addBookmark(viewer.controller->getLogEntryIndex().back(), "new", "");
    EXPECT_FALSE(outcome.done);
    EXPECT_TRUE(outcome.message.contains("recover it into a new file")) << outcome.message.toStdString();
    EXPECT_EQ(folderContents(damaged.parent_path()), before);

    // Recovery writes a new file beside it and says what was lost.
    auto* toast = toastSaying(viewer, message);
    ASSERT_NE(toast, nullptr);
    QTest::mouseClick(toast->getAffirmativeButton(), Qt::LeftButton);
    const std::filesystem::path recovered = damaged.parent_path() / "damaged-bad-bookmark-page_recovered.ondrix";
    ASSERT_TRUE(waitFor([&] {
        const QStringList shown = viewer.shownToasts();
        return std::any_of(shown.begin(), shown.end(),
                           [](const QString& text) { return text.startsWith("Recovered "); });
    }));
    ASSERT_TRUE(std::filesystem::exists(recovered));
    auto contents = folderContents(damaged.parent_path());
    contents.erase(recovered.filename().string());
    EXPECT_EQ(contents, before);
    const auto played = viewer.controller->getLogEntryIndex().size();
    viewer.controller->closeLogFile();
    EXPECT_EQ(folderContents(damaged.parent_path()).size(), before.size() + 1);

    const auto copy = openLog(recovered);
    EXPECT_FALSE(copy->lookForDamage());
    EXPECT_EQ(copy->getBookmarks().size(), 2U);
    EXPECT_EQ(copy->getEntryIndex({}).size(), played);
}

TEST(DamagedFiles, ASoundLogIsOpenedForWritingOnlyWhenABookmarkIsAdded)
{
    ViewerSession viewer;
    QTemporaryDir folder;
    const std::filesystem::path log = folder.filePath("sound.ondrix").toStdString();
    std::filesystem::copy_file(std::filesystem::path(KELDAR_FUZZ_DIR) / "logfile/corpus/raw-v4.ondrix", log);
    const auto before = folderContents(log.parent_path());
    ASSERT_TRUE(openThroughToolbar(viewer, log));
    EXPECT_EQ(folderContents(log.parent_path()), before);
    const auto outcome = viewer.controller->addBookmark(viewer.controller->getLogEntryIndex().back(), "added", "");
    EXPECT_TRUE(outcome.done) << outcome.message.toStdString();
    viewer.controller->closeLogFile();
    EXPECT_NE(bytesOnDisk(log), before.at("sound.ondrix"));
    EXPECT_EQ(namesIn(log.parent_path()), std::vector<std::string>{"sound.ondrix"});
    EXPECT_EQ(openLog(log)->getBookmarks().size(), 2U);
}
