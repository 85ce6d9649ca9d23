#include <keldar/gui/RangeSlider.h>

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>

namespace Keldar::GUI::Widgets::Controls {

struct RangeSlider::Private
{
    RangeSlider* q;
    int lower = 0;
    int upper = 0;
    int lowerPos = 0;
    int upperPos = 0;
    Handle pressed = NoHandle;
    Handle lastPressed = LowerHandle;
    HandleMovementMode mode = FreeMovement;
    QColor rangeColour{30, 144, 255};
    int grabOffset = 0;
    int pressValue = 0;
    bool firstMovement = false;

    explicit Private(RangeSlider* owner)
        : q(owner)
    {
    }

    int pick(const QPoint& point) const { return q->orientation() == Qt::Horizontal ? point.x() : point.y(); }

    QStyleOptionSlider optionAt(int position) const
    {
        QStyleOptionSlider option;
        q->initStyleOption(&option);
        option.sliderPosition = position;
        option.sliderValue = position;
        return option;
    }

    QRect handleRect(int position) const
    {
        const QStyleOptionSlider option = optionAt(position);
        return q->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, q);
    }

    bool hits(int position, const QPoint& point) const
    {
        QStyleOptionSlider option = optionAt(position);
        option.subControls = QStyle::SC_SliderHandle;
        return q->style()->hitTestComplexControl(QStyle::CC_Slider, &option, point, q) == QStyle::SC_SliderHandle;
    }

    int valueAtPixel(int pixel) const
    {
        const QStyleOptionSlider option = optionAt(lowerPos);
        const QRect groove = q->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, q);
        const QRect handle = q->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, q);
        int first, last;
        if (q->orientation() == Qt::Horizontal) {
            first = groove.x();
            last = groove.right() - handle.width() + 1;
        } else {
            first = groove.y();
            last = groove.bottom() - handle.height() + 1;
        }
        return QStyle::sliderValueFromPosition(q->minimum(), q->maximum(), pixel - first, last - first,
                                               option.upsideDown);
    }

    int positionOf(Handle handle) const { return handle == UpperHandle ? upperPos : lowerPos; }

    // Moves one handle as the movement mode allows; in free movement a handle
    // that passes the other takes over its role.
    void moveHandle(Handle handle, int value)
    {
        value = std::clamp(value, q->minimum(), q->maximum());
        if (handle == LowerHandle) {
            if (mode == NoCrossing)
                value = std::min(value, upperPos);
            else if (mode == NoOverlapping)
                value = std::min(value, upperPos - q->singleStep());
            else if (value > upperPos) {
                swapRoles(LowerHandle);
                const int other = upperPos;
                q->setUpperPosition(value);
                q->setLowerPosition(other);
                return;
            }
            q->setLowerPosition(std::max(value, q->minimum()));
        } else if (handle == UpperHandle) {
            if (mode == NoCrossing)
                value = std::max(value, lowerPos);
            else if (mode == NoOverlapping)
                value = std::max(value, lowerPos + q->singleStep());
            else if (value < lowerPos) {
                swapRoles(UpperHandle);
                const int other = lowerPos;
                q->setLowerPosition(value);
                q->setUpperPosition(other);
                return;
            }
            q->setUpperPosition(std::min(value, q->maximum()));
        }
    }

    void swapRoles(Handle from)
    {
        const Handle to = from == LowerHandle ? UpperHandle : LowerHandle;
        if (pressed == from)
            pressed = to;
        if (lastPressed == from)
            lastPressed = to;
    }
};

RangeSlider::RangeSlider(QWidget* parent)
    : RangeSlider(Qt::Horizontal, parent)
{
}

RangeSlider::RangeSlider(Qt::Orientation orientation, QWidget* parent)
    : QSlider(orientation, parent)
    , d(std::make_unique<Private>(this))
{
    qRegisterMetaType<Handle>();
    d->lower = d->lowerPos = minimum();
    d->upper = d->upperPos = maximum();
    // Stand-ins that a stylesheet can address; only their classes matter.
    for (const char* styleClass : {"groove", "range"}) {
        auto* part = new QWidget(this);
        part->setProperty("class", styleClass);
        part->hide();
    }
}

RangeSlider::~RangeSlider() = default;

