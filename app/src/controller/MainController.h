#pragma once

#include <keldar/navigation/Georeference.h>

#include "controller/MetaTypes.h"
#include "controller/PlaybackMetaTypes.h"
#include "controller/SourceArbiter.h"
#include "export/VideoExport.h"
#include "settings/SonarSetup.h"

#include <keldar/gui/Toast.h>
#include <keldar/ondrix/ConnectionManager.h>

#include <QObject>
#include <QPointer>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Keldar::Logging {
class SqliteLogFile;
namespace Playback {
class LogFilePlayer;
}
} // namespace Keldar::Logging

namespace Keldar::OndrixLumivane {

/// The one object between the user interface and the viewer's data sources.
/// This file holds the live half: finding, connecting and driving a sonar,
/// and turning its events into Qt signals and alarms.
///
/// The sonar library calls back on its network threads; those closures only
/// emit Qt signals, which Qt queues to the GUI thread where every receiver
/// lives.
class MainController : public QObject
{
    Q_OBJECT

public:
    using VisibleSonars = Ondrix::Utilities::ConnectionManager::VisibleSonars;
    using NetworkSettings = Ondrix::Utilities::ConnectionManager::Settings;
    /// The shortest time between two newVisibleSonarsList signals.
    static constexpr std::chrono::milliseconds visibleSonarsInterval{250};

    /// A bookmark change done (a success toast's text) or refused (an error
    /// toast's text, saying why).
    struct BookmarkOutcome
    {
        bool done = false;
        QString message;
    };

    explicit MainController(const NetworkSettings& network = {}, QObject* parent = nullptr);
    ~MainController() override;

    /// The arbiter's answer to a request, whether the change was made now,
    /// and what the user (or a second process) was told.
    struct RequestOutcome
    {
        SourceAnswer answer = SourceAnswer::Skip;
        bool done = false;
        QString message;
    };
    /// The one way to change the source: the answer comes from the table in
    /// SourceArbiter.h. A file handed over is opened (or asked about) from
    /// the event loop, after the answer has gone back.
    RequestOutcome request(SourceRequest request, const SourceTarget& target = {});
    [[nodiscard]] SourceState getState() const;
    /// The first move that left the state and what the controller holds at
    /// odds ("Live without a sonar"), or empty. Debug builds stop there.
    [[nodiscard]] const std::string& getBrokenInvariant() const;
    /// The sonars connected; the window shows the first.
    [[nodiscard]] std::size_t connectedSonarCount() const;

    void startListening();
    /// Connects to `serialNumber` as soon as the sonar is seen and accepts
    /// connections (once; a later disconnection does not reconnect).
    void connectWhenSeen(std::uint32_t serialNumber);

