// The window's recording and log playback parts: the playback and capture
// toolbars, the recording clock, and their wiring to the controller.

#include "application/LumivaneWindow.h"

#include "application/LumivaneApplication.h"
#include "capture/CaptureToolbar.h"
#include "capture/RecordingTimeDisplay.h"
#include "controller/MainController.h"
#include "displaycontrols/AdditionalDisplays.h"
#include "displaycontrols/DisplayControlToolbar.h"
#include "displaycontrols/overlays/OverlayDisplays.h"
#include "playback/ExportModal.h"
#include "playback/PlaybackToolbar.h"
#include "sonarcontrols/MainToolbar.h"

#include <keldar/gui/SvgButton.h>
#include <keldar/visualisation/FanDisplay.h>

#include <QLayout>
#include <QSpacerItem>

namespace Keldar::OndrixLumivane {

using Ondrix::Visualisation::FanDisplay;

namespace {
constexpr int bookmarkToastMs = 3500;

void showBookmarkOutcome(LumivaneWindow& window, const MainController::BookmarkOutcome& outcome)
{
    if (outcome.done) {
        window.newToast(LumivaneWindow::ToastType::Success, outcome.message, LumivaneWindow::StandardToastDuration);
    } else {
        // Stays until read: the bookmark is not where the user thinks it is.
        window.newToast(LumivaneWindow::ToastType::Error, outcome.message, 0);
    }
}
} // namespace

PlaybackToolbar* LumivaneWindow::getPlaybackToolbar() const
{
    return playbackToolbar;
}

CaptureToolbar* LumivaneWindow::getCaptureToolbar() const
{
    return captureToolbar;
}

RecordingTimeDisplay* LumivaneWindow::getRecordingTimeDisplay() const
{
    return recordingTimeDisplay;
}

void LumivaneWindow::buildLogWidgets()
{
    auto* sidebar = findChild<QWidget*>(QStringLiteral("sidebar"));
    auto* layout = qobject_cast<QBoxLayout*>(sidebar->layout());
    auto* sonarControls = findChild<QWidget*>(QStringLiteral("sonarControlToolbar"));
    playbackToolbar = new PlaybackToolbar(sidebar);
    playbackToolbar->setObjectName(QStringLiteral("playbackToolbar"));
    layout->insertWidget(layout->indexOf(sonarControls) + 1, playbackToolbar);
    // The capture toolbar closes the toolbars, above the sidebar's spacer.
    int spacer = layout->count();
    for (int i = 0; i < layout->count(); ++i) {
        if (layout->itemAt(i)->spacerItem() != nullptr) {
            spacer = i;
            break;
        }
    }
    captureToolbar = new CaptureToolbar(sidebar);
    captureToolbar->setObjectName(QStringLiteral("captureToolbar"));
    layout->insertWidget(spacer, captureToolbar);

    recordingTimeDisplay = new RecordingTimeDisplay(findChild<QWidget*>(QStringLiteral("sonarDisplay")));
    recordingTimeDisplay->hide();
}

void LumivaneWindow::wireLogWidgets()
{
    MainController* controller = LumivaneApplication::instance()->getController();
    auto* mainToolbar = findChild<MainToolbar*>(QStringLiteral("mainToolbar"));
    PlaybackToolbar* playback = playbackToolbar;
    CaptureToolbar* capture = captureToolbar;
    FanDisplay* fan = getFanDisplay();

    connect(controller, &MainController::logFileOpened, this, &LumivaneWindow::onOpenedLogFile);
    connect(controller, &MainController::logFileOpened, mainToolbar, &MainToolbar::logfileOpened);
    connect(controller, &MainController::logFileClosed, this, &LumivaneWindow::resetGui);
    connect(controller, &MainController::logFileClosed, mainToolbar, &MainToolbar::resetToolbar);
    connect(controller, &MainController::logFileClosed, this, &LumivaneWindow::resetLogWidgets);
    connect(controller, &MainController::disconnectedFromSonar, this, &LumivaneWindow::resetLogWidgets);
    connect(controller, &MainController::logEntriesCounted, playback, &PlaybackToolbar::logEntriesCounted);
    connect(controller, &MainController::logTimeZoneRetrieved, playback->getExportModal(),
            &ExportModal::logTimeZoneRetrieved);
    connect(controller, &MainController::logPlayTimeRetrieved, playback, &PlaybackToolbar::logPlayTimeReceived);
    connect(controller, &MainController::logFrameTimesRetrieved, playback, &PlaybackToolbar::logFrameTimesReceived);
    connect(controller, &MainController::framePlayed, playback, &PlaybackToolbar::framePlayed);
    connect(controller, &MainController::newBookmarkList, playback, &PlaybackToolbar::newBookmarkList);
    connect(controller, &MainController::playbackStopped, playback, &PlaybackToolbar::resetPlayPauseButton);
    // Frames flow while live or playing; paused or stopped, there is no rate.
    FpsDisplay* fps = getDisplayControlToolbar()->getAdditionalDisplays()->getFpsDisplay();
    connect(controller, &MainController::logFileOpened, fps, [fps] { fps->setCounting(false); });
    connect(controller, &MainController::playbackStopped, fps, [fps] { fps->setCounting(false); });
    connect(playback, &PlaybackToolbar::stopPlayback, fps, [fps] { fps->setCounting(false); });
    connect(playback, &PlaybackToolbar::beginPlayback, fps, [fps] { fps->setCounting(true); });
    connect(controller, &MainController::connectedToSonar, fps, [fps] { fps->setCounting(true); });
    connect(controller, &MainController::loggingStarted, capture, &CaptureToolbar::loggingStarted);
    connect(controller, &MainController::loggingStarted, this, [this] {
        recordingTimeDisplay->placeAtBottomRight();
        recordingTimeDisplay->start();
    });
    connect(controller, &MainController::loggingStopped, capture, &CaptureToolbar::loggingStopped);
    connect(controller, &MainController::loggingStopped, recordingTimeDisplay, &RecordingTimeDisplay::stop);

    connect(mainToolbar, &MainToolbar::openLogFile, controller, &MainController::openLogFile);
    connect(mainToolbar, &MainToolbar::closeLogFile, controller, &MainController::closeLogFile);

    connect(capture, &CaptureToolbar::startLogging, controller, &MainController::startLogging);
    connect(capture, &CaptureToolbar::stopLogging, controller, &MainController::stopLogging);
    connect(capture, &CaptureToolbar::stillCapture, controller, &MainController::stillCapture);
    // The entry newest when the button is pressed is the one marked.
    connect(capture, &CaptureToolbar::currentEntryIdRequested, this, [capture, controller] {
        const int32_t entryId = controller->getLastEntryID();
        capture->requestBookmark(entryId, controller->getRecordingBookmark(entryId));
    });
    connect(capture, &CaptureToolbar::newBookmarkRequested, this,
            [this, controller](int32_t entryId, const std::string& title, const std::string& comments) {
                showBookmarkOutcome(*this, controller->addBookmark(entryId, title, comments));
            });

    connect(playback, &PlaybackToolbar::entryRequested, controller, &MainController::readLogEntry);
    connect(playback, &PlaybackToolbar::beginPlayback, controller, &MainController::beginPlayback);
    connect(playback, &PlaybackToolbar::stopPlayback, controller, &MainController::stopPlayback);
    connect(playback, &PlaybackToolbar::setLoopPlayback, controller, &MainController::setLoopPlayback);
    connect(playback, &PlaybackToolbar::speedRequested, controller, &MainController::setPlaybackSpeed);
    connect(playback, &PlaybackToolbar::exportToLog, controller, &MainController::exportToLog);
    connect(playback, &PlaybackToolbar::exportToLegacyLog, controller, &MainController::exportToLegacyLog);
    connect(playback, &PlaybackToolbar::exportToVideo, controller, &MainController::exportToVideo);
    connect(playback, &PlaybackToolbar::newBookmarkRequested, this,
            [this, controller](int32_t entryId, const std::string& title, const std::string& comments) {
                showBookmarkOutcome(*this, controller->addBookmark(entryId, title, comments));
            });
    connect(playback, &PlaybackToolbar::updateBookmarkRequested, this,
            [this, controller](const Logging::Bookmark& chosen, const std::string& title, const std::string& comments) {
                showBookmarkOutcome(*this, controller->updateBookmark(chosen, title, comments));
            });
    connect(playback, &PlaybackToolbar::removeBookmarkRequested, this,
            [this, controller](const Logging::Bookmark& chosen) {
                showBookmarkOutcome(*this, controller->removeBookmark(chosen));
            });
    connect(playback, &PlaybackToolbar::bookmarkPassed, this,
            [this](const std::string& title, const std::string& comments) {
                // A bookmark without comments is announced by its title alone.
                QString text = QStringLiteral("Bookmark: ") + QString::fromStdString(title);
                if (!comments.empty()) {
                    text += QStringLiteral(" - ") + QString::fromStdString(comments);
                }
                newToast(ToastType::Info, text, bookmarkToastMs);
            });
    // While the export panel is open it shows the frames the user picks
    // instead of the main display. It is modal: the sidebars wait, and
    // closing it (exported, cancelled or failed) brings back the frame that
    // was on screen when it opened, from which Play goes on.
    auto frameBeforeExport = std::make_shared<std::int32_t>(0);
    auto setSidebarsEnabled = [this](bool enabled) {
        for (const char* name : {"sidebar", "overflowSidebar"}) {
            if (auto* sidebar = findChild<QWidget*>(QString::fromLatin1(name))) {
                sidebar->setEnabled(enabled);
            }
        }
    };
    connect(playback, &PlaybackToolbar::exportModalOpened, this,
            [playback, controller, fan, frameBeforeExport, setSidebarsEnabled] {
                if (playback->getPauseButton()->isVisible()) {
                    playback->getPauseButton()->click();
                }
                *frameBeforeExport = controller->getShownFrame();
                setSidebarsEnabled(false);
                Q_EMIT playback->displaySettingsReceived(fan->getCurrentDisplaySettings());
                QObject::disconnect(controller, &MainController::newImage, fan, &FanDisplay::newImageReceived);
                QObject::connect(controller, &MainController::newImage, playback, &PlaybackToolbar::newImageReceived,
                                 Qt::UniqueConnection);
                controller->readLogEntry(0);
            });
    connect(playback, &PlaybackToolbar::exportModalClosed, this,
            [playback, controller, fan, frameBeforeExport, setSidebarsEnabled] {
                QObject::disconnect(controller, &MainController::newImage, playback,
                                    &PlaybackToolbar::newImageReceived);
                QObject::connect(controller, &MainController::newImage, fan, &FanDisplay::newImageReceived,
                                 Qt::UniqueConnection);
                setSidebarsEnabled(true);
                controller->readLogEntry(*frameBeforeExport);
            });

    connect(this, &LumivaneWindow::windowResized, this, [this] {
        if (recordingTimeDisplay->isVisible()) {
            recordingTimeDisplay->placeAtBottomCentre();
        }
    });
    connect(LumivaneApplication::instance(), &LumivaneApplication::uiConstructed, this, [this] {
        playbackToolbar->hide();
        captureToolbar->hide();
        captureToolbar->loadShortcuts();
    });
}

void LumivaneWindow::activateLogToolbars()
{
    playbackToolbar->activate(LogPlayback);
    captureToolbar->activate(LogPlayback);
    captureToolbar->setMode(CaptureToolbar::Playback);
}

void LumivaneWindow::resetLogWidgets()
{
    if (playbackToolbar->isVisible()) {
        playbackToolbar->deactivate();
    }
    playbackToolbar->hide();
    captureToolbar->hide();
    recordingTimeDisplay->stop();
}

} // namespace Keldar::OndrixLumivane
