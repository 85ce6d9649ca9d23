// The log file half of the controller: opening a log (converting one of the
// older format on request), playing it through a LogFilePlayer, its
// bookmarks, and the exports to a new log file and to the older format.

#include "controller/LegacyLogFiles.h"
#include "controller/MainControllerLogSide.h"

#include "application/LumivaneApplication.h"
#include "application/LumivaneWindow.h"
#include "base/MessageBoxes.h"
#include "base/ProgressDialogs.h"
#include "base/SettingsStore.h"
#include "export/FolderOpener.h"
#include "export/VideoExport.h"

#include <keldar/core/Filesystem.h>
#include <keldar/logging/Algorithms.h>
#include <keldar/logging/LegacyLogFileError.h>
#include <keldar/logging/NotALogFileError.h>
#include <keldar/logging/SqliteLogFile.h>
#include <keldar/ondrix/MessageParsing.h>
#include <keldar/ondrix/ModelSpecs.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QProgressDialog>

#include <variant>

namespace Keldar::OndrixLumivane {

namespace {

constexpr int standardToastMs = 2500;
// A finished video's toast carries a button: long enough to reach it.
constexpr int videoToastMs = 10000;
constexpr std::int32_t maximumGap = 500;

using Logging::Playback::LogFilePlayer;

LumivaneWindow* mainWindow()
{
    return LumivaneApplication::instance()->getMainWindow();
}

void toast(GUI::Widgets::Notifications::ToastType type, const QString& text, int durationMs)
{
    if (auto* window = mainWindow()) {
        window->newToast(type, text, durationMs);
    }
}

// Boxes about a file the user just chose go on the window in front.
QWidget* activeWindow()
{
    if (QWidget* active = QApplication::activeWindow()) {
        return active;
    }
    return mainWindow();
}

// Asks whether to convert a log of the older format; true for Yes.
bool userWantsConversion()
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Legacy Log File"),
                    QStringLiteral("The log file is in an old file format. Do you want to convert it to the new "
                                   "format? (N.B. conversion adheres to compression setting)"),
                    QMessageBox::Yes | QMessageBox::No, activeWindow());
    box.setDefaultButton(QMessageBox::Yes);
    box.setProperty("class", QStringLiteral("inverted"));
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlag(Qt::FramelessWindowHint);
    return MessageBoxes::show(box) == QMessageBox::Yes;
}

void warning(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, mainWindow());
    MessageBoxes::show(box);
}

std::int64_t integerProperty(const Logging::LogFileInterface& file, int sourceId, const char* key)
{
    return Logging::integerOrZero(file.getDataSourceProperty(sourceId, key));
}

// Sonar images are entries of types 0 to 2 of a sonar source.
bool holdsSonarImages(const Logging::LogFileInterface& file)
{
    Logging::EntryIndexFilter filter;
    filter.dataTypes = {0, 1, 2};
    filter.dataSourceTypes = {KD_LogDataSourceType_Sonar};
    return !file.getEntryIndex(filter).empty();
}

} // namespace

bool MainController::isPlayingLog() const
{
    return logs->player && logs->player->isPlaying();
}

std::vector<int32_t> MainController::getLogEntryIndex() const
{
    return logs->player ? logs->player->getEntryIndex() : std::vector<int32_t>{};
}

void MainController::openLogFile(std::string file)
{
    if (logs->exportingVideo) {
        return;
    }
    std::unique_ptr<Logging::SqliteLogFile> log;
    try {
        log = std::make_unique<Logging::SqliteLogFile>(std::filesystem::path(file));
    } catch (const Logging::NotALogFileError& error) {
        warning(QStringLiteral("Not a log file"), QString::fromLocal8Bit(error.what()));
        return;
    } catch (const Logging::LegacyLogFileError&) {
        log = convertLegacyLog(file);
        if (!log) {
            return;
        }
    } catch (const std::exception& error) {
        MessageBoxes::critical(
            mainWindow(), QStringLiteral("Cannot Open Log File"),
            QStringLiteral("The log file could not be opened: %1").arg(QString::fromLocal8Bit(error.what())));
        return;
    }
    playLogFile(std::move(log), file);
}

