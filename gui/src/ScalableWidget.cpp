#include <keldar/gui/ScalableWidget.h>

#include <keldar/gui/Scaling.h>

#include <QWidget>

#include <algorithm>

namespace Keldar::GUI::Widgets::Bases {

namespace {

int validMode(int mode)
{
    return std::clamp(mode, int(ScalableWidget::NoScaling), int(ScalableWidget::MinimumScaling));
}

int scaledLength(QWidget* widget, float factor)
{
    return static_cast<int>(Helpers::Widgets::getBaseSize(widget) * factor);
}

} // namespace

ScalableWidget::ScalableWidget(QWidget* widget)
    : widget(widget)
{
}

ScalableWidget::~ScalableWidget() = default;

void ScalableWidget::setScalingMode(int mode)
{
    horizontalMode = verticalMode = validMode(mode);
}

void ScalableWidget::setHorizontalScalingMode(int mode)
{
    horizontalMode = validMode(mode);
}

void ScalableWidget::setVerticalScalingMode(int mode)
{
    verticalMode = validMode(mode);
}

void ScalableWidget::setHorizontalScaling(float factor)
{
    horizontalFactor = factor;
}

void ScalableWidget::setVerticalScaling(float factor)
{
    verticalFactor = factor;
}

int ScalableWidget::getHorizontalScalingMode() const
{
    return horizontalMode;
}

int ScalableWidget::getVerticalScalingMode() const
{
    return verticalMode;
}

void ScalableWidget::applyScaling()
{
    if (!widget)
        return;
    if (horizontalMode == FixedScaling)
        widget->setFixedWidth(scaledLength(widget, horizontalFactor));
    else if (horizontalMode == MinimumScaling)
        widget->setMinimumWidth(scaledLength(widget, horizontalFactor));
    if (verticalMode == FixedScaling)
        widget->setFixedHeight(scaledLength(widget, verticalFactor));
    else if (verticalMode == MinimumScaling)
        widget->setMinimumHeight(scaledLength(widget, verticalFactor));
}

int ScalableWidget::getScaledWidth() const
{
    if (horizontalMode == NoScaling)
        return widget ? widget->width() : 0;
    return scaledLength(widget, horizontalFactor);
}

int ScalableWidget::getScaledHeight() const
{
    if (verticalMode == NoScaling)
        return widget ? widget->height() : 0;
    return scaledLength(widget, verticalFactor);
}

} // namespace Keldar::GUI::Widgets::Bases
