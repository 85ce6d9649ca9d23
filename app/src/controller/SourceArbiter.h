#pragma once

// What the viewer is doing with its sources, and what each request for a
// change gets in each state. Every way of changing the source (the user's
// choice of a sonar, auto-connect, --connect, Open, a file handed over by a
// second process, a dropped file, Close, Disconnect, Quit, a termination
// signal, a sonar that is lost, the end of an export or conversion) asks
// here first; nothing else decides.
//
// States:
//   Idle        no source; the home page.
//   Connecting  a connection to a sonar is being made off the GUI thread.
//   Live        one or more sonars connected (the window shows the first).
//   Starting    live, and a new log file is being made off the GUI thread;
//               the recording begins when it is ready.
//   Recording   live, and the sonar's messages are written to a log.
//   Stopping    live, and the recording is being closed and read back off
//               the GUI thread; nothing is written to it any more.
//   Playing     a log file is open (playing, paused or stopped).
//   Working     an export of the open log, or a conversion of an older
//               log, runs behind its progress dialog; it holds the player.
//               What it runs over (Live, Recording or Playing) comes back
//               when it ends.
//   Closing     the viewer is quitting; nothing new starts.
//
// Moves (request: from -> to):
//   ChooseSonar, AutoConnect, ConnectOption: Idle|Live|Playing -> Connecting
//   connection made: Connecting -> Live; failed or abandoned: -> Idle
//   Open, HandOver, Drop: Idle|Connecting|Live|Playing -> Playing (through
//     Working for a conversion); from Recording after the user agrees
//   start recording: Live -> Starting -> Recording, or -> Live when the
//     file cannot be made; a second press while Starting is ignored
//   stop recording: Recording -> Stopping -> Live once the close is checked;
//     a failed write: Recording -> Live
//   while Starting or Stopping, what would change the source waits for the
//     phase to end (then it is answered as in Recording or Live); Quit and
//     Signal go, after waiting for the file to be made or closed, so the
//     recording is never lost
//   CloseLog: Playing -> Idle
//   Disconnect: Connecting|Live|Recording -> Idle; SonarLost: Live|Recording -> Idle
//   an export or conversion starts: Live|Recording|Playing -> Working
//   WorkEnded: Working -> what it ran over, then the request that waited
//   Quit, Signal: any -> Closing (a running work is cancelled first)
//
// Answers:
//   Go      done at once.
//   Ask     the user is asked first; until the answer, and after a No, the
//           current source goes on (a recording keeps writing).
//   Wait    kept, and done when the work ends; the user is told so.
//   Refuse  not done; the user (or the second process) is told why.
//   Skip    nothing to do in this state: the request does not apply here
//           (auto-connect only takes an idle viewer; a sonar lost after it
//           was let go; Disconnect with no sonar).

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <iterator>
#include <string>
#include <utility>

