// keldar.scan and keldar.connect: live sonars through the connection manager
// and the device object, the same road the viewer takes.

#include "Bindings.h"
#include "Conversions.h"

#include <keldar/core/Chrono.h>
#include <keldar/core/Signal.h>
#include <keldar/logging/frames/LoggedFrame.h>
#include <keldar/ondrix/ConnectionManager.h>
#include <keldar/ondrix/OndrixSonar.h>

#include <pybind11/stl.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace Keldar::Python {

namespace {

using Clock = std::chrono::steady_clock;
using Ondrix::DeviceInfo;
using Ondrix::OndrixSonar;
using Ondrix::Utilities::ConnectionManager;

// How often a wait without the GIL looks for Ctrl-C.
constexpr auto signalCheckPeriod = std::chrono::milliseconds(50);

ConnectionManager::Settings listenSettings(const std::string& address, std::uint16_t statusPort,
                                           std::uint16_t sonarPort)
{
    ConnectionManager::Settings settings;
    settings.listenAddress = address;
    settings.statusPort = statusPort;
    settings.sonarPort = sonarPort;
    return settings;
}

// Waits without the GIL until `done()` or `seconds` have passed, looking for
// Ctrl-C (KeyboardInterrupt) between short waits. True when done.
template<typename Done>
bool waitInterruptibly(double seconds, std::mutex& mutex, std::condition_variable& changed, Done done)
{
    const auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (true) {
        bool finished = false;
        {
            py::gil_scoped_release release;
            std::unique_lock lock(mutex);
            finished = changed.wait_until(lock, std::min(deadline, Clock::now() + signalCheckPeriod), done);
        }
        if (finished) {
            return true;
        }
        if (PyErr_CheckSignals() != 0) {
            throw py::error_already_set();
        }
        if (Clock::now() >= deadline) {
            return false;
        }
    }
}

py::dict sonarDict(const DeviceInfo& info)
{
    py::dict item;
    item["serial"] = info.serialNumber;
    item["model"] = info.spec.name;
    item["address"] = info.ipAddress;
    item["mask"] = info.subnetMask;
    item["firmware"] = info.firmwareVersion;
    item["connectable"] = info.connectable;
    return item;
}

// Wakes a waiter when the manager lists the sonar with `serial`. Holds no
// table of its own: a flood of made-up serial numbers cannot grow it.
class SonarHeard : public Observer
{
public:
    SonarHeard(const ConnectionManager& manager, std::uint32_t serial)
    {
        connect(manager.visibleSonarsChanged, [this, serial](const ConnectionManager::VisibleSonars& table) {
            if (table.count(serial) == 0) {
                return;
            }
            std::lock_guard lock(mutex);
            heard = true;
            changed.notify_all();
        });
    }
    // Cuts the connection first, waiting for a call in progress.
    ~SonarHeard() override { disconnectAll(); }
    SonarHeard(const SonarHeard&) = delete;
    SonarHeard& operator=(const SonarHeard&) = delete;

