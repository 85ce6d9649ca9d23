#include "application/EventLoopStallMonitor.h"

#include <QDateTime>
#include <QFile>

#include <algorithm>
#include <cstdio>
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
    // Replaced whole, so that a reader never sees half a report, but not
    // synced to disk: a sync here, on the GUI thread, was itself a stall of
    // up to 100 ms while a recording wrote.
    const QString temporary = path + QStringLiteral(".writing");
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
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
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    if (!written || std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(temporary);
        return false;
    }
    return true;
}

} // namespace Keldar::OndrixLumivane