namespace Keldar::OndrixLumivane {

enum class SourceState : std::uint8_t {
    Idle,
    Connecting,
    Live,
    Starting,
    Recording,
    Stopping,
    Playing,
    Working,
    Closing
};

enum class SourceRequest : std::uint8_t {
    ChooseSonar,   // the user picked a sonar in the list
    AutoConnect,   // the one sonar seen, with auto-connect on
    ConnectOption, // --connect SERIAL, once that sonar is seen
    Open,          // Open in the main toolbar
    HandOver,      // a file given by a second process
    Drop,          // a file dropped on the window
    CloseLog,      // Close in the main toolbar
    Disconnect,    // Disconnect in the main toolbar
    Quit,          // the window is closed
    Signal,        // SIGTERM or SIGINT
    SonarLost,     // the sonar did not come back
    WorkEnded,     // an export or conversion ended
};

enum class SourceAnswer : std::uint8_t { Go, Ask, Wait, Refuse, Skip };

inline constexpr std::size_t sourceStateCount = 9;
inline constexpr std::size_t sourceRequestCount = 12;

namespace SourceTable {
using A = SourceAnswer;
// One row per state, one column per request, both in declaration order.
// clang-format off
inline constexpr std::array<std::array<SourceAnswer, sourceRequestCount>, sourceStateCount> answers{{
//                 Choose     Auto     Connect    Open       HandOver   Drop       CloseLog   Disconn.   Quit     Signal   Lost     WorkEnded
/* Idle       */ {{A::Go,     A::Go,   A::Go,     A::Go,     A::Go,     A::Go,     A::Skip,   A::Skip,   A::Go,   A::Go,   A::Skip, A::Skip}},
/* Connecting */ {{A::Refuse, A::Skip, A::Refuse, A::Go,     A::Go,     A::Go,     A::Skip,   A::Go,     A::Go,   A::Go,   A::Skip, A::Skip}},
/* Live       */ {{A::Go,     A::Skip, A::Refuse, A::Go,     A::Go,     A::Go,     A::Skip,   A::Go,     A::Go,   A::Go,   A::Go,   A::Skip}},
/* Starting   */ {{A::Refuse, A::Skip, A::Refuse, A::Wait,   A::Wait,   A::Wait,   A::Skip,   A::Wait,   A::Go,   A::Go,   A::Wait, A::Skip}},
/* Recording  */ {{A::Ask,    A::Skip, A::Refuse, A::Ask,    A::Ask,    A::Ask,    A::Skip,   A::Ask,    A::Ask,  A::Go,   A::Go,   A::Skip}},
/* Stopping   */ {{A::Refuse, A::Skip, A::Refuse, A::Wait,   A::Wait,   A::Wait,   A::Skip,   A::Wait,   A::Go,   A::Go,   A::Wait, A::Skip}},
/* Playing    */ {{A::Go,     A::Skip, A::Refuse, A::Go,     A::Go,     A::Go,     A::Go,     A::Skip,   A::Go,   A::Go,   A::Skip, A::Skip}},
/* Working    */ {{A::Refuse, A::Skip, A::Refuse, A::Wait,   A::Wait,   A::Wait,   A::Refuse, A::Refuse, A::Ask,  A::Go,   A::Go,   A::Go}},
/* Closing    */ {{A::Refuse, A::Skip, A::Refuse, A::Refuse, A::Refuse, A::Refuse, A::Skip,   A::Skip,   A::Skip, A::Skip, A::Skip, A::Go}},
}};
// clang-format on
} // namespace SourceTable

constexpr SourceAnswer answerFor(SourceState state, SourceRequest request)
{
    return SourceTable::answers.at(static_cast<std::size_t>(state)).at(static_cast<std::size_t>(request));
}

// What the table says is what happens: a few rows the rest of the viewer
// relies on, checked by the compiler.
static_assert(answerFor(SourceState::Recording, SourceRequest::HandOver) == SourceAnswer::Ask);
static_assert(answerFor(SourceState::Working, SourceRequest::HandOver) == SourceAnswer::Wait);
static_assert(answerFor(SourceState::Working, SourceRequest::AutoConnect) == SourceAnswer::Skip);
static_assert(answerFor(SourceState::Working, SourceRequest::Signal) == SourceAnswer::Go);
static_assert(answerFor(SourceState::Stopping, SourceRequest::Disconnect) == SourceAnswer::Wait);

const char* sourceStateName(SourceState state);
const char* sourceRequestName(SourceRequest request);

// What a request names: a sonar's serial number or a file.
struct SourceTarget
{
    std::uint32_t serial = 0;
    std::string file;
};

// The one state, held by the controller. A work (export, conversion) runs
// over another state, which comes back when it ends; Closing is final.
class SourceArbiter
{
public:
    [[nodiscard]] SourceState state() const { return current; }
    // What the source is, under any work or quit.
    [[nodiscard]] SourceState base() const
    {
        return workRunning || current == SourceState::Closing ? beneath : current;
    }
    [[nodiscard]] SourceAnswer answer(SourceRequest request) const { return answerFor(current, request); }
    [[nodiscard]] bool working() const { return workRunning; }

    // Working and Closing replace the state shown; any other state is the
    // source's, kept under them until the work ends.
    void move(SourceState to)
    {
        if (to == SourceState::Working) {
            beneath = current;
            workRunning = true;
            current = to;
        } else if (to == SourceState::Closing) {
            if (!workRunning) {
                beneath = current;
            }
            current = to;
        } else if (workRunning || current == SourceState::Closing) {
            beneath = to;
        } else {
            current = to;
        }
    }
    void endWork()
    {
        workRunning = false;
        if (current == SourceState::Working) {
            current = beneath;
        }
    }

    // Whether the recording is starting or stopping.
    [[nodiscard]] bool inRecordingPhase() const
    {
        return base() == SourceState::Starting || base() == SourceState::Stopping;
    }

    // Requests that wait for the work (or a recording's start or stop) to
    // end, in the order they came.
    std::deque<std::pair<SourceRequest, SourceTarget>> waiting;
    // The user agreed to cancel the work and quit.
    bool quitWhenWorkEnds = false;
    // Bumped whenever a source ends: what an ended source still had queued
    // for the screen is dropped.
    std::atomic<std::uint64_t> generation{0};

private:
    SourceState current = SourceState::Idle;
    SourceState beneath = SourceState::Idle;
    bool workRunning = false;
};

} // namespace Keldar::OndrixLumivane
