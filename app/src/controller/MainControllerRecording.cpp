// The recording half of the controller: a sonar's raw messages into a new log
// file, bookmarks while recording, and still captures.

#include "controller/MainControllerLogSide.h"

#include <keldar/navigation/NavigationLog.h>

#include "base/MessageBoxes.h"
#include "base/SettingsStore.h"
#include "base/ViewerContext.h"
#include <keldar/gui/MainWindow.h>

#include "base/FileManager.h"

#include <keldar/core/Filesystem.h>
#include <keldar/logging/SqliteLogFile.h>
#include <keldar/ondrix/OndrixSonar.h>

#include <QDateTime>
#include <QFile>
#include <QMetaObject>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTimeZone>
#include <QTimer>

#include <cerrno>
#include <system_error>
#include <utility>

namespace Keldar::OndrixLumivane {

namespace {

constexpr int standardToastMs = 2500;
// The saved toast carries a button: long enough to reach it.
constexpr int savedToastMs = 10000;

std::string takeMessage(KD_LogError*& error)
{
    const char* text = nullptr;
    std::string message = error != nullptr && KD_LogError_GetErrorMessage(error, &text) && text != nullptr
                              ? text
                              : "Unknown internal error";
    KD_LogError_Destroy(error);
    error = nullptr;
    return message;
}

void warnBadSaveLocation(const QString& what)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Bad Save Location"),
                    QStringLiteral("The save location for %1 is not valid, this may be because the specified "
                                   "folder has been moved or deleted. %2 will be unavailable until the save "
                                   "location is updated, this can be done in the settings panel.")
                        .arg(what, what == QLatin1String("log files")
                                       ? QStringLiteral("Log file recording functionality")
                                       : QStringLiteral("Still capture functionality")),
                    QMessageBox::Ok, ViewerContext::instance()->getMainWindowBase());
    MessageBoxes::show(box);
}

std::string localTimeStamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_hhmmss")).toStdString();
}

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

// Made a moment ago and holding no data.
void removeUnusedLog(const std::filesystem::path& path)
{
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        std::filesystem::remove(path.string() + suffix, ignored);
    }
}

} // namespace

bool isExistingFolder(const std::filesystem::path& folder)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const auto status = fs::status(folder, error);
    if (error) {
        const int code = error.value();
        if (code == ENOENT || code == ENOTDIR || code == ENAMETOOLONG || code == EINVAL) {
            return false;
        }
        throw fs::filesystem_error("status", folder, error);
    }
    return fs::is_directory(status);
}

MainController::LogSide::LogSide()
    : config(
          KD_LogConfig_Create(applicationName, applicationVersion, QTimeZone::systemTimeZoneId().toStdString().c_str()))
    // Until the settings say otherwise: their defaults.
    , logFolder(QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).toStdString())
    , captureExtension(".jpg")
{
    KD_LogConfig_SetCompressionLevel(config, 0, nullptr);
}

MainController::LogSide::~LogSide()
{
    // A recording being made or closed is waited for.
    if (starting.valid()) {
        StartedRecording started = starting.get();
        KD_LogFile_Destroy(started.file);
        KD_LogDataSource_Destroy(started.source);
    }
    if (stopping.valid()) {
        stopping.wait();
    }
    player.reset();
    {
        std::lock_guard lock(writeMutex);
        stopFlag.exchange(1);
        KD_LogFile_Destroy(file);
        KD_LogError_Destroy(error);
        file = nullptr;
        error = nullptr;
    }
    recordingConnection.disconnect();
    KD_LogDataSource_Destroy(source);
    KD_LogDataSource_Destroy(navigationSource);
    KD_LogConfig_Destroy(config);
}

void MainController::initialiseLogSide()
{
    qRegisterMetaType<Logging::Playback::PlayerBookmark>("Keldar::Logging::Playback::PlayerBookmark");
    qRegisterMetaType<std::vector<Logging::Playback::PlayerBookmark>>(
        "std::vector<Keldar::Logging::Playback::PlayerBookmark>");
    logs = std::make_shared<LogSide>();
}

