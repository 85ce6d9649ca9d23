#pragma once

#include <keldar/navigation/Georeference.h>
#include <keldar/navigation/NavigationState.h>
#include <keldar/navigation/NavigationTrack.h>
#include <keldar/navigation/Nmea.h>

#include <QObject>
#include <QString>
#include <QWidget>

#include <keldar/ondrix/OndrixImage.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>

namespace Keldar::Navigation {
class NmeaSource;
}

namespace Keldar::OndrixLumivane {

class MainController;
class NavigationFeed;

/// Hands the feed to the window's navigation display and starts the input
/// the settings name, unless one is already running (from --nmea).
void attachNavigation(QWidget& window, NavigationFeed& feed);

/// What the navigation display shows at one moment.
struct NavigationSnapshot
{
    bool fromRecording = false;
    std::optional<Navigation::Position> position;
    std::optional<int> fixQuality;
    std::optional<double> heading;         // degrees true
    std::optional<std::int64_t> headingMs; // when it was measured, as positionMs
    std::optional<double> course;          // degrees true
    std::optional<double> speed;           // m/s
    /// When the position shown was measured: live, the arrival time; from a
    /// recording, the sample time. `referenceMs` is "now" for the age:
    /// live, the clock when the display asks; from a recording, the frame's.
    std::optional<std::int64_t> positionMs;
    std::int64_t referenceMs = 0;

    /// A heading no older than an interpolation may reach.
    [[nodiscard]] std::optional<double> freshHeading() const;
};

/// The viewer's navigation: NMEA from the chosen input, written into the
/// recording while one runs, and in playback the recording's own track at
/// the shown frame's time.
///
/// One explicit mode decides what the display shows:
///   Live      the latest of the NMEA input (also with no input: nothing)
///   Playback  the open recording's track at the shown frame's time
/// Requests:           Live                 Playback
///   sentence          show, record         record only
///   log opened        -> Playback          -> Playback (new track)
///   log time          ignore               show pose at that time
///   sonar connected   stay                 -> Live
/// The input runs in both modes, so a recording in progress keeps its
/// navigation whatever is on screen.
class NavigationFeed : public QObject
{
    Q_OBJECT

public:
    static constexpr const char* inputKey = "Navigation/input";
    static constexpr const char* formatKey = "Navigation/positionFormat";
    // The sonar relative to the position antenna: degrees clockwise, metres.
    static constexpr const char* headingOffsetKey = "Navigation/mountingHeadingOffset";
    static constexpr const char* forwardKey = "Navigation/mountingForward";
    static constexpr const char* starboardKey = "Navigation/mountingStarboard";

    /// The mounting in the settings; zero where unset.
    static Navigation::Mounting mounting();
    /// The mounting that goes with what is shown: in playback the
    /// recording's own, live the settings'.
    [[nodiscard]] Navigation::Mounting shownMounting() const;

    enum class Mode : std::uint8_t {
        Live,
        Playback,
    };

    explicit NavigationFeed(MainController& controller, QObject* parent = nullptr);
    ~NavigationFeed() override;

    /// Starts reading "udp:PORT", "tcp:HOST:PORT" or "serial:PATH:BAUD";
    /// empty stops. False with `error` set when the text is refused (the
    /// previous input then stays as it was) or the input cannot be opened
    /// (then none runs).
    bool setInput(const QString& endpoint, QString* error = nullptr);
    [[nodiscard]] QString input() const;
    [[nodiscard]] Mode mode() const { return mode_; }
    [[nodiscard]] NavigationSnapshot snapshot() const;
    [[nodiscard]] Navigation::NmeaCounters counters() const;

    /// Saves the image on screen as a GeoTIFF in `folder`, placed by the
    /// navigation at its time; the path written, or empty with `failure`
    /// saying why (no image, no position and heading near it, a write that
    /// failed: nothing is left behind).
    std::filesystem::path saveGeoTiff(const std::filesystem::path& folder, QString& failure) const;

Q_SIGNALS:
    void changed();

private:
    void sentence(const std::string& line, std::int64_t receivedMs);
    void logOpened(const std::string& path);
    void logTime(std::int64_t timestamp);
    void enterLive();
    void imageShown(const Ondrix::OndrixImage& image);

    MainController& controller_;
    Mode mode_ = Mode::Live;
    // Before the source: read by its thread, so set before it starts.
    Navigation::Mounting mounting_;
    std::unique_ptr<Navigation::NmeaSource> source_;
    QString input_;

    // Guarded: the source's thread writes, the GUI thread reads.
    mutable std::mutex mutex_;
    Navigation::NmeaParser parser_;
    Navigation::NavigationState live_;

    Navigation::NavigationTrack track_;
    Navigation::Mounting recordedMounting_;
    NavigationSnapshot playback_;
    std::optional<Ondrix::OndrixImage> shownImage_;
    std::int64_t shownImageMs_ = 0;
};

} // namespace Keldar::OndrixLumivane
