#include <keldar/visualisation/FanDisplay.h>

#include <keldar/core/Units.h>
#include <keldar/gui/KeldarLogo.h>
#include <keldar/gui/OndrixLogo.h>
#include <keldar/gui/OpenGLWidgetPainter.h>
#include <keldar/maths/Geometry.h>
#include <keldar/ondrix/OndrixImage.h>
#include <keldar/visualisation/CircleAreaFromCentreMeasure.h>
#include <keldar/visualisation/FanGeometryEngine.h>
#include <keldar/visualisation/RectangleAreaMeasure.h>
#include <keldar/visualisation/StraightLineMeasure.h>
#include <keldar/visualisation/ZoomDisplay.h>

#include <QDateTime>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPointer>
#include <QRectF>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <utility>

namespace Keldar::Ondrix::Visualisation {

using namespace FanDisplayOptions;
using Painter = GUI::Widgets::Bases::OpenGLWidgetPainter;

namespace {

// What the range labels depend on.
struct LabelKey
{
    float rotation = 0.F;
    double range = -1.0;
    std::int16_t startAngle = 0;
    float aperture = 0.F;
    const DataProcessing::Units::AbstractUnit* unit = nullptr;

    bool operator==(const LabelKey&) const = default;
};

} // namespace

struct FanDisplay::Private
{
    FanGeometryEngine engine;
    // Owned, but a container it is placed in may delete it first.
    QPointer<ZoomDisplay> zoomDisplay;
    bool draggingZoomRegion = false;
    QPointF zoomGrab;

    std::optional<double> centreLineBearing;
    bool rangeLabels = true;
    bool rangeArcs = true;
    bool sectorLines = true;

    QColor clearColour{76, 76, 76, 255};
    bool clearColourDirty = false;
    QFont font{QStringLiteral("Verdana"), 14};
    QColor textColour{128, 128, 128, 255};
    bool fontDirty = true;
    int fontRebuilds = 0;

    bool branding = false;
    QColor primaryColour{255, 255, 255};
    QColor secondaryColour{30, 144, 255};
    QColor productColour{255, 255, 255};
    QImage makerLogo;
    QImage productLogo;
    bool brandingDirty = true;
    QSize brandingSize; // the widget size the logos were rendered for

    std::unique_ptr<MeasuringToolBase> tool = std::make_unique<StraightLineMeasure>();
    MeasurementMode measurementMode = StraightLine;

    float mouseX = 0.F;
    float mouseY = 0.F;
    float mouseR = 0.F;
    float mouseTheta = 0.F;

    std::int64_t lastSecond = 0;
    int frameCount = 0;
    bool offline = false;
    QImage offlineShade;
    std::function<std::int64_t()> clock = [] { return QDateTime::currentMSecsSinceEpoch(); };

    const DataProcessing::Units::AbstractUnit* distanceUnit = nullptr;
    const DataProcessing::Units::AbstractUnit* areaUnit = nullptr;
    bool resourcesValid = false;
    QMetaObject::Connection contextConnection;