    std::mutex mutex;
    std::condition_variable changed;
    bool heard = false;
};

// keldar.ScanResult: the list scan() returns, with the count of the status
// datagrams that listed no sonar. Made once, kept for the interpreter's life.
py::handle scanResultType()
{
    static const py::handle type = [] {
        py::dict members;
        members["__module__"] = "keldar";
        members["__doc__"] = "The sonars scan() heard, a list of dicts in order of serial number. Its attribute\n"
                             "ignored_statuses counts the status datagrams that listed no sonar: not a sonar's\n"
                             "status at all, a newcomer with no room in the bounded table, or an entry pushed out\n"
                             "by one (a flood of made-up serial numbers shows here).";
        members["ignored_statuses"] = 0;
        return py::module_::import("builtins")
            .attr("type")("ScanResult", py::make_tuple(py::module_::import("builtins").attr("list")), members)
            .release();
    }();
    return type;
}

py::object scan(double seconds, const std::string& address, std::uint16_t statusPort, std::uint16_t sonarPort)
{
    if (!(seconds >= 0.0)) {
        throw py::value_error("seconds must be 0 or more");
    }
    ConnectionManager::VisibleSonars table;
    ConnectionManager::IgnoredStatuses ignored;
    {
        auto settings = listenSettings(address, statusPort, sonarPort);
        // The viewer's bounded table, kept for the whole scan so that sonars
        // that went quiet during it are listed too.
        settings.silenceExpiry =
            std::chrono::ceil<std::chrono::milliseconds>(std::chrono::duration<double>(seconds + 1.0));
        ConnectionManager manager(settings);
        manager.startListening();
        std::mutex mutex;
        std::condition_variable never;
        waitInterruptibly(seconds, mutex, never, [] { return false; });
        table = manager.getVisibleSonars();
        ignored = manager.ignoredStatuses();
    }
    py::object result = scanResultType()();
    for (const auto& [serial, info] : std::map<std::uint32_t, DeviceInfo>(table.begin(), table.end())) {
        result.attr("append")(sonarDict(info));
    }
    result.attr("ignored_statuses") = ignored.total();
    return result;
}

struct Received
{
    std::vector<std::byte> message;
    std::uint32_t dataType = 0;
    std::int64_t timestamp = 0;
    std::int32_t number = 0; // images received before this one
};

Ondrix::PingRate pingRateCode(int hertz)
{
    switch (hertz) {
    case 2:
        return Ondrix::PingRate::Rate2Hz;
    case 5:
        return Ondrix::PingRate::Rate5Hz;
    case 10:
        return Ondrix::PingRate::Rate10Hz;
    case 15:
        return Ondrix::PingRate::Rate15Hz;
    case 40:
        return Ondrix::PingRate::Rate40Hz;
    default:
        throw py::value_error("ping_rate must be 2, 5, 10, 15 or 40 (pings per second)");
    }
}

Ondrix::Frequency frequencyCode(const py::object& value)
{
    if (py::isinstance<py::str>(value)) {
        const auto name = value.cast<std::string>();
        if (name == "low") {
            return Ondrix::Frequency::Low;
        }
        if (name == "high") {
            return Ondrix::Frequency::High;
        }
    } else if (py::isinstance<py::int_>(value) && !py::isinstance<py::bool_>(value)) {
        const auto code = value.cast<int>();
        if (code == 1 || code == 2) {
            return static_cast<Ondrix::Frequency>(code);
        }
    }
    throw py::value_error("frequency must be \"low\" or \"high\" (or 1 or 2)");
}

struct SonarOptions
{
    std::optional<double> range;
    std::optional<double> gain;
    py::object frequency;
    std::optional<int> pingRate;
    std::optional<int> gamma;
    std::optional<bool> gainAssist;
    std::optional<bool> gainBoost;
    std::optional<bool> fullBeams;
    std::optional<bool> lowPower;
};

// One connected sonar. Its session thread queues each ping result; frames()
// parses them on the caller's thread. The queue is bounded: a reader that
// falls behind loses the oldest images (counted in `dropped`), never memory.
class Sonar : public Observer
{
public:
    static constexpr std::size_t maximumQueued = 256;
    static constexpr std::size_t maximumQueuedBytes = 256U << 20;

