#pragma once

#include <cstdint>

namespace Keldar::Ondrix {

// Values of the header's message id. Other ids occur on the wire; they are
// carried in this type unchanged and simply match no enumerator.
enum class MessageType : std::uint16_t {
    SimpleFire = 0x15,
    FullFireResult = 0x22,
    SimplePingResult = 0x23,
    UserConfig = 0x55,
};

} // namespace Keldar::Ondrix
