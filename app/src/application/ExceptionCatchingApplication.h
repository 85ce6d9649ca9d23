#pragma once

#include <QApplication>

#include <exception>

namespace Keldar::OndrixLumivane {

/// The viewer's QApplication. An exception that escapes an event handler or a
/// queued slot (a file-system error, a failure of the log library) is caught
/// where the event loop delivered it, written to standard error and shown in
/// an error box; the event loop goes on, so the viewer stays usable.
class ExceptionCatchingApplication : public QApplication
{
    Q_OBJECT

public:
    ExceptionCatchingApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    static QString errorBoxTitle();

private:
    void report(const QString& what);

    // One box at a time: errors that arrive while it is open only go to
    // standard error, instead of stacking boxes (a failing paint would
    // otherwise open one per frame).
    bool reporting = false;
};

} // namespace Keldar::OndrixLumivane
