#pragma once

#include <keldar/visualisation/videoexport/VideoExportSettings.h>

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

namespace Keldar::Ondrix::Visualisation::VideoExport {

// A video writer fed through a short queue: the encoder works on its own
// thread while the caller draws the next picture. A repeated picture is
// queued once with its count, not copied.
class FrameWriter
{
public:
    // Opens the file; isOpen() tells whether that worked.
    FrameWriter(const std::filesystem::path& path, VideoFormat format, cv::Size size, double framesPerSecond);
    ~FrameWriter();

    FrameWriter(const FrameWriter&) = delete;
    FrameWriter& operator=(const FrameWriter&) = delete;

    bool isOpen() const { return open_; }
    // Blocks while the queue is full. False once the encoder has failed or
    // the writer was cancelled.
    bool write(cv::Mat frame, std::int64_t copies);
    // Writes what is queued and closes the file. False when the encoder failed.
    bool finish();
    // Drops what is queued and closes the file.
    void abandon();
    // From any thread: the encoder stops after the frame in hand and a
    // blocked write returns; abandon() still closes the file.
    void cancel();
    const std::string& getError() const { return error_; }

private:
    void encode();
    void stop(bool dropQueued);

    static constexpr std::size_t capacity = 4;

    cv::VideoWriter writer_;
    bool open_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::pair<cv::Mat, std::int64_t>> queue_;
    bool closing_ = false;
    bool failed_ = false;
    std::atomic<bool> cancelled_{false};
    std::string error_;
    std::thread thread_;
};

} // namespace Keldar::Ondrix::Visualisation::VideoExport
