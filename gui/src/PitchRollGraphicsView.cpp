#include <keldar/gui/PitchRollGraphicsView.h>

#include <QGraphicsEllipseItem>
#include <QGraphicsScene>
#include <QGraphicsSvgItem>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QSvgRenderer>
#include <QWheelEvent>
#include <QtMath>

#include <algorithm>
#include <array>
#include <cmath>

namespace Keldar::GUI::Widgets::GraphicsViews {

namespace {

constexpr double instrumentSize = 240.0;
constexpr double windowRadius = 100.0;
constexpr double unitsPerDegree = 1.7;
constexpr float pitchLimit = 20.0f;
constexpr float rollLimit = 180.0f;

enum Layer { Back, Face, Ring, Case, LayerCount };

struct LayerSpec
{
    const char* resource;
    double depth;
};

constexpr std::array<LayerSpec, LayerCount> layerSpecs{{
    {":/keldar-gui/widget-graphics/adiWidget/Back.svg", -30.0},
    {":/keldar-gui/widget-graphics/adiWidget/Face.svg", -20.0},
    {":/keldar-gui/widget-graphics/adiWidget/Ring.svg", -10.0},
    {":/keldar-gui/widget-graphics/adiWidget/Case.svg", 10.0},
}};

} // namespace

struct PitchRollGraphicsView::Private
{
    QGraphicsScene scene;
    // Sky, face and ring are clipped to the instrument's window so that the
    // shifted face never spills over the bezel.
    QGraphicsEllipseItem* window = nullptr;
    std::array<QGraphicsSvgItem*, LayerCount> layers{};
    double horizontalScale = 1.0;
    double verticalScale = 1.0;
    float pitch = 0.0f;
    float roll = 0.0f;
    QPointF faceOffset;

    QTransform layerTransform(Layer layer, double rotation, const QPointF& offset) const
    {
        const QRectF bounds = layers[layer]->boundingRect();
        return QTransform::fromTranslate(-bounds.width() / 2.0, -bounds.height() / 2.0) *
               QTransform::fromScale(horizontalScale, verticalScale) * QTransform().rotate(rotation) *
               QTransform::fromTranslate(offset.x(), offset.y());
    }
};

PitchRollGraphicsView::PitchRollGraphicsView(QWidget* parent)
    : QGraphicsView(parent)
    , d(std::make_unique<Private>())
{
    d->window = new QGraphicsEllipseItem();
    d->window->setPen(Qt::NoPen);
    d->window->setBrush(Qt::NoBrush);
    d->window->setFlag(QGraphicsItem::ItemClipsChildrenToShape);
    d->scene.addItem(d->window);
    for (int layer = 0; layer < LayerCount; ++layer) {
        auto* item = new QGraphicsSvgItem(QString::fromLatin1(layerSpecs[layer].resource));
        item->setZValue(layerSpecs[layer].depth);
        item->setCacheMode(QGraphicsItem::NoCache);
        if (layer == Case)
            d->scene.addItem(item);
        else
            item->setParentItem(d->window);
        d->layers[layer] = item;
    }
    setScene(&d->scene);
    setFrameShape(QFrame::NoFrame);
    setStyleSheet(QStringLiteral("background: transparent; border: none;"));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setInteractive(false);
    setFocusPolicy(Qt::NoFocus);
    setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    layoutLayers();
}

PitchRollGraphicsView::~PitchRollGraphicsView()
{
    setScene(nullptr);
}

void PitchRollGraphicsView::setPitch(float degrees)
{
    d->pitch = std::clamp(degrees, -pitchLimit, pitchLimit);
    updateView();
}

void PitchRollGraphicsView::setRoll(float degrees)
{
    d->roll = std::clamp(-degrees, -rollLimit, rollLimit);
    updateView();
}

float PitchRollGraphicsView::getPitch() const
{
    return d->pitch;
}

float PitchRollGraphicsView::getRoll() const
{
    return d->roll;
}

QPointF PitchRollGraphicsView::getFaceOffset() const
{
    return d->faceOffset;
}

double PitchRollGraphicsView::getDialRotation() const
{
    return -static_cast<double>(d->roll);
}

QSize PitchRollGraphicsView::sizeHint() const
{
    return {240, 240};
}

bool PitchRollGraphicsView::hasHeightForWidth() const
{
    return true;
}

int PitchRollGraphicsView::heightForWidth(int width) const
{
    return width;
}

void PitchRollGraphicsView::resizeEvent(QResizeEvent* event)
{
    QGraphicsView::resizeEvent(event);
    layoutLayers();
}

void PitchRollGraphicsView::mouseMoveEvent(QMouseEvent* event)
{
    event->ignore();
}

void PitchRollGraphicsView::wheelEvent(QWheelEvent* event)
{
    // The scene never scrolls; let the enclosing panel have the wheel.
    event->ignore();
}

void PitchRollGraphicsView::layoutLayers()
{
    const QSize size = viewport()->size();
    d->horizontalScale = size.width() / instrumentSize;
    d->verticalScale = size.height() / instrumentSize;
    d->window->setRect(-windowRadius * d->horizontalScale, -windowRadius * d->verticalScale,
                       2.0 * windowRadius * d->horizontalScale, 2.0 * windowRadius * d->verticalScale);
    // The face offset is in scene units and so depends on the scale.
    d->faceOffset = QPointF();
    const QRectF sceneArea(-size.width() / 2.0, -size.height() / 2.0, size.width(), size.height());
    d->scene.setSceneRect(sceneArea);
    setSceneRect(sceneArea);
    centerOn(0.0, 0.0);
    updateView();
}

void PitchRollGraphicsView::updateView()
{
    const double rotation = -static_cast<double>(d->roll);
    const double r = qDegreesToRadians(static_cast<double>(d->roll));
    const double p = d->pitch;
    // The face slides along the rotated vertical, so the horizon stays level
    // with the rotated back.
    d->faceOffset = QPointF(std::sin(r) * p * unitsPerDegree * d->horizontalScale,
                            std::cos(r) * p * unitsPerDegree * d->verticalScale);
    d->layers[Back]->setTransform(d->layerTransform(Back, rotation, {}));
    d->layers[Face]->setTransform(d->layerTransform(Face, rotation, d->faceOffset));
    d->layers[Ring]->setTransform(d->layerTransform(Ring, rotation, {}));
    d->layers[Case]->setTransform(d->layerTransform(Case, 0.0, {}));
    d->scene.update();
}

} // namespace Keldar::GUI::Widgets::GraphicsViews
