// The window and the program around it: themes, logos, the command line and
// errors that escape a slot, and the opt-in event-loop stall report.

#include "support/LogTestSupport.h"
#include "support/ViewerTestSupport.h"

#include "application/EventLoopStallMonitor.h"
#include "application/ExceptionCatchingApplication.h"
#include "application/LumivaneApplication.h"
#include "application/LumivaneWindow.h"
#include "application/RunningViewer.h"
#include "application/TerminationSignals.h"
#include "base/MessageBoxes.h"
#include "controller/MainController.h"

#include <keldar/gui/SvgLabel.h>
#include <keldar/gui/ThemeManager.h>
#include <keldar/gui/ToastDisplayManager.h>
#include <keldar/logging/FlatInterface.h>
#include <keldar/logging/SqliteLogFile.h>

#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>

#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QImage>
#include <QLocalSocket>
#include <QMimeData>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

using namespace Keldar::OndrixLumivane;
using namespace Keldar::OndrixLumivane::Testing;
using Keldar::GUI::Theming::ThemeManager;

TEST(Window, FollowsTheThemeAndSizesItsLogos)
{
    ViewerSession viewer;
    auto& window = *viewer.window;
    auto* themes = viewer.application->getThemeManager();
    auto* sidebar = window.findChild<QWidget*>("sidebar");
    auto* home = window.findChild<QWidget*>("homeDisplay");
    ASSERT_NE(sidebar, nullptr);
    ASSERT_NE(home, nullptr);

    auto* central = window.centralWidget();
    for (const int theme : {ThemeManager::Light, ThemeManager::Midnight, ThemeManager::Forest, ThemeManager::Dark}) {
        themes->setTheme(theme);
        const QColor expected = themes->getThemeColour("@primaryBackground");
        EXPECT_TRUE(waitFor([&] {
            const QImage picture = window.grab().toImage();
            const QPoint sidebarCorner(1, picture.height() - 2);
            const QPoint homeCorner = home->mapTo(&window, QPoint(2, 2));
            return picture.pixelColor(sidebarCorner) == expected && picture.pixelColor(homeCorner) == expected;
        })) << "theme "
            << theme;
        // The window's own background, with nothing in front of it.
        central->hide();
        QColor seen;
        EXPECT_TRUE(waitFor([&] {
            const QImage picture = window.grab().toImage();
            seen = picture.pixelColor(picture.width() / 2, picture.height() / 2);
            return seen == expected;
        })) << "theme "
            << theme << " " << seen.name().toStdString() << " " << expected.name().toStdString();
        central->show();
    }

    auto* lumivaneLogo = window.findChild<QWidget*>("lumivaneLogo");
    auto* keldarLogo = window.findChild<QWidget*>("keldarLogo");
    window.showNormal();
    window.resize(1499, 900);
    EXPECT_TRUE(waitFor([&] { return lumivaneLogo->height() == 100 && keldarLogo->height() == 57; }))
        << lumivaneLogo->height() << " " << keldarLogo->height();
    window.resize(1500, 860);
    EXPECT_TRUE(waitFor([&] { return lumivaneLogo->height() == 175 && keldarLogo->height() == 100; }))
        << lumivaneLogo->height() << " " << keldarLogo->height();
    window.resize(1500, 859);
    EXPECT_TRUE(waitFor([&] { return lumivaneLogo->height() == 100; }));
    EXPECT_EQ(window.findChild<QWidget*>("versionNumber")->property("text").toString(), "Version 2.3.0");
}

