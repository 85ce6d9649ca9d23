#include <keldar/visualisation/ZoomDisplay.h>

#include <keldar/maths/Geometry.h>
#include <keldar/visualisation/FanDisplay.h>
#include <keldar/visualisation/FanGeometryEngine.h>

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QResizeEvent>

#include <array>
#include <cmath>

namespace Keldar::Ondrix::Visualisation {

namespace {
constexpr std::array<float, ZoomDisplay::ZoomLevels> zoomTable = {4.0F, 4.5F, 5.0F, 5.5F, 6.0F,
                                                                  6.5F, 7.0F, 8.0F, 9.0F, 10.0F};
}

float ZoomDisplay::zoomForIndex(int index)
{
    return zoomTable.at(static_cast<std::size_t>(index));
}

ZoomDisplay::ZoomDisplay(FanGeometryEngine& fanEngine, FanDisplay& parent)
    : OpenGLWidget(nullptr)
    , engine(fanEngine)
    , parentDisplay(parent)
{
    scale(4.F, 4.F, 1.F, true);
    translate(0.F, -1.F, 0.F, true);
}

ZoomDisplay::~ZoomDisplay() = default;

FanDisplay& ZoomDisplay::getParentDisplay() const
{
    return parentDisplay;
}

int ZoomDisplay::getZoomIndex() const
{
    return zoomIndex;
}

void ZoomDisplay::zoomIn()
{
    if (zoomIndex < ZoomLevels - 1) {
        ++zoomIndex;
        applyZoom();
    }
}

void ZoomDisplay::zoomOut()
{
    if (zoomIndex > 0) {
        --zoomIndex;
        applyZoom();
    }
}

void ZoomDisplay::applyZoom()
{
    // Keep the model point in the middle of the magnifier where it is.
    const QPointF middle = getCurrentProjection().inverted().map(QPointF(0.0, 0.0));
    const float z = zoomForIndex(zoomIndex);
    scale(z, z, 1.F, true);
    const QPointF moved = getCurrentProjection().map(middle);
    translate(static_cast<float>(-moved.x()), static_cast<float>(-moved.y()), 0.F, false);
    parentDisplay.update();
    update();
}

void ZoomDisplay::reset()
{
    const double r = Maths::Geometry::degreesToRadians(getCurrentRotation());
    translate(static_cast<float>(std::sin(r)), static_cast<float>(-std::cos(r)), 0.F, true);
    zoomIndex = 0;
    scale(4.F, 4.F, 1.F, true);
    parentDisplay.update();
    update();
}

void ZoomDisplay::pan(float dx, float dy, bool absolute)
{
    translate(dx, dy, 0.F, absolute);
    parentDisplay.update();
    update();
}

void ZoomDisplay::setRotation(float degrees)
{
    const float old = getCurrentRotation();
    if (degrees == old) {
        return;
    }
    const double delta = Maths::Geometry::degreesToRadians(static_cast<double>(degrees) - old);
    rotate(degrees, true);
    const auto t = getCurrentTranslation();
    // Rounded so that a translation that is zero but for rounding noise does
    // not pick a random direction.
    const double f = Maths::Geometry::positiveAngleRelativeToXAxis(
        {std::round(100.0 * t.x) / 100.0, std::round(100.0 * t.y) / 100.0});
    const double rho = Maths::Geometry::distanceBetween({0.0, 0.0}, {t.x, t.y});
    translate(static_cast<float>(rho * std::cos(delta + f)), static_cast<float>(rho * std::sin(delta + f)), 0.F, true);
}

void ZoomDisplay::setClearColour(const QColor& colour)
{
    clearColour = colour;
    clearColourDirty = true;
    clearColourSet = true;
    update();
}

QColor ZoomDisplay::getClearColour() const
{
    return clearColour;
}

void ZoomDisplay::initialise()
{
    QOpenGLContext::currentContext()->functions()->glClearColor(0.3F, 0.3F, 0.3F, 1.F);
    // A new context starts from that grey too; a colour already set is applied again.
    clearColourDirty = clearColourSet;
}

void ZoomDisplay::paintGL()
{
    auto* f = QOpenGLContext::currentContext()->functions();
    if (clearColourDirty) {
        f->glClearColor(static_cast<float>(clearColour.redF()), static_cast<float>(clearColour.greenF()),
                        static_cast<float>(clearColour.blueF()), static_cast<float>(clearColour.alphaF()));
        clearColourDirty = false;
    }
    f->glClear(GL_COLOR_BUFFER_BIT);
    engine.draw(getCurrentProjection());
}

void ZoomDisplay::resizeEvent(QResizeEvent* event)
{
    const QSize previous = event->oldSize();
    OpenGLWidget::resizeEvent(event);
    if (previous.width() < 1 || previous.height() < 1 || event->size().width() < 1 || event->size().height() < 1) {
        return;
    }
    // A larger magnifier shows more of the fan at the same pixel size.
    scale(static_cast<float>(previous.width()) / static_cast<float>(event->size().width()),
          static_cast<float>(previous.height()) / static_cast<float>(event->size().height()), 1.F, false);
}

} // namespace Keldar::Ondrix::Visualisation
