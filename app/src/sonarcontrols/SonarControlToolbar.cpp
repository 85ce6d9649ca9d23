#include "sonarcontrols/SonarControlToolbar.h"

#include "base/ViewerContext.h"

#include "sonarcontrols/BasicSliderPopOut.h"
#include "sonarcontrols/FrequencyControl.h"
#include "sonarcontrols/RangeControlStrategy.h"
#include "sonarcontrols/SonarSettingsControls.h"

#include <keldar/core/Units/AbstractUnit.h>
#include <keldar/gui/PopOutWidgetButton.h>
#include <keldar/gui/SvgButton.h>

#include <QKeySequence>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

namespace Keldar::OndrixLumivane {

using GUI::Widgets::Buttons::PopOutWidgetButton;

namespace {

int tenths(float metres)
{
    return static_cast<int>(std::lround(static_cast<double>(metres) * 10.0));
}

const ToolbarBase::PopOutKeys rangeKeys{QStringLiteral("rangeControlDocked"), QStringLiteral("rangeControlPosition"),
                                        QStringLiteral("rangeButtonChecked")};
const ToolbarBase::PopOutKeys gainKeys{QStringLiteral("gainControlDocked"), QStringLiteral("gainControlPosition"),
                                       QStringLiteral("gainButtonChecked")};
const ToolbarBase::PopOutKeys frequencyKeys{QStringLiteral("frequencyControlDocked"),
                                            QStringLiteral("frequencyControlPosition"),
                                            QStringLiteral("frequencyButtonChecked")};

} // namespace

SonarControlToolbar::SonarControlToolbar(QWidget* parent)
    : ToolbarBase(parent)
    , rangeButton(makeButton<PopOutWidgetButton>(QStringLiteral("rangeButton"),
                                                 QStringLiteral(":/keldar-icons/Device-Parameters/Range.svg"),
                                                 QStringLiteral("Control Sonar Range"), this))
    , gainButton(makeButton<PopOutWidgetButton>(QStringLiteral("gainButton"),
                                                QStringLiteral(":/keldar-icons/Device-Parameters/Gain.svg"),
                                                QStringLiteral("Control Sonar Gain"), this))
    , frequencyButton(makeButton<PopOutWidgetButton>(QStringLiteral("frequencyButton"),
                                                     QStringLiteral(":/keldar-icons/Device-Parameters/Frequency.svg"),
                                                     QStringLiteral("Control Sonar Frequency"), this))
    , sonarSettingsButton(makeButton<PopOutWidgetButton>(QStringLiteral("sonarSettingsButton"),
                                                         QStringLiteral(":/keldar-icons/General/ConfigSpanner.svg"),
                                                         QStringLiteral("Sonar Options"), this))
    // The pop-outs stay inside the toolbar until placePopOuts moves them.
    , rangeControl(new BasicSliderPopOut(rangeButton, QStringLiteral("Range: "), 1, 30, 1, 5, "m", 0.1F, true, this))
    , gainControl(new BasicSliderPopOut(gainButton, QStringLiteral("Gain: "), 0, 100, 5, 10, "%", 1.0F, true, this))
    , frequencyControl(new FrequencyControl(frequencyButton, this))
    , sonarSettings(new SonarSettingsControls(sonarSettingsButton, this))
    , increaseRangeShortcut(new QShortcut(this))
    , decreaseRangeShortcut(new QShortcut(this))
    , increaseGainShortcut(new QShortcut(this))
    , decreaseGainShortcut(new QShortcut(this))
    , toggleFrequencyShortcut(new QShortcut(this))
{
    rangeControl->setObjectName(QStringLiteral("rangeControl"));
    gainControl->setObjectName(QStringLiteral("gainControl"));
    frequencyControl->setObjectName(QStringLiteral("frequencyControl"));
    sonarSettings->setObjectName(QStringLiteral("sonarSettingsControls"));
    rangeControl->setStepFunction(RangeControlStrategy());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    for (QWidget* button : {rangeButton, gainButton, frequencyButton, sonarSettingsButton}) {
        layout->addWidget(button, 0, Qt::AlignHCenter);
    }
    for (BasicPopOutWidget* popOut :
         std::initializer_list<BasicPopOutWidget*>{rangeControl, gainControl, frequencyControl, sonarSettings}) {
        addPopOut(popOut);
    }

    connect(rangeControl, QOverload<int>::of(&BasicSliderPopOut::valueChanged), this,
            &SonarControlToolbar::rangeChanged);
    connect(gainControl, QOverload<double>::of(&BasicSliderPopOut::valueChanged), this,
            &SonarControlToolbar::newGainRequested);
    connect(frequencyControl, &FrequencyControl::newFrequencyRequested, this, &SonarControlToolbar::frequencyChosen);
    connect(frequencyControl, &FrequencyControl::autoFrequencyRequested, this,
            &SonarControlToolbar::autoFrequencyChosen);

    connect(sonarSettings, &SonarSettingsControls::newGammaRequested, this, &SonarControlToolbar::newGammaRequested);
    connect(sonarSettings, &SonarSettingsControls::newGainAssistSettingRequested, this,
            &SonarControlToolbar::newGainAssistSettingRequested);
    connect(sonarSettings, &SonarSettingsControls::newGainBoostSettingRequested, this,
            &SonarControlToolbar::newGainBoostSettingRequested);
    connect(sonarSettings, &SonarSettingsControls::newFullBeamsSettingRequested, this,
            &SonarControlToolbar::newFullBeamsSettingRequested);
    connect(sonarSettings, &SonarSettingsControls::newPingRateRequested, this,
            &SonarControlToolbar::newPingRateRequested);
    connect(sonarSettings, &SonarSettingsControls::newNetworkConfigRequested, this,
            &SonarControlToolbar::newNetworkConfigRequested);
    connect(this, &SonarControlToolbar::newNetworkConfig, sonarSettings, &SonarSettingsControls::newNetworkConfig);

    connect(increaseRangeShortcut, &QShortcut::activated, rangeControl->getPlusButton(), &QAbstractButton::click);
    connect(decreaseRangeShortcut, &QShortcut::activated, rangeControl->getMinusButton(), &QAbstractButton::click);
    connect(increaseGainShortcut, &QShortcut::activated, gainControl->getPlusButton(), &QAbstractButton::click);
    connect(decreaseGainShortcut, &QShortcut::activated, gainControl->getMinusButton(), &QAbstractButton::click);
    connect(toggleFrequencyShortcut, &QShortcut::activated, this, &SonarControlToolbar::toggleFrequency);

    auto* application = ViewerContext::instance();
    connect(application, &ViewerContext::uiConstructed, this, [this] {
        placePopOuts();
        applyApplicationDistanceUnit();
    });
    connect(application, &ViewerContext::distanceUnitChanged, this, &SonarControlToolbar::applyApplicationDistanceUnit);
}

void SonarControlToolbar::applyApplicationDistanceUnit()
{
    if (const auto* unit = ViewerContext::instance()->getDistanceUnit()) {
        setDistanceUnit(*unit);
    }
}

void SonarControlToolbar::setDistanceUnit(const DataProcessing::Units::UnitInterface& unit)
{
    rangeControl->setUnitSuffix(unit.getSymbol());
    rangeControl->setFactor(static_cast<float>(0.1 * unit.fromSI(1.0)));
}

void SonarControlToolbar::placePopOuts()
{
    QWidget* area = window()->findChild<QWidget*>(QStringLiteral("sonarDisplay"));
    placePopOutsIn(area != nullptr ? area : window());
    loadShortcuts();
}

bool SonarControlToolbar::autoFrequencyIsEnabled() const
{
    return autoFrequency;
}

PopOutWidgetButton* SonarControlToolbar::getRangeButton() const
{
    return rangeButton;
}

PopOutWidgetButton* SonarControlToolbar::getGainButton() const
{
    return gainButton;
}

PopOutWidgetButton* SonarControlToolbar::getFrequencyButton() const
{
    return frequencyButton;
}

PopOutWidgetButton* SonarControlToolbar::getSonarSettingsButton() const
{
    return sonarSettingsButton;
}

BasicSliderPopOut* SonarControlToolbar::getRangeControl() const
{
    return rangeControl;
}

BasicSliderPopOut* SonarControlToolbar::getGainControl() const
{
    return gainControl;
}

FrequencyControl* SonarControlToolbar::getFrequencyControl() const
{
    return frequencyControl;
}

SonarSettingsControls* SonarControlToolbar::getSonarSettings() const
{
    return sonarSettings;
}

void SonarControlToolbar::newSonarSpec(Keldar::Ondrix::ModelSpec newSpec)
{
    spec = std::move(newSpec);
    const bool dual = spec.dualFrequency != 0;
    frequencyButton->setEnabled(dual);
    if (!dual) {
        frequencyButton->setChecked(false);
    }
    frequencyControl->setFrequencies(spec.firstFrequency, spec.secondFrequency);
    sonarSettings->newSonarSpec(spec);
}

void SonarControlToolbar::setAutoFrequency(bool enabled)
{
    autoFrequency = enabled && spec.dualFrequency != 0;
}

void SonarControlToolbar::setOperatingParameters(Keldar::Ondrix::OperationParameters parameters)
{
    // The parameters come again after every reconnection by the watchdog;
    // automatic frequency is the user's choice and stays until disconnection.
    if (autoFrequency) {
        setAutoRangeLimits();
        frequencyControl->showAuto();
    } else {
        setRangeLimits(parameters.frequency, true);
        frequencyControl->showFrequency(parameters.frequency);
    }
    rangeControl->setValueQuietly(static_cast<int>(std::lround(parameters.range * 10.0)));
    gainControl->setValueQuietly(static_cast<int>(std::lround(parameters.gain)));
    sonarSettings->showParameters(parameters.gamma, parameters.gainAssist, parameters.gainBoost,
                                  static_cast<int>(parameters.pingRate), parameters.fullBeams);
}

void SonarControlToolbar::loadShortcuts()
{
    settings().beginGroup(QString::fromLatin1(settingsGroup));
    loadShortcut(increaseRangeShortcut, "increaseRangeShortcut");
    loadShortcut(decreaseRangeShortcut, "decreaseRangeShortcut");
    loadShortcut(increaseGainShortcut, "increaseGainShortcut");
    loadShortcut(decreaseGainShortcut, "decreaseGainShortcut");
    loadShortcut(toggleFrequencyShortcut, "toggleFrequencyShortcut");
    settings().endGroup();
}

void SonarControlToolbar::restoreState(int /*mode*/)
{
    // Unlike the playback toolbar's, these pop-outs start docked.
    settings().beginGroup(QString::fromLatin1(settingsGroup));
    restorePopOut(rangeButton, rangeControl, rangeKeys, true);
    restorePopOut(gainButton, gainControl, gainKeys, true);
    restorePopOut(frequencyButton, frequencyControl, frequencyKeys, true);
    settings().endGroup();
}

void SonarControlToolbar::saveState()
{
    settings().beginGroup(QString::fromLatin1(settingsGroup));
    savePopOut(rangeButton, rangeControl, rangeKeys);
    savePopOut(gainButton, gainControl, gainKeys);
    savePopOut(frequencyButton, frequencyControl, frequencyKeys);
    settings().endGroup();
}

void SonarControlToolbar::resetControls()
{
    for (PopOutWidgetButton* button : {rangeButton, gainButton, frequencyButton, sonarSettingsButton}) {
        button->setChecked(false);
    }
    autoFrequency = false;
    sonarSettings->endPendingApply();
    hide();
}

void SonarControlToolbar::rangeChanged(int rangeTenths)
{
    // Metres from the slider itself: the shown value may be in feet or yards.
    const double metres = rangeTenths / 10.0;
    if (autoFrequency) {
        requestFrequencyForRange(metres);
    }
    Q_EMIT newRangeRequested(metres);
}

void SonarControlToolbar::frequencyChosen(Frequency frequency)
{
    autoFrequency = false;
    setRangeLimits(frequency, false);
    Q_EMIT newFrequencyRequested(frequency);
    Q_EMIT autoFrequencyChanged(false);
}

void SonarControlToolbar::autoFrequencyChosen()
{
    setAutoRangeLimits();
    requestFrequencyForRange(rangeControl->getValue() / 10.0);
    autoFrequency = true;
    Q_EMIT autoFrequencyChanged(true);
}

void SonarControlToolbar::setAutoRangeLimits()
{
    rangeControl->setRangeQuietly(tenths(spec.secondMinimumRange), tenths(spec.firstMaximumRange));
}

void SonarControlToolbar::requestFrequencyForRange(double metres)
{
    Q_EMIT newFrequencyRequested(metres > static_cast<double>(spec.secondMaximumRange) ? Frequency::Low
                                                                                       : Frequency::High);
}

void SonarControlToolbar::setRangeLimits(Frequency frequency, bool quietly)
{
    const bool high = frequency == Frequency::High;
    const int minimum = tenths(high ? spec.secondMinimumRange : spec.firstMinimumRange);
    const int maximum = tenths(high ? spec.secondMaximumRange : spec.firstMaximumRange);
    if (quietly) {
        rangeControl->setRangeQuietly(minimum, maximum);
    } else {
        rangeControl->getSlider()->setRange(minimum, maximum);
    }
}

void SonarControlToolbar::toggleFrequency()
{
    // A single-frequency model has nothing to toggle to.
    if (autoFrequency || spec.dualFrequency == 0) {
        return;
    }
    QPushButton* primary = frequencyControl->getPrimaryButton();
    (primary->isChecked() ? frequencyControl->getSecondaryButton() : primary)->click();
}

} // namespace Keldar::OndrixLumivane
