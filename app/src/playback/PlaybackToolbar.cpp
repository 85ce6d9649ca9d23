#include "playback/PlaybackToolbar.h"

#include "base/ViewerContext.h"
#include "playback/BookmarkControls.h"
#include "playback/BookmarkListWidget.h"
#include "playback/ExportModal.h"
#include "playback/PlaybackSpeedControl.h"
#include "playback/ScrubControl.h"
#include "playback/ScrubSlider.h"

#include <keldar/gui/PopOutWidgetButton.h>
#include <keldar/gui/SvgButton.h>

#include <QEvent>
#include <QKeySequence>
#include <QSettings>
#include <QShortcut>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

namespace Keldar::OndrixLumivane {

using GUI::Widgets::Buttons::PopOutWidgetButton;
using GUI::Widgets::Buttons::SvgButton;

namespace {

const ToolbarBase::PopOutKeys scrubKeys{QStringLiteral("scrubControlDocked"), QStringLiteral("scrubControlPosition"),
                                        QStringLiteral("scrubButtonChecked")};
const ToolbarBase::PopOutKeys speedKeys{QStringLiteral("speedControlDocked"), QStringLiteral("speedControlPosition"),
                                        QStringLiteral("speedButtonChecked")};
const ToolbarBase::PopOutKeys bookmarkKeys{QStringLiteral("bookmarkControlsDocked"),
                                           QStringLiteral("bookmarkControlsPosition"),
                                           QStringLiteral("bookmarksButtonChecked")};

} // namespace

PlaybackToolbar::PlaybackToolbar(QWidget* parent)
    : ToolbarBase(parent)
    , playButton(makeButton<SvgButton>(QStringLiteral("playButton"), QStringLiteral(":/keldar-icons/Playback/Play.svg"),
                                       QStringLiteral("Begin log file playback."), this))
    , pauseButton(makeButton<SvgButton>(QStringLiteral("pauseButton"),
                                        QStringLiteral(":/keldar-icons/Playback/Pause.svg"),
                                        QStringLiteral("Pause log file playback."), this))
    , speedButton(makeButton<PopOutWidgetButton>(QStringLiteral("playbackSpeedButton"),
                                                 QStringLiteral(":/keldar-icons/Playback/Speed.svg"),
                                                 QStringLiteral("Adjust playback speed."), this))
    , scrubButton(makeButton<PopOutWidgetButton>(QStringLiteral("scrubButton"),
                                                 QStringLiteral(":/keldar-icons/Playback/Scrub.svg"),
                                                 QStringLiteral("Open the playback scrubbing controls."), this))
    , bookmarksButton(makeButton<PopOutWidgetButton>(QStringLiteral("bookmarksButton"),
                                                     QStringLiteral(":/keldar-icons/Playback/Bookmark.svg"),
                                                     QStringLiteral("Open the bookmark panel."), this))
    , exportButton(makeButton<SvgButton>(QStringLiteral("exportButton"),
                                         QStringLiteral(":/keldar-icons/Playback/Export.svg"),
                                         QStringLiteral("Open export controls."), this))
    // The pop-outs stay inside the toolbar until placePopOuts moves them.
    , speedControl(new PlaybackSpeedControl(speedButton, this))
    , scrubControl(new ScrubControl(scrubButton, this))
    , bookmarkControls(new BookmarkControls(bookmarksButton, this))
    , exportModal(new ExportModal(this))
    , playPauseShortcut(new QShortcut(this))
    , toggleLoopShortcut(new QShortcut(this))
    , increaseSpeedShortcut(new QShortcut(this))
    , decreaseSpeedShortcut(new QShortcut(this))
    , nextBookmarkShortcut(new QShortcut(this))
    , previousBookmarkShortcut(new QShortcut(this))
    , previousFrameShortcut(new QShortcut(QKeySequence(Qt::Key_Left), this))
    , nextFrameShortcut(new QShortcut(QKeySequence(Qt::Key_Right), this))
{
    exportButton->setCheckable(true);
    exportModal->hide();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    for (QWidget* button : std::initializer_list<QWidget*>{playButton, pauseButton, speedButton, scrubButton,
                                                           bookmarksButton, exportButton}) {
        layout->addWidget(button, 0, Qt::AlignHCenter);
    }
    pauseButton->hide();
    for (BasicPopOutWidget* popOut :
         std::initializer_list<BasicPopOutWidget*>{scrubControl, speedControl, bookmarkControls}) {
        addPopOut(popOut);
    }

    // Fed from outside, handed to the panels.
    connect(this, &PlaybackToolbar::logEntriesCounted, exportModal, &ExportModal::logEntriesCounted);
    connect(this, &PlaybackToolbar::logPlayTimeReceived, exportModal, &ExportModal::logPlayTimeReceived);
    connect(this, &PlaybackToolbar::displaySettingsReceived, exportModal, &ExportModal::displaySettingsReceived);
    connect(this, &PlaybackToolbar::newImageReceived, exportModal, &ExportModal::newImageReceived);
    connect(this, &PlaybackToolbar::logEntriesCounted, scrubControl, &ScrubControl::logEntriesCounted);
    connect(this, &PlaybackToolbar::logPlayTimeReceived, scrubControl, &ScrubControl::logPlayTimeReceived);
    connect(this, &PlaybackToolbar::logFrameTimesReceived, scrubControl, &ScrubControl::frameTimesReceived);
    connect(this, &PlaybackToolbar::logFrameTimesReceived, exportModal, &ExportModal::frameTimesReceived);
    connect(this, &PlaybackToolbar::newBookmarkList, scrubControl, &ScrubControl::newBookmarkList);
    connect(this, &PlaybackToolbar::newBookmarkList, this, [this](const PlayerBookmarks& list) {
        bookmarks = list;
        bookmarkControls->newBookmarkList(list);
        bookmarkControls->getList()->showTimes(frameTimes);
    });
    connect(this, &PlaybackToolbar::logFrameTimesReceived, this, [this](const std::vector<std::int64_t>& timestamps) {
        frameTimes = FrameTimes(timestamps);
        bookmarkControls->getList()->showTimes(frameTimes);
    });
    connect(this, &PlaybackToolbar::framePlayed, this, &PlaybackToolbar::onFramePlayed);

    // Out to the controller.
    connect(exportModal, &ExportModal::frameRequested, this, &PlaybackToolbar::entryRequested);
    connect(scrubControl, &ScrubControl::entryRequested, this, &PlaybackToolbar::entryRequested);
    // The panel names the bookmark's entry; the player seeks by frame.
    connect(bookmarkControls, &BookmarkControls::jumpToBookmarkRequested, this, [this](int32_t entryId) {
        const auto found = std::find_if(bookmarks.begin(), bookmarks.end(),
                                        [entryId](const auto& bookmark) { return bookmark.entryId == entryId; });
        if (found != bookmarks.end()) {
            Q_EMIT entryRequested(found->frameIndex);
        }
    });
    connect(exportModal, &ExportModal::exportToLog, this, &PlaybackToolbar::exportToLog);
    connect(exportModal, &ExportModal::exportToLegacyLog, this, &PlaybackToolbar::exportToLegacyLog);
    connect(exportModal, &ExportModal::exportToVideo, this, &PlaybackToolbar::exportToVideo);
    connect(exportModal, &ExportModal::exportModalOpened, this, &PlaybackToolbar::exportModalOpened);
    connect(exportModal, &ExportModal::exportModalClosed, this, [this] {
        exportButton->setChecked(false);
        Q_EMIT exportModalClosed();
    });
    connect(speedControl, &PlaybackSpeedControl::speedRequested, this, &PlaybackToolbar::speedRequested);
    connect(scrubControl, &ScrubControl::setLoopPlayback, this, &PlaybackToolbar::setLoopPlayback);
    connect(bookmarkControls, &BookmarkControls::newBookmarkRequested, this, &PlaybackToolbar::newBookmarkRequested);
    connect(bookmarkControls, &BookmarkControls::updateBookmarkRequested, this,
            &PlaybackToolbar::updateBookmarkRequested);
    connect(bookmarkControls, &BookmarkControls::removeBookmarkRequested, this,
            &PlaybackToolbar::removeBookmarkRequested);
    connect(bookmarkControls, &BookmarkControls::bookmarkPassed, this, &PlaybackToolbar::bookmarkPassed);
    connect(bookmarkControls, &BookmarkControls::bookmarkHovered, scrubControl, &ScrubControl::onBookmarkHovered);
    connect(bookmarkControls, &BookmarkControls::bookmarkSelected, scrubControl, &ScrubControl::onBookmarkSelected);
    connect(scrubControl, &ScrubControl::stopPlayback, this, [this] {
        if (pauseButton->isVisible()) {
            pauseButton->click();
        }
    });
    connect(scrubControl, &ScrubControl::scrubbingStarted, this, &PlaybackToolbar::pauseForAWhile);
    connect(bookmarkControls, &BookmarkControls::addingBookmark, this, &PlaybackToolbar::pauseForAWhile);
    connect(scrubControl, &ScrubControl::scrubbingStopped, this, &PlaybackToolbar::resumeAfterAWhile);
    connect(bookmarkControls, &BookmarkControls::finishedAddingBookmark, this, &PlaybackToolbar::resumeAfterAWhile);

    connect(playButton, &QAbstractButton::clicked, this, [this] {
        steppedFrame = -1;
        // Play at the end of a log that does not loop plays it again.
        const QSlider* slider = scrubControl->getSlider();
        if (slider->maximum() > 0 && slider->value() == slider->maximum() &&
            !scrubControl->getLoopButton()->isChecked()) {
            Q_EMIT entryRequested(0);
        }
        playButton->hide();
        pauseButton->show();
        Q_EMIT beginPlayback();
    });
    connect(pauseButton, &QAbstractButton::clicked, this, [this] {
        pauseButton->hide();
        playButton->show();
        Q_EMIT stopPlayback();
    });
    connect(exportButton, &QAbstractButton::clicked, this, &PlaybackToolbar::openExportModal);

    connect(playPauseShortcut, &QShortcut::activated, this,
            [this] { (playButton->isVisible() ? playButton : pauseButton)->click(); });
    connect(toggleLoopShortcut, &QShortcut::activated, scrubControl, &ScrubControl::toggleLoopPlayback);
    connect(increaseSpeedShortcut, &QShortcut::activated, this, [this] { stepSpeed(1); });
    connect(decreaseSpeedShortcut, &QShortcut::activated, this, [this] { stepSpeed(-1); });
    connect(nextBookmarkShortcut, &QShortcut::activated, this, [this] { stepBookmark(1); });
    connect(previousBookmarkShortcut, &QShortcut::activated, this, [this] { stepBookmark(-1); });
    // Window-wide, like the other shortcuts; a focused text field keeps its
    // arrow keys, as it claims them before shortcuts are looked up.
    connect(previousFrameShortcut, &QShortcut::activated, this, [this] { stepFrame(-1); });
    connect(nextFrameShortcut, &QShortcut::activated, this, [this] { stepFrame(1); });
    // The export panel's range slider has arrow keys of its own; a shortcut,
    // even a disabled one, would take them.
    connect(exportModal, &ExportModal::exportModalOpened, this, [this] {
        previousFrameShortcut->setKey(QKeySequence());
        nextFrameShortcut->setKey(QKeySequence());
    });
    connect(exportModal, &ExportModal::exportModalClosed, this, [this] {
        previousFrameShortcut->setKey(QKeySequence(Qt::Key_Left));
        nextFrameShortcut->setKey(QKeySequence(Qt::Key_Right));
    });

    connect(ViewerContext::instance(), &ViewerContext::uiConstructed, this, &PlaybackToolbar::placePopOuts);
}

void PlaybackToolbar::placePopOuts()
{
    QWidget* area = window()->findChild<QWidget*>(QStringLiteral("sonarDisplay"));
    if (area == nullptr) {
        area = window();
    }
    placePopOutsIn(area);
    exportModal->setParent(area, Qt::Widget);
    exportModal->hide();
    area->installEventFilter(this);
    loadShortcuts();
}

bool PlaybackToolbar::isPlaying() const
{
    return pauseButton->isVisible();
}

PlaybackToolbar::SvgButton* PlaybackToolbar::getPlayButton() const
{
    return playButton;
}

PlaybackToolbar::SvgButton* PlaybackToolbar::getPauseButton() const
{
    return pauseButton;
}

PopOutWidgetButton* PlaybackToolbar::getSpeedButton() const
{
    return speedButton;
}

PopOutWidgetButton* PlaybackToolbar::getScrubButton() const
{
    return scrubButton;
}

PopOutWidgetButton* PlaybackToolbar::getBookmarksButton() const
{
    return bookmarksButton;
}

PlaybackToolbar::SvgButton* PlaybackToolbar::getExportButton() const
{
    return exportButton;
}

PlaybackSpeedControl* PlaybackToolbar::getSpeedControl() const
{
    return speedControl;
}

ScrubControl* PlaybackToolbar::getScrubControl() const
{
    return scrubControl;
}

BookmarkControls* PlaybackToolbar::getBookmarkControls() const
{
    return bookmarkControls;
}

ExportModal* PlaybackToolbar::getExportModal() const
{
    return exportModal;
}

bool PlaybackToolbar::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && watched == exportModal->parent() && exportModal->isVisible()) {
        exportModal->fitToParent();
    }
    return ToolbarBase::eventFilter(watched, event);
}

