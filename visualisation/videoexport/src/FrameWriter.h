#pragma once

#include "VideoEncoder.h"

#include <QImage>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace Keldar::Ondrix::Visualisation::VideoExport {

// An encoder fed through a short queue: it works on its own thread while the
// caller draws the next picture. A repeated picture is queued once with its
// count, not copied.
class FrameWriter
{
public:
    explicit FrameWriter(std::unique_ptr<VideoEncoder> encoder);
    ~FrameWriter();

    FrameWriter(const FrameWriter&) = delete;
    FrameWriter& operator=(const FrameWriter&) = delete;

    // Blocks while the queue is full. False once the encoder has failed or
    // the writer was cancelled.
    bool write(const QImage& picture, std::int64_t copies);
    // Writes what is queued and closes the file. False when the encoder failed.
    bool finish();
    // Drops what is queued and closes the file.
    void abandon();
    // From any thread: the encoder stops after the frame in hand and a
    // blocked write returns; abandon() still closes the file.
    void cancel();
    const std::string& getError() const { return error_; }
    // Frames the encoder has taken so far; from any thread.
    std::int64_t getFramesEncoded() const { return encoded_; }

private:
    void encode();
    void stop(bool dropQueued);
    void fail(const std::string& error);

    static constexpr std::size_t capacity = 4;

    std::unique_ptr<VideoEncoder> encoder_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::pair<QImage, std::int64_t>> queue_;
    bool closing_ = false;
    bool failed_ = false;
    std::atomic<bool> cancelled_{false};
    std::atomic<std::int64_t> encoded_{0};
    std::string error_;
    std::thread thread_;
};

} // namespace Keldar::Ondrix::Visualisation::VideoExport
