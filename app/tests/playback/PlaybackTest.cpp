// Playing a recording through the real window: opening it, the playback
// controls, bookmarks, export to a log file and still captures; and logs
// that hold nothing to play.

#include "support/LogTestSupport.h"

#include "application/LumivaneApplication.h"
#include "application/LumivaneWindow.h"
#include "base/FileManager.h"
#include "base/MessageBoxes.h"
#include "capture/BookmarkDialog.h"
#include "capture/CaptureToolbar.h"
#include "controller/MainController.h"
#include "export/VideoExportOptionsDialog.h"
#include "playback/BookmarkControls.h"
#include "playback/BookmarkListWidget.h"
#include "playback/ExportModal.h"
#include "playback/ExportSpan.h"
#include "playback/PlaybackSpeedControl.h"
#include "playback/PlaybackToolbar.h"
#include "playback/ScrubControl.h"
#include "playback/ScrubSlider.h"
#include "settings/SettingsControls.h"
#include "sonarcontrols/BasicSliderPopOut.h"
#include "sonarcontrols/MainToolbar.h"
#include "sonarcontrols/SonarControlToolbar.h"

#include <keldar/gui/PopOutWidgetButton.h>
#include <keldar/gui/RangeSlider.h>
#include <keldar/gui/Toast.h>
#include <keldar/gui/ToggleSwitch.h>
#include <keldar/logging/videoexport/VideoExportText.h>
#include <keldar/visualisation/FanDisplay.h>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStyleOptionSpinBox>
#include <QTest>
#include <QTimeEdit>
#include <QTimeZone>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <random>

using namespace Keldar::OndrixLumivane;
using namespace Keldar::OndrixLumivane::Testing;
using Keldar::GUI::Widgets::Containers::BasicPopOutWidget;

namespace {

constexpr std::uint32_t serial = 40021;

// A recording made by the viewer from the simulator, then opened through the
// main toolbar as a user would.
struct OpenRecording
{
    explicit OpenRecording(ViewerSession& viewer, bool compressed = false)
        : viewer(viewer)
    {
        viewer.controller->setLogCompression(compressed);
        auto sonar = connectViewer(viewer, serial, folder.path().toStdString());
        path = recordEntries(viewer, 40);
        viewer.controller->disconnectFromSonar();
        EXPECT_TRUE(openThroughToolbar(viewer, path));
        toolbar = viewer.window->getPlaybackToolbar();
        scrub = toolbar->getScrubControl();
        index = viewer.controller->getLogEntryIndex();
    }

    // Waits until the controller reports `frame` played.
    bool shows(int frame) const
    {
        return waitFor([&] { return scrub->getSlider()->value() == frame; });
    }

    ViewerSession& viewer;
    QTemporaryDir folder;
    std::filesystem::path path;
    PlaybackToolbar* toolbar = nullptr;
    ScrubControl* scrub = nullptr;
    std::vector<int32_t> index;
};

void click(QWidget* widget)
{
    ASSERT_NE(widget, nullptr);
    ASSERT_TRUE(widget->isVisible()) << widget->objectName().toStdString();
    QTest::mouseClick(widget, Qt::LeftButton);
}

// Whether a pixel of the widget has the colour (pop-outs are drawn slightly
// translucent over the display).
bool showsColour(QWidget* widget, int x, int y, QRgb colour)
{
    const QRgb found = widget->grab().toImage().pixel(x, y);
    return std::abs(qRed(found) - qRed(colour)) <= 24 && std::abs(qGreen(found) - qGreen(colour)) <= 24 &&
           std::abs(qBlue(found) - qBlue(colour)) <= 24;
}

// Tests run as root, whom no folder's permissions stop. While this lives the
// thread (the GUI thread, which saves stills) drops the capabilities that let
// it pass them, so that a folder without write permission refuses it too.
class WithoutPermissionOverride
{
public:
    WithoutPermissionOverride()
    {
        EXPECT_EQ(::syscall(SYS_capget, &header, saved), 0);
        __user_cap_data_struct lowered[2] = {saved[0], saved[1]};
        lowered[0].effective &= ~((1U << CAP_DAC_OVERRIDE) | (1U << CAP_DAC_READ_SEARCH) | (1U << CAP_FOWNER));
        EXPECT_EQ(::syscall(SYS_capset, &header, lowered), 0);
    }
    ~WithoutPermissionOverride() { ::syscall(SYS_capset, &header, saved); }
    WithoutPermissionOverride(const WithoutPermissionOverride&) = delete;
    WithoutPermissionOverride& operator=(const WithoutPermissionOverride&) = delete;

private:
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved[2]{};
};

// Clicks an arrow of a time field `times` times.
void step(QTimeEdit* field, QStyle::SubControl arrow, int times)
{
    QStyleOptionSpinBox option;
    option.initFrom(field);
    option.subControls = QStyle::SC_All;
    option.frame = true;
    const QPoint at = field->style()->subControlRect(QStyle::CC_SpinBox, &option, arrow, field).center();
    for (int count = 0; count < times; ++count) {
        QTest::mouseClick(field, Qt::LeftButton, {}, at);
    }
}

} // namespace

