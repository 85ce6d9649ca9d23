#pragma once

#include <keldar/core/Units/AbstractUnit.h>

namespace Keldar::DataProcessing::Units::Speed {

class MilesPerHour : public AbstractUnit
{
public:
    MilesPerHour()
        : AbstractUnit(2.23694, "mph", "mph")
    {
    }
};

} // namespace Keldar::DataProcessing::Units::Speed