void MainController::setLogCompression(bool enabled)
{
    KD_LogConfig_SetCompressionLevel(logs->config, enabled ? -1 : 0, nullptr);
}

void MainController::setLogLocation(std::string folder)
{
    logs->logFolder = std::move(folder);
}

void MainController::setCaptureFormat(std::string extension)
{
    logs->captureExtension = std::move(extension);
}

bool MainController::isRecording() const
{
    return arbiter.base() == SourceState::Recording;
}

std::string MainController::getRecordingPath() const
{
    return isRecording() ? logs->recordingPath.string() : std::string();
}

void MainController::startLogging()
{
    Ondrix::OndrixSonar* sonar = getSonar();
    // Only from Live: a second press while the file is being made, or while
    // the last recording is being closed, is ignored.
    if (sonar == nullptr || arbiter.base() != SourceState::Live) {
        return;
    }
    LogSide& log = *logs;
    if (!isExistingFolder(log.logFolder)) {
        warnBadSaveLocation(QStringLiteral("log files"));
        return;
    }
    const std::filesystem::path path = Filesystem::makeUniqueFilePath(
        (std::filesystem::path(log.logFolder) / localTimeStamp()).replace_extension(".ondrix"));

    // The worker has its own copy of the settings, which the settings panel
    // may change meanwhile.
    std::int8_t level = 0;
    const char* zone = nullptr;
    KD_LogConfig_GetCompressionLevel(log.config, &level);
    KD_LogConfig_GetTimeZone(log.config, &zone);
    KD_LogConfig* config = KD_LogConfig_Create(applicationName, applicationVersion, zone != nullptr ? zone : "");
    KD_LogConfig_SetCompressionLevel(config, level, nullptr);
    const std::string sourceName = "Ondrix " + sonar->getSpec().name;
    const auto serial = static_cast<std::int32_t>(sonar->getSerialNumber());
    const auto model = static_cast<std::int32_t>(sonar->getModelNumber());

    moveTo(SourceState::Starting);
    // Opening, the schema, the write-ahead log and the first commit are file
    // work: off the GUI thread, which hears back through its event queue.
    // What the sonar sends meanwhile is not recorded, as before: the
    // recording begins when its file is ready.
    log.starting = std::async(std::launch::async, [this, config, path, sourceName, serial, model] {
        StartedRecording started;
        started.path = path;
        KD_LogError* error = nullptr;
        started.file = KD_LogFile_Create(path.c_str(), config, &error);
        KD_LogConfig_Destroy(config);
        if (started.file == nullptr) {
            started.failure = takeMessage(error);
        } else {
            started.source = KD_LogDataSource_Create(KD_LogDataSourceType_Sonar, sourceName.c_str());
            bool ok = KD_LogFile_AddDataSource(started.file, started.source, &error);
            for (const auto& [key, value] : {std::pair{"serialNumber", serial}, std::pair{"modelNumber", model}}) {
                if (!ok) {
                    break;
                }
                KD_LogDataSourceProperty* property = KD_LogDataSourceProperty_CreateInt32(started.source, key, value);
                ok = KD_LogFile_AddDataSourceProperty(started.file, property, &error);
                KD_LogDataSourceProperty_Destroy(property);
            }
            if (!ok) {
                started.failure = takeMessage(error);
                KD_LogFile_Destroy(started.file);
                KD_LogDataSource_Destroy(started.source);
                started.file = nullptr;
                started.source = nullptr;
                removeUnusedLog(path);
            }
        }
        QMetaObject::invokeMethod(
            this, [this] { settleWhenReady(); }, Qt::QueuedConnection);
        return started;
    });
}

