#include <keldar/core/Units/AbstractUnit.h>

#include <utility>

namespace Keldar::DataProcessing::Units {

AbstractUnit::AbstractUnit(double factor, std::string symbol, std::string asciiSymbol)
    : m_factor(factor)
    , m_symbol(std::move(symbol))
    , m_asciiSymbol(std::move(asciiSymbol))
{
}

AbstractUnit::~AbstractUnit() = default;

double AbstractUnit::fromSI(double value) const
{
    return value * m_factor;
}

double AbstractUnit::toSI(double value) const
{
    return value / m_factor;
}

std::string AbstractUnit::getSymbol() const
{
    return m_symbol;
}

std::string AbstractUnit::getAsciiSymbol() const
{
    return m_asciiSymbol;
}

} // namespace Keldar::DataProcessing::Units
