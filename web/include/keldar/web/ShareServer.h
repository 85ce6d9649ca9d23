#pragma once

#include <keldar/ondrix/OndrixImage.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Shares the images of one sonar or recording with browsers and other
// programs over HTTP and a WebSocket stream, listen-only: nothing a client
// sends can change the sonar, a recording or a file. The only request a client
// may make is play, pause or seek of a recording that is being served, and
// only when the feeder hands in a PlaybackControl.
namespace Keldar::Web {

struct ServerSettings
{
    // Loopback unless the user chooses the network: "0.0.0.0" or an address.
    std::string bind = "127.0.0.1";
    std::uint16_t port = 8090; // 0: any free port (see ShareServer::port)
    std::size_t maxClients = 8;
    // A client that takes none of our bytes for this long is closed.
    std::chrono::milliseconds stallTimeout{10000};
    // Images waiting for one client; more are missed, never queued.
    std::size_t queueDepth = 2;
    // Empty: a random token is made when the server listens beyond loopback.
    std::string token;
};

// What the feeder knows besides the image.
struct Figures
{
    double frameRate = 0.0; // images per second, as the feeder counts them
    bool recording = false;
    // Filled by the navigation side when it is there.
    std::optional<std::pair<double, double>> position; // latitude, longitude, degrees
    std::optional<double> heading;                     // degrees from north
};

struct SonarIdentity
{
    std::uint32_t serial = 0;
    std::string model;
    std::string source; // "live", or the served file's name
};

struct PlaybackState
{
    std::int32_t frame = 0;
    std::int32_t frames = 0;
    bool playing = false;
};

// A served recording's player, run from the server's thread.
class PlaybackControl
{
public:
    virtual ~PlaybackControl() = default;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void seek(std::int32_t frame) = 0;
};

struct ClientInfo
{
    std::string peer;
    std::uint64_t sent = 0;
    std::uint64_t missed = 0;
};

struct ServerCore;

class ShareServer
{
public:
    // Throws std::runtime_error when the address cannot be bound.
    explicit ShareServer(ServerSettings settings);
    ~ShareServer();
    ShareServer(const ShareServer&) = delete;
    ShareServer& operator=(const ShareServer&) = delete;

    // The port actually bound, and the address to open in a browser, with
    // the token when one is needed.
    [[nodiscard]] std::uint16_t port() const;
    [[nodiscard]] std::string address(const std::string& host = {}) const;
    [[nodiscard]] bool tokenRequired() const;
    [[nodiscard]] const std::string& token() const;

    // From any thread. publish never waits for a client: it hands the image
    // to the server's thread, replacing one that has not gone out yet.
    void publish(const Ondrix::OndrixImage& image, const Figures& figures);
    void setIdentity(const SonarIdentity& identity);
    void setOnline(bool online);
    // Named numbers shown in /status (ping rate, gamma, ...).
    void setParameters(std::vector<std::pair<std::string, double>> parameters);
    // The palette the feeder shows; pages follow each change (see /status).
    void setPalette(int palette, std::uint8_t fireModifier, std::uint8_t aquaModifier);
    // Not owned; must outlive the server or be reset to null first. Resetting
    // waits for a client's request that is running the player; the control's
    // own functions must therefore not call this.
    void setPlaybackControl(PlaybackControl* control);
    void setPlaybackState(const PlaybackState& state);

    [[nodiscard]] std::vector<ClientInfo> clients() const;
    [[nodiscard]] std::uint64_t publishedCount() const;

private:
    std::shared_ptr<ServerCore> impl;
};

// Whether an IPv4 or IPv6 address text is a loopback address.
bool isLoopback(const std::string& address);

} // namespace Keldar::Web