    /// The sonars heard on the network now.
    [[nodiscard]] VisibleSonars getVisibleSonars() const;
    [[nodiscard]] bool isConnected() const;
    /// True from a connection request until it ends in a sonar or a failure.
    [[nodiscard]] bool isConnecting() const;
    /// The connected sonar, or null.
    [[nodiscard]] Ondrix::OndrixSonar* getSonar() const;
    /// Images received from the sonar, and the ones handed on as newImage: the
    /// display is sent only the newest image when it falls behind.
    [[nodiscard]] std::uint64_t imagesReceived() const;
    [[nodiscard]] std::uint64_t imagesShown() const;
    /// Status datagrams that listed no sonar (foreign, refused or evicted).
    [[nodiscard]] std::uint64_t ignoredStatusCount() const;

signals:
    void connectedToSonar();
    void sonarOffline();
    void sonarReconnected();
    void sonarReconnectFailed();
    void transmitCircuitFailure();
    void sonarDetails(uint32_t serialNumber, std::string modelName, std::string ipAddress, std::string subnetMask);
    void sonarSpec(Keldar::Ondrix::ModelSpec spec);
    void newFirmwareVersion(std::string version);
    void newTemperatureStatus(Keldar::Ondrix::TemperatureStatus status);
    void newInternalTemperature(double temperature);
    void newSonarCapabilities(Keldar::Ondrix::SonarCapabilities capabilities);
    void newTransmitCircuitFailure(bool failure);
    void newSsblPauseReason(bool paused, Keldar::Ondrix::SsblPauseReason reason);
    void newEnvironmentalConditions(Keldar::Ondrix::EnvironmentalConditions conditions);
    void initialSonarParameters(Keldar::Ondrix::OperationParameters parameters);
    /// Automatic frequency as remembered for the sonar being connected (sent
    /// before its first parameters).
    void autoFrequencyRestored(bool enabled);
    /// The water and bandwidth the connected sonar uses and which of them are
    /// its own: at each connection and after every change of either.
    void sonarSetupChanged(Keldar::OndrixLumivane::Settings::SonarSetup setup);
    void disconnectedFromSonar();
    void connectionFailed();
    /// A connection is being made (off the GUI thread); it ends in
    /// connectedToSonar, connectionFailed or connectingAbandoned.
    void connectingToSonar(uint32_t serialNumber);
    /// A connection under way was given up because a log file was opened.
    void connectingAbandoned();
    void newImage(Keldar::Ondrix::OndrixImage image);
    void newAttitude(Keldar::DataProcessing::Orientation::Attitude attitude);
    void newDataRate(float megabitsPerSecond);
    void newNetworkConfig(bool dhcpEnabled, std::string ipAddress, std::string subnetMask);
    /// The latest table of visible sonars; a burst of changes comes as one
    /// list, no more often than every visibleSonarsInterval.
    void newVisibleSonarsList(Keldar::Ondrix::Utilities::ConnectionManager::VisibleSonars list);
    void stateChanged(Keldar::OndrixLumivane::SourceState state);
    /// A quit that waited for a long work to be cancelled may go ahead.
    void quitReady();

public slots:
    /// The user's choice of a sonar (asks the arbiter).
    void connectToSonar(uint32_t serialNumber);
    void temperatureStatusChanged(Keldar::Ondrix::TemperatureStatus status);
    void pausedInSsbl(bool paused, Keldar::Ondrix::SsblPauseReason reason);
    /// Ends the live session at once, recording included, without asking:
    /// the program's own use. The user's Disconnect is request(Disconnect).
    void disconnectFromSonar();
    void setRange(double range);
    void setGain(double gain);
    void setFrequency(Keldar::Ondrix::Frequency frequency);
    void setGamma(int gamma);
    void setGainAssist(bool enabled);
    void setGainBoost(bool enabled);
    void setFullBeams(bool enabled);
    void setPingRate(int rate);
    void setNetworkConfig(bool dhcpEnabled, std::string ipAddress, std::string subnetMask);
    /// The defaults for new sonars; the connected sonar takes them too when
    /// it has none of its own.
    void setBandwidthLimit(uint8_t limit);
    void setEnvironmentParams(double speedOfSound, double salinity);
    /// The connected sonar's own water and bandwidth, remembered for it (with
    /// "saveSonarParams") instead of the defaults.
    void setSonarBandwidth(uint8_t limit);
    void setSonarEnvironment(double speedOfSound, double salinity);
    /// Puts the connected sonar back on the defaults and forgets its own.
    void useDefaultsForSonar();
    /// The toolbar's automatic frequency choice, remembered with the sonar's
    /// parameters.
    void setAutoFrequency(bool enabled);

    // Recording, still capture, log files and playback
    // (MainControllerRecording.cpp, MainControllerLogs.cpp).
signals:
    void loggingStarted();
    void loggingStopped();
    void logFileOpened(std::string filename);
    void logEntriesCounted(int indexCount);
    void logPlayTimeRetrieved(int playTime);
    // The recorded timestamp (ms since the Unix epoch) of every frame.
    void logFrameTimesRetrieved(std::vector<std::int64_t> timestamps);
    void logTimeZoneRetrieved(std::string timeZone);
    void currentLogTime(int64_t timestamp);
    void framePlayed(int32_t frame, int32_t entryId);
    void newBookmarkList(std::vector<Keldar::Logging::Playback::PlayerBookmark> bookmarks);
    void logFileClosed();
    /// Playback stopped by itself (the end, or an entry that cannot be read).
    void playbackStopped();

public slots:
    void setLogCompression(bool enabled);
    void setLogLocation(std::string folder);
    void setCaptureFormat(std::string extension);
    void startLogging();
    /// Runs on the sonar's session thread.
    void writeToLog(std::vector<std::byte> rawImage, Keldar::Ondrix::MessageType type, int version);
    int32_t getLastEntryID();
    void stopLogging();
    void stillCapture();
    /// Open in the main toolbar (asks the arbiter).
    void openLogFile(std::string file);
    void readLogEntry(int index);
    void beginPlayback();
    void stopPlayback();
    void setLoopPlayback(bool enabled);
    void setPlaybackSpeed(float speed);
    // Bookmarks: of the recording while one runs, else of the open log. Each
    // tells what became of the change, in words for the user.
    BookmarkOutcome addBookmark(int32_t entryId, std::string title, std::string comments);
    BookmarkOutcome updateBookmark(Keldar::Logging::Bookmark chosen, std::string title, std::string comments);
    BookmarkOutcome removeBookmark(Keldar::Logging::Bookmark chosen);
    /// Close in the main toolbar (asks the arbiter).
    void closeLogFile();
    // Writes every readable entry and bookmark of the open log into a new
    // file beside it and tells what was lost; the log itself is not changed.
    void recoverOpenLog();
    void exportToVideo(Keldar::Ondrix::Visualisation::VideoExport::VideoExportSettings settings,
                       Keldar::Ondrix::Visualisation::FanDisplayOptions::DisplaySettings displaySettings);
    void exportToLog(int firstFrame, int lastFrame);
    void exportToLegacyLog(int firstFrame, int lastFrame);

public:
    [[nodiscard]] bool isRecording() const;
    /// The file being recorded, or empty.
    [[nodiscard]] std::string getRecordingPath() const;
    /// Writes an NMEA sentence into the recording, under a navigation source
    /// of its own (with the sonar's mounting as its properties); does nothing
    /// when no recording runs. From any thread.
    void writeNavigationSentence(const std::string& sentence, std::int64_t receivedMs,
                                 const Navigation::Mounting& mounting);
    /// The recording's bookmark on `entryId`, if it has one.
    [[nodiscard]] std::optional<Logging::Bookmark> getRecordingBookmark(int32_t entryId) const;
    [[nodiscard]] bool isPlayingLog() const;
    /// The open log's speed multiplier, or 0 without a log.
    [[nodiscard]] float getLogPlaybackSpeed() const;
    /// The entry ids of the open log's frames, in frame order (empty without a log).
    /// The playback frame last shown on screen.
    [[nodiscard]] std::int32_t getShownFrame() const;
    [[nodiscard]] std::vector<int32_t> getLogEntryIndex() const;

private:
    // The arbiter's side (MainControllerSources.cpp).
    void moveTo(SourceState state);
    void checkInvariants();
    [[nodiscard]] std::string brokenInvariant() const;
    void go(SourceRequest request, const SourceTarget& target);
    bool ask(SourceRequest request, const SourceTarget& target);
    QString refusal(SourceRequest request, const SourceTarget& target) const;
    QString waitMessage(SourceRequest request, const SourceTarget& target) const;
    void startConnecting(std::uint32_t serialNumber);
    void openFile(const std::string& file);
    /// Ends the source shown, completely, before another starts.
    void endSource();
    void endLog();
    void beginWork(const QString& what);
    void endWork();
    void cancelWork();
    void closeEverything();
    void runWaitingRequests();
    /// Runs `emitIt` on the GUI thread unless the source it came from has
    /// ended meanwhile.
    void deliver(std::uint64_t generation, std::function<void()> emitIt);
    SourceArbiter arbiter;
    std::string firstBrokenInvariant;
    // What the running work is called in messages ("export", "conversion").
    QString workName;