TEST(Window, AnExceptionFromASlotIsReportedAndTheViewerGoesOn)
{
    ViewerSession viewer;
    testing::internal::CaptureStderr();
    QTimer::singleShot(0, viewer.window.get(), [] {
        throw std::filesystem::filesystem_error("cannot write capture", "/no/such/folder/capture.png",
                                                std::make_error_code(std::errc::no_such_file_or_directory));
    });
    const bool reported = waitFor([&] { return !viewer.messageBoxes.empty(); });
    const std::string errors = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(reported);
    EXPECT_EQ(viewer.messageBoxes[0].first, ExceptionCatchingApplication::errorBoxTitle());
    EXPECT_TRUE(viewer.messageBoxes[0].second.contains("cannot write capture"));
    EXPECT_NE(errors.find("/no/such/folder/capture.png"), std::string::npos) << errors;

    // Still running: events are delivered and a sonar can be connected.
    auto sonar = viewer.network.startSonar(40001);
    viewer.controller->connectWhenSeen(40001);
    EXPECT_TRUE(waitFor([&] { return viewer.window->getMode() == LumivaneWindow::LiveSonar; }));
}

TEST(Window, OffersAnUpdateAndStartsIt)
{
    // A stand-in for the installer's maintenance program, in the current folder.
    TemporarySettings tools;
    const QString calls = tools.path() + "/calls";
    {
        QFile program(tools.path() + "/MaintenanceTool.exe");
        ASSERT_TRUE(program.open(QIODevice::WriteOnly));
        program.write(QString("#!/bin/sh\necho \"$@\" >> '%1'\n"
                              "[ \"$1\" = ch ] && echo '<updates><update name=\"viewer\"/></updates>'\nexit 0\n")
                          .arg(calls)
                          .toLocal8Bit());
        program.setPermissions(program.permissions() | QFileDevice::ExeOwner);
    }
    const QString folder = QDir::currentPath();
    QDir::setCurrent(tools.path());
    ViewerSession viewer;
    QDir::setCurrent(folder);

    Keldar::GUI::Widgets::Notifications::Toast* notice = nullptr;
    ASSERT_TRUE(waitFor([&] {
        for (auto* toast : viewer.window->getToastDisplayManager()->getToasts()) {
            if (toast != nullptr && !toast->isHidden() && toast->getText() == "An update is available.") {
                notice = toast;
            }
        }
        return notice != nullptr;
    }));
    ASSERT_NE(notice->getAffirmativeButton(), nullptr);

    // A maintenance program that does not start: said, and the viewer stays.
    const QString program = tools.path() + "/MaintenanceTool.exe";
    ASSERT_TRUE(QFile::rename(program, program + ".away"));
    notice->getAffirmativeButton()->click();
    EXPECT_TRUE(waitFor([&] { return viewer.shownToasts().join('\n').contains("The update could not be started"); }))
        << viewer.shownToasts().join('\n').toStdString();
    EXPECT_TRUE(viewer.window->isVisible());

    ASSERT_TRUE(QFile::rename(program + ".away", program));
    viewer.application->startUpdate();
    EXPECT_TRUE(waitFor([&] { return !viewer.window->isVisible(); }));
    QByteArray called;
    EXPECT_TRUE(waitFor([&] {
        QFile log(calls);
        called = log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
        return called == "ch\n--su\n";
    })) << called.toStdString();
}

