#include "application/TerminationSignals.h"

#include "base/MessageBoxes.h"

#include <QApplication>
#include <QDialog>
#include <QProgressDialog>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Keldar::OndrixLumivane {

namespace {

int pipeEnds[2] = {-1, -1};
struct sigaction previousTerm
{
};
struct sigaction previousInt
{
};

extern "C" void onTerminationSignal(int signalNumber)
{
    const auto byte = static_cast<char>(signalNumber);
    // Only async-signal-safe calls here; a full pipe means a quit is pending.
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[0], &byte, 1);
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void()> quitFunction, QObject* parent)
    : QObject(parent)
    , quit(std::move(quitFunction))
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pipeEnds) != 0) {
        return;
    }
    ::fcntl(pipeEnds[0], F_SETFL, ::fcntl(pipeEnds[0], F_GETFL) | O_NONBLOCK);
    notifier = new QSocketNotifier(pipeEnds[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TerminationSignals::readSignal);

    struct sigaction action
    {
    };
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, &previousTerm);
    ::sigaction(SIGINT, &action, &previousInt);
    installed = true;
}

TerminationSignals::~TerminationSignals()
{
    if (!installed) {
        return;
    }
    ::sigaction(SIGTERM, &previousTerm, nullptr);
    ::sigaction(SIGINT, &previousInt, nullptr);
    delete notifier;
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

bool TerminationSignals::isInstalled() const
{
    return installed;
}

void TerminationSignals::endModalWork()
{
    MessageBoxes::setRefusing(true);
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!widget->isVisible()) {
            continue;
        }
        if (auto* progress = qobject_cast<QProgressDialog*>(widget)) {
            progress->cancel();
        } else if (auto* dialog = qobject_cast<QDialog*>(widget)) {
            dialog->reject();
        }
    }
}

void TerminationSignals::readSignal()
{
    char byte = 0;
    [[maybe_unused]] const ssize_t got = ::read(pipeEnds[1], &byte, 1);
    if (quit) {
        quit();
    }
}

} // namespace Keldar::OndrixLumivane
