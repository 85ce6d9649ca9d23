#pragma once

#include <keldar/core/Units/UnitInterface.h>

#include <string>

namespace Keldar::DataProcessing::Units {

// A unit that is a fixed multiple of its SI unit: shown = SI x factor.
class AbstractUnit : public UnitInterface
{
public:
    ~AbstractUnit() override;
    AbstractUnit(const AbstractUnit&) = default;
    AbstractUnit(AbstractUnit&&) = default;
    AbstractUnit& operator=(const AbstractUnit&) = default;
    AbstractUnit& operator=(AbstractUnit&&) = default;

    double fromSI(double value) const override;
    double toSI(double value) const override;
    std::string getSymbol() const override;
    std::string getAsciiSymbol() const override;

protected:
    AbstractUnit(double factor, std::string symbol, std::string asciiSymbol);
    double getFactor() const { return m_factor; }

private:
    double m_factor;
    std::string m_symbol;
    std::string m_asciiSymbol;
};

} // namespace Keldar::DataProcessing::Units
