#include <keldar/visualisation/videoexport/VideoRenderer.h>

#include "FrameWriter.h"
#include "VideoEncoder.h"

#include <keldar/core/OutputFile.h>
#include <keldar/logging/LogFilePlayer.h>
#include <keldar/logging/videoexport/VideoExportText.h>
#include <keldar/logging/videoexport/VideoPacer.h>
#include <keldar/ondrix/MessageParsing.h>
#include <keldar/ondrix/ModelSpecs.h>
#include <keldar/visualisation/FanDisplay.h>

#include <QCoreApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QResizeEvent>
#include <QThread>

#include <opencv2/videoio.hpp>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <variant>

namespace Keldar::Ondrix::Visualisation::VideoExport {

namespace {

namespace Text = Logging::VideoExport;

// Where the text lines sit: baseline 160 px down, 50 px in from the sides.
constexpr int textBaseline = 160;
constexpr int textMargin = 50;
// A long pause is written half a second of video at a time, so that a
// cancel or a progress report never waits for all of it.
constexpr std::int64_t repeatsAtOnce = 15;

struct OtherKind
{
};
struct Damaged
{
};
using Decoded = std::variant<OndrixImage, OtherKind, Damaged>;

Decoded decode(const Logging::DataEntry& entry)
{
    namespace Parsing = MessageParsing;
    const auto* bytes = reinterpret_cast<const std::byte*>(entry.payload.data());
    const std::vector<std::byte> message(bytes, bytes + entry.payload.size());
    try {
        switch (entry.type) {
        case 0:
            return Parsing::parseSimplePingResult(message).image;
        case 1:
            return Parsing::parseSimplePingResultV2(message).image;
        case 2:
            return Parsing::parseFullFireResult(message).image;
        default:
            return OtherKind{};
        }
    } catch (const std::exception&) {
        return Damaged{};
    }
}

std::int64_t integerProperty(const Logging::LogFileInterface& file, int sourceId, const char* key)
{
    return Logging::integerOrZero(file.getDataSourceProperty(sourceId, key));
}

// The zone absolute stamps are written in: the chosen one, else the one the
// log was recorded in; never UTC in place of one the formatter does not know.
std::string stampZone(const Logging::LogFileInterface& file, const std::string& chosen)
{
    std::optional<std::string> recorded;
    if (const auto value = file.getMetadataValue("currentTimeZone")) {
        if (const auto* text = std::get_if<std::string>(&*value)) {
            recorded = *text;
        }
    }
    auto zone = Text::stampTimeZone(chosen, recorded);
    if (zone.zone.empty()) {
        throw UnknownTimeZoneError(zone.problem);
    }
    return zone.zone;
}

// Frames the span makes, from the entries' times alone.
std::int64_t countFrames(const Logging::Playback::LogFilePlayer& player, const VideoExportSettings& settings)
{
    const auto& times = player.getFrameTimestamps();
    Text::VideoPacer pacer(settings.maxPauseMs);
    for (std::int32_t frame = std::max(0, settings.startIndex);
         frame <= settings.endIndex && frame < static_cast<std::int32_t>(times.size()); ++frame) {
        pacer.next(times[static_cast<std::size_t>(frame)]);
    }
    return pacer.getFramesWritten();
}

// A call handed to the display's thread. The worker waits for it to end,
// unless the export is cancelled before it has started: then it is dropped,
// so that a GUI thread that has stopped running events (a quit, a signal)
// can still cancel the worker and join it.
struct HandOff
{
    std::mutex mutex;
    std::condition_variable changed;
    bool cancelled = false;
};
enum class CallState { Queued, Running, Done, Dropped };

} // namespace

struct VideoRenderer::Private
{
    Logging::Playback::LogFilePlayer& player;
    VideoExportSettings settings;
    VideoAppearance appearance;
    std::optional<Filesystem::OutputFile> output;
    std::unique_ptr<FrameWriter> writer;
    std::unique_ptr<FanDisplay> display;
    QString sonarDetails;
    QFont font{QStringLiteral("sans-serif"), 16};

