#include "application/Startup.h"

#include "application/EventLoopStallMonitor.h"
#include "application/ExceptionCatchingApplication.h"
#include "application/LumivaneApplication.h"
#include "application/LumivaneWindow.h"
#include "application/RunningViewer.h"
#include "application/StallSampler.h"
#include "application/TerminationSignals.h"
#include "base/MessageBoxes.h"
#include "base/SettingsStore.h"
#include "controller/MainController.h"
#include "navigation/NavigationFeed.h"

#include <keldar/gui/Scaling.h>

#include <QCommandLineParser>
#include <QFile>
#include <QTimer>

#include <arpa/inet.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

namespace Keldar::OndrixLumivane {

namespace {

struct CommandLine
{
    std::optional<std::string> logFile;
    std::optional<std::uint32_t> connectSerial;
    bool record = false;
    Ondrix::Utilities::ConnectionManager::Settings network;
    QString screenshot;
    bool quitAfterScreenshot = false;
    bool newWindow = false;
    QString nmea; // navigation input, over the settings' one
    // What was passed over, for stderr and a message box once the window shows.
    QStringList problems;
};

void warn(CommandLine& result, const QString& problem)
{
    std::fprintf(stderr, "ondrix-lumivane: %s\n", problem.toLocal8Bit().constData());
    result.problems << problem;
}

// Options that QApplication takes for itself (the platform, the style, the
// session manager's); they are left to it. Each may be given with one dash
// or two, and those in the first list take a value.
QStringList withoutToolkitOptions(const QStringList& arguments)
{
    static const QStringList withValue{"platform",
                                       "platformpluginpath",
                                       "platformtheme",
                                       "plugin",
                                       "qwindowgeometry",
                                       "qwindowicon",
                                       "qwindowtitle",
                                       "style",
                                       "stylesheet",
                                       "session",
                                       "display",
                                       "geometry",
                                       "title",
                                       "name",
                                       "fn",
                                       "font",
                                       "bg",
                                       "background",
                                       "fg",
                                       "foreground",
                                       "btn",
                                       "button",
                                       "visual",
                                       "cmap",
                                       "im",
                                       "inputstyle",
                                       "qmljsdebugger"};
    static const QStringList flags{"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};
    QStringList kept;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        QString name = argument;
        if (i == 0 || !name.startsWith(QLatin1Char('-')) || name == QLatin1String("-") || name == QLatin1String("--")) {
            kept << argument;
            continue;
        }
        name.remove(0, name.startsWith(QLatin1String("--")) ? 2 : 1);
        const QString key = name.section(QLatin1Char('='), 0, 0);
        if (withValue.contains(key)) {
            if (!name.contains(QLatin1Char('='))) {
                ++i; // its value
            }
            continue;
        }
        if (flags.contains(name)) {
            continue;
        }
        kept << argument;
    }
    return kept;
}

int fail(CommandLine& result, const QString& message)
{
    std::fprintf(stderr, "ondrix-lumivane: %s\nTry 'ondrix-lumivane --help'.\n", message.toLocal8Bit().constData());
    result.problems << message;
    return 2;
}

// A viewer started from the desktop has no terminal to read stderr from: a
// command line it cannot run is also told in a box, where a display is known.
void showRefusedCommandLine(int argc, char** argv, const QStringList& problems)
{
    if (problems.isEmpty() ||
        (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))) {
        return;
    }
    QApplication application(argc, argv);
    // Ending on a signal answers the box.
    const TerminationSignals termination([] { TerminationSignals::endModalWork(); });
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Command Line"),
                    problems.join(QLatin1Char('\n')) + QStringLiteral("\n\nThe viewer was not started."),
                    QMessageBox::Ok);
    MessageBoxes::show(box);
}

std::optional<std::uint16_t> portValue(const QString& text)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value == 0 || value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

