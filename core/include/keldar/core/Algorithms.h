#pragma once

#include <string>
#include <vector>

namespace Keldar::Algorithms {

// Splits at every delimiter: n delimiters give n + 1 pieces, empty ones kept.
std::vector<std::string> explodeToVector(const std::string& text, char delimiter);

} // namespace Keldar::Algorithms