    Text::VideoPacer pacer;
    // The picture gaps repeat, and whether it still has to be drawn: an
    // entry that is not written is drawn only when a gap repeats it.
    QImage lastPicture;
    bool lastPictureDrawn = true;
    QString lastStamp;
    std::atomic<std::int64_t> picturesDrawn{0};
    std::int64_t unreadable = 0;
    std::atomic<bool> cancelled{false};
    std::shared_ptr<HandOff> handOff = std::make_shared<HandOff>();
    std::atomic<std::int64_t> framesExpected{0};
    // Between the chunks of a long pause: false stops the export.
    std::function<bool()> keepGoing;
    bool finished = false;

    Private(Logging::Playback::LogFilePlayer& player, const VideoExportSettings& settings,
            const VideoAppearance& appearance)
        : player(player)
        , settings(settings)
        , appearance(appearance)
        , pacer(settings.maxPauseMs)
    {
    }

    // Runs `work` on the display's thread: widgets and their OpenGL contexts
    // belong to the GUI thread. False when the export was cancelled before
    // the GUI thread took the call (it then never runs).
    template<typename Work>
    bool onDisplayThread(Work&& work)
    {
        if (QThread::currentThread() == display->thread()) {
            work();
            return true;
        }
        const auto state = std::make_shared<CallState>(CallState::Queued);
        const auto hand = handOff;
        // Dropped with the display if that goes first.
        QMetaObject::invokeMethod(
            display.get(),
            [hand, state, &work] {
                {
                    const std::lock_guard lock(hand->mutex);
                    if (*state != CallState::Queued) {
                        return;
                    }
                    *state = CallState::Running;
                }
                work();
                const std::lock_guard lock(hand->mutex);
                *state = CallState::Done;
                hand->changed.notify_all();
            },
            Qt::QueuedConnection);
        std::unique_lock lock(hand->mutex);
        // A call already running is waited for: the GUI thread is busy with
        // it, not waiting for this one.
        hand->changed.wait(
            lock, [&] { return *state == CallState::Done || (hand->cancelled && *state == CallState::Queued); });
        if (*state == CallState::Done) {
            return true;
        }
        *state = CallState::Dropped;
        return false;
    }

    QString stampOf(const Logging::DataEntry& entry, const Text::VideoPacer::Step& step) const
    {
        switch (settings.timestampType) {
        case RelativeTimestamp:
            return QString::fromStdString(Text::relativeTimestampText(step.frame, step.cutMs));
        case AbsoluteTimestamp:
            return QString::fromStdString(Text::absoluteTimestampText(entry.timestamp, settings.timeZone));
        default:
            return {};
        }
    }

    // A null image when the export was cancelled meanwhile.
    QImage drawPicture(const QString& stamp)
    {
        QImage image;
        if (!onDisplayThread([this, &image] { image = display->grabFramebuffer(); })) {
            return {};
        }
        if (image.size() != QSize(frameWidth, frameHeight)) {
            image = image.scaled(frameWidth, frameHeight);
        }
        // The encoders read 32-bit pixels: blue, green, red, unused.
        if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32_Premultiplied) {
            image = image.convertToFormat(QImage::Format_RGB32);
        }
        if (!stamp.isEmpty() || !sonarDetails.isEmpty()) {
            QPainter painter(&image);
            painter.setFont(font);
            painter.setPen(appearance.foreground);
            if (!stamp.isEmpty()) {
                painter.drawText(QPoint(textMargin, textBaseline), stamp);
            }
            if (!sonarDetails.isEmpty()) {
                // On the stamp's line at the right: absolute alignment, as a
                // right-to-left layout would otherwise turn it to the left
                // and over the stamp.
                const int lineHeight = QFontMetrics(font, &image).height();
                painter.setLayoutDirection(Qt::RightToLeft);
                painter.drawText(
                    QRect(QPoint(0, textBaseline - lineHeight), QPoint(image.width() - textMargin, textBaseline)),
                    Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignBottom, sonarDetails);
            }
        }
        ++picturesDrawn;
        return image;
    }