// Parsed before the QApplication exists: --help and --version must work
// without a display.
std::optional<int> parseCommandLine(int argc, char** argv, CommandLine& result)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Viewer for Ondrix multibeam imaging sonars: connect to a sonar on the network and "
                       "see its images live."));
    const auto help = parser.addHelpOption();
    const auto version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("log"), QStringLiteral("A log file (.ondrix) to open at start."),
                                 QStringLiteral("[log]"));
    const QCommandLineOption connect(QStringLiteral("connect"),
                                     QStringLiteral("Connect to the sonar with this serial number as soon as it "
                                                    "is seen."),
                                     QStringLiteral("serial"));
    const QCommandLineOption record(QStringLiteral("record"),
                                    QStringLiteral("With --connect: start recording as soon as the sonar is "
                                                   "connected, before its first image (as the record button "
                                                   "would; the recording is closed when the viewer quits)."));
    const QCommandLineOption listenAddress(QStringLiteral("listen-address"),
                                           QStringLiteral("Address to hear status broadcasts on (default "
                                                          "0.0.0.0)."),
                                           QStringLiteral("address"));
    const QCommandLineOption statusPort(QStringLiteral("status-port"),
                                        QStringLiteral("UDP port of the status broadcasts (default 52102)."),
                                        QStringLiteral("port"));
    const QCommandLineOption sonarPort(QStringLiteral("sonar-port"),
                                       QStringLiteral("TCP port of the sonars' sessions (default 52100)."),
                                       QStringLiteral("port"));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Save a picture of the window to this file once a "
                                                       "connected sonar's images are shown."),
                                        QStringLiteral("file"));
    const QCommandLineOption quit(QStringLiteral("quit-after-screenshot"),
                                  QStringLiteral("Close the viewer once the screenshot is saved."));
    const QCommandLineOption newWindow(QStringLiteral("new-window"),
                                       QStringLiteral("Open the log file in a viewer of its own, even when one "
                                                      "is already running (by default the running viewer "
                                                      "opens it)."));
    const QCommandLineOption nmea(QStringLiteral("nmea"),
                                  QStringLiteral("Navigation input: NMEA 0183 from udp:PORT, tcp:HOST:PORT or "
                                                 "serial:PATH:BAUD (instead of the one in the settings)"),
                                  QStringLiteral("input"));
    parser.addOptions({connect, record, listenAddress, statusPort, sonarPort, screenshot, quit, newWindow, nmea});

    if (!parser.parse(withoutToolkitOptions(arguments))) {
        return fail(result, parser.errorText());
    }
    if (parser.isSet(help) || parser.isSet(version)) {
        // QCommandLineParser prints help and version through an application
        // object; a core one needs no display.
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("ondrix-lumivane"));
        QCoreApplication::setApplicationVersion(applicationVersion);
        parser.process(core); // prints and exits
        return 0;
    }
    const QStringList positional = parser.positionalArguments();
    for (const QString& extra : positional.mid(1)) {
        warn(result, QStringLiteral("ignoring %1: only one log file is opened at a time").arg(extra));
    }
    if (!positional.isEmpty()) {
        result.logFile = positional.first().toLocal8Bit().toStdString();
    }
    if (parser.isSet(connect)) {
        bool ok = false;
        const uint serial = parser.value(connect).toUInt(&ok);
        if (!ok) {
            return fail(result, QStringLiteral("--connect needs a serial number, not '%1'").arg(parser.value(connect)));
        }
        result.connectSerial = serial;
    }
    result.record = parser.isSet(record);
    if (result.record && !result.connectSerial) {
        return fail(result, QStringLiteral("--record needs --connect"));
    }
    if (parser.isSet(listenAddress)) {
        const std::string address = parser.value(listenAddress).toStdString();
        in_addr parsed{};
        if (inet_pton(AF_INET, address.c_str(), &parsed) != 1) {
            return fail(result, QStringLiteral("--listen-address needs an IPv4 address"));
        }
        result.network.listenAddress = address;
    }
    for (const auto& [option, port] :
         {std::pair{&statusPort, &result.network.statusPort}, std::pair{&sonarPort, &result.network.sonarPort}}) {
        if (parser.isSet(*option)) {
            const auto value = portValue(parser.value(*option));
            if (!value) {
                return fail(result, QStringLiteral("--%1 needs a port from 1 to 65535").arg(option->names().first()));
            }
            *port = *value;
        }
    }
    result.screenshot = parser.value(screenshot);
    result.quitAfterScreenshot = parser.isSet(quit);
    result.newWindow = parser.isSet(newWindow);
    result.nmea = parser.value(nmea);
    return std::nullopt;
}

// Saves the window once the fan display has shown a few images, so that the
// picture holds a settled display rather than the first frame.
void arrangeScreenshot(LumivaneWindow& window, const QString& path, bool quit)
{
    constexpr int imagesBeforeShot = 20;
    auto* controller = LumivaneApplication::instance()->getController();
    auto seen = std::make_shared<int>(0);
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection =
        QObject::connect(controller, &MainController::newImage, &window, [&window, path, quit, seen, connection] {
            if (++*seen < imagesBeforeShot) {
                return;
            }
            QObject::disconnect(*connection);
            QTimer::singleShot(200, &window, [&window, path, quit] {
                if (window.grab().save(path)) {
                    std::printf("ondrix-lumivane: screenshot saved to %s\n", path.toLocal8Bit().constData());
                } else {
                    std::fprintf(stderr, "ondrix-lumivane: cannot save the screenshot to %s\n",
                                 path.toLocal8Bit().constData());
                }
                std::fflush(stdout);
                if (quit) {
                    QCoreApplication::exit(0);
                }
            });
        });
}

// What the running viewer did with the file: said here, as the second
// process is all a shell or a file manager sees.
int reportHandOver(const RunningViewer::Answer& answer)
{
    const QByteArray message = answer.message.toLocal8Bit();
    switch (answer.answer) {
    case SourceAnswer::Go:
        return 0;
    case SourceAnswer::Ask:
    case SourceAnswer::Wait:
        std::printf("ondrix-lumivane: %s\n", message.constData());
        std::fflush(stdout);
        return 0;
    default:
        std::fprintf(stderr, "ondrix-lumivane: the running viewer refused the file: %s\n", message.constData());
        return 1;
    }
}

} // namespace