    std::vector<RangeLabel> labels;
    LabelKey labelKey;
};

FanDisplay::FanDisplay(QWidget* parent)
    : OpenGLWidget(parent)
    , d(std::make_unique<Private>())
{
    d->zoomDisplay = new ZoomDisplay(d->engine, *this);
    setMouseTracking(true);
}

FanDisplay::~FanDisplay()
{
    disconnect(d->contextConnection);
    delete d->zoomDisplay.data();
    makeCurrent();
    d->engine.releaseResources();
    doneCurrent();
}

void FanDisplay::configureFromSettings(const DisplaySettings& settings)
{
    d->engine.configure(settings);
    setClearColour(settings.clearColour);
    setTextColour(settings.textColour);
    d->rangeLabels = settings.rangeLabels;
    d->rangeArcs = settings.rangeArcs;
    d->sectorLines = settings.sectorLines;
    scale(settings.scaleX, settings.scaleY, settings.scaleZ, true);
    translate(settings.translationX, settings.translationY, settings.translationZ, true);
    rotate(settings.rotation, true);
    if (d->zoomDisplay) {
        d->zoomDisplay->setRotation(getCurrentRotation());
    }
    updateWithMagnifier();
}

DisplaySettings FanDisplay::getCurrentDisplaySettings() const
{
    DisplaySettings settings = d->engine.currentSettings();
    settings.clearColour = d->clearColour;
    settings.textColour = d->textColour;
    settings.rangeLabels = d->rangeLabels;
    settings.rangeArcs = d->rangeArcs;
    settings.sectorLines = d->sectorLines;
    const auto s = getCurrentScale();
    const auto t = getCurrentTranslation();
    settings.scaleX = s.x;
    settings.scaleY = s.y;
    settings.scaleZ = s.z;
    settings.translationX = t.x;
    settings.translationY = t.y;
    settings.translationZ = t.z;
    settings.rotation = getCurrentRotation();
    return settings;
}

void FanDisplay::setRotation(int degrees)
{
    rotate(static_cast<float>(degrees), true);
    if (d->zoomDisplay) {
        d->zoomDisplay->setRotation(getCurrentRotation());
    }
    orientTool();
    updateWithMagnifier();
}

void FanDisplay::setCentreLineBearing(std::optional<double> bearing)
{
    if (bearing == d->centreLineBearing) {
        return;
    }
    d->centreLineBearing = bearing;
    orientTool();
    update();
}

void FanDisplay::orientTool()
{
    d->tool->setOrientation(getCurrentRotation(), d->centreLineBearing);
    if (d->tool->hasMeasurement() || d->tool->getState() == MeasuringToolBase::Measuring) {
        const auto s = getCurrentScale();
        d->tool->calculate(d->engine.getImageRange(), s.x, s.y);
    }
}

void FanDisplay::horizontalFlip()
{
    d->engine.toggleFlip();
    updateWithMagnifier();
}

void FanDisplay::verticalFlip()
{
    rotate(180.F, false);
    d->engine.toggleFlip();
    if (d->zoomDisplay) {
        d->zoomDisplay->setRotation(getCurrentRotation());
    }
    updateWithMagnifier();
}

void FanDisplay::setOverlayFeature(OverlayFeature feature, bool enabled)
{
    switch (feature) {
    case RangeLabels:
        d->rangeLabels = enabled;
        break;
    case RangeArcs:
        d->rangeArcs = enabled;
        break;
    case SectorLines:
        d->sectorLines = enabled;
        break;
    }
    update();
}

void FanDisplay::toggleOverlayFeature(OverlayFeature feature)
{
    switch (feature) {
    case RangeLabels:
        d->rangeLabels = !d->rangeLabels;
        break;
    case RangeArcs:
        d->rangeArcs = !d->rangeArcs;
        break;
    case SectorLines:
        d->sectorLines = !d->sectorLines;
        break;
    }
    update();
}

bool FanDisplay::overlayFeatureIsEnabled(OverlayFeature feature) const
{
    switch (feature) {
    case RangeLabels:
        return d->rangeLabels;
    case RangeArcs:
        return d->rangeArcs;
    case SectorLines:
        return d->sectorLines;
    }
    return false;
}

void FanDisplay::setClearColour(const QColor& colour)
{
    d->clearColour = colour;
    d->clearColourDirty = true;
    if (d->zoomDisplay) {
        d->zoomDisplay->setClearColour(colour.darker(120));
    }
    update();
}

QColor FanDisplay::getClearColour() const
{
    return d->clearColour;
}

void FanDisplay::setTextColour(const QColor& colour)
{
    // The atlas is costly to rebuild: only a different colour warrants it.
    if (colour.name() != d->textColour.name()) {
        d->textColour = colour;
        d->fontDirty = true;
        update();
    }
}

QColor FanDisplay::getTextColour() const
{
    return d->textColour;
}

void FanDisplay::setFont(const QFont& font)
{
    d->font = font;
    d->fontDirty = true;
    update();
}

void FanDisplay::setBranding(bool enabled)
{
    d->branding = enabled;
    update();
}

void FanDisplay::setBrandingColours(const QColor& primary, const QColor& secondary, const QColor& product)
{
    d->primaryColour = primary;
    d->secondaryColour = secondary;
    d->productColour = product;
    d->brandingDirty = true;
    update();
}

ZoomDisplay* FanDisplay::getZoomDisplay() const
{
    return d->zoomDisplay.data();
}

FanGeometryEngine& FanDisplay::getEngine() const
{
    return d->engine;
}

MeasuringToolBase& FanDisplay::getMeasuringTool() const
{
    return *d->tool;
}

MeasurementMode FanDisplay::getMeasurementMode() const
{
    return d->measurementMode;
}

int FanDisplay::getFontRebuildCount() const
{
    return d->fontRebuilds;
}

bool FanDisplay::resourcesAreValid() const
{
    return d->resourcesValid;
}

void FanDisplay::setClock(std::function<std::int64_t()> clock)
{
    d->clock = std::move(clock);
}

void FanDisplay::newImageReceived(const OndrixImage& image)
{
    if (image.getRange() != d->engine.getImageRange() && d->tool->hasMeasurement()) {
        const auto s = getCurrentScale();
        d->tool->calculate(image.getRange(), s.x, s.y);
    }
    d->engine.newImage(image);
    d->offline = false;
    updateWithMagnifier();

    const std::int64_t second = d->clock() / 1000;
    if (second != d->lastSecond) {
        emit frameRateChanged(d->frameCount);
        d->lastSecond = second;
        d->frameCount = 0;
    }
    ++d->frameCount;
}

void FanDisplay::sonarDisconnected()
{
    // The next source counts its frames from nothing.
    d->offline = false;
    d->frameCount = 0;
    d->lastSecond = 0;
    emit frameRateChanged(0);
    updateWithMagnifier();
}

void FanDisplay::sourceOffline()
{
    d->offline = true;
    d->frameCount = 0;
    d->lastSecond = 0;
    emit frameRateChanged(0);
    updateWithMagnifier();
}

bool FanDisplay::isOffline() const
{
    return d->offline;
}

void FanDisplay::setMeasurementMode(MeasurementMode mode)
{
    switch (mode) {
    case StraightLine:
        d->tool = std::make_unique<StraightLineMeasure>();
        d->tool->setUnit(d->distanceUnit);
        break;
    case RectangleArea:
        d->tool = std::make_unique<RectangleAreaMeasure>();
        d->tool->setUnit(d->areaUnit);
        break;
    case CircleAreaFromCentre:
        d->tool = std::make_unique<CircleAreaFromCentreMeasure>();
        d->tool->setUnit(d->areaUnit);
        break;
    default:
        return;
    }
    d->tool->setOrientation(getCurrentRotation(), d->centreLineBearing);
    d->measurementMode = mode;
    update();
}

void FanDisplay::setDespeckleLevel(int level)
{
    d->engine.setDespeckleLevel(level);
    updateWithMagnifier();
}

void FanDisplay::setClampLevel(float level)
{
    d->engine.setClampLevel(level);
    updateWithMagnifier();
}

void FanDisplay::setDistanceUnit(const DataProcessing::Units::AbstractUnit* unit)
{
    d->distanceUnit = unit;
    d->engine.setDistanceUnit(unit);
    if (d->measurementMode == StraightLine) {
        d->tool->setUnit(unit);
    }
    update();
}

void FanDisplay::setAreaUnit(const DataProcessing::Units::AbstractUnit* unit)
{
    d->areaUnit = unit;
    if (d->measurementMode != StraightLine) {
        d->tool->setUnit(unit);
    }
    update();
}

void FanDisplay::setPalette(Palette palette)
{
    d->engine.setPalette(palette);
    updateWithMagnifier();
}

void FanDisplay::setPaletteModifier(std::uint8_t modifier)
{
    d->engine.setPaletteModifier(modifier);
    updateWithMagnifier();
}

void FanDisplay::resizeGL(int w, int h)
{
    if (w <= 0 || h <= 0) {
        return;
    }
    const float rotation = getCurrentRotation();
    const QRectF box = d->engine.boundingBox(rotation);
    const double e = std::abs(box.width());
    const double f = std::abs(box.height());
    if (e <= 0.0 || f <= 0.0) {
        return;
    }
    const double aspect = static_cast<double>(w) / h;
    double sx = 0.0;
    double sy = 0.0;
    if (aspect / (e / f) > 1.0) {
        sx = 1.8 / (f * aspect);
        sy = 1.8 / f;
    } else {
        sx = 1.8 / e;
        sy = 1.8 * aspect / e;
    }
    scale(static_cast<float>(sx), static_cast<float>(sy), 1.F, true);
    const QPointF centre = box.center();
    translate(static_cast<float>(-sx * centre.x()), static_cast<float>(-sy * centre.y()), 0.F, true);
    rotate(rotation, true);
}

void FanDisplay::initialise()
{
    auto* f = QOpenGLContext::currentContext()->functions();
    f->glClearColor(static_cast<float>(d->clearColour.redF()), static_cast<float>(d->clearColour.greenF()),
                    static_cast<float>(d->clearColour.blueF()), static_cast<float>(d->clearColour.alphaF()));
    // A new context brings a new painter, whose atlases start empty.
    d->fontDirty = true;
    // The engine's objects live in this context and must be freed in it: a
    // move to another window replaces the context, and without shared
    // contexts the old one takes its objects with it.
    disconnect(d->contextConnection);
    d->contextConnection = connect(
        context(), &QOpenGLContext::aboutToBeDestroyed, this,
        [this] {
            makeCurrent();
            d->engine.releaseResources();
            doneCurrent();
        },
        Qt::DirectConnection);
    d->resourcesValid = d->engine.initialiseResources();
    if (!d->resourcesValid) {
        close();
    }
}

void FanDisplay::paintGL()
{
    auto* painter = getPainter();
    auto* f = QOpenGLContext::currentContext()->functions();
    if (d->fontDirty && painter != nullptr) {
        // The "Offline" atlases are made now, with the others, rather than
        // when the sonar drops, where building them stalled the window.
        const auto [edge, face] = offlineFonts(*painter);
        painter->setFont(edge);
        painter->setFont(face);
        painter->setFont(painter->addFont(d->font, d->textColour));
        d->fontDirty = false;
        ++d->fontRebuilds;
    }
    if (d->clearColourDirty) {
        f->glClearColor(static_cast<float>(d->clearColour.redF()), static_cast<float>(d->clearColour.greenF()),
                        static_cast<float>(d->clearColour.blueF()), static_cast<float>(d->clearColour.alphaF()));
        d->clearColourDirty = false;
    }
    f->glClear(GL_COLOR_BUFFER_BIT);

    resizeGL(width(), height());
    if (d->zoomDisplay) {
        d->zoomDisplay->setRotation(getCurrentRotation());
    }
    const QMatrix4x4 projection = getCurrentProjection();
    d->engine.draw(projection);
    if (painter == nullptr) {
        return;
    }

    const QColor overlay(128, 128, 128);
    if (d->sectorLines) {
        painter->drawLines(d->engine.getSectorLines(), 1, overlay, false, false, false);
    }
    if (d->rangeArcs) {
        for (const auto& arc : d->engine.getRangeArcs()) {
            if (!arc.empty()) {
                painter->drawLines(arc, 1, overlay, false, true, false);
            }
        }
    }
    if (d->rangeLabels) {
        for (const RangeLabel& label : rangeLabels()) {
            painter->drawText(label.x, label.y, label.angle, label.text, label.alignment, label.ignoreTransform);
        }
    }
    if (d->tool->getState() != MeasuringToolBase::Idle) {
        d->tool->draw(*painter);
    }
    if (d->zoomDisplay && d->zoomDisplay->isVisible()) {
        drawZoomRegion();
    }
    if (d->offline) {
        drawOffline();
    }
    if (d->branding) {
        drawBranding();
    }
}

std::pair<int, int> FanDisplay::offlineFonts(GUI::Widgets::Bases::OpenGLWidgetPainter& painter) const
{
    QFont font = d->font;
    font.setPointSize(28);
    font.setBold(true);
    // White on a dark edge: readable over the dimmed fan and a light theme's
    // background alike.
    return {painter.addFont(font, QColor(0, 0, 0)), painter.addFont(font, QColor(255, 255, 255))};
}

void FanDisplay::drawOffline()
{
    auto* painter = getPainter();
    if (d->offlineShade.isNull()) {
        d->offlineShade = QImage(4, 4, QImage::Format_ARGB32);
        d->offlineShade.fill(QColor(0, 0, 0, 160));
    }
    painter->drawImage(-1.F, 1.F, 2.F, 2.F, d->offlineShade, true);
    const int previous = painter->getCurrentFont();
    const auto [edge, face] = offlineFonts(*painter);
    constexpr std::uint8_t centred = Painter::AlignHCentre | Painter::AlignVCentre;
    painter->setFont(edge);
    const float dx = 4.F / static_cast<float>(std::max(1, width()));
    const float dy = 4.F / static_cast<float>(std::max(1, height()));
    for (const auto& [x, y] : {std::pair{dx, 0.F}, std::pair{-dx, 0.F}, std::pair{0.F, dy}, std::pair{0.F, -dy}}) {
        painter->drawText(x, y, 0, "Offline", centred, true);
    }
    painter->setFont(face);
    painter->drawText(0.F, 0.F, 0, "Offline", centred, true);
    painter->setFont(previous);
}

const std::vector<RangeLabel>& FanDisplay::rangeLabels()
{
    // Formatted anew only when what they show changes, not at every frame.
    const LabelKey key{getCurrentRotation(), d->engine.getImageRange(), d->engine.getStartAngle(),
                       d->engine.getAperture(), d->distanceUnit};
    if (!(key == d->labelKey) || d->labels.empty()) {
        d->labels = d->engine.buildRangeLabels(key.rotation);
        d->labelKey = key;
    }
    return d->labels;
}

// The magnifier draws the same engine. Asked here, in the same pass as the
// display, both are composed into one frame of the window; asked from inside
// the display's paint, it would come a pass later and the whole window would be
// composed a second time for it.
void FanDisplay::updateWithMagnifier()
{
    update();
    if (d->zoomDisplay && d->zoomDisplay->isVisible()) {
        d->zoomDisplay->update();
    }
}

void FanDisplay::drawZoomRegion()
{
    const QMatrix4x4 inverse = d->zoomDisplay->getCurrentProjection().inverted();
    std::vector<float> corners;
    for (const QPointF corner : {QPointF(-1, 1), QPointF(1, 1), QPointF(1, -1), QPointF(-1, -1)}) {
        const QPointF model = inverse.map(corner);
        corners.push_back(static_cast<float>(model.x()));
        corners.push_back(static_cast<float>(model.y()));
    }
    getPainter()->drawLines(corners, 1, QColor("green"), false, true, true);
}

void FanDisplay::drawBranding()
{
    using GUI::Widgets::Displays::KeldarLogo;
    using GUI::Widgets::Displays::OndrixLogo;
    auto* painter = getPainter();
    // The painter keeps a cached image at the place and size of its first
    // draw, so after a resize the logos would be stretched with the widget.
    // They are rendered anew for the new size, keeping a twelfth of the height,
    // and the old images are dropped from the painter's cache.
    if (d->brandingDirty || d->brandingSize != size()) {
        painter->forgetImage(d->makerLogo);
        painter->forgetImage(d->productLogo);
        d->brandingSize = size();
        const int logoHeight = height() / 12;
        auto render = [logoHeight](auto& logo) {
            logo.setStyleSheet(QStringLiteral("background: transparent;"));
            logo.setAttribute(Qt::WA_TranslucentBackground);
            const QSizeF svg = logo.getSvgSize();
            const int logoWidth =
                svg.height() > 0.0 ? static_cast<int>(logoHeight * svg.width() / svg.height()) : logoHeight;
            logo.setFixedSize(std::max(1, logoWidth), std::max(1, logoHeight));
            QImage image(logo.size(), QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            logo.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
            return image;
        };
        KeldarLogo maker;
        maker.setColours(d->primaryColour, d->secondaryColour);
        d->makerLogo = render(maker);
        OndrixLogo product;
        product.setColour(d->productColour);
        d->productLogo = render(product);
        d->brandingDirty = false;
    }
    painter->drawImage(-0.95F, 0.95F, d->makerLogo, true);
    const float productX = 0.95F - 2.F * static_cast<float>(d->productLogo.width()) / static_cast<float>(width());
    painter->drawImage(productX, 0.95F, d->productLogo, true);
}

void FanDisplay::resizeEvent(QResizeEvent* event)
{
    OpenGLWidget::resizeEvent(event);
    d->tool->finish(this);
    d->tool->clear();
}

QPointF FanDisplay::toDeviceCoordinates(QPointF position) const
{
    return {2.0 * position.x() / width() - 1.0, 1.0 - 2.0 * position.y() / height()};
}

bool FanDisplay::onZoomRegionBorder(QPointF point) const
{
    if (!d->zoomDisplay) {
        return false;
    }
    const QMatrix4x4 toFan = getCurrentProjection() * d->zoomDisplay->getCurrentProjection().inverted();
    const QRectF outer = QRectF(toFan.map(QPointF(-1.05, 1.05)), toFan.map(QPointF(1.05, -1.05))).normalized();
    const QRectF inner = QRectF(toFan.map(QPointF(-0.95, 0.95)), toFan.map(QPointF(0.95, -0.95))).normalized();
    return outer.contains(point) && !inner.contains(point);
}

QPointF FanDisplay::zoomRegionGrabPoint(QPointF point) const
{
    const auto s = getCurrentScale();
    const auto zs = d->zoomDisplay->getCurrentScale();
    const auto zt = d->zoomDisplay->getCurrentTranslation();
    return {zs.x * point.x() / s.x + zt.x, zs.y * point.y() / s.y + zt.y};
}

void FanDisplay::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPointF p = toDeviceCoordinates(event->localPos());
    if (d->zoomDisplay && d->zoomDisplay->isVisible() && onZoomRegionBorder(p)) {
        d->draggingZoomRegion = true;
        d->zoomGrab = zoomRegionGrabPoint(p);
        setCursor(Qt::ClosedHandCursor);
        return;
    }
    if (d->engine.containsPoint(p, getCurrentProjection())) {
        d->tool->begin(this, p);
        update();
    }
}

void FanDisplay::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF p = toDeviceCoordinates(event->localPos());
    if (d->draggingZoomRegion && d->zoomDisplay) {
        const QPointF q = zoomRegionGrabPoint(p);
        d->zoomDisplay->pan(static_cast<float>(d->zoomGrab.x() - q.x()), static_cast<float>(d->zoomGrab.y() - q.y()),
                            false);
    } else if (d->zoomDisplay && d->zoomDisplay->isVisible() && onZoomRegionBorder(p)) {
        setCursor(Qt::OpenHandCursor);
    } else if (d->tool->getState() != MeasuringToolBase::Measuring) {
        unsetCursor();
    }