void MainController::settleRecording()
{
    LogSide& log = *logs;
    if (log.starting.valid()) {
        finishStarting(log.starting.get());
    } else if (log.stopping.valid()) {
        finishStopping(log.stopping.get());
    }
}

void MainController::settleWhenReady()
{
    // The worker calls back just before its result is set: if it has not
    // been set yet, the GUI thread looks again rather than wait for it.
    LogSide& log = *logs;
    const auto pending = [](const auto& future) {
        return future.valid() && future.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
    };
    if (pending(log.starting) || pending(log.stopping)) {
        QTimer::singleShot(1, this, &MainController::settleWhenReady);
        return;
    }
    settleRecording();
}

void MainController::finishStarting(StartedRecording started)
{
    LogSide& log = *logs;
    Ondrix::OndrixSonar* sonar = getSonar();
    if (started.file != nullptr && sonar == nullptr) {
        // Nothing can be recorded into it any more.
        KD_LogFile_Destroy(started.file);
        KD_LogDataSource_Destroy(started.source);
        started.file = nullptr;
        started.source = nullptr;
        removeUnusedLog(started.path);
        started.failure = "the sonar was disconnected";
    }
    if (started.file == nullptr) {
        moveTo(SourceState::Live);
        toast(ToastType::Error,
              QStringLiteral("The log file could not be created: %1").arg(QString::fromStdString(started.failure)), 0);
    } else {
        {
            std::lock_guard lock(log.writeMutex);
            KD_LogFile_Destroy(log.file);
            KD_LogError_Destroy(log.error);
            KD_LogDataSource_Destroy(log.source);
            log.file = started.file;
            log.error = nullptr;
            log.source = started.source;
            log.recordingPath = started.path;
            log.writeFailed = false;
            log.stopFlag.exchange(0);
        }
        log.recordingConnection.disconnect();
        log.recordingConnection =
            sonar->rawMessage.connect([this](const std::vector<std::byte>& bytes, Ondrix::MessageType type,
                                             int version) { writeToLog(bytes, type, version); });
        moveTo(SourceState::Recording);
        emit loggingStarted();
    }
    if (!arbiter.waiting.empty()) {
        QTimer::singleShot(0, this, &MainController::runWaitingRequests);
    }
}

void MainController::writeToLog(std::vector<std::byte> rawImage, Ondrix::MessageType, int version)
{
    LogSide& log = *logs;
    std::unique_lock lock(log.writeMutex);
    if (log.stopFlag.exchange(1) == 1) {
        lock.unlock();
        log.recordingConnection.disconnect();
        return;
    }
    log.stopFlag.exchange(0);
    KD_LogDataEntry* entry = KD_LogDataEntry_Create(
        log.source, version != 1 ? 1U : 0U, reinterpret_cast<const std::uint8_t*>(rawImage.data()), rawImage.size());
    KD_LogError_Destroy(log.error);
    log.error = nullptr;
    bool written = false;
    std::string failure;
    try {
        written = KD_LogFile_LogData(log.file, entry, &log.error);
        if (!written) {
            failure = takeMessage(log.error);
        }
    } catch (const std::exception& exception) {
        failure = exception.what();
    }
    KD_LogDataEntry_Destroy(entry);
    if (written) {
        return;
    }
    // No more writes into a file that refuses them; the GUI thread closes it
    // and tells the user.
    log.stopFlag.exchange(1);
    log.writeFailed = true;
    const QString reason = QString::fromStdString(failure);
    QMetaObject::invokeMethod(
        this, [this, reason] { recordingFailed(reason); }, Qt::QueuedConnection);
}

int32_t MainController::getLastEntryID()
{
    std::lock_guard lock(logs->writeMutex);
    std::int32_t count = 0;
    if (logs->file == nullptr || !KD_LogFile_GetEntryCount(logs->file, &count, nullptr)) {
        return 0;
    }
    return count;
}

