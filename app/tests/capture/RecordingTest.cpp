// Recording a live sonar through the real window: the file, its contents,
// the clock, bookmarks while recording, and recordings that cannot be made
// or cannot go on.

#include "support/LogTestSupport.h"

#include "application/LumivaneWindow.h"
#include "base/MessageBoxes.h"
#include "base/SettingsStore.h"
#include "capture/BookmarkDialog.h"
#include "capture/CaptureToolbar.h"
#include "capture/RecordingTimeDisplay.h"
#include "controller/MainController.h"
#include "displaycontrols/AdditionalDisplays.h"
#include "displaycontrols/DisplayControlToolbar.h"
#include "displaycontrols/DisplayPanels.h"
#include "displaycontrols/overlays/OverlayDisplays.h"
#include <keldar/gui/ToggleSwitch.h>

#include <keldar/gui/SvgButton.h>
#include <keldar/ondrix/OndrixSonar.h>
#include <keldar/ondrix/SonarTypes.h>

#include <QDateTime>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <mutex>

using namespace Keldar::OndrixLumivane;
using namespace Keldar::OndrixLumivane::Testing;

namespace {

constexpr std::uint32_t serial = 40011;

std::vector<std::uint8_t> bytesOf(const std::vector<std::byte>& message)
{
    const auto* begin = reinterpret_cast<const std::uint8_t*>(message.data());
    return {begin, begin + message.size()};
}

void click(QWidget* widget)
{
    ASSERT_NE(widget, nullptr);
    ASSERT_TRUE(widget->isVisible()) << widget->objectName().toStdString();
    QTest::mouseClick(widget, Qt::LeftButton);
}

} // namespace

