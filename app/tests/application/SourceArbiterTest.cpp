// Every way of changing the viewer's source, tried in every state on the real
// window and controller: what the user is told, what the window then shows,
// whether a recording goes on writing, and what a second process hears.

#include "support/LogTestSupport.h"

#include "application/LumivaneApplication.h"
#include "application/LumivaneWindow.h"
#include "application/RunningViewer.h"
#include "application/TerminationSignals.h"
#include "base/MessageBoxes.h"
#include "capture/BookmarkDialog.h"
#include "capture/CaptureToolbar.h"
#include "controller/MainController.h"
#include "displaycontrols/AdditionalDisplays.h"
#include "displaycontrols/DisplayControlToolbar.h"
#include "displaycontrols/overlays/OverlayDisplays.h"
#include "playback/BookmarkControls.h"
#include "playback/PlaybackToolbar.h"
#include "playback/ScrubControl.h"
#include "playback/ScrubSlider.h"
#include "sonarcontrols/MainToolbar.h"
#include "sonarcontrols/SonarControlToolbar.h"

#include <keldar/gui/SvgButton.h>
#include <keldar/logging/SqliteLogFile.h>

#include <QDateTime>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QTest>
#include <QTimeZone>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <csignal>
#include <future>
#include <optional>

using namespace Keldar::OndrixLumivane;
using namespace Keldar::OndrixLumivane::Testing;

