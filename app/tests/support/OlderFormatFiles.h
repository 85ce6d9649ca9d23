#pragma once

// Logs of the older format for the viewer's tests and tours, written byte by
// byte rather than by the library that reads them.

#include <cstdint>
#include <filesystem>
#include <vector>

namespace Keldar::OndrixLumivane::Testing {

using FileBytes = std::vector<std::uint8_t>;

/// An older-format file of `count` version-2 ping results of a 64-beam fan,
/// a tenth of a second apart, each record's samples marked with its number.
struct OlderFormatFile
{
    OlderFormatFile(std::filesystem::path path, int count);

    /// Replaces the file's content.
    void write(const FileBytes& content) const;

    std::filesystem::path path;
    std::vector<FileBytes> payloads;
    FileBytes bytes;
};

/// A file's bytes as they are on disk now.
FileBytes bytesOnDisk(const std::filesystem::path& file);

} // namespace Keldar::OndrixLumivane::Testing
