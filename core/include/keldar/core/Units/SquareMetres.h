#pragma once

#include <keldar/core/Units/AbstractUnit.h>

namespace Keldar::DataProcessing::Units::Area {

class SquareMetres : public AbstractUnit
{
public:
    SquareMetres()
        : AbstractUnit(1.0, "m²", "m^2")
    {
    }
};

} // namespace Keldar::DataProcessing::Units::Area