void RangeSlider::setSpan(int lower, int upper)
{
    const int low = std::clamp(std::min(lower, upper), minimum(), maximum());
    const int high = std::clamp(std::max(lower, upper), minimum(), maximum());
    bool changed = false;
    if (low != d->lower) {
        d->lower = d->lowerPos = low;
        changed = true;
        emit lowerValueChanged(low);
    }
    if (high != d->upper) {
        d->upper = d->upperPos = high;
        changed = true;
        emit upperValueChanged(high);
    }
    // Positions may have run ahead of values while tracking was off.
    d->lowerPos = d->lower;
    d->upperPos = d->upper;
    if (changed)
        emit spanChanged(d->lower, d->upper);
    update();
}

void RangeSlider::setLowerValue(int value)
{
    setSpan(value, d->upper);
}

void RangeSlider::setUpperValue(int value)
{
    setSpan(d->lower, value);
}

int RangeSlider::getLowerValue() const
{
    return std::min(d->lower, d->upper);
}

int RangeSlider::getUpperValue() const
{
    return std::max(d->lower, d->upper);
}

void RangeSlider::setLowerPosition(int position)
{
    if (d->lowerPos == position)
        return;
    d->lowerPos = position;
    if (d->pressed != NoHandle)
        emit lowerPositionChanged(position);
    if (hasTracking())
        setSpan(d->lowerPos, d->upperPos);
    else
        update();
}

void RangeSlider::setUpperPosition(int position)
{
    if (d->upperPos == position)
        return;
    d->upperPos = position;
    if (d->pressed != NoHandle)
        emit upperPositionChanged(position);
    if (hasTracking())
        setSpan(d->lowerPos, d->upperPos);
    else
        update();
}

int RangeSlider::getLowerPosition() const
{
    return d->lowerPos;
}

int RangeSlider::getUpperPosition() const
{
    return d->upperPos;
}

void RangeSlider::setHandleMovementMode(HandleMovementMode mode)
{
    d->mode = mode;
}

RangeSlider::HandleMovementMode RangeSlider::getHandleMovementMode() const
{
    return d->mode;
}

void RangeSlider::setRangeColour(const QColor& colour)
{
    d->rangeColour = colour;
    update();
}

QColor RangeSlider::getRangeColour() const
{
    return d->rangeColour;
}

RangeSlider::Handle RangeSlider::getPressedHandle() const
{
    return d->pressed;
}

RangeSlider::Handle RangeSlider::getLastPressedHandle() const
{
    return d->lastPressed;
}

QSize RangeSlider::sizeHint() const
{
    const QSize hint = QSlider::sizeHint();
    return orientation() == Qt::Horizontal ? QSize(std::max(hint.width(), 160), hint.height())
                                           : QSize(hint.width(), std::max(hint.height(), 160));
}

void RangeSlider::mousePressEvent(QMouseEvent* event)
{
    if (minimum() == maximum() || event->button() != Qt::LeftButton || (event->buttons() ^ event->button())) {
        event->ignore();
        return;
    }
    // The upper handle is tested first: at the top of the range it sits on the
    // lower one, and only it can then be moved away.
    Handle hit = NoHandle;
    if (d->hits(d->upperPos, event->pos()))
        hit = UpperHandle;
    else if (d->hits(d->lowerPos, event->pos()))
        hit = LowerHandle;
    if (hit == NoHandle) {
        event->ignore();
        return;
    }
    d->pressed = d->lastPressed = hit;
    d->pressValue = d->positionOf(hit);
    d->grabOffset = d->pick(event->pos()) - d->pick(d->handleRect(d->pressValue).topLeft());
    d->firstMovement = d->lowerPos == d->upperPos;
    setSliderDown(true);
    emit sliderPressed(hit);
    update();
    event->accept();
}

void RangeSlider::mouseMoveEvent(QMouseEvent* event)
{
    if (d->pressed == NoHandle) {
        event->ignore();
        return;
    }
    QStyleOptionSlider option;
    initStyleOption(&option);
    const int tolerance = style()->pixelMetric(QStyle::PM_MaximumDragDistance, &option, this);
    int value = d->valueAtPixel(d->pick(event->pos()) - d->grabOffset);
    if (tolerance >= 0 && !rect().adjusted(-tolerance, -tolerance, tolerance, tolerance).contains(event->pos()))
        value = d->pressValue;

    if (d->firstMovement && d->lowerPos == d->upperPos) {
        if (value == d->lowerPos) {
            event->accept();
            return;
        }
        d->pressed = d->lastPressed = value < d->lowerPos ? LowerHandle : UpperHandle;
    }
    d->firstMovement = false;
    d->moveHandle(d->pressed, value);
    event->accept();
}

void RangeSlider::mouseReleaseEvent(QMouseEvent* event)
{
    if (d->pressed == NoHandle) {
        event->ignore();
        return;
    }
    d->pressed = NoHandle;
    setSliderDown(false);
    if (!hasTracking())
        setSpan(d->lowerPos, d->upperPos);
    update();
    event->accept();
}

