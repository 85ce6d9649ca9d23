#pragma once

// Ctrl-C (SIGINT) and SIGTERM during a command that writes. The handler only
// notes the signal; the command's loops ask interrupted() through the
// libraries' cancel callbacks, stop at their next step, remove their partial
// output and leave through exitInterrupted(), which names what was removed
// and exits 130 (SIGINT) or 143 (SIGTERM). Commands that write nothing keep
// the signals' default: they simply end.

#include <filesystem>
#include <string>
#include <vector>

#include <sys/types.h>

namespace Keldar::Cli {

/// Catches SIGINT and SIGTERM while it lives.
class InterruptionScope
{
public:
    InterruptionScope();
    ~InterruptionScope();
    InterruptionScope(const InterruptionScope&) = delete;
    InterruptionScope& operator=(const InterruptionScope&) = delete;
};

/// True once SIGINT or SIGTERM came.
bool interrupted();

/// A helper process doing the work gets the signal too (a terminal sends
/// Ctrl-C to both, kill(1) only to us); -1 forgets it.
void forwardInterruptionTo(pid_t child);

/// The exit code of the signal that came: 130 or 143.
int interruptedExitCode();

/// Prints "interrupted: removed partial output PATH" (or that nothing was
/// left to remove) and ends the command with interruptedExitCode().
[[noreturn]] void exitInterrupted(const std::vector<std::filesystem::path>& removed);
/// The same with the caller's own words after "interrupted: ".
[[noreturn]] void exitInterrupted(const std::string& what);

/// The temporaries a process `pid` was writing in `folder` (an OutputFile
/// names them "<name>.partial-<pid>-<n><extension>").
std::vector<std::filesystem::path> partialOutputsIn(const std::filesystem::path& folder, pid_t pid);

/// Thrown from deep inside a loop (a visitor with no cancel of its own) to
/// unwind to the command, which removes its partial output.
struct Interrupted
{
};

/// Throws Interrupted once a signal came.
void throwIfInterrupted();

} // namespace Keldar::Cli
