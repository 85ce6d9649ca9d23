#pragma once

#include <keldar/core/Units/AbstractUnit.h>

namespace Keldar::DataProcessing::Units::Speed {

class KilometresPerHour : public AbstractUnit
{
public:
    KilometresPerHour()
        : AbstractUnit(3.6, "km/h", "km/h")
    {
    }
};

} // namespace Keldar::DataProcessing::Units::Speed
