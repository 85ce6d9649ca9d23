#pragma once

#include <keldar/core/Units/AbstractUnit.h>

namespace Keldar::DataProcessing::Units::Pressure {

class Pascal : public AbstractUnit
{
public:
    Pascal()
        : AbstractUnit(1.0, "Pa", "Pa")
    {
    }
};

} // namespace Keldar::DataProcessing::Units::Pressure
