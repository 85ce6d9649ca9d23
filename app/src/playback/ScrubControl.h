#pragma once

#include "controller/PlaybackMetaTypes.h"
#include "playback/FrameTimes.h"

#include <keldar/gui/BasicPopOutWidget.h>

#include <vector>

class QLabel;

namespace Keldar::GUI::Widgets::Buttons {
class SvgButton;
}

namespace Keldar::OndrixLumivane {

class ScrubSlider;

// Pop-out of the playback toolbar: the timeline of the open log with its
// bookmarks, the time of the frame shown, and the loop switch.
class ScrubControl : public GUI::Widgets::Containers::BasicPopOutWidget
{
    Q_OBJECT

public:
    static constexpr int gap = 8;

    explicit ScrubControl(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent = nullptr);

    bool isScrubbing() const;
    ScrubSlider* getSlider() const;
    GUI::Widgets::Buttons::SvgButton* getLoopButton() const;
    QString getTimeText() const;

    // "hh:mm:ss" of a time in milliseconds; hours may take more digits.
    static QString formatTime(qint64 milliseconds);

Q_SIGNALS:
    void entryRequested(int index);
    void stopPlayback();
    void setLoopPlayback(bool enabled);
    void scrubbingStarted();
    void scrubbingStopped();

public Q_SLOTS:
    void logEntriesCounted(int count);
    void logPlayTimeReceived(int milliseconds);
    // The recorded timestamp of every frame; the times shown come from them.
    void frameTimesReceived(const std::vector<std::int64_t>& timestamps);
    // The end of the log is the player's to handle: it stops there, or
    // wraps round when looping, so the last frame stays on screen.
    void framePlayed(int frame);
    void showFrame(int frame);
    void toggleLoopPlayback();
    void newBookmarkList(std::vector<Keldar::Logging::Playback::PlayerBookmark> bookmarks);
    void onBookmarkHovered(int32_t frame);
    void onBookmarkSelected(int32_t frame);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    GUI::Widgets::Buttons::SvgButton* loopButton;
    ScrubSlider* slider;
    QLabel* timeLabel;
    float millisecondsPerFrame = 0.0F;
    FrameTimes frameTimes;
    bool scrubbing = false;
    int hoveredFrame = -1;
    int selectedFrame = -1;
};

} // namespace Keldar::OndrixLumivane
