#pragma once

// A log and the journal left beside it, in one input: "KDBUNDLE", a
// little-endian u32 (0: the journal is "-wal", 1: "-journal"), a little-endian
// u64 length of the log, the log's bytes, then the journal's bytes
// (make_damaged_corpus.py writes them). Anything else is a log alone.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace Keldar::Fuzzing {

/// Writes `data` as the log at `path` and, for a bundle, its journal beside
/// it. Returns the journal's path, or an empty one when there is none.
inline std::filesystem::path writeLogBundle(const std::uint8_t* data, std::size_t size,
                                            const std::filesystem::path& path)
{
    constexpr std::size_t headerSize = 8 + 4 + 8;
    std::size_t logSize = size;
    std::filesystem::path journal;
    if (size >= headerSize && std::memcmp(data, "KDBUNDLE", 8) == 0) {
        std::uint32_t kind = 0;
        std::uint64_t length = 0;
        for (int i = 3; i >= 0; --i) {
            kind = (kind << 8U) | data[8 + i];
        }
        for (int i = 7; i >= 0; --i) {
            length = (length << 8U) | data[12 + i];
        }
        if (length <= size - headerSize) {
            journal = path.string() + (kind == 0 ? "-wal" : "-journal");
            data += headerSize;
            logSize = static_cast<std::size_t>(length);
            std::ofstream out(journal, std::ios::binary);
            out.write(reinterpret_cast<const char*>(data + logSize),
                      static_cast<std::streamsize>(size - headerSize - logSize));
        }
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(logSize));
    return journal;
}

} // namespace Keldar::Fuzzing
