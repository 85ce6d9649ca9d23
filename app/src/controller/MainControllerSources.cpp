// The controller's arbiter: every request for a change of source is answered
// here from the table in SourceArbiter.h, and every move of the state goes
// through moveTo, which checks in debug builds that the state and what the
// controller holds agree.

#include "controller/MainControllerLogSide.h"

#include "base/MessageBoxes.h"
#include "base/ViewerContext.h"
#include <keldar/gui/MainWindow.h>

#include <QApplication>
#include <QFileInfo>
#include <QMetaObject>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

#include <cassert>

namespace Keldar::OndrixLumivane {

namespace {

constexpr int standardToastMs = 2500;

GUI::Widgets::MainWindow* mainWindow()
{
    return ViewerContext::instance()->getMainWindowBase();
}

void toast(GUI::Widgets::Notifications::ToastType type, const QString& text, int durationMs)
{
    if (auto* window = mainWindow()) {
        window->newToast(type, text, durationMs);
    }
}

bool namesFile(SourceRequest request)
{
    return request == SourceRequest::Open || request == SourceRequest::HandOver || request == SourceRequest::Drop;
}

bool namesSonar(SourceRequest request)
{
    return request == SourceRequest::ChooseSonar || request == SourceRequest::AutoConnect ||
           request == SourceRequest::ConnectOption;
}

QString fileName(const SourceTarget& target)
{
    return QFileInfo(QFile::decodeName(target.file.c_str())).fileName();
}

} // namespace

SourceState MainController::getState() const
{
    return arbiter.state();
}

MainController::RequestOutcome MainController::request(SourceRequest request, const SourceTarget& target)
{
    const SourceAnswer answer = arbiter.answer(request);
    RequestOutcome outcome{answer, false, {}};
    // A file handed over is answered before anything is done or asked: the
    // second process waits for the answer only a moment.
    const bool later = request == SourceRequest::HandOver;
    switch (answer) {
    case SourceAnswer::Skip:
        break;
    case SourceAnswer::Refuse:
        outcome.message = refusal(request, target);
        toast(ToastType::Error, outcome.message, 0);
        break;
    case SourceAnswer::Wait:
        arbiter.waiting.emplace_back(request, target);
        outcome.message = waitMessage(request, target);
        toast(ToastType::Info, outcome.message, 0);
        break;
    case SourceAnswer::Ask:
        if (later) {
            outcome.message =
                QStringLiteral("The viewer asks whether to stop recording and open %1.").arg(fileName(target));
            QTimer::singleShot(0, this, [this, request, target] {
                if (arbiter.answer(request) == SourceAnswer::Ask) {
                    if (ask(request, target)) {
                        go(request, target);
                    }
                } else {
                    this->request(request, target);
                }
            });
        } else if (ask(request, target)) {
            go(request, target);
            outcome.done = request != SourceRequest::Quit || arbiter.state() == SourceState::Closing;
        }
        break;
    case SourceAnswer::Go:
        if (later) {
            QTimer::singleShot(0, this, [this, request, target] {
                if (arbiter.answer(request) == SourceAnswer::Go) {
                    go(request, target);
                } else {
                    this->request(request, target);
                }
            });
            // The answer that goes back says what will happen.
            outcome.answer = SourceAnswer::Go;
            outcome.message = QStringLiteral("The viewer opens %1.").arg(fileName(target));
            return outcome;
        }
        go(request, target);
        outcome.done = request != SourceRequest::Quit || arbiter.state() == SourceState::Closing;
        break;
    }
    return outcome;
}

bool MainController::ask(SourceRequest request, const SourceTarget& target)
{
    QString question;
    QString title = QStringLiteral("Recording");
    switch (request) {
    case SourceRequest::ChooseSonar:
        question = QStringLiteral("Stop recording and connect to sonar %1?").arg(target.serial);
        break;
    case SourceRequest::Disconnect:
        question = QStringLiteral("Stop recording and disconnect?");
        break;
    case SourceRequest::Quit:
        if (arbiter.state() == SourceState::Working) {
            title = QStringLiteral("Quit");
            question = QStringLiteral("An %1 is running. Cancel it and quit?").arg(workName);
        } else {
            question = QStringLiteral("Stop recording and quit?");
        }
        break;
    default:
        question = QStringLiteral("Stop recording and open %1?").arg(fileName(target));
        break;
    }
    // The recording goes on writing while the question is open, and after a No.
    QMessageBox box(QMessageBox::Question, title, question, QMessageBox::Yes | QMessageBox::No, mainWindow());
    // A stray Enter must not end a recording or an export.
    box.setDefaultButton(QMessageBox::No);
    return MessageBoxes::show(box) == QMessageBox::Yes;
}

QString MainController::waitMessage(SourceRequest request, const SourceTarget& target) const
{
    if (!arbiter.inRecordingPhase()) {
        return QStringLiteral("%1 will open when the %2 ends.").arg(fileName(target), workName);
    }
    const QString phase = arbiter.base() == SourceState::Starting ? QStringLiteral("the recording has started")
                                                                  : QStringLiteral("the recording is saved");
    if (namesFile(request)) {
        return QStringLiteral("%1 will open once %2.").arg(fileName(target), phase);
    }
    return QStringLiteral("The sonar will be disconnected once %1.").arg(phase);
}

QString MainController::refusal(SourceRequest request, const SourceTarget& target) const
{
    if (arbiter.state() == SourceState::Closing) {
        return QStringLiteral("The viewer is closing.");
    }
    QString because;
    switch (arbiter.state()) {
    case SourceState::Connecting:
        because = QStringLiteral("a connection to a sonar is being made.");
        break;
    case SourceState::Live:
    case SourceState::Recording:
        because = QStringLiteral("a sonar is connected.");
        break;
    case SourceState::Starting:
        because = QStringLiteral("a recording is starting.");
        break;
    case SourceState::Stopping:
        because = QStringLiteral("a recording is being saved.");
        break;
    case SourceState::Playing:
        because = QStringLiteral("a log file is open.");
        break;
    case SourceState::Working:
        because = QStringLiteral("an %1 is running.").arg(workName);
        break;
    default:
        break;
    }
    if (namesSonar(request)) {
        return QStringLiteral("Sonar %1 was not connected: %2").arg(target.serial).arg(because);
    }
    if (namesFile(request)) {
        return QStringLiteral("%1 was not opened: %2").arg(fileName(target), because);
    }
    return QStringLiteral("Not now: %1 Cancel it first.").arg(because);
}

void MainController::go(SourceRequest request, const SourceTarget& target)
{
    switch (request) {
    case SourceRequest::ChooseSonar:
    case SourceRequest::AutoConnect:
    case SourceRequest::ConnectOption:
        startConnecting(target.serial);
        break;
    case SourceRequest::Open:
    case SourceRequest::HandOver:
    case SourceRequest::Drop:
        openFile(target.file);
        break;
    case SourceRequest::CloseLog:
        endLog();
        break;
    case SourceRequest::Disconnect:
    case SourceRequest::SonarLost:
        disconnectFromSonar();
        break;
    case SourceRequest::Quit:
        if (arbiter.working()) {
            // The work ends first; the quit goes on from endWork.
            arbiter.quitWhenWorkEnds = true;
            cancelWork();
        } else {
            closeEverything();
        }
        break;
    case SourceRequest::Signal:
        // Nobody is there to ask: the work is cancelled, and the viewer
        // ends as soon as the work has unwound.
        arbiter.waiting.clear();
        if (arbiter.working()) {
            cancelWork();
        }
        closeEverything();
        break;
    case SourceRequest::WorkEnded:
        arbiter.endWork();
        checkInvariants();
        emit stateChanged(arbiter.state());
        if (std::exchange(arbiter.quitWhenWorkEnds, false)) {
            arbiter.waiting.clear();
            closeEverything();
            emit quitReady();
        } else if (!arbiter.waiting.empty()) {
            // After the work's own caller has finished with the player.
            QTimer::singleShot(0, this, &MainController::runWaitingRequests);
        }
        break;
    }
}

void MainController::runWaitingRequests()
{
    while (!arbiter.waiting.empty() && arbiter.state() != SourceState::Working && !arbiter.inRecordingPhase()) {
        auto [request, target] = arbiter.waiting.front();
        arbiter.waiting.pop_front();
        this->request(request, target);
    }
}

void MainController::endSource()
{
    // A recording being made or closed off the GUI thread is waited for: it
    // is never lost.
    settleRecording();
    switch (arbiter.base()) {
    case SourceState::Connecting:
    case SourceState::Live:
    case SourceState::Recording:
        disconnectFromSonar();
        break;
    case SourceState::Playing:
        endLog();
        break;
    default:
        break;
    }
}

void MainController::closeEverything()
{
    // The recording is closed and checked, the sonars' parameters saved, a
    // log closed; a work's player comes back when the work unwinds.
    endSource();
    moveTo(SourceState::Closing);
}

void MainController::beginWork(const QString& what)
{
    workName = what;
    moveTo(SourceState::Working);
}

void MainController::endWork()
{
    request(SourceRequest::WorkEnded);
}

void MainController::cancelWork()
{
    // Every work runs behind a progress dialog whose Cancel stops it and
    // removes what it had written.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* progress = qobject_cast<QProgressDialog*>(widget)) {
            if (progress->isVisible()) {
                // As its Cancel button does: cancel() alone does not tell
                // the work, which listens to canceled().
                emit progress->canceled();
                progress->cancel();
            }
        }
    }
}

