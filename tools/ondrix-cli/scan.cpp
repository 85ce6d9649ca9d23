// ondrix-cli scan: lists the sonars whose status broadcasts arrive.

#include "Commands.h"
#include "Json.h"
#include "SonarLookup.h"

#include <keldar/ondrix/ConnectionManager.h>

#include <chrono>
#include <memory>
#include <thread>

namespace {

using Keldar::Ondrix::DeviceInfo;
using Keldar::Ondrix::Utilities::ConnectionManager;

struct ScanOptions
{
    double seconds = 3.0;
    bool json = false;
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
    ConnectionManager manager(
        ConnectionManager::Settings{options.listen.address, options.listen.port, options.listen.sonarPort});
    // Everything seen during the scan, including sonars that went quiet again.
    const Keldar::Cli::SeenSonars recorder(manager);
    manager.startListening();
    std::this_thread::sleep_for(std::chrono::duration<double>(options.seconds));

    const auto seen = recorder.sonars();
    for (const auto& [serial, info] : seen) {
        printSonar(info, options.json);
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
    Keldar::Cli::addListenOptions(*command, options->listen);
    command->callback([options] { runScan(*options); });
}

} // namespace

KELDAR_CLI_COMMAND(scan, addScan)