TEST(Recording, RecordsEveryMessageOfTheSonarWithItsDetailsAndAClock)
{
    ViewerSession viewer;
    QTemporaryDir folder;
    auto sonar = connectViewer(viewer, serial, folder.path().toStdString());
    CaptureToolbar* capture = viewer.window->getCaptureToolbar();
    RecordingTimeDisplay* clock = viewer.window->getRecordingTimeDisplay();
    ASSERT_TRUE(capture->isVisible());
    EXPECT_FALSE(capture->getStopButton()->isVisible());
    EXPECT_FALSE(capture->getBookmarkButton()->isVisible());

    // Every message the sonar delivers, as it came off the wire.
    std::mutex mutex;
    std::vector<std::vector<std::uint8_t>> delivered;
    auto* device = viewer.controller->getSonar();
    const std::string model = device->getSpec().name;
    const auto modelNumber = static_cast<std::int64_t>(device->getModelNumber());
    auto listening = device->rawMessage.connect([&](const std::vector<std::byte>& message, auto, int) {
        std::lock_guard lock(mutex);
        delivered.push_back(bytesOf(message));
    });

    // The environment display at the bottom right, where the clock goes.
    auto* displays = viewer.window->getDisplayControlToolbar()->getAdditionalDisplays();
    auto* environment = displays->getEnvironmentDisplay();
    displays->switchFor(environment->getKeyStem())->setState(true);
    ASSERT_TRUE(waitFor([&] { return environment->isVisible(); }));
    const QWidget* area = environment->parentWidget();
    ASSERT_EQ(area, clock->parentWidget());
    environment->move(area->width() - environment->width(), area->height() - environment->height());
    // An open panel stays above the clock.
    auto* panelButton =
        viewer.window->getDisplayControlToolbar()->findChild<QAbstractButton*>(QStringLiteral("filtersButton"));
    panelButton->click();
    const QWidget* panel = viewer.window->getDisplayControlToolbar()->getFilterControls();
    ASSERT_TRUE(waitFor([&] { return panel->isVisible(); }));
    ASSERT_EQ(panel->parentWidget(), area);

    const QString before = QDateTime::currentDateTime().toString("yyyyMMdd_hhmmss");
    QTest::mouseClick(capture->getRecordButton(), Qt::LeftButton);
    // A second press while the file is being made is ignored.
    viewer.controller->startLogging();
    ASSERT_TRUE(waitFor([&] { return viewer.controller->isRecording(); }));
    EXPECT_EQ(filesIn(folder.path().toStdString(), ".ondrix").size(), 1U);
    // Starting again while recording changes nothing.
    const std::string path = viewer.controller->getRecordingPath();
    viewer.controller->startLogging();
    EXPECT_EQ(viewer.controller->getRecordingPath(), path);
    EXPECT_TRUE(capture->getStopButton()->isVisible());
    EXPECT_TRUE(capture->getBookmarkButton()->isVisible());
    EXPECT_FALSE(capture->getRecordButton()->isVisible());
    EXPECT_TRUE(clock->isVisible());
    EXPECT_FALSE(clock->geometry().intersects(environment->geometry()));
    EXPECT_LT(area->children().indexOf(clock), area->children().indexOf(const_cast<QWidget*>(panel)));
    EXPECT_TRUE(waitFor([&] { return clock->getTimeText() == "00:00:02"; })) << clock->getTimeText().toStdString();
    QTest::mouseClick(capture->getStopButton(), Qt::LeftButton);
    const QString after = QDateTime::currentDateTime().toString("yyyyMMdd_hhmmss");
    listening.disconnect();

    // Announced once read back: its entries, where it is.
    ASSERT_TRUE(waitFor([&] { return viewer.controller->getState() == SourceState::Live; }));
    const auto saved = openLog(path)->getEntryCount();
    EXPECT_GT(saved, 0);
    EXPECT_TRUE(viewer.toastShown(
        QStringLiteral("Log file saved: %1 entries in %2").arg(saved).arg(QString::fromStdString(path))))
        << viewer.shownToasts().join('\n').toStdString();
    EXPECT_FALSE(clock->isVisible());
    EXPECT_EQ(clock->getTimeText(), "00:00:00");
    EXPECT_TRUE(capture->getRecordButton()->isVisible());
    EXPECT_FALSE(capture->getStopButton()->isVisible());

    // Named by local time, in the chosen folder.
    const auto files = filesIn(folder.path().toStdString(), ".ondrix");
    ASSERT_EQ(files.size(), 1U);
    EXPECT_EQ(files.front().string(), path);
    const QString stem = QString::fromStdString(files.front().stem().string());
    EXPECT_TRUE(QRegularExpression("^\\d{8}_\\d{6}$").match(stem).hasMatch()) << stem.toStdString();
    EXPECT_TRUE(stem >= before && stem <= after) << stem.toStdString();

    auto log = openLog(files.front());
    const auto sources = log->getDataSources();
    ASSERT_EQ(sources.size(), 1U);
    EXPECT_EQ(sources.front().name, "Ondrix " + model);
    EXPECT_EQ(sources.front().type, KD_LogDataSourceType_Sonar);
    EXPECT_EQ(log->getDataSourceProperty(sources.front().id, "serialNumber"),
              Keldar::Logging::PropertyValue(std::int64_t{serial}));
    EXPECT_EQ(log->getDataSourceProperty(sources.front().id, "modelNumber"),
              Keldar::Logging::PropertyValue(modelNumber));

    // Every entry is one of the delivered messages, in order and without a
    // gap: a contiguous run of them.
    const auto entries = log->readEntries(-1, -1, {}, -1);
    std::lock_guard lock(mutex);
    ASSERT_GE(entries.size(), 15U);
    ASSERT_LE(entries.size(), delivered.size());
    const auto first = std::find(delivered.begin(), delivered.end(), entries.front().payload);
    ASSERT_NE(first, delivered.end());
    const auto offset = static_cast<std::size_t>(first - delivered.begin());
    ASSERT_LE(offset + entries.size(), delivered.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        ASSERT_EQ(entries[i].payload, delivered[offset + i]) << "entry " << i;
        EXPECT_EQ(entries[i].type, 1U); // the simulator sends version-2 ping results
    }
    EXPECT_GE(sonar->counters().pingResultsSent, entries.size());
}

TEST(Recording, AFolderThatIsGoneOrAFileThatFillsUpIsToldAndNothingIsLost)
{
    ViewerSession viewer;
    QTemporaryDir folder;
    const std::filesystem::path gone = folder.filePath("gone").toStdString();
    std::filesystem::create_directory(gone);
    auto sonar = connectViewer(viewer, serial, gone);
    CaptureToolbar* capture = viewer.window->getCaptureToolbar();

    std::filesystem::remove(gone);
    QTest::mouseClick(capture->getRecordButton(), Qt::LeftButton);
    ASSERT_EQ(viewer.messageBoxes.size(), 1U);
    EXPECT_EQ(viewer.messageBoxes.front().first, "Bad Save Location");
    EXPECT_TRUE(viewer.messageBoxes.front().second.startsWith("The save location for log files is not valid"));
    EXPECT_FALSE(std::filesystem::exists(gone));
    EXPECT_FALSE(viewer.controller->isRecording());
    EXPECT_TRUE(capture->getRecordButton()->isVisible());
    EXPECT_FALSE(capture->getStopButton()->isVisible());

    // A disk that fills up while recording: recording stops, the user is
    // told why, and what was written stays readable.
    viewer.controller->setLogLocation(folder.path().toStdString());
    {
        const DiskFullAfterPages full(60);
        QTest::mouseClick(capture->getRecordButton(), Qt::LeftButton);
        ASSERT_TRUE(waitFor([&] {
            return viewer.shownToasts().join('\n').contains("Recording stopped") && !viewer.controller->isRecording() &&
                   capture->getRecordButton()->isVisible();
        }));
    }
    EXPECT_FALSE(viewer.window->getRecordingTimeDisplay()->isVisible());
    EXPECT_FALSE(viewer.shownToasts().join('\n').contains("Log file saved"));
    const auto toasts = viewer.shownToasts().join('\n');
    EXPECT_TRUE(toasts.contains("Recording stopped: the log file could not be written (Filesystem full.)"))
        << toasts.toStdString();
    const auto files = filesIn(folder.path().toStdString(), ".ondrix");
    ASSERT_EQ(files.size(), 1U);
    EXPECT_EQ(integrityCheck(files.front()), "ok");
    EXPECT_GT(openLog(files.front())->getEntryCount(), 0);
}

