#pragma once

#include <filesystem>
#include <string>

namespace Keldar::Filesystem {

// "dir/log.ondrix" + "_1" -> "dir/log_1.ondrix".
std::filesystem::path appendTextToFilename(const std::filesystem::path& path, const std::string& text);

// `path` when nothing exists there, otherwise the first free of stem_1, stem_2, ...
std::filesystem::path makeUniqueFilePath(const std::filesystem::path& path);

} // namespace Keldar::Filesystem
