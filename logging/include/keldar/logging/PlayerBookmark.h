#pragma once

#include <keldar/logging/Bookmark.h>

#include <cstdint>

namespace Keldar::Logging::Playback {

// A bookmark placed on the player's frames; the payload is not carried.
struct PlayerBookmark : Bookmark
{
    std::int32_t frameIndex = 0;
};

} // namespace Keldar::Logging::Playback
