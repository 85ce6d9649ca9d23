// ondrix-cli: headless tools for Ondrix sonars. The sub-commands register
// themselves (Commands.h); this file only assembles and runs them.

#include "Commands.h"

int main(int argc, char** argv)
{
    CLI::App app{"Headless tools for Ondrix imaging sonars", "ondrix-cli"};
    app.set_version_flag("--version", std::string("ondrix-cli ") + KELDAR_VERSION);
    app.require_subcommand(1);
    for (const auto& registration : Keldar::Cli::commandRegistry()) {
        registration(app);
    }
    for (const auto& [parent, registration] : Keldar::Cli::subcommandRegistry()) {
        registration(*app.get_subcommand(parent));
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error);
    }
    return 0;
}
