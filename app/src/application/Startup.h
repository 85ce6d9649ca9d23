#pragma once

namespace Keldar::OndrixLumivane {

/// The program: command line, application object, window and event loop.
/// Returns the exit code.
int runViewer(int argc, char** argv);

} // namespace Keldar::OndrixLumivane
