#pragma once

#include <keldar/gui/BasicPopOutWidget.h>

class QLabel;
class QSlider;

namespace Keldar::OndrixLumivane {

// Pop-out of the playback toolbar: six playback speeds, from a quarter to
// eight times real time.
class PlaybackSpeedControl : public GUI::Widgets::Containers::BasicPopOutWidget
{
    Q_OBJECT

public:
    static constexpr int gap = 8;

    explicit PlaybackSpeedControl(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent = nullptr);

    // The multiplier of a slider position (0 to 5).
    static float multiplier(int position);
    QSlider* getSlider() const;
    QString getSpeedText() const;

Q_SIGNALS:
    void speedRequested(float speed);

private:
    QSlider* slider;
    QLabel* speedLabel;
    QLabel* xLabel;
};

} // namespace Keldar::OndrixLumivane
