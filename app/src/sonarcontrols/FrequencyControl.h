#pragma once

#include "controller/MetaTypes.h"

#include <keldar/gui/BasicPopOutWidget.h>
#include <keldar/ondrix/SonarTypes.h>

#include <cstdint>

class QButtonGroup;
class QPushButton;

namespace Keldar::OndrixLumivane {

// Pop-out choosing the sonar's frequency: the model's primary (low) or
// secondary (high) one, or automatic choice by range. One is checked at a time.
class FrequencyControl : public GUI::Widgets::Containers::BasicPopOutWidget
{
    Q_OBJECT

public:
    using Frequency = Ondrix::Frequency;
    static constexpr int gap = 8;

    explicit FrequencyControl(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent = nullptr);

    void setFrequencies(std::uint16_t primaryKHz, std::uint16_t secondaryKHz);
    // Checks the button of `frequency` without emitting anything.
    void showFrequency(Frequency frequency);
    // Checks "Auto" without emitting anything.
    void showAuto();

    QPushButton* getPrimaryButton() const;
    QPushButton* getSecondaryButton() const;
    QPushButton* getAutoButton() const;

    // Up to 999 kHz as "750 kHz", above as MHz: "1.2 MHz".
    static QString frequencyText(std::uint16_t kiloHertz);

Q_SIGNALS:
    void newFrequencyRequested(Keldar::Ondrix::Frequency frequency);
    void autoFrequencyRequested();

private:
    QPushButton* primaryButton;
    QPushButton* secondaryButton;
    QPushButton* autoButton;
    QButtonGroup* group;
};

} // namespace Keldar::OndrixLumivane