MainController::ClosedRecording MainController::closeAndCheck(StartedRecording recording)
{
    ClosedRecording closed;
    closed.path = recording.path;
    std::int32_t counted = 0;
    closed.counted = recording.file != nullptr && KD_LogFile_GetEntryCount(recording.file, &counted, nullptr);
    closed.entries = counted;
    KD_LogFile_Destroy(recording.file);
    // The close is checked by reading the file back: what the user is told
    // was saved is what a reader finds.
    try {
        const Logging::SqliteLogFile reread(closed.path, Logging::SqliteLogFile::Access::ReadOnly);
        closed.checked = closed.counted && reread.getEntryCount() == closed.entries;
        if (!closed.checked) {
            closed.failure = QStringLiteral("%1 entries were written but %2 are in the file")
                                 .arg(closed.entries)
                                 .arg(reread.getEntryCount());
        }
    } catch (const std::exception& error) {
        closed.failure = QString::fromLocal8Bit(error.what());
    }
    return closed;
}

MainController::StartedRecording MainController::LogSide::takeFile()
{
    std::lock_guard lock(writeMutex);
    stopFlag.exchange(1);
    StartedRecording taken;
    taken.file = std::exchange(file, nullptr);
    taken.path = recordingPath;
    KD_LogError_Destroy(error);
    error = nullptr;
    return taken;
}

MainController::ClosedRecording MainController::closeRecording()
{
    ClosedRecording closed = closeAndCheck(logs->takeFile());
    moveTo(SourceState::Live);
    return closed;
}

void MainController::finishStopping(const ClosedRecording& closed)
{
    moveTo(SourceState::Live);
    announceClosedRecording(closed);
    emit loggingStopped();
    if (!arbiter.waiting.empty()) {
        QTimer::singleShot(0, this, &MainController::runWaitingRequests);
    }
}

void MainController::announceClosedRecording(const ClosedRecording& closed)
{
    const QString path = QFile::decodeName(closed.path.c_str());
    auto* window = mainWindow();
    if (window == nullptr) {
        return;
    }
    using GUI::Widgets::Notifications::AffirmativeButton;
    QString text;
    ToastType type = ToastType::Success;
    if (!closed.checked) {
        type = ToastType::Error;
        text = QStringLiteral("The recording could not be checked after it was closed (%1). It is in %2.")
                   .arg(closed.failure, path);
    } else if (closed.entries == 0) {
        type = ToastType::Warning;
        text = QStringLiteral("The recording stored nothing: no image came before it was stopped. The empty log "
                              "file is %1.")
                   .arg(path);
    } else {
        text = QStringLiteral("Log file saved: %1 entries in %2").arg(closed.entries).arg(path);
    }
    auto* shown = window->newToast(type, text, type == ToastType::Success ? savedToastMs : 0, AffirmativeButton::Custom,
                                   QStringLiteral("Show in folder"), true);
    if (shown != nullptr) {
        const std::string file = closed.path.string();
        QObject::connect(shown, &GUI::Widgets::Notifications::Toast::affirmative,
                         [file] { FileManager::showFolderOf(file); });
    }
}

void MainController::stopLogging()
{
    LogSide& log = *logs;
    if (arbiter.base() != SourceState::Recording || log.file == nullptr) {
        return;
    }
    // No write starts after this (one under way ends first); the worker
    // takes the file from the writers, waiting for such a write, then closes
    // and reads it back, all off the GUI thread and without holding up the
    // session thread. "Log file saved" comes only from the checked result.
    log.stopFlag.store(1);
    moveTo(SourceState::Stopping);
    log.stopping = std::async(std::launch::async, [this, side = logs] {
        ClosedRecording closed = closeAndCheck(side->takeFile());
        QMetaObject::invokeMethod(
            this, [this] { settleWhenReady(); }, Qt::QueuedConnection);
        return closed;
    });
}