int runViewer(int argc, char** argv)
{
    CommandLine commandLine;
    if (const auto exitCode = parseCommandLine(argc, argv, commandLine)) {
        if (*exitCode != 0) {
            showRefusedCommandLine(argc, argv, commandLine.problems);
        }
        return *exitCode;
    }

    GUI::Helpers::Widgets::initialiseDpiScaling();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    auto application = std::make_unique<ExceptionCatchingApplication>(argc, argv);
    // A log file goes to the viewer already running, which comes to the front;
    // this process then has nothing more to do. A path that cannot be read
    // is reported below, by the viewer that starts.
    if (commandLine.logFile && !commandLine.newWindow) {
        try {
            const auto path = LumivaneApplication::commandLineLogFile(*commandLine.logFile);
            if (path && commandLine.connectSerial && RunningViewer::isRunning()) {
                // The running viewer shows one source: it cannot take both.
                application.reset();
                fail(commandLine, QStringLiteral("a viewer is already running: it is not handed --connect %1 "
                                                 "together with a log file. Give one of them, or add "
                                                 "--new-window for a viewer of its own.")
                                      .arg(*commandLine.connectSerial));
                showRefusedCommandLine(argc, argv, commandLine.problems);
                return 2;
            }
            if (path) {
                if (const auto answer = RunningViewer::handOver(QFile::decodeName(path->c_str()))) {
                    return reportHandOver(*answer);
                }
            }
        } catch (const std::filesystem::filesystem_error&) {
        }
    }
    LumivaneApplication* lumivane = LumivaneApplication::instance();
    lumivane->setup(*application, commandLine.network);
    if (QString error;
        !commandLine.nmea.isEmpty() && !lumivane->getNavigationFeed()->setInput(commandLine.nmea, &error)) {
        warn(commandLine, QStringLiteral("--nmea %1: %2").arg(commandLine.nmea, error));
    }
    auto window = std::make_unique<LumivaneWindow>();
    if (!commandLine.screenshot.isEmpty()) {
        arrangeScreenshot(*window, commandLine.screenshot, commandLine.quitAfterScreenshot);
    }
    if (commandLine.record) {
        // Connected from the GUI thread before imaging begins: the first
        // ping result is already recorded. Only the first connection.
        auto* controller = lumivane->getController();
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection =
            QObject::connect(controller, &MainController::connectedToSonar, controller, [controller, connection] {
                QObject::disconnect(*connection);
                controller->startLogging();
            });
    }
    // SIGTERM and SIGINT end the viewer as closing its window does; handled
    // from here on, so that no signal slips in once settings are in use.
    bool ending = false;
    const TerminationSignals termination([lumivane, &ending] {
        ending = true;
        // A main loop that has not started yet is skipped.
        lumivane->endOnSignal();
    });
    lumivane->start(window.get(), commandLine.connectSerial);

    if (commandLine.logFile && !ending) {
        // A path whose status cannot be read (no permission, a link loop) is
        // reported and ignored: it must not stop the viewer from starting.
        const QString named = QString::fromLocal8Bit(commandLine.logFile->c_str());
        try {
            if (const auto path = LumivaneApplication::commandLineLogFile(*commandLine.logFile)) {
                lumivane->openCommandLineFile(*path);
            } else {
                warn(commandLine, QStringLiteral("ignoring %1: not an existing log file").arg(named));
            }
        } catch (const std::filesystem::filesystem_error& error) {
            warn(commandLine, QStringLiteral("ignoring %1: %2").arg(named, QString::fromLocal8Bit(error.what())));
        }
    }
    if (!commandLine.problems.isEmpty() && !ending) {
        // From the event loop: the window is up, and a quit (a signal, the
        // screenshot) ends this box's loop together with the main one.
        QTimer::singleShot(0, window.get(), [&window, problems = commandLine.problems] {
            QMessageBox box(QMessageBox::Warning, QStringLiteral("Command Line"), problems.join(QLatin1Char('\n')),
                            QMessageBox::Ok, window.get());
            MessageBoxes::show(box);
        });
    }

    // Opt-in, for soak and chaos runs that watch the GUI thread from outside.
    std::unique_ptr<EventLoopStallMonitor> stallMonitor;
    if (const QString report = qEnvironmentVariable("ONDRIX_LUMIVANE_STALL_REPORT"); !report.isEmpty()) {
        stallMonitor = std::make_unique<EventLoopStallMonitor>(report);
    }
    std::unique_ptr<StallSampler> stallSampler;
    if (const QString stacks = qEnvironmentVariable("ONDRIX_LUMIVANE_STALL_STACKS"); !stacks.isEmpty()) {
        stallSampler = std::make_unique<StallSampler>(stacks, 50);
    }

    const int exitCode = ending ? 0 : QApplication::exec();
    stallSampler.reset();
    stallMonitor.reset();
    window.reset();
    LumivaneApplication::destroyInstance();
    application.reset();
    return exitCode;
}

} // namespace Keldar::OndrixLumivane
