#pragma once

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

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
    FrameWriter(const std::filesystem::path& path, cv::Size size, double framesPerSecond);
    ~FrameWriter();

    FrameWriter(const FrameWriter&) = delete;
    FrameWriter& operator=(const FrameWriter&) = delete;

    bool isOpen() const { return open_; }
    // Blocks while the queue is full. False once the encoder has failed.
    bool write(cv::Mat frame, std::int64_t copies);
    // Writes what is queued and closes the file. False when the encoder failed.
    bool finish();
    // Drops what is queued and closes the file.
    void abandon();
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
    std::string error_;
    std::thread thread_;
};

} // namespace Keldar::Ondrix::Visualisation::VideoExport