namespace {

constexpr std::uint32_t liveSerial = 40091;
constexpr std::uint32_t silentSerial = 40092;

enum class Stage { Idle, Connecting, Live, Recording, Playing, Working };
constexpr int closed = -1;

using R = SourceRequest;
using A = SourceAnswer;

// What a request does in a stage, as the user sees it afterwards.
struct Row
{
    Stage stage;
    R request;
    A answer;
    int mode;              // the window's mode afterwards, or closed
    const char* told;      // a toast, a box or the second process's answer holds this ("" for nothing said)
    bool opensNew = false; // the log shown afterwards is the new one
};

// clang-format off
const Row rows[] = {
    {Stage::Idle, R::ChooseSonar, A::Go, LumivaneWindow::LiveSonar, "Connected!"},
    {Stage::Idle, R::AutoConnect, A::Go, LumivaneWindow::LiveSonar, "Connected!"},
    {Stage::Idle, R::ConnectOption, A::Go, LumivaneWindow::LiveSonar, "Connected!"},
    {Stage::Idle, R::Open, A::Go, LumivaneWindow::LogPlayback, "", true},
    {Stage::Idle, R::HandOver, A::Go, LumivaneWindow::LogPlayback, "", true},
    {Stage::Idle, R::Drop, A::Go, LumivaneWindow::LogPlayback, "", true},
    {Stage::Idle, R::CloseLog, A::Skip, LumivaneWindow::NoSource, ""},
    {Stage::Idle, R::Disconnect, A::Skip, LumivaneWindow::NoSource, ""},
    {Stage::Idle, R::Quit, A::Go, closed, ""},
    {Stage::Idle, R::Signal, A::Go, closed, ""},
    {Stage::Idle, R::SonarLost, A::Skip, LumivaneWindow::NoSource, ""},
    {Stage::Idle, R::WorkEnded, A::Skip, LumivaneWindow::NoSource, ""},

    {Stage::Connecting, R::ChooseSonar, A::Refuse, LumivaneWindow::NoSource, "was not connected: a connection to a sonar is being made."},
    {Stage::Connecting, R::AutoConnect, A::Skip, LumivaneWindow::NoSource, "Failed to connect."},
    {Stage::Connecting, R::ConnectOption, A::Refuse, LumivaneWindow::NoSource, "was not connected: a connection to a sonar is being made."},
    {Stage::Connecting, R::Open, A::Go, LumivaneWindow::LogPlayback, "", true},
    {Stage::Connecting, R::HandOver, A::Go, LumivaneWindow::LogPlayback, "", true},
    {Stage::Connecting, R::Drop, A::Go, LumivaneWindow::LogPlayback, "", true},
    {Stage::Connecting, R::CloseLog, A::Skip, LumivaneWindow::NoSource, "Failed to connect."},
    {Stage::Connecting, R::Disconnect, A::Go, LumivaneWindow::NoSource, ""},
    {Stage::Connecting, R::Quit, A::Go, closed, ""},
    {Stage::Connecting, R::Signal, A::Go, closed, ""},
    {Stage::Connecting, R::SonarLost, A::Skip, LumivaneWindow::NoSource, "Failed to connect."},
    {Stage::Connecting, R::WorkEnded, A::Skip, LumivaneWindow::NoSource, "Failed to connect."},

    {Stage::Live, R::ChooseSonar, A::Go, LumivaneWindow::LiveSonar, "Connected!"},
    {Stage::Live, R::AutoConnect, A::Skip, LumivaneWindow::LiveSonar, ""},
    {Stage::Live, R::ConnectOption, A::Refuse, LumivaneWindow::LiveSonar, "was not connected: a sonar is connected."},
    {Stage::Live, R::Open, A::Go, LumivaneWindow::LogPlayback, "", true},
    {Stage::Live, R::HandOver, A::Go, LumivaneWindow::LogPlayback, "", true},
    {Stage::Live, R::Drop, A::Go, LumivaneWindow::LogPlayback, "", true},
    {Stage::Live, R::CloseLog, A::Skip, LumivaneWindow::LiveSonar, ""},
    {Stage::Live, R::Disconnect, A::Go, LumivaneWindow::NoSource, ""},
    {Stage::Live, R::Quit, A::Go, closed, ""},
    {Stage::Live, R::Signal, A::Go, closed, ""},
    {Stage::Live, R::SonarLost, A::Go, LumivaneWindow::NoSource, "Failed to reconnect to the sonar."},
    {Stage::Live, R::WorkEnded, A::Skip, LumivaneWindow::LiveSonar, ""},

    // Every question is answered with its default, No: the recording goes on.
    {Stage::Recording, R::ChooseSonar, A::Ask, LumivaneWindow::LiveSonar, "Stop recording and connect to sonar"},
    {Stage::Recording, R::AutoConnect, A::Skip, LumivaneWindow::LiveSonar, ""},
    {Stage::Recording, R::ConnectOption, A::Refuse, LumivaneWindow::LiveSonar, "was not connected: a sonar is connected."},
    {Stage::Recording, R::Open, A::Ask, LumivaneWindow::LiveSonar, "Stop recording and open"},
    {Stage::Recording, R::HandOver, A::Ask, LumivaneWindow::LiveSonar, "Stop recording and open"},
    {Stage::Recording, R::Drop, A::Ask, LumivaneWindow::LiveSonar, "Stop recording and open"},
    {Stage::Recording, R::CloseLog, A::Skip, LumivaneWindow::LiveSonar, ""},
    {Stage::Recording, R::Disconnect, A::Ask, LumivaneWindow::LiveSonar, "Stop recording and disconnect?"},
    {Stage::Recording, R::Quit, A::Ask, LumivaneWindow::LiveSonar, "Stop recording and quit?"},
    {Stage::Recording, R::Signal, A::Go, closed, "Log file saved: "},
    {Stage::Recording, R::SonarLost, A::Go, LumivaneWindow::NoSource, "Log file saved: "},
    {Stage::Recording, R::WorkEnded, A::Skip, LumivaneWindow::LiveSonar, ""},

    {Stage::Playing, R::ChooseSonar, A::Go, LumivaneWindow::LiveSonar, "Connected!"},
    {Stage::Playing, R::AutoConnect, A::Skip, LumivaneWindow::LogPlayback, ""},
    {Stage::Playing, R::ConnectOption, A::Refuse, LumivaneWindow::LogPlayback, "was not connected: a log file is open."},
    {Stage::Playing, R::Open, A::Go, LumivaneWindow::LogPlayback, "", true},
    {Stage::Playing, R::HandOver, A::Go, LumivaneWindow::LogPlayback, "", true},
    {Stage::Playing, R::Drop, A::Go, LumivaneWindow::LogPlayback, "", true},
    {Stage::Playing, R::CloseLog, A::Go, LumivaneWindow::NoSource, ""},
    {Stage::Playing, R::Disconnect, A::Skip, LumivaneWindow::LogPlayback, ""},
    {Stage::Playing, R::Quit, A::Go, closed, ""},
    {Stage::Playing, R::Signal, A::Go, closed, ""},
    {Stage::Playing, R::SonarLost, A::Skip, LumivaneWindow::LogPlayback, ""},
    {Stage::Playing, R::WorkEnded, A::Skip, LumivaneWindow::LogPlayback, ""},

    // An export of the open log, held part way while the request comes.
    {Stage::Working, R::ChooseSonar, A::Refuse, LumivaneWindow::LogPlayback, "was not connected: an export is running."},
    {Stage::Working, R::AutoConnect, A::Skip, LumivaneWindow::LogPlayback, "Export finished successfully!"},
    {Stage::Working, R::ConnectOption, A::Refuse, LumivaneWindow::LogPlayback, "was not connected: an export is running."},
    {Stage::Working, R::Open, A::Wait, LumivaneWindow::LogPlayback, "will open when the export ends.", true},
    {Stage::Working, R::HandOver, A::Wait, LumivaneWindow::LogPlayback, "will open when the export ends.", true},
    {Stage::Working, R::Drop, A::Wait, LumivaneWindow::LogPlayback, "will open when the export ends.", true},
    {Stage::Working, R::CloseLog, A::Refuse, LumivaneWindow::LogPlayback, "an export is running."},
    {Stage::Working, R::Disconnect, A::Refuse, LumivaneWindow::LogPlayback, "an export is running."},
    {Stage::Working, R::Quit, A::Ask, LumivaneWindow::LogPlayback, "An export is running. Cancel it and quit?"},
    {Stage::Working, R::Signal, A::Go, closed, ""},
    {Stage::Working, R::SonarLost, A::Go, LumivaneWindow::LogPlayback, "Export finished successfully!"},
    {Stage::Working, R::WorkEnded, A::Go, LumivaneWindow::LogPlayback, "Export finished successfully!"},
};
// clang-format on

std::string describe(const Row& row)
{
    static const char* stages[] = {"idle", "connecting", "live", "recording", "playing", "working"};
    return std::string(stages[static_cast<int>(row.stage)]) + " x " + sourceRequestName(row.request);
}

// The viewer under test, with the two logs it opens and the sonars it sees.
struct Bench
{
    Bench()
    {
        viewer.controller->setLogLocation(folder.path().toStdString());
        // The log played: made from a sonar that reports its attitude.
        {
            auto sonar = connectViewer(viewer, liveSerial, folder.path().toStdString());
            played = recordEntries(viewer, 60);
            viewer.controller->disconnectFromSonar();
        }
        // The log opened over it: shorter, from a sonar without attitude.
        {
            auto config = viewer.network.sonarConfig(40094, 4);
            config.resultVersion = 1;
            Keldar::Sim::SimulatedSonar plain(config);
            plain.start();
            viewer.controller->connectWhenSeen(40094);
            EXPECT_TRUE(
                waitFor([&] { return viewer.controller->imagesShown() > 0 && viewer.controller->isConnected(); }));
            opened = recordEntries(viewer, 10);
            viewer.controller->disconnectFromSonar();
        }
        live = viewer.network.startSonar(liveSerial);
        // The sonars of the recordings have gone from the list: auto-connect
        // takes a sonar only when it is the one seen.
        EXPECT_TRUE(waitFor([&] { return visible(liveSerial) && viewer.controller->getVisibleSonars().size() == 1; }));
    }

