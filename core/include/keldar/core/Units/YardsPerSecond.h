#pragma once

#include <keldar/core/Units/AbstractUnit.h>

namespace Keldar::DataProcessing::Units::Speed {

class YardsPerSecond : public AbstractUnit
{
public:
    YardsPerSecond()
        : AbstractUnit(1.09361, "yd/s", "yd/s")
    {
    }
};

} // namespace Keldar::DataProcessing::Units::Speed
