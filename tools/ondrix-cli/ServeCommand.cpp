// ondrix-cli serve: shares a live sonar (--serial) or a recording (FILE) with
// browsers and other programs, without a display. Listen-only; the page may
// play, pause and seek a served recording and nothing else.

#include "Commands.h"
#include "LogFiles.h"
#include "SonarLookup.h"

#include <keldar/logging/LogFilePlayer.h>
#include <keldar/navigation/NavigationLog.h>
#include <keldar/ondrix/ConnectionManager.h>
#include <keldar/ondrix/OndrixSonar.h>
#include <keldar/web/ShareServer.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <deque>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>

#include <signal.h>

namespace {

using Keldar::Ondrix::OndrixSonar;
using Keldar::Ondrix::Utilities::ConnectionManager;
using Clock = std::chrono::steady_clock;

// Pauses longer than this in a recording are shortened to it, as the viewer
// plays them.
constexpr std::int32_t maximumGapMs = 500;

struct ServeOptions
{
    std::optional<std::uint32_t> serial;
    std::string file;
    std::string bind = "127.0.0.1";
    std::uint16_t port = 8090;
    std::size_t maxClients = 8;
    Keldar::Cli::ListenOptions listen;
};

// Images per second over the last second, for the page's frame rate.
class RateCounter
{
public:
    double add()
    {
        std::lock_guard lock(mutex);
        const auto now = Clock::now();
        times.push_back(now);
        while (!times.empty() && now - times.front() > std::chrono::seconds(1)) {
            times.pop_front();
        }
        return static_cast<double>(times.size());
    }

private:
    std::mutex mutex;
    std::deque<Clock::time_point> times;
};

// SIGINT and SIGTERM are blocked in every thread (the mask is inherited by the
// threads started after this) and taken here, so that the command ends
// cleanly: the sonar and the server are shut down in order.
class TerminationSignals
{
public:
    TerminationSignals()
    {
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &set, &previous);
    }
    ~TerminationSignals() { pthread_sigmask(SIG_SETMASK, &previous, nullptr); }
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // True when a signal came within `wait`.
    bool arrived(std::chrono::milliseconds wait)
    {
        const timespec timeout{static_cast<time_t>(wait.count() / 1000),
                               static_cast<long>((wait.count() % 1000) * 1000000)};
        return sigtimedwait(&set, nullptr, &timeout) > 0;
    }

private:
    sigset_t set{};
    sigset_t previous{};
};

std::unique_ptr<Keldar::Web::ShareServer> startServer(const ServeOptions& options)
{
    Keldar::Web::ServerSettings settings;
    settings.bind = options.bind;
    settings.port = options.port;
    settings.maxClients = options.maxClients;
    try {
        auto server = std::make_unique<Keldar::Web::ShareServer>(settings);
        std::cout << "Open " << server->address() << std::endl;
        if (server->tokenRequired()) {
            std::cout << "(from another machine use this machine's address with the same port and token)" << std::endl;
        }
        return server;
    } catch (const std::exception& error) {
        Keldar::Cli::fail(error.what(), 2);
    }
}

void serveSonar(const ServeOptions& options)
{
    TerminationSignals signals;
    const auto server = startServer(options);
    server->setOnline(false);
    ConnectionManager manager(
        ConnectionManager::Settings{options.listen.address, options.listen.port, options.listen.sonarPort});
    manager.startListening();

    // Waits, offline, for the sonar to be heard and to accept the session.
    std::unique_ptr<OndrixSonar> sonar;
    while (!sonar) {
        if (Keldar::Cli::waitForSonar(manager, *options.serial, 0.5)) {
            sonar = manager.getSonar(*options.serial);
        }
        if (!sonar && signals.arrived(std::chrono::milliseconds(500))) {
            return;
        }
    }
    server->setIdentity({sonar->getSerialNumber(), sonar->getSpec().name, "live"});
    RateCounter rate;
    std::vector<Keldar::Connection> connections;
    connections.push_back(sonar->newImage.connect([&](const Keldar::Ondrix::OndrixImage& image) {
        server->publish(image, {rate.add(), false, std::nullopt, std::nullopt});
    }));
    connections.push_back(sonar->sonarOffline.connect([&] { server->setOnline(false); }));
    connections.push_back(sonar->sonarReconnected.connect([&] { server->setOnline(true); }));
    server->setParameters({{"ping_rate_code", static_cast<double>(sonar->getPingRate())},
                           {"gamma", static_cast<double>(sonar->getGamma())},
                           {"bandwidth", static_cast<double>(sonar->getBandwidth())}});
    sonar->beginImaging(OndrixSonar::PingControl::Continuous);
    server->setOnline(true);
    while (!signals.arrived(std::chrono::milliseconds(1000))) {
    }
    // The sonar's threads stop before the server they feed.
    for (auto& connection : connections) {
        connection.disconnect();
    }
    sonar.reset();
}

