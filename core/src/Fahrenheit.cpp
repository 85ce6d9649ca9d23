#include <keldar/core/Units/Fahrenheit.h>

namespace Keldar::DataProcessing::Units::Temperature {

namespace {
constexpr double zeroCelsiusInKelvin = 273.15;
}

Fahrenheit::Fahrenheit()
    : AbstractUnit(0.0, "°F", "degF")
{
}

double Fahrenheit::fromSI(double kelvin) const
{
    return (kelvin - zeroCelsiusInKelvin) * 1.8 + 32.0;
}

double Fahrenheit::toSI(double value) const
{
    return (value - 32.0) * 0.5555555555555556 + zeroCelsiusInKelvin;
}

} // namespace Keldar::DataProcessing::Units::Temperature