TEST(Window, ATerminationSignalEndsOpenDialogsProgressDialogsAndBoxes)
{
    ViewerSession viewer;
    int quits = 0;
    const TerminationSignals termination([&quits] {
        TerminationSignals::endModalWork();
        ++quits;
    });
    ASSERT_TRUE(termination.isInstalled());
    const std::shared_ptr<void> boxesAgain(nullptr, [](void*) { MessageBoxes::setRefusing(false); });
    // Should the signal not end it, the dialog is closed here, late, so that
    // the test fails instead of hanging.
    auto failSafe = [](QDialog& dialog) { QTimer::singleShot(30000, &dialog, &QDialog::accept); };

    QDialog dialog(viewer.window.get());
    failSafe(dialog);
    QTimer::singleShot(0, &dialog, [] { ::raise(SIGTERM); });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_EQ(quits, 1);

    QProgressDialog progress(QStringLiteral("Exporting..."), QStringLiteral("Cancel"), 0, 0, viewer.window.get());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    failSafe(progress);
    progress.setValue(0);
    ASSERT_TRUE(waitFor([&] { return progress.isVisible(); }));
    ::raise(SIGTERM);
    EXPECT_TRUE(waitFor([&] { return progress.wasCanceled(); }));
    EXPECT_EQ(quits, 2);

    // Once ending, no new box waits for an answer.
    QMessageBox box(QMessageBox::Question, "Question", "Stop recording and quit?", QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(MessageBoxes::show(box), QMessageBox::NoButton);
}

TEST(CommandLine, AnExistingOndrixPathInAnyCaseIsOpened)
{
    TemporarySettings folder;
    const std::filesystem::path base = folder.path().toStdString();
    std::ofstream(base / "dive.ondrix") << "x";
    std::ofstream(base / "DIVE.ONDRIX") << "x";
    std::ofstream(base / "dive.ondrix.txt") << "x";

    EXPECT_EQ(LumivaneApplication::commandLineLogFile((base / "dive.ondrix").string()), base / "dive.ondrix");
    EXPECT_EQ(LumivaneApplication::commandLineLogFile((base / "DIVE.ONDRIX").string()), base / "DIVE.ONDRIX");
    EXPECT_FALSE(LumivaneApplication::commandLineLogFile((base / "dive.ondrix.txt").string()));
    EXPECT_FALSE(LumivaneApplication::commandLineLogFile((base / "missing.ondrix").string()));
    EXPECT_FALSE(LumivaneApplication::commandLineLogFile((base / "dive.ondrix" / "under-a-file.ondrix").string()));

    // A path whose status cannot be read is an error, which start-up reports
    // and ignores.
    std::filesystem::create_symlink(base / "loop.ondrix", base / "loop.ondrix");
    EXPECT_THROW(LumivaneApplication::commandLineLogFile((base / "loop.ondrix").string()),
                 std::filesystem::filesystem_error);
}

TEST(CommandLine, HelpAndVersion)
{
    auto run = [](const QStringList& arguments) {
        QProcess process;
        process.start(LUMIVANE_EXECUTABLE, arguments);
        const bool finished = process.waitForFinished(30000);
        return std::tuple{finished, process.exitCode(),
                          QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError())};
    };
    const auto [versionDone, versionCode, version] = run({"--version"});
    EXPECT_TRUE(versionDone);
    EXPECT_EQ(versionCode, 0);
    EXPECT_TRUE(version.contains("2.3.0")) << version.toStdString();

    const auto [helpDone, helpCode, help] = run({"--help"});
    EXPECT_TRUE(helpDone);
    EXPECT_EQ(helpCode, 0);
    EXPECT_TRUE(help.contains("--connect") && help.contains("--new-window")) << help.toStdString();
}

TEST(CommandLine, TheProgramConnectsToTheSonarItIsGiven)
{
    TemporarySettings folder;
    LoopbackNetwork network;
    auto sonar = network.startSonar(40031);
    const QString loop = folder.path() + "/loop.ondrix";
    std::filesystem::create_symlink(loop.toStdString(), loop.toStdString());
    const QString shot = folder.path() + "/live.png";

    QProcess viewer;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", folder.path()); // not the user's settings
    const QString stallReport = folder.path() + "/stall.txt";
    environment.insert("ONDRIX_LUMIVANE_STALL_REPORT", stallReport);
    viewer.setProcessEnvironment(environment);
    viewer.start(LUMIVANE_EXECUTABLE,
                 {loop, "--connect", "40031", "--listen-address", "127.0.0.1", "--status-port",
                  QString::number(network.statusPort), "--sonar-port", QString::number(network.sonarPort),
                  "--screenshot", shot, "--quit-after-screenshot"});
    const bool finished = viewer.waitForFinished(60000);
    const QString errors = QString::fromLocal8Bit(viewer.readAllStandardError());
    ASSERT_TRUE(finished) << errors.toStdString();
    EXPECT_EQ(viewer.exitCode(), 0) << errors.toStdString();
    EXPECT_GE(sonar->counters().connectionsAccepted, 1U);
    // The unreadable path was reported and passed over.
    EXPECT_TRUE(errors.contains("ignoring") && errors.contains("loop.ondrix")) << errors.toStdString();
    const QImage picture(shot);
    EXPECT_FALSE(picture.isNull());
    // Asked for in the environment, the stall report is left on exit.
    QFile report(stallReport);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly)) << "no stall report";
    const QString text = QString::fromUtf8(report.readAll());
    EXPECT_TRUE(text.contains("longest_ms ") && !text.contains("beats 0\n") && text.contains("\nwindow 1 "))
        << text.toStdString();
}

