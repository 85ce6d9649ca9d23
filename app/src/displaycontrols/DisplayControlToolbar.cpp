#include "displaycontrols/DisplayControlToolbar.h"

#include "base/ViewerContext.h"
#include "displaycontrols/AdditionalDisplays.h"
#include "displaycontrols/DisplayPanels.h"
#include "displaycontrols/PaletteControl.h"

#include <QVariant>
#include <keldar/gui/PopOutWidgetButton.h>
#include <keldar/gui/SvgButton.h>

#include <QFrame>
#include <QKeySequence>
#include <QSettings>
#include <QShortcut>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

namespace Keldar::OndrixLumivane {

using GUI::Widgets::Buttons::PopOutWidgetButton;
using GUI::Widgets::Buttons::SvgButton;

namespace {

QFrame* makeDivider(const QString& name, QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setObjectName(name);
    line->setFrameShape(QFrame::HLine);
    line->setProperty("class", QStringLiteral("sectionDivider"));
    return line;
}

const ToolbarBase::PopOutKeys rotationKeys{QStringLiteral("rotationControlDocked"),
                                           QStringLiteral("rotationControlPosition"),
                                           QStringLiteral("rotationButtonChecked")};
const ToolbarBase::PopOutKeys additionalDisplaysKeys{QStringLiteral("additionalDisplaysControlDocked"),
                                                     QStringLiteral("additionalDisplaysControlPosition"),
                                                     QStringLiteral("additionalDisplaysButtonChecked")};
const ToolbarBase::PopOutKeys measuringToolsKeys{QStringLiteral("measuringToolsControlDocked"),
                                                 QStringLiteral("measuringToolsControlPosition"),
                                                 QStringLiteral("measuringToolsButtonChecked")};
const QString flipKey = QStringLiteral("horizontalFlipButtonChecked");

} // namespace

DisplayControlToolbar::DisplayControlToolbar(QWidget* parent)
    : ToolbarBase(parent)
    , paletteButton(makeButton<PopOutWidgetButton>(QStringLiteral("paletteSelectButton"),
                                                   QStringLiteral(":/keldar-icons/Display-Controls/Palette.svg"),
                                                   QStringLiteral("Palettes"), this))
    , filtersButton(makeButton<PopOutWidgetButton>(QStringLiteral("filtersButton"),
                                                   QStringLiteral(":/keldar-icons/Display-Controls/Filters.svg"),
                                                   QStringLiteral("Filters"), this))
    , flipButton(new SvgButton(QStringLiteral(":/keldar-icons/Ondrix/HorizontalFlip.svg"), this))
    , rotationButton(makeButton<PopOutWidgetButton>(QStringLiteral("rotationControlsButton"),
                                                    QStringLiteral(":/keldar-icons/Ondrix/FanRotation.svg"),
                                                    QStringLiteral("Rotation controls"), this))
    , additionalDisplaysButton(
          makeButton<PopOutWidgetButton>(QStringLiteral("additionalDisplaysButton"),
                                         QStringLiteral(":/keldar-icons/Display-Controls/AdditionalDisplays.svg"),
                                         QStringLiteral("Additional displays"), this))
    , measuringToolsButton(makeButton<PopOutWidgetButton>(QStringLiteral("measuringToolsButton"),
                                                          QStringLiteral(":/keldar-icons/Measurement/Measure.svg"),
                                                          QStringLiteral("Measuring tools"), this))
    , overlayFeaturesButton(makeButton<PopOutWidgetButton>(QStringLiteral("overlayFeaturesButton"),
                                                           QStringLiteral(":/keldar-icons/Ondrix/Overlay.svg"),
                                                           QStringLiteral("Overlay features"), this))
    , paletteControl(new PaletteControl(paletteButton, this))
    , filterControls(new FilterControls(filtersButton, this))
    , rotationControls(new RotationControls(rotationButton, this))
    , additionalDisplays(new AdditionalDisplays(additionalDisplaysButton, this))
    , measuringTools(new MeasuringTools(measuringToolsButton, this))
    , overlayFeatures(new OverlayFeaturesControl(overlayFeaturesButton, this))
    , nextPaletteShortcut(new QShortcut(this))
    , previousPaletteShortcut(new QShortcut(this))
    , toggleOverlayShortcut(new QShortcut(this))
{
    prepareButton(flipButton, QStringLiteral("horizontalFlipButton"),
                  QStringLiteral("Flip the sonar image (useful if the sonar is upside down)"));
    flipButton->setCheckable(true);
    paletteControl->setObjectName(QStringLiteral("paletteControl"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(makeDivider(QStringLiteral("toolbarDivider"), this));
    for (QWidget* button : std::initializer_list<QWidget*>{paletteButton, filtersButton, flipButton, rotationButton,
                                                           overlayFeaturesButton}) {
        layout->addWidget(button, 0, Qt::AlignHCenter);
    }
    layout->addWidget(makeDivider(QStringLiteral("divider"), this));
    layout->addWidget(measuringToolsButton, 0, Qt::AlignHCenter);
    layout->addWidget(additionalDisplaysButton, 0, Qt::AlignHCenter);
    for (BasicPopOutWidget* popOut : std::initializer_list<BasicPopOutWidget*>{
             paletteControl, filterControls, rotationControls, additionalDisplays, measuringTools, overlayFeatures}) {
        addPopOut(popOut);
    }

    connect(flipButton, &QAbstractButton::toggled, this, &DisplayControlToolbar::toggleHorizontalFlip);
    connect(rotationControls, QOverload<int>::of(&BasicSliderPopOut::valueChanged), this,
            &DisplayControlToolbar::changeRotation);
    connect(paletteControl, &PaletteControl::newPaletteRequested, this, &DisplayControlToolbar::newPaletteRequested);
    connect(paletteControl, &PaletteControl::newPaletteModifierRequested, this,
            &DisplayControlToolbar::newPaletteModifierRequested);
    connect(filterControls, &FilterControls::newDespeckleLevelRequested, this,
            &DisplayControlToolbar::newDespeckleLevelRequested);
    connect(filterControls, &FilterControls::newClampLevelRequested, this,
            &DisplayControlToolbar::newClampLevelRequested);
    connect(measuringTools, &MeasuringTools::newMeasurementModeRequested, this,
            &DisplayControlToolbar::newMeasurementModeRequested);
    connect(overlayFeatures, &OverlayFeaturesControl::setRangeArcs, this, &DisplayControlToolbar::setRangeArcs);
    connect(overlayFeatures, &OverlayFeaturesControl::setRangeLabels, this, &DisplayControlToolbar::setRangeLabels);
    connect(overlayFeatures, &OverlayFeaturesControl::setSectorLines, this, &DisplayControlToolbar::setSectorLines);
    connect(additionalDisplays, &AdditionalDisplays::mouseTrackingRequired, this,
            &DisplayControlToolbar::mouseTrackingRequired);

    // The sonar's data, on to the overlay displays.
    AdditionalDisplays* displays = additionalDisplays;
    connect(this, &DisplayControlToolbar::newFrameRateReceived, displays->getFpsDisplay(), &FpsDisplay::newFrameRate);
    connect(this, &DisplayControlToolbar::newDataRateReceived, displays->getFpsDisplay(), &FpsDisplay::newDataRate);
    connect(this, &DisplayControlToolbar::newMousePosition, displays->getCoordinateDisplay(),
            &CoordinateDisplay::newMousePosition);
    connect(this, &DisplayControlToolbar::newParams, displays->getSonarParametersDisplay(),
            &SonarParametersDisplay::newParams);
    connect(this, &DisplayControlToolbar::sonarDetailsReceived, displays->getSonarDetailsDisplay(),
            &SonarDetailsDisplay::sonarDetailsReceived);
    connect(this, &DisplayControlToolbar::newAttitude, displays->getAttitudeDisplay(),
            &AttitudeDisplayContainer::newAttitude);
    StatusDiagnosticsDisplay* diagnostics = displays->getStatusDiagnosticsDisplay();
    connect(this, &DisplayControlToolbar::newFirmwareVersion, diagnostics,
            &StatusDiagnosticsDisplay::newFirmwareVersion);
    connect(this, &DisplayControlToolbar::newTemperatureStatus, diagnostics,
            &StatusDiagnosticsDisplay::newTemperatureStatus);
    connect(this, &DisplayControlToolbar::newInternalTemperature, diagnostics,
            &StatusDiagnosticsDisplay::newInternalTemperature);
    connect(this, &DisplayControlToolbar::newCapabilities, diagnostics, &StatusDiagnosticsDisplay::newCapabilities);
    connect(this, &DisplayControlToolbar::newTransmitCircuitFailure, diagnostics,
            &StatusDiagnosticsDisplay::newTransmitCircuitFailure);
    connect(this, &DisplayControlToolbar::newSsblPauseReason, diagnostics,
            &StatusDiagnosticsDisplay::newSsblPauseReason);
    connect(this, &DisplayControlToolbar::newEnvironmentalConditions, displays->getEnvironmentDisplay(),
            &EnvironmentalConditionsDisplay::newEnvironmentalConditions);
    connect(this, &DisplayControlToolbar::logTimeZoneRetrieved, displays->getLogDateTimeDisplay(),
            &LogDateTimeDisplay::logTimeZoneRetrieved);
    connect(this, &DisplayControlToolbar::currentLogTime, displays->getLogDateTimeDisplay(),
            &LogDateTimeDisplay::currentLogTime);

    connect(nextPaletteShortcut, &QShortcut::activated, paletteControl, &PaletteControl::selectNextPalette);
    connect(previousPaletteShortcut, &QShortcut::activated, paletteControl, &PaletteControl::selectPreviousPalette);
    connect(toggleOverlayShortcut, &QShortcut::activated, overlayFeatures, &OverlayFeaturesControl::toggleOverlays);

    connect(ViewerContext::instance(), &ViewerContext::uiConstructed, this, &DisplayControlToolbar::placePopOuts);
}

DisplayControlToolbar::~DisplayControlToolbar()
{
    saveIfShown();
}

void DisplayControlToolbar::saveIfShown()
{
    // The pop-outs live in the display area, which may already be gone.
    const auto& popOuts = getPopOuts();
    const bool popOutsAlive =
        std::all_of(popOuts.begin(), popOuts.end(), [](const auto& popOut) { return !popOut.isNull(); });
    if (active && popOutsAlive) {
        saveState();
    }
}

void DisplayControlToolbar::placePopOuts()
{
    if (panelsLoaded) {
        return;
    }
    QWidget* area = window()->findChild<QWidget*>(QStringLiteral("sonarDisplay"));
    if (area == nullptr) {
        area = window();
    }
    placePopOutsIn(area);
    additionalDisplays->placeDisplays(area);
    paletteControl->loadState();
    overlayFeatures->loadState();
    rotationControls->loadState();
    loadShortcuts();
    panelsLoaded = true;
}

void DisplayControlToolbar::setZoomDisplay(Ondrix::Visualisation::ZoomDisplay* display)
{
    additionalDisplays->getZoomDisplay()->setZoomDisplay(display);
}

void DisplayControlToolbar::loadShortcuts()
{
    settings().beginGroup(QString::fromLatin1(settingsGroup));
    auto load = [this](QShortcut* shortcut, const char* key) {
        shortcut->setKey(
            QKeySequence(settings().value(QString::fromLatin1(key)).toString(), QKeySequence::PortableText));
    };
    load(nextPaletteShortcut, "nextPaletteShortcut");
    load(previousPaletteShortcut, "previousPaletteShortcut");
    load(toggleOverlayShortcut, "toggleOverlayShortcut");
    settings().endGroup();
}

void DisplayControlToolbar::restoreState(int /*mode*/)
{
    active = true;
    settings().beginGroup(QString::fromLatin1(settingsGroup));
    flipButton->setChecked(settings().value(flipKey, false).toBool());
    restorePopOut(rotationButton, rotationControls, rotationKeys, true);
    restorePopOut(additionalDisplaysButton, additionalDisplays, additionalDisplaysKeys, true);
    restorePopOut(measuringToolsButton, measuringTools, measuringToolsKeys, true);
    settings().endGroup();
}

void DisplayControlToolbar::saveState()
{
    settings().beginGroup(QString::fromLatin1(settingsGroup));
    settings().setValue(flipKey, flipButton->isChecked());
    savePopOut(rotationButton, rotationControls, rotationKeys);
    savePopOut(additionalDisplaysButton, additionalDisplays, additionalDisplaysKeys);
    savePopOut(measuringToolsButton, measuringTools, measuringToolsKeys);
    settings().endGroup();
    paletteControl->saveState();
    overlayFeatures->saveState();
    rotationControls->saveState();
    additionalDisplays->saveState();
    settings().sync();
}

void DisplayControlToolbar::resetControls()
{
    active = false;
    for (PopOutWidgetButton* button : {paletteButton, filtersButton, rotationButton, additionalDisplaysButton,
                                       measuringToolsButton, overlayFeaturesButton}) {
        button->setChecked(false);
    }
    for (const auto& popOut : getPopOuts()) {
        if (popOut) {
            popOut->dock();
            popOut->hide();
        }
    }
    // Unflipped for the next source; its own flip comes back with its state.
    flipButton->setChecked(false);
    additionalDisplays->sourceClosed();
    hide();
}

PopOutWidgetButton* DisplayControlToolbar::getPaletteButton() const
{
    return paletteButton;
}

PopOutWidgetButton* DisplayControlToolbar::getFiltersButton() const
{
    return filtersButton;
}

SvgButton* DisplayControlToolbar::getFlipButton() const
{
    return flipButton;
}

PopOutWidgetButton* DisplayControlToolbar::getRotationButton() const
{
    return rotationButton;
}

PopOutWidgetButton* DisplayControlToolbar::getAdditionalDisplaysButton() const
{
    return additionalDisplaysButton;
}

PopOutWidgetButton* DisplayControlToolbar::getMeasuringToolsButton() const
{
    return measuringToolsButton;
}

PopOutWidgetButton* DisplayControlToolbar::getOverlayFeaturesButton() const
{
    return overlayFeaturesButton;
}

PaletteControl* DisplayControlToolbar::getPaletteControl() const
{
    return paletteControl;
}

FilterControls* DisplayControlToolbar::getFilterControls() const
{
    return filterControls;
}

RotationControls* DisplayControlToolbar::getRotationControls() const
{
    return rotationControls;
}

AdditionalDisplays* DisplayControlToolbar::getAdditionalDisplays() const
{
    return additionalDisplays;
}

MeasuringTools* DisplayControlToolbar::getMeasuringTools() const
{
    return measuringTools;
}

OverlayFeaturesControl* DisplayControlToolbar::getOverlayFeatures() const
{
    return overlayFeatures;
}

} // namespace Keldar::OndrixLumivane
