#pragma once

#include <keldar/core/Units/AbstractUnit.h>

namespace Keldar::DataProcessing::Units::Temperature {

// Affine, so it overrides both conversions. The stored factor is an offset in kelvin, not a factor.
class Celsius : public AbstractUnit
{
public:
    Celsius();
    double fromSI(double kelvin) const override;
    double toSI(double value) const override;
};

} // namespace Keldar::DataProcessing::Units::Temperature