TEST(Playback, ARecordingOpensAndPlaysPausesScrubsAndLoops)
{
    ViewerSession viewer;
    OpenRecording log(viewer);
    ASSERT_GE(log.index.size(), 40U);
    EXPECT_EQ(viewer.window->windowTitle().toStdString(), log.path.string());
    EXPECT_EQ(viewer.window->getMode(), LumivaneWindow::LogPlayback);
    EXPECT_TRUE(log.toolbar->isVisible());
    auto* capture = viewer.window->getCaptureToolbar();
    EXPECT_TRUE(capture->isVisible());
    EXPECT_FALSE(capture->getRecordButton()->isVisible());
    EXPECT_TRUE(waitFor([&] { return viewer.fanCoverage() > 0.1; })) << "the first frame is shown";

    QSignalSpy played(viewer.controller, &MainController::framePlayed);
    click(log.toolbar->getScrubButton());
    click(log.toolbar->getPlayButton());
    EXPECT_TRUE(waitFor([&] { return log.scrub->getSlider()->value() >= 5; }));
    click(log.toolbar->getPauseButton());
    EXPECT_FALSE(viewer.controller->isPlayingLog());

    // Scrubbing shows the frame asked for, with its entry id and its time.
    const int last = static_cast<int>(log.index.size()) - 1;
    const int frame = last - 1;
    log.scrub->getSlider()->setValue(frame);
    ASSERT_FALSE(played.isEmpty());
    EXPECT_EQ(played.last().at(0).toInt(), frame);
    EXPECT_EQ(played.last().at(1).toInt(), log.index[frame]);
    auto file = openLog(log.path);
    EXPECT_EQ(log.scrub->getTimeText(), ScrubControl::formatTime(file->readEntry(log.index[frame])->timestamp -
                                                                 file->readEntry(log.index.front())->timestamp));

    // Every speed of the pop-out, and the shortcuts' clamped steps.
    click(log.toolbar->getSpeedButton());
    auto* speed = log.toolbar->getSpeedControl();
    QSignalSpy speeds(speed, &PlaybackSpeedControl::speedRequested);
    const QStringList texts{"0.25x", "0.5x", "1x", "2x", "4x", "8x"};
    for (int position = 0; position <= 5; ++position) {
        speed->getSlider()->setValue(position);
        EXPECT_EQ(speed->getSpeedText(), texts[position]);
    }
    EXPECT_EQ(speeds.last().at(0).toFloat(), 8.0F);

    // The keyboard: W and S are the speed's here (the range's when live), L
    // records nothing from a log, C takes a still beside it.
    auto* window = viewer.window.get();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    auto* range = window->findChild<SonarControlToolbar*>()->getRangeControl();
    const int rangeBefore = range->getValue();
    QTest::keyClick(window, Qt::Key_W);
    EXPECT_EQ(speed->getSpeedText(), "8x");
    EXPECT_EQ(range->getValue(), rangeBefore);
    for (int step = 0; step < 6; ++step) {
        QTest::keyClick(window, Qt::Key_S);
    }
    EXPECT_EQ(speed->getSpeedText(), "0.25x");
    QTest::keyClick(window, Qt::Key_W);
    EXPECT_EQ(speeds.last().at(0).toFloat(), 0.5F);
    QTest::keyClick(window, Qt::Key_Space);
    EXPECT_TRUE(viewer.controller->isPlayingLog());
    EXPECT_TRUE(log.toolbar->getPauseButton()->isVisible());
    QTest::keyClick(window, Qt::Key_Space);
    EXPECT_FALSE(viewer.controller->isPlayingLog());
    QTest::keyClick(window, Qt::Key_R);
    EXPECT_TRUE(log.scrub->getLoopButton()->isChecked());
    QTest::keyClick(window, Qt::Key_R);
    EXPECT_FALSE(log.scrub->getLoopButton()->isChecked());
    QTest::keyClick(window, Qt::Key_L);
    EXPECT_FALSE(viewer.controller->isRecording());
    QTest::keyClick(window, Qt::Key_C);
    EXPECT_EQ(filesIn(log.path.parent_path(), ".ondrix").size(), 1U);
    EXPECT_EQ(filesIn(log.path.parent_path(), ".jpg").size(), 1U);
    speed->getSlider()->setValue(5);

    // Without loop the last frame pauses and stays on screen.
    log.scrub->getSlider()->setValue(static_cast<int>(log.index.size()) - 8);
    click(log.toolbar->getPlayButton());
    EXPECT_TRUE(waitFor([&] { return log.toolbar->getPlayButton()->isVisible(); }));
    EXPECT_TRUE(log.shows(last));
    EXPECT_FALSE(viewer.controller->isPlayingLog());

    // With loop it wraps and keeps playing.
    click(log.scrub->getLoopButton());
    log.scrub->getSlider()->setValue(static_cast<int>(log.index.size()) - 4);
    played.clear();
    click(log.toolbar->getPlayButton());
    EXPECT_TRUE(waitFor([&] {
        bool sawLast = false;
        for (const auto& call : played) {
            sawLast = sawLast || call.at(0).toInt() == static_cast<int>(log.index.size()) - 1;
            if (sawLast && call.at(0).toInt() == 3) {
                return true;
            }
        }
        return false;
    }));
    EXPECT_TRUE(viewer.controller->isPlayingLog());
    EXPECT_TRUE(log.toolbar->getPauseButton()->isVisible());
    click(log.scrub->getLoopButton());
    click(log.toolbar->getPauseButton());

    // Closing returns to the home page.
    click(viewer.window->findChild<QWidget*>("closeFileButton"));
    EXPECT_EQ(viewer.window->getMode(), LumivaneWindow::NoSource);
    EXPECT_FALSE(log.toolbar->isVisible());
    EXPECT_TRUE(viewer.window->windowTitle().isEmpty());
}

// 10 Hz for 10 s, a 13.5 s dropout, 10 Hz for 10 s more: an average frame
// period puts every frame after the dropout seconds early.
TEST(Playback, TimesBookmarksAndKeysFollowTheFramesOwnTimestamps)
{
    ViewerSession viewer;
    QTemporaryDir folder;
    const std::filesystem::path path = folder.filePath("dropout.ondrix").toStdString();
    auto timeOf = [](int frame) -> std::int64_t { return frame < 100 ? frame * 100 : 23400 + (frame - 100) * 100; };
    {
        Keldar::Logging::SqliteLogFile file(path.string(), "UTC", "test", "1", 0, 1000);
        Keldar::Logging::DataSource source{-1, KD_LogDataSourceType_Sonar, "Ondrix test"};
        file.addDataSource(source);
        for (int frame = 0; frame < 200; ++frame) {
            file.logData(Keldar::Logging::DataEntry{0, source.id, 1, {0xAA}, 1'700'000'000'000 + timeOf(frame)});
        }
        const std::int32_t first = file.getFirstEntryId();
        file.addBookmark({first + 136, "Wreck", "", {}});
        file.addBookmark({first + 50, "Reef", "", {}});
        file.addBookmark({first + 199, "End", "", {}});
    }
    auto* toolbar = viewer.window->getPlaybackToolbar();
    auto* scrub = toolbar->getScrubControl();
    ScrubSlider* slider = scrub->getSlider();
    // The speed chosen before a log is opened is the new player's too.
    toolbar->getSpeedControl()->getSlider()->setValue(4);
    viewer.controller->openLogFile(path.string());
    ASSERT_EQ(viewer.window->getMode(), LumivaneWindow::LogPlayback);
    EXPECT_EQ(viewer.controller->getLogPlaybackSpeed(), 4.0F);
    EXPECT_EQ(toolbar->getSpeedControl()->getSpeedText(), "4x");
    click(toolbar->getScrubButton());
    click(toolbar->getBookmarksButton());

    slider->setValue(136);
    EXPECT_EQ(scrub->getTimeText(), "00:00:27");
    BookmarkListWidget* list = toolbar->getBookmarkControls()->getList();
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(1)->toolTip(), "00:00:27") << "the bookmark's time";

    // A click on the track goes where it is clicked, not a page step.
    slider->setValue(0);
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() * 3 / 4, slider->height() / 2));
    EXPECT_NEAR(slider->value(), 150, 10);
    EXPECT_FALSE(scrub->isScrubbing()) << "the press was released";

    // Next and previous bookmark keys, from the frame on screen; the last
    // frame stays on screen, and play there starts again from the first.
    auto* window = viewer.window.get();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    slider->setValue(60);
    QTest::keyClick(window, Qt::Key_N);
    EXPECT_EQ(slider->value(), 136);
    QTest::keyClick(window, Qt::Key_N);
    EXPECT_EQ(slider->value(), 199);
    EXPECT_EQ(scrub->getTimeText(), "00:00:33");
    QTest::keyClick(window, Qt::Key_N);
    EXPECT_EQ(slider->value(), 199) << "no bookmark beyond the last";
    QTest::keyClick(window, Qt::Key_P);
    EXPECT_EQ(slider->value(), 136);
    slider->setValue(199);
    QSignalSpy played(viewer.controller, &MainController::framePlayed);
    click(toolbar->getPlayButton());
    EXPECT_TRUE(waitFor([&] { return played.size() >= 3; }));
    EXPECT_EQ(played.first().at(0).toInt(), 0);
    click(toolbar->getPauseButton());

    // The export panel: the range's own times, and times set with the arrows
    // of either field pick the frames within them.
    click(toolbar->getExportButton());
    auto* panel = viewer.window->findChild<ExportModal*>();
    ASSERT_TRUE(waitFor([&] { return panel->isVisible(); }));
    auto* range = panel->getRangeSlider();
    range->setLowerValue(100);
    range->setUpperValue(150);
    EXPECT_EQ(panel->getFromTime()->time(), QTime(0, 0, 23, 400));
    EXPECT_EQ(panel->getToTime()->time(), QTime(0, 0, 28, 400));
    step(panel->getFromTime(), QStyle::SC_SpinBoxDown, 1);
    EXPECT_EQ(range->getLowerValue(), 99) << "a second back lies in the dropout: the frame before it";
    step(panel->getFromTime(), QStyle::SC_SpinBoxDown, 2);
    EXPECT_EQ(range->getLowerValue(), 79);
    EXPECT_EQ(panel->getFromTime()->time(), QTime(0, 0, 7, 900));
    step(panel->getToTime(), QStyle::SC_SpinBoxDown, 3);
    EXPECT_EQ(range->getUpperValue(), 120) << "the frame three seconds before";
    step(panel->getToTime(), QStyle::SC_SpinBoxUp, 1);
    EXPECT_EQ(range->getUpperValue(), 130);
    EXPECT_EQ(panel->getToTime()->time(), QTime(0, 0, 26, 400));
    click(panel->findChild<QPushButton*>("cancelButton"));
}