    bool visible(std::uint32_t serial) const
    {
        const auto list = viewer.controller->getVisibleSonars();
        return list.count(serial) != 0;
    }

    // Back to an idle viewer with nothing said.
    // No move ever left the state at odds with what the controller holds:
    // debug builds stop at such a move, this build notes it.
    ~Bench() { EXPECT_EQ(viewer.controller->getBrokenInvariant(), ""); }
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    void reset()
    {
        EXPECT_EQ(viewer.controller->getBrokenInvariant(), "");
        MessageBoxes::setRefusing(false);
        if (!viewer.window->isVisible()) {
            // A signal left the application quitting: a main loop run to its
            // end clears that, as the next nested loop would end at once.
            QTimer::singleShot(0, [] { QCoreApplication::quit(); });
            QCoreApplication::exec();
            viewer.restart();
            viewer.controller->setLogLocation(folder.path().toStdString());
            EXPECT_TRUE(waitFor([&] { return visible(liveSerial); }));
        }
        EXPECT_TRUE(waitFor([&] { return !viewer.controller->isConnecting(); }));
        if (viewer.controller->isRecording()) {
            viewer.controller->stopLogging();
        }
        viewer.controller->disconnectFromSonar();
        viewer.controller->closeLogFile();
        silent.reset();
        EXPECT_EQ(viewer.controller->getState(), SourceState::Idle);
        answerBoxes(QMessageBox::No);
        quiet();
        for (const auto& file : filesIn(folder.path().toStdString(), ".ondrix")) {
            if (file.stem().string().find("_exported") != std::string::npos) {
                std::filesystem::remove(file);
            }
        }
    }

