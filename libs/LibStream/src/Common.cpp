#include "Common.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace libstream {

void Log(int level, const char* module, const char* format, ...) {
    char text[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    YL_Log("LibStream.txt", level, module, "%s", text);
}

std::string ErrText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof(text));
    return text;
}

bool WriteBmp(const std::string& path, const unsigned char* rows, int width, int height) {
    if (!rows || width <= 0 || height <= 0) return false;
    const DWORD image = static_cast<DWORD>(DibStride(width)) * static_cast<DWORD>(height);
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + image;
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;  // positive: bottom-up rows
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = image;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
    bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
    bytes.append(reinterpret_cast<const char*>(rows), image);
    if (!File::WriteAllAtomic(path, bytes)) {
        Log(2, "Bitmap", "cannot write %s", path.c_str());
        return false;
    }
    return true;
}

// FFmpeg's own messages: errors go to the log, the rest is dropped.
static void FFmpegLog(void*, int level, const char* format, va_list args) {
    if (level > AV_LOG_ERROR) return;
    char text[1024];
    std::vsnprintf(text, sizeof(text), format, args);
    size_t n = std::strlen(text);
    while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r')) text[--n] = '\0';
    if (n > 0) YL_Log("LibStream.txt", 2, "FFmpeg", "%s", text);
}

void InitFFmpeg() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(FFmpegLog); });
}

AVFormatContext* OpenInput(const std::string& path, const char* module, AVIOInterruptCB* interrupt) {
    InitFFmpeg();
    AVFormatContext* fmt = avformat_alloc_context();
    if (!fmt) return nullptr;
    if (interrupt) fmt->interrupt_callback = *interrupt;
    // FFmpeg's file protocol takes UTF-8 names and opens them with the wide
    // Windows calls, so any Unicode path works.
    int rc = avformat_open_input(&fmt, path.c_str(), nullptr, nullptr);
    if (rc < 0) {
        Log(2, module, "cannot open %s: %s", path.c_str(), ErrText(rc).c_str());
        return nullptr;  // avformat_open_input freed the context
    }
    rc = avformat_find_stream_info(fmt, nullptr);
    if (rc < 0) {
        Log(2, module, "no stream information in %s: %s", path.c_str(), ErrText(rc).c_str());
        avformat_close_input(&fmt);
        return nullptr;
    }
    return fmt;
}

bool HasPacket(AVFormatContext* fmt) {
    AVPacket* pkt = av_packet_alloc();
    bool any = pkt && av_read_frame(fmt, pkt) >= 0;
    av_packet_free(&pkt);
    return any;
}

double InputDuration(const AVFormatContext* fmt) {
    if (fmt->duration != AV_NOPTS_VALUE && fmt->duration > 0) return fmt->duration / double(AV_TIME_BASE);
    double best = 0;
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        const AVStream* s = fmt->streams[i];
        if (s->duration != AV_NOPTS_VALUE && s->duration > 0) {
            double d = s->duration * av_q2d(s->time_base);
            if (d > best) best = d;
        }
    }
    return best;
}

DibConverter::~DibConverter() { sws_freeContext(m_sws); }

bool DibConverter::Convert(const AVFrame* picture, int width, int height, unsigned char* out) {
    if (!picture || picture->width <= 0 || picture->height <= 0 || width <= 0 || height <= 0) return false;
    m_sws = sws_getCachedContext(m_sws, picture->width, picture->height, static_cast<AVPixelFormat>(picture->format),
                                 width, height, AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!m_sws) return false;
    const int stride = DibStride(width);
    const size_t bytes = static_cast<size_t>(stride) * height;
    // The scaler may write a little past the end of a row, so it writes into
    // a scratch buffer with room to spare, and the rows are copied out.
    m_scratch.resize(bytes + kSlack);
    // Writing from the last row upwards gives the bottom-up DIB order.
    uint8_t* dst[4] = {m_scratch.data() + static_cast<size_t>(stride) * (height - 1), nullptr, nullptr, nullptr};
    int dstStride[4] = {-stride, 0, 0, 0};
    if (sws_scale(m_sws, picture->data, picture->linesize, 0, picture->height, dst, dstStride) != height) return false;
    std::memcpy(out, m_scratch.data(), bytes);
    return true;
}

}  // namespace libstream
