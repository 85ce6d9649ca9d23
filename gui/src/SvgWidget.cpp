#include <keldar/gui/SvgWidget.h>

#include "SameColour.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>

namespace Keldar::GUI::Widgets::Bases {

using Helpers::sameColour;
using Helpers::Svg::SvgHandler;

struct SvgWidget::Private
{
    SvgHandler handler;
    bool hasImage = false;
    QSvgRenderer renderer;
    QByteArray loadedSource;
    QSizeF naturalSize;
    int horizontalAlignment = Centre;
    int verticalAlignment = Centre;

    void load(SvgHandler&& newHandler)
    {
        handler = std::move(newHandler);
        hasImage = true;
        loadedSource.clear();
        QSvgRenderer probe(handler.getOriginalSource());
        naturalSize = probe.isValid() ? QSizeF(probe.viewBoxF().size()) : QSizeF();
        if (probe.isValid() && probe.defaultSize().isValid())
            naturalSize = probe.defaultSize();
    }
};

SvgWidget::SvgWidget()
    : d(std::make_unique<Private>())
{
}

SvgWidget::~SvgWidget() = default;

void SvgWidget::loadImage(QFile& file)
{
    d->load(SvgHandler(file));
    svgChanged();
}

void SvgWidget::loadImage(const QString& fileName)
{
    QFile file(fileName);
    loadImage(file);
}

void SvgWidget::loadImageData(const QByteArray& document)
{
    d->load(SvgHandler::fromData(document));
    svgChanged();
}

bool SvgWidget::hasImage() const
{
    return d->hasImage;
}

// Each setter repaints only when the document really changes: a window that
// recolours its icons while it paints would otherwise repaint for ever.
void SvgWidget::setFillColour(const QColor& colour, const QString& elementId)
{
    if (sameColour(d->handler.getFillColour(elementId), colour))
        return;
    d->handler.setFillColour(colour, elementId);
    svgChanged();
}

void SvgWidget::setStrokeColour(const QColor& colour, const QString& elementId)
{
    if (sameColour(d->handler.getStrokeColour(elementId), colour))
        return;
    d->handler.setStrokeColour(colour, elementId);
    svgChanged();
}

void SvgWidget::setOpacity(double value, const QString& elementId)
{
    const double before = d->handler.getOpacity(elementId);
    d->handler.setOpacity(value, elementId);
    if (d->handler.getOpacity(elementId) != before)
        svgChanged();
}

void SvgWidget::setFillOpacity(double value, const QString& elementId)
{
    const double before = d->handler.getFillOpacity(elementId);
    d->handler.setFillOpacity(value, elementId);
    if (d->handler.getFillOpacity(elementId) != before)
        svgChanged();
}

void SvgWidget::setStrokeOpacity(double value, const QString& elementId)
{
    const double before = d->handler.getStrokeOpacity(elementId);
    d->handler.setStrokeOpacity(value, elementId);
    if (d->handler.getStrokeOpacity(elementId) != before)
        svgChanged();
}

void SvgWidget::setHorizontalAlignment(int alignment)
{
    const int clamped = std::clamp(alignment, int(Near), int(Far));
    if (clamped == d->horizontalAlignment)
        return;
    d->horizontalAlignment = clamped;
    svgChanged();
}

void SvgWidget::setVerticalAlignment(int alignment)
{
    const int clamped = std::clamp(alignment, int(Near), int(Far));
    if (clamped == d->verticalAlignment)
        return;
    d->verticalAlignment = clamped;
    svgChanged();
}

int SvgWidget::getHorizontalAlignment() const
{
    return d->horizontalAlignment;
}

int SvgWidget::getVerticalAlignment() const
{
    return d->verticalAlignment;
}

QSizeF SvgWidget::getSvgSize() const
{
    return d->naturalSize;
}

QRectF SvgWidget::getSvgRect(const QRectF& rect) const
{
    const QSizeF natural = d->naturalSize;
    if (natural.isEmpty() || rect.isEmpty())
        return {};
    const double scale = std::min(rect.width() / natural.width(), rect.height() / natural.height());
    const QSizeF size = natural * scale;
    const double freeX = rect.width() - size.width();
    const double freeY = rect.height() - size.height();
    const double x = rect.x() + freeX * d->horizontalAlignment / 2.0;
    const double y = rect.y() + freeY * d->verticalAlignment / 2.0;
    return {QPointF(x, y), size};
}

QByteArray SvgWidget::getCurrentSource()
{
    return d->handler.getSource(getDefaultFillColour(), getDefaultStrokeColour());
}

void SvgWidget::renderSvg(QPainter& painter, const QRectF& rect)
{
    if (!d->hasImage)
        return;
    const QByteArray source = getCurrentSource();
    if (source != d->loadedSource) {
        d->renderer.load(source);
        d->loadedSource = source;
    }
    const QRectF target = getSvgRect(rect);
    if (target.isEmpty() || !d->renderer.isValid())
        return;
    d->renderer.render(&painter, target);
}

void SvgWidget::applyTo(SvgWidget& other) const
{
    other.d->handler = d->handler;
    other.d->hasImage = d->hasImage;
    other.d->naturalSize = d->naturalSize;
    other.d->loadedSource.clear();
    other.d->horizontalAlignment = d->horizontalAlignment;
    other.d->verticalAlignment = d->verticalAlignment;
    other.svgChanged();
}

QColor SvgWidget::getDefaultFillColour() const
{
    return {};
}

QColor SvgWidget::getDefaultStrokeColour() const
{
    return {};
}

void SvgWidget::svgChanged() {}

} // namespace Keldar::GUI::Widgets::Bases
