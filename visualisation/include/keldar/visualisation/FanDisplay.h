#pragma once

#include <keldar/gui/OpenGLWidget.h>
#include <keldar/visualisation/FanDisplayOptions.h>
#include <keldar/visualisation/RangeLabel.h>

#include <QColor>
#include <QFont>
#include <QPointF>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace Keldar::DataProcessing::Units {
class AbstractUnit;
}

namespace Keldar::Ondrix {
class OndrixImage;
}

namespace Keldar::Ondrix::Visualisation {

class FanGeometryEngine;
class MeasuringToolBase;
class ZoomDisplay;

// Shows each sonar image as a fan-shaped sector, with range arcs, sector lines,
// range labels, a measuring tool, optional branding and the zoom region of its
// magnifier drawn on top.
class FanDisplay : public GUI::Widgets::Bases::OpenGLWidget
{
    Q_OBJECT

public:
    explicit FanDisplay(QWidget* parent = nullptr);
    ~FanDisplay() override;

    void configureFromSettings(const FanDisplayOptions::DisplaySettings& settings);
    FanDisplayOptions::DisplaySettings getCurrentDisplaySettings() const;

    void setRotation(int degrees);
    // The true bearing of the sonar's centre line (heading plus mounting
    // offset), when known: a measured line then gives its own.
    void setCentreLineBearing(std::optional<double> bearing);
    void horizontalFlip();
    void verticalFlip();
    void setOverlayFeature(FanDisplayOptions::OverlayFeature feature, bool enabled);
    void toggleOverlayFeature(FanDisplayOptions::OverlayFeature feature);
    bool overlayFeatureIsEnabled(FanDisplayOptions::OverlayFeature feature) const;
    void setClearColour(const QColor& colour);
    QColor getClearColour() const;
    void setTextColour(const QColor& colour);
    QColor getTextColour() const;
    void setFont(const QFont& font);
    void setBranding(bool enabled);
    void setBrandingColours(const QColor& primary, const QColor& secondary, const QColor& product);

    ZoomDisplay* getZoomDisplay() const;
    FanGeometryEngine& getEngine() const;
    MeasuringToolBase& getMeasuringTool() const;
    FanDisplayOptions::MeasurementMode getMeasurementMode() const;
    // How often the overlay font atlas has been (re)selected.
    int getFontRebuildCount() const;
    // False when the fan shader failed to build at the last initialise.
    bool resourcesAreValid() const;

    // Wall clock in milliseconds since the epoch for frame counting; tests
    // substitute their own.
    void setClock(std::function<std::int64_t()> clock);

    // True while the source is silent: the last image is dimmed under
    // "Offline" until the next image comes.
    bool isOffline() const;

    // Fits the fan into w x h: centred, filling 90 % of the limiting side.
    void resizeGL(int w, int h) override;

signals:
    void frameRateChanged(int frameRate);
    void newMousePosition(double x, double y, double r, double theta);

public slots:
    void newImageReceived(const Keldar::Ondrix::OndrixImage& image);
    void sonarDisconnected();
    // The source fell silent: the frame rate reads 0 and the picture says so.
    void sourceOffline();
    void setMeasurementMode(Keldar::Ondrix::Visualisation::FanDisplayOptions::MeasurementMode mode);
    void setDespeckleLevel(int level);
    void setClampLevel(float level);
    void setDistanceUnit(const Keldar::DataProcessing::Units::AbstractUnit* unit);
    void setAreaUnit(const Keldar::DataProcessing::Units::AbstractUnit* unit);
    void setPalette(Keldar::Ondrix::Visualisation::FanDisplayOptions::Palette palette);
    void setPaletteModifier(std::uint8_t modifier);

protected:
    void initialise() override;
    void paintGL() override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

    // The widget position in normalised device coordinates (-1..1, y up).
    QPointF toDeviceCoordinates(QPointF position) const;

private:
    // Hands the tool the view's rotation and the centre line's bearing and
    // measures again: a line fixed on screen turns with the fan.
    void orientTool();

    friend class ZoomDisplay;
    bool onZoomRegionBorder(QPointF point) const;
    QPointF zoomRegionGrabPoint(QPointF point) const;
    const std::vector<RangeLabel>& rangeLabels();
    void drawZoomRegion();
    void updateWithMagnifier();
    void drawBranding();
    void drawOffline();
    // The black edge's and the white face's font of "Offline", made on first use.
    std::pair<int, int> offlineFonts(GUI::Widgets::Bases::OpenGLWidgetPainter& painter) const;

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Keldar::Ondrix::Visualisation
