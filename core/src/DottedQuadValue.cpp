#include <keldar/core/DottedQuadValue.h>

#include <keldar/core/Algorithms.h>

#include <limits>
#include <stdexcept>

namespace Keldar {

namespace {

// Strict decimal: std::stoul would take " 7", "+7", "7x" and even "-1" (which
// wraps to the largest value), each silently giving a wrong address.
std::uint8_t parseOctet(const std::string& part)
{
    if (part.empty()) {
        throw std::invalid_argument("invalid stoul argument");
    }
    unsigned long value = 0;
    constexpr unsigned long max = std::numeric_limits<unsigned long>::max();
    for (const char c : part) {
        if (c < '0' || c > '9') {
            throw std::invalid_argument("invalid stoul argument");
        }
        const auto digit = static_cast<unsigned long>(c - '0');
        if (value > (max - digit) / 10) {
            throw std::out_of_range("stoul argument out of range");
        }
        value = value * 10 + digit;
    }
    if (value > 255) {
        throw std::out_of_range("dotted quad octet out of range: " + part);
    }
    return static_cast<std::uint8_t>(value);
}

} // namespace

DottedQuadValue::DottedQuadValue(std::uint32_t value, bool swapped)
{
    for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t shift = swapped ? (3 - i) * 8 : i * 8;
        m_octets[i] = static_cast<std::uint8_t>(value >> shift);
    }
}

DottedQuadValue::DottedQuadValue(const std::string& text, bool swapped)
{
    const auto parts = Algorithms::explodeToVector(text, '.');
    if (parts.size() != 4) {
        throw std::invalid_argument("dotted quad needs exactly four parts: \"" + text + "\"");
    }
    for (std::size_t i = 0; i < 4; ++i) {
        m_octets[swapped ? 3 - i : i] = parseOctet(parts[i]);
    }
}

std::string DottedQuadValue::toString(bool swapped) const
{
    std::string text;
    for (std::size_t i = 0; i < 4; ++i) {
        if (i != 0) {
            text += '.';
        }
        text += std::to_string(m_octets[swapped ? 3 - i : i]);
    }
    return text;
}

std::uint32_t DottedQuadValue::toUint32_t(bool swapped) const
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t shift = swapped ? (3 - i) * 8 : i * 8;
        value |= static_cast<std::uint32_t>(m_octets[i]) << shift;
    }
    return value;
}

} // namespace Keldar