    // Nothing said so far counts.
    void quiet()
    {
        viewer.window->dismissAllToasts();
        EXPECT_TRUE(waitFor([&] { return viewer.shownToasts().isEmpty(); }));
        viewer.messageBoxes.clear();
    }

    // Boxes are answered `answer` (and recorded) from now on.
    void answerBoxes(int answer)
    {
        MessageBoxes::setPresenter([this, answer](QMessageBox& box) {
            viewer.messageBoxes.emplace_back(box.windowTitle(), box.text());
            return answer;
        });
    }

    bool enter(Stage stage)
    {
        switch (stage) {
        case Stage::Idle:
        case Stage::Working:
            return stage == Stage::Idle || open(played);
        case Stage::Connecting: {
            // Listed as connectable, but no session where the viewer looks.
            auto config = viewer.network.sonarConfig(silentSerial, 3);
            config.tcpPort = 0;
            silent = std::make_unique<Keldar::Sim::SimulatedSonar>(config);
            silent->start();
            if (!waitFor([&] { return visible(silentSerial); })) {
                return false;
            }
            viewer.controller->connectToSonar(silentSerial);
            return viewer.controller->isConnecting();
        }
        case Stage::Live:
        case Stage::Recording:
            viewer.controller->connectToSonar(liveSerial);
            if (!waitFor([&] { return viewer.controller->imagesShown() > 0 && viewer.controller->isConnected(); })) {
                return false;
            }
            if (stage == Stage::Recording) {
                QTest::mouseClick(viewer.window->getCaptureToolbar()->getRecordButton(), Qt::LeftButton);
                return waitFor([&] { return viewer.controller->isRecording(); }) &&
                       waitFor([&] { return viewer.controller->getLastEntryID() > 0; });
            }
            return true;
        case Stage::Playing:
            return open(played);
        }
        return false;
    }

    bool open(const std::filesystem::path& path)
    {
        viewer.controller->openLogFile(path.string());
        return viewer.window->getMode() == LumivaneWindow::LogPlayback;
    }

