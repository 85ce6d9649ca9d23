#include <keldar/gui/OpenGLWidget.h>

#include <keldar/gui/OpenGLWidgetPainter.h>

#include <QOpenGLContext>

namespace Keldar::GUI::Widgets::Bases {

struct OpenGLWidget::Private
{
    // Mutable: the projection is rebuilt lazily by a const accessor.
    struct Transform
    {
        float rotation = 0.F;
        Vec3<float> scale;
        Vec3<float> translation;
        QMatrix4x4 translationMatrix;
        QMatrix4x4 rotationMatrix;
        QMatrix4x4 scaleMatrix;
        QMatrix4x4 projection;
        bool dirty = false;
    };
    mutable Transform transform;
    QOpenGLFunctions functions;
    std::unique_ptr<OpenGLWidgetPainter> painter;
    QMetaObject::Connection contextConnection;
};

OpenGLWidget::OpenGLWidget(QWidget* parent)
    : QOpenGLWidget(parent)
    , d(std::make_unique<Private>())
{
}

OpenGLWidget::~OpenGLWidget()
{
    // QOpenGLWidget's destructor deletes the context after this one has run,
    // and the context's aboutToBeDestroyed would then call into members that
    // are gone.
    disconnect(d->contextConnection);
    releaseGLResources();
}

void OpenGLWidget::releaseGLResources()
{
    if (!d->painter) {
        return;
    }
    // GL objects must be freed in the context that made them.
    makeCurrent();
    d->painter.reset();
    doneCurrent();
}

float OpenGLWidget::getCurrentRotation() const
{
    return d->transform.rotation;
}

Vec3<float> OpenGLWidget::getCurrentScale() const
{
    return d->transform.scale;
}

Vec3<float> OpenGLWidget::getCurrentTranslation() const
{
    return d->transform.translation;
}

QMatrix4x4 OpenGLWidget::getCurrentProjection() const
{
    auto& t = d->transform;
    if (t.dirty) {
        t.rotationMatrix.setToIdentity();
        t.rotationMatrix.rotate(t.rotation, 0.F, 0.F, 1.F);
        t.scaleMatrix.setToIdentity();
        t.scaleMatrix.scale(t.scale.x, t.scale.y, t.scale.z);
        t.translationMatrix.setToIdentity();
        t.translationMatrix.translate(t.translation.x, t.translation.y, t.translation.z);
        t.projection = t.translationMatrix * t.scaleMatrix * t.rotationMatrix;
        t.dirty = false;
    }
    return t.projection;
}

OpenGLWidgetPainter* OpenGLWidget::getPainter() const
{
    return d->painter.get();
}

QOpenGLFunctions* OpenGLWidget::getGLFunctions()
{
    return &d->functions;
}

void OpenGLWidget::rotate(float angle, bool absolute)
{
    auto& t = d->transform;
    float result = absolute ? angle : t.rotation + angle;
    if (result > 360.F) {
        result -= 360.F;
    } else if (result < 0.F) {
        result += 360.F;
    }
    t.rotation = result;
    t.dirty = true;
}

void OpenGLWidget::scale(float x, float y, float z, bool absolute)
{
    auto& s = d->transform.scale;
    if (absolute) {
        s = {x, y, z};
    } else {
        s = {s.x * x, s.y * y, s.z * z};
    }
    d->transform.dirty = true;
}

void OpenGLWidget::translate(float x, float y, float z, bool absolute)
{
    auto& t = d->transform.translation;
    if (absolute) {
        t = {x, y, z};
    } else {
        t = {t.x + x, t.y + y, t.z + z};
    }
    d->transform.dirty = true;
}

void OpenGLWidget::initializeGL()
{
    d->functions.initializeOpenGLFunctions();
    // A new context (after re-parenting to another window) makes a new painter;
    // the old one is released while its own context is still alive.
    if (d->contextConnection) {
        disconnect(d->contextConnection);
    }
    d->painter.reset();
    d->painter = std::make_unique<OpenGLWidgetPainter>(this);
    d->contextConnection =
        connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] { releaseGLResources(); });
    initialise();
}

} // namespace Keldar::GUI::Widgets::Bases
