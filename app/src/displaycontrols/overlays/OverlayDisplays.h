#pragma once

#include "controller/MetaTypes.h"
#include "displaycontrols/overlays/EnvironmentReadings.h"

#include <keldar/gui/DraggableWidget.h>

#include <QLabel>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>

class QGridLayout;
class QPushButton;
class QResizeEvent;
class QToolButton;

namespace Keldar::GUI::Animations {
class Fade;
}
namespace Keldar::GUI::Widgets::GraphicsViews {
class PitchRollGraphicsView;
}
namespace Keldar::Ondrix::Visualisation {
class ZoomDisplay;
}

namespace Keldar::OndrixLumivane {

// Base of the small displays that float over the sonar picture: the user
// drags them about, and they fade in and out when switched. Each keeps its
// place in the settings under its key stem.
class AdditionalDisplayWidget : public GUI::Widgets::Bases::DraggableWidget
{
    Q_OBJECT

public:
    AdditionalDisplayWidget(QString keyStem, bool remembersSize, QWidget* parent = nullptr);

    const QString& getKeyStem() const;
    bool remembersSize() const;
    // Whether the user wants it shown (it may be faded out or in another mode).
    bool isWanted() const;
    // On top of the other displays, below the panels that share its parent.
    void raiseUnderPanels();

Q_SIGNALS:
    void requestHide();
    void widgetShown();

public Q_SLOTS:
    void setWidgetVisibility(bool visible);

protected:
    // A "Name:" label and its value label on a new row of the grid.
    QLabel* addLine(const QString& name, const QString& objectName, const QString& initial = QString());
    void resizeEvent(QResizeEvent* event) override;
    QGridLayout* grid;

private:
    QToolButton* closeButton;
    QString keyStem;
    bool sized;
    bool wanted = false;
    GUI::Animations::Fade* fade;
};

// The fan display's magnifier with its zoom and reset buttons.
class ZoomDisplayContainer : public AdditionalDisplayWidget
{
    Q_OBJECT

public:
    static constexpr int zoomSize = 350;
    explicit ZoomDisplayContainer(QWidget* parent = nullptr);
    // Takes the zoom display in place of the placeholder.
    void setZoomDisplay(Ondrix::Visualisation::ZoomDisplay* display);
    Ondrix::Visualisation::ZoomDisplay* getZoomDisplay() const;

private:
    QWidget* placeholder;
    Ondrix::Visualisation::ZoomDisplay* zoomDisplay = nullptr;
    QPushButton* zoomInButton;
    QPushButton* zoomOutButton;
    QPushButton* resetButton;
};

class AttitudeDisplayContainer : public AdditionalDisplayWidget
{
    Q_OBJECT

public:
    explicit AttitudeDisplayContainer(QWidget* parent = nullptr);
    GUI::Widgets::GraphicsViews::PitchRollGraphicsView* getView() const;

public Q_SLOTS:
    void newAttitude(Keldar::DataProcessing::Orientation::Attitude attitude);
    // Level, with no figures: nothing has been reported yet.
    void clear();

private:
    GUI::Widgets::GraphicsViews::PitchRollGraphicsView* view;
    QLabel* pitch;
    QLabel* roll;
};

class FpsDisplay : public AdditionalDisplayWidget
{
    Q_OBJECT

public:
    explicit FpsDisplay(QWidget* parent = nullptr);

public Q_SLOTS:
    void newFrameRate(int framesPerSecond);
    void newDataRate(float megabitsPerSecond);
    void clear();
    // False while the source sends no frames (a log paused or stopped): the
    // rate reads "—" until frames flow again.
    void setCounting(bool counting);

private:
    bool counting = true;
    QLabel* frameRate;
    QLabel* dataRate;
};

// The mouse position over the fan: x, y and r in the distance unit, theta in
// degrees.
class CoordinateDisplay : public AdditionalDisplayWidget
{
    Q_OBJECT

public:
    explicit CoordinateDisplay(QWidget* parent = nullptr);

public Q_SLOTS:
    void newMousePosition(double x, double y, double r, double theta);

private:
    QLabel* xLabel;
    QLabel* yLabel;
    QLabel* rLabel;
    QLabel* thetaLabel;
};

class SonarParametersDisplay : public AdditionalDisplayWidget
{
    Q_OBJECT

public:
    explicit SonarParametersDisplay(QWidget* parent = nullptr);
    // "450.0 kHz", or "1.2 MHz" above 1 MHz.
    static QString frequencyText(double hertz);

public Q_SLOTS:
    void newParams(const Keldar::Ondrix::OndrixImage& image);
    void clear();

private:
    void showRange();

    QLabel* range;
    std::optional<double> lastRange;
    QLabel* gain;
    QLabel* frequency;
};

class SonarDetailsDisplay : public AdditionalDisplayWidget
{
    Q_OBJECT

public:
    explicit SonarDetailsDisplay(QWidget* parent = nullptr);

public Q_SLOTS:
    void sonarDetailsReceived(uint32_t serialNumber, std::string modelName, std::string ipAddress,
                              std::string subnetMask);

private:
    QLabel* model;
    QLabel* serial;
    QLabel* address;
    QLabel* mask;
};

class StatusDiagnosticsDisplay : public AdditionalDisplayWidget
{
    Q_OBJECT

public:
    explicit StatusDiagnosticsDisplay(QWidget* parent = nullptr);

public Q_SLOTS:
    void newFirmwareVersion(std::string version);
    void newTemperatureStatus(Keldar::Ondrix::TemperatureStatus status);
    void newInternalTemperature(double kelvin);
    void newCapabilities(Keldar::Ondrix::SonarCapabilities capabilities);
    void newTransmitCircuitFailure(bool failure);
    void newSsblPauseReason(bool paused, Keldar::Ondrix::SsblPauseReason reason);
    // The sonar is gone: a log holds no status, so nothing is shown.
    void clearReadings();

private:
    void showInternalTemperature();

    QLabel* firmware;
    QLabel* temperatureStatus;
    QLabel* internalTemperature;
    QLabel* transmitFailure;
    QLabel* ahrs;
    QLabel* pressureSensor;
    QLabel* ssbl;
    QLabel* pauseReason;
    double lastInternalTemperature = 0.0;
    bool internalTemperatureKnown = false;
};

class EnvironmentalConditionsDisplay : public AdditionalDisplayWidget
{
    Q_OBJECT

public:
    explicit EnvironmentalConditionsDisplay(QWidget* parent = nullptr);

public Q_SLOTS:
    void newEnvironmentalConditions(Keldar::Ondrix::EnvironmentalConditions conditions);
    // A new sonar or log: no readings, and its first one sets the zero of
    // depth again.
    void clear();
    // Salinity of the water chosen in the settings (parts per thousand).
    void setSalinity(double partsPerThousand);
    // The last reading becomes the zero of depth.
    void zeroDepthHere();

private:
    void showReadings();

    QLabel* temperature;
    QLabel* pressure;
    QLabel* depth;
    DepthReference depthReference;
    double salinity = 0.0;
    std::optional<Ondrix::EnvironmentalConditions> last;
};

class LogDateTimeDisplay : public AdditionalDisplayWidget
{
    Q_OBJECT

public:
    static constexpr const char* format = "ddd d MMMM yyyy hh:mm:ss t";
    explicit LogDateTimeDisplay(QWidget* parent = nullptr);

public Q_SLOTS:
    void logTimeZoneRetrieved(std::string zone);
    void currentLogTime(int64_t msSinceEpoch);
    void clear();

private:
    QLabel* logTime;
    QString timeZone;
};

} // namespace Keldar::OndrixLumivane
