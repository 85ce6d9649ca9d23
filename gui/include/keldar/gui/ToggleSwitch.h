#pragma once

#include <QColor>
#include <QSlider>

class QPropertyAnimation;

namespace Keldar::GUI::Widgets::Controls {

// An on/off switch: a 0..100 slider whose knob animates to either end. It is on
// exactly when its value is 100. A click flips it; a drag snaps to the nearer end.
class ToggleSwitch : public QSlider
{
    Q_OBJECT
    Q_PROPERTY(QColor onColour READ getOnColour WRITE setOnColour)
    Q_PROPERTY(QColor offColour READ getOffColour WRITE setOffColour)
    Q_PROPERTY(QColor knobColour READ getKnobColour WRITE setKnobColour)

public:
    explicit ToggleSwitch(QWidget* parent = nullptr);
    ~ToggleSwitch() override;

    // Jumps to on (100) or off (0) without animating and emits toggled().
    void setState(bool on);
    // The on/off state (not whether the widget accepts input).
    bool isEnabled() const;
    // An immutable switch ignores the user and is shown disabled.
    void setImmutable(bool immutable);
    bool isImmutable() const;

    // Invalid colours fall back to the palette (highlight, mid, button text).
    QColor getOnColour() const;
    void setOnColour(const QColor& colour);
    QColor getOffColour() const;
    void setOffColour(const QColor& colour);
    QColor getKnobColour() const;
    void setKnobColour(const QColor& colour);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void toggled(bool on);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void animateTo(int target);
    QRectF trackRect() const;

    QPropertyAnimation* animation;
    bool immutable = false;
    bool pressed = false;
    bool dragged = false;
    double pressX = 0.0;
    int pressValue = 0;
    QColor onColour;
    QColor offColour;
    QColor knobColour;
};

} // namespace Keldar::GUI::Widgets::Controls
