#pragma once

#include <keldar/core/Units/AbstractUnit.h>

namespace Keldar::DataProcessing::Units::Pressure {

class PoundsPerSquareInch : public AbstractUnit
{
public:
    PoundsPerSquareInch()
        : AbstractUnit(0.000145038, "lbf/in²", "psi")
    {
    }
};

} // namespace Keldar::DataProcessing::Units::Pressure