    // Asks as each entry point does; the second process's answer for a
    // file handed over.
    std::optional<RunningViewer::Answer> drive(R request)
    {
        const QString file = QString::fromStdString(opened.string());
        switch (request) {
        case R::ChooseSonar:
            // The sonar list's choice goes to this slot.
            viewer.controller->connectToSonar(liveSerial);
            break;
        case R::AutoConnect: {
            viewer.setGeneralSetting("autoConnect", true);
            auto list = viewer.controller->getVisibleSonars();
            emit viewer.controller->newVisibleSonarsList({});
            emit viewer.controller->newVisibleSonarsList(list);
            // Read when the sonar appears; it connects after a settling time.
            viewer.setGeneralSetting("autoConnect", false);
            break;
        }
        case R::ConnectOption:
            viewer.controller->connectWhenSeen(liveSerial);
            break;
        case R::Open:
            viewer.controller->openLogFile(opened.string());
            break;
        case R::HandOver: {
            // Another process: it waits for the answer while this one runs.
            auto answer = std::async(std::launch::async, [file] { return RunningViewer::handOver(file); });
            if (!waitFor([&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; })) {
                return std::nullopt;
            }
            return answer.get();
        }
        case R::Drop: {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(file)});
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(viewer.window.get(), &enter);
            QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(viewer.window.get(), &drop);
            QCoreApplication::processEvents();
            break;
        }
        case R::CloseLog:
            emit viewer.window->findChild<MainToolbar*>("mainToolbar")->closeLogFile();
            break;
        case R::Disconnect:
            emit viewer.window->findChild<MainToolbar*>("mainToolbar")->disconnectFromSonar();
            break;
        case R::Quit:
            viewer.window->close();
            break;
        case R::Signal: {
            const TerminationSignals termination([this] { viewer.application->endOnSignal(); });
            ::raise(SIGTERM);
            EXPECT_TRUE(waitFor([&] { return viewer.controller->getState() == SourceState::Closing; }));
            break;
        }
        case R::SonarLost:
            // What the sonar library reports when the sonar does not come back.
            emit viewer.controller->sonarReconnectFailed();
            break;
        case R::WorkEnded:
            if (viewer.controller->getState() != SourceState::Working) {
                viewer.controller->request(R::WorkEnded);
            }
            break;
        }
        return std::nullopt;
    }

    // Everything said since the row began.
    QString said(const std::optional<RunningViewer::Answer>& answer) const
    {
        QStringList all = viewer.shownToasts();
        for (const auto& box : viewer.messageBoxes) {
            all << box.second;
        }
        if (answer) {
            all << answer->message;
        }
        return all.join('\n');
    }

    ViewerSession viewer;
    WorkerGate gate;
    QTemporaryDir folder;
    std::filesystem::path played;
    std::filesystem::path opened;
    std::unique_ptr<Keldar::Sim::SimulatedSonar> live;
    std::unique_ptr<Keldar::Sim::SimulatedSonar> silent;
};