// The span logic alone: each row is a request on the span the row before
// left. Frames 11 and 12 share a millisecond; frames 9 and 10 lie 4.1 s apart.
TEST(ExportSpan, RequestsKeepTheSpanWithinTheLogInOrderAndOnFrames)
{
    const std::vector<std::int64_t> offsets{0,   100, 200,  300,  400,  500,  600, 700,
                                            800, 900, 5000, 5100, 5100, 5200, 5300};
    std::vector<std::int64_t> stamps;
    for (const std::int64_t offset : offsets) {
        stamps.push_back(1'700'000'000'000 + offset);
    }
    ExportSpan span;
    span.setLog(15);
    span.setTimestamps(stamps);
    struct Row
    {
        const char* request;
        std::function<void(ExportSpan&)> apply;
        int first;
        int last;
    };
    const std::vector<Row> rows{
        {"typed From: the first frame at or after it", [](ExportSpan& s) { s.setFrom(250); }, 3, 14},
        {"typed To: the last frame at or before it", [](ExportSpan& s) { s.setTo(5150); }, 3, 12},
        {"To up a second, past the end", [](ExportSpan& s) { s.stepTo(1000); }, 3, 14},
        {"To down a second", [](ExportSpan& s) { s.stepTo(-1000); }, 3, 10},
        {"To down a second into the gap: a frame at least", [](ExportSpan& s) { s.stepTo(-1000); }, 3, 9},
        {"From up a second, held by To", [](ExportSpan& s) { s.stepFrom(1000); }, 9, 9},
        {"From up a millisecond cannot pass To", [](ExportSpan& s) { s.stepFrom(1); }, 9, 9},
        {"the To handle cannot pass From", [](ExportSpan& s) { s.setLast(2); }, 9, 9},
        {"the From handle below the log", [](ExportSpan& s) { s.setFirst(-5); }, 0, 9},
        {"the To handle past the log", [](ExportSpan& s) { s.setLast(99); }, 0, 14},
        {"typed From past the end", [](ExportSpan& s) { s.setFrom(99999); }, 14, 14},
        {"the From handle onto a shared millisecond", [](ExportSpan& s) { s.setFirst(12); }, 12, 14},
        {"From down a millisecond: one frame, on the same millisecond", [](ExportSpan& s) { s.stepFrom(-1); }, 11, 14},
        {"From down a millisecond again leaves it", [](ExportSpan& s) { s.stepFrom(-1); }, 10, 14},
        {"typed To before From", [](ExportSpan& s) { s.setTo(0); }, 10, 10},
    };
    for (const Row& row : rows) {
        row.apply(span);
        EXPECT_EQ(std::make_pair(span.first(), span.last()), std::make_pair(row.first, row.last)) << row.request;
        EXPECT_EQ(span.from(), offsets[static_cast<std::size_t>(row.first)]) << row.request;
        EXPECT_EQ(span.to(), offsets[static_cast<std::size_t>(row.last)]) << row.request;
        EXPECT_EQ(span.frames(), row.last - row.first + 1) << row.request;
    }

    // Without timestamps (or with too few) the frames are spread evenly over
    // the play time; an empty log has an empty span.
    span.setLog(5);
    span.setTimestamps(stamps);
    span.setPlayTime(400);
    span.setFrom(150);
    EXPECT_EQ(span.first(), 2);
    EXPECT_EQ(span.duration(), 200);
    span.setLog(0);
    EXPECT_EQ(span.frames(), 0);
    EXPECT_EQ(span.duration(), 0);
}

// Regression: after the arrows and the handles were used in turn, the panel
// exported another span than it showed. Whatever the user does, From, To, the
// handles and the counts agree, and the exported log holds exactly that span.
TEST(Playback, TheExportPanelExportsTheSpanItShows)
{
    ViewerSession viewer;
    QTemporaryDir folder;
    const std::filesystem::path path = folder.filePath("span.ondrix").toStdString();
    constexpr std::int64_t start = 1'700'000'000'000;
    constexpr int frames = 120;
    // Uneven steps and a 7 s dropout after frame 59.
    auto offsetOf = [](int frame) -> std::int64_t { return frame * 97 + (frame * 37) % 23 + (frame >= 60 ? 7000 : 0); };
    {
        Keldar::Logging::SqliteLogFile file(path.string(), "UTC", "test", "1", 0, 1000);
        Keldar::Logging::DataSource source{-1, KD_LogDataSourceType_Sonar, "Ondrix test"};
        file.addDataSource(source);
        for (int frame = 0; frame < frames; ++frame) {
            file.logData(Keldar::Logging::DataEntry{0, source.id, 1, {0xAA}, start + offsetOf(frame)});
        }
    }
    ASSERT_TRUE(openThroughToolbar(viewer, path));
    auto* toolbar = viewer.window->getPlaybackToolbar();
    ExportModal* panel = toolbar->getExportModal();
    auto* range = panel->getRangeSlider();
    QTimeEdit* fields[] = {panel->getFromTime(), panel->getToTime()};
    auto shown = [](QTimeEdit* field) { return static_cast<std::int64_t>(QTime(0, 0).msecsTo(field->time())); };
    // What the panel shows agrees with itself.
    auto agrees = [&]() -> ::testing::AssertionResult {
        const int first = range->getLowerValue();
        const int last = range->getUpperValue();
        const QString label =
            QStringLiteral("Duration: %1 · %2 of %3 frames")
                .arg(QTime(0, 0).addMSecs(int(offsetOf(last) - offsetOf(first))).toString("HH:mm:ss.zzz"))
                .arg(last - first + 1)
                .arg(frames);
        if (shown(fields[0]) != offsetOf(first) || shown(fields[1]) != offsetOf(last) ||
            panel->getSpanLabel()->text() != label || first > last) {
            return ::testing::AssertionFailure()
                   << "handles " << first << "–" << last << ", From " << shown(fields[0]) << " To " << shown(fields[1])
                   << ", " << panel->getSpanLabel()->text().toStdString();
        }
        return ::testing::AssertionSuccess();
    };

    std::mt19937 random(25);
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    std::filesystem::path exported = path;
    exported.replace_filename("span_exported.ondrix");
    auto type = [](QTimeEdit* field, const QString& text) {
        field->setFocus();
        field->setCurrentSection(QDateTimeEdit::SecondSection);
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    };
    for (int round = 0; round < 3; ++round) {
        click(toolbar->getExportButton());
        ASSERT_TRUE(waitFor([&] { return panel->isVisible(); }));
        if (round == 0) {
            // A time in the dropout picks the first frame after it.
            type(fields[0], QStringLiteral("00:00:12.000"));
            EXPECT_EQ(range->getLowerValue(), 60);
            EXPECT_EQ(fields[0]->time(), QTime(0, 0, 12, 832));
        }
        for (int move = 0; move < 14; ++move) {
            QTimeEdit* field = fields[pick(0, 1)];
            switch (pick(0, 4)) {
            case 0: // a handle dragged
                if (pick(0, 1) == 0) {
                    range->setLowerValue(pick(0, frames - 1));
                } else {
                    range->setUpperValue(pick(0, frames - 1));
                }
                break;
            case 1: // the slider's arrow keys
                range->setFocus();
                QTest::keyClick(range, pick(0, 1) == 0 ? Qt::Key_Left : Qt::Key_PageUp);
                break;
            case 2: // a time typed
                type(field, QTime(0, 0).addMSecs(pick(0, 20000)).toString("HH:mm:ss.zzz"));
                break;
            default: // the field's arrows, seconds or milliseconds
                field->setCurrentSection(pick(0, 1) == 0 ? QDateTimeEdit::SecondSection : QDateTimeEdit::MSecSection);
                step(field, pick(0, 1) == 0 ? QStyle::SC_SpinBoxUp : QStyle::SC_SpinBoxDown, 1);
                break;
            }
            ASSERT_TRUE(agrees()) << "round " << round << ", move " << move;
        }
        const std::int64_t from = shown(fields[0]);
        const std::int64_t to = shown(fields[1]);
        const int count = range->getUpperValue() - range->getLowerValue() + 1;
        panel->getLogFileAction()->trigger();
        ASSERT_TRUE(waitFor([&] {
            return viewer.toastShown(
                QString::fromStdString("Export finished successfully! Saved as " + exported.string()));
        })) << viewer.shownToasts().join('\n').toStdString();
        const auto entries = openLog(exported)->readEntries(-1, -1, {}, -1);
        ASSERT_EQ(static_cast<int>(entries.size()), count) << "round " << round;
        EXPECT_EQ(entries.front().timestamp - start, from) << "round " << round;
        EXPECT_EQ(entries.back().timestamp - start, to) << "round " << round;
        std::filesystem::remove(exported);
    }
}