void MainController::deliver(std::uint64_t generation, std::function<void()> emitIt)
{
    if (QThread::currentThread() == thread()) {
        if (generation == arbiter.generation.load()) {
            emitIt();
        }
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, generation, emitIt = std::move(emitIt)] {
            if (generation == arbiter.generation.load()) {
                emitIt();
            }
        },
        Qt::QueuedConnection);
}

void MainController::moveTo(SourceState state)
{
    arbiter.move(state);
    checkInvariants();
    emit stateChanged(arbiter.state());
}

void MainController::checkInvariants()
{
    std::string broken = brokenInvariant();
    if (broken.empty()) {
        return;
    }
    qWarning("source state: %s", broken.c_str());
    assert(false && "the source state and what the controller holds disagree");
    if (firstBrokenInvariant.empty()) {
        firstBrokenInvariant = std::move(broken);
    }
}

const std::string& MainController::getBrokenInvariant() const
{
    return firstBrokenInvariant;
}

std::string MainController::brokenInvariant() const
{
    const SourceState base = arbiter.base();
    const bool holdsSonar = isConnected();
    const bool holdsLog = logs->player != nullptr;
    const bool writing = logs->file != nullptr;
    // A work that holds the player has it lent: Playing may hold none then.
    const bool lent = arbiter.working();
    bool holds = true;
    switch (base) {
    case SourceState::Idle:
        holds = !holdsSonar && !writing && (!holdsLog || lent);
        break;
    case SourceState::Connecting:
        holds = !holdsLog && !writing;
        break;
    case SourceState::Live:
    case SourceState::Starting:
        holds = holdsSonar && !holdsLog && !writing;
        break;
    case SourceState::Stopping:
        // The worker takes the file from the writers when a write under way
        // has ended.
        holds = holdsSonar && !holdsLog;
        break;
    case SourceState::Recording:
        holds = holdsSonar && !holdsLog && writing;
        break;
    case SourceState::Playing:
        holds = !holdsSonar && !writing && (holdsLog || lent);
        break;
    case SourceState::Working:
    case SourceState::Closing:
        // Never a source's own state.
        holds = false;
        break;
    }
    const bool workAgrees = arbiter.working() == (arbiter.state() == SourceState::Working ||
                                                  (arbiter.state() == SourceState::Closing && arbiter.working()));
    if (holds && workAgrees) {
        return {};
    }
    std::string held;
    for (const auto& [name, what] :
         {std::pair{"sonar", holdsSonar}, {"log", holdsLog}, {"recording", writing}, {"lent player", lent}}) {
        if (what) {
            held += held.empty() ? name : std::string(", ") + name;
        }
    }
    return std::string(sourceStateName(arbiter.state())) + " over " + sourceStateName(base) + " holding " +
           (held.empty() ? std::string("nothing") : held) + (workAgrees ? "" : "; the work flag disagrees");
}

} // namespace Keldar::OndrixLumivane
