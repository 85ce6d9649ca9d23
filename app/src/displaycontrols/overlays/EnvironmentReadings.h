#pragma once

#include <QString>

#include <optional>

namespace Keldar::DataProcessing::Units {
class UnitInterface;
}

namespace Keldar::OndrixLumivane {

// The depth of a sonar from its pressure readings. The first reading says
// what the sensor measures: below 30000 Pa it reads relative to the surface,
// and its zero is the lowest reading seen since (it drifts); otherwise it
// reads absolute pressure and the first reading, taken at the surface, is
// the zero.
class DepthReference
{
public:
    static constexpr double relativeSensorLimit = 30000.0;

    // Depth in metres for pressure `pascals`; salt water is denser.
    double depth(double pascals, bool saltWater);
    void reset();

private:
    std::optional<double> reference;
    bool followsLowest = false;
};

// "101.33 kPa": the pressure in `unit` with two decimals; a value above 1000
// is shown in thousands with " k" before the symbol, else a blank.
QString pressureText(double pascals, const DataProcessing::Units::UnitInterface& unit);

} // namespace Keldar::OndrixLumivane
