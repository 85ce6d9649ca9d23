#pragma once

#include <keldar/core/Units/AbstractUnit.h>

namespace Keldar::DataProcessing::Units::Distance {

class Feet : public AbstractUnit
{
public:
    Feet()
        : AbstractUnit(3.28084, "ft", "ft")
    {
    }
};

} // namespace Keldar::DataProcessing::Units::Distance
