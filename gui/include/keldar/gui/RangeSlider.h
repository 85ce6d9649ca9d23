#pragma once

#include <QColor>
#include <QSlider>

#include <memory>

namespace Keldar::GUI::Widgets::Controls {

// A slider with a lower and an upper handle that selects a span of values.
class RangeSlider : public QSlider
{
    Q_OBJECT
    // Lets a theme's stylesheet colour the span: qproperty-rangeColour.
    Q_PROPERTY(QColor rangeColour READ getRangeColour WRITE setRangeColour)

public:
    enum Handle { NoHandle = 0, LowerHandle = 1, UpperHandle = 2 };
    Q_ENUM(Handle)
    // FreeMovement lets the handles pass each other (they swap roles);
    // NoCrossing keeps lower <= upper; NoOverlapping keeps them a step apart.
    enum HandleMovementMode { FreeMovement = 0, NoCrossing = 1, NoOverlapping = 2 };
    Q_ENUM(HandleMovementMode)

    explicit RangeSlider(QWidget* parent = nullptr);
    explicit RangeSlider(Qt::Orientation orientation, QWidget* parent = nullptr);
    ~RangeSlider() override;

    // Orders and clamps the two values; emits only for values that change.
    void setSpan(int lower, int upper);
    void setLowerValue(int value);
    void setUpperValue(int value);
    int getLowerValue() const;
    int getUpperValue() const;

    void setLowerPosition(int position);
    void setUpperPosition(int position);
    int getLowerPosition() const;
    int getUpperPosition() const;

    void setHandleMovementMode(HandleMovementMode mode);
    HandleMovementMode getHandleMovementMode() const;

    void setRangeColour(const QColor& colour);
    QColor getRangeColour() const;

    Handle getPressedHandle() const;
    Handle getLastPressedHandle() const;

    QSize sizeHint() const override;

signals:
    void lowerValueChanged(int value);
    void upperValueChanged(int value);
    void spanChanged(int lower, int upper);
    void lowerPositionChanged(int position);
    void upperPositionChanged(int position);
    void sliderPressed(Keldar::GUI::Widgets::Controls::RangeSlider::Handle handle);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void sliderChange(SliderChange change) override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Keldar::GUI::Widgets::Controls
