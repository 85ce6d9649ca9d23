#include <keldar/visualisation/videoexport/VideoRenderer.h>

#include "FrameWriter.h"

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

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <algorithm>
#include <atomic>
#include <exception>
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
// log was recorded in, else UTC.
std::string stampZone(const Logging::LogFileInterface& file, const std::string& chosen)
{
    if (!chosen.empty()) {
        if (const auto zone = Text::formatterTimeZone(chosen)) {
            return *zone;
        }
        throw VideoExportError("Unknown time zone: " + chosen);
    }
    if (const auto recorded = file.getMetadataValue("currentTimeZone")) {
        if (const auto* text = std::get_if<std::string>(&*recorded)) {
            if (const auto zone = Text::formatterTimeZone(*text)) {
                return *zone;
            }
        }
    }
    return "UTC";
}

} // namespace

struct VideoRenderer::Private
{
    Logging::Playback::LogFilePlayer& player;
    VideoExportSettings settings;
    VideoAppearance appearance;
    std::filesystem::path outputPath;
    std::unique_ptr<FrameWriter> writer;
    std::unique_ptr<FanDisplay> display;
    QString sonarDetails;
    QFont font{QStringLiteral("sans-serif"), 16};

    Text::VideoPacer pacer;
    // The picture gaps repeat, and whether it still has to be drawn: an
    // entry that is not written is drawn only when a gap repeats it.
    cv::Mat lastPicture;
    bool lastPictureDrawn = true;
    QString lastStamp;
    std::int64_t picturesDrawn = 0;
    std::int64_t unreadable = 0;
    std::atomic<bool> cancelled{false};
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
    // belong to the GUI thread.
    template<typename Work>
    void onDisplayThread(Work&& work)
    {
        if (QThread::currentThread() == display->thread()) {
            work();
        } else {
            QMetaObject::invokeMethod(display.get(), std::forward<Work>(work), Qt::BlockingQueuedConnection);
        }
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

    cv::Mat drawPicture(const QString& stamp)
    {
        QImage image;
        onDisplayThread([this, &image] { image = display->grabFramebuffer(); });
        if (image.size() != QSize(frameWidth, frameHeight)) {
            image = image.scaled(frameWidth, frameHeight);
        }
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
        // Qt's 32-bit pixels are blue, green, red, alpha in memory.
        const cv::Mat bgra(image.height(), image.width(), CV_8UC4, image.bits(),
                           static_cast<std::size_t>(image.bytesPerLine()));
        cv::Mat bgr;
        cv::cvtColor(bgra, bgr, cv::COLOR_BGRA2BGR);
        return bgr;
    }

    // False when the export was cancelled meanwhile.
    bool write(const cv::Mat& picture, std::int64_t copies)
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
            }
            if (!write(lastPicture, step.repeats)) {
                return false;
            }
        }
        // Every image goes to the display, drawn or not: its clamp levels
        // follow the images that came before.
        auto decoded = decode(entry);
        if (auto* image = std::get_if<OndrixImage>(&decoded)) {
            onDisplayThread([this, image] { display->newImageReceived(*image); });
        } else if (std::holds_alternative<Damaged>(decoded)) {
            ++unreadable;
        }
        const QString stamp = stampOf(entry, step);
        if (step.writeEntry) {
            lastPicture = drawPicture(stamp);
            lastPictureDrawn = true;
            return write(lastPicture, 1);
        }
        lastPictureDrawn = false;
        lastStamp = stamp;
        return true;
    }

    void removeOutput()
    {
        writer->abandon();
        std::filesystem::remove(outputPath);
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
    d->outputPath = Text::exportedVideoPath(file.getFilePath(), settings.format == H264Mp4 ? ".mp4" : ".avi");
    d->writer = std::make_unique<FrameWriter>(d->outputPath, settings.format == H264Mp4 ? H264Mp4 : Mpeg4Avi,
                                              cv::Size(frameWidth, frameHeight), framesPerSecond);
    if (!d->writer->isOpen()) {
        // The back end may leave an empty file behind.
        std::error_code ignored;
        std::filesystem::remove(d->outputPath, ignored);
        throw VideoExportError("Could not create video file.");
    }

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
        std::error_code ignored;
        d->writer->abandon();
        std::filesystem::remove(d->outputPath, ignored);
    }
}

const std::filesystem::path& VideoRenderer::getOutputPath() const
{
    return d->outputPath;
}

const std::string& VideoRenderer::getTimeZone() const
{
    return d->settings.timeZone;
}

bool VideoRenderer::run(const Progress& progress)
{
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
    for (std::int32_t frame = d->settings.startIndex; frame <= d->settings.endIndex && going; ++frame) {
        d->keepGoing = [&progress, frame] { return !progress || progress(frame); };
        if (!d->player.seek(frame, render)) {
            // Nothing to place: the video goes on from the entry before.
            ++d->unreadable;
        }
        if (failure) {
            std::rethrow_exception(failure);
        }
        going = going && !d->cancelled && (!progress || progress(frame));
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
    // The writer does not report failed writes (a full disk, a file size
    // limit): read the file back before calling it a video.
    if (countFramesOnDisk(d->outputPath) != d->pacer.getFramesWritten()) {
        d->removeOutput();
        d->finished = true;
        throw VideoExportError("Could not write the video: the file on disk is incomplete.");
    }
    d->finished = true;
    return true;
}

void VideoRenderer::cancel()
{
    d->cancelled = true;
    d->writer->cancel();
}

std::int64_t VideoRenderer::getFramesWritten() const
{
    return d->pacer.getFramesWritten();
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
