#include <keldar/gui/ToggleSwitch.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace Keldar::GUI::Widgets::Controls {

namespace {
constexpr int offValue = 0;
constexpr int onValue = 100;
// A press that moves less than this is still a click, so a trembling hand
// does not turn a tap into a drag that snaps back.
constexpr double dragThreshold = 2.0;

QColor blend(const QColor& a, const QColor& b, double t)
{
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t, a.alphaF() + (b.alphaF() - a.alphaF()) * t);
}
} // namespace

ToggleSwitch::ToggleSwitch(QWidget* parent)
    : QSlider(Qt::Horizontal, parent)
    , animation(new QPropertyAnimation(this, "value", this))
{
    setRange(offValue, onValue);
    setSingleStep(1);
    setPageStep(0);
    setMaximumWidth(35);
    setProperty("class", "toggleSwitch");
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    animation->setDuration(200);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
}

ToggleSwitch::~ToggleSwitch() = default;

void ToggleSwitch::setState(bool on)
{
    animation->stop();
    setValue(on ? onValue : offValue);
    emit toggled(on);
}

bool ToggleSwitch::isEnabled() const
{
    return value() == onValue;
}

void ToggleSwitch::setImmutable(bool value)
{
    immutable = value;
    pressed = false;
    dragged = false;
    setDisabled(value);
}

bool ToggleSwitch::isImmutable() const
{
    return immutable;
}

QColor ToggleSwitch::getOnColour() const
{
    return onColour.isValid() ? onColour : palette().color(QPalette::Highlight);
}

void ToggleSwitch::setOnColour(const QColor& colour)
{
    onColour = colour;
    update();
}

QColor ToggleSwitch::getOffColour() const
{
    return offColour.isValid() ? offColour : palette().color(QPalette::Mid);
}

void ToggleSwitch::setOffColour(const QColor& colour)
{
    offColour = colour;
    update();
}

QColor ToggleSwitch::getKnobColour() const
{
    return knobColour.isValid() ? knobColour : QColor(Qt::white);
}

void ToggleSwitch::setKnobColour(const QColor& colour)
{
    knobColour = colour;
    update();
}

QSize ToggleSwitch::sizeHint() const
{
    return {35, 20};
}

QSize ToggleSwitch::minimumSizeHint() const
{
    return {24, 14};
}

QRectF ToggleSwitch::trackRect() const
{
    const double height = std::min<double>(this->height(), width() * 0.6);
    return {0.5, (this->height() - height) / 2.0 + 0.5, width() - 1.0, height - 1.0};
}

void ToggleSwitch::mousePressEvent(QMouseEvent* event)
{
    if (immutable || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    animation->stop();
    pressed = true;
    dragged = false;
    pressX = event->localPos().x();
    pressValue = value();
    event->accept();
}

void ToggleSwitch::mouseMoveEvent(QMouseEvent* event)
{
    if (!pressed) {
        event->ignore();
        return;
    }
    const double dx = event->localPos().x() - pressX;
    if (!dragged && std::abs(dx) < dragThreshold)
        return;
    dragged = true;
    // Relative to where the knob was grabbed, so grabbing it does not make it jump.
    const QRectF track = trackRect();
    const double travel = track.width() - track.height();
    if (travel > 0.0)
        setValue(std::clamp(pressValue + static_cast<int>(std::lround(dx / travel * onValue)), offValue, onValue));
    event->accept();
}

void ToggleSwitch::mouseReleaseEvent(QMouseEvent* event)
{
    if (!pressed) {
        event->ignore();
        return;
    }
    pressed = false;
    int target;
    if (dragged)
        target = value() >= 50 ? onValue : offValue;
    else
        target = value() == offValue ? onValue : offValue;
    dragged = false;
    animateTo(target);
    emit toggled(target == onValue);
    event->accept();
}

void ToggleSwitch::keyPressEvent(QKeyEvent* event)
{
    if (immutable) {
        event->ignore();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        const int target = value() == onValue ? offValue : onValue;
        animateTo(target);
        emit toggled(target == onValue);
        break;
    }
    default:
        // Arrow keys would leave the switch half-way; they belong to focus navigation.
        event->ignore();
    }
}

void ToggleSwitch::wheelEvent(QWheelEvent* event)
{
    // Scrolling a page must not flip switches it passes under the pointer.
    event->ignore();
}

void ToggleSwitch::animateTo(int target)
{
    animation->stop();
    animation->setStartValue(value());
    animation->setEndValue(target);
    animation->start();
}

void ToggleSwitch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track = trackRect();
    const double radius = track.height() / 2.0;
    const double fraction = double(value() - offValue) / (onValue - offValue);

    QColor trackColour = blend(getOffColour(), getOnColour(), fraction);
    QColor knob = getKnobColour();
    if (!QWidget::isEnabled()) {
        trackColour.setAlphaF(trackColour.alphaF() * 0.45);
        knob.setAlphaF(knob.alphaF() * 0.7);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(trackColour);
    painter.drawRoundedRect(track, radius, radius);

    const double inset = std::max(1.5, radius * 0.18);
    const double knobRadius = radius - inset;
    const double centreX = track.left() + radius + fraction * (track.width() - 2.0 * radius);
    painter.setBrush(knob);
    painter.drawEllipse(QPointF(centreX, track.center().y()), knobRadius, knobRadius);

    if (hasFocus()) {
        QPen focusPen(getOnColour(), 1.0);
        painter.setPen(focusPen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(track.adjusted(-0.5, -0.5, 0.5, 0.5), radius, radius);
    }
}

} // namespace Keldar::GUI::Widgets::Controls
