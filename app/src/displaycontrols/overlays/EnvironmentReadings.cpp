#include "displaycontrols/overlays/EnvironmentReadings.h"

#include <QVariant>
#include <keldar/core/Units/UnitInterface.h>

#include <algorithm>

namespace Keldar::OndrixLumivane {

namespace {
constexpr double gravity = 9.81;
constexpr double saltWaterDensity = 1027.0;
constexpr double freshWaterDensity = 1000.0;
constexpr double kilo = 1000.0;
} // namespace

double DepthReference::depth(double pascals, bool saltWater)
{
    if (!reference) {
        followsLowest = pascals < relativeSensorLimit;
        reference = pascals;
    } else if (followsLowest) {
        reference = std::min(*reference, pascals);
    }
    const double density = saltWater ? saltWaterDensity : freshWaterDensity;
    return (pascals - *reference) / (density * gravity);
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
