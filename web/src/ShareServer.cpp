#include <keldar/web/ShareServer.h>

#include "Assets.h"
#include "StreamMessage.h"

#include <keldar/maths/Palettes.h>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <nlohmann/json.hpp>

#include <array>
#include <atomic>
#include <deque>
#include <future>
#include <mutex>
#include <random>
#include <set>
#include <stdexcept>
#include <thread>

namespace Keldar::Web {

namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using Clock = std::chrono::steady_clock;
using Json = nlohmann::json;

// Requests are GETs: a few headers and no body. Anything larger is refused.
constexpr std::size_t maxHeaderBytes = 8 * 1024;
constexpr std::size_t maxBodyBytes = 1024;
// The only messages a client sends are play, pause and seek.
constexpr std::size_t maxClientMessageBytes = 1024;
constexpr auto requestTimeout = std::chrono::seconds(10);
constexpr const char* tokenCookie = "keldar_token";

std::string makeToken()
{
    std::random_device random;
    std::string token;
    static constexpr char digits[] = "0123456789abcdef";
    for (int i = 0; i < 8; ++i) {
        const auto word = random();
        for (int nibble = 0; nibble < 4; ++nibble) {
            token += digits[(word >> (4U * static_cast<unsigned>(nibble))) & 0xFU];
        }
    }
    return token;
}

// Compares without stopping at the first difference, so that the time taken
// tells nothing about how much of a guessed token was right.
bool sameToken(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return difference == 0;
}

// The value of `name` in a query string or a cookie header ("a=1&b=2",
// "a=1; b=2"); empty when absent.
std::string_view findPair(std::string_view text, std::string_view name, char separator)
{
    while (!text.empty()) {
        const auto end = text.find(separator);
        std::string_view pair = text.substr(0, end);
        while (!pair.empty() && pair.front() == ' ') {
            pair.remove_prefix(1);
        }
        if (pair.size() > name.size() && pair.substr(0, name.size()) == name && pair[name.size()] == '=') {
            return pair.substr(name.size() + 1);
        }
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return {};
}

// Names from a sonar or a file may hold bytes that are not UTF-8; they are
// replaced rather than thrown over.
std::string serialise(const Json& value)
{
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string_view view(beast::string_view text)
{
    return {text.data(), text.size()};
}

struct Outgoing
{
    std::shared_ptr<const std::string> bytes;
    bool binary = true;
};

} // namespace

bool isLoopback(const std::string& address)
{
    boost::system::error_code error;
    const auto parsed = net::ip::make_address(address, error);
    return !error && parsed.is_loopback();
}

class StreamSession;

struct ServerCore
{
    explicit ServerCore(ServerSettings chosen)
        : settings(std::move(chosen))
    {
    }

    ServerSettings settings;
    std::string token;
    bool tokenNeeded = false;
    std::uint16_t boundPort = 0;

    // Written by the feeder, read by the server's thread.
    mutable std::mutex mutex;
    SonarIdentity identity;
    bool online = true;
    std::vector<std::pair<std::string, double>> parameters;
    int palette = 0;
    std::uint8_t fireModifier = 127;
    std::uint8_t aquaModifier = 127;
    // Held while a client's request runs the player, so that it cannot be
    // taken away in the middle.
    std::mutex playbackMutex;
    PlaybackControl* playback = nullptr;
    PlaybackState playbackState;
    Figures figures;
    double range = 0.0;
    double gain = 0.0;
    double frequency = 0.0;
    bool imageSeen = false;
    // Counts the state messages sent; each image carries the count it was
    // made under, so that a page can tell an image made before a change
    // (a pause, say) that reaches it after the change, and keep the change.
    std::uint64_t stateSeq = 0;
    std::shared_ptr<const std::string> pendingImage;
    std::atomic<std::uint64_t> published{0};
    std::atomic<std::size_t> streamCount{0};

    // The server's thread only, declared before the I/O context so that
    // sessions destroyed with it still find them.
    std::set<StreamSession*> streams;
    std::size_t handshaking = 0; // streams not yet in `streams`, counted against the limit
    std::size_t connections = 0;

    net::io_context io{1};
    tcp::acceptor acceptor{io};
    net::steady_timer watchdog{io};
    std::thread thread;

    void accept();
    void watch();
    void distributePending();
    void broadcastState();
    // Browsers keep a few idle connections each besides their stream.
    [[nodiscard]] std::size_t maxConnections() const { return settings.maxClients * 4 + 4; }
    [[nodiscard]] bool authorised(const http::request<http::string_body>& request) const;
    [[nodiscard]] Json stateJson() const; // with the lock held
    [[nodiscard]] std::string statusJson() const;
    [[nodiscard]] std::string palettesJson() const;
    void control(std::string_view message);
};

// One WebSocket client of /stream: a small queue that drops rather than grows.
class StreamSession : public std::enable_shared_from_this<StreamSession>
{
public:
    StreamSession(ServerCore& server, beast::tcp_stream&& stream)
        : server(server)
        , ws(std::move(stream))
    {
        boost::system::error_code error;
        const auto endpoint = beast::get_lowest_layer(ws).socket().remote_endpoint(error);
        info.peer = error ? std::string("?") : endpoint.address().to_string() + ":" + std::to_string(endpoint.port());
        ++server.handshaking;
        // An image's last bytes go out at once rather than wait for the next image.
        beast::get_lowest_layer(ws).socket().set_option(tcp::no_delay(true), error);
    }

    ~StreamSession()
    {
        if (!registered) {
            --server.handshaking;
        }
        if (registered) {
            server.streams.erase(this);
            server.streamCount = server.streams.size();
        }
    }

    StreamSession(const StreamSession&) = delete;
    StreamSession& operator=(const StreamSession&) = delete;

    void start(http::request<http::string_body> request)
    {
        beast::get_lowest_layer(ws).expires_never();
        websocket::stream_base::timeout timeout{};
        timeout.handshake_timeout = requestTimeout;
        // A peer that answers nothing, not even the pings, is gone.
        timeout.idle_timeout = server.settings.stallTimeout;
        timeout.keep_alive_pings = true;
        ws.set_option(timeout);
        ws.read_message_max(maxClientMessageBytes);
        ws.binary(true);
        ws.async_accept(request, [self = shared_from_this()](beast::error_code error) { self->accepted(error); });
    }

    void deliver(Outgoing message)
    {
        if (!open) {
            return;
        }
        // The front is being written; whatever waits behind it may be
        // replaced by something newer.
        if (queue.size() >= std::max<std::size_t>(server.settings.queueDepth, 2)) {
            if (queue.back().binary) {
                ++info.missed;
            }
            queue.back() = std::move(message);
            return;
        }
        queue.push_back(std::move(message));
        if (queue.size() == 1) {
            write();
        }
    }

    // From the watchdog: a write that has not finished in time means the
    // client takes none of our bytes.
    void checkStalled(Clock::time_point now)
    {
        if (open && !queue.empty() && now - writeStarted > server.settings.stallTimeout) {
            shut();
        }
    }

    void shut()
    {
        open = false;
        queue.clear();
        beast::error_code ignored;
        beast::get_lowest_layer(ws).socket().shutdown(tcp::socket::shutdown_both, ignored);
        beast::get_lowest_layer(ws).socket().close(ignored);
    }

    ClientInfo info;

private:
    void accepted(beast::error_code error)
    {
        if (error) {
            return;
        }
        open = true;
        registered = true;
        --server.handshaking;
        server.streams.insert(this);
        server.streamCount = server.streams.size();
        {
            std::lock_guard lock(server.mutex);
            Json state = server.stateJson();
            state["type"] = "state";
            deliver({std::make_shared<const std::string>(serialise(state)), false});
        }
        read();
    }

    void read()
    {
        ws.async_read(incoming, [self = shared_from_this()](beast::error_code error, std::size_t) {
            if (error) {
                self->shut();
                return;
            }
            if (self->ws.got_text()) {
                const auto data = self->incoming.cdata();
                self->server.control(std::string_view(static_cast<const char*>(data.data()), data.size()));
            }
            self->incoming.consume(self->incoming.size());
            self->read();
        });
    }

    void write()
    {
        writeStarted = Clock::now();
        ws.binary(queue.front().binary);
        // The bytes stay alive with the write, even if the queue is cleared.
        auto bytes = queue.front().bytes;
        ws.async_write(net::buffer(*bytes), [self = shared_from_this(), bytes](beast::error_code error, std::size_t) {
            if (error || !self->open) {
                self->shut();
                return;
            }
            if (self->queue.front().binary) {
                ++self->info.sent;
            }
            self->queue.pop_front();
            if (!self->queue.empty()) {
                self->write();
            }
        });
    }

    ServerCore& server;
    websocket::stream<beast::tcp_stream> ws;
    beast::flat_buffer incoming;
    std::deque<Outgoing> queue;
    Clock::time_point writeStarted;
    bool open = false;
    bool registered = false;
};

// One HTTP connection: reads requests one at a time with bounded sizes and
// answers them, or hands the socket to a StreamSession on an upgrade.
class HttpSession : public std::enable_shared_from_this<HttpSession>
{
public:
    HttpSession(ServerCore& server, tcp::socket&& socket)
        : server(server)
        , stream(std::move(socket))
    {
        ++server.connections;
    }
    ~HttpSession() { --server.connections; }
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    void start()
    {
        if (server.connections > server.maxConnections()) {
            refuse(http::status::service_unavailable, "Too many connections\n", 11);
            return;
        }
        read();
    }

private:
    void read()
    {
        parser.emplace();
        parser->header_limit(maxHeaderBytes);
        parser->body_limit(maxBodyBytes);
        stream.expires_after(requestTimeout);
        http::async_read(stream, buffer, *parser,
                         [self = shared_from_this()](beast::error_code error, std::size_t) { self->onRead(error); });
    }

    void onRead(beast::error_code error)
    {
        if (error == http::error::end_of_stream || error == beast::error::timeout ||
            error == net::error::operation_aborted) {
            close();
            return;
        }
        if (error == http::error::header_limit || error == http::error::body_limit ||
            error == http::error::buffer_overflow) {
            refuse(http::status::payload_too_large, "Request too large\n", 11);
            return;
        }
        if (error) {
            refuse(http::status::bad_request, "Malformed request\n", 11);
            return;
        }
        handle(parser->release());
    }

    void handle(http::request<http::string_body> request)
    {
        const std::string_view target = view(request.target());
        const auto question = target.find('?');
        const std::string_view path = target.substr(0, question);
        if (request.method() != http::verb::get) {
            respond(request, http::status::method_not_allowed, "text/plain", "Only GET\n");
            return;
        }
        if (!server.authorised(request)) {
            respond(request, http::status::unauthorized, "text/plain", "A viewing token is needed\n");
            return;
        }
        if (path == "/stream") {
            upgrade(std::move(request));
            return;
        }
        if (path == "/status") {
            respond(request, http::status::ok, "application/json", server.statusJson());
            return;
        }
        if (path == "/palettes") {
            respond(request, http::status::ok, "application/json", server.palettesJson());
            return;
        }
        if (const Asset* asset = findAsset(path)) {
            respond(request, http::status::ok, asset->contentType, std::string(asset->bytes));
            return;
        }
        respond(request, http::status::not_found, "text/plain", "Not found\n");
    }

    // A page of another site must not read the stream through the user's
    // browser: a browser's Origin has to name this server.
    static bool sameOrigin(const http::request<http::string_body>& request)
    {
        const auto origin = request.find(http::field::origin);
        if (origin == request.end()) {
            return true; // not a browser
        }
        const std::string_view value = view(origin->value());
        const std::string_view host = view(request[http::field::host]);
        const auto scheme = value.find("://");
        return scheme != std::string_view::npos && !host.empty() && value.substr(scheme + 3) == host;
    }

    void upgrade(http::request<http::string_body> request)
    {
        if (!websocket::is_upgrade(request)) {
            respond(request, http::status::upgrade_required, "text/plain", "WebSocket only\n");
            return;
        }
        if (!sameOrigin(request)) {
            respond(request, http::status::forbidden, "text/plain", "Another origin\n");
            return;
        }
        if (server.streams.size() + server.handshaking >= server.settings.maxClients) {
            respond(request, http::status::service_unavailable, "text/plain", "Too many clients\n");
            return;
        }
        std::make_shared<StreamSession>(server, std::move(stream))->start(std::move(request));
    }

    void respond(const http::request<http::string_body>& request, http::status status, std::string_view type,
                 std::string body)
    {
        auto response = std::make_shared<http::response<http::string_body>>(status, request.version());
        response->set(http::field::server, "Ondrix Lumivane");
        response->set(http::field::content_type, beast::string_view(type.data(), type.size()));
        response->set(http::field::cache_control, "no-store");
        response->set("X-Content-Type-Options", "nosniff");
        response->set("Content-Security-Policy",
                      "default-src 'self'; connect-src 'self' ws: wss:; img-src 'self' data:");
        if (status == http::status::unauthorized) {
            response->set(http::field::www_authenticate, "Bearer");
        } else if (server.tokenNeeded && status == http::status::ok) {
            // The page's own scripts and stream then need no token in their URL.
            response->set(http::field::set_cookie,
                          std::string(tokenCookie) + "=" + server.token + "; Path=/; HttpOnly; SameSite=Strict");
        }
        response->keep_alive(request.keep_alive() && status == http::status::ok);
        response->body() = std::move(body);
        response->prepare_payload();
        send(response);
    }

    void refuse(http::status status, std::string_view text, unsigned version)
    {
        auto response = std::make_shared<http::response<http::string_body>>(status, version);
        response->set(http::field::content_type, "text/plain");
        response->keep_alive(false);
        response->body() = std::string(text);
        response->prepare_payload();
        send(response);
    }

    void send(const std::shared_ptr<http::response<http::string_body>>& response)
    {
        stream.expires_after(requestTimeout);
        http::async_write(stream, *response,
                          [self = shared_from_this(), response](beast::error_code error, std::size_t) {
                              if (error || !response->keep_alive()) {
                                  self->close();
                                  return;
                              }
                              self->read();
                          });
    }

    void close()
    {
        beast::error_code ignored;
        stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
        // Closing with unread bytes would reset the connection and could
        // lose the answer on its way; read a bounded amount until the client
        // closes too.
        stream.expires_after(std::chrono::seconds(2));
        drain();
    }

    void drain()
    {
        stream.async_read_some(net::buffer(scratch),
                               [self = shared_from_this()](beast::error_code error, std::size_t bytes) {
                                   self->drained += bytes;
                                   if (error || self->drained > 1024 * 1024) {
                                       self->stream.close();
                                       return;
                                   }
                                   self->drain();
                               });
    }

    ServerCore& server;
    beast::tcp_stream stream;
    beast::flat_buffer buffer{maxHeaderBytes + maxBodyBytes};
    std::optional<http::request_parser<http::string_body>> parser;
    std::array<char, 4096> scratch{};
    std::size_t drained = 0;
};

void ServerCore::accept()
{
    acceptor.async_accept([this](beast::error_code error, tcp::socket socket) {
        if (error == net::error::operation_aborted || !acceptor.is_open()) {
            return;
        }
        if (!error) {
            std::make_shared<HttpSession>(*this, std::move(socket))->start();
        }
        accept();
    });
}

void ServerCore::watch()
{
    watchdog.expires_after(std::chrono::milliseconds(250));
    watchdog.async_wait([this](beast::error_code error) {
        if (error) {
            return;
        }
        const auto now = Clock::now();
        const std::vector<StreamSession*> current(streams.begin(), streams.end());
        for (StreamSession* session : current) {
            session->checkStalled(now);
        }
        watch();
    });
}

void ServerCore::distributePending()
{
    std::shared_ptr<const std::string> image;
    {
        std::lock_guard lock(mutex);
        image.swap(pendingImage);
    }
    if (!image) {
        return;
    }
    const std::vector<StreamSession*> current(streams.begin(), streams.end());
    for (StreamSession* session : current) {
        session->deliver({image, true});
    }
}

void ServerCore::broadcastState()
{
    std::shared_ptr<const std::string> text;
    {
        std::lock_guard lock(mutex);
        ++stateSeq;
        Json state = stateJson();
        state["type"] = "state";
        text = std::make_shared<const std::string>(serialise(state));
    }
    const std::vector<StreamSession*> current(streams.begin(), streams.end());
    for (StreamSession* session : current) {
        session->deliver({text, false});
    }
}

bool ServerCore::authorised(const http::request<http::string_body>& request) const
{
    if (!tokenNeeded) {
        return true;
    }
    const std::string_view target = view(request.target());
    if (const auto question = target.find('?'); question != std::string_view::npos) {
        if (sameToken(findPair(target.substr(question + 1), "token", '&'), token)) {
            return true;
        }
    }
    if (const auto field = request.find(http::field::authorization); field != request.end()) {
        const std::string_view value = view(field->value());
        constexpr std::string_view bearer = "Bearer ";
        if (value.size() > bearer.size() && value.substr(0, bearer.size()) == bearer &&
            sameToken(value.substr(bearer.size()), token)) {
            return true;
        }
    }
    if (const auto field = request.find(http::field::cookie); field != request.end()) {
        if (sameToken(findPair(view(field->value()), tokenCookie, ';'), token)) {
            return true;
        }
    }
    return false;
}

Json ServerCore::stateJson() const
{
    Json state;
    state["online"] = online;
    state["state_seq"] = stateSeq;
    state["recording"] = figures.recording;
    state["frame_rate"] = figures.frameRate;
    state["range_m"] = range;
    state["gain_pct"] = gain;
    state["frequency"] = frequency;
    state["position"] = figures.position ? Json::array({figures.position->first, figures.position->second}) : Json();
    state["heading_deg"] = figures.heading ? Json(*figures.heading) : Json();
    // The viewer's palette travels with every state, so that a page follows a
    // change made in the window after it opened.
    state["palette"] = {{"selected", palette}, {"fire_modifier", fireModifier}, {"aqua_modifier", aquaModifier}};
    if (playback != nullptr) {
        state["playback"] = {
            {"frame", playbackState.frame}, {"frames", playbackState.frames}, {"playing", playbackState.playing}};
    } else {
        state["playback"] = nullptr;
    }
    return state;
}

std::string ServerCore::statusJson() const
{
    Json status;
    {
        std::lock_guard lock(mutex);
        status = stateJson();
        status["sonar"] = {{"serial", identity.serial}, {"model", identity.model}, {"source", identity.source}};
        Json named = Json::object();
        for (const auto& [name, value] : parameters) {
            named[name] = value;
        }
        named["range_m"] = range;
        named["gain_pct"] = gain;
        named["frequency"] = frequency;
        status["parameters"] = named;
        status["images"] = published.load();
        status["image_seen"] = imageSeen;
    }
    Json list = Json::array();
    for (const StreamSession* session : streams) {
        list.push_back({{"peer", session->info.peer}, {"sent", session->info.sent}, {"missed", session->info.missed}});
    }
    status["clients"] = list;
    status["max_clients"] = settings.maxClients;
    return serialise(status);
}

std::string ServerCore::palettesJson() const
{
    namespace P = Maths::Palettes;
    Json standard = Json::array();
    for (std::size_t p = 0; p < P::standardCount; ++p) {
        const auto& table = P::standardTables[p];
        standard.push_back({{"name", P::standardNames[p]}, {"rgb", std::vector<int>(table.begin(), table.end())}});
    }
    std::lock_guard lock(mutex);
    auto rgb = [](const P::DynamicTable& table) {
        std::vector<int> out;
        out.reserve(3 * P::entries);
        for (std::size_t i = 0; i < P::entries; ++i) {
            out.insert(out.end(), {table[4 * i], table[4 * i + 1], table[4 * i + 2]});
        }
        return out;
    };
    Json dynamic = Json::array();
    dynamic.push_back({{"name", "fire"}, {"modifier", fireModifier}, {"rgb", rgb(P::fireTable(fireModifier))}});
    dynamic.push_back({{"name", "aqua"}, {"modifier", aquaModifier}, {"rgb", rgb(P::aquaTable(aquaModifier))}});
    Json all = Json::array();
    for (auto& entry : standard) {
        all.push_back(std::move(entry));
    }
    for (auto& entry : dynamic) {
        all.push_back(std::move(entry));
    }
    return serialise(Json{{"palettes", all}, {"selected", palette}});
}

void ServerCore::control(std::string_view message)
{
    // Anything but a well-formed play, pause or seek for a served recording
    // is ignored: the stream is listen-only.
    const Json request = Json::parse(message, nullptr, false);
    if (!request.is_object() || !request.contains("control") || !request["control"].is_string()) {
        return;
    }
    std::lock_guard playing(playbackMutex);
    std::int32_t frames = 0;
    {
        std::lock_guard lock(mutex);
        if (playback == nullptr) {
            return;
        }
        frames = playbackState.frames;
    }
    const std::string what = request["control"];
    if (what == "play") {
        playback->play();
    } else if (what == "pause") {
        playback->pause();
    } else if (what == "seek" && request.contains("frame") && request["frame"].is_number_integer()) {
        const auto frame = request["frame"].get<std::int64_t>();
        if (frame >= 0 && frame < frames) {
            playback->seek(static_cast<std::int32_t>(frame));
        }
    }
}

ShareServer::ShareServer(ServerSettings settings)
    : impl(std::make_shared<ServerCore>(std::move(settings)))
{
    auto& d = *impl;
    if (d.settings.maxClients == 0) {
        d.settings.maxClients = 1;
    }
    boost::system::error_code error;
    const auto address = net::ip::make_address(d.settings.bind, error);
    if (error) {
        throw std::runtime_error("not an address to listen on: " + d.settings.bind);
    }
    d.tokenNeeded = !address.is_loopback() || !d.settings.token.empty();
    d.token = d.settings.token.empty() && d.tokenNeeded ? makeToken() : d.settings.token;
    const tcp::endpoint endpoint(address, d.settings.port);
    d.acceptor.open(endpoint.protocol(), error);
    if (!error) {
        d.acceptor.set_option(net::socket_base::reuse_address(true), error);
    }
    if (!error) {
        d.acceptor.bind(endpoint, error);
    }
    if (!error) {
        d.acceptor.listen(net::socket_base::max_listen_connections, error);
    }
    if (error) {
        throw std::runtime_error("cannot listen on " + d.settings.bind + ":" + std::to_string(d.settings.port) + ": " +
                                 error.message());
    }
    d.boundPort = d.acceptor.local_endpoint().port();
    d.accept();
    d.watch();
    d.thread = std::thread([&d] { d.io.run(); });
}

ShareServer::~ShareServer()
{
    auto& d = *impl;
    net::post(d.io, [&d] {
        beast::error_code ignored;
        d.acceptor.close(ignored);
        d.watchdog.cancel();
        const std::vector<StreamSession*> current(d.streams.begin(), d.streams.end());
        for (StreamSession* session : current) {
            session->shut();
        }
    });
    // Let the closed sessions finish their handlers, then stop whatever is left.
    net::post(d.io, [&d] { d.io.stop(); });
    d.thread.join();
}

std::uint16_t ShareServer::port() const
{
    return impl->boundPort;
}

std::string ShareServer::address(const std::string& host) const
{
    std::string shown = host;
    if (shown.empty()) {
        shown = impl->settings.bind == "0.0.0.0" || impl->settings.bind == "::" ? "127.0.0.1" : impl->settings.bind;
    }
    if (shown.find(':') != std::string::npos) {
        shown = "[" + shown + "]";
    }
    std::string url = "http://" + shown + ":" + std::to_string(impl->boundPort) + "/";
    if (impl->tokenNeeded) {
        url += "?token=" + impl->token;
    }
    return url;
}

bool ShareServer::tokenRequired() const
{
    return impl->tokenNeeded;
}

const std::string& ShareServer::token() const
{
    return impl->token;
}

void ShareServer::publish(const Ondrix::OndrixImage& image, const Figures& figures)
{
    auto& d = *impl;
    const std::uint64_t sequence = ++d.published;
    {
        std::lock_guard lock(d.mutex);
        d.range = image.getRange();
        d.gain = image.getGain();
        d.frequency = image.getFrequency();
        d.figures = figures;
        d.imageSeen = true;
    }
    if (d.streamCount.load() == 0) {
        return; // nobody watches: no copy, no work
    }
    Json metadata;
    {
        std::lock_guard lock(d.mutex);
        metadata = d.stateJson();
    }
    metadata["type"] = "image";
    metadata["seq"] = sequence;
    metadata["width"] = image.getWidth();
    metadata["height"] = image.getHeight();
    metadata["sent_ms"] = static_cast<double>(std::chrono::duration_cast<std::chrono::microseconds>(
                                                  std::chrono::system_clock::now().time_since_epoch())
                                                  .count()) /
                          1000.0;
    auto message = StreamMessage::encode(image, serialise(metadata));
    if (!message) {
        return; // an image whose counts do not fit its data is not sent
    }
    auto bytes = std::make_shared<const std::string>(std::move(*message));
    bool post = false;
    {
        std::lock_guard lock(d.mutex);
        post = !d.pendingImage;
        d.pendingImage = std::move(bytes);
    }
    if (post) {
        net::post(d.io, [&d] { d.distributePending(); });
    }
}

void ShareServer::setIdentity(const SonarIdentity& identity)
{
    std::lock_guard lock(impl->mutex);
    impl->identity = identity;
}

void ShareServer::setOnline(bool online)
{
    {
        std::lock_guard lock(impl->mutex);
        if (impl->online == online) {
            return;
        }
        impl->online = online;
        if (!online) {
            impl->figures.frameRate = 0.0; // no images while offline
        }
    }
    net::post(impl->io, [d = impl.get()] { d->broadcastState(); });
}

void ShareServer::setParameters(std::vector<std::pair<std::string, double>> parameters)
{
    std::lock_guard lock(impl->mutex);
    impl->parameters = std::move(parameters);
}

void ShareServer::setPalette(int palette, std::uint8_t fireModifier, std::uint8_t aquaModifier)
{
    {
        std::lock_guard lock(impl->mutex);
        if (impl->palette == palette && impl->fireModifier == fireModifier && impl->aquaModifier == aquaModifier) {
            return;
        }
        impl->palette = palette;
        impl->fireModifier = fireModifier;
        impl->aquaModifier = aquaModifier;
    }
    net::post(impl->io, [d = impl.get()] { d->broadcastState(); });
}

void ShareServer::setPlaybackControl(PlaybackControl* control)
{
    std::lock_guard playing(impl->playbackMutex);
    std::lock_guard lock(impl->mutex);
    impl->playback = control;
}

void ShareServer::setPlaybackState(const PlaybackState& state)
{
    {
        std::lock_guard lock(impl->mutex);
        const bool same = impl->playbackState.playing == state.playing && impl->playbackState.frames == state.frames;
        impl->playbackState = state;
        if (same) {
            return; // the frame itself travels with each image
        }
    }
    net::post(impl->io, [d = impl.get()] { d->broadcastState(); });
}

std::vector<ClientInfo> ShareServer::clients() const
{
    std::promise<std::vector<ClientInfo>> result;
    auto future = result.get_future();
    net::post(impl->io, [d = impl.get(), &result] {
        std::vector<ClientInfo> list;
        for (const StreamSession* session : d->streams) {
            list.push_back(session->info);
        }
        result.set_value(std::move(list));
    });
    return future.get();
}

std::uint64_t ShareServer::publishedCount() const
{
    return impl->published.load();
}

} // namespace Keldar::Web
