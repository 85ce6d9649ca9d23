#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace Keldar {

// An IPv4 address or mask as four octets. The `swapped` flag of every
// conversion says which end of the value octet 0 is: unswapped, octet 0 is the
// integer's least significant byte and the text's first number.
class DottedQuadValue
{
public:
    DottedQuadValue() = default;
    explicit DottedQuadValue(std::uint32_t value, bool swapped = false);
    // Throws std::invalid_argument for text that is not four dot-separated
    // decimal numbers ("invalid stoul argument" for a part that is not a
    // number) and std::out_of_range for a number too large for an octet
    // ("stoul argument out of range" when it does not even fit an unsigned long).
    explicit DottedQuadValue(const std::string& text, bool swapped = false);

    std::string toString(bool swapped = false) const;
    std::uint32_t toUint32_t(bool swapped = false) const;

    std::uint8_t getOctet(std::size_t index) const { return m_octets.at(index); }

    friend bool operator==(const DottedQuadValue&, const DottedQuadValue&) = default;

private:
    std::array<std::uint8_t, 4> m_octets{};
};

} // namespace Keldar
