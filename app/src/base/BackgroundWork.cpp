#include "base/BackgroundWork.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <exception>
#include <thread>

namespace Keldar::OndrixLumivane {

void WorkProgress::setRange(std::int64_t minimum, std::int64_t maximum)
{
    minimum_.store(minimum);
    maximum_.store(maximum);
}

void WorkProgress::setValue(std::int64_t value)
{
    value_.store(value);
}

void WorkProgress::cancel()
{
    cancelled_.store(true);
}

bool WorkProgress::cancelRequested() const
{
    return cancelled_.load();
}

std::int64_t WorkProgress::minimum() const
{
    return minimum_.load();
}

std::int64_t WorkProgress::maximum() const
{
    return maximum_.load();
}

std::int64_t WorkProgress::value() const
{
    return value_.load();
}

namespace {

int toInt(std::int64_t value)
{
    return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

// Often enough to look alive, seldom enough to cost nothing.
constexpr int refreshMs = 50;

} // namespace

void runBehindDialog(QProgressDialog& dialog, WorkProgress& progress, const std::function<void()>& work)
{
    QEventLoop loop;
    const auto cancelConnection =
        QObject::connect(&dialog, &QProgressDialog::canceled, [&progress] { progress.cancel(); });
    auto follow = [&dialog, &progress] {
        const int minimum = toInt(progress.minimum());
        const int maximum = toInt(progress.maximum());
        if (dialog.minimum() != minimum || dialog.maximum() != maximum) {
            dialog.setRange(minimum, maximum);
        }
        const int value = std::clamp(toInt(progress.value()), minimum, std::max(minimum, maximum));
        if (dialog.value() != value) {
            dialog.setValue(value);
        }
    };
    // A child of the dialog, named, so that tests can tell when it has
    // followed the work.
    QTimer refresh(&dialog);
    refresh.setObjectName(QStringLiteral("progress-refresh"));
    refresh.setInterval(refreshMs);
    QObject::connect(&refresh, &QTimer::timeout, &dialog, follow);
    follow();
    dialog.show();
    refresh.start();

    std::atomic<bool> finished{false};
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        finished.store(true);
        // Queued to the loop's thread; dropped if the loop is gone by then.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    if (!finished.load()) {
        loop.exec();
    }
    if (!finished.load()) {
        // The loop was told to quit from elsewhere: the application is ending.
        progress.cancel();
    }
    worker.join();
    refresh.stop();
    QObject::disconnect(cancelConnection);
    follow();
    dialog.close();
    if (failure) {
        std::rethrow_exception(failure);
    }
}

} // namespace Keldar::OndrixLumivane
