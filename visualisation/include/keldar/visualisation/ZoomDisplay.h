#pragma once

#include <keldar/gui/OpenGLWidget.h>

#include <QColor>

namespace Keldar::Ondrix::Visualisation {

class FanDisplay;
class FanGeometryEngine;

// A magnifier that draws its fan display's engine at 4 to 10 times the scale.
// It has no OpenGL objects of its own, so it must live in the fan display's
// window (or the application must share contexts).
class ZoomDisplay : public GUI::Widgets::Bases::OpenGLWidget
{
    Q_OBJECT

public:
    static constexpr int ZoomLevels = 10;
    static float zoomForIndex(int index);

    ZoomDisplay(FanGeometryEngine& engine, FanDisplay& parentDisplay);
    ~ZoomDisplay() override;

    FanDisplay& getParentDisplay() const;
    int getZoomIndex() const;

    void zoomIn();
    void zoomOut();
    // Centres on the point of the centre line at a quarter of the range.
    void reset();
    void pan(float dx, float dy, bool absolute);
    // Follows the fan display's rotation, keeping the same fan point centred.
    void setRotation(float degrees);
    void setClearColour(const QColor& colour);
    QColor getClearColour() const;

protected:
    void initialise() override;
    void paintGL() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyZoom();

    FanGeometryEngine& engine;
    FanDisplay& parentDisplay;
    QColor clearColour{"white"};
    bool clearColourDirty = false;
    // Until the display sets a colour the magnifier clears to the grey of its
    // initialisation, not to the placeholder above.
    bool clearColourSet = false;
    int zoomIndex = 0;
};

} // namespace Keldar::Ondrix::Visualisation
