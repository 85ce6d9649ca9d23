#include "base/ViewerContext.h"

#include <keldar/core/Units.h>

namespace Keldar::OndrixLumivane {

namespace Units = DataProcessing::Units;

struct ViewerContext::UnitChoices
{
    std::unique_ptr<Unit> distance = std::make_unique<Units::Distance::Metres>();
    std::unique_ptr<Unit> area = std::make_unique<Units::Area::SquareMetres>();
    std::unique_ptr<Unit> speed = std::make_unique<Units::Speed::MetresPerSecond>();
    std::unique_ptr<Unit> temperature = std::make_unique<Units::Temperature::Kelvin>();
    std::unique_ptr<Unit> pressure = std::make_unique<Units::Pressure::Pascal>();
};

ViewerContext::ViewerContext()
    : units(std::make_unique<UnitChoices>())
{
}

ViewerContext::~ViewerContext() = default;

const ViewerContext::Unit* ViewerContext::getDistanceUnit() const
{
    return units->distance.get();
}

const ViewerContext::Unit* ViewerContext::getAreaUnit() const
{
    return units->area.get();
}

const ViewerContext::Unit* ViewerContext::getSpeedUnit() const
{
    return units->speed.get();
}

const ViewerContext::Unit* ViewerContext::getTemperatureUnit() const
{
    return units->temperature.get();
}

const ViewerContext::Unit* ViewerContext::getPressureUnit() const
{
    return units->pressure.get();
}

namespace {
// A value outside the table leaves the unit as it is.
template<typename... Choices>
void replaceUnit(std::unique_ptr<ViewerContext::Unit>& unit, int index)
{
    int at = 0;
    ((at++ == index ? (unit = std::make_unique<Choices>(), 0) : 0), ...);
}
} // namespace

void ViewerContext::changeDistanceUnit(DistanceUnits unit)
{
    replaceUnit<Units::Distance::Metres, Units::Distance::Yards, Units::Distance::Feet>(units->distance,
                                                                                        static_cast<int>(unit));
    emit distanceUnitChanged();
}

void ViewerContext::changeAreaUnit(AreaUnits unit)
{
    replaceUnit<Units::Area::SquareMetres, Units::Area::SquareYards, Units::Area::SquareFeet>(units->area,
                                                                                              static_cast<int>(unit));
    emit areaUnitChanged();
}

void ViewerContext::changeSpeedUnit(SpeedUnits unit)
{
    replaceUnit<Units::Speed::MetresPerSecond, Units::Speed::YardsPerSecond, Units::Speed::FeetPerSecond,
                Units::Speed::MilesPerHour, Units::Speed::KilometresPerHour>(units->speed, static_cast<int>(unit));
    emit speedUnitChanged();
}

void ViewerContext::changeTemperatureUnit(TemperatureUnits unit)
{
    replaceUnit<Units::Temperature::Kelvin, Units::Temperature::Celsius, Units::Temperature::Fahrenheit>(
        units->temperature, static_cast<int>(unit));
    emit temperatureUnitChanged();
}

void ViewerContext::changePressureUnit(PressureUnits unit)
{
    replaceUnit<Units::Pressure::Pascal, Units::Pressure::Bar, Units::Pressure::PoundsPerSquareInch>(
        units->pressure, static_cast<int>(unit));
    emit pressureUnitChanged();
}

} // namespace Keldar::OndrixLumivane
