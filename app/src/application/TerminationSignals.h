#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace Keldar::OndrixLumivane {

// Turns SIGTERM and SIGINT (a logout, a shutdown, Ctrl+C) into an ordinary
// quit on the GUI thread: the signal handler only writes a byte to a pipe,
// and the event loop runs `quit` when it reads it. The viewer then ends as
// when its window is closed, so settings are written and a recording is
// closed. One instance per process; the previous handlers come back when it
// is destroyed.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(std::function<void()> quit, QObject* parent = nullptr);
    ~TerminationSignals() override;

    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Whether the handlers are installed (false when the pipe could not be made).
    bool isInstalled() const;

    // Boxes, dialogs and progress dialogs run event loops of their own,
    // inside which the main loop cannot end: each is answered "no" or
    // cancelled, and no new box opens, so that control finds its way out.
    static void endModalWork();

private:
    void readSignal();

    std::function<void()> quit;
    QSocketNotifier* notifier = nullptr;
    bool installed = false;
};

} // namespace Keldar::OndrixLumivane
