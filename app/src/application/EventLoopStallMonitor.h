#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>

namespace Keldar::OndrixLumivane {

// Measures how long the GUI thread goes without processing events: a precise
// timer beats every `periodMs` on the thread it lives on, and the longest gap
// between two beats, less the period, is the longest stall. Off unless made:
// the viewer makes one only when ONDRIX_LUMIVANE_STALL_REPORT names a file,
// which it then rewrites once a second and on exit (a few lines of text,
// with the longest stall of each of the last minute's seconds, so that a
// reader outside can tell start-up from what came later).
class EventLoopStallMonitor : public QObject
{
public:
    static constexpr int periodMs = 10;
    static constexpr double slowMs = 100.0;
    static constexpr std::size_t windowsKept = 60;

    // An empty `reportPath` writes nothing.
    explicit EventLoopStallMonitor(QString reportPath = {}, QObject* parent = nullptr);
    ~EventLoopStallMonitor() override;

    double longestStallMs() const { return longestMs; }
    // When the longest stall ended, in seconds since the monitor started.
    double longestStallAt() const { return longestAt; }
    // Stalls of `slowMs` or longer.
    quint64 slowStalls() const { return slow; }
    quint64 beats() const { return beatCount; }

    // Forgets what was measured, e.g. once start-up is over.
    void reset();
    bool writeReport() const;

private:
    void beat();

    QString path;
    QTimer timer;
    QElapsedTimer clock;
    qint64 lastBeatNs = 0;
    qint64 lastWriteNs = 0;
    double longestMs = 0.0;
    double longestAt = 0.0;
    quint64 slow = 0;
    quint64 beatCount = 0;
    struct Window
    {
        quint64 number;
        qint64 endMsSinceEpoch;
        double longestMs;
    };
    std::deque<Window> windows;
    quint64 windowCount = 0;
    double windowLongestMs = 0.0;
};

} // namespace Keldar::OndrixLumivane
