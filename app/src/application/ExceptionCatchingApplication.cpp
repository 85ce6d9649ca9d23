#include "application/ExceptionCatchingApplication.h"

#include "base/MessageBoxes.h"

#include <QTimer>

#include <cstdio>

namespace Keldar::OndrixLumivane {

ExceptionCatchingApplication::ExceptionCatchingApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
}

QString ExceptionCatchingApplication::errorBoxTitle()
{
    return QStringLiteral("Unexpected Error");
}

bool ExceptionCatchingApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        report(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        report(QStringLiteral("unknown exception"));
    }
    return false;
}

void ExceptionCatchingApplication::report(const QString& what)
{
    std::fprintf(stderr, "ondrix-lumivane: error: %s\n", what.toLocal8Bit().constData());
    std::fflush(stderr);
    if (reporting) {
        return;
    }
    reporting = true;
    // The box opens from the event loop, not from inside the handler that
    // failed: that handler's object may be half-way through a change.
    QTimer::singleShot(0, this, [this, what] {
        MessageBoxes::critical(activeWindow(), errorBoxTitle(),
                               QStringLiteral("The operation could not be completed:\n%1").arg(what));
        reporting = false;
    });
}

} // namespace Keldar::OndrixLumivane
