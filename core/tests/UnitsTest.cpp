#include <keldar/core/Units.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace U = Keldar::DataProcessing::Units;

TEST(UnitConversion, DistanceShownInFeetAndYards)
{
    EXPECT_NEAR(U::Distance::Feet().fromSI(10.0), 32.8084, 1e-9);
    EXPECT_NEAR(U::Distance::Yards().fromSI(10.0), 10.9361, 1e-9);
    EXPECT_NEAR(U::Distance::Feet().toSI(32.8084), 10.0, 1e-9);
    EXPECT_DOUBLE_EQ(U::Distance::Metres().fromSI(12.5), 12.5);
}

TEST(UnitConversion, AreaShownInSquareFeet)
{
    EXPECT_NEAR(U::Area::SquareFeet().fromSI(1.0), 10.7639, 1e-9);
    EXPECT_NEAR(U::Area::SquareYards().fromSI(2.0), 2.39198, 1e-9);
    EXPECT_NEAR(U::Area::SquareYards().toSI(1.19599), 1.0, 1e-9);
}

TEST(UnitConversion, SpeedUnits)
{
    EXPECT_NEAR(U::Speed::KilometresPerHour().fromSI(10.0), 36.0, 1e-9);
    EXPECT_NEAR(U::Speed::MilesPerHour().fromSI(1.0), 2.23694, 1e-9);
    EXPECT_NEAR(U::Speed::FeetPerSecond().toSI(3.28084), 1.0, 1e-9);
    EXPECT_NEAR(U::Speed::YardsPerSecond().fromSI(1500.0), 1640.415, 1e-9);
}

TEST(UnitConversion, PressureFromBarAndToPsi)
{
    EXPECT_NEAR(U::Pressure::Bar().toSI(1.0), 100000.0, 1e-6);
    EXPECT_NEAR(U::Pressure::PoundsPerSquareInch().fromSI(100000.0), 14.5038, 1e-9);
    EXPECT_NEAR(U::Pressure::Bar().fromSI(250000.0), 2.5, 1e-12);
}

TEST(UnitConversion, TemperatureIsAffine)
{
    const U::Temperature::Celsius celsius;
    const U::Temperature::Fahrenheit fahrenheit;
    EXPECT_NEAR(celsius.fromSI(300.0), 26.85, 1e-9);
    EXPECT_NEAR(fahrenheit.fromSI(300.0), 80.33, 1e-9);
    EXPECT_NEAR(celsius.toSI(0.0), 273.15, 1e-12);
    EXPECT_NEAR(fahrenheit.toSI(32.0), 273.15, 1e-12);
    EXPECT_NEAR(fahrenheit.toSI(212.0), 373.15, 1e-9);
    EXPECT_NEAR(U::Temperature::Kelvin().fromSI(300.0), 300.0, 1e-12);
}

TEST(UnitConversion, RoundTripThroughEveryUnit)
{
    std::vector<std::unique_ptr<U::AbstractUnit>> units;
    units.push_back(std::make_unique<U::Distance::Metres>());
    units.push_back(std::make_unique<U::Distance::Feet>());
    units.push_back(std::make_unique<U::Distance::Yards>());
    units.push_back(std::make_unique<U::Area::SquareMetres>());
    units.push_back(std::make_unique<U::Area::SquareFeet>());
    units.push_back(std::make_unique<U::Area::SquareYards>());
    units.push_back(std::make_unique<U::Speed::MetresPerSecond>());
    units.push_back(std::make_unique<U::Speed::KilometresPerHour>());
    units.push_back(std::make_unique<U::Speed::MilesPerHour>());
    units.push_back(std::make_unique<U::Speed::FeetPerSecond>());
    units.push_back(std::make_unique<U::Speed::YardsPerSecond>());
    units.push_back(std::make_unique<U::Pressure::Pascal>());
    units.push_back(std::make_unique<U::Pressure::Bar>());
    units.push_back(std::make_unique<U::Pressure::PoundsPerSquareInch>());
    units.push_back(std::make_unique<U::Temperature::Kelvin>());
    units.push_back(std::make_unique<U::Temperature::Celsius>());
    units.push_back(std::make_unique<U::Temperature::Fahrenheit>());
    for (const auto& unit : units) {
        for (const double si : {0.0, 1.0, 283.15, 1234.5}) {
            EXPECT_NEAR(unit->toSI(unit->fromSI(si)), si, 1e-9 * (1.0 + si)) << unit->getAsciiSymbol();
        }
    }
}

TEST(UnitSymbols, Utf8AndAsciiSymbolsDiffer)
{
    EXPECT_EQ(U::Area::SquareMetres().getSymbol(), "m\u00b2");
    EXPECT_EQ(U::Area::SquareMetres().getAsciiSymbol(), "m^2");
    EXPECT_EQ(U::Area::SquareFeet().getAsciiSymbol(), "sq. ft");
    EXPECT_EQ(U::Pressure::PoundsPerSquareInch().getSymbol(), "lbf/in\u00b2");
    EXPECT_EQ(U::Pressure::PoundsPerSquareInch().getAsciiSymbol(), "psi");
    EXPECT_EQ(U::Temperature::Celsius().getSymbol(), "\u00b0C");
    EXPECT_EQ(U::Temperature::Fahrenheit().getAsciiSymbol(), "degF");
    EXPECT_EQ(U::Speed::FeetPerSecond().getSymbol(), "fps");
}

TEST(UnitSymbols, AsciiSymbolsArePlainAscii)
{
    const std::vector<std::string> symbols{
        U::Area::SquareMetres().getAsciiSymbol(), U::Area::SquareYards().getAsciiSymbol(),
        U::Temperature::Celsius().getAsciiSymbol(), U::Pressure::PoundsPerSquareInch().getAsciiSymbol()};
    for (const auto& symbol : symbols) {
        for (const char c : symbol) {
            EXPECT_GE(static_cast<unsigned char>(c), 0x20) << symbol;
            EXPECT_LT(static_cast<unsigned char>(c), 0x80) << symbol;
        }
    }
}

TEST(UnitValueSemantics, CopiedUnitConvertsThroughBasePointer)
{
    const U::Temperature::Celsius original;
    const U::Temperature::Celsius copy = original;
    const U::AbstractUnit& asBase = copy;
    EXPECT_NEAR(asBase.fromSI(273.15), 0.0, 1e-12);
    U::Distance::Feet feet;
    U::Distance::Feet moved = std::move(feet);
    EXPECT_EQ(moved.getSymbol(), "ft");
}