    const QMatrix4x4 projection = getCurrentProjection();
    if (!d->engine.containsPoint(p, projection)) {
        return;
    }
    const auto s = getCurrentScale();
    const auto t = getCurrentTranslation();
    const double ratio = static_cast<double>(s.y) / s.x;
    const QPointF pointer(p.x() * ratio, p.y());
    const QPointF apex(t.x * ratio, t.y);
    const double range = d->engine.getImageRange();
    const double r = Maths::Geometry::distanceBetween({pointer.x(), pointer.y()}, {apex.x(), apex.y()}) * range / s.y;
    auto phi = static_cast<float>(std::atan2(pointer.y() - apex.y(), pointer.x() - apex.x()));
    if (pointer.y() < apex.y()) {
        phi += static_cast<float>(2.0 * std::numbers::pi);
    }
    float rotation = getCurrentRotation();
    if (rotation > 180.F) {
        rotation -= 360.F;
    }
    double theta = (rotation + 90.0) * std::numbers::pi / 180.0 - phi;
    // phi runs from 0 to a full turn from the x axis, so with the centre line
    // at or below it (turns past half a turn) the difference is a turn off.
    if (theta <= -std::numbers::pi) {
        theta += 2.0 * std::numbers::pi;
    } else if (theta > std::numbers::pi) {
        theta -= 2.0 * std::numbers::pi;
    }
    const double x = Maths::Geometry::sineRuleForSide(theta, r, std::numbers::pi / 2.0);
    const double y = Maths::Geometry::pythagorasForShortSide(x, r);
    d->mouseX = static_cast<float>(x);
    d->mouseY = static_cast<float>(y);
    d->mouseR = static_cast<float>(r);
    d->mouseTheta = static_cast<float>(theta * 57.29578);
    emit newMousePosition(d->mouseX, d->mouseY, d->mouseR, d->mouseTheta);

    if (d->tool->getState() == MeasuringToolBase::Measuring) {
        d->tool->update(p, range, s.x, s.y);
        update();
    }
}

void FanDisplay::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        return;
    }
    if (d->draggingZoomRegion) {
        d->draggingZoomRegion = false;
        unsetCursor();
    } else if (d->tool->getState() == MeasuringToolBase::Measuring) {
        d->tool->finish(this);
        if (!d->tool->hasMeasurement()) {
            d->tool->clear();
        }
    } else {
        d->tool->clear();
    }
    update();
}

} // namespace Keldar::Ondrix::Visualisation
