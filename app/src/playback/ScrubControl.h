#pragma once

#include "controller/PlaybackMetaTypes.h"

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
    void framePlayed(int frame);
    // Shows a frame without the end-of-log rule of framePlayed: a frame
    // stepped to by hand stays on screen, even the last one.
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
    bool scrubbing = false;
    int hoveredFrame = -1;
    int selectedFrame = -1;
};

} // namespace Keldar::OndrixLumivane
