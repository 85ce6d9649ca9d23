#pragma once

#include <cstddef>
#include <string_view>

namespace Keldar::Web {

// A file of the page, compiled into the library (see EmbedFiles.cmake).
struct Asset
{
    std::string_view path; // as requested, e.g. "/viewer.js"
    std::string_view contentType;
    std::string_view bytes;
};

// Null for a path that is not part of the page.
const Asset* findAsset(std::string_view path);

} // namespace Keldar::Web
