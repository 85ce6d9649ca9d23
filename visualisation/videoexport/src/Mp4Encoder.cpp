#include "VideoEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <thread>

namespace Keldar::Ondrix::Visualisation::VideoExport {

namespace {

std::string describe(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// Throws with FFmpeg's reason when `code` is an error.
int check(int code, const char* what)
{
    if (code < 0) {
        throw VideoExportError(std::string(what) + ": " + describe(code));
    }
    return code;
}

// FFmpeg's objects, freed also when the encoder's constructor throws half
// way (a file that cannot be made, an unknown preset).
struct FfmpegObjects
{
    FfmpegObjects() = default;
    FfmpegObjects(const FfmpegObjects&) = delete;
    FfmpegObjects& operator=(const FfmpegObjects&) = delete;
    ~FfmpegObjects()
    {
        if (format != nullptr && format->pb != nullptr) {
            avio_closep(&format->pb);
        }
        sws_freeContext(scaler);
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&codec);
        avformat_free_context(format);
    }

    AVFormatContext* format = nullptr;
    AVStream* stream = nullptr;
    AVCodecContext* codec = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* scaler = nullptr;
};

class Mp4Encoder : public VideoEncoder, FfmpegObjects
{
public:
    Mp4Encoder(const std::filesystem::path& path, const EncoderOptions& options)
    {
        // x264's statistics are not the user's business; its errors still
        // come through (and as exceptions).
        av_log_set_level(AV_LOG_ERROR);
        check(avformat_alloc_output_context2(&format, nullptr, "mp4", path.c_str()), "Could not create video file");
        const AVCodec* h264 = avcodec_find_encoder_by_name("libx264");
        if (h264 == nullptr) {
            throw VideoExportError("This FFmpeg has no H.264 encoder (libx264)");
        }
        stream = avformat_new_stream(format, nullptr);
        codec = avcodec_alloc_context3(h264);
        frame = av_frame_alloc();
        packet = av_packet_alloc();
        if (stream == nullptr || codec == nullptr || frame == nullptr || packet == nullptr) {
            throw VideoExportError("Out of memory for the video encoder");
        }
        codec->width = options.width;
        codec->height = options.height;
        codec->time_base = AVRational{1, options.framesPerSecond};
        codec->framerate = AVRational{options.framesPerSecond, 1};
        // 4:2:0 and BT.709 in the limited range: what browsers and phones play,
        // and the matrix the pixels are converted with below.
        codec->pix_fmt = AV_PIX_FMT_YUV420P;
        codec->colorspace = AVCOL_SPC_BT709;
        codec->color_primaries = AVCOL_PRI_BT709;
        codec->color_trc = AVCOL_TRC_BT709;
        codec->color_range = AVCOL_RANGE_MPEG;
        // x264's frame threads, one per core: the drawing thread waits for
        // the encoder more than the other way round.
        codec->thread_count = static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
        if ((format->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
            codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        AVDictionary* codecOptions = nullptr;
        av_dict_set(&codecOptions, "preset", options.preset.c_str(), 0);
        const int opened = avcodec_open2(codec, h264, &codecOptions);
        av_dict_free(&codecOptions);
        check(opened, ("Could not start the H.264 encoder (preset \"" + options.preset + "\")").c_str());
        check(avcodec_parameters_from_context(stream->codecpar, codec), "Could not set up the video stream");
        stream->time_base = codec->time_base;
        stream->avg_frame_rate = codec->framerate;

        check(avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE), "Could not create video file");
        // The index (moov) goes before the pictures once they are all
        // written, so that a browser plays the file while it downloads it.
        AVDictionary* muxOptions = nullptr;
        av_dict_set(&muxOptions, "movflags", "+faststart", 0);
        const int header = avformat_write_header(format, &muxOptions);
        av_dict_free(&muxOptions);
        check(header, "Could not write the video's header");

        frame->format = codec->pix_fmt;
        frame->width = codec->width;
        frame->height = codec->height;
        check(av_frame_get_buffer(frame, 0), "Out of memory for the video encoder");
        scaler = sws_getContext(codec->width, codec->height, AV_PIX_FMT_BGR0, codec->width, codec->height,
                                AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
        if (scaler == nullptr) {
            throw VideoExportError("Could not set up the colour conversion");
        }
        // Full-range RGB in, BT.709 limited range out.
        sws_setColorspaceDetails(scaler, sws_getCoefficients(SWS_CS_DEFAULT), 1, sws_getCoefficients(SWS_CS_ITU709), 0,
                                 0, 1 << 16, 1 << 16);
    }

    void write(const QImage& picture, std::int64_t copies, const std::atomic<bool>& stop,
               std::atomic<std::int64_t>& encoded) override
    {
        // The encoder may still hold the previous picture's buffer.
        check(av_frame_make_writable(frame), "Out of memory for the video encoder");
        const std::uint8_t* source[] = {picture.constBits()};
        const int stride[] = {static_cast<int>(picture.bytesPerLine())};
        sws_scale(scaler, source, stride, 0, picture.height(), frame->data, frame->linesize);
        // A repeated picture is the same frame at later times: converted once.
        for (std::int64_t i = 0; i < copies && !stop; ++i) {
            frame->pts = nextPts++;
            send(frame);
            ++encoded;
        }
    }

    void finish() override
    {
        send(nullptr);
        check(av_write_trailer(format), "Could not finish the video file");
        check(avio_closep(&format->pb), "Could not finish the video file");
    }

private:
    // Hands `picture` (nullptr: the end) to the encoder and muxes every
    // packet it gives back.
    void send(const AVFrame* picture)
    {
        check(avcodec_send_frame(codec, picture), "Could not encode the video");
        for (;;) {
            const int received = avcodec_receive_packet(codec, packet);
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
                return;
            }
            check(received, "Could not encode the video");
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            check(av_interleaved_write_frame(format, packet), "Could not write the video");
        }
    }

    std::int64_t nextPts = 0;
};

} // namespace

std::unique_ptr<VideoEncoder> openMp4Encoder(const std::filesystem::path& path, const EncoderOptions& options)
{
    return std::make_unique<Mp4Encoder>(path, options);
}

} // namespace Keldar::Ondrix::Visualisation::VideoExport