void RangeSlider::keyPressEvent(QKeyEvent* event)
{
    const bool horizontal = orientation() == Qt::Horizontal;
    const bool inverted = invertedControls();
    int delta = 0;
    bool toMinimum = false;
    bool toMaximum = false;
    switch (event->key()) {
    case Qt::Key_Left:
        if (!horizontal)
            break;
        delta = (isRightToLeft() != invertedAppearance()) ? singleStep() : -singleStep();
        break;
    case Qt::Key_Right:
        if (!horizontal)
            break;
        delta = (isRightToLeft() != invertedAppearance()) ? -singleStep() : singleStep();
        break;
    case Qt::Key_Up:
        delta = inverted ? -singleStep() : singleStep();
        break;
    case Qt::Key_Down:
        delta = inverted ? singleStep() : -singleStep();
        break;
    case Qt::Key_PageUp:
        delta = inverted ? -pageStep() : pageStep();
        break;
    case Qt::Key_PageDown:
        delta = inverted ? pageStep() : -pageStep();
        break;
    case Qt::Key_Home:
        toMinimum = true;
        break;
    case Qt::Key_End:
        toMaximum = true;
        break;
    default:
        break;
    }
    if (delta == 0 && !toMinimum && !toMaximum) {
        event->ignore();
        return;
    }
    const Handle handle = d->lastPressed == NoHandle ? LowerHandle : d->lastPressed;
    int target = d->positionOf(handle) + delta;
    if (toMinimum)
        target = minimum();
    if (toMaximum)
        target = maximum();
    d->moveHandle(handle, target);
    if (!hasTracking())
        setSpan(d->lowerPos, d->upperPos);
    event->accept();
}

void RangeSlider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    QStyleOptionSlider option = d->optionAt(d->lowerPos);
    option.subControls = QStyle::SC_SliderGroove;
    if (tickPosition() != NoTicks)
        option.subControls |= QStyle::SC_SliderTickmarks;
    option.activeSubControls = QStyle::SC_None;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);

    // The selected span, drawn over the groove between the handle centres.
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QPoint lowerCentre = d->handleRect(d->lowerPos).center();
    const QPoint upperCentre = d->handleRect(d->upperPos).center();
    QRectF span;
    if (orientation() == Qt::Horizontal) {
        const double thickness = std::max(4.0, groove.height() / 3.0);
        const double left = std::min(lowerCentre.x(), upperCentre.x());
        const double right = std::max(lowerCentre.x(), upperCentre.x());
        span = QRectF(left, groove.center().y() - thickness / 2.0 + 0.5, right - left, thickness);
    } else {
        const double thickness = std::max(4.0, groove.width() / 3.0);
        const double top = std::min(lowerCentre.y(), upperCentre.y());
        const double bottom = std::max(lowerCentre.y(), upperCentre.y());
        span = QRectF(groove.center().x() - thickness / 2.0 + 0.5, top, thickness, bottom - top);
    }
    QColor colour = d->rangeColour;
    if (!isEnabled())
        colour.setAlphaF(colour.alphaF() * 0.4);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRoundedRect(span, 2.0, 2.0);

    // The handle used last goes on top, so it stays grabbable where they meet.
    const Handle top = d->lastPressed == UpperHandle ? UpperHandle : LowerHandle;
    const Handle bottom = top == UpperHandle ? LowerHandle : UpperHandle;
    for (const Handle handle : {bottom, top}) {
        QStyleOptionSlider handleOption = d->optionAt(d->positionOf(handle));
        handleOption.subControls = QStyle::SC_SliderHandle;
        handleOption.activeSubControls = d->pressed == handle ? QStyle::SC_SliderHandle : QStyle::SC_None;
        if (d->pressed == handle)
            handleOption.state |= QStyle::State_Sunken;
        // Stylesheet styles repaint the whole slider (background, sub-page and
        // add-page) with every handle; the clip keeps that to the handle itself.
        painter.save();
        painter.setClipRect(d->handleRect(d->positionOf(handle)));
        style()->drawComplexControl(QStyle::CC_Slider, &handleOption, &painter, this);
        painter.restore();
    }
}

void RangeSlider::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        update();
    QSlider::changeEvent(event);
}

void RangeSlider::sliderChange(SliderChange change)
{
    QSlider::sliderChange(change);
    if (change == SliderRangeChange && d)
        setSpan(d->lower, d->upper);
}

} // namespace Keldar::GUI::Widgets::Controls
