#include <keldar/core/ProcessFunctions.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace Keldar::Process::ProcessFunctions {

namespace {

// The kernel's "comm" is cut to 15 bytes, so the name comes from the
// executable's path when we may read it, else from the command line.
std::string executableName(const std::filesystem::path& processDir)
{
    std::error_code error;
    const auto exe = std::filesystem::read_symlink(processDir / "exe", error);
    if (!error && !exe.empty()) {
        return exe.filename().string();
    }
    std::ifstream cmdline(processDir / "cmdline", std::ios::binary);
    std::string argv0;
    if (cmdline && std::getline(cmdline, argv0, '\0') && !argv0.empty()) {
        return std::filesystem::path(argv0).filename().string();
    }
    // Kernel threads and zombies have no command line.
    std::ifstream comm(processDir / "comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// Linux file names are bytes, conventionally UTF-8; compare in UTF-8 so that
// a prefix in characters stays a prefix in bytes.
std::string toUtf8(const std::wstring& text)
{
    std::string out;
    for (const wchar_t wc : text) {
        const auto c = static_cast<std::uint32_t>(wc);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace

bool processExists(const std::wstring& name, unsigned int count)
{
    if (name.empty()) {
        return false;
    }
    if (count == 0) {
        return true;
    }
    const std::string wanted = toUtf8(name);
    unsigned int found = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const auto pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const std::string candidate = executableName(entry.path());
        if (candidate.compare(0, wanted.size(), wanted) == 0 && ++found >= count) {
            return true;
        }
    }
    return false;
}

} // namespace Keldar::Process::ProcessFunctions
