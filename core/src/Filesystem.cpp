#include <keldar/core/Filesystem.h>

#include <stdexcept>
#include <system_error>

namespace Keldar::Filesystem {

std::filesystem::path appendTextToFilename(const std::filesystem::path& path, const std::string& text)
{
    std::filesystem::path result = path.parent_path();
    result /= path.stem().string() + text + path.extension().string();
    return result;
}

std::filesystem::path makeUniqueFilePath(const std::filesystem::path& path)
{
    // symlink_status: a dangling link still occupies the name.
    const auto taken = [](const std::filesystem::path& candidate) {
        std::error_code error;
        return std::filesystem::exists(std::filesystem::symlink_status(candidate, error));
    };
    if (!taken(path)) {
        return path;
    }
    for (unsigned long long n = 1; n != 0; ++n) {
        auto candidate = appendTextToFilename(path, "_" + std::to_string(n));
        if (!taken(candidate)) {
            return candidate;
        }
    }
    throw std::runtime_error("no free file name for " + path.string());
}

} // namespace Keldar::Filesystem
