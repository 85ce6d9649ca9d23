#pragma once

#include <keldar/core/Units/AbstractUnit.h>

namespace Keldar::DataProcessing::Units::Area {

class SquareYards : public AbstractUnit
{
public:
    SquareYards()
        : AbstractUnit(1.19599, "yd²", "sq. yd")
    {
    }
};

} // namespace Keldar::DataProcessing::Units::Area