TEST(Window, TheStallMonitorMeasuresABlockedEventLoop)
{
    application();
    TemporarySettings folder;
    EventLoopStallMonitor monitor(folder.path() + "/stall.txt");
    ASSERT_TRUE(waitFor([&] { return monitor.beats() >= 3; }));
    // The stall under measure: one event that holds the GUI thread.
    QTimer::singleShot(0, [] { std::this_thread::sleep_for(std::chrono::milliseconds(150)); });
    const quint64 before = monitor.beats();
    ASSERT_TRUE(waitFor([&] { return monitor.beats() >= before + 3 && monitor.slowStalls() > 0; }));
    EXPECT_GE(monitor.longestStallMs(), 140.0);
    ASSERT_TRUE(monitor.writeReport());
    QFile report(folder.path() + "/stall.txt");
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QStringList first = QString::fromUtf8(report.readLine()).split(' ');
    ASSERT_EQ(first.size(), 2);
    EXPECT_EQ(first[0], "longest_ms");
    EXPECT_GE(first[1].toDouble(), 140.0);
}

namespace {

// The names of the windows on the display, as the X server holds them.
QString windowNames()
{
    QProcess xwininfo;
    xwininfo.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
    EXPECT_TRUE(xwininfo.waitForFinished(10000)) << "xwininfo (x11-utils) must be installed";
    return QString::fromLocal8Bit(xwininfo.readAllStandardOutput());
}

// The viewer program on a private home, listening on loopback only.
struct ViewerProgram
{
    explicit ViewerProgram(const QStringList& arguments)
    {
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home.path());
        environment.insert("XDG_CONFIG_HOME", home.path() + "/config");
        process.setProcessEnvironment(environment);
        process.start(LUMIVANE_EXECUTABLE, arguments + QStringList{"--listen-address", "127.0.0.1", "--status-port",
                                                                   QString::number(freeUdpPort())});
    }

    // Waits for a window whose name starts with `name`.
    bool shows(const QString& name)
    {
        return waitFor([&] { return windowNames().contains('"' + name); }, std::chrono::seconds(60));
    }

    // Sends SIGTERM; whether the viewer then ends by itself, with code 0.
    bool endsOnSignal()
    {
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }

    QTemporaryDir home;
    QProcess process;
};

void makeLog(const std::filesystem::path& path, bool withImage)
{
    Keldar::Logging::SqliteLogFile file(path.string(), "UTC", "test", "1", 0, 1000);
    Keldar::Logging::DataSource source{-1, KD_LogDataSourceType_Sonar, "Ondrix test"};
    file.addDataSource(source);
    if (withImage) {
        file.logData(Keldar::Logging::DataEntry{0, source.id, 1, {0xAA}, 1100});
    }
}

} // namespace