    // False when the export was cancelled meanwhile.
    bool write(const QImage& picture, std::int64_t copies)
    {
        while (copies > 0) {
            const std::int64_t now = std::min(copies, repeatsAtOnce);
            if (!writer->write(picture, now)) {
                if (cancelled) {
                    return false;
                }
                throw VideoExportError("Could not write the video: " + writer->getError());
            }
            copies -= now;
            if (copies > 0 && (cancelled || (keepGoing && !keepGoing()))) {
                return false;
            }
        }
        return true;
    }

    bool renderEntry(const Logging::DataEntry& entry)
    {
        const auto step = pacer.next(entry.timestamp);
        if (step.repeats > 0) {
            // The display still shows the entry before this one.
            if (!lastPictureDrawn) {
                lastPicture = drawPicture(lastStamp);
                lastPictureDrawn = true;
                if (lastPicture.isNull()) {
                    return false;
                }
            }
            if (!write(lastPicture, step.repeats)) {
                return false;
            }
        }
        // Every image goes to the display, drawn or not: its clamp levels
        // follow the images that came before.
        auto decoded = decode(entry);
        if (auto* image = std::get_if<OndrixImage>(&decoded)) {
            if (!onDisplayThread([this, image] { display->newImageReceived(*image); })) {
                return false;
            }
        } else if (std::holds_alternative<Damaged>(decoded)) {
            ++unreadable;
        }
        const QString stamp = stampOf(entry, step);
        if (step.writeEntry) {
            lastPicture = drawPicture(stamp);
            lastPictureDrawn = true;
            return !lastPicture.isNull() && write(lastPicture, 1);
        }
        lastPictureDrawn = false;
        lastStamp = stamp;
        return true;
    }

    void removeOutput()
    {
        writer->abandon();
        output->discard();
    }
};

VideoRenderer::VideoRenderer(Logging::Playback::LogFilePlayer& player, const VideoExportSettings& settings,
                             const FanDisplayOptions::DisplaySettings& display, const VideoAppearance& appearance)
    : d(std::make_unique<Private>(player, settings, appearance))
{
    const auto& file = player.getUnderlyingLogFile();
    if (settings.timestampType == AbsoluteTimestamp) {
        d->settings.timeZone = stampZone(file, settings.timeZone);
    } else {
        d->settings.timeZone.clear();
    }
    d->output.emplace(Text::exportedVideoPath(file.getFilePath(), settings.format == H264Mp4 ? ".mp4" : ".avi"));
    EncoderOptions options;
    options.width = frameWidth;
    options.height = frameHeight;
    options.framesPerSecond = static_cast<int>(framesPerSecond);
    options.preset = settings.preset.empty() ? Text::defaultH264Preset : settings.preset;
    std::unique_ptr<VideoEncoder> encoder;
    try {
        encoder = settings.format == H264Mp4 ? openMp4Encoder(d->output->temporaryPath(), options)
                                             : openAviEncoder(d->output->temporaryPath(), options);
    } catch (const VideoExportError&) {
        d->output->discard();
        throw;
    }
    if (!encoder) {
        // The back end may leave an empty file behind.
        d->output->discard();
        throw VideoExportError("Could not create video file.");
    }
    d->writer = std::make_unique<FrameWriter>(std::move(encoder));

    if (settings.sonarDetails) {
        const auto& sources = player.getDataSources();
        const int sourceId = sources.empty() ? 0 : sources.front().id;
        const auto model = integerProperty(file, sourceId, "modelNumber");
        const auto serial = integerProperty(file, sourceId, "serialNumber");
        d->sonarDetails = QString::fromStdString(
            Text::sonarDetailsText(ModelSpecs::getModelSpec(static_cast<ModelNumber>(model)).name, serial));
    }

    // Never shown: the widget renders into its own framebuffer object on an
    // off-screen surface, which it creates on the resize event sent below.
    d->display = std::make_unique<FanDisplay>();
    if (settings.distanceUnit != nullptr) {
        d->display->setDistanceUnit(settings.distanceUnit);
    }
    d->display->resize(frameWidth, frameHeight);
    d->display->configureFromSettings(display);
    d->display->setBranding(true);
    d->display->setBrandingColours(appearance.foreground, appearance.accent, appearance.foreground);
    if (appearance.despeckleLevel >= 0) {
        d->display->setDespeckleLevel(appearance.despeckleLevel);
    }
    QResizeEvent resize(d->display->size(), QSize());
    QCoreApplication::sendEvent(d->display.get(), &resize);
}

