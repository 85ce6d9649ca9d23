// Playing a recording through the real window: opening it, the playback
// controls, bookmarks, export to a log file and still captures; and logs
// that hold nothing to play.

#include "support/LogTestSupport.h"

#include "application/LumivaneApplication.h"
#include "application/LumivaneWindow.h"
#include "capture/BookmarkDialog.h"
#include "capture/CaptureToolbar.h"
#include "controller/MainController.h"
#include "export/FolderOpener.h"
#include "export/VideoExportOptionsDialog.h"
#include "playback/BookmarkControls.h"
#include "playback/BookmarkListWidget.h"
#include "playback/ExportModal.h"
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
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <QTimeZone>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <csignal>
#include <sqlite3.h>
#include <sys/resource.h>

using namespace Keldar::OndrixLumivane;
using namespace Keldar::OndrixLumivane::Testing;
using Keldar::GUI::Widgets::Containers::BasicPopOutWidget;

namespace {

constexpr std::uint32_t serial = 40021;

// A recording made by the viewer from the simulator, then opened through the
// main toolbar as a user would.
struct OpenRecording
{
    explicit OpenRecording(ViewerSession& viewer)
        : viewer(viewer)
    {
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
    const auto total = file->readEntry(log.index.back())->timestamp - file->readEntry(log.index.front())->timestamp;
    EXPECT_EQ(log.scrub->getTimeText(),
              ScrubControl::formatTime(static_cast<qint64>(static_cast<float>(frame) *
                                                           (static_cast<float>(total) / static_cast<float>(last)))));

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

    // Without loop the last frame pauses and goes back to frame 0.
    log.scrub->getSlider()->setValue(static_cast<int>(log.index.size()) - 8);
    click(log.toolbar->getPlayButton());
    EXPECT_TRUE(waitFor([&] { return log.toolbar->getPlayButton()->isVisible(); }));
    EXPECT_TRUE(log.shows(0));
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
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "  Reef edge");

    list->setCurrentItem(list->item(0));
    click(panel->getDeleteButton());
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "This log file has no bookmarks...");
    EXPECT_TRUE(slider->getBookmarkFrames().empty());
    EXPECT_TRUE(openLog(log.path)->getBookmarks().empty());
}

TEST(Playback, ExportsAFrameRangeToANewLogAndCapturesStills)
{
    ViewerSession viewer;
    OpenRecording log(viewer);
    click(log.toolbar->getExportButton());
    ExportModal* panel = log.toolbar->getExportModal();
    ASSERT_TRUE(panel->isVisible());
    panel->getRangeSlider()->setSpan(3, 12);
    panel->getLogFileAction()->trigger();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(viewer.toastShown("Export finished successfully!"));

    std::filesystem::path exported = log.path;
    exported.replace_filename(log.path.stem().string() + "_exported.ondrix");
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
    click(log.toolbar->getExportButton());
    ExportModal* panel = log.toolbar->getExportModal();
    QToolButton* video = panel->getExportButton();
    EXPECT_EQ(video->text(), "Video");
    ASSERT_NE(video->menu(), nullptr);
    EXPECT_TRUE(video->menu()->actions().contains(panel->getLogFileAction()));
    panel->getRangeSlider()->setSpan(3, 12);
    log.scrub->getSlider()->setValue(20);
    ASSERT_TRUE(log.shows(20));
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
    QStringList opened;
    FolderOpener::setOpener([&](const QString& folder) {
        opened << folder;
        return true;
    });
    QPushButton* show = nullptr;
    for (auto* toast : viewer.window->findChildren<Keldar::GUI::Widgets::Notifications::Toast*>()) {
        for (auto* button : toast->findChildren<QPushButton*>()) {
            if (toast->getText() == finished && button->text() == "Show in folder") {
                show = button;
            }
        }
    }
    ASSERT_NE(show, nullptr);
    click(show);
    FolderOpener::setOpener({});
    EXPECT_EQ(opened, QStringList{QString::fromStdString(log.path.parent_path().string())});
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
    EXPECT_EQ(played.last().at(0).toInt(), 0) << "back to the first frame at the end";
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

    // The command line: ".ondrix" exactly, and only a file that exists.
    EXPECT_FALSE(LumivaneApplication::commandLineLogFile(folder.filePath("SINGLE.ONDRIX").toStdString()));
    std::filesystem::copy_file(path("single.ondrix"), path("upper.ONDRIX"));
    EXPECT_FALSE(LumivaneApplication::commandLineLogFile(path("upper.ONDRIX").string()));
    EXPECT_FALSE(LumivaneApplication::commandLineLogFile(path("missing.ondrix").string()));
    const auto named = LumivaneApplication::commandLineLogFile(path("single.ondrix").string());
    ASSERT_TRUE(named);
    EXPECT_TRUE(viewer.application->openCommandLineFile(*named));
    EXPECT_EQ(viewer.window->getMode(), LumivaneWindow::LogPlayback);
    EXPECT_EQ(viewer.window->windowTitle().toStdString(), named->string());
}
