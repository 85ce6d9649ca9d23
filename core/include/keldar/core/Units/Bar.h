#pragma once

#include <keldar/core/Units/AbstractUnit.h>

namespace Keldar::DataProcessing::Units::Pressure {

class Bar : public AbstractUnit
{
public:
    Bar()
        : AbstractUnit(0.00001, "bar", "bar")
    {
    }
};

} // namespace Keldar::DataProcessing::Units::Pressure
