#pragma once

#include <keldar/core/Units/AbstractUnit.h>

namespace Keldar::DataProcessing::Units::Speed {

class FeetPerSecond : public AbstractUnit
{
public:
    FeetPerSecond()
        : AbstractUnit(3.28084, "fps", "fps")
    {
    }
};

} // namespace Keldar::DataProcessing::Units::Speed