void MainController::stopRecordingOnDisconnection()
{
    // A start or stop under way ends first; then the recording, if one is
    // running, is closed and checked before its sonar goes.
    settleRecording();
    if (logs->file == nullptr) {
        return;
    }
    announceClosedRecording(closeRecording());
    emit loggingStopped();
}

void MainController::recordingFailed(const QString& reason)
{
    // While stopping, the worker's checked close reports what was kept.
    if (arbiter.base() != SourceState::Recording || logs->file == nullptr || !logs->writeFailed) {
        return;
    }
    closeRecording();
    toast(ToastType::Error,
          QStringLiteral("Recording stopped: the log file could not be written (%1). What was recorded until then "
                         "is kept in %2.")
              .arg(reason, QFile::decodeName(logs->recordingPath.c_str())),
          0);
    emit loggingStopped();
}

namespace {

// Whether a new file can be made in `folder`: tried, since permissions alone
// do not tell (read-only media, access lists, an administrator's account).
bool acceptsNewFiles(const std::filesystem::path& folder)
{
    QTemporaryFile probe(QFile::decodeName(folder.c_str()) + QStringLiteral("/.still-XXXXXX"));
    return probe.open();
}

} // namespace

void MainController::stillCapture()
{
    auto* window = mainWindow();
    if (window == nullptr) {
        return;
    }
    const std::filesystem::path settingsFolder(logs->logFolder);
    std::filesystem::path folder =
        logs->player ? logs->player->getUnderlyingLogFile().getFilePath().parent_path() : settingsFolder;
    // A log played from read-only media: its stills go where recordings go.
    const bool elsewhere = logs->player && folder != settingsFolder && isExistingFolder(folder) &&
                           !acceptsNewFiles(folder) && isExistingFolder(settingsFolder);
    if (elsewhere) {
        folder = settingsFolder;
    }
    if (!isExistingFolder(folder)) {
        warnBadSaveLocation(QStringLiteral("still captures"));
        return;
    }
    const std::filesystem::path path =
        Filesystem::makeUniqueFilePath(folder / ("Ondrix_" + localTimeStamp() + logs->captureExtension));
    if (!ViewerContext::instance()->saveStillImage(QFile::decodeName(path.c_str()))) {
        toast(ToastType::Error,
              QStringLiteral("The still image could not be saved to %1.").arg(QFile::decodeName(path.c_str())), 0);
        return;
    }
    if (elsewhere) {
        toast(ToastType::Success,
              QStringLiteral("Still image captured! The log's folder cannot be written to, so it was saved in %1.")
                  .arg(QFile::decodeName(folder.c_str())),
              0);
        return;
    }
    toast(ToastType::Success, QStringLiteral("Still image captured!"), standardToastMs);
}

namespace {

void collectBookmark(void* context, KD_LogBookmark* bookmark)
{
    std::unique_ptr<KD_LogBookmark, void (*)(KD_LogBookmark*)> owned(bookmark, &KD_LogBookmark_Destroy);
    static_cast<std::vector<Logging::Bookmark>*>(context)->push_back(std::move(*owned));
}

std::vector<Logging::Bookmark> bookmarksOf(const KD_LogFile* file)
{
    std::vector<Logging::Bookmark> bookmarks;
    KD_LogFile_GetBookmarks(file, &collectBookmark, &bookmarks);
    return bookmarks;
}

QString notAdded(const QString& reason)
{
    return QStringLiteral("The bookmark was not added: ") + reason;
}

} // namespace

std::optional<Logging::Bookmark> MainController::getRecordingBookmark(int32_t entryId) const
{
    std::lock_guard lock(logs->writeMutex);
    if (logs->file == nullptr) {
        return std::nullopt;
    }
    for (auto& bookmark : bookmarksOf(logs->file)) {
        if (bookmark.entryId == entryId) {
            return std::move(bookmark);
        }
    }
    return std::nullopt;
}