TEST(Recording, LeavingWhileRecordingAsksFirstAndQuittingSavesTheSonarsParameters)
{
    ViewerSession viewer;
    QTemporaryDir folder;
    viewer.setGeneralSetting("saveSonarParams", true);
    auto sonar = connectViewer(viewer, serial, folder.path().toStdString());
    viewer.controller->setRange(7.0);
    QTest::mouseClick(viewer.window->getCaptureToolbar()->getRecordButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return viewer.controller->isRecording(); }));

    // The default answer keeps recording, connected and open.
    click(viewer.window->findChild<QWidget*>("disconnectButton"));
    viewer.window->close();
    ASSERT_EQ(viewer.messageBoxes.size(), 2U);
    EXPECT_EQ(viewer.messageBoxes[0].second, "Stop recording and disconnect?");
    EXPECT_EQ(viewer.messageBoxes[1].second, "Stop recording and quit?");
    EXPECT_TRUE(viewer.controller->isRecording());
    EXPECT_TRUE(viewer.controller->isConnected());
    EXPECT_TRUE(viewer.window->isVisible());

    // Agreed: the recording is closed and the sonar's parameters saved, as
    // a disconnection does.
    const std::filesystem::path recording = viewer.controller->getRecordingPath();
    MessageBoxes::setPresenter([](QMessageBox&) { return static_cast<int>(QMessageBox::Yes); });
    viewer.window->close();
    EXPECT_FALSE(viewer.window->isVisible());
    EXPECT_FALSE(viewer.controller->isRecording());
    EXPECT_FALSE(viewer.controller->isConnected());
    EXPECT_EQ(integrityCheck(recording), "ok");
    const auto store = openSettingsStore();
    EXPECT_DOUBLE_EQ(store->value(QStringLiteral("SavedSonar-%1/range").arg(serial)).toDouble(), 7.0);
}

