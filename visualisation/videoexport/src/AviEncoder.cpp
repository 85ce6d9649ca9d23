#include "VideoEncoder.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

namespace Keldar::Ondrix::Visualisation::VideoExport {

namespace {

class AviEncoder : public VideoEncoder
{
public:
    bool open(const std::filesystem::path& path, const EncoderOptions& options)
    {
        try {
            return writer.open(path.string(), cv::CAP_FFMPEG, cv::VideoWriter::fourcc('F', 'M', 'P', '4'),
                               options.framesPerSecond, cv::Size(options.width, options.height), true);
        } catch (const cv::Exception&) {
            return false;
        }
    }

    void write(const QImage& picture, std::int64_t copies, const std::atomic<bool>& stop,
               std::atomic<std::int64_t>& encoded) override
    {
        // OpenCV's writer takes blue, green, red.
        const cv::Mat bgra(picture.height(), picture.width(), CV_8UC4, const_cast<uchar*>(picture.constBits()),
                           static_cast<std::size_t>(picture.bytesPerLine()));
        cv::cvtColor(bgra, bgr, cv::COLOR_BGRA2BGR);
        try {
            for (std::int64_t i = 0; i < copies && !stop; ++i) {
                writer.write(bgr);
                ++encoded;
            }
        } catch (const cv::Exception& error) {
            throw VideoExportError(error.what());
        }
    }

    // The writer reports no failure on closing; the renderer reads the file
    // back instead.
    void finish() override { writer.release(); }

private:
    cv::VideoWriter writer;
    cv::Mat bgr;
};

} // namespace

std::unique_ptr<VideoEncoder> openAviEncoder(const std::filesystem::path& path, const EncoderOptions& options)
{
    auto encoder = std::make_unique<AviEncoder>();
    if (!encoder->open(path, options)) {
        return nullptr;
    }
    return encoder;
}

} // namespace Keldar::Ondrix::Visualisation::VideoExport
