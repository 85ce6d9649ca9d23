#include <keldar/core/Algorithms.h>

namespace Keldar::Algorithms {

std::vector<std::string> explodeToVector(const std::string& text, char delimiter)
{
    std::vector<std::string> pieces;
    std::string::size_type start = 0;
    while (true) {
        const auto end = text.find(delimiter, start);
        if (end == std::string::npos) {
            pieces.emplace_back(text.substr(start));
            return pieces;
        }
        pieces.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
}

} // namespace Keldar::Algorithms