    struct LogSide;
    void initialiseLogSide();
    void stopRecordingOnDisconnection();
    void recordingFailed(const QString& reason);
    // A recording closed, and read back to check what it holds.
    struct ClosedRecording
    {
        std::filesystem::path path;
        std::int32_t entries = 0;
        bool counted = false;
        bool checked = false;
        QString failure;
    };
    ClosedRecording closeRecording();
    void announceClosedRecording(const ClosedRecording& closed);
    // A new log file made off the GUI thread (MainControllerLogSide.h).
    struct StartedRecording;
    /// Takes what the worker of a recording's start or stop has done, waiting
    /// for it if it is still at work, and ends the phase.
    void settleRecording();
    void settleWhenReady();
    void finishStarting(StartedRecording started);
    void finishStopping(const ClosedRecording& closed);
    /// Closes `recording`'s file and reads it back; on any thread.
    static ClosedRecording closeAndCheck(StartedRecording recording);
    void playEntry(std::uint64_t generation, int32_t frame, Logging::DataEntry entry);
    BookmarkOutcome addPlaybackBookmark(int32_t entryId, const std::string& title, const std::string& comments);
    /// Asks, converts and reports; the converted log, or null.
    std::unique_ptr<Logging::SqliteLogFile> convertLegacyLog(const std::string& file);
    void playLogFile(std::unique_ptr<Logging::SqliteLogFile> log, const std::string& file,
                     const QString& readOnlyReason = {});
    std::shared_ptr<LogSide> logs;

private:
    using Toast = GUI::Widgets::Notifications::Toast;
    using ToastType = GUI::Widgets::Notifications::ToastType;

    Toast* showToast(ToastType type, const QString& text, int durationMs);
    void remember(QPointer<Toast>& slot, Toast* toast);
    static void dismissToast(Toast* toast);

    void autoConnect(const VisibleSonars& list);
    void finishConnecting(std::uint64_t attempt);
    [[nodiscard]] bool hasOpenLog() const;
    void connectSonarSignals(Ondrix::OndrixSonar& sonar);
    void restoreSavedParameters(Ondrix::OndrixSonar& sonar);
    void saveParameters(const Ondrix::OndrixSonar& sonar);
    void announceSonarSetup();
    void countData(std::size_t bytes);
    void visibleSonarsArrived(const VisibleSonars& list);
    void showNewestVisibleSonars();
    void imageArrived(Ondrix::OndrixImage image);
    void showNewestImage();
    void showOfflineToast();
    void dismissOfflineToast();
    void giveUpReconnecting();
    void reportTransmitFailure();

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Keldar::OndrixLumivane