bool exportedFileExists(const Bench& bench)
{
    for (const auto& file : filesIn(bench.folder.path().toStdString(), ".ondrix")) {
        if (file.stem().string().find("_exported") != std::string::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

TEST(SourceArbiter, EveryEntryPointInEveryState)
{
    Bench bench;
    ViewerSession& viewer = bench.viewer;
    const QString openedPath = QString::fromStdString(bench.opened.string());
    const QString playedPath = QString::fromStdString(bench.played.string());

    for (const Row& row : rows) {
        SCOPED_TRACE(describe(row));
        bench.reset();
        ASSERT_TRUE(bench.enter(row.stage));
        bench.quiet();
        if (row.stage != Stage::Working) {
            EXPECT_EQ(answerFor(viewer.controller->getState(), row.request), row.answer);
        }
        std::optional<RunningViewer::Answer> answer;
        std::int32_t entriesBefore = 0;
        bool connectedWhileWorking = false;

        if (row.stage == Stage::Working) {
            // The export runs on its own thread, held at the gate while the
            // request comes; the rest runs inside the export's own loop.
            bench.gate.close();
            QTimer::singleShot(0, [&] {
                EXPECT_TRUE(waitFor([&] { return bench.gate.holding(); }));
                EXPECT_EQ(viewer.controller->getState(), SourceState::Working);
                EXPECT_EQ(answerFor(viewer.controller->getState(), row.request), row.answer);
                answer = bench.drive(row.request);
                connectedWhileWorking = viewer.controller->isConnected() || viewer.controller->isConnecting();
                bench.gate.open();
            });
            const int frames = static_cast<int>(viewer.controller->getLogEntryIndex().size());
            viewer.controller->exportToLog(0, frames - 1);
            EXPECT_FALSE(connectedWhileWorking);
            EXPECT_EQ(exportedFileExists(bench), row.request != R::Signal) << "a cancelled export leaves nothing";
        } else {
            entriesBefore = viewer.controller->getLastEntryID();
            answer = bench.drive(row.request);
        }

        if (row.mode == closed) {
            EXPECT_TRUE(waitFor([&] { return !viewer.window->isVisible(); }));
        } else {
            const auto mode = static_cast<LumivaneWindow::Mode>(row.mode);
            EXPECT_TRUE(waitFor([&] {
                return viewer.window->getMode() == mode && !viewer.controller->isConnecting() &&
                       (!row.opensNew || viewer.window->windowTitle() == openedPath);
            })) << viewer.window->getMode();
            // The toolbars and the title follow the source.
            auto* window = viewer.window.get();
            EXPECT_EQ(window->getPlaybackToolbar()->isVisible(), mode == LumivaneWindow::LogPlayback);
            EXPECT_EQ(window->findChild<SonarControlToolbar*>("sonarControlToolbar")->isVisible(),
                      mode == LumivaneWindow::LiveSonar);
            if (mode == LumivaneWindow::LogPlayback) {
                EXPECT_EQ(window->windowTitle(), row.opensNew ? openedPath : playedPath);
            } else if (mode == LumivaneWindow::LiveSonar) {
                EXPECT_TRUE(window->windowTitle().endsWith(QStringLiteral("[%1]").arg(liveSerial)))
                    << window->windowTitle().toStdString();
            } else {
                EXPECT_TRUE(window->windowTitle().isEmpty()) << window->windowTitle().toStdString();
            }
        }
        if (row.stage == Stage::Recording && row.mode == LumivaneWindow::LiveSonar) {
            // Asked and declined, or nothing to do: the recording goes on writing.
            EXPECT_TRUE(viewer.controller->isRecording());
            EXPECT_TRUE(waitFor([&] { return viewer.controller->getLastEntryID() > entriesBefore + 3; }));
        }
        if (*row.told != '\0') {
            EXPECT_TRUE(waitFor([&] { return bench.said(answer).contains(QString::fromUtf8(row.told)); }))
                << bench.said(answer).toStdString();
        }
        if (row.request == R::HandOver) {
            // The second process hears what the viewer did.
            ASSERT_TRUE(answer.has_value());
            EXPECT_EQ(answer->answer, row.answer);
        }
    }
}

TEST(SourceArbiter, ReproductionsThatTakeMoreThanOneStep)
{
    Bench bench;
    ViewerSession& viewer = bench.viewer;
    auto* window = viewer.window.get();
    const QString openedPath = QString::fromStdString(bench.opened.string());

    // A log opened while another plays: nothing of the first reaches the
    // second's screen, and a bookmark marks the frame shown.
    bench.reset();
    ASSERT_TRUE(bench.open(bench.played));
    PlaybackToolbar* toolbar = window->getPlaybackToolbar();
    auto* pitch = window->findChild<QLabel*>("pitchLabel");
    auto* fps = window->findChild<QLabel*>("fpsLabel");
    auto* logTime = window->findChild<QLabel*>("logTimeLabel");
    ASSERT_TRUE(pitch != nullptr && fps != nullptr && logTime != nullptr);
    QTest::mouseClick(toolbar->getPlayButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return toolbar->getScrubControl()->getSlider()->value() >= 15; }));
    EXPECT_NE(pitch->text(), QString::fromUtf8("—")) << "the first log reports its attitude";
    viewer.controller->openLogFile(bench.opened.string());
    // The first player is gone: whatever it had queued is delivered now.
    QCoreApplication::processEvents();
    EXPECT_EQ(window->windowTitle(), openedPath);
    EXPECT_EQ(toolbar->getScrubControl()->getSlider()->value(), 0);
    EXPECT_TRUE(toolbar->getPlayButton()->isVisible());
    EXPECT_FALSE(toolbar->getPauseButton()->isVisible());
    EXPECT_EQ(pitch->text(), QString::fromUtf8("—"));
    EXPECT_EQ(fps->text(), QString::fromUtf8("—"));
    const auto opened = openLog(bench.opened);
    const auto first = opened->readEntry(viewer.controller->getLogEntryIndex().front());
    ASSERT_TRUE(first.has_value());
    const QTimeZone zone(QTimeZone::systemTimeZoneId());
    EXPECT_EQ(logTime->text(), QDateTime::fromMSecsSinceEpoch(first->timestamp, zone)
                                   .toString(QString::fromLatin1(LogDateTimeDisplay::format)));
    BookmarkDialog::setRunner([](BookmarkDialog& dialog) {
        dialog.findChild<QLineEdit*>("title")->setText("here");
        return static_cast<int>(QDialog::Accepted);
    });
    toolbar->getBookmarkControls()->getAddButton()->click();
    BookmarkDialog::setRunner({});
    const auto bookmarks = openLog(bench.opened)->getBookmarks();
    ASSERT_EQ(bookmarks.size(), 1U);
    EXPECT_EQ(bookmarks.front().entryId, first->entryId);

    // A file handed over while recording: asked, and agreed to, the
    // recording is closed, checked and announced, then the file opens.
    bench.reset();
    ASSERT_TRUE(bench.enter(Stage::Recording));
    const std::filesystem::path recording = viewer.controller->getRecordingPath();
    bench.answerBoxes(QMessageBox::Yes);
    const auto answer = bench.drive(R::HandOver);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->answer, A::Ask);
    EXPECT_TRUE(waitFor([&] { return window->windowTitle() == openedPath; }));
    EXPECT_FALSE(viewer.controller->isRecording());
    const auto saved = openLog(recording)->getEntryCount();
    EXPECT_TRUE(waitFor([&] {
        return bench.said({}).contains(QStringLiteral("Log file saved: %1 entries in %2")
                                           .arg(saved)
                                           .arg(QString::fromStdString(recording.string())));
    })) << bench.said({}).toStdString();
    EXPECT_TRUE(showFolderFromToast(viewer, QStringLiteral("Log file saved: %1 entries in %2")
                                                .arg(saved)
                                                .arg(QString::fromStdString(recording.string()))
                                                .toStdString()));

    // A recording that stored nothing says so.
    bench.reset();
    ASSERT_TRUE(bench.enter(Stage::Live));
    bench.live->ignoreFireRequests(1000000);
    // An image already on its way may still land in the first recording:
    // the check is made on a recording during which none arrived.
    bool nothingArrived = false;
    for (int attempt = 0; attempt < 5 && !nothingArrived; ++attempt) {
        const auto imagesBefore = viewer.controller->imagesReceived();
        const auto toastsBefore = viewer.shownToasts().size();
        QTest::mouseClick(window->getCaptureToolbar()->getRecordButton(), Qt::LeftButton);
        // The file is made and closed off the GUI thread.
        ASSERT_TRUE(waitFor([&] { return viewer.controller->isRecording(); }));
        QTest::mouseClick(window->getCaptureToolbar()->getStopButton(), Qt::LeftButton);
        ASSERT_TRUE(
            waitFor([&] { return !viewer.controller->isRecording() && viewer.shownToasts().size() > toastsBefore; }));
        nothingArrived = viewer.controller->imagesReceived() == imagesBefore;
    }
    ASSERT_TRUE(nothingArrived);
    EXPECT_TRUE(waitFor([&] { return bench.said({}).contains("The recording stored nothing"); }))
        << bench.said({}).toStdString();
    bench.live->ignoreFireRequests(0);

    // Quit during an export, agreed: the export is cancelled, leaves
    // nothing, and the viewer closes.
    bench.reset();
    ASSERT_TRUE(bench.open(bench.played));
    bench.gate.close();
    QTimer::singleShot(0, [&] {
        EXPECT_TRUE(waitFor([&] { return bench.gate.holding(); }));
        bench.answerBoxes(QMessageBox::Yes);
        window->close();
        bench.gate.open();
    });
    viewer.controller->exportToLog(0, static_cast<int>(viewer.controller->getLogEntryIndex().size()) - 1);
    EXPECT_TRUE(waitFor([&] { return !viewer.window->isVisible(); }));
    EXPECT_FALSE(exportedFileExists(bench));
    EXPECT_TRUE(bench.said({}).contains("An export is running. Cancel it and quit?"));

    // --connect with a log file, to a running viewer: refused with a reason,
    // not half done.
    bench.reset();
    QProcess second;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", viewer.settings.path());
    // No display: the refusal is told on stderr only, not in a box.
    environment.remove("DISPLAY");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    second.setProcessEnvironment(environment);
    second.start(LUMIVANE_EXECUTABLE, {"--connect", QString::number(liveSerial), openedPath});
    ASSERT_TRUE(waitFor([&] { return second.state() == QProcess::NotRunning; }, std::chrono::seconds(60)));
    const QString errors = QString::fromLocal8Bit(second.readAllStandardError());
    EXPECT_EQ(second.exitCode(), 2) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QStringLiteral("--connect %1").arg(liveSerial))) << errors.toStdString();
    EXPECT_EQ(viewer.controller->getState(), SourceState::Idle);
}