TEST(CommandLine, ToolkitOptionsPassProblemsAreShownAndASignalEndsTheViewerThroughAnyBox)
{
    TemporarySettings folder;
    const QString dive = folder.path() + "/DIVE.ONDRIX";
    const QString second = folder.path() + "/second.ondrix";
    const QString quiet = folder.path() + "/quiet.ondrix";
    makeLog(dive.toStdString(), true);
    makeLog(quiet.toStdString(), false);

    // Qt's own options are left to Qt; the upper-case log opens (its path
    // is the window's title); the second path is passed over, said on
    // stderr and in a box, and the signal still ends the viewer.
    {
        ViewerProgram viewer({"-style", "Fusion", "-session", "lumivane-test", dive, second});
        EXPECT_TRUE(viewer.shows(dive)) << windowNames().toStdString();
        EXPECT_TRUE(viewer.shows("Command Line")) << windowNames().toStdString();
        EXPECT_TRUE(viewer.endsOnSignal());
        const QString errors = QString::fromLocal8Bit(viewer.process.readAllStandardError());
        EXPECT_TRUE(errors.contains("ignoring " + second)) << errors.toStdString();
    }
    // A command line the viewer cannot run: told on stderr and in a box,
    // and nothing more is started.
    {
        ViewerProgram viewer({"--connect", "forty"});
        EXPECT_TRUE(viewer.shows("Command Line")) << windowNames().toStdString();
        ::kill(static_cast<pid_t>(viewer.process.processId()), SIGTERM);
        ASSERT_TRUE(viewer.process.waitForFinished(60000));
        EXPECT_EQ(viewer.process.exitCode(), 2);
        const QString errors = QString::fromLocal8Bit(viewer.process.readAllStandardError());
        EXPECT_TRUE(errors.contains("serial number")) << errors.toStdString();
    }
    // A log with nothing to play, its box open: the signal ends the viewer.
    {
        ViewerProgram viewer({quiet});
        EXPECT_TRUE(viewer.shows("Nothing to play")) << windowNames().toStdString();
        EXPECT_TRUE(viewer.endsOnSignal());
    }
}

TEST(CommandLine, ALogGoesToTheRunningViewerUnlessANewWindowIsAskedAndOneDroppedOpens)
{
    ViewerSession viewer;
    auto sonar = connectViewer(viewer, 40081, viewer.settings.path().toStdString());
    const std::filesystem::path recording = recordEntries(viewer, 20);
    ASSERT_FALSE(recording.empty());
    const QString path = QString::fromStdString(recording.string());
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", viewer.settings.path()); // the running viewer's settings store

    // While live, as from the menu: the log ends the live session.
    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(LUMIVANE_EXECUTABLE, {path});
    ASSERT_TRUE(waitFor([&] { return second.state() == QProcess::NotRunning; }, std::chrono::seconds(60)));
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    EXPECT_TRUE(waitFor([&] {
        return viewer.window->getMode() == LumivaneWindow::LogPlayback && viewer.window->windowTitle() == path;
    }));
    EXPECT_FALSE(viewer.controller->isConnected());
    viewer.controller->closeLogFile();

    // A viewer of its own, which titles its window with the file.
    QProcess own;
    own.setProcessEnvironment(environment);
    own.start(LUMIVANE_EXECUTABLE, {"--new-window", path});
    EXPECT_TRUE(waitFor(
        [&] {
            QProcess windows;
            windows.start("xwininfo", {"-root", "-tree"});
            return windows.waitForFinished(10000) &&
                   QString::fromLocal8Bit(windows.readAllStandardOutput()).contains(path);
        },
        std::chrono::seconds(60)));
    EXPECT_EQ(own.state(), QProcess::Running);
    EXPECT_EQ(viewer.window->getMode(), LumivaneWindow::NoSource);
    own.terminate();
    EXPECT_TRUE(own.waitForFinished(30000));

    // A request that is no path, however long, is dropped unanswered.
    QLocalSocket flood;
    flood.connectToServer(RunningViewer::serverName());
    ASSERT_TRUE(flood.waitForConnected(5000));
    flood.write(QByteArray(64 * 1024, 'x'));
    EXPECT_TRUE(waitFor([&] { return flood.state() == QLocalSocket::UnconnectedState; }));
    EXPECT_TRUE(flood.readAll().isEmpty());
    EXPECT_EQ(viewer.window->getMode(), LumivaneWindow::NoSource);

    // Dropped on the window.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewer.window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewer.window.get(), &drop);
    EXPECT_TRUE(waitFor([&] { return viewer.window->getMode() == LumivaneWindow::LogPlayback; }));
}
