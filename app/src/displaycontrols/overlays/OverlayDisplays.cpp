#include "displaycontrols/overlays/OverlayDisplays.h"

#include <keldar/gui/DraggableWidgetGroup.h>

#include "base/ViewerContext.h"

#include <QVariant>
#include <keldar/core/Units/AbstractUnit.h>
#include <keldar/gui/BasicPopOutWidget.h>
#include <keldar/gui/Fade.h>
#include <keldar/gui/PitchRollGraphicsView.h>
#include <keldar/visualisation/FanDisplay.h>
#include <keldar/visualisation/ZoomDisplay.h>

#include <QAction>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTimeZone>
#include <QToolButton>
#include <QVBoxLayout>

namespace Keldar::OndrixLumivane {

using DataProcessing::Units::UnitInterface;

namespace {

constexpr int fadeMs = 250;
constexpr double megahertz = 1e6;
constexpr double kilohertz = 1e3;

// `value` (SI) in `unit` with `decimals`, then the symbol, optionally after a blank.
QString inUnit(double value, const UnitInterface* unit, int decimals, const QString& separator = QString())
{
    if (unit == nullptr) {
        return QString::number(value, 'f', decimals);
    }
    return QString::number(unit->fromSI(value), 'f', decimals) + separator + QString::fromStdString(unit->getSymbol());
}

const UnitInterface* distanceUnit()
{
    return ViewerContext::instance()->getDistanceUnit();
}

QString yesNo(bool value)
{
    return value ? QStringLiteral("Yes") : QStringLiteral("No");
}

} // namespace

AdditionalDisplayWidget::AdditionalDisplayWidget(QString stem, bool remembersSize, QWidget* parent)
    : DraggableWidget(parent)
    , grid(new QGridLayout)
    , closeButton(new QToolButton(this))
    , keyStem(std::move(stem))
    , sized(remembersSize)
    , fade(new GUI::Animations::Fade(this, 0.0, 1.0, fadeMs, true, this))
{
    setObjectName(keyStem);
    // One group with the pop-outs: dragged displays keep clear of them.
    GUI::Widgets::Bases::DraggableWidgetGroup::applicationGroup().add(this);
    setProperty("class", QStringLiteral("simpleDisplayWidget"));
    setAttribute(Qt::WA_StyledBackground, true);
    auto* layout = new QVBoxLayout(this);
    // Grows with its texts: it lives outside any layout of its parent.
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    // Room on the right for the close button in the top corner.
    layout->setContentsMargins(8, 6, 20, 6);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setText(QStringLiteral("\u00d7"));
    closeButton->setToolTip(QStringLiteral("Hide this display"));
    closeButton->setAutoRaise(true);
    closeButton->setFixedSize(16, 16);
    connect(closeButton, &QToolButton::clicked, this, &AdditionalDisplayWidget::requestHide);
    layout->setSpacing(4);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(2);
    layout->addLayout(grid);
    hide();
}

const QString& AdditionalDisplayWidget::getKeyStem() const
{
    return keyStem;
}

bool AdditionalDisplayWidget::remembersSize() const
{
    return sized;
}

void AdditionalDisplayWidget::resizeEvent(QResizeEvent* event)
{
    DraggableWidget::resizeEvent(event);
    closeButton->move(width() - closeButton->width() - 2, 2);
    closeButton->raise();
}

bool AdditionalDisplayWidget::isWanted() const
{
    return wanted;
}

void AdditionalDisplayWidget::raiseUnderPanels()
{
    raise();
    // Above the picture and the other displays, but never over a panel the
    // user opens: its controls would be covered by this display's text.
    if (QWidget* area = parentWidget()) {
        for (auto* panel :
             area->findChildren<GUI::Widgets::Containers::BasicPopOutWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            panel->raise();
        }
    }
}

void AdditionalDisplayWidget::setWidgetVisibility(bool visible)
{
    wanted = visible;
    if (visible) {
        raiseUnderPanels();
        fade->fadeIn();
        Q_EMIT widgetShown();
    } else if (isVisible()) {
        fade->fadeOut();
    }
}

QLabel* AdditionalDisplayWidget::addLine(const QString& name, const QString& objectName, const QString& initial)
{
    // An empty grid still counts one row.
    const int row = grid->count() == 0 ? 0 : grid->rowCount();
    grid->addWidget(new QLabel(name, this), row, 0, Qt::AlignLeft);
    auto* value = new QLabel(initial, this);
    value->setObjectName(objectName);
    grid->addWidget(value, row, 1, Qt::AlignLeft);
    return value;
}

ZoomDisplayContainer::ZoomDisplayContainer(QWidget* parent)
    : AdditionalDisplayWidget(QStringLiteral("zoomDisplay"), false, parent)
    , placeholder(new QWidget(this))
    , zoomInButton(new QPushButton(QStringLiteral("Zoom in"), this))
    , zoomOutButton(new QPushButton(QStringLiteral("Zoom out"), this))
    , resetButton(new QPushButton(QStringLiteral("Reset pan and zoom"), this))
{
    setObjectName(QStringLiteral("zoomDisplayContainer"));
    placeholder->setObjectName(QStringLiteral("zoomDisplay"));
    placeholder->setFixedSize(zoomSize, zoomSize);
    zoomInButton->setObjectName(QStringLiteral("zoomIn"));
    zoomOutButton->setObjectName(QStringLiteral("zoomOut"));
    resetButton->setObjectName(QStringLiteral("reset"));
    grid->addWidget(placeholder, 0, 0, 1, 3);
    grid->addWidget(zoomInButton, 1, 0);
    grid->addWidget(zoomOutButton, 1, 1);
    grid->addWidget(resetButton, 1, 2);
}

void ZoomDisplayContainer::setZoomDisplay(Ondrix::Visualisation::ZoomDisplay* display)
{
    if (display == nullptr || zoomDisplay != nullptr) {
        return;
    }
    zoomDisplay = display;
    display->setParent(this);
    display->setObjectName(QStringLiteral("zoomDisplay"));
    display->setFixedSize(zoomSize, zoomSize);
    delete grid->replaceWidget(placeholder, display);
    placeholder->deleteLater();
    placeholder = nullptr;
    display->show();
    // Beyond the fan the magnifier shows its clear colour: the fan display's.
    connect(this, &AdditionalDisplayWidget::widgetShown, display,
            [display] { display->setClearColour(display->getParentDisplay().getClearColour()); });
    connect(zoomInButton, &QPushButton::clicked, display, &Ondrix::Visualisation::ZoomDisplay::zoomIn);
    connect(zoomOutButton, &QPushButton::clicked, display, &Ondrix::Visualisation::ZoomDisplay::zoomOut);
    connect(resetButton, &QPushButton::clicked, display, &Ondrix::Visualisation::ZoomDisplay::reset);
}

Ondrix::Visualisation::ZoomDisplay* ZoomDisplayContainer::getZoomDisplay() const
{
    return zoomDisplay;
}

AttitudeDisplayContainer::AttitudeDisplayContainer(QWidget* parent)
    : AdditionalDisplayWidget(QStringLiteral("attitudeDisplay"), false, parent)
    , view(new GUI::Widgets::GraphicsViews::PitchRollGraphicsView(this))
{
    setObjectName(QStringLiteral("attitudeDisplayContainer"));
    view->setObjectName(QStringLiteral("pitchRollView"));
    view->setFixedSize(200, 200);
    grid->addWidget(view, 0, 0, 1, 2);
    pitch = addLine(QStringLiteral("Pitch:"), QStringLiteral("pitchLabel"));
    roll = addLine(QStringLiteral("Roll:"), QStringLiteral("rollLabel"));
    clear();
}

GUI::Widgets::GraphicsViews::PitchRollGraphicsView* AttitudeDisplayContainer::getView() const
{
    return view;
}

void AttitudeDisplayContainer::newAttitude(Keldar::DataProcessing::Orientation::Attitude attitude)
{
    view->setPitch(attitude.pitch);
    view->setRoll(attitude.roll);
    pitch->setText(QString::number(static_cast<double>(attitude.pitch), 'f', 1) + QStringLiteral("°"));
    roll->setText(QString::number(static_cast<double>(attitude.roll), 'f', 1) + QStringLiteral("°"));
}

void AttitudeDisplayContainer::clear()
{
    view->setPitch(0.0F);
    view->setRoll(0.0F);
    pitch->setText(QStringLiteral("—"));
    roll->setText(QStringLiteral("—"));
}

FpsDisplay::FpsDisplay(QWidget* parent)
    : AdditionalDisplayWidget(QStringLiteral("fpsDisplay"), true, parent)
    , frameRate(addLine(QStringLiteral("FPS:"), QStringLiteral("fpsLabel"), QStringLiteral("0")))
    , dataRate(new QLabel(QStringLiteral("(0.00Mb/s)"), this))
{
    dataRate->setObjectName(QStringLiteral("dataRateLabel"));
    grid->addWidget(dataRate, 0, 2);
}

void FpsDisplay::newFrameRate(int framesPerSecond)
{
    if (counting) {
        frameRate->setText(QString::number(framesPerSecond));
    }
}

void FpsDisplay::setCounting(bool counting)
{
    this->counting = counting;
    if (!counting) {
        // No frames come while paused or stopped: there is no rate to show.
        frameRate->setText(QStringLiteral("—"));
    }
}

void FpsDisplay::newDataRate(float megabitsPerSecond)
{
    dataRate->setText(QStringLiteral("(") + QString::number(static_cast<double>(megabitsPerSecond), 'f', 2) +
                      QStringLiteral("Mb/s)"));
}

CoordinateDisplay::CoordinateDisplay(QWidget* parent)
    : AdditionalDisplayWidget(QStringLiteral("mousePositionDisplay"), true, parent)
    , xLabel(addLine(QStringLiteral("x:"), QStringLiteral("xLabel"), QStringLiteral("0.0m")))
    , yLabel(addLine(QStringLiteral("y:"), QStringLiteral("yLabel"), QStringLiteral("0.0m")))
    , rLabel(addLine(QStringLiteral("r:"), QStringLiteral("rLabel"), QStringLiteral("0.0m")))
    , thetaLabel(addLine(QStringLiteral("θ:"), QStringLiteral("thetaLabel"), QStringLiteral("0.0°")))
{
    setObjectName(QStringLiteral("coordinateDisplay"));
    for (QLabel* label : {xLabel, yLabel, rLabel, thetaLabel}) {
        label->setMinimumWidth(70);
    }
}

void FpsDisplay::clear()
{
    newFrameRate(0);
    newDataRate(0.0F);
}

void CoordinateDisplay::newMousePosition(double x, double y, double r, double theta)
{
    xLabel->setText(inUnit(x, distanceUnit(), 1));
    yLabel->setText(inUnit(y, distanceUnit(), 1));
    rLabel->setText(inUnit(r, distanceUnit(), 1));
    thetaLabel->setText(QString::number(theta, 'f', 1) + QStringLiteral("°"));
}

SonarParametersDisplay::SonarParametersDisplay(QWidget* parent)
    : AdditionalDisplayWidget(QStringLiteral("sonarParamsDisplay"), true, parent)
    , range(addLine(QStringLiteral("Range:"), QStringLiteral("rangeLabel")))
    , gain(addLine(QStringLiteral("Gain:"), QStringLiteral("gainLabel")))
    , frequency(addLine(QStringLiteral("Frequency:"), QStringLiteral("frequencyLabel")))
{
    setObjectName(QStringLiteral("sonarParametersDisplay"));
    connect(ViewerContext::instance(), &ViewerContext::distanceUnitChanged, this, &SonarParametersDisplay::showRange);
}

QString SonarParametersDisplay::frequencyText(double hertz)
{
    if (hertz > megahertz) {
        return QString::number(hertz / megahertz, 'f', 1) + QStringLiteral(" MHz");
    }
    return QString::number(hertz / kilohertz, 'f', 1) + QStringLiteral(" kHz");
}

void SonarParametersDisplay::newParams(const Keldar::Ondrix::OndrixImage& image)
{
    lastRange = image.getRange();
    showRange();
    gain->setText(QString::number(image.getGain(), 'g', 6) + QStringLiteral("%"));
    frequency->setText(frequencyText(image.getFrequency()));
}

void SonarParametersDisplay::showRange()
{
    range->setText(lastRange ? inUnit(*lastRange, distanceUnit(), 2) : QString());
}

void SonarParametersDisplay::clear()
{
    lastRange.reset();
    showRange();
    gain->clear();
    frequency->clear();
}

SonarDetailsDisplay::SonarDetailsDisplay(QWidget* parent)
    : AdditionalDisplayWidget(QStringLiteral("sonarDetailsDisplay"), true, parent)
    , model(addLine(QStringLiteral("Model:"), QStringLiteral("modelLabel")))
    , serial(addLine(QStringLiteral("Serial Number:"), QStringLiteral("serialNumberLabel")))
    , address(addLine(QStringLiteral("IP Address:"), QStringLiteral("ipAddressLabel")))
    , mask(addLine(QStringLiteral("Subnet Mask:"), QStringLiteral("subnetMaskLabel")))
{
}

void SonarDetailsDisplay::sonarDetailsReceived(uint32_t serialNumber, std::string modelName, std::string ipAddress,
                                               std::string subnetMask)
{
    model->setText(QString::fromStdString(modelName));
    serial->setText(QString::number(serialNumber));
    address->setText(QString::fromStdString(ipAddress));
    mask->setText(QString::fromStdString(subnetMask));
    adjustSize();
}

StatusDiagnosticsDisplay::StatusDiagnosticsDisplay(QWidget* parent)
    : AdditionalDisplayWidget(QStringLiteral("statusDiagnosticsDisplay"), true, parent)
    , firmware(addLine(QStringLiteral("Firmware Version:"), QStringLiteral("firmwareLabel")))
    , temperatureStatus(addLine(QStringLiteral("Temperature Status:"), QStringLiteral("temperatureStatusLabel")))
    , internalTemperature(addLine(QStringLiteral("Internal Temperature:"), QStringLiteral("internalTemperatureLabel")))
    , transmitFailure(addLine(QStringLiteral("Transmit circuit failure:"), QStringLiteral("transmitFailureLabel")))
    , ahrs(addLine(QStringLiteral("Equipped with AHRS:"), QStringLiteral("ahrsLabel")))
    , pressureSensor(addLine(QStringLiteral("Equipped wih pressure sensor:"), QStringLiteral("pressureSensorLabel")))
    , ssbl(addLine(QStringLiteral("Paused in SSBL:"), QStringLiteral("ssblLabel")))
    , pauseReason(addLine(QStringLiteral(" - Pause reason:"), QStringLiteral("pauseReasonLabel")))
{
    connect(ViewerContext::instance(), &ViewerContext::temperatureUnitChanged, this,
            &StatusDiagnosticsDisplay::showInternalTemperature);
}

void StatusDiagnosticsDisplay::newFirmwareVersion(std::string version)
{
    firmware->setText(QString::fromStdString(version));
}

void StatusDiagnosticsDisplay::newTemperatureStatus(Keldar::Ondrix::TemperatureStatus status)
{
    using Ondrix::TemperatureStatus;
    switch (status) {
    case TemperatureStatus::Good:
        temperatureStatus->setText(QStringLiteral("Good"));
        break;
    case TemperatureStatus::OverheatWarning:
        temperatureStatus->setText(QStringLiteral("Overheat Warning"));
        break;
    case TemperatureStatus::Overheated:
        temperatureStatus->setText(QStringLiteral("Overheated"));
        break;
    case TemperatureStatus::NotReported:
        // Not a reading: keep the last one.
        break;
    }
}

void StatusDiagnosticsDisplay::newInternalTemperature(double kelvin)
{
    lastInternalTemperature = kelvin;
    internalTemperatureKnown = true;
    showInternalTemperature();
}

void StatusDiagnosticsDisplay::showInternalTemperature()
{
    if (internalTemperatureKnown) {
        internalTemperature->setText(
            inUnit(lastInternalTemperature, ViewerContext::instance()->getTemperatureUnit(), 2, QStringLiteral(" ")));
    }
}

void StatusDiagnosticsDisplay::clearReadings()
{
    for (QLabel* label :
         {firmware, temperatureStatus, internalTemperature, transmitFailure, ahrs, pressureSensor, ssbl, pauseReason}) {
        label->clear();
    }
    internalTemperatureKnown = false;
}

void StatusDiagnosticsDisplay::newCapabilities(Keldar::Ondrix::SonarCapabilities capabilities)
{
    ahrs->setText(yesNo(capabilities.hasAhrs));
    pressureSensor->setText(yesNo(capabilities.hasPressureSensor));
}

void StatusDiagnosticsDisplay::newTransmitCircuitFailure(bool failure)
{
    transmitFailure->setText(yesNo(failure));
}

void StatusDiagnosticsDisplay::newSsblPauseReason(bool paused, Keldar::Ondrix::SsblPauseReason reason)
{
    ssbl->setText(yesNo(paused));
    if (!paused) {
        pauseReason->clear();
        return;
    }
    switch (reason) {
    case Ondrix::SsblPauseReason::MagSwitch:
        pauseReason->setText(QStringLiteral("Mag switch"));
        break;
    case Ondrix::SsblPauseReason::Brownout:
        pauseReason->setText(QStringLiteral("Brownout"));
        break;
    default:
        pauseReason->setText(QStringLiteral("Unknown"));
        break;
    }
}

EnvironmentalConditionsDisplay::EnvironmentalConditionsDisplay(QWidget* parent)
    : AdditionalDisplayWidget(QStringLiteral("environmentDisplay"), true, parent)
    , temperature(addLine(QStringLiteral("Temperature:"), QStringLiteral("temperatureLabel")))
    , pressure(addLine(QStringLiteral("Pressure:"), QStringLiteral("pressureLabel")))
    , depth(addLine(QStringLiteral("Depth:"), QStringLiteral("depthLabel")))
{
    setObjectName(QStringLiteral("environmentalConditionsDisplay"));
    auto* zero = new QAction(QStringLiteral("Zero depth here"), this);
    zero->setObjectName(QStringLiteral("zeroDepthAction"));
    connect(zero, &QAction::triggered, this, &EnvironmentalConditionsDisplay::zeroDepthHere);
    addAction(zero);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* application = ViewerContext::instance();
    for (auto unitChanged : {&ViewerContext::distanceUnitChanged, &ViewerContext::pressureUnitChanged,
                             &ViewerContext::temperatureUnitChanged}) {
        connect(application, unitChanged, this, &EnvironmentalConditionsDisplay::showReadings);
    }
}

void EnvironmentalConditionsDisplay::newEnvironmentalConditions(Keldar::Ondrix::EnvironmentalConditions conditions)
{
    last = conditions;
    showReadings();
}

void EnvironmentalConditionsDisplay::showReadings()
{
    if (!last) {
        temperature->clear();
        pressure->clear();
        depth->clear();
        return;
    }
    auto* application = ViewerContext::instance();
    if (const auto* unit = application->getPressureUnit()) {
        pressure->setText(pressureText(last->pressure, *unit));
    }
    const double metres = depthReference.depth(last->pressure, waterDensity(salinity));
    depth->setText(inUnit(metres, distanceUnit(), 1));
    temperature->setText(inUnit(last->temperature, application->getTemperatureUnit(), 2, QStringLiteral(" ")));
}

void EnvironmentalConditionsDisplay::clear()
{
    depthReference.reset();
    last.reset();
    showReadings();
}

void EnvironmentalConditionsDisplay::setSalinity(double partsPerThousand)
{
    salinity = partsPerThousand;
    showReadings();
}

void EnvironmentalConditionsDisplay::zeroDepthHere()
{
    if (last) {
        depthReference.zeroAt(last->pressure);
        showReadings();
    }
}

LogDateTimeDisplay::LogDateTimeDisplay(QWidget* parent)
    : AdditionalDisplayWidget(QStringLiteral("logDateTimeDisplay"), true, parent)
    , logTime(addLine(QStringLiteral("Log Time:"), QStringLiteral("logTimeLabel")))
{
}

void LogDateTimeDisplay::logTimeZoneRetrieved(std::string zone)
{
    timeZone = QString::fromStdString(zone);
}

void LogDateTimeDisplay::currentLogTime(int64_t msSinceEpoch)
{
    const QTimeZone zone(timeZone.toUtf8());
    const QDateTime time = zone.isValid() ? QDateTime::fromMSecsSinceEpoch(msSinceEpoch, zone)
                                          : QDateTime::fromMSecsSinceEpoch(msSinceEpoch);
    logTime->setText(time.toString(QString::fromLatin1(format)));
}

void LogDateTimeDisplay::clear()
{
    logTime->clear();
}

} // namespace Keldar::OndrixLumivane
