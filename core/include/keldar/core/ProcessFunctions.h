#pragma once

#include <string>

namespace Keldar::Process::ProcessFunctions {

// True when at least `count` running processes have an executable name whose
// first name.size() characters equal `name` (case-sensitive). An empty name
// matches nothing.
bool processExists(const std::wstring& name, unsigned int count = 1);

} // namespace Keldar::Process::ProcessFunctions