TEST(Recording, ABookmarkMarksTheEntryOfTheButtonPressAndIsToldAddedOnlyWhenStored)
{
    ViewerSession viewer;
    QTemporaryDir folder;
    auto sonar = connectViewer(viewer, serial, folder.path().toStdString());
    CaptureToolbar* capture = viewer.window->getCaptureToolbar();
    // Holds the sonar's images back; true once it has left a request unanswered.
    auto holdImages = [&] {
        sonar->ignoreFireRequests(std::size_t{1} << 30);
        const auto asked = sonar->counters().fireRequests;
        return waitFor([&] { return sonar->counters().fireRequests > asked; });
    };
    auto bookmarks = [&] { return openLog(viewer.controller->getRecordingPath())->getBookmarks(); };
    auto answer = [](const QString& heading, const QString& title, const std::function<void()>& whileOpen = {}) {
        BookmarkDialog::setRunner([=](BookmarkDialog& dialog) {
            EXPECT_EQ(dialog.findChild<QLabel*>("dialogTitle")->text(), heading);
            if (whileOpen) {
                whileOpen();
            }
            auto* field = dialog.findChild<QLineEdit*>("title");
            field->clear();
            QTest::keyClicks(field, title);
            return static_cast<int>(QDialog::Accepted);
        });
    };

    // Nothing recorded yet, nor by the time Save is pressed: refused, never
    // stored on an entry that does not exist.
    ASSERT_TRUE(holdImages());
    QTest::mouseClick(capture->getRecordButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return viewer.controller->isRecording(); }));
    ASSERT_EQ(viewer.controller->getLastEntryID(), 0);
    answer("New Bookmark", "Too soon");
    QTest::mouseClick(capture->getBookmarkButton(), Qt::LeftButton);
    EXPECT_TRUE(viewer.toastShown("The bookmark was not added: nothing has been recorded yet. Try again once the "
                                  "sonar's images are being recorded."));
    EXPECT_FALSE(viewer.toastShown("Bookmark added!"));
    EXPECT_TRUE(bookmarks().empty());

    // Asked for before the first entry, saved after it: on the first entry.
    answer("New Bookmark", "Start", [&] {
        sonar->ignoreFireRequests(0);
        EXPECT_TRUE(waitFor([&] { return viewer.controller->getLastEntryID() >= 3; }));
    });
    QTest::mouseClick(capture->getBookmarkButton(), Qt::LeftButton);
    EXPECT_TRUE(viewer.toastShown("Bookmark added!"));
    ASSERT_EQ(bookmarks().size(), 1U);
    EXPECT_EQ(bookmarks().front().entryId, 1);

    // A user slow over the title: the entry of the press, not of the Save.
    const std::int32_t beforePress = viewer.controller->getLastEntryID();
    std::int32_t afterPress = -1;
    answer("New Bookmark", "Wreck", [&] {
        afterPress = viewer.controller->getLastEntryID();
        EXPECT_TRUE(waitFor([&] { return viewer.controller->getLastEntryID() >= afterPress + 8; }));
    });
    QTest::mouseClick(capture->getBookmarkButton(), Qt::LeftButton);
    ASSERT_EQ(bookmarks().size(), 2U);
    EXPECT_EQ(bookmarks().back().title, "Wreck");
    EXPECT_GE(bookmarks().back().entryId, beforePress);
    EXPECT_LE(bookmarks().back().entryId, afterPress);

    // One bookmark per entry: a second press on the same entry edits it.
    ASSERT_TRUE(holdImages());
    answer("New Bookmark", "Buoy");
    QTest::mouseClick(capture->getBookmarkButton(), Qt::LeftButton);
    answer("Edit Bookmark", "Red buoy");
    QTest::mouseClick(capture->getBookmarkButton(), Qt::LeftButton);
    EXPECT_TRUE(viewer.toastShown("Bookmark updated!"));
    ASSERT_EQ(bookmarks().size(), 3U);
    EXPECT_EQ(bookmarks().back().title, "Red buoy");

    // The recording stops while the dialog is open: told, and nothing written.
    const std::string path = viewer.controller->getRecordingPath();
    answer("Edit Bookmark", "Late", [&] { viewer.controller->stopLogging(); });
    QTest::mouseClick(capture->getBookmarkButton(), Qt::LeftButton);
    BookmarkDialog::setRunner({});
    EXPECT_TRUE(viewer.toastShown("The bookmark was not added: the recording stopped before it was saved."));
    ASSERT_TRUE(waitFor([&] { return viewer.controller->getState() == SourceState::Live; }));
    const auto kept = openLog(path)->getBookmarks();
    ASSERT_EQ(kept.size(), 3U);
    EXPECT_EQ(kept.back().title, "Red buoy");
    sonar->ignoreFireRequests(0);
}

TEST(Recording, AViewerKilledWhileRecordingAt40HzLeavesASoundFileWithEveryEntryItReported)
{
    QTemporaryDir folder;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QStringLiteral(LUMIVANE_RECORD_CHILD), {folder.path()});
    ASSERT_TRUE(child.waitForStarted());
    QString path;
    int reported = 0;
    std::vector<std::pair<qint64, int>> history; // (ms since start, entries)
    QElapsedTimer clock;
    clock.start();
    // Reads the child's reports until `done` holds.
    auto readUntil = [&](const std::function<bool()>& done) {
        return waitFor(
            [&] {
                while (child.canReadLine()) {
                    const QString line = QString::fromLocal8Bit(child.readLine()).trimmed();
                    if (line.startsWith("file ")) {
                        path = line.mid(5);
                    } else if (line.startsWith("entries ")) {
                        reported = line.mid(8).toInt();
                        history.emplace_back(clock.elapsed(), reported);
                    }
                }
                return done();
            },
            std::chrono::seconds(60));
    };
    // Two seconds' worth at 40 Hz.
    ASSERT_TRUE(readUntil([&] { return !path.isEmpty() && reported >= 80; })) << "reported " << reported;
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    ASSERT_TRUE(child.waitForFinished());
    readUntil([] { return true; });
    const qint64 killedAt = clock.elapsed();

    const std::filesystem::path file = path.toStdString();
    EXPECT_EQ(integrityCheck(file), "ok");
    auto log = openLog(file);
    const int inFile = log->getEntryCount();
    // Everything reported a second before the kill is there; in fact every
    // reported entry had been committed.
    int secondBefore = 0;
    for (const auto& [at, count] : history) {
        if (at <= killedAt - 1000) {
            secondBefore = count;
        }
    }
    EXPECT_GE(inFile, secondBefore);
    EXPECT_GE(inFile, reported);
    const auto entries = log->readEntries(-1, -1, {}, -1);
    EXPECT_EQ(static_cast<int>(entries.size()), inFile);
}