    Sonar(std::uint32_t serial, const SonarOptions& options, double discoverySeconds, const std::string& address,
          std::uint16_t statusPort, std::uint16_t sonarPort)
        : serial_(serial)
    {
        // Settings are checked before anything connects.
        const bool setFrequency = !options.frequency.is_none();
        const auto frequency = setFrequency ? frequencyCode(options.frequency) : Ondrix::Frequency::Low;
        const auto pingRate = options.pingRate ? pingRateCode(*options.pingRate) : Ondrix::PingRate::Rate15Hz;
        if (options.gamma && (*options.gamma < 0 || *options.gamma > 255)) {
            throw py::value_error("gamma must be 0 to 255");
        }
        if (options.gain && !(*options.gain >= 0.0 && *options.gain <= 100.0)) {
            throw py::value_error("gain must be 0 to 100 (percent)");
        }
        if (options.range && !(*options.range > 0.0)) {
            throw py::value_error("range_m must be more than 0");
        }

        manager_ = std::make_unique<ConnectionManager>(listenSettings(address, statusPort, sonarPort));
        // Listening only once the waiter is connected: the table is
        // announced when a sonar first appears, and not again.
        SonarHeard heard(*manager_, serial);
        manager_->startListening();
        const bool seen = waitInterruptibly(discoverySeconds, heard.mutex, heard.changed, [&] { return heard.heard; });
        if (!seen) {
            throw ConnectionFailure("sonar " + std::to_string(serial) + " was not seen in " +
                                    py::str(py::float_(discoverySeconds)).cast<std::string>() + " s on " + address +
                                    ":" + std::to_string(statusPort));
        }
        {
            py::gil_scoped_release release;
            sonar_ = manager_->getSonar(serial);
        }
        if (!sonar_) {
            throw ConnectionFailure("could not connect to sonar " + std::to_string(serial));
        }
        if (setFrequency) {
            sonar_->setFrequency(frequency);
        }
        // After the frequency: the range is limited by the model for it.
        if (options.range) {
            sonar_->setRange(*options.range);
        }
        if (options.gain) {
            sonar_->setGain(*options.gain);
        }
        if (options.pingRate) {
            sonar_->setPingRate(pingRate);
        }
        if (options.gamma) {
            sonar_->setGamma(static_cast<std::uint8_t>(*options.gamma));
        }
        if (options.gainAssist) {
            sonar_->setGainAssist(*options.gainAssist);
        }
        if (options.gainBoost) {
            sonar_->setGainBoost(*options.gainBoost);
        }
        if (options.fullBeams) {
            sonar_->setFullBeams(*options.fullBeams);
        }
        if (options.lowPower) {
            sonar_->setLowPowerMode(*options.lowPower);
        }
        // Kept here: close() may take the sonar object away on another thread.
        model_ = sonar_->getSpec().name;
        address_ = sonar_->getIP();
        connect(sonar_->rawMessage, [this](const std::vector<std::byte>& message, Ondrix::MessageType type,
                                           int version) { queue(message, type, version); });
        sonar_->beginImaging(Ondrix::PingControl::Continuous);
    }

    ~Sonar() override { close(); }
    Sonar(const Sonar&) = delete;
    Sonar& operator=(const Sonar&) = delete;

    // The sonar object goes before the manager whose listener it uses.
    void close()
    {
        py::gil_scoped_release release;
        // Two threads closing at once: the second waits for the first.
        std::lock_guard closing(closing_);
        disconnectAll();
        sonar_.reset();
        manager_.reset();
        std::lock_guard lock(mutex_);
        closed_ = true;
        queue_.clear();
        queuedBytes_ = 0;
        changed_.notify_all();
    }

    // The next image, waiting up to `timeout` seconds: TimeoutError when none
    // comes, ValueError once closed, KeyboardInterrupt on Ctrl-C.
    Frame next(double timeout)
    {
        Received received;
        while (true) {
            const bool arrived =
                waitInterruptibly(timeout, mutex_, changed_, [this] { return closed_ || !queue_.empty(); });
            {
                std::lock_guard lock(mutex_);
                if (closed_) {
                    throw py::value_error("the sonar connection is closed");
                }
                if (!arrived || queue_.empty()) {
                    PyErr_SetString(PyExc_TimeoutError, ("no image from sonar " + std::to_string(serial_) + " in " +
                                                         py::str(py::float_(timeout)).cast<std::string>() + " s")
                                                            .c_str());
                    throw py::error_already_set();
                }
                received = std::move(queue_.front());
                queue_.pop_front();
                queuedBytes_ -= received.message.size();
            }
            std::optional<Logging::Frames::LoggedFrame> frame;
            {
                py::gil_scoped_release release;
                try {
                    frame = Logging::Frames::parseSonarMessage(received.message, received.dataType);
                } catch (const std::exception&) {
                    // The device parsed it before handing it on; a copy that
                    // does not parse is skipped like a damaged log entry.
                }
            }
            if (frame) {
                frame->frame = received.number;
                frame->timestamp = received.timestamp;
                return makeFrame(*frame, true);
            }
        }
    }

