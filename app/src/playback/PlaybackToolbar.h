#pragma once

#include "base/ToolbarBase.h"
#include "controller/PlaybackMetaTypes.h"
#include "export/VideoExport.h"
#include "playback/FrameTimes.h"

#include <keldar/ondrix/OndrixImage.h>
#include <keldar/visualisation/FanDisplayOptions.h>

#include <cstdint>
#include <string>
#include <vector>

class QShortcut;

namespace Keldar::GUI::Widgets::Buttons {
class PopOutWidgetButton;
class SvgButton;
} // namespace Keldar::GUI::Widgets::Buttons

namespace Keldar::OndrixLumivane {

class BookmarkControls;
class ExportModal;
class PlaybackSpeedControl;
class ScrubControl;

// Sidebar controls of an open log: play and pause, speed, the timeline, the
// bookmarks and the export panel. It only relays requests to the controller.
class PlaybackToolbar : public ToolbarBase
{
    Q_OBJECT

public:
    using SvgButton = GUI::Widgets::Buttons::SvgButton;
    using PopOutWidgetButton = GUI::Widgets::Buttons::PopOutWidgetButton;
    using PlayerBookmarks = std::vector<Logging::Playback::PlayerBookmark>;
    using DisplaySettings = Ondrix::Visualisation::FanDisplayOptions::DisplaySettings;
    static constexpr const char* stateGroup = "PlaybackToolbar";
    static constexpr const char* shortcutGroup = "PlaybackControlToolbar";

    explicit PlaybackToolbar(QWidget* parent = nullptr);

    // Moves the pop-outs and the export panel into the sonar display.
    void placePopOuts();
    bool isPlaying() const;

    SvgButton* getPlayButton() const;
    SvgButton* getPauseButton() const;
    PopOutWidgetButton* getSpeedButton() const;
    PopOutWidgetButton* getScrubButton() const;
    PopOutWidgetButton* getBookmarksButton() const;
    SvgButton* getExportButton() const;
    PlaybackSpeedControl* getSpeedControl() const;
    ScrubControl* getScrubControl() const;
    BookmarkControls* getBookmarkControls() const;
    ExportModal* getExportModal() const;

Q_SIGNALS:
    void logEntriesCounted(int count);
    void logPlayTimeReceived(int milliseconds);
    void logFrameTimesReceived(std::vector<std::int64_t> timestamps);
    void newBookmarkList(std::vector<Keldar::Logging::Playback::PlayerBookmark> bookmarks);
    void entryRequested(int index);
    void framePlayed(int32_t frame, int32_t entryId);
    void beginPlayback();
    void stopPlayback();
    void setLoopPlayback(bool enabled);
    void speedRequested(float speed);
    void exportModalOpened();
    void exportModalClosed();
    void displaySettingsReceived(const Keldar::Ondrix::Visualisation::FanDisplayOptions::DisplaySettings& settings);
    void newImageReceived(Keldar::Ondrix::OndrixImage image);
    void exportToLog(int firstFrame, int lastFrame);
    void exportToLegacyLog(int firstFrame, int lastFrame);
    void exportToVideo(Keldar::Ondrix::Visualisation::VideoExport::VideoExportSettings settings,
                       Keldar::Ondrix::Visualisation::FanDisplayOptions::DisplaySettings displaySettings);
    void newBookmarkRequested(int32_t entryId, std::string title, std::string comments);
    void updateBookmarkRequested(Keldar::Logging::Bookmark chosen, std::string title, std::string comments);
    void removeBookmarkRequested(Keldar::Logging::Bookmark chosen);
    void bookmarkPassed(std::string title, std::string comments);

public Q_SLOTS:
    void resetPlayPauseButton();
    void loadShortcuts();

    void restoreState(int mode) override;
    void saveState() override;
    void resetControls() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onFramePlayed(int32_t frame, int32_t entryId);
    void pauseForAWhile();
    void resumeAfterAWhile();
    void openExportModal();
    void stepSpeed(int direction);
    void stepFrame(int direction);
    void stepBookmark(int direction);

    SvgButton* playButton;
    SvgButton* pauseButton;
    PopOutWidgetButton* speedButton;
    PopOutWidgetButton* scrubButton;
    PopOutWidgetButton* bookmarksButton;
    SvgButton* exportButton;
    PlaybackSpeedControl* speedControl;
    ScrubControl* scrubControl;
    BookmarkControls* bookmarkControls;
    ExportModal* exportModal;
    QShortcut* playPauseShortcut;
    QShortcut* toggleLoopShortcut;
    QShortcut* increaseSpeedShortcut;
    QShortcut* decreaseSpeedShortcut;
    QShortcut* nextBookmarkShortcut;
    QShortcut* previousBookmarkShortcut;
    // Left and right arrows: one frame back or forward while paused.
    QShortcut* previousFrameShortcut;
    QShortcut* nextFrameShortcut;
    // The frame last asked for by an arrow key until it is shown, -1 when none.
    int steppedFrame = -1;
    PlayerBookmarks bookmarks;
    FrameTimes frameTimes;
    bool wasPlaying = false;
};

} // namespace Keldar::OndrixLumivane
