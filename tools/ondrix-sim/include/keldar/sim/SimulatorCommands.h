#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace Keldar::Sim {

class SimulatedSonar;

/// The commands a person types into a running ondrix-sim to change its
/// sonars' status and faults while a viewer is connected.
enum class CommandOutcome { Done, Quit, Unknown };

/// Applies one command line to every sonar in `sonars`; messages (the help
/// text, the status report, what went wrong) go to `out`.
CommandOutcome runCommand(const std::string& line, const std::vector<SimulatedSonar*>& sonars, std::ostream& out);

/// The list `help` prints.
std::string commandHelp();

} // namespace Keldar::Sim
