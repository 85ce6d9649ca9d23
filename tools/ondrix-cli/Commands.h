#pragma once

// A small registry of ondrix-cli sub-commands. Each command lives in its own
// .cpp file and registers itself at static-initialisation time, so commands can
// be added without touching main.cpp or any other command:
//
//   namespace {
//   void addScan(CLI::App& app) { auto* cmd = app.add_subcommand("scan", "..."); ... }
//   }
//   KELDAR_CLI_COMMAND(scan, addScan)
//
// A command reports failure with Keldar::Cli::fail("message", exitCode), which
// prints the message to stderr and makes main exit with that code.

#include <CLI/CLI.hpp>

#include <cstdint>
#include <functional>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

namespace Keldar::Cli {

using CommandRegistration = std::function<void(CLI::App&)>;

/// The registered commands, in registration order. A function-local static so
/// that registrars in any translation unit may run before main without
/// depending on the static initialisation order between files.
inline std::vector<CommandRegistration>& commandRegistry()
{
    static std::vector<CommandRegistration> registry;
    return registry;
}

struct CommandRegistrar
{
    explicit CommandRegistrar(CommandRegistration registration)
    {
        commandRegistry().push_back(std::move(registration));
    }
};

/// Sub-commands that join a command registered in another file (such as more
/// `log` commands); main adds them once every command exists.
struct SubcommandRegistration
{
    std::string parent;
    CommandRegistration registration;
};

inline std::vector<SubcommandRegistration>& subcommandRegistry()
{
    static std::vector<SubcommandRegistration> registry;
    return registry;
}

struct SubcommandRegistrar
{
    SubcommandRegistrar(std::string parent, CommandRegistration registration)
    {
        subcommandRegistry().push_back({std::move(parent), std::move(registration)});
    }
};

/// Where to listen for the sonars' status datagrams. The defaults are those of
/// a real installation; tests and demos pass a loopback address and a free port.
struct ListenOptions
{
    std::string address = "0.0.0.0";
    std::uint16_t port = 52102;
    std::uint16_t sonarPort = 52100;
};

[[noreturn]] inline void fail(const std::string& message, int exitCode = 1)
{
    std::cerr << "ondrix-cli: " << message << std::endl;
    throw CLI::RuntimeError(exitCode);
}

inline void addListenOptions(CLI::App& command, ListenOptions& options)
{
    command.add_option("--listen-address", options.address, "Local IPv4 address to receive status datagrams on")
        ->capture_default_str();
    command.add_option("--listen-port", options.port, "UDP port to receive status datagrams on")->capture_default_str();
    command.add_option("--sonar-port", options.sonarPort, "TCP port of the sonars' command and data session")
        ->capture_default_str();
}

} // namespace Keldar::Cli

#define KELDAR_CLI_COMMAND_CONCAT_INNER(a, b) a##b
#define KELDAR_CLI_COMMAND_CONCAT(a, b) KELDAR_CLI_COMMAND_CONCAT_INNER(a, b)

/// Registers `function` (void(CLI::App&)) as a command; `name` only has to be
/// unique within its file.
#define KELDAR_CLI_COMMAND(name, function)                                                                             \
    namespace {                                                                                                        \
    const ::Keldar::Cli::CommandRegistrar KELDAR_CLI_COMMAND_CONCAT(keldarCliCommand_, name){function};                \
    }

/// Registers `function` (void(CLI::App& parentCommand)) to add sub-commands to
/// the command named `parent`.
#define KELDAR_CLI_SUBCOMMAND(parent, name, function)                                                                  \
    namespace {                                                                                                        \
    const ::Keldar::Cli::SubcommandRegistrar KELDAR_CLI_COMMAND_CONCAT(keldarCliSubcommand_, name){#parent, function}; \
    }
