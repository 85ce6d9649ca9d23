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

    // Depth in metres for pressure `pascals` in water of `density` kg/m³.
    double depth(double pascals, double density);
    // Depth 0 at `pascals` from now on (a sensor that reads absolute pressure
    // is not always switched on at the surface).
    void zeroAt(double pascals);
    void reset();

private:
    std::optional<double> reference;
    bool followsLowest = false;
};

// Density of water (kg/m³) of `salinity` parts per thousand: 1000 fresh,
// 1027 for sea water of 35.
double waterDensity(double salinity);

// "101.33 kPa": the pressure in `unit` with two decimals; a value above 1000
// is shown in thousands with " k" before the symbol, else a blank.
QString pressureText(double pascals, const DataProcessing::Units::UnitInterface& unit);

} // namespace Keldar::OndrixLumivane
