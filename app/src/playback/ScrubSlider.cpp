#include "playback/ScrubSlider.h"

#include "base/ViewerContext.h"

#include <keldar/gui/ThemeManager.h>

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>

namespace Keldar::OndrixLumivane {

ScrubSlider::ScrubSlider(Qt::Orientation orientation, QWidget* parent)
    : QSlider(orientation, parent)
{
}

void ScrubSlider::setBookmarkFrames(std::vector<int> frames)
{
    bookmarkFrames = std::move(frames);
    update();
}

const std::vector<int>& ScrubSlider::getBookmarkFrames() const
{
    return bookmarkFrames;
}

void ScrubSlider::setHoveredFrame(int frame)
{
    hoveredFrame = frame;
    update();
}

void ScrubSlider::setSelectedFrame(int frame)
{
    selectedFrame = frame;
    update();
}

int ScrubSlider::getHoveredFrame() const
{
    return hoveredFrame;
}

int ScrubSlider::getSelectedFrame() const
{
    return selectedFrame;
}

int ScrubSlider::markerX(int frame, int maximum, int width)
{
    // A log of one frame has a maximum of 0: its only marker sits at the start.
    if (maximum <= 0) {
        return 0;
    }
    // The last frame's line stays inside the slider.
    const auto x =
        static_cast<int>(static_cast<float>(frame) / static_cast<float>(maximum) * static_cast<float>(width));
    return std::clamp(x, 0, std::max(0, width - 2));
}

QColor ScrubSlider::markerColour()
{
    const auto* themes = ViewerContext::instance()->getThemeManager();
    const QString accent = themes != nullptr ? themes->getThemeColour(QStringLiteral("@accent")).name() : QString();
    return QColor(accent == QLatin1String("#1e90ff") ? QStringLiteral("red") : QStringLiteral("#1e90ff"));
}

void ScrubSlider::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && orientation() == Qt::Horizontal) {
        QStyleOptionSlider option;
        initStyleOption(&option);
        const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
        if (!handle.contains(event->pos())) {
            const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
            const int span = std::max(1, groove.width() - handle.width());
            const int position = event->pos().x() - groove.x() - handle.width() / 2;
            setValue(QStyle::sliderValueFromPosition(minimum(), maximum(), std::clamp(position, 0, span), span,
                                                     option.upsideDown));
        }
    }
    // With the handle now under the pointer, the press takes hold of it.
    QSlider::mousePressEvent(event);
}

void ScrubSlider::paintEvent(QPaintEvent* event)
{
    QSlider::paintEvent(event);
    if (bookmarkFrames.empty()) {
        return;
    }
    QPainter painter(this);
    const QColor colour = markerColour();
    for (const int frame : bookmarkFrames) {
        const int x = markerX(frame, maximum(), width());
        painter.setPen(QPen(colour, frame == hoveredFrame ? 4 : 2));
        painter.drawLine(x, 0, x, height());
    }
}

} // namespace Keldar::OndrixLumivane
