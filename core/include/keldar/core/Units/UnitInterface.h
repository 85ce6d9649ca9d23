#pragma once

#include <string>

namespace Keldar::DataProcessing::Units {

// A display unit: values live in SI inside the system and pass through a unit
// only on their way to or from the user.
class UnitInterface
{
public:
    virtual ~UnitInterface() = default;
    virtual double fromSI(double value) const = 0;
    virtual double toSI(double value) const = 0;
    // May hold non-ASCII characters such as "²" or "°" (UTF-8).
    virtual std::string getSymbol() const = 0;
    virtual std::string getAsciiSymbol() const = 0;

protected:
    UnitInterface() = default;
    UnitInterface(const UnitInterface&) = default;
    UnitInterface(UnitInterface&&) = default;
    UnitInterface& operator=(const UnitInterface&) = default;
    UnitInterface& operator=(UnitInterface&&) = default;
};

} // namespace Keldar::DataProcessing::Units
