// The log file half of the controller: opening a log (converting one of the
// older format on request), playing it through a LogFilePlayer, its
// bookmarks, and the exports to a new log file and to the older format.

#include "controller/LegacyLogFiles.h"
#include "controller/MainControllerLogSide.h"

#include "base/BackgroundWork.h"
#include "base/FileManager.h"
#include "base/MessageBoxes.h"
#include "base/ProgressDialogs.h"
#include "base/SettingsStore.h"
#include "base/ViewerContext.h"
#include "export/VideoExport.h"
#include <keldar/gui/MainWindow.h>

#include <keldar/core/Filesystem.h>
#include <keldar/logging/Algorithms.h>
#include <keldar/logging/LegacyLogFileError.h>
#include <keldar/logging/NotALogFileError.h>
#include <keldar/logging/Recovery.h>
#include <keldar/logging/SqliteLogFile.h>
#include <keldar/ondrix/MessageParsing.h>
#include <keldar/ondrix/ModelSpecs.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QProgressDialog>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <utility>
#include <variant>

#include <unistd.h>

namespace Keldar::OndrixLumivane {

namespace {

constexpr int standardToastMs = 2500;
// A finished export's toast carries a button: long enough to reach it.
constexpr int exportToastMs = 10000;
// Long enough to be read after the file's first frame has drawn the eye.
constexpr int damagedEndToastMs = 8000;
constexpr std::int32_t maximumGap = 500;

using Logging::Playback::LogFilePlayer;

// Ends the work when the export returns, however it returns.
class WorkEnds
{
public:
    explicit WorkEnds(std::function<void()> end)
        : end(std::move(end))
    {
    }
    WorkEnds(const WorkEnds&) = delete;
    WorkEnds& operator=(const WorkEnds&) = delete;
    ~WorkEnds() { end(); }

private:
    std::function<void()> end;
};

GUI::Widgets::MainWindow* mainWindow()
{
    return ViewerContext::instance()->getMainWindowBase();
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

// Frameless, named for the stylesheet, and in front of every window: the
// work runs on another thread, and nothing may reach the log meanwhile.
void prepareWorkDialog(QProgressDialog& dialog)
{
    prepareProgressDialog(dialog, Qt::ApplicationModal);
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
}

// A finished export names its file, and offers to show it: the success
// toast stays long enough to reach the button, a partial one until it is
// dismissed.
void announceFile(GUI::Widgets::Notifications::ToastType type, const QString& text, const std::string& file)
{
    using GUI::Widgets::Notifications::AffirmativeButton;
    using GUI::Widgets::Notifications::Toast;
    using GUI::Widgets::Notifications::ToastType;
    auto* window = mainWindow();
    if (window == nullptr) {
        return;
    }
    const int duration = type == ToastType::Success ? exportToastMs : 0;
    Toast* shown =
        window->newToast(type, text, duration, AffirmativeButton::Custom, QStringLiteral("Show in folder"), true);
    if (shown != nullptr) {
        QObject::connect(shown, &Toast::affirmative, [file] { FileManager::showFolderOf(file); });
    }
}

QString savedAs(const std::string& file)
{
    return QStringLiteral(" Saved as ") + QString::fromStdString(file);
}

// Sonar images are entries of types 0 to 2 of a sonar source.
bool holdsSonarImages(const Logging::LogFileInterface& file)
{
    Logging::EntryIndexFilter filter;
    filter.dataTypes = {0, 1, 2};
    filter.dataSourceTypes = {KD_LogDataSourceType_Sonar};
    return !file.getEntryIndex(filter).empty();
}

// Why changes to the log at `file` would be refused, or empty. A file or folder
// marked read-only (writable by no one) counts as such even for a user whose
// privileges would let the write through: the mark is the owner's wish.
QString readOnlyReasonFor(const std::filesystem::path& file)
{
    auto unwritable = [](const std::filesystem::path& path) {
        using Perms = std::filesystem::perms;
        std::error_code error;
        const auto status = std::filesystem::status(path, error);
        if (error) {
            return false;
        }
        const bool marked =
            (status.permissions() & (Perms::owner_write | Perms::group_write | Perms::others_write)) == Perms::none;
        return marked || ::access(path.c_str(), W_OK) != 0;
    };
    if (unwritable(file)) {
        return QStringLiteral("the log file is read-only.");
    }
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    if (unwritable(folder)) {
        return QStringLiteral("the folder of the log file is read-only.");
    }
    return {};
}

// A copy's progress shown by a work dialog, and its Cancel button heard.
Logging::Algorithms::CopyControl followedBy(WorkProgress& progress)
{
    Logging::Algorithms::CopyControl control;
    control.progress = [&progress](std::int64_t handled, std::int64_t selected) {
        progress.setRange(0, selected);
        progress.setValue(handled);
    };
    control.cancelled = [&progress] { return progress.cancelRequested(); };
    return control;
}

// A damaged log is read through once, off the GUI thread, to learn which
// entries still read, so that playing it never meets a lost one. False when
// the user cancelled.
bool readDamagedLog(const Logging::SqliteLogFile& log)
{
    if (!log.lookForDamage()) {
        return true;
    }
    QProgressDialog dialog(QStringLiteral("Reading the damaged log file..."), QStringLiteral("Cancel"), 0, 0);
    prepareWorkDialog(dialog);
    dialog.setProperty("class", QStringLiteral("inverted"));
    WorkProgress progress;
    bool read = false;
    runBehindDialog(dialog, progress, [&] {
        read = log.checkEntries([&progress](std::int64_t done, std::int64_t total) {
                      progress.setRange(0, total);
                      progress.setValue(done);
                      return !progress.cancelRequested();
                  })
                   .has_value();
    });
    return read;
}

// Where the recovered copy of `damaged` goes: beside it, or in the log folder
// when its own folder cannot be written.
std::filesystem::path recoveryPath(const std::filesystem::path& damaged, const std::string& logFolder)
{
    std::filesystem::path folder = damaged.has_parent_path() ? damaged.parent_path() : std::filesystem::path(".");
    if (::access(folder.c_str(), W_OK) != 0) {
        folder = logFolder;
    }
    return Filesystem::makeUniqueFilePath(Filesystem::appendTextToFilename(folder / damaged.filename(), "_recovered"));
}

} // namespace

bool MainController::hasOpenLog() const
{
    return logs->player != nullptr;
}

bool MainController::isPlayingLog() const
{
    return logs->player && logs->player->isPlaying();
}

float MainController::getLogPlaybackSpeed() const
{
    return logs->player ? logs->player->getPlaybackSpeedMultiplier() : 0.0F;
}

std::vector<int32_t> MainController::getLogEntryIndex() const
{
    return logs->player ? logs->player->getEntryIndex() : std::vector<int32_t>{};
}

void MainController::openLogFile(std::string file)
{
    request(SourceRequest::Open, {0, std::move(file)});
}

void MainController::openFile(const std::string& file)
{
    std::unique_ptr<Logging::SqliteLogFile> log;
    const QString readOnlyReason = readOnlyReasonFor(std::filesystem::path(file));
    bool converted = false;
    // Absolute, so that stills go beside the log whatever the current folder.
    std::error_code absoluteError;
    const std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(file), absoluteError);
    try {
        // Opening never writes: an empty or missing file is refused, not made
        // a log, and a log is opened for writing only when a bookmark asks.
        const std::filesystem::path path = absoluteError ? std::filesystem::path(file) : absolute;
        const auto open = [&] {
            log = std::make_unique<Logging::SqliteLogFile>(path, readOnlyReason.isEmpty()
                                                                     ? Logging::SqliteLogFile::Access::ReadWriteExisting
                                                                     : Logging::SqliteLogFile::Access::ReadOnly);
        };
        if (Logging::SqliteLogFile::hasJournalBeside(path)) {
            // Read from a copy made with its journal: off the GUI thread.
            QProgressDialog dialog(QStringLiteral("Reading the recording that was cut off..."), QString(), 0, 0);
            prepareWorkDialog(dialog);
            dialog.setProperty("class", QStringLiteral("inverted"));
            WorkProgress progress;
            runBehindDialog(dialog, progress, open);
        } else {
            open();
        }
    } catch (const Logging::DamagedLogFileError& error) {
        warning(QStringLiteral("Damaged log file"), QString::fromLocal8Bit(error.what()));
        return;
    } catch (const Logging::NotALogFileError& error) {
        warning(QStringLiteral("Not a log file"), QString::fromLocal8Bit(error.what()));
        return;
    } catch (const Logging::LegacyLogFileError&) {
        log = convertLegacyLog(file);
        if (!log) {
            return;
        }
        // A new file of the user's own.
        converted = true;
    } catch (const std::exception& error) {
        MessageBoxes::critical(
            mainWindow(), QStringLiteral("Cannot Open Log File"),
            QStringLiteral("The log file could not be opened: %1").arg(QString::fromLocal8Bit(error.what())));
        return;
    }
    if (!converted && !readDamagedLog(*log)) {
        return;
    }
    playLogFile(std::move(log), file, converted ? QString() : readOnlyReason);
}

std::unique_ptr<Logging::SqliteLogFile> MainController::convertLegacyLog(const std::string& file)
{
    if (!userWantsConversion()) {
        return nullptr;
    }
    beginWork(QStringLiteral("conversion"));
    const WorkEnds workEnds([this] { endWork(); });
    // The work reads and replaces a file the user chose: whatever stops it is
    // told, and the original is left in place.
    try {
        std::filesystem::path keptOriginal;
        auto log = LegacyLogFiles::convert(file, logs->config, keptOriginal);
        if (!log) {
            toast(ToastType::Info, QStringLiteral("Conversion cancelled."), standardToastMs);
            return nullptr;
        }
        announceFile(ToastType::Success,
                     QStringLiteral("Conversion successful! The original is kept as ") +
                         QString::fromStdString(keptOriginal.string()),
                     keptOriginal.string());
        return log;
    } catch (const std::exception& error) {
        MessageBoxes::critical(activeWindow(), QStringLiteral("Conversion Error"),
                               QStringLiteral("The log file could not be converted because: ") +
                                   QString::fromLocal8Bit(error.what()));
        return nullptr;
    }
}

void MainController::playLogFile(std::unique_ptr<Logging::SqliteLogFile> log, const std::string& file,
                                 const QString& readOnlyReason)
{
    if (!holdsSonarImages(*log)) {
        warning(QStringLiteral("Nothing to play"),
                QStringLiteral("The log file holds no sonar images, so there is nothing to play."));
        return;
    }

    // The viewer began to close while a conversion ran.
    if (arbiter.state() == SourceState::Closing) {
        return;
    }
    const bool endIsDamaged = log->endIsDamaged();
    const bool pagesDamaged = log->isDamaged();
    const bool openedMidWrite = log->openedMidWrite();
    // The source shown (a sonar, a recording the user agreed to stop, or
    // another log) ends completely first: the window shows one at a time.
    endSource();
    LogSide& side = *logs;
    side.readOnlyReason = readOnlyReason;
    const std::uint64_t generation = ++arbiter.generation;
    side.shownFrame.store(0);
    side.player = std::make_unique<LogFilePlayer>(
        std::move(log), std::vector<KD_LogDataSourceType>{KD_LogDataSourceType_Sonar},
        [this, generation](std::int32_t frame, Logging::DataEntry entry) {
            playEntry(generation, frame, std::move(entry));
        },
        side.loop, maximumGap);
    moveTo(SourceState::Playing);
    side.player->setPlaybackSpeedMultiplier(side.speed);
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
    emit logFrameTimesRetrieved(player.getFrameTimestamps());
    emit logPlayTimeRetrieved(player.getTotalPlayTime());
    emit newBookmarkList(player.getBookmarks());
    QString damage;
    if (endIsDamaged) {
        damage = QStringLiteral("The end of the log file is damaged: it plays up to its last complete entry.");
    } else if (pagesDamaged) {
        damage = QStringLiteral("The log file is damaged: it plays the entries that can still be read.");
    } else if (openedMidWrite) {
        damage = QStringLiteral("The recording was cut off while it was being written: it plays up to its last "
                                "complete entry.");
    }
    if (damage.isEmpty()) {
        return;
    }
    // The file itself is never repaired: the button writes a clean copy.
    using GUI::Widgets::Notifications::AffirmativeButton;
    using GUI::Widgets::Notifications::Toast;
    if (auto* window = mainWindow()) {
        Toast* shown = window->newToast(ToastType::Warning, damage, damagedEndToastMs, AffirmativeButton::Custom,
                                        QStringLiteral("Recover into a new file"), true);
        if (shown != nullptr) {
            QObject::connect(shown, &Toast::affirmative, this, [this] { recoverOpenLog(); });
        }
    }
}

void MainController::recoverOpenLog()
{
    if (!logs->player || arbiter.state() != SourceState::Playing) {
        return;
    }
    LogFilePlayer& player = *logs->player;
    const auto* source = dynamic_cast<const Logging::SqliteLogFile*>(&player.getUnderlyingLogFile());
    if (source == nullptr) {
        return;
    }
    if (player.isPlaying()) {
        player.stop();
        emit playbackStopped();
    }
    const std::filesystem::path output = recoveryPath(source->getFilePath(), logs->logFolder);
    QProgressDialog dialog(QStringLiteral("Recovering into a new file..."), QStringLiteral("Cancel"), 0, 0);
    prepareWorkDialog(dialog);
    dialog.setProperty("class", QStringLiteral("inverted"));
    WorkProgress progress;
    const Logging::Algorithms::CopyControl control = followedBy(progress);
    Logging::Algorithms::RecoveryReport report;
    bool recovered = false;
    beginWork(QStringLiteral("recovery"));
    const WorkEnds workEnds([this] { endWork(); });
    {
        const LogSide::LentPlayer lent(*logs);
        runBehindDialog(dialog, progress, [&] {
            recovered =
                Logging::Algorithms::recoverInto(*source, output, applicationName, applicationVersion, report, control);
        });
    }
    if (report.cancelled) {
        toast(ToastType::Info, QStringLiteral("Recovery cancelled."), standardToastMs);
        return;
    }
    if (!recovered) {
        toast(ToastType::Error, QStringLiteral("Recovery failed: %1").arg(QString::fromStdString(report.error)), 0);
        return;
    }
    announceFile(report.lostEntries() > 0 || report.bookmarksOnLostEntries > 0 ? ToastType::Warning
                                                                               : ToastType::Success,
                 QString::fromStdString(report.summary(output)), output.string());
}

void MainController::playEntry(std::uint64_t generation, int32_t frame, Logging::DataEntry entry)
{
    // Runs on the player's thread (or the GUI thread for a seek): nothing may
    // escape, and a message the parsers refuse simply shows no image.
    namespace Parsing = Ondrix::MessageParsing;
    const std::vector<std::byte> bytes(reinterpret_cast<const std::byte*>(entry.payload.data()),
                                       reinterpret_cast<const std::byte*>(entry.payload.data()) + entry.payload.size());
    std::optional<Ondrix::OndrixImage> image;
    std::optional<Ondrix::EnvironmentalConditions> conditions;
    std::optional<DataProcessing::Orientation::Attitude> attitude;
    try {
        auto take = [&](const auto& parsed) {
            image = parsed.image;
            conditions = Ondrix::EnvironmentalConditions{parsed.pressure, parsed.temperature, parsed.echoValue};
        };
        switch (entry.type) {
        case 0:
            take(Parsing::parseSimplePingResult(bytes));
            break;
        case 1: {
            const auto parsed = Parsing::parseSimplePingResultV2(bytes);
            take(parsed);
            attitude = parsed.attitude;
            break;
        }
        case 2:
            take(Parsing::parseFullFireResult(bytes));
            break;
        default:
            break;
        }
    } catch (const std::exception&) {
        // Treated as an entry of another kind.
        image.reset();
        conditions.reset();
        attitude.reset();
    }
    // Shown only while this log is still the source: frames a closed player
    // had queued never reach the next one's screen.
    deliver(generation, [this, frame, entryId = entry.entryId, timestamp = entry.timestamp, image = std::move(image),
                         conditions, attitude] {
        if (image) {
            emit newImage(*image);
        }
        if (attitude) {
            emit newAttitude(*attitude);
        }
        if (conditions) {
            emit newEnvironmentalConditions(*conditions);
        }
        logs->shownFrame.store(frame);
        emit framePlayed(frame, entryId);
        emit currentLogTime(timestamp);
    });
}

std::int32_t MainController::getShownFrame() const
{
    return logs->shownFrame.load();
}

// While a work runs the player is the work's: nobody else seeks or plays it.
void MainController::readLogEntry(int index)
{
    if (logs->player && arbiter.state() == SourceState::Playing) {
        logs->player->seek(index);
    }
}

void MainController::beginPlayback()
{
    if (logs->player && arbiter.state() == SourceState::Playing) {
        logs->player->play();
    }
}

void MainController::stopPlayback()
{
    if (logs->player && arbiter.state() == SourceState::Playing) {
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
    if (!(speed > 0.0F)) {
        return;
    }
    logs->speed = speed;
    if (logs->player) {
        logs->player->setPlaybackSpeedMultiplier(speed);
    }
}

namespace {

// Bookmarks of a log the user may not change are refused before the file is
// tried; otherwise the file's own reason is told.
MainController::BookmarkOutcome bookmarkOutcome(bool done, const QString& success, const QString& failure,
                                                const Logging::LogFileInterface& file)
{
    if (done) {
        return {true, success};
    }
    return {false, failure + QString::fromStdString(file.getLastError())};
}

} // namespace

MainController::BookmarkOutcome MainController::addPlaybackBookmark(int32_t entryId, const std::string& title,
                                                                    const std::string& comments)
{
    const QString failure = QStringLiteral("The bookmark was not added: ");
    if (!logs->player) {
        return {false, failure + QStringLiteral("no log file is open.")};
    }
    LogFilePlayer& player = *logs->player;
    if (!logs->readOnlyReason.isEmpty()) {
        return {false, failure + logs->readOnlyReason};
    }
    const auto& bookmarks = player.getBookmarks();
    if (std::any_of(bookmarks.begin(), bookmarks.end(),
                    [entryId](const auto& bookmark) { return bookmark.entryId == entryId; })) {
        return {false, failure + QStringLiteral("this frame has a bookmark already; edit that one instead.")};
    }
    const bool added = player.addBookmark(entryId, title, comments);
    emit newBookmarkList(player.getBookmarks());
    return bookmarkOutcome(added, QStringLiteral("Bookmark added!"), failure, player.getUnderlyingLogFile());
}

MainController::BookmarkOutcome MainController::updateBookmark(Logging::Bookmark chosen, std::string title,
                                                               std::string comments)
{
    const QString failure = QStringLiteral("The bookmark was not changed: ");
    if (!logs->player) {
        return {false, failure + QStringLiteral("no log file is open.")};
    }
    if (!logs->readOnlyReason.isEmpty()) {
        return {false, failure + logs->readOnlyReason};
    }
    LogFilePlayer& player = *logs->player;
    const bool updated = player.updateBookmark(chosen, title, comments);
    emit newBookmarkList(player.getBookmarks());
    return bookmarkOutcome(updated, QStringLiteral("Bookmark updated!"), failure, player.getUnderlyingLogFile());
}

MainController::BookmarkOutcome MainController::removeBookmark(Logging::Bookmark chosen)
{
    const QString failure = QStringLiteral("The bookmark was not deleted: ");
    if (!logs->player) {
        return {false, failure + QStringLiteral("no log file is open.")};
    }
    if (!logs->readOnlyReason.isEmpty()) {
        return {false, failure + logs->readOnlyReason};
    }
    LogFilePlayer& player = *logs->player;
    const bool removed = player.removeBookmark(chosen);
    emit newBookmarkList(player.getBookmarks());
    return bookmarkOutcome(removed, QStringLiteral("Bookmark deleted."), failure, player.getUnderlyingLogFile());
}

void MainController::closeLogFile()
{
    request(SourceRequest::CloseLog);
}

void MainController::endLog()
{
    if (!logs->player) {
        return;
    }
    logs->player.reset();
    ++arbiter.generation;
    moveTo(SourceState::Idle);
    emit logFileClosed();
}

void MainController::exportToLog(int firstFrame, int lastFrame)
{
    if (!logs->player || arbiter.state() != SourceState::Playing) {
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
    const Logging::LogFileInterface& source = player.getUnderlyingLogFile();
    // A second export of the same file gets a name of its own.
    const std::filesystem::path output =
        Filesystem::makeUniqueFilePath(Filesystem::appendTextToFilename(source.getFilePath(), "_exported"));
    std::int8_t level = 0;
    KD_LogConfig_GetCompressionLevel(logs->config, &level);
    const std::int32_t first = index[static_cast<std::size_t>(firstFrame)];
    const std::int32_t last = index[static_cast<std::size_t>(lastFrame)];

    QProgressDialog dialog(QStringLiteral("Exporting..."), QStringLiteral("Cancel"), 0, 0);
    prepareWorkDialog(dialog);
    dialog.setProperty("class", QStringLiteral("inverted"));
    WorkProgress progress;
    progress.setRange(0, lastFrame - firstFrame + 1);
    const Logging::Algorithms::CopyControl control = followedBy(progress);
    Logging::Algorithms::CopyReport report;
    std::unique_ptr<Logging::LogFileInterface> exported;
    beginWork(QStringLiteral("export"));
    const WorkEnds workEnds([this] { endWork(); });
    try {
        const LogSide::LentPlayer lent(*logs);
        runBehindDialog(dialog, progress, [&] {
            exported = Logging::Algorithms::slice(source, first, last, output.string(), applicationName,
                                                  applicationVersion, level, &report, control);
        });
    } catch (const std::exception& error) {
        report.error = error.what();
    }
    if (report.cancelled) {
        toast(ToastType::Info, QStringLiteral("Export cancelled."), standardToastMs);
        return;
    }
    if (!exported) {
        toast(ToastType::Error,
              QStringLiteral("Export failed: %1")
                  .arg(report.error.empty() ? QStringLiteral("the new log file could not be written.")
                                            : QString::fromStdString(report.error)),
              0);
        return;
    }
    const std::string written = exported->getFilePath().string();
    exported.reset();
    const auto skipped = static_cast<std::int64_t>(report.skippedEntryIds.size());
    if (skipped == 0) {
        announceFile(ToastType::Success, QStringLiteral("Export finished successfully!") + savedAs(written), written);
    } else {
        announceFile(ToastType::Warning,
                     QStringLiteral("Exported %1 of %2 frames: %3 could not be read.")
                             .arg(report.copiedEntries)
                             .arg(report.copiedEntries + skipped)
                             .arg(skipped) +
                         savedAs(written),
                     written);
    }
}

void MainController::exportToLegacyLog(int firstFrame, int lastFrame)
{
    if (!logs->player || arbiter.state() != SourceState::Playing) {
        return;
    }
    LogFilePlayer& player = *logs->player;
    // The export seeks the player frame by frame.
    if (player.isPlaying()) {
        player.stop();
        emit playbackStopped();
    }
    const std::int32_t shown = logs->shownFrame.load();
    std::optional<Logging::Legacy::LegacyExportResult> exported;
    QString failure;
    beginWork(QStringLiteral("export"));
    const WorkEnds workEnds([this] { endWork(); });
    try {
        const LogSide::LentPlayer lent(*logs);
        exported = LegacyLogFiles::exportRange(player, firstFrame, lastFrame);
    } catch (const std::exception& error) {
        failure = QString::fromLocal8Bit(error.what());
    }
    // The export leaves the player on the last frame it read; playing goes on
    // from the frame on screen instead, quietly, as that frame is shown already.
    Logging::DataEntry entry;
    player.seekInto(shown, entry);
    if (!failure.isNull()) {
        // The export's own error, or a partial file that could not be removed.
        toast(ToastType::Error, QStringLiteral("Something went wrong: ") + failure, 0);
        return;
    }
    if (!exported) {
        toast(ToastType::Info, QStringLiteral("Export cancelled."), standardToastMs);
        return;
    }
    if (exported->isComplete()) {
        announceFile(ToastType::Success,
                     QStringLiteral("Export finished successfully!") + savedAs(exported->path.string()),
                     exported->path.string());
        return;
    }
    QStringList leftOut;
    if (exported->framesUnreadable > 0) {
        leftOut << QStringLiteral("%1 could not be read").arg(exported->framesUnreadable);
    }
    if (exported->framesOfOtherKinds > 0) {
        leftOut << QStringLiteral("%1 the older format cannot hold").arg(exported->framesOfOtherKinds);
    }
    announceFile(ToastType::Warning,
                 QStringLiteral("Exported %1 of %2 frames: %3.")
                         .arg(exported->framesWritten)
                         .arg(lastFrame - firstFrame + 1)
                         .arg(leftOut.join(QStringLiteral(", "))) +
                     savedAs(exported->path.string()),
                 exported->path.string());
}

void MainController::exportToVideo(VideoExportSettings settings,
                                   Ondrix::Visualisation::FanDisplayOptions::DisplaySettings displaySettings)
{
    if (!logs->player || arbiter.state() != SourceState::Playing) {
        return;
    }
    LogFilePlayer& player = *logs->player;
    if (settings.startIndex < 0 || settings.endIndex < settings.startIndex ||
        settings.endIndex >= player.getFrameCount()) {
        toast(ToastType::Error, QStringLiteral("Export failed: the chosen range is not in the log file."), 0);
        return;
    }
    settings.distanceUnit = ViewerContext::instance()->getDistanceUnit();
    if (player.isPlaying()) {
        player.stop();
        emit playbackStopped();
    }
    const std::int32_t shown = logs->shownFrame.load();
    VideoExportResult result;
    beginWork(QStringLiteral("export"));
    const WorkEnds workEnds([this] { endWork(); });
    QString failure;
    try {
        // Lent, as to the other exports: a request that ends the source while
        // the export runs (a signal) finds no player to destroy under it.
        const LogSide::LentPlayer lent(*logs);
        result = exportLogToVideo(player, settings, displaySettings);
    } catch (const std::exception& error) {
        failure = QString::fromLocal8Bit(error.what());
    }
    // The viewer began to close meanwhile: nothing more to show.
    if (arbiter.state() == SourceState::Closing || !logs->player) {
        return;
    }
    // Playing goes on from the frame on screen, quietly, as it is shown already.
    Logging::DataEntry entry;
    player.seekInto(shown, entry);
    if (!failure.isEmpty()) {
        toast(ToastType::Error, QStringLiteral("Something went wrong: ") + failure, 0);
        return;
    }
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
    announceFile(damaged ? ToastType::Warning : ToastType::Success, text, result.path.string());
}

} // namespace Keldar::OndrixLumivane
