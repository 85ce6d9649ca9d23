#pragma once

#include <keldar/core/Units/AbstractUnit.h>

namespace Keldar::DataProcessing::Units::Temperature {

class Kelvin : public AbstractUnit
{
public:
    Kelvin()
        : AbstractUnit(1.0, "K", "K")
    {
    }
};

} // namespace Keldar::DataProcessing::Units::Temperature
