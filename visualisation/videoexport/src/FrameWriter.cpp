#include "FrameWriter.h"

namespace Keldar::Ondrix::Visualisation::VideoExport {

FrameWriter::FrameWriter(std::unique_ptr<VideoEncoder> encoder)
    : encoder_(std::move(encoder))
{
    thread_ = std::thread([this] { encode(); });
}

FrameWriter::~FrameWriter()
{
    abandon();
}

bool FrameWriter::write(const QImage& picture, std::int64_t copies)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < capacity || failed_ || closing_ || cancelled_; });
    if (failed_ || closing_ || cancelled_) {
        return false;
    }
    queue_.emplace_back(picture, copies);
    changed_.notify_all();
    return true;
}

bool FrameWriter::finish()
{
    stop(false);
    const std::lock_guard lock(mutex_);
    if (!failed_ && encoder_) {
        try {
            encoder_->finish();
        } catch (const VideoExportError& error) {
            failed_ = true;
            error_ = error.what();
        }
        encoder_.reset();
    }
    return !failed_;
}

void FrameWriter::abandon()
{
    stop(true);
    // Closes the file without finishing it; the caller removes it.
    const std::lock_guard lock(mutex_);
    encoder_.reset();
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
}

void FrameWriter::fail(const std::string& error)
{
    const std::lock_guard lock(mutex_);
    failed_ = true;
    error_ = error;
    queue_.clear();
    changed_.notify_all();
}

void FrameWriter::encode()
{
    for (;;) {
        std::pair<QImage, std::int64_t> item;
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
            encoder_->write(item.first, item.second, cancelled_, encoded_);
        } catch (const VideoExportError& error) {
            fail(error.what());
            return;
        }
    }
}

} // namespace Keldar::Ondrix::Visualisation::VideoExport
