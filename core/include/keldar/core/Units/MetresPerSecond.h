#pragma once

#include <keldar/core/Units/AbstractUnit.h>

namespace Keldar::DataProcessing::Units::Speed {

class MetresPerSecond : public AbstractUnit
{
public:
    MetresPerSecond()
        : AbstractUnit(1.0, "m/s", "m/s")
    {
    }
};

} // namespace Keldar::DataProcessing::Units::Speed