void PlaybackToolbar::onFramePlayed(int32_t frame, int32_t entryId)
{
    if (exportModal->isVisible()) {
        return;
    }
    // The bookmark panel first: at the last frame the scrub control goes back
    // to frame 0, which is then the frame on screen and the one a new
    // bookmark must mark.
    bookmarkControls->framePlayed(frame, entryId, scrubControl->isScrubbing());
    if (frame == steppedFrame) {
        steppedFrame = -1;
        scrubControl->showFrame(frame);
    } else {
        scrubControl->framePlayed(frame);
    }
}

void PlaybackToolbar::pauseForAWhile()
{
    if (pauseButton->isVisible()) {
        pauseButton->click();
        wasPlaying = true;
    }
}

void PlaybackToolbar::resumeAfterAWhile()
{
    if (wasPlaying) {
        wasPlaying = false;
        playButton->click();
    }
}

void PlaybackToolbar::openExportModal()
{
    if (pauseButton->isVisible()) {
        pauseButton->click();
    }
    exportButton->setChecked(true);
    exportModal->fitToParent();
    exportModal->raise();
    exportModal->show();
}

void PlaybackToolbar::stepSpeed(int direction)
{
    QSlider* slider = speedControl->getSlider();
    slider->setValue(
        std::clamp(slider->value() + direction * slider->singleStep(), slider->minimum(), slider->maximum()));
}

