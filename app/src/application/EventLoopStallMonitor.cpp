#include "application/EventLoopStallMonitor.h"

#include <QDateTime>
#include <QSaveFile>

#include <algorithm>
#include <utility>

namespace Keldar::OndrixLumivane {

EventLoopStallMonitor::EventLoopStallMonitor(QString reportPath, QObject* parent)
    : QObject(parent)
    , path(std::move(reportPath))
{
    clock.start();
    lastBeatNs = clock.nsecsElapsed();
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(periodMs);
    connect(&timer, &QTimer::timeout, this, &EventLoopStallMonitor::beat);
    timer.start();
}

EventLoopStallMonitor::~EventLoopStallMonitor()
{
    writeReport();
}

void EventLoopStallMonitor::reset()
{
    longestMs = 0.0;
    longestAt = 0.0;
    slow = 0;
    windowLongestMs = 0.0;
    lastBeatNs = clock.nsecsElapsed();
}

void EventLoopStallMonitor::beat()
{
    const qint64 now = clock.nsecsElapsed();
    const double stallMs = double(now - lastBeatNs) / 1e6 - periodMs;
    lastBeatNs = now;
    ++beatCount;
    if (stallMs > longestMs) {
        longestMs = stallMs;
        longestAt = double(now) / 1e9;
    }
    if (stallMs >= slowMs) {
        ++slow;
    }
    windowLongestMs = std::max(windowLongestMs, stallMs);
    // The beat count in the report shows a reader that the loop still turns.
    if (!path.isEmpty() && now - lastWriteNs >= 1'000'000'000) {
        lastWriteNs = now;
        windows.push_back({++windowCount, QDateTime::currentMSecsSinceEpoch(), windowLongestMs});
        windowLongestMs = 0.0;
        if (windows.size() > windowsKept) {
            windows.pop_front();
        }
        writeReport();
    }
}

bool EventLoopStallMonitor::writeReport() const
{
    if (path.isEmpty()) {
        return false;
    }
    // Replaced whole, so that a reader never sees half a report.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        return false;
    }
    QString text = QStringLiteral("longest_ms %1\nlongest_at_s %2\nslow_stalls %3\nbeats %4\n")
                       .arg(longestMs, 0, 'f', 1)
                       .arg(longestAt, 0, 'f', 1)
                       .arg(slow)
                       .arg(beatCount);
    // "window <number> <end, ms since the epoch> <longest stall in it, ms>"
    for (const Window& window : windows) {
        text += QStringLiteral("window %1 %2 %3\n")
                    .arg(window.number)
                    .arg(window.endMsSinceEpoch)
                    .arg(window.longestMs, 0, 'f', 1);
    }
    const QByteArray bytes = text.toUtf8();
    return file.write(bytes) == bytes.size() && file.commit();
}

} // namespace Keldar::OndrixLumivane