TEST(Playback, ArrowKeysStepOneFrameWhilePausedWhereverTheFocusIsButInText)
{
    ViewerSession viewer;
    OpenRecording log(viewer);
    auto* window = viewer.window.get();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QSignalSpy played(viewer.controller, &MainController::framePlayed);
    // Presses the key where the focus is and waits for the frame it shows.
    auto press = [&](QWidget* focus, Qt::Key key, int expected) {
        focus->setFocus();
        played.clear();
        QTest::keyClick(focus, key);
        return waitFor([&] { return !played.isEmpty(); }) && played.last().at(0).toInt() == expected &&
               played.last().at(1).toInt() == log.index[static_cast<std::size_t>(expected)] && log.shows(expected);
    };
    const int last = static_cast<int>(log.index.size()) - 1;
    ASSERT_TRUE(log.shows(0));

    // On the timeline and on the speed slider alike.
    click(log.toolbar->getScrubButton());
    EXPECT_TRUE(press(log.scrub->getSlider(), Qt::Key_Right, 1));
    click(log.toolbar->getSpeedButton());
    EXPECT_TRUE(press(log.toolbar->getSpeedControl()->getSlider(), Qt::Key_Right, 2));
    EXPECT_TRUE(press(window, Qt::Key_Left, 1));
    EXPECT_EQ(log.toolbar->getSpeedControl()->getSpeedText(), "1x") << "the slider kept its value";

    // A text field keeps its arrows: the next step goes on from frame 1.
    auto* settingsButton = window->findChild<QAbstractButton*>("settingsButton");
    auto* text = viewer.window->getSettingsControls()->findChild<QLineEdit*>("logLocationText");
    ASSERT_NE(text, nullptr);
    click(settingsButton);
    ASSERT_TRUE(waitFor([&] { return text->isVisible(); }));
    text->setFocus();
    text->setCursorPosition(0);
    QTest::keyClick(text, Qt::Key_Right);
    EXPECT_EQ(text->cursorPosition(), 1);
    click(settingsButton);
    EXPECT_TRUE(press(window, Qt::Key_Right, 2));
    // So does the export panel's range slider.
    click(log.toolbar->getExportButton());
    auto* range = log.toolbar->getExportModal()->getRangeSlider();
    range->setFocus();
    QTest::keyClick(range, Qt::Key_Right);
    EXPECT_EQ(range->getLowerValue(), 1);
    log.toolbar->getExportModal()->hide();
    EXPECT_TRUE(press(window, Qt::Key_Right, 3));
    EXPECT_TRUE(press(window, Qt::Key_Left, 2));

    // The ends stop the steps, and the last frame stays on screen.
    EXPECT_TRUE(press(window, Qt::Key_Left, 1));
    EXPECT_TRUE(press(window, Qt::Key_Left, 0));
    QTest::keyClick(window, Qt::Key_Left);
    EXPECT_TRUE(press(window, Qt::Key_Right, 1)) << "Left at frame 0 went nowhere";
    log.scrub->getSlider()->setValue(last - 1);
    ASSERT_TRUE(log.shows(last - 1));
    EXPECT_TRUE(press(window, Qt::Key_Right, last));
    QTest::keyClick(window, Qt::Key_Right);
    EXPECT_TRUE(press(window, Qt::Key_Left, last - 1)) << "Right at the last frame went nowhere";

    // While playing the arrows do nothing: playback runs on to the end.
    played.clear();
    click(log.toolbar->getPlayButton());
    QTest::keyClick(window, Qt::Key_Left);
    EXPECT_TRUE(waitFor([&] { return log.toolbar->getPlayButton()->isVisible(); }));
    ASSERT_FALSE(played.isEmpty());
    EXPECT_EQ(played.first().at(0).toInt(), last);
    for (const auto& call : played) {
        EXPECT_NE(call.at(0).toInt(), last - 2);
    }
}

TEST(Playback, BookmarksAreListedMarkedAnnouncedEditedAndRemoved)
{
    ViewerSession viewer;
    OpenRecording log(viewer);
    click(log.toolbar->getScrubButton());
    click(log.toolbar->getBookmarksButton());
    BookmarkControls* panel = log.toolbar->getBookmarkControls();
    BookmarkListWidget* list = panel->getList();
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "This log file has no bookmarks...");
    EXPECT_EQ(list->item(0)->flags(), Qt::NoItemFlags);

    const int frame = 20;
    log.scrub->getSlider()->setValue(frame);
    BookmarkDialog::setRunner([](BookmarkDialog& dialog) {
        QTest::keyClicks(dialog.findChild<QLineEdit*>("title"), "Reef");
        QTest::keyClicks(dialog.findChild<QWidget*>("comments"), "north side");
        return static_cast<int>(QDialog::Accepted);
    });
    click(panel->getAddButton());
    EXPECT_TRUE(viewer.toastShown("Bookmark added!"));
    ASSERT_EQ(list->count(), 1);
    auto* item = dynamic_cast<BookmarkListItem*>(list->item(0));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), "Reef");
    EXPECT_EQ(item->entryId(), log.index[frame]);
    EXPECT_EQ(item->frame(), frame);

    // The marker: a 2 px line at the bookmark, 4 px while hovered, strokes
    // above and below when hovered, and caps when selected.
    ScrubSlider* slider = log.scrub->getSlider();
    const QRgb marker = ScrubSlider::markerColour().rgb() & 0xFFFFFFU;
    const int x = ScrubSlider::markerX(frame, slider->maximum(), slider->width());
    auto markerWidth = [&] {
        const QImage picture = slider->grab().toImage();
        int width = 0;
        for (int column = std::max(0, x - 4); column <= std::min(picture.width() - 1, x + 4); ++column) {
            width += (picture.pixel(column, 1) & 0xFFFFFFU) == marker ? 1 : 0;
        }
        return width;
    };
    EXPECT_EQ(markerWidth(), 2);
    const QRect itemRect = list->visualItemRect(item);
    QTest::mouseMove(list->viewport(), itemRect.center());
    if (slider->getHoveredFrame() != frame) {
        // Not every platform sends hover moves to an inactive window.
        emit list->itemEntered(item);
    }
    EXPECT_EQ(slider->getHoveredFrame(), frame);
    EXPECT_EQ(markerWidth(), 4);
    const QRect area = slider->geometry();
    ASSERT_TRUE(waitFor([&] { return log.scrub->getState() == BasicPopOutWidget::Shown; }));
    const int controlX = area.x() + x;
    EXPECT_TRUE(showsColour(log.scrub, controlX, area.top() - 2, marker));
    EXPECT_TRUE(showsColour(log.scrub, controlX, area.bottom() + 3, marker));
    emit list->mouseLeft();
    EXPECT_EQ(slider->getHoveredFrame(), -1);
    EXPECT_EQ(markerWidth(), 2);

    log.scrub->getSlider()->setValue(0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, itemRect.center());
    EXPECT_TRUE(item->isSelected());
    EXPECT_TRUE(log.shows(frame)) << "selecting a bookmark jumps to it";
    EXPECT_TRUE(showsColour(log.scrub, controlX - 3, area.top() - 5, marker));
    EXPECT_TRUE(showsColour(log.scrub, controlX + 3, area.bottom() + 6, marker));
    // A click on empty space lets it go.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(5, list->viewport()->height() - 5));
    EXPECT_FALSE(item->isSelected());
    EXPECT_FALSE(panel->findChild<QWidget*>("editDelete")->isEnabled());

    // Playing past it announces it.
    log.scrub->getSlider()->setValue(frame - 3);
    click(log.toolbar->getPlayButton());
    EXPECT_TRUE(waitFor([&] { return viewer.toastShown("Bookmark: Reef - north side"); }));
    click(log.toolbar->getPauseButton());

    // Edit: a title of spaces cannot be saved; a new one can.
    list->setCurrentItem(list->item(0));
    BookmarkDialog::setRunner([](BookmarkDialog& dialog) {
        auto* title = dialog.findChild<QLineEdit*>("title");
        EXPECT_EQ(title->text(), "Reef");
        title->clear();
        QTest::keyClicks(title, "  ");
        EXPECT_FALSE(dialog.getSaveButton()->isEnabled());
        QTest::keyClicks(title, "Reef edge");
        return static_cast<int>(QDialog::Accepted);
    });
    click(panel->getEditButton());
    BookmarkDialog::setRunner({});
    EXPECT_TRUE(viewer.toastShown("Bookmark updated!"));
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "  Reef edge");

    // Deleting asks first; its default keeps the bookmark.
    list->setCurrentItem(list->item(0));
    click(panel->getDeleteButton());
    ASSERT_FALSE(viewer.messageBoxes.empty());
    EXPECT_EQ(viewer.messageBoxes.back().first, "Delete Bookmark");
    EXPECT_EQ(list->item(0)->text(), "  Reef edge");
    MessageBoxes::setPresenter([](QMessageBox&) { return static_cast<int>(QMessageBox::Yes); });
    click(panel->getDeleteButton());
    EXPECT_TRUE(viewer.toastShown("Bookmark deleted."));
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "This log file has no bookmarks...");
    EXPECT_TRUE(slider->getBookmarkFrames().empty());
    EXPECT_TRUE(openLog(log.path)->getBookmarks().empty());
}

