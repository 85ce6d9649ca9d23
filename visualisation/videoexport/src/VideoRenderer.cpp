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

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <exception>
#include <optional>
#include <variant>

namespace Keldar::Ondrix::Visualisation::VideoExport {

namespace {

namespace Text = Logging::VideoExport;

// Where the text lines sit: baseline 160 px down, 50 px in from the sides.
constexpr int textBaseline = 160;
constexpr int textMargin = 50;

std::optional<OndrixImage> imageOf(const Logging::DataEntry& entry)
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
            return std::nullopt;
        }
    } catch (const std::exception&) {
        // A message the parsers refuse counts as an entry of another kind.
        return std::nullopt;
    }
}

std::int64_t integerProperty(const Logging::LogFileInterface& file, int sourceId, const char* key)
{
    return Logging::integerOrZero(file.getDataSourceProperty(sourceId, key));
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
    bool finished = false;

    Private(Logging::Playback::LogFilePlayer& player, const VideoExportSettings& settings,
            const VideoAppearance& appearance)
        : player(player)
        , settings(settings)
        , appearance(appearance)
    {
    }

    QString stampOf(const Logging::DataEntry& entry, std::int64_t frame) const
    {
        switch (settings.timestampType) {
        case RelativeTimestamp:
            return QString::fromStdString(Text::relativeTimestampText(frame));
        case AbsoluteTimestamp:
            return QString::fromStdString(Text::absoluteTimestampText(entry.timestamp, settings.timeZone));
        default:
            return {};
        }
    }

    cv::Mat drawPicture(const QString& stamp)
    {
        QImage image = display->grabFramebuffer();
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

    void write(const cv::Mat& picture, std::int64_t copies)
    {
        if (!writer->write(picture, copies)) {
            throw VideoExportError("Could not write the video: " + writer->getError());
        }
    }

    void renderEntry(const Logging::DataEntry& entry)
    {
        const auto step = pacer.next(entry.timestamp);
        if (step.repeats > 0) {
            // The display still shows the entry before this one.
            if (!lastPictureDrawn) {
                lastPicture = drawPicture(lastStamp);
                lastPictureDrawn = true;
            }
            write(lastPicture, step.repeats);
        }
        // Every image goes to the display, drawn or not: its clamp levels
        // follow the images that came before.
        if (const auto image = imageOf(entry)) {
            display->newImageReceived(*image);
        }
        const QString stamp = stampOf(entry, step.frame);
        if (step.writeEntry) {
            lastPicture = drawPicture(stamp);
            lastPictureDrawn = true;
            write(lastPicture, 1);
        } else {
            lastPictureDrawn = false;
            lastStamp = stamp;
        }
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
    d->outputPath = Text::exportedVideoPath(player.getUnderlyingLogFile().getFilePath());
    d->writer = std::make_unique<FrameWriter>(d->outputPath, cv::Size(frameWidth, frameHeight), framesPerSecond);
    if (!d->writer->isOpen()) {
        // The back end may leave an empty file behind.
        std::error_code ignored;
        std::filesystem::remove(d->outputPath, ignored);
        throw VideoExportError("Could not create video file.");
    }

    if (settings.sonarDetails) {
        const auto& sources = player.getDataSources();
        const int sourceId = sources.empty() ? 0 : sources.front().id;
        const auto& file = player.getUnderlyingLogFile();
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

bool VideoRenderer::run(const Progress& progress)
{
    // Failures are carried past the player, which would take them for the
    // end of playback.
    std::exception_ptr failure;
    const auto render = [this, &failure](std::int32_t, const Logging::DataEntry& entry) {
        try {
            d->renderEntry(entry);
        } catch (...) {
            failure = std::current_exception();
        }
    };
    for (std::int32_t frame = d->settings.startIndex; frame <= d->settings.endIndex; ++frame) {
        d->player.seek(frame, render);
        if (failure) {
            std::rethrow_exception(failure);
        }
        if (progress && !progress(frame)) {
            d->removeOutput();
            d->finished = true;
            return false;
        }
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

std::int64_t VideoRenderer::getFramesWritten() const
{
    return d->pacer.getFramesWritten();
}

std::int64_t VideoRenderer::getPicturesDrawn() const
{
    return d->picturesDrawn;
}

} // namespace Keldar::Ondrix::Visualisation::VideoExport
