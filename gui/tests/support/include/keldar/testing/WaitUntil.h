#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QThread>

#include <chrono>

namespace Keldar::Testing {

// Generous: a limit only turns a hang into a failure, it is never the thing
// waited for. A loaded machine must not make a sound test fail.
inline constexpr std::chrono::milliseconds defaultWaitLimit{20000};

// Runs the event loop (timers, animations, deferred deletes) until `condition`
// holds or `limit` has passed, and says whether it holds. Unlike Qt's QTRY_*
// macros, which report to a Qt test logger and return from the test function,
// the result is for GoogleTest to check:
//
//     ASSERT_TRUE(Keldar::Testing::waitUntil([&] { return popOut->getState() == Shown; }));
template<typename Condition>
[[nodiscard]] bool waitUntil(Condition&& condition, std::chrono::milliseconds limit = defaultWaitLimit)
{
    const QDeadlineTimer deadline(limit);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return condition();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // Nothing to do yet: let the clock that drives the animation move on.
        QThread::msleep(1);
    }
    return true;
}

} // namespace Keldar::Testing