void PlaybackToolbar::stepFrame(int direction)
{
    // Only in a paused log; the ends stop the steps rather than wrap.
    if (isPlaying()) {
        return;
    }
    const QSlider* slider = scrubControl->getSlider();
    // Keys repeated before the last step is shown step on from it.
    const int from = steppedFrame >= 0 ? steppedFrame : slider->value();
    const int to = std::clamp(from + direction, slider->minimum(), slider->maximum());
    if (to == from) {
        return;
    }
    steppedFrame = to;
    Q_EMIT entryRequested(to);
}

void PlaybackToolbar::stepBookmark(int direction)
{
    // From the frame on screen to the nearest bookmark beyond it; none beyond
    // the last or before the first. Playing goes on from the bookmark.
    const int from = scrubControl->getSlider()->value();
    std::vector<int> frames;
    for (const auto& bookmark : bookmarks) {
        frames.push_back(bookmark.frameIndex);
    }
    std::sort(frames.begin(), frames.end());
    int to = -1;
    if (direction > 0) {
        const auto next = std::upper_bound(frames.begin(), frames.end(), from);
        to = next == frames.end() ? -1 : *next;
    } else {
        const auto next = std::lower_bound(frames.begin(), frames.end(), from);
        to = next == frames.begin() ? -1 : *std::prev(next);
    }
    if (to >= 0) {
        Q_EMIT entryRequested(to);
    }
}

