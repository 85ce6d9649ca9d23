#pragma once

#include <keldar/core/Units/AbstractUnit.h>

namespace Keldar::DataProcessing::Units::Temperature {

// Affine, so it overrides both conversions. The stored factor is unused.
class Fahrenheit : public AbstractUnit
{
public:
    Fahrenheit();
    double fromSI(double kelvin) const override;
    double toSI(double value) const override;
};

} // namespace Keldar::DataProcessing::Units::Temperature
