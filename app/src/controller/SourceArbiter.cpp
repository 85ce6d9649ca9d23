#include "controller/SourceArbiter.h"

namespace Keldar::OndrixLumivane {

const char* sourceStateName(SourceState state)
{
    switch (state) {
    case SourceState::Idle:
        return "idle";
    case SourceState::Connecting:
        return "connecting";
    case SourceState::Live:
        return "live";
    case SourceState::Starting:
        return "starting a recording";
    case SourceState::Recording:
        return "recording";
    case SourceState::Stopping:
        return "stopping a recording";
    case SourceState::Playing:
        return "playing";
    case SourceState::Working:
        return "working";
    case SourceState::Closing:
        return "closing";
    }
    return "?";
}

const char* sourceRequestName(SourceRequest request)
{
    static constexpr const char* names[] = {"choose a sonar", "auto-connect", "--connect",  "open",
                                            "hand over",      "drop",         "close log",  "disconnect",
                                            "quit",           "signal",       "sonar lost", "work ended"};
    static_assert(std::size(names) == sourceRequestCount);
    return names[static_cast<std::size_t>(request)];
}

} // namespace Keldar::OndrixLumivane