std::unique_ptr<Logging::SqliteLogFile> MainController::convertLegacyLog(const std::string& file)
{
    if (!userWantsConversion()) {
        return nullptr;
    }
    // The work reads and replaces a file the user chose: whatever stops it is
    // told, and the original is left in place.
    try {
        auto log = LegacyLogFiles::convert(file, logs->config);
        if (!log) {
            toast(ToastType::Info, QStringLiteral("Conversion cancelled."), standardToastMs);
            return nullptr;
        }
        toast(ToastType::Success, QStringLiteral("Conversion successful!"), standardToastMs);
        return log;
    } catch (const std::exception& error) {
        MessageBoxes::critical(activeWindow(), QStringLiteral("Conversion Error"),
                               QStringLiteral("The log file could not be converted because: ") +
                                   QString::fromLocal8Bit(error.what()));
        return nullptr;
    }
}

void MainController::playLogFile(std::unique_ptr<Logging::SqliteLogFile> log, const std::string& file)
{
    if (!holdsSonarImages(*log)) {
        warning(QStringLiteral("Nothing to play"),
                QStringLiteral("The log file holds no sonar images, so there is nothing to play."));
        return;
    }

    LogSide& side = *logs;
    side.player.reset();
    side.player = std::make_unique<LogFilePlayer>(
        std::move(log), std::vector<KD_LogDataSourceType>{KD_LogDataSourceType_Sonar},
        [this](std::int32_t frame, Logging::DataEntry entry) { playEntry(frame, std::move(entry)); }, side.loop,
        maximumGap);
    side.player->setPlaybackEndedCallback([this](LogFilePlayer::PlaybackEnd reason) {
        QMetaObject::invokeMethod(
            this,
            [this, reason] {
                emit playbackStopped();
                if (reason == LogFilePlayer::PlaybackEnd::EntryUnreadable) {
                    toast(ToastType::Error,
                          QStringLiteral("Playback stopped: the next entry of the log file could not be read."), 0);
                }
            },
            Qt::QueuedConnection);
    });
    LogFilePlayer& player = *side.player;
    const Logging::LogFileInterface& opened = player.getUnderlyingLogFile();

    std::int64_t model = 0;
    std::int64_t serial = 0;
    if (!player.getDataSources().empty()) {
        const int sourceId = player.getDataSources().front().id;
        model = integerProperty(opened, sourceId, "modelNumber");
        serial = integerProperty(opened, sourceId, "serialNumber");
    }
    std::string timeZone = "UTC";
    if (const auto zone = opened.getMetadataValue("currentTimeZone")) {
        if (const auto* text = std::get_if<std::string>(&*zone)) {
            timeZone = *text;
        }
    }
    emit logTimeZoneRetrieved(timeZone);
    player.seek(0);
    // The details before the file: the window's title is the file's name.
    emit sonarDetails(static_cast<uint32_t>(serial),
                      Ondrix::ModelSpecs::getModelSpec(static_cast<Ondrix::ModelNumber>(model)).name, "-", "-");
    emit logFileOpened(file);
    emit logEntriesCounted(player.getFrameCount());
    emit logPlayTimeRetrieved(player.getTotalPlayTime());
    emit newBookmarkList(player.getBookmarks());
}

void MainController::playEntry(int32_t frame, Logging::DataEntry entry)
{
    // Runs on the player's thread (or the GUI thread for a seek): nothing may
    // escape, and a message the parsers refuse simply shows no image.
    namespace Parsing = Ondrix::MessageParsing;
    const std::vector<std::byte> bytes(reinterpret_cast<const std::byte*>(entry.payload.data()),
                                       reinterpret_cast<const std::byte*>(entry.payload.data()) + entry.payload.size());
    try {
        auto show = [this](const auto& parsed) {
            emit newImage(parsed.image);
            return Ondrix::EnvironmentalConditions{parsed.pressure, parsed.temperature, parsed.echoValue};
        };
        switch (entry.type) {
        case 0:
            emit newEnvironmentalConditions(show(Parsing::parseSimplePingResult(bytes)));
            break;
        case 1: {
            const auto parsed = Parsing::parseSimplePingResultV2(bytes);
            const auto conditions = show(parsed);
            emit newAttitude(parsed.attitude);
            emit newEnvironmentalConditions(conditions);
            break;
        }
        case 2:
            emit newEnvironmentalConditions(show(Parsing::parseFullFireResult(bytes)));
            break;
        default:
            break;
        }
    } catch (const std::exception&) {
        // Treated as an entry of another kind.
    }
    logs->shownFrame.store(frame);
    emit framePlayed(frame, entry.entryId);
    emit currentLogTime(entry.timestamp);
}

