#pragma once

#include <QPropertyAnimation>

class QWidget;

namespace Keldar::GUI::Animations {

// Moves a widget by a few pixels. A direction names where the offset position
// lies; directions with bit 8 move the widget out (from where it is to the
// offset), the others move it in (from the offset to where it is).
class Slide : public QPropertyAnimation
{
    Q_OBJECT

public:
    enum Direction : int {
        FromRight = 0,
        FromLeft = 1,
        FromBelow = 2,
        FromAbove = 4,
        OutLeft = 8,
        OutRight = 9,
        OutUp = 10,
        OutDown = 12,
    };

    Slide(QWidget* target, int direction, int distance, int durationMs, QObject* parent = nullptr);

    // A slide started while another is running first puts the target where
    // the running one would have ended, so repeated slides do not drift.
    void slide();
    void setDirection(int direction);
    void setDistance(int distance);
    int getDirection() const;
    int getDistance() const;

    // The offset (relative to the current position) a direction denotes.
    static QPoint offsetFor(int direction, int distance);
    static bool movesOut(int direction);

private:
    QWidget* target;
    int direction;
    int distance;
};

} // namespace Keldar::GUI::Animations
