#pragma once

#include <keldar/visualisation/videoexport/VideoExportSettings.h>

#include <QImage>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace Keldar::Ondrix::Visualisation::VideoExport {

// One video file being encoded. Pictures are 32-bit QImages (blue, green,
// red, unused in memory) of the size the file was opened with. Used from one
// thread at a time.
class VideoEncoder
{
public:
    virtual ~VideoEncoder() = default;

    // Encodes `picture` `copies` times in a row, adding one to `encoded` for
    // each; stops early once `stop` is set. Throws VideoExportError when the
    // encoder or the file fails.
    virtual void write(const QImage& picture, std::int64_t copies, const std::atomic<bool>& stop,
                       std::atomic<std::int64_t>& encoded) = 0;
    // Writes what the encoder holds back and closes the file; throws
    // VideoExportError when that fails.
    virtual void finish() = 0;
};

struct EncoderOptions
{
    int width = 0;
    int height = 0;
    int framesPerSecond = 30;
    std::string preset; // x264's speed preset, for H.264
};

// MPEG-4 Part 2 in AVI through OpenCV's writer, which every player reads;
// nullptr when the file cannot be made.
std::unique_ptr<VideoEncoder> openAviEncoder(const std::filesystem::path& path, const EncoderOptions& options);
// H.264 (x264, 4:2:0) in MP4 through FFmpeg's libraries, its index first so
// that it plays while it downloads. Throws VideoExportError with FFmpeg's
// reason when the file or the encoder cannot be opened.
std::unique_ptr<VideoEncoder> openMp4Encoder(const std::filesystem::path& path, const EncoderOptions& options);

} // namespace Keldar::Ondrix::Visualisation::VideoExport
