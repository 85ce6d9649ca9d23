#pragma once

#include <keldar/core/Units/AbstractUnit.h>

namespace Keldar::DataProcessing::Units::Distance {

class Metres : public AbstractUnit
{
public:
    Metres()
        : AbstractUnit(1.0, "m", "m")
    {
    }
};

} // namespace Keldar::DataProcessing::Units::Distance
