// The still-picture helpers of LibRecorder: thumbnails of media files and
// frames saved as bitmaps.
#include <vector>

#include "Common.h"
#include "LibStream/LibStream.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

using namespace libstream;

namespace {
const char* kModule = "LibRecorder";
// How far into a file a first picture is looked for before giving up.
const int kMaxPackets = 3000;
}  // namespace

bool LibRecorder::FFThumbnails(const char* media, const char* bitmap, int width, int height) {
    if (!media || !*media || !bitmap || !*bitmap || width <= 0 || height <= 0 || width > 8192 || height > 8192) {
        Log(2, kModule, "FFThumbnails refused: size %dx%d", width, height);
        return false;
    }
    AVFormatContext* fmt = OpenInput(media, kModule);
    if (!fmt) return false;
    bool ok = false;
    const AVCodec* codec = nullptr;
    int index = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    AVCodecContext* dec = nullptr;
    if (index >= 0 && codec) {
        dec = avcodec_alloc_context3(codec);
        if (avcodec_parameters_to_context(dec, fmt->streams[index]->codecpar) < 0 || avcodec_open2(dec, codec, nullptr) < 0)
            avcodec_free_context(&dec);
    }
    if (!dec) {
        Log(2, kModule, "FFThumbnails: no picture to decode in %s", media);
        avformat_close_input(&fmt);
        return false;
    }
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    bool got = false, ended = false;
    for (int n = 0; n < kMaxPackets && !got && !ended; ++n) {
        int rc = av_read_frame(fmt, pkt);
        if (rc < 0) {
            ended = true;
            avcodec_send_packet(dec, nullptr);  // drain what the decoder holds
        } else if (pkt->stream_index == index) {
            avcodec_send_packet(dec, pkt);
        }
        av_packet_unref(pkt);
        if (avcodec_receive_frame(dec, frame) == 0) got = true;
    }
    if (got) {
        std::vector<unsigned char> rows(static_cast<size_t>(DibStride(width)) * height);
        DibConverter conv;
        ok = conv.Convert(frame, width, height, rows.data()) && WriteBmp(bitmap, rows.data(), width, height);
    } else {
        Log(2, kModule, "FFThumbnails: no picture decoded from %s", media);
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&dec);
    avformat_close_input(&fmt);
    return ok;
}

bool LibRecorder::FFSaveAsBitmap(const unsigned char* frame, int frameWidth, int frameHeight, int bitmapWidth,
                                 int bitmapHeight, const char* path) {
    if (!frame || !path || !*path || frameWidth <= 0 || frameHeight <= 0 || bitmapWidth <= 0 || bitmapHeight <= 0 ||
        frameWidth > 8192 || frameHeight > 8192 || bitmapWidth > 8192 || bitmapHeight > 8192) {
        Log(2, kModule, "FFSaveAsBitmap refused: %dx%d to %dx%d", frameWidth, frameHeight, bitmapWidth, bitmapHeight);
        return false;
    }
    if (frameWidth == bitmapWidth && frameHeight == bitmapHeight) return WriteBmp(path, frame, frameWidth, frameHeight);
    SwsContext* sws = sws_getContext(frameWidth, frameHeight, AV_PIX_FMT_BGR24, bitmapWidth, bitmapHeight,
                                     AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!sws) return false;
    // Both sides are bottom-up, so the rows scale in the order they lie in.
    std::vector<unsigned char> rows(static_cast<size_t>(DibStride(bitmapWidth)) * bitmapHeight + kSlack);
    const uint8_t* src[4] = {frame, nullptr, nullptr, nullptr};
    int srcStride[4] = {DibStride(frameWidth), 0, 0, 0};
    uint8_t* dst[4] = {rows.data(), nullptr, nullptr, nullptr};
    int dstStride[4] = {DibStride(bitmapWidth), 0, 0, 0};
    int h = sws_scale(sws, src, srcStride, 0, frameHeight, dst, dstStride);
    sws_freeContext(sws);
    return h == bitmapHeight && WriteBmp(path, rows.data(), bitmapWidth, bitmapHeight);
}