void PlaybackToolbar::resetPlayPauseButton()
{
    pauseButton->hide();
    playButton->show();
}

void PlaybackToolbar::loadShortcuts()
{
    settings().beginGroup(QString::fromLatin1(shortcutGroup));
    loadShortcut(playPauseShortcut, "playPauseShortcut");
    loadShortcut(toggleLoopShortcut, "toggleLoopShortcut");
    loadShortcut(increaseSpeedShortcut, "increaseSpeedShortcut");
    loadShortcut(decreaseSpeedShortcut, "decreaseSpeedShortcut");
    loadShortcut(nextBookmarkShortcut, "nextBookmarkShortcut");
    loadShortcut(previousBookmarkShortcut, "previousBookmarkShortcut");
    settings().endGroup();
}

void PlaybackToolbar::restoreState(int /*mode*/)
{
    // Docked unless the user tore them off: on first use all three would
    // otherwise pile up in the display's corner.
    settings().beginGroup(QString::fromLatin1(stateGroup));
    restorePopOut(scrubButton, scrubControl, scrubKeys, true);
    restorePopOut(speedButton, speedControl, speedKeys, true);
    restorePopOut(bookmarksButton, bookmarkControls, bookmarkKeys, true);
    settings().endGroup();
}

void PlaybackToolbar::saveState()
{
    settings().beginGroup(QString::fromLatin1(stateGroup));
    savePopOut(scrubButton, scrubControl, scrubKeys);
    savePopOut(speedButton, speedControl, speedKeys);
    savePopOut(bookmarksButton, bookmarkControls, bookmarkKeys);
    settings().endGroup();
}

void PlaybackToolbar::resetControls()
{
    resetPlayPauseButton();
    steppedFrame = -1;
    for (PopOutWidgetButton* button : {scrubButton, speedButton, bookmarksButton}) {
        button->setChecked(false);
    }
    exportModal->hide();
    exportButton->setChecked(false);
    hide();
}

} // namespace Keldar::OndrixLumivane
