#include "displaycontrols/overlays/EnvironmentReadings.h"

#include <QVariant>
#include <keldar/core/Units/UnitInterface.h>

#include <algorithm>
#include <cmath>

namespace Keldar::OndrixLumivane {

namespace {
constexpr double gravity = 9.81;
constexpr double saltWaterDensity = 1027.0;
constexpr double freshWaterDensity = 1000.0;
constexpr double kilo = 1000.0;
} // namespace

double waterDensity(double salinity)
{
    if (!std::isfinite(salinity) || salinity <= 0.0) {
        return freshWaterDensity;
    }
    return freshWaterDensity + (saltWaterDensity - freshWaterDensity) * std::min(salinity, 100.0) / 35.0;
}

double DepthReference::depth(double pascals, double density)
{
    if (!reference) {
        followsLowest = pascals < relativeSensorLimit;
        reference = pascals;
    } else if (followsLowest) {
        reference = std::min(*reference, pascals);
    }
    return (pascals - *reference) / (density * gravity);
}

void DepthReference::zeroAt(double pascals)
{
    reference = pascals;
    followsLowest = false;
}

void DepthReference::reset()
{
    reference.reset();
    followsLowest = false;
}

QString pressureText(double pascals, const DataProcessing::Units::UnitInterface& unit)
{
    double value = unit.fromSI(pascals);
    QString prefix = QStringLiteral(" ");
    if (value > kilo) {
        value /= kilo;
        prefix = QStringLiteral(" k");
    }
    return QString::number(value, 'f', 2) + prefix + QString::fromStdString(unit.getSymbol());
}

} // namespace Keldar::OndrixLumivane
