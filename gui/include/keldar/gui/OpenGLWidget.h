#pragma once

#include <keldar/gui/Vec3.h>

#include <QMatrix4x4>
#include <QOpenGLFunctions>
#include <QOpenGLWidget>

#include <memory>

namespace Keldar::GUI::Widgets::Bases {

class OpenGLWidgetPainter;

// Base of every OpenGL-drawn display. Keeps a 2-D model transform (rotation
// about z, scale, translation) that becomes one projection matrix, and owns the
// painter used for overlays. Coordinates are normalised device coordinates
// (-1..1 across the widget) before the transform.
//
// The transform starts all-zero with identity matrices and a clean flag, so a
// subclass must set its scale before it first draws.
class OpenGLWidget : public QOpenGLWidget
{
    Q_OBJECT

public:
    explicit OpenGLWidget(QWidget* parent = nullptr);
    ~OpenGLWidget() override;

    OpenGLWidget(const OpenGLWidget&) = delete;
    OpenGLWidget& operator=(const OpenGLWidget&) = delete;

    float getCurrentRotation() const;
    Vec3<float> getCurrentScale() const;
    Vec3<float> getCurrentTranslation() const;

    // P = T * S * R, rebuilt lazily after any transform change.
    QMatrix4x4 getCurrentProjection() const;

    // Null until the first initializeGL; replaced whenever the context is.
    OpenGLWidgetPainter* getPainter() const;

    // The function table for the widget's context (valid after initializeGL).
    QOpenGLFunctions* getGLFunctions();

protected:
    // Absolute sets the angle, otherwise adds to it. The result is wrapped into
    // 0..360 by one step of 360 (360 itself stays).
    void rotate(float angle, bool absolute);
    // Absolute sets the factors, otherwise multiplies the current ones.
    void scale(float x, float y, float z, bool absolute);
    // Absolute sets the offsets, otherwise adds to them.
    void translate(float x, float y, float z, bool absolute);

    void initializeGL() override;

    // Where a subclass creates its own OpenGL resources; called at the end of
    // every initializeGL with the new painter already in place.
    virtual void initialise() = 0;

private:
    void releaseGLResources();

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Keldar::GUI::Widgets::Bases