MainController::BookmarkOutcome MainController::addBookmark(int32_t entryId, std::string title, std::string comments)
{
    LogSide& log = *logs;
    if (log.player) {
        return addPlaybackBookmark(entryId, title, comments);
    }
    // A recording's bookmark marks the entry that was newest when the user
    // asked for it, however long the title took to type.
    std::lock_guard lock(log.writeMutex);
    if (log.file == nullptr || log.stopFlag.load() == 1) {
        return {false, notAdded(QStringLiteral("the recording stopped before it was saved."))};
    }
    if (entryId <= 0) {
        // Asked for before the first entry was written: the first entry, now
        // that there may be one. Never entry 0, which no entry has.
        if (!KD_LogFile_GetFirstEntryId(log.file, &entryId, nullptr) || entryId <= 0) {
            return {false, notAdded(QStringLiteral("nothing has been recorded yet. Try again once the sonar's "
                                                   "images are being recorded."))};
        }
    }
    // One bookmark per moment: the dialog offered the existing one for editing.
    std::optional<Logging::Bookmark> existing;
    for (auto& bookmark : bookmarksOf(log.file)) {
        if (bookmark.entryId == entryId) {
            existing = std::move(bookmark);
            break;
        }
    }
    KD_LogError* error = nullptr;
    bool stored = false;
    if (existing) {
        existing->title = title;
        existing->comments = comments;
        stored = KD_LogFile_UpdateBookmark(log.file, &*existing, &error);
    } else {
        KD_LogBookmark* bookmark = KD_LogBookmark_Create(entryId, title.c_str(), comments.c_str(), nullptr, 0);
        stored = KD_LogFile_AddBookmark(log.file, bookmark, &error);
        KD_LogBookmark_Destroy(bookmark);
    }
    if (!stored) {
        const QString reason = QString::fromStdString(takeMessage(error));
        return {false, existing ? QStringLiteral("The bookmark was not changed: ") + reason : notAdded(reason)};
    }
    return {true, existing ? QStringLiteral("Bookmark updated!") : QStringLiteral("Bookmark added!")};
}

void MainController::writeNavigationSentence(const std::string& sentence, std::int64_t receivedMs,
                                             const Navigation::Mounting& mounting)
{
    LogSide& log = *logs;
    std::lock_guard lock(log.writeMutex);
    if (log.file == nullptr || log.stopFlag.load() != 0) {
        return;
    }
    // Recordings are named uniquely: a new path is a new file.
    if (log.navigationSourcePath != log.recordingPath) {
        KD_LogDataSource_Destroy(log.navigationSource);
        log.navigationSource =
            KD_LogDataSource_Create(KD_LogDataSourceType_Navigation, Navigation::navigationSourceName);
        log.navigationSourcePath = log.recordingPath;
        if (!KD_LogFile_AddDataSource(log.file, log.navigationSource, nullptr)) {
            // The sonar's own writes report a file that refuses them.
            return;
        }
        for (const auto& [key, value] : {std::pair{Navigation::headingOffsetKey, mounting.headingOffset},
                                         std::pair{Navigation::leverArmForwardKey, mounting.forward},
                                         std::pair{Navigation::leverArmStarboardKey, mounting.starboard}}) {
            KD_LogDataSourceProperty* property =
                KD_LogDataSourceProperty_CreateDouble(log.navigationSource, key, value);
            KD_LogFile_AddDataSourceProperty(log.file, property, nullptr);
            KD_LogDataSourceProperty_Destroy(property);
        }
    }
    KD_LogDataEntry* entry = KD_LogDataEntry_Create(
        log.navigationSource, 0U, reinterpret_cast<const std::uint8_t*>(sentence.data()), sentence.size());
    KD_LogDataEntry_SetTimestamp(entry, receivedMs);
    KD_LogFile_LogData(log.file, entry, nullptr);
    KD_LogDataEntry_Destroy(entry);
}

} // namespace Keldar::OndrixLumivane