TEST(SourceArbiter, WhileARecordingStartsOrIsSavedPressesAreIgnoredAndLeavingWaitsForTheSave)
{
    Bench bench;
    ViewerSession& viewer = bench.viewer;
    bench.reset();
    ASSERT_TRUE(bench.enter(Stage::Live));
    bench.quiet();
    const auto recordings = [&] { return filesIn(bench.folder.path().toStdString(), ".ondrix").size(); };
    const std::size_t before = recordings();

    // The file is made off the GUI thread: until the event loop hears back,
    // the recording is starting. A second press makes no second file.
    viewer.controller->startLogging();
    ASSERT_EQ(viewer.controller->getState(), SourceState::Starting);
    viewer.controller->startLogging();
    EXPECT_EQ(viewer.controller->request(R::ChooseSonar, {liveSerial, {}}).answer, A::Refuse);
    ASSERT_TRUE(waitFor([&] { return viewer.controller->isRecording() && viewer.controller->getLastEntryID() > 0; }));
    EXPECT_EQ(recordings(), before + 1);

    // Disconnect while the recording is being saved waits for the checked
    // close, then goes; "saved" is said once, with what the file holds.
    const std::filesystem::path first = viewer.controller->getRecordingPath();
    viewer.controller->stopLogging();
    ASSERT_EQ(viewer.controller->getState(), SourceState::Stopping);
    const auto disconnect = viewer.controller->request(R::Disconnect);
    EXPECT_EQ(disconnect.answer, A::Wait);
    EXPECT_TRUE(disconnect.message.contains("disconnected once the recording is saved"));
    EXPECT_TRUE(viewer.controller->isConnected());
    ASSERT_TRUE(waitFor([&] { return viewer.controller->getState() == SourceState::Idle; }));
    const auto saved = openLog(first)->getEntryCount();
    EXPECT_GT(saved, 0);
    EXPECT_EQ(bench.said({}).count(QStringLiteral("Log file saved: %1 entries").arg(saved)), 1)
        << bench.said({}).toStdString();

    // A termination signal while saving: the close is waited for, checked
    // and announced before the viewer ends.
    bench.reset();
    ASSERT_TRUE(bench.enter(Stage::Recording));
    const std::filesystem::path second = viewer.controller->getRecordingPath();
    viewer.controller->stopLogging();
    ASSERT_EQ(viewer.controller->getState(), SourceState::Stopping);
    viewer.application->endOnSignal();
    EXPECT_EQ(viewer.controller->getState(), SourceState::Closing);
    EXPECT_EQ(integrityCheck(second), "ok");
    EXPECT_TRUE(
        bench.said({}).contains(QStringLiteral("Log file saved: %1 entries").arg(openLog(second)->getEntryCount())))
        << bench.said({}).toStdString();
    bench.reset();
}
