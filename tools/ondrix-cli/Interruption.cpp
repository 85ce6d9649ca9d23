// Not a command: the signal handling the writing commands share.

#include "Interruption.h"

#include "Commands.h"

#include <atomic>
#include <csignal>

namespace Keldar::Cli {

namespace {

std::atomic<int> caught{0};
std::atomic<pid_t> helper{-1};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<pid_t>::is_always_lock_free,
              "read in a signal handler");

struct sigaction previousInterrupt;
struct sigaction previousTerminate;

extern "C" void noteSignal(int signal)
{
    int none = 0;
    caught.compare_exchange_strong(none, signal);
    if (const pid_t child = helper.load(); child > 0) {
        ::kill(child, signal);
    }
}

} // namespace

InterruptionScope::InterruptionScope()
{
    struct sigaction action = {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a blocking wait returns early and its loop looks.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, &previousInterrupt);
    sigaction(SIGTERM, &action, &previousTerminate);
}

InterruptionScope::~InterruptionScope()
{
    sigaction(SIGINT, &previousInterrupt, nullptr);
    sigaction(SIGTERM, &previousTerminate, nullptr);
}

bool interrupted()
{
    return caught.load() != 0;
}

void forwardInterruptionTo(pid_t child)
{
    helper.store(child);
    // A signal that came before the helper existed is passed on now.
    if (const int signal = caught.load(); signal != 0 && child > 0) {
        ::kill(child, signal);
    }
}

int interruptedExitCode()
{
    return 128 + (caught.load() != 0 ? caught.load() : SIGINT);
}

void exitInterrupted(const std::string& what)
{
    std::cerr << "ondrix-cli: interrupted: " << what << std::endl;
    throw CLI::RuntimeError(interruptedExitCode());
}

void exitInterrupted(const std::vector<std::filesystem::path>& removed)
{
    if (removed.empty()) {
        exitInterrupted("no partial output was left to remove");
    }
    std::string what;
    for (const auto& path : removed) {
        what += (what.empty() ? "removed partial output " : ", ") + path.string();
    }
    exitInterrupted(what);
}

std::vector<std::filesystem::path> partialOutputsIn(const std::filesystem::path& folder, pid_t pid)
{
    std::vector<std::filesystem::path> found;
    const std::string mark = ".partial-" + std::to_string(pid) + "-";
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder.empty() ? "." : folder, error), end; !error && entry != end;
         entry.increment(error)) {
        if (entry->path().filename().string().find(mark) != std::string::npos) {
            found.push_back(entry->path());
        }
    }
    return found;
}

void throwIfInterrupted()
{
    if (interrupted()) {
        throw Interrupted{};
    }
}

} // namespace Keldar::Cli
