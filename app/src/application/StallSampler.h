#pragma once

#include <QObject>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <thread>

namespace Keldar::OndrixLumivane {

// Tells where the GUI thread is when it stalls: a watchdog thread that, while
// the GUI thread has gone more than `thresholdMs` without processing events,
// interrupts it every 20 ms with SIGPROF and appends its call stack to a file
// ("stall <seconds since start> <ms so far>" and one frame a line, as
// backtrace_symbols_fd writes them). Off unless made: the viewer makes one only
// when ONDRIX_LUMIVANE_STALL_STACKS names a file, for chaos and soak runs.
class StallSampler : public QObject
{
public:
    StallSampler(const QString& path, int thresholdMs, QObject* parent = nullptr);
    ~StallSampler() override;
    StallSampler(const StallSampler&) = delete;
    StallSampler& operator=(const StallSampler&) = delete;

private:
    void watch();

    std::FILE* file = nullptr;
    int thresholdMs;
    QTimer timer;
    std::atomic<std::int64_t> lastBeatNs{0};
    std::atomic<bool> ending{false};
    std::thread watchdog;
};

} // namespace Keldar::OndrixLumivane
