#include <keldar/sim/SimulatorCommands.h>

#include <keldar/sim/SimulatedSonar.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>

namespace Keldar::Sim {

namespace {

std::optional<bool> onOff(const std::string& word, bool byDefault)
{
    if (word.empty()) {
        return byDefault;
    }
    if (word == "on") {
        return true;
    }
    if (word == "off") {
        return false;
    }
    return std::nullopt;
}

std::optional<double> number(const std::string& word)
{
    try {
        std::size_t used = 0;
        const double value = std::stod(word, &used);
        if (used == word.size() && value >= 0.0) {
            return value;
        }
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

using StatusFlag = bool SimulatedStatus::*;

const std::map<std::string, std::pair<StatusFlag, const char*>>& statusFlags()
{
    static const std::map<std::string, std::pair<StatusFlag, const char*>> flags{
        {"warning", {&SimulatedStatus::overheatWarning, "report the overheat warning"}},
        {"overheat", {&SimulatedStatus::overheated, "report overheated"}},
        {"brownout", {&SimulatedStatus::brownoutPause, "pause in the boot stage for a brownout"}},
        {"magswitch", {&SimulatedStatus::magSwitchPause, "pause in the boot stage by the magnetic switch"}},
        {"txfail", {&SimulatedStatus::transmitFailure, "report a transmit circuit failure"}},
        {"refuse", {&SimulatedStatus::refuseConnections, "refuse connections and close the port"}},
    };
    return flags;
}

void report(const SimulatedSonar& sonar, std::ostream& out)
{
    const auto c = sonar.counters();
    out << "sonar " << sonar.serialNumber() << ": " << (sonar.hasClient() ? "connected" : "no client") << ", "
        << c.fireRequests << " fire requests, " << c.pingResultsSent << " ping results, " << c.userConfigsApplied
        << " network changes";
    if (const auto fire = sonar.lastFireParameters()) {
        out << "; last fire: range " << fire->range << " m, gain " << fire->gain << " %, frequency "
            << int{fire->frequency} << ", ping rate code " << int{fire->pingRate} << ", gamma " << int{fire->gamma}
            << ", gain assist " << fire->gainAssist << ", gain boost " << fire->gainBoost << ", 512 beams "
            << fire->fullBeams;
    }
    const auto network = sonar.networkConfig();
    out << "; network " << (network.dhcp ? "DHCP " : "") << network.address << " / " << network.subnetMask << '\n';
}

} // namespace

std::string commandHelp()
{
    std::ostringstream help;
    help << "Commands (each applies to every simulated sonar; a switch named without on or off turns on):\n";
    for (const auto& [name, flag] : statusFlags()) {
        help << "  " << name << " [on|off]" << std::string(13 - name.size(), ' ') << flag.second << '\n';
    }
    help << "  silence SECONDS       stop the status broadcast for a while\n"
            "  drop                  close the TCP session, as a cable fault would\n"
            "  garbage [BYTES]       send bytes that are not a message (64 by default)\n"
            "  oversized             send a header announcing a 4 GiB message\n"
            "  lose-fires COUNT      leave the next COUNT fire requests unanswered\n"
            "  netsilent [on|off]    leave network configuration messages unanswered\n"
            "  status                what each sonar received last\n"
            "  help                  this list\n"
            "  quit                  stop the simulator\n";
    return help.str();
}

CommandOutcome runCommand(const std::string& line, const std::vector<SimulatedSonar*>& sonars, std::ostream& out)
{
    std::istringstream words(line);
    std::string command;
    std::string argument;
    std::string extra;
    words >> command >> argument >> extra;
    if (command.empty()) {
        return CommandOutcome::Done;
    }
    auto unknown = [&] {
        out << "unknown command: " << line << " (try help)\n";
        return CommandOutcome::Unknown;
    };
    if (!extra.empty()) {
        return unknown();
    }
    auto each = [&](const std::function<void(SimulatedSonar&)>& action) {
        for (SimulatedSonar* sonar : sonars) {
            action(*sonar);
        }
        return CommandOutcome::Done;
    };

    if (const auto flag = statusFlags().find(command); flag != statusFlags().end()) {
        const auto on = onOff(argument, true);
        if (!on) {
            return unknown();
        }
        return each([&](SimulatedSonar& sonar) {
            auto status = sonar.getStatus();
            status.*(flag->second.first) = *on;
            sonar.setStatus(status);
        });
    }
    if (command == "netsilent") {
        const auto on = onOff(argument, true);
        if (!on) {
            return unknown();
        }
        return each([&](SimulatedSonar& sonar) { sonar.setIgnoreNetworkConfig(*on); });
    }
    if (command == "silence") {
        const auto seconds = number(argument);
        if (!seconds) {
            return unknown();
        }
        const auto duration = std::chrono::milliseconds(static_cast<long long>(*seconds * 1000.0));
        return each([&](SimulatedSonar& sonar) { sonar.pauseStatus(duration); });
    }
    if (command == "garbage" || command == "lose-fires") {
        const auto count = argument.empty() && command == "garbage" ? std::optional<double>(64.0) : number(argument);
        if (!count) {
            return unknown();
        }
        const auto n = static_cast<std::size_t>(*count);
        return each(
            [&](SimulatedSonar& sonar) { command == "garbage" ? sonar.sendGarbage(n) : sonar.ignoreFireRequests(n); });
    }
    if (!argument.empty()) {
        return unknown();
    }
    if (command == "drop") {
        return each([](SimulatedSonar& sonar) { sonar.dropConnection(); });
    }
    if (command == "oversized") {
        return each([](SimulatedSonar& sonar) { sonar.sendOversizedHeader(); });
    }
    if (command == "status") {
        return each([&](SimulatedSonar& sonar) { report(sonar, out); });
    }
    if (command == "help") {
        out << commandHelp();
        return CommandOutcome::Done;
    }
    if (command == "quit" || command == "exit") {
        return CommandOutcome::Quit;
    }
    return unknown();
}

} // namespace Keldar::Sim