    [[nodiscard]] std::uint32_t serial() const { return serial_; }
    [[nodiscard]] const std::string& model() const { return model_; }
    [[nodiscard]] const std::string& address() const { return address_; }
    [[nodiscard]] bool closed()
    {
        std::lock_guard lock(mutex_);
        return closed_;
    }
    [[nodiscard]] std::uint64_t dropped()
    {
        std::lock_guard lock(mutex_);
        return dropped_;
    }
    [[nodiscard]] std::uint64_t received()
    {
        std::lock_guard lock(mutex_);
        return received_;
    }

private:
    // Session thread.
    void queue(const std::vector<std::byte>& message, Ondrix::MessageType type, int version)
    {
        const auto dataType = Logging::Frames::dataTypeOf(type, version);
        if (!dataType) {
            return;
        }
        const std::int64_t now = Chrono::msSinceUnixEpoch();
        std::lock_guard lock(mutex_);
        if (closed_) {
            return;
        }
        queue_.push_back({message, *dataType, now, static_cast<std::int32_t>(received_)});
        ++received_;
        queuedBytes_ += message.size();
        while (queue_.size() > maximumQueued || (queuedBytes_ > maximumQueuedBytes && queue_.size() > 1)) {
            queuedBytes_ -= queue_.front().message.size();
            queue_.pop_front();
            ++dropped_;
        }
        changed_.notify_all();
    }

    std::uint32_t serial_;
    std::string model_;
    std::string address_;
    std::unique_ptr<ConnectionManager> manager_;
    std::unique_ptr<OndrixSonar> sonar_;
    std::mutex closing_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Received> queue_;
    std::size_t queuedBytes_ = 0;
    bool closed_ = false;
    std::uint64_t received_ = 0;
    std::uint64_t dropped_ = 0;
};

// What Sonar.frames returns: yields up to `count` images (None: until the
// loop ends).
class FrameStream
{
public:
    FrameStream(std::shared_ptr<Sonar> sonar, std::optional<std::int64_t> count, double timeout)
        : sonar_(std::move(sonar))
        , remaining_(count)
        , timeout_(timeout)
    {
    }

    Frame next()
    {
        if (remaining_ && *remaining_ <= 0) {
            throw py::stop_iteration();
        }
        Frame frame = sonar_->next(timeout_);
        if (remaining_) {
            --*remaining_;
        }
        return frame;
    }

private:
    std::shared_ptr<Sonar> sonar_;
    std::optional<std::int64_t> remaining_;
    double timeout_;
};

} // namespace