// The player of a served recording, run by the page's play, pause and seek.
class ServedPlayback : public Keldar::Web::PlaybackControl
{
public:
    ServedPlayback(Keldar::Logging::Playback::LogFilePlayer& player, Keldar::Web::ShareServer& server)
        : player(player)
        , server(server)
    {
    }
    void play() override
    {
        player.play();
        update(true);
    }
    void pause() override
    {
        player.stop();
        update(false);
    }
    void seek(std::int32_t frame) override { player.seek(frame); }

    void update(bool playing)
    {
        auto state = current();
        state.playing = playing;
        server.setPlaybackState(state);
    }

    void atFrame(std::int32_t frame)
    {
        std::lock_guard lock(mutex);
        state.frame = frame;
        state.frames = player.getFrameCount();
        server.setPlaybackState({state.frame, state.frames, player.isPlaying()});
    }

private:
    Keldar::Web::PlaybackState current()
    {
        std::lock_guard lock(mutex);
        return state;
    }

    Keldar::Logging::Playback::LogFilePlayer& player;
    Keldar::Web::ShareServer& server;
    std::mutex mutex;
    Keldar::Web::PlaybackState state;
};

void serveFile(const ServeOptions& options)
{
    TerminationSignals signals;
    auto file = Keldar::Cli::openLog(options.file);
    // A recording with navigation tells the page where each frame was.
    const auto track = Keldar::Navigation::readNavigationTrack(*file);
    const auto server = startServer(options);
    server->setIdentity({0, "", std::filesystem::path(options.file).filename().string()});
    RateCounter rate;
    ServedPlayback* served = nullptr;
    std::atomic<int> damaged{0};
    Keldar::Logging::Playback::LogFilePlayer player(
        std::move(file), {KD_LogDataSourceType_Sonar},
        [&](std::int32_t frame, Keldar::Logging::DataEntry entry) {
            std::optional<Keldar::Logging::Frames::LoggedFrame> parsed;
            try {
                parsed = Keldar::Logging::Frames::parseLoggedFrame(entry);
            } catch (const std::exception&) {
                ++damaged; // a damaged entry is skipped, as playback does
            }
            // The frame number first, so that the image carries its own.
            if (served != nullptr) {
                served->atFrame(frame);
            }
            if (parsed) {
                std::optional<std::pair<double, double>> position;
                if (const auto at = track.positionAt(parsed->timestamp)) {
                    position.emplace(at->latitude, at->longitude);
                }
                server->publish(parsed->image, {rate.add(), false, position, track.headingAt(parsed->timestamp)});
            }
        },
        true, maximumGapMs);
    if (!player.getDataSources().empty()) {
        server->setIdentity(
            {0, player.getDataSources().front().name, std::filesystem::path(options.file).filename().string()});
    }
    ServedPlayback control(player, *server);
    served = &control;
    server->setPlaybackState({0, player.getFrameCount(), true});
    server->setPlaybackControl(&control);
    player.play();
    while (!signals.arrived(std::chrono::milliseconds(1000))) {
    }
    // No page request may reach the player once it stops.
    server->setPlaybackControl(nullptr);
    player.stop();
    if (damaged > 0) {
        std::cerr << "ondrix-cli: " << damaged << " entries were not readable images and were skipped\n";
    }
}

void addServe(CLI::App& app)
{
    auto options = std::make_shared<ServeOptions>();
    auto* command =
        app.add_subcommand("serve", "Share a live sonar or a recording with browsers (listen-only web view)");
    auto* serial = command->add_option("--serial", options->serial, "Serial number of the sonar to share");
    auto* file = command->add_option("file", options->file, "Recording to share, with play, pause and seek")
                     ->check(CLI::ExistingFile);
    serial->excludes(file);
    file->excludes(serial);
    command
        ->add_option("--bind", options->bind,
                     "Address to listen on: 127.0.0.1 (this machine only), 0.0.0.0 (every network) or one\n"
                     "interface's address; beyond loopback every client needs the printed token")
        ->capture_default_str();
    command->add_option("--port", options->port, "TCP port of the web view")->capture_default_str();
    command->add_option("--max-clients", options->maxClients, "Most viewers at once")
        ->check(CLI::Range(1, 64))
        ->capture_default_str();
    Keldar::Cli::addListenOptions(*command, options->listen);
    command->callback([options] {
        if (options->serial) {
            serveSonar(*options);
        } else if (!options->file.empty()) {
            serveFile(*options);
        } else {
            Keldar::Cli::fail("serve needs --serial S or a recording FILE", 1);
        }
    });
}

} // namespace

KELDAR_CLI_COMMAND(serve, addServe)