namespace {

// Frames the file's index says it holds; -1 when it cannot be read.
std::int64_t countFramesOnDisk(const std::filesystem::path& path)
{
    cv::VideoCapture capture(path.string(), cv::CAP_FFMPEG);
    if (!capture.isOpened()) {
        return -1;
    }
    return static_cast<std::int64_t>(capture.get(cv::CAP_PROP_FRAME_COUNT));
}

} // namespace

VideoRenderer::~VideoRenderer()
{
    if (!d->finished) {
        d->removeOutput();
    }
}

const std::filesystem::path& VideoRenderer::getOutputPath() const
{
    return d->output->finalPath();
}

const std::filesystem::path& VideoRenderer::getTemporaryPath() const
{
    return d->output->temporaryPath();
}

const std::string& VideoRenderer::getTimeZone() const
{
    return d->settings.timeZone;
}

bool VideoRenderer::run(const Progress& progress)
{
    d->framesExpected = countFrames(d->player, d->settings);
    const auto report = [this, &progress] {
        return !progress || progress(d->writer->getFramesEncoded(), d->framesExpected);
    };
    // Failures are carried past the player, which would take them for the
    // end of playback.
    std::exception_ptr failure;
    bool going = true;
    const auto render = [this, &failure, &going](std::int32_t, const Logging::DataEntry& entry) {
        try {
            going = d->renderEntry(entry);
        } catch (...) {
            failure = std::current_exception();
        }
    };
    d->keepGoing = report;
    for (std::int32_t frame = d->settings.startIndex; frame <= d->settings.endIndex && going; ++frame) {
        if (!d->player.seek(frame, render)) {
            // Nothing to place: the video goes on from the entry before.
            ++d->unreadable;
        }
        if (failure) {
            std::rethrow_exception(failure);
        }
        going = going && !d->cancelled && report();
    }
    d->keepGoing = {};
    if (!going) {
        d->removeOutput();
        d->finished = true;
        return false;
    }
    if (!d->writer->finish()) {
        throw VideoExportError("Could not write the video: " + d->writer->getError());
    }
    // The writer does not report every failed write (a full disk, a file
    // size limit): read the file back before calling it a video.
    if (countFramesOnDisk(d->output->temporaryPath()) != d->pacer.getFramesWritten()) {
        d->removeOutput();
        d->finished = true;
        throw VideoExportError("Could not write the video: the file on disk is incomplete.");
    }
    try {
        d->output->commit();
    } catch (const std::filesystem::filesystem_error& error) {
        d->finished = true;
        throw VideoExportError(std::string("Could not write the video: ") + error.what());
    }
    d->finished = true;
    // Entries that could not be read make fewer frames than their times said.
    d->framesExpected = d->pacer.getFramesWritten();
    if (progress) {
        progress(d->writer->getFramesEncoded(), d->framesExpected);
    }
    return true;
}

void VideoRenderer::cancel()
{
    d->cancelled = true;
    d->writer->cancel();
    const std::lock_guard lock(d->handOff->mutex);
    d->handOff->cancelled = true;
    d->handOff->changed.notify_all();
}

std::int64_t VideoRenderer::getFramesWritten() const
{
    return d->pacer.getFramesWritten();
}

std::int64_t VideoRenderer::getFramesEncoded() const
{
    return d->writer->getFramesEncoded();
}

std::int64_t VideoRenderer::getFramesExpected() const
{
    return d->framesExpected;
}

std::int64_t VideoRenderer::getPicturesDrawn() const
{
    return d->picturesDrawn;
}

std::int64_t VideoRenderer::getUnreadableFrames() const
{
    return d->unreadable;
}

} // namespace Keldar::Ondrix::Visualisation::VideoExport