void defineSonar(py::module_& module)
{
    module.attr("ScanResult") = scanResultType();
    module.def("scan", &scan, py::arg("seconds") = 2.0, py::kw_only(), py::arg("listen_address") = "0.0.0.0",
               py::arg("status_port") = 52102, py::arg("sonar_port") = 52100,
               "Listen for the sonars' status broadcasts for `seconds` and return every sonar seen,\n"
               "in order of serial number, as dicts of serial, model, address, mask, firmware and\n"
               "connectable, in a ScanResult (a list) whose ignored_statuses counts the datagrams\n"
               "that listed no sonar. The table is bounded as the viewer's: a sonar heard regularly\n"
               "stays listed through a flood of made-up serial numbers. The GIL is released while\n"
               "listening; Ctrl-C stops it.\n"
               "\n"
               "listen_address, status_port and sonar_port are those of the protocol unless a test\n"
               "or a simulator asks for others (ondrix-sim sends to 127.0.0.1).");

    py::class_<FrameStream>(module, "FrameStream", "Iterator over live images; see Sonar.frames.")
        .def("__iter__", [](FrameStream& stream) -> FrameStream& { return stream; })
        .def("__next__", &FrameStream::next);

    py::class_<Sonar, std::shared_ptr<Sonar>>(module, "Sonar",
                                              "A connected sonar, imaging continuously. Use it as a context manager,\n"
                                              "or call close(). Returned by connect().")
        .def("close", &Sonar::close, "Stop imaging and disconnect. Closing again does nothing.")
        .def_property_readonly("closed", &Sonar::closed, "True once the connection is closed.")
        .def("__enter__", [](const std::shared_ptr<Sonar>& sonar) { return sonar; })
        .def("__exit__", [](Sonar& sonar, const py::args&) { sonar.close(); })
        .def_property_readonly("serial", &Sonar::serial, "The sonar's serial number.")
        .def_property_readonly("model", &Sonar::model, "The sonar's model name.")
        .def_property_readonly("address", &Sonar::address, "The sonar's IPv4 address.")
        .def_property_readonly("received", &Sonar::received, "Images received since connecting.")
        .def_property_readonly("dropped", &Sonar::dropped,
                               "Images lost because frames() was not called often enough: at most 256\n"
                               "images (256 MB) wait; beyond that the oldest go. Their frame numbers are\n"
                               "skipped.")
        .def(
            "frames",
            [](const std::shared_ptr<Sonar>& sonar, std::optional<std::int64_t> count, double timeout) {
                if (count && *count < 0) {
                    throw py::value_error("count must be 0 or more");
                }
                if (!(timeout > 0.0)) {
                    throw py::value_error("timeout must be more than 0");
                }
                return FrameStream(sonar, count, timeout);
            },
            py::arg("count") = py::none(), py::arg("timeout") = 5.0,
            "Yield the sonar's images as Frames (entry_id None, timestamp_ms the arrival time),\n"
            "`count` of them or, with None, until the loop stops. TimeoutError when no image\n"
            "arrives for `timeout` seconds. The GIL is released while waiting; Ctrl-C raises\n"
            "KeyboardInterrupt and leaves the connection to be closed by its `with`.")
        .def("__repr__", [](Sonar& sonar) {
            return "<keldar.Sonar " + std::to_string(sonar.serial()) + (sonar.closed() ? " closed>" : ">");
        });

    module.def(
        "connect",
        [](std::uint32_t serial, std::optional<double> range, std::optional<double> gain, py::object frequency,
           std::optional<int> pingRate, std::optional<int> gamma, std::optional<bool> gainAssist,
           std::optional<bool> gainBoost, std::optional<bool> fullBeams, std::optional<bool> lowPower,
           double discoverySeconds, const std::string& address, std::uint16_t statusPort, std::uint16_t sonarPort) {
            const SonarOptions options{range,     gain,    std::move(frequency), pingRate, gamma, gainAssist, gainBoost,
                                       fullBeams, lowPower};
            return std::make_shared<Sonar>(serial, options, discoverySeconds, address, statusPort, sonarPort);
        },
        py::arg("serial"), py::kw_only(), py::arg("range_m") = py::none(), py::arg("gain") = py::none(),
        py::arg("frequency") = py::none(), py::arg("ping_rate") = py::none(), py::arg("gamma") = py::none(),
        py::arg("gain_assist") = py::none(), py::arg("gain_boost") = py::none(), py::arg("full_beams") = py::none(),
        py::arg("low_power") = py::none(), py::arg("discovery_seconds") = 5.0, py::arg("listen_address") = "0.0.0.0",
        py::arg("status_port") = 52102, py::arg("sonar_port") = 52100,
        "Wait up to `discovery_seconds` for sonar `serial` to announce itself, connect to it,\n"
        "set it up and start continuous imaging; returns a Sonar (a context manager):\n"
        "\n"
        "    with keldar.connect(12345, range_m=10, gain=40) as sonar:\n"
        "        for frame in sonar.frames(count=100):\n"
        "            ...\n"
        "\n"
        "Settings left at None keep the sonar object's defaults: range_m in metres (limited\n"
        "to the model's range for the frequency), gain in percent (0-100), frequency \"low\"\n"
        "or \"high\", ping_rate in pings per second (2, 5, 10, 15 or 40), gamma (0-255),\n"
        "gain_assist, gain_boost, full_beams (512 beams) and low_power. ConnectionError when\n"
        "the sonar is not seen or does not accept the connection; ValueError for a setting\n"
        "out of range. listen_address, status_port and sonar_port as for scan().");
}

} // namespace Keldar::Python
