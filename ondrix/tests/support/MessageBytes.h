#pragma once

// Hand-made message bytes for tests. Offsets are written out as literal
// numbers in the tests on purpose: they are an independent check of the
// library's own layout constants, not a copy of them.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace Keldar::Ondrix::Testing {

class MessageBytes
{
public:
    explicit MessageBytes(std::size_t size)
        : m_bytes(size)
    {
    }

    MessageBytes& u8(std::size_t offset, std::uint8_t value);
    MessageBytes& u16(std::size_t offset, std::uint16_t value);
    MessageBytes& u32(std::size_t offset, std::uint32_t value);
    MessageBytes& f64(std::size_t offset, double value);
    MessageBytes& raw(std::size_t offset, std::initializer_list<std::uint8_t> values);
    // Magic, id, version and payloadSize from the vector's size.
    MessageBytes& header(std::uint16_t messageId, std::uint16_t version);

    const std::vector<std::byte>& bytes() const { return m_bytes; }
    operator const std::vector<std::byte>&() const { return m_bytes; }

private:
    std::vector<std::byte> m_bytes;
};

std::uint8_t byteAt(const std::vector<std::byte>& bytes, std::size_t offset);
std::uint16_t u16At(const std::vector<std::byte>& bytes, std::size_t offset);
std::uint32_t u32At(const std::vector<std::byte>& bytes, std::size_t offset);
double f64At(const std::vector<std::byte>& bytes, std::size_t offset);

} // namespace Keldar::Ondrix::Testing
