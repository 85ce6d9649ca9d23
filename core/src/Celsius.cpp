#include <keldar/core/Units/Celsius.h>

namespace Keldar::DataProcessing::Units::Temperature {

Celsius::Celsius()
    : AbstractUnit(273.15, "°C", "degC")
{
}

double Celsius::fromSI(double kelvin) const
{
    return kelvin - getFactor();
}

double Celsius::toSI(double value) const
{
    return value + getFactor();
}

} // namespace Keldar::DataProcessing::Units::Temperature
