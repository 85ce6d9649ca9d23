#pragma once

#include "settings/SonarSetup.h"

#include <QWidget>

#include <cstdint>

class QLabel;
class QLineEdit;
class QRadioButton;
class QSlider;

namespace Keldar::OndrixLumivane {

// The water (fresh, salt or custom speed of sound and salinity) and the
// bandwidth of a sonar, as the settings panel edits them: once for the
// defaults for new sonars and once for the connected sonar. A choice of the
// user's is sent on; what is shown from elsewhere is not.
class WaterAndBandwidthEditor : public QWidget
{
    Q_OBJECT

public:
    explicit WaterAndBandwidthEditor(QWidget* parent = nullptr);

    // 0 fresh, 1 salt, 2 custom (Settings::EnvironmentIndex).
    int environmentIndex() const;
    QString speedText() const;
    QString salinityText() const;
    int bandwidth() const;
    Settings::Water chosenWater() const;

    // As if the user had chosen them: the water and the bandwidth are sent.
    void choose(int environment, const QString& speed, const QString& salinity, int bandwidth);
    // Shows what a sonar uses, sending nothing.
    void showSetup(const Settings::Water& water, int bandwidth);
    // The speed field's label shows the application's speed unit, and the
    // number keeps its speed.
    void updateSpeedUnit();

Q_SIGNALS:
    void waterChosen(double speedOfSound, double salinity);
    void bandwidthChosen(uint8_t limit);

private:
    void environmentClicked(int index);
    void showEnvironment(int index);

    QRadioButton* freshWaterOption;
    QRadioButton* saltWaterOption;
    QRadioButton* customOption;
    QLineEdit* speedInput;
    QLabel* speedUnits;
    QLineEdit* salinityInput;
    QSlider* bandwidthInput;
    // Metres per second in one unit of the speed field's number.
    double speedFieldFactor = 1.0;
};

} // namespace Keldar::OndrixLumivane
