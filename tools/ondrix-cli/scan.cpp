// ondrix-cli scan: lists the sonars whose status broadcasts arrive.

#include "Commands.h"
#include "Json.h"
#include "SonarLookup.h"

#include <keldar/ondrix/ConnectionManager.h>

#include <chrono>
#include <map>
#include <memory>
#include <thread>

namespace {

using Keldar::Ondrix::DeviceInfo;
using Keldar::Ondrix::Utilities::ConnectionManager;

struct ScanOptions
{
    double seconds = 3.0;
    bool json = false;
    bool verbose = false;
    Keldar::Cli::ListenOptions listen;
};

void printSonar(const DeviceInfo& info, bool json)
{
    const auto part = static_cast<unsigned>(info.modelNumber);
    if (json) {
        std::cout << Keldar::Cli::jsonLine({{"serial", info.serialNumber},
                                            {"model", info.spec.name},
                                            {"partNumber", part},
                                            {"ip", info.ipAddress},
                                            {"mask", info.subnetMask},
                                            {"firmware", info.firmwareVersion},
                                            {"connectable", info.connectable}})
                  << "\n";
    } else {
        std::cout << "serial " << info.serialNumber << "  " << info.spec.name << " (part " << part << ")  "
                  << info.ipAddress << " mask " << info.subnetMask << "  firmware " << info.firmwareVersion << "  "
                  << (info.connectable ? "connectable" : "not connectable") << "\n";
    }
}

void runScan(const ScanOptions& options)
{
    ConnectionManager::Settings settings{options.listen.address, options.listen.port, options.listen.sonarPort};
    // The viewer's bounded table, kept for the whole scan so that sonars that
    // went quiet during it are listed too.
    settings.silenceExpiry =
        std::chrono::ceil<std::chrono::milliseconds>(std::chrono::duration<double>(options.seconds + 1.0));
    ConnectionManager manager(settings);
    manager.startListening();
    std::this_thread::sleep_for(std::chrono::duration<double>(options.seconds));

    const auto table = manager.getVisibleSonars();
    const std::map<std::uint32_t, DeviceInfo> seen(table.begin(), table.end());
    for (const auto& [serial, info] : seen) {
        printSonar(info, options.json);
    }
    if (options.verbose) {
        const auto ignored = manager.ignoredStatuses();
        const auto count = [](std::uint64_t n) { return static_cast<unsigned long long>(n); };
        std::cerr << ignored.total() << " foreign status datagrams ignored (" << count(ignored.malformed)
                  << " not a sonar's status, " << count(ignored.refused) << " newcomers with no room, "
                  << count(ignored.evicted) << " listed then pushed out by newcomers)\n";
    }
    if (seen.empty() && !options.json) {
        std::cout << "No sonars seen in " << options.seconds << " s on " << options.listen.address << ":"
                  << options.listen.port << ".\n";
    }
    std::cout.flush();
}

void addScan(CLI::App& app)
{
    auto options = std::make_shared<ScanOptions>();
    auto* command = app.add_subcommand("scan", "Listen for status broadcasts and list the sonars seen, one per line");
    command->add_option("--seconds", options->seconds, "How long to listen")
        ->check(CLI::Range(0.1, 3600.0))
        ->capture_default_str();
    command->add_flag("--json", options->json,
                      "One JSON object per line: serial, model, partNumber, ip, mask, firmware, connectable");
    command->add_flag("--verbose", options->verbose,
                      "Also say, on standard error, how many status datagrams were ignored and why");
    Keldar::Cli::addListenOptions(*command, options->listen);
    command->callback([options] { runScan(*options); });
}

} // namespace

KELDAR_CLI_COMMAND(scan, addScan)
