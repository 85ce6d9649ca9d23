#include "FrameWriter.h"

namespace Keldar::Ondrix::Visualisation::VideoExport {

FrameWriter::FrameWriter(const std::filesystem::path& path, VideoFormat format, cv::Size size, double framesPerSecond)
{
    // Both through FFmpeg: MPEG-4 Part 2 in AVI, which every player reads,
    // or H.264 (libx264, 4:2:0) in MP4, which browsers and phones play.
    const int fourcc =
        format == H264Mp4 ? cv::VideoWriter::fourcc('a', 'v', 'c', '1') : cv::VideoWriter::fourcc('F', 'M', 'P', '4');
    try {
        open_ = writer_.open(path.string(), cv::CAP_FFMPEG, fourcc, framesPerSecond, size, true);
    } catch (const cv::Exception&) {
        open_ = false;
    }
    if (open_) {
        thread_ = std::thread([this] { encode(); });
    }
}

FrameWriter::~FrameWriter()
{
    abandon();
}

bool FrameWriter::write(cv::Mat frame, std::int64_t copies)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < capacity || failed_ || closing_ || cancelled_; });
    if (failed_ || closing_ || cancelled_ || !open_) {
        return false;
    }
    queue_.emplace_back(std::move(frame), copies);
    changed_.notify_all();
    return true;
}

bool FrameWriter::finish()
{
    stop(false);
    return !failed_;
}

void FrameWriter::abandon()
{
    stop(true);
}

void FrameWriter::cancel()
{
    const std::lock_guard lock(mutex_);
    cancelled_ = true;
    changed_.notify_all();
}

void FrameWriter::stop(bool dropQueued)
{
    {
        const std::lock_guard lock(mutex_);
        if (dropQueued) {
            queue_.clear();
            cancelled_ = true;
        }
        closing_ = true;
        changed_.notify_all();
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    if (writer_.isOpened()) {
        writer_.release();
    }
}

void FrameWriter::encode()
{
    for (;;) {
        std::pair<cv::Mat, std::int64_t> item;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return !queue_.empty() || closing_ || cancelled_; });
            if (queue_.empty() || cancelled_) {
                return;
            }
            item = std::move(queue_.front());
            queue_.pop_front();
            changed_.notify_all();
        }
        try {
            // A long pause is one item of many copies: a cancel must not wait
            // for all of them.
            for (std::int64_t i = 0; i < item.second && !cancelled_; ++i) {
                writer_.write(item.first);
            }
        } catch (const cv::Exception& error) {
            const std::lock_guard lock(mutex_);
            failed_ = true;
            error_ = error.what();
            queue_.clear();
            changed_.notify_all();
            return;
        }
    }
}

} // namespace Keldar::Ondrix::Visualisation::VideoExport