TEST(Playback, ABookmarkMarksTheFrameOnScreenAndChangesTouchOnlyTheChosenOneOfAWritableLog)
{
    ViewerSession viewer;
    OpenRecording log(viewer);
    BookmarkControls* panel = log.toolbar->getBookmarkControls();
    BookmarkListWidget* list = panel->getList();
    auto answer = [](const QString& heading, const QString& title) {
        BookmarkDialog::setRunner([=](BookmarkDialog& dialog) {
            EXPECT_EQ(dialog.findChild<QLabel*>("dialogTitle")->text(), heading);
            dialog.findChild<QLineEdit*>("title")->setText(title);
            return static_cast<int>(QDialog::Accepted);
        });
    };
    auto withComments = [&](const std::string& comments) -> BookmarkListItem* {
        for (int row = 0; row < list->count(); ++row) {
            auto* item = dynamic_cast<BookmarkListItem*>(list->item(row));
            if (item != nullptr && item->comments() == comments) {
                return item;
            }
        }
        return nullptr;
    };
    auto reopen = [&] {
        viewer.controller->closeLogFile();
        return openThroughToolbar(viewer, log.path);
    };

    // Played to the end without loop, the viewer stays on the last frame,
    // which is then on screen and is the frame marked.
    const int last = static_cast<int>(log.index.size()) - 1;
    log.scrub->getSlider()->setValue(last - 2);
    click(log.toolbar->getPlayButton());
    ASSERT_TRUE(waitFor([&] { return log.toolbar->getPlayButton()->isVisible(); }));
    ASSERT_TRUE(log.shows(last));
    answer("New Bookmark", "Start");
    panel->getAddButton()->click();
    ASSERT_NE(withComments(""), nullptr);
    EXPECT_EQ(withComments("")->entryId(), log.index[static_cast<std::size_t>(last)]);
    // One bookmark per frame: adding on it again edits it.
    answer("Edit Bookmark", "Start line");
    panel->getAddButton()->click();
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "Start line");

    // Older files may hold two bookmarks on one entry; only the chosen one
    // changes, and an edit keeps its payload.
    viewer.controller->closeLogFile();
    {
        Keldar::Logging::SqliteLogFile file(log.path);
        ASSERT_TRUE(file.addBookmark({log.index[5], "Twin", "a", {}}));
        ASSERT_TRUE(file.addBookmark({log.index[5], "Twin", "b", {1, 2, 3}}));
    }
    ASSERT_TRUE(openThroughToolbar(viewer, log.path));
    ASSERT_EQ(list->count(), 3);
    list->setCurrentItem(withComments("b"));
    answer("Edit Bookmark", "Twin renamed");
    panel->getEditButton()->click();
    EXPECT_TRUE(viewer.toastShown("Bookmark updated!"));
    list->setCurrentItem(withComments("a"));
    MessageBoxes::setPresenter([](QMessageBox&) { return static_cast<int>(QMessageBox::Yes); });
    panel->getDeleteButton()->click();
    EXPECT_TRUE(viewer.toastShown("Bookmark deleted."));
    auto stored = openLog(log.path)->getBookmarks();
    ASSERT_EQ(stored.size(), 2U);
    EXPECT_EQ(stored[0].title, "Start line");
    EXPECT_EQ(stored[1].title, "Twin renamed");
    EXPECT_EQ(stored[1].comments, "b");
    EXPECT_EQ(stored[1].payload, (std::vector<std::uint8_t>{1, 2, 3}));

    // A write the file refuses is told with the file's reason. The file is
    // opened for writing when the bookmark is added.
    ASSERT_TRUE(reopen());
    {
        const DiskFullAfterPages full(1);
        answer("New Bookmark", QString(20000, 'x'));
        log.scrub->getSlider()->setValue(12);
        panel->getAddButton()->click();
    }
    EXPECT_TRUE(viewer.toastShown("The bookmark was not added: Filesystem full."));
    EXPECT_EQ(list->count(), 2);

    // A log marked read-only, or in a folder marked so, is left as it is,
    // even for a user whose privileges would let the write through.
    namespace fs = std::filesystem;
    const auto readable = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    const auto searchable = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
    auto refusesChanges = [&](const QString& reason) {
        EXPECT_TRUE(reopen());
        answer("New Bookmark", "Refused");
        log.scrub->getSlider()->setValue(10);
        panel->getAddButton()->click();
        EXPECT_TRUE(viewer.toastShown("The bookmark was not added: " + reason));
        list->setCurrentItem(withComments("b"));
        panel->getDeleteButton()->click();
        EXPECT_TRUE(viewer.toastShown("The bookmark was not deleted: " + reason));
        EXPECT_EQ(list->count(), 2);
        EXPECT_EQ(openLog(log.path)->getBookmarks().size(), 2U);
    };
    fs::permissions(log.path, readable);
    refusesChanges("the log file is read-only.");
    fs::permissions(log.path, readable | fs::perms::owner_write);
    fs::permissions(log.path.parent_path(), readable | searchable);
    refusesChanges("the folder of the log file is read-only.");
    fs::permissions(log.path.parent_path(), fs::perms::owner_all, fs::perm_options::add);
    BookmarkDialog::setRunner({});
}

