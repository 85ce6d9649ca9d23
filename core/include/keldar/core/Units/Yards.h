#pragma once

#include <keldar/core/Units/AbstractUnit.h>

namespace Keldar::DataProcessing::Units::Distance {

class Yards : public AbstractUnit
{
public:
    Yards()
        : AbstractUnit(1.09361, "yd", "yd")
    {
    }
};

} // namespace Keldar::DataProcessing::Units::Distance
