#pragma once

#include <keldar/gui/DraggableWidget.h>

#include <QTime>

class QLabel;
class QMovie;
class QTimer;

namespace Keldar::OndrixLumivane {

// The recording clock over the sonar display: a pulsing red dot and the time
// recorded so far, "hh:mm:ss". It has the look of the overlay displays
// ("simpleDisplayWidget") and can be dragged out of the way.
class RecordingTimeDisplay : public GUI::Widgets::Bases::DraggableWidget
{
    Q_OBJECT

public:
    static constexpr int edgeGap = 8;

    explicit RecordingTimeDisplay(QWidget* parent = nullptr);

    void start();
    void stop();
    QString getTimeText() const;
    // Puts the display 8 px from the bottom and right edges of its parent.
    void placeAtBottomRight();
    // Centres it horizontally 8 px above the bottom of its parent.
    void placeAtBottomCentre();

private:
    void tick();
    void moveClear(QPoint place);

    QWidget* frame;
    QLabel* animation;
    QLabel* time;
    QMovie* movie;
    QTimer* timer;
    QTime elapsed;
};

} // namespace Keldar::OndrixLumivane