TEST(Playback, ExportsAFrameRangeToANewLogAndCapturesStills)
{
    ViewerSession viewer;
    WorkerGate gate;
    OpenRecording log(viewer);
    click(log.toolbar->getExportButton());
    ExportModal* panel = log.toolbar->getExportModal();
    ASSERT_TRUE(panel->isVisible());
    panel->getRangeSlider()->setSpan(3, 12);
    {
        HeldWorkWatcher progress(gate, *viewer.window, false);
        panel->getLogFileAction()->trigger();
        EXPECT_TRUE(progress.sawTheWindowLiveWhileHeld) << "the export runs off the GUI thread";
        EXPECT_EQ(progress.range, std::make_pair(0, 10));
        EXPECT_TRUE(progress.blocksEverything);
    }
    EXPECT_FALSE(panel->isVisible());
    std::filesystem::path exported = log.path;
    exported.replace_filename(log.path.stem().string() + "_exported.ondrix");
    std::vector<QUrl> shownFolders;
    FileManager::setOpener([&](const QUrl& folder) {
        shownFolders.push_back(folder);
        return true;
    });
    EXPECT_TRUE(showFolderFromToast(viewer, "Export finished successfully! Saved as " + exported.string()))
        << viewer.shownToasts().join('\n').toStdString();
    FileManager::setOpener({});
    EXPECT_EQ(shownFolders, std::vector<QUrl>{QUrl::fromLocalFile(log.folder.path())});
    ASSERT_TRUE(std::filesystem::exists(exported));
    auto source = openLog(log.path);
    auto copy = openLog(exported);
    const auto copied = copy->readEntries(-1, -1, {}, -1);
    ASSERT_EQ(copied.size(), 10U);
    for (std::size_t i = 0; i < copied.size(); ++i) {
        const auto original = source->readEntry(log.index[3 + i]);
        ASSERT_TRUE(original);
        EXPECT_EQ(copied[i].payload, original->payload);
        EXPECT_EQ(copied[i].timestamp, original->timestamp);
    }

    // An export that cannot be written is reported, not passed over.
    {
        const DiskFullAfterPages full(3);
        click(log.toolbar->getExportButton());
        panel->getRangeSlider()->setSpan(0, static_cast<int>(log.index.size()) - 1);
        panel->getLogFileAction()->trigger();
    }
    const QString toasts = viewer.shownToasts().join('\n');
    EXPECT_TRUE(toasts.contains("Export failed: ")) << toasts.toStdString();

    // Two stills within a second get names of their own, beside the log,
    // with the logos 40 px in from the top corners.
    viewer.controller->setCaptureFormat(".png");
    const QImage display = viewer.window->getFanDisplay()->grab().toImage();
    viewer.controller->stillCapture();
    viewer.controller->stillCapture();
    const auto stills = filesIn(log.path.parent_path(), ".png");
    ASSERT_EQ(stills.size(), 2U);
    EXPECT_TRUE(viewer.toastShown("Still image captured!"));
    const QImage still(QString::fromStdString(stills.front().string()));
    ASSERT_EQ(still.size(), display.size());
    auto differs = [&](const QRect& area) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                if (still.pixel(x, y) != display.pixel(x, y)) {
                    return true;
                }
            }
        }
        return false;
    };
    const int w = still.width();
    EXPECT_FALSE(differs(QRect(0, 0, w, 40))) << "the top margin is left clear";
    EXPECT_FALSE(differs(QRect(0, 0, 40, 120)));
    EXPECT_FALSE(differs(QRect(w - 40, 0, 40, 120)));
    EXPECT_TRUE(differs(QRect(40, 40, 80, 80))) << "maker's logo";
    EXPECT_TRUE(differs(QRect(w - 120, 40, 80, 80))) << "product logo";

    // A still that cannot be written is an error, never a success.
    viewer.window->dismissAllToasts();
    ASSERT_TRUE(waitFor([&] { return viewer.shownToasts().isEmpty(); }));
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit none = saved;
    none.rlim_cur = 0;
    setrlimit(RLIMIT_FSIZE, &none);
    viewer.controller->stillCapture();
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_FALSE(viewer.toastShown("Still image captured!"));
    EXPECT_TRUE(viewer.shownToasts().join('\n').contains("The still image could not be saved"))
        << viewer.shownToasts().join('\n').toStdString();
    const std::filesystem::path logFolder = log.path.parent_path();
    EXPECT_EQ(filesIn(logFolder, ".png").size(), 2U) << "a failed save leaves no file behind";

    // A log opened by a relative path keeps its stills beside it.
    click(viewer.window->findChild<QWidget*>("closeFileButton"));
    const QString current = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(logFolder.string()));
    viewer.controller->openLogFile(log.path.filename().string());
    QDir::setCurrent(current);
    ASSERT_EQ(viewer.window->getMode(), LumivaneWindow::LogPlayback);
    viewer.controller->stillCapture();
    EXPECT_EQ(filesIn(logFolder, ".png").size(), 3U);

    // A log in a folder that refuses new files: the stills go to the log
    // folder of the settings, and the toast says where.
    QTemporaryDir settingsFolder;
    viewer.controller->setLogLocation(settingsFolder.path().toStdString());
    namespace fs = std::filesystem;
    fs::permissions(logFolder, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    {
        const WithoutPermissionOverride asAnyUser;
        viewer.controller->stillCapture();
    }
    fs::permissions(logFolder, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(filesIn(logFolder, ".png").size(), 3U);
    EXPECT_EQ(filesIn(settingsFolder.path().toStdString(), ".png").size(), 1U);
    const QString toasts2 = viewer.shownToasts().join('\n');
    EXPECT_TRUE(toasts2.contains("saved in " + settingsFolder.path())) << toasts2.toStdString();
}

TEST(Playback, AnExportToALogCountsTheFramesItCouldNotReadAndCanBeCancelled)
{
    ViewerSession viewer;
    WorkerGate gate;
    OpenRecording log(viewer, true);
    // Copied at another level, the payloads are read, not carried as stored.
    viewer.controller->setLogCompression(false);
    const std::string damage = "UPDATE data SET payload = x'FFFFFF7F0102' WHERE entryId IN (" +
                               std::to_string(log.index[5]) + ", " + std::to_string(log.index[6]) + ");";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(log.path.c_str(), &db), SQLITE_OK);
    const int damaged = sqlite3_exec(db, damage.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    ASSERT_EQ(damaged, SQLITE_OK);
    ExportModal* panel = log.toolbar->getExportModal();
    auto exportSpan = [&] {
        click(log.toolbar->getExportButton());
        panel->getRangeSlider()->setSpan(3, 12);
        panel->getLogFileAction()->trigger();
    };
    std::filesystem::path exported = log.path;
    exported.replace_filename(log.path.stem().string() + "_exported.ondrix");
    exportSpan();
    EXPECT_TRUE(viewer.toastShown(
        QString::fromStdString("Exported 8 of 10 frames: 2 could not be read. Saved as " + exported.string())))
        << viewer.shownToasts().join('\n').toStdString();
    EXPECT_EQ(openLog(exported)->getEntryCount(), 8);

    std::filesystem::remove(exported);
    {
        HeldWorkWatcher progress(gate, *viewer.window, true);
        exportSpan();
        EXPECT_TRUE(progress.cancelled);
    }
    EXPECT_TRUE(viewer.toastShown("Export cancelled.")) << viewer.shownToasts().join('\n').toStdString();
    EXPECT_EQ(filesIn(log.folder.path().toStdString(), ".ondrix"), std::vector<std::filesystem::path>{log.path})
        << "the cancelled export leaves nothing behind";
}

TEST(Playback, VideoOptionsEnableByTheirSwitchesAndAreRemembered)
{
    using Keldar::GUI::Widgets::Controls::ToggleSwitch;
    ViewerSession viewer;
    std::vector<VideoExportSettings> requested;
    {
        VideoExportOptionsDialog dialog;
        QObject::connect(&dialog, &VideoExportOptionsDialog::exportRequested,
                         [&](const VideoExportSettings& settings) { requested.push_back(settings); });
        auto* stamp = dialog.findChild<ToggleSwitch*>("timestampEnable");
        auto* type = dialog.findChild<QComboBox*>("timestampType");
        auto* zone = dialog.findChild<QComboBox*>("timeZone");
        auto* details = dialog.findChild<ToggleSwitch*>("sonarDetailsEnable");
        auto* format = dialog.findChild<QComboBox*>("videoFormat");
        auto* shorten = dialog.findChild<ToggleSwitch*>("shortenPauses");
        auto* maxPause = dialog.findChild<QSpinBox*>("maxPause");
        ASSERT_TRUE(stamp && type && zone && details && format && shorten && maxPause);
        EXPECT_FALSE(stamp->isEnabled());
        EXPECT_TRUE(details->isEnabled());
        EXPECT_EQ(zone->currentText().toUtf8(), QTimeZone::systemTimeZoneId());
        // Every zone offered is one the stamps can be written in.
        for (int i = 0; i < zone->count(); ++i) {
            const std::string known = zone->itemData(i).toString().toStdString();
            EXPECT_EQ(Keldar::Logging::VideoExport::formatterTimeZone(known), known) << zone->itemText(i).toStdString();
        }
        EXPECT_EQ(zone->itemData(zone->findText("UTC+05:00")).toString(), "Etc/GMT-5");
        EXPECT_LT(zone->findText("UTC+05:30"), 0) << "no zone of the formatter has that offset";
        EXPECT_EQ(format->currentText(), "MPEG-4 in AVI");
        EXPECT_FALSE(shorten->isEnabled());
        EXPECT_FALSE(type->QWidget::isEnabled());
        EXPECT_FALSE(zone->QWidget::isEnabled());
        EXPECT_FALSE(maxPause->QWidget::isEnabled());

        // A click turns the switch on before its animation has moved it.
        dialog.show();
        QTest::mouseClick(stamp, Qt::LeftButton);
        EXPECT_TRUE(type->QWidget::isEnabled());
        EXPECT_FALSE(zone->QWidget::isEnabled()) << "relative stamps need no zone";
        type->setCurrentIndex(1);
        EXPECT_TRUE(zone->QWidget::isEnabled());
        zone->setCurrentText("Asia/Tokyo");
        details->setState(false);
        format->setCurrentText("H.264 in MP4");
        QTest::mouseClick(shorten, Qt::LeftButton);
        EXPECT_TRUE(maxPause->QWidget::isEnabled());
        maxPause->setValue(3);
        QTest::mouseClick(dialog.findChild<QPushButton*>("exportButton"), Qt::LeftButton);
        EXPECT_FALSE(dialog.isVisible());

        // Switched off, the stamp is "none" whatever the type says.
        stamp->setState(false);
        EXPECT_FALSE(type->QWidget::isEnabled());
        EXPECT_FALSE(zone->QWidget::isEnabled());
        QTest::mouseClick(dialog.findChild<QPushButton*>("exportButton"), Qt::LeftButton);
    }
    ASSERT_EQ(requested.size(), 2U);
    EXPECT_EQ(requested[0].timestampType, 1);
    EXPECT_EQ(requested[0].timeZone, "Asia/Tokyo");
    EXPECT_FALSE(requested[0].sonarDetails);
    EXPECT_EQ(requested[0].format, Keldar::Ondrix::Visualisation::VideoExport::H264Mp4);
    EXPECT_EQ(requested[0].maxPauseMs, 3000);
    EXPECT_EQ(requested[1].timestampType, 2);

    VideoExportOptionsDialog reopened;
    EXPECT_FALSE(reopened.findChild<ToggleSwitch*>("timestampEnable")->isEnabled());
    EXPECT_EQ(reopened.findChild<QComboBox*>("timestampType")->currentIndex(), 1);
    EXPECT_EQ(reopened.findChild<QComboBox*>("timeZone")->currentText(), "Asia/Tokyo");
    EXPECT_FALSE(reopened.findChild<ToggleSwitch*>("sonarDetailsEnable")->isEnabled());
    EXPECT_EQ(reopened.findChild<QComboBox*>("videoFormat")->currentText(), "H.264 in MP4");
    EXPECT_TRUE(reopened.findChild<ToggleSwitch*>("shortenPauses")->isEnabled());
    EXPECT_EQ(reopened.findChild<QSpinBox*>("maxPause")->value(), 3);
}

TEST(Playback, TheExportPanelsVideoButtonWritesAVideoBesideTheRecording)
{
    ViewerSession viewer;
    OpenRecording log(viewer);
    log.scrub->getSlider()->setValue(20);
    ASSERT_TRUE(log.shows(20));
    // The panel is modal: the sidebar waits, and closing it brings frame 20 back.
    ExportModal* panel = log.toolbar->getExportModal();
    click(log.toolbar->getExportButton());
    ASSERT_TRUE(waitFor([&] { return panel->isVisible(); }));
    EXPECT_FALSE(log.toolbar->getPlayButton()->isEnabled());
    click(panel->findChild<QPushButton*>("cancelButton"));
    EXPECT_TRUE(log.toolbar->getPlayButton()->isEnabled());
    EXPECT_TRUE(waitFor([&] { return viewer.controller->getShownFrame() == 20; }));
    click(log.toolbar->getExportButton());
    ASSERT_TRUE(waitFor([&] { return panel->isVisible(); }));
    QToolButton* video = panel->getExportButton();
    EXPECT_EQ(video->text(), "Video");
    ASSERT_NE(video->menu(), nullptr);
    EXPECT_TRUE(video->menu()->actions().contains(panel->getLogFileAction()));
    panel->getRangeSlider()->setSpan(3, 12);
    click(video);
    EXPECT_FALSE(panel->isVisible());
    VideoExportOptionsDialog* options = panel->getVideoOptionsDialog();
    ASSERT_TRUE(options->isVisible());
    click(options->findChild<QPushButton*>("exportButton"));
    std::filesystem::path video1 = log.path;
    video1.replace_filename(log.path.stem().string() + "_exported.avi");
    const QString finished =
        QStringLiteral("Export finished successfully! Video saved to ") + QString::fromStdString(video1.string());
    EXPECT_TRUE(viewer.toastShown(finished)) << viewer.shownToasts().join('\n').toStdString();
    ASSERT_TRUE(std::filesystem::exists(video1));
    EXPECT_GT(std::filesystem::file_size(video1), 0U);
    // The toast offers the folder, shown by the desktop (here a stand-in).
    std::vector<QUrl> opened;
    FileManager::setOpener([&](const QUrl& folder) {
        opened.push_back(folder);
        return true;
    });
    EXPECT_TRUE(showFolderFromToast(viewer, finished.toStdString()));
    FileManager::setOpener({});
    EXPECT_EQ(opened, std::vector<QUrl>{QUrl::fromLocalFile(QString::fromStdString(log.path.parent_path().string()))});
    // Playing goes on from the frame on screen, not from the export's last.
    QSignalSpy played(viewer.controller, &MainController::framePlayed);
    click(log.toolbar->getScrubButton());
    click(log.toolbar->getPlayButton());
    ASSERT_TRUE(waitFor([&] { return !played.isEmpty(); }));
    click(log.toolbar->getPauseButton());
    EXPECT_EQ(played.first().at(0).toInt(), 21);

    // "Cancel" in the progress dialog stops the export and removes its file.
    bool cancelled = false;
    QTimer canceller;
    QObject::connect(&canceller, &QTimer::timeout, [&] {
        auto* progress = viewer.window->findChild<QProgressDialog*>("progress-dialog");
        if (progress != nullptr && progress->isVisible()) {
            progress->cancel();
            cancelled = true;
            canceller.stop();
        }
    });
    canceller.start(0);
    click(log.toolbar->getExportButton());
    click(video);
    click(options->findChild<QPushButton*>("exportButton"));
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(viewer.toastShown("Export cancelled.")) << viewer.shownToasts().join('\n').toStdString();
    EXPECT_EQ(filesIn(log.path.parent_path(), ".avi"), std::vector<std::filesystem::path>{video1});
}

// Counts the paints of the widgets it is installed on.
struct PaintCount : QObject
{
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

TEST(Playback, AVideoExportLeavesTheWindowLiveAndStopsPartWayThroughALongPause)
{
    ViewerSession viewer;
    OpenRecording log(viewer);
    // A copy that pauses two minutes after its first entry, recorded in Tokyo.
    const auto paused = log.path.parent_path() / "paused.ondrix";
    std::filesystem::copy_file(log.path, paused);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(paused.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db,
                           "UPDATE data SET timestamp = timestamp + 120000 WHERE entryId > 1;"
                           "UPDATE metadata SET value = 'Asia/Tokyo' WHERE key = 'currentTimeZone';",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    viewer.controller->openLogFile(paused.string());
    click(log.toolbar->getExportButton());
    ExportModal* panel = log.toolbar->getExportModal();
    panel->getRangeSlider()->setSpan(0, 10);
    click(panel->getExportButton());
    VideoExportOptionsDialog* options = panel->getVideoOptionsDialog();
    EXPECT_EQ(options->findChild<QComboBox*>("timeZone")->currentData().toString(), "Asia/Tokyo")
        << "absolute stamps default to the log's zone";

    // While the pause is written the window paints and the player is left
    // alone; a cancel then ends the export.
    PaintCount counter;
    viewer.window->installEventFilter(&counter);
    QSignalSpy played(viewer.controller, &MainController::framePlayed);
    bool cancelled = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        auto* progress = viewer.window->findChild<QProgressDialog*>("progress-dialog");
        if (progress == nullptr || !progress->isVisible() || cancelled) {
            return;
        }
        viewer.window->update();
        viewer.controller->readLogEntry(20);
        viewer.controller->beginPlayback();
        if (counter.paints >= 20) {
            progress->cancel();
            cancelled = true;
        }
    });
    watcher.start(20);
    click(options->findChild<QPushButton*>("exportButton"));
    watcher.stop();
    EXPECT_TRUE(cancelled) << counter.paints << " paints during the export";
    EXPECT_TRUE(viewer.toastShown("Export cancelled.")) << viewer.shownToasts().join('\n').toStdString();
    EXPECT_TRUE(played.isEmpty()) << "the player was used during the export";
    EXPECT_TRUE(filesIn(paused.parent_path(), ".avi").empty());
}

TEST(Playback, LogsWithNothingToPlayOrOddEntriesLeaveTheViewerUsable)
{
    ViewerSession viewer;
    QTemporaryDir folder;
    auto path = [&](const char* name) { return std::filesystem::path(folder.filePath(name).toStdString()); };
    auto makeLog = [&](const char* name,
                       const std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>>& entries) {
        Keldar::Logging::SqliteLogFile file(path(name).string(), "UTC", "test", "1", 0, 1000);
        Keldar::Logging::DataSource source{-1, KD_LogDataSourceType_Sonar, "Ondrix test"};
        file.addDataSource(source);
        std::int64_t time = 1000;
        for (const auto& [type, payload] : entries) {
            file.logData(Keldar::Logging::DataEntry{0, source.id, type, payload, time += 100});
        }
    };
    makeLog("empty.ondrix", {});
    makeLog("other.ondrix", {{7, {1, 2, 3}}, {7, {4, 5}}});
    makeLog("garbage.ondrix", {{1, {1, 2, 3}}, {0, {9}}, {2, {}}});
    makeLog("single.ondrix", {{1, {0xAA}}});

    for (const char* name : {"empty.ondrix", "other.ondrix"}) {
        viewer.messageBoxes.clear();
        viewer.controller->openLogFile(path(name).string());
        ASSERT_EQ(viewer.messageBoxes.size(), 1U) << name;
        EXPECT_EQ(viewer.messageBoxes.front().first, "Nothing to play");
        EXPECT_EQ(viewer.window->getMode(), LumivaneWindow::NoSource);
    }

    // Entries the parsers refuse show nothing, but playback goes on.
    QSignalSpy played(viewer.controller, &MainController::framePlayed);
    QSignalSpy times(viewer.controller, &MainController::currentLogTime);
    viewer.controller->openLogFile(path("garbage.ondrix").string());
    ASSERT_EQ(viewer.window->getMode(), LumivaneWindow::LogPlayback);
    auto* toolbar = viewer.window->getPlaybackToolbar();
    click(toolbar->getPlayButton());
    EXPECT_TRUE(waitFor([&] { return played.size() >= 3 && toolbar->getPlayButton()->isVisible(); }));
    EXPECT_EQ(played.last().at(0).toInt(), 2) << "the last frame stays on screen at the end";
    EXPECT_EQ(toolbar->getScrubControl()->getSlider()->value(), 2);
    EXPECT_GE(times.size(), 3);
    click(viewer.window->findChild<QWidget*>("closeFileButton"));

    // One frame: no time between frames, and nothing divides by zero.
    viewer.controller->openLogFile(path("single.ondrix").string());
    ASSERT_EQ(viewer.window->getMode(), LumivaneWindow::LogPlayback);
    EXPECT_EQ(toolbar->getScrubControl()->getSlider()->maximum(), 0);
    EXPECT_EQ(toolbar->getScrubControl()->getTimeText(), "00:00:00");
    click(toolbar->getPlayButton());
    EXPECT_TRUE(waitFor([&] { return toolbar->getPlayButton()->isVisible(); }));
    click(viewer.window->findChild<QWidget*>("closeFileButton"));

    // Opening never writes: an empty file stays empty, and a damaged log is
    // told as damaged.
    std::ofstream(path("zero.ondrix")).flush();
    std::filesystem::copy_file(path("single.ondrix"), path("damaged.ondrix"));
    {
        std::fstream damage(path("damaged.ondrix"), std::ios::in | std::ios::out | std::ios::binary);
        damage.seekp(100);
        damage << std::string(4000, '\xFF');
    }
    viewer.messageBoxes.clear();
    viewer.controller->openLogFile(path("zero.ondrix").string());
    viewer.controller->openLogFile(path("damaged.ondrix").string());
    ASSERT_EQ(viewer.messageBoxes.size(), 2U);
    EXPECT_EQ(viewer.messageBoxes[0].first, "Not a log file");
    EXPECT_EQ(viewer.messageBoxes[1].first, "Damaged log file");
    EXPECT_EQ(std::filesystem::file_size(path("zero.ondrix")), 0U);
    EXPECT_EQ(viewer.window->getMode(), LumivaneWindow::NoSource);

    // The command line: ".ondrix" in any case, or a log's content under any
    // name, and only a file that exists.
    EXPECT_FALSE(LumivaneApplication::commandLineLogFile(folder.filePath("SINGLE.ONDRIX").toStdString()));
    std::filesystem::copy_file(path("single.ondrix"), path("upper.ONDRIX"));
    std::filesystem::copy_file(path("single.ondrix"), path("renamed.log"));
    std::ofstream(path("notes.txt")) << "SQLite format 2 notes";
    EXPECT_TRUE(LumivaneApplication::commandLineLogFile(path("upper.ONDRIX").string()));
    EXPECT_TRUE(LumivaneApplication::commandLineLogFile(path("renamed.log").string()));
    EXPECT_FALSE(LumivaneApplication::commandLineLogFile(path("notes.txt").string()));
    EXPECT_FALSE(LumivaneApplication::commandLineLogFile(path("missing.ondrix").string()));
    const auto named = LumivaneApplication::commandLineLogFile(path("single.ondrix").string());
    ASSERT_TRUE(named);
    EXPECT_TRUE(viewer.application->openCommandLineFile(*named));
    EXPECT_EQ(viewer.window->getMode(), LumivaneWindow::LogPlayback);
    EXPECT_EQ(viewer.window->windowTitle().toStdString(), named->string());
}
