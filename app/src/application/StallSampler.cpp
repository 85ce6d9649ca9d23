#include "application/StallSampler.h"

#include <QFile>

#include <chrono>
#include <csignal>
#include <cstdint>

#include <execinfo.h>
#include <pthread.h>

namespace Keldar::OndrixLumivane {

namespace {

std::int64_t steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Written by the handler on the interrupted thread, read by the watchdog once
// `captured` says the handler is done.
constexpr int maxFrames = 64;
void* frames[maxFrames];
std::atomic<int> frameCount{0};
std::atomic<bool> captured{false};

void captureStack(int)
{
    frameCount.store(backtrace(frames, maxFrames));
    captured.store(true);
}

} // namespace

StallSampler::StallSampler(const QString& path, int threshold, QObject* parent)
    : QObject(parent)
    , file(std::fopen(QFile::encodeName(path).constData(), "a"))
    , thresholdMs(threshold)
{
    if (file == nullptr) {
        return;
    }
    // backtrace() loads the unwinder on first use, which is not safe inside a
    // signal handler: use it once here.
    void* warm[1];
    backtrace(warm, 1);
    struct sigaction action = {};
    action.sa_handler = &captureStack;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGPROF, &action, nullptr);
    lastBeatNs = steadyNs();
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(5);
    connect(&timer, &QTimer::timeout, this, [this] { lastBeatNs = steadyNs(); });
    timer.start();
    watchdog = std::thread([this, gui = pthread_self()] {
        const std::int64_t start = steadyNs();
        while (!ending) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            const std::int64_t now = steadyNs();
            const std::int64_t stalledNs = now - lastBeatNs;
            if (stalledNs < std::int64_t{thresholdMs} * 1'000'000) {
                continue;
            }
            captured = false;
            pthread_kill(gui, SIGPROF);
            for (int wait = 0; wait < 100 && !captured; ++wait) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            if (!captured) {
                continue;
            }
            std::fprintf(file, "stall %.3f %.1f\n", double(now - start) / 1e9, double(stalledNs) / 1e6);
            std::fflush(file);
            backtrace_symbols_fd(frames, frameCount, fileno(file));
        }
    });
}

StallSampler::~StallSampler()
{
    ending = true;
    if (watchdog.joinable()) {
        watchdog.join();
    }
    if (file != nullptr) {
        signal(SIGPROF, SIG_IGN);
        std::fclose(file);
    }
}

} // namespace Keldar::OndrixLumivane
