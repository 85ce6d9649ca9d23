#include "MessageBytes.h"

#include <bit>
#include <cstring>
#include <stdexcept>

namespace Keldar::Ondrix::Testing {

namespace {
// Deliberately a different technique from the library (memcpy of a
// little-endian host value versus its shifts), so one cannot mask the other.
static_assert(std::endian::native == std::endian::little, "test helpers assume a little-endian host");

void put(std::vector<std::byte>& bytes, std::size_t offset, const void* value, std::size_t width)
{
    if (offset + width > bytes.size()) {
        throw std::out_of_range("test message too short for this field");
    }
    std::memcpy(bytes.data() + offset, value, width);
}

void get(const std::vector<std::byte>& bytes, std::size_t offset, void* value, std::size_t width)
{
    if (offset + width > bytes.size()) {
        throw std::out_of_range("message too short for this field");
    }
    std::memcpy(value, bytes.data() + offset, width);
}
} // namespace

MessageBytes& MessageBytes::u8(std::size_t offset, std::uint8_t value)
{
    put(m_bytes, offset, &value, 1);
    return *this;
}

MessageBytes& MessageBytes::u16(std::size_t offset, std::uint16_t value)
{
    put(m_bytes, offset, &value, 2);
    return *this;
}

MessageBytes& MessageBytes::u32(std::size_t offset, std::uint32_t value)
{
    put(m_bytes, offset, &value, 4);
    return *this;
}

MessageBytes& MessageBytes::f64(std::size_t offset, double value)
{
    put(m_bytes, offset, &value, 8);
    return *this;
}

MessageBytes& MessageBytes::raw(std::size_t offset, std::initializer_list<std::uint8_t> values)
{
    for (std::uint8_t value : values) {
        u8(offset++, value);
    }
    return *this;
}

MessageBytes& MessageBytes::header(std::uint16_t messageId, std::uint16_t version)
{
    raw(0, {0x7C, 0x3A});
    u16(6, messageId);
    u16(8, version);
    u32(10, static_cast<std::uint32_t>(m_bytes.size() - 16));
    return *this;
}

std::uint8_t byteAt(const std::vector<std::byte>& bytes, std::size_t offset)
{
    std::uint8_t value = 0;
    get(bytes, offset, &value, 1);
    return value;
}

std::uint16_t u16At(const std::vector<std::byte>& bytes, std::size_t offset)
{
    std::uint16_t value = 0;
    get(bytes, offset, &value, 2);
    return value;
}

std::uint32_t u32At(const std::vector<std::byte>& bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    get(bytes, offset, &value, 4);
    return value;
}

double f64At(const std::vector<std::byte>& bytes, std::size_t offset)
{
    double value = 0;
    get(bytes, offset, &value, 8);
    return value;
}

} // namespace Keldar::Ondrix::Testing