void MainController::readLogEntry(int index)
{
    if (logs->player && !logs->exportingVideo) {
        logs->player->seek(index);
    }
}

void MainController::beginPlayback()
{
    if (logs->player && !logs->exportingVideo) {
        logs->player->play();
    }
}

void MainController::stopPlayback()
{
    if (logs->player && !logs->exportingVideo) {
        logs->player->stop();
    }
}

void MainController::setLoopPlayback(bool enabled)
{
    logs->loop = enabled;
    if (logs->player) {
        logs->player->setLoopPlayback(enabled);
    }
}

void MainController::setPlaybackSpeed(float speed)
{
    if (logs->player && speed > 0.0F) {
        logs->player->setPlaybackSpeedMultiplier(speed);
    }
}

void MainController::updateBookmark(int32_t entryId, std::string title, std::string comments)
{
    if (logs->player) {
        logs->player->updateBookmark(entryId, title, comments);
        emit newBookmarkList(logs->player->getBookmarks());
    }
}

void MainController::removeBookmark(int32_t entryId)
{
    if (logs->player) {
        logs->player->removeBookmark(entryId);
        emit newBookmarkList(logs->player->getBookmarks());
    }
}

void MainController::closeLogFile()
{
    if (!logs->player || logs->exportingVideo) {
        return;
    }
    logs->player.reset();
    emit logFileClosed();
}

void MainController::exportToLog(int firstFrame, int lastFrame)
{
    if (!logs->player) {
        return;
    }
    LogFilePlayer& player = *logs->player;
    const auto& index = player.getEntryIndex();
    if (firstFrame < 0 || lastFrame < firstFrame || lastFrame >= static_cast<int>(index.size())) {
        toast(ToastType::Error, QStringLiteral("Export failed: the chosen range is not in the log file."), 0);
        return;
    }
    // The copy reads the file the player reads.
    if (player.isPlaying()) {
        player.stop();
        emit playbackStopped();
    }
    QProgressDialog progress(QStringLiteral("Exporting..."), QStringLiteral("Cancel"), 0, 0, mainWindow());
    prepareProgressDialog(progress, Qt::WindowModal);
    progress.setProperty("class", QStringLiteral("inverted"));
    progress.show();
    QCoreApplication::processEvents();

    const Logging::LogFileInterface& source = player.getUnderlyingLogFile();
    // A second export of the same file gets a name of its own.
    const std::filesystem::path output =
        Filesystem::makeUniqueFilePath(Filesystem::appendTextToFilename(source.getFilePath(), "_exported"));
    std::int8_t level = 0;
    KD_LogConfig_GetCompressionLevel(logs->config, &level);
    Logging::Algorithms::CopyReport report;
    const auto exported = Logging::Algorithms::slice(source, index[static_cast<std::size_t>(firstFrame)],
                                                     index[static_cast<std::size_t>(lastFrame)], output.string(),
                                                     applicationName, applicationVersion, level, &report);
    progress.close();
    if (!exported) {
        toast(ToastType::Error,
              QStringLiteral("Export failed: %1")
                  .arg(report.error.empty() ? QStringLiteral("the new log file could not be written.")
                                            : QString::fromStdString(report.error)),
              0);
        return;
    }
    toast(ToastType::Success, QStringLiteral("Export finished successfully!"), standardToastMs);
}

