#pragma once

#include <keldar/core/Units/AbstractUnit.h>

namespace Keldar::DataProcessing::Units::Area {

class SquareFeet : public AbstractUnit
{
public:
    SquareFeet()
        : AbstractUnit(10.7639, "ft²", "sq. ft")
    {
    }
};

} // namespace Keldar::DataProcessing::Units::Area