void MainController::exportToLegacyLog(int firstFrame, int lastFrame)
{
    runPlayerExport([firstFrame, lastFrame](LogFilePlayer& player) {
        return LegacyLogFiles::exportRange(player, firstFrame, lastFrame);
    });
}

void MainController::exportToVideo(VideoExportSettings settings,
                                   Ondrix::Visualisation::FanDisplayOptions::DisplaySettings displaySettings)
{
    if (!logs->player || logs->exportingVideo) {
        return;
    }
    LogFilePlayer& player = *logs->player;
    if (settings.startIndex < 0 || settings.endIndex < settings.startIndex ||
        settings.endIndex >= player.getFrameCount()) {
        toast(ToastType::Error, QStringLiteral("Export failed: the chosen range is not in the log file."), 0);
        return;
    }
    settings.distanceUnit = LumivaneApplication::instance()->getDistanceUnit();
    if (player.isPlaying()) {
        player.stop();
        emit playbackStopped();
    }
    const std::int32_t shown = logs->shownFrame.load();
    logs->exportingVideo = true;
    VideoExportResult result;
    try {
        result = exportLogToVideo(player, settings, displaySettings);
    } catch (const std::exception& error) {
        logs->exportingVideo = false;
        Logging::DataEntry entry;
        player.seekInto(shown, entry);
        toast(ToastType::Error, QStringLiteral("Something went wrong: ") + QString::fromLocal8Bit(error.what()), 0);
        return;
    }
    logs->exportingVideo = false;
    // Playing goes on from the frame on screen, quietly, as it is shown already.
    Logging::DataEntry entry;
    player.seekInto(shown, entry);
    if (!result.finished) {
        toast(ToastType::Info, QStringLiteral("Export cancelled."), standardToastMs);
        return;
    }
    const QString path = QString::fromStdString(result.path.string());
    const bool damaged = result.unreadableFrames > 0;
    const QString text =
        damaged ? QStringLiteral("Video saved to %1, but %2 of its frames could not be read: the picture before "
                                 "each is shown instead.")
                      .arg(path)
                      .arg(result.unreadableFrames)
                : QStringLiteral("Export finished successfully! Video saved to %1").arg(path);
    auto* window = mainWindow();
    if (window == nullptr) {
        return;
    }
    Toast* shownToast = window->newToast(damaged ? ToastType::Warning : ToastType::Success, text, videoToastMs,
                                         GUI::Widgets::Notifications::AffirmativeButton::Custom,
                                         QStringLiteral("Show in folder"), true);
    if (shownToast != nullptr) {
        const QString folder = QString::fromStdString(result.path.parent_path().string());
        connect(shownToast, &Toast::affirmative, this, [this, folder] {
            if (!FolderOpener::open(folder)) {
                toast(ToastType::Error, QStringLiteral("The folder %1 could not be shown.").arg(folder),
                      standardToastMs);
            }
        });
    }
}

void MainController::runPlayerExport(const std::function<bool(LogFilePlayer&)>& exportWith)
{
    if (!logs->player) {
        return;
    }
    LogFilePlayer& player = *logs->player;
    // The export seeks the player frame by frame.
    if (player.isPlaying()) {
        player.stop();
        emit playbackStopped();
    }
    const std::int32_t shown = logs->shownFrame.load();
    // The export leaves the player on the last frame it read; playing goes on
    // from the frame on screen instead, quietly, as that frame is shown already.
    auto backToShownFrame = [&player, shown] {
        Logging::DataEntry entry;
        player.seekInto(shown, entry);
    };
    try {
        const bool finished = exportWith(player);
        backToShownFrame();
        if (finished) {
            toast(ToastType::Success, QStringLiteral("Export finished successfully!"), standardToastMs);
        } else {
            toast(ToastType::Info, QStringLiteral("Export cancelled."), standardToastMs);
        }
    } catch (const std::exception& error) {
        backToShownFrame();
        // The export's own error, or a partial file that could not be removed.
        toast(ToastType::Error, QStringLiteral("Something went wrong: ") + QString::fromLocal8Bit(error.what()), 0);
    }
}

} // namespace Keldar::OndrixLumivane
