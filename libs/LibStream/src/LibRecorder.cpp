// LibRecorder: FLV (H.264 + AAC) and MP3 recordings over FFmpeg, plus the
// still-picture helpers.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "Common.h"
#include "LibStream/LibStream.h"
#include "ZxLib/ZxLib.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

using namespace libstream;

namespace {

const char* kModule = "LibRecorder";

// Recordings open in this process, by path, so that the duration of a file
// still being written is the time recorded so far.
std::mutex g_openMutex;
std::map<std::wstring, const std::atomic<double>*> g_open;

std::wstring PathKey(const std::string& path) {
    std::wstring w = Charset::String2WString(path);
    wchar_t full[MAX_PATH * 4];
    DWORD n = GetFullPathNameW(w.c_str(), MAX_PATH * 4, full, nullptr);
    if (n > 0 && n < MAX_PATH * 4) w.assign(full, n);
    CharLowerBuffW(&w[0], static_cast<DWORD>(w.size()));
    return w;
}

struct Encoder {
    AVCodecContext* ctx = nullptr;
    AVStream* stream = nullptr;
};

// Writes past this many bytes of a recording file fail (tests); -1: never.
std::atomic<long long> g_faultAfter{-1};
std::atomic<unsigned long> g_faultError{0};

const int kIoBuffer = 64 * 1024;

// The end of the last packet of a file whose header gives no duration (a
// recording cut short before it could be finished), in seconds from the
// file's start.
double ScanDuration(AVFormatContext* fmt) {
    const double start = fmt->start_time != AV_NOPTS_VALUE ? fmt->start_time / double(AV_TIME_BASE) : 0;
    double end = 0;
    AVPacket* pkt = av_packet_alloc();
    while (pkt && av_read_frame(fmt, pkt) >= 0) {
        const AVStream* st = fmt->streams[pkt->stream_index];
        const int64_t at = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
        if (at != AV_NOPTS_VALUE)
            end = std::max(end, (at + std::max<int64_t>(pkt->duration, 0)) * av_q2d(st->time_base) - start);
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    return end;
}

}  // namespace

struct LibRecorder::Impl {
    std::mutex mu;  // every operation on the file
    AVFormatContext* out = nullptr;
    Encoder video, audio;
    SwsContext* sws = nullptr;
    AVFrame* picture = nullptr;
    SwrContext* swr = nullptr;
    AVFrame* sound = nullptr;
    std::vector<unsigned char> pcm;  // 16-bit input not yet coded
    std::string path;
    std::wstring key;
    int width = 0, height = 0, frameRate = 20, channels = 1, sampleRate = 44100, frameSamples = 1024;
    int64_t frames = 0, samples = 0;
    bool failed = false;  // a write failed: later appends are dropped
    int lastError = LIBREC_OK;      // LibRecorderError of the last start or failure
    unsigned long systemError = 0;  // its Windows error, for a file failure
    HANDLE file = INVALID_HANDLE_VALUE;
    bool warnedShort = false;
    bool created = false;  // this recording made the file
    std::atomic<double> elapsed{0};  // ElapsedMs, for FFGetTotalTm of an open file

    bool Write(Encoder& enc, AVFrame* frame);
    bool CodeSound(bool last);
    int OpenFile(const std::string& file, bool withVideo, int w, int h, int fps, int vbr,
                 int ch, int rate, int abr, AVCodecID audioId, int threads, bool lowDelay, int keySeconds);
    void Close(bool finish);
    void Fail(int error, unsigned long system) {
        if (lastError == LIBREC_OK) {
            lastError = error;
            systemError = system;
        }
    }
    bool OpenSink(const std::string& file);
    void CloseSink();
    static int WritePacket(void* opaque, uint8_t* buf, int size);
    static int64_t SeekPacket(void* opaque, int64_t offset, int whence);
    double ElapsedMs() const {
        double v = video.ctx ? frames * 1000.0 / frameRate : 0;
        double a = audio.ctx ? samples * 1000.0 / sampleRate : 0;
        return std::max(v, a);
    }
};

bool LibRecorder::Impl::Write(Encoder& enc, AVFrame* frame) {
    int rc = avcodec_send_frame(enc.ctx, frame);
    if (rc < 0 && rc != AVERROR_EOF) {
        Log(2, kModule, "encoder refused a frame of %s: %s", path.c_str(), ErrText(rc).c_str());
        Fail(LIBREC_ERR_ENCODER, 0);
        failed = true;
        return false;
    }
    AVPacket* pkt = av_packet_alloc();
    bool ok = true;
    for (;;) {
        rc = avcodec_receive_packet(enc.ctx, pkt);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) break;
        if (rc < 0) {
            Log(2, kModule, "encoder failed on %s: %s", path.c_str(), ErrText(rc).c_str());
            Fail(LIBREC_ERR_ENCODER, 0);
            ok = false;
            break;
        }
        av_packet_rescale_ts(pkt, enc.ctx->time_base, enc.stream->time_base);
        pkt->stream_index = enc.stream->index;
        rc = av_interleaved_write_frame(out, pkt);
        if (rc < 0) {
            Log(2, kModule, "cannot write %s: %s", path.c_str(), ErrText(rc).c_str());
            Fail(LIBREC_ERR_FILE, 0);  // the writer has set the Windows error already
            ok = false;
            break;
        }
    }
    av_packet_free(&pkt);
    if (!ok) failed = true;
    return ok;
}

// Codes every whole encoder frame of the pending PCM; with last, also the rest
// (padded with silence when the encoder takes only whole frames).
bool LibRecorder::Impl::CodeSound(bool last) {
    const size_t frameBytes = static_cast<size_t>(frameSamples) * channels * 2;
    size_t done = 0;
    while (!failed && (pcm.size() - done >= frameBytes || (last && pcm.size() > done))) {
        int n = static_cast<int>(std::min(frameBytes, pcm.size() - done) / (2 * channels));
        if (n == 0) break;
        int codeSamples = n;
        if (n < frameSamples && !(audio.ctx->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME)) codeSamples = frameSamples;
        if (av_frame_make_writable(sound) < 0) return false;
        sound->nb_samples = codeSamples;
        std::vector<unsigned char> padded;
        const uint8_t* in = pcm.data() + done;
        if (codeSamples != n) {
            padded.assign(static_cast<size_t>(codeSamples) * channels * 2, 0);
            std::memcpy(padded.data(), in, static_cast<size_t>(n) * channels * 2);
            in = padded.data();
        }
        if (swr_convert(swr, sound->data, codeSamples, &in, codeSamples) < 0) return false;
        sound->pts = samples;
        samples += n;
        done += static_cast<size_t>(n) * channels * 2;
        if (!Write(audio, sound)) return false;
    }
    pcm.erase(pcm.begin(), pcm.begin() + static_cast<std::ptrdiff_t>(done));
    return !failed;
}

int LibRecorder::Impl::OpenFile(const std::string& file, bool withVideo, int w, int h, int fps,
                                int vbr, int ch, int rate, int abr, AVCodecID audioId, int threads, bool lowDelay,
                                int keySeconds) {
    InitFFmpeg();
    path = file;
    int rc = avformat_alloc_output_context2(&out, nullptr, withVideo ? "flv" : "mp3", file.c_str());
    if (rc < 0 || !out) {
        Log(2, kModule, "no %s writer: %s", withVideo ? "flv" : "mp3", ErrText(rc).c_str());
        return -1;
    }
    const bool globalHeader = (out->oformat->flags & AVFMT_GLOBALHEADER) != 0;
    if (withVideo) {
        const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
        if (!codec) {
            Log(2, kModule, "no H.264 encoder");
            Fail(LIBREC_ERR_ENCODER, 0);
            return -1;
        }
        // The encoder takes even sizes; an odd frame is scaled by one pixel.
        width = w;
        height = h;
        video.stream = avformat_new_stream(out, nullptr);
        video.ctx = avcodec_alloc_context3(codec);
        AVCodecContext* c = video.ctx;
        c->width = w & ~1;
        c->height = h & ~1;
        c->pix_fmt = AV_PIX_FMT_YUV420P;
        c->time_base = AVRational{1, fps};
        c->framerate = AVRational{fps, 1};
        c->bit_rate = vbr;
        c->gop_size = fps * (keySeconds > 0 ? keySeconds : 10);
        c->thread_count = threads > 0 ? threads : 0;
        if (lowDelay) c->max_b_frames = 0;
        if (globalHeader) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        AVDictionary* opts = nullptr;
        av_dict_set(&opts, "preset", "veryfast", 0);
        if (lowDelay) av_dict_set(&opts, "tune", "zerolatency", 0);
        rc = avcodec_open2(c, codec, &opts);
        av_dict_free(&opts);
        if (rc < 0) {
            Log(2, kModule, "cannot start H.264 at %dx%d: %s", w, h, ErrText(rc).c_str());
            Fail(LIBREC_ERR_ENCODER, 0);
            return -1;
        }
        avcodec_parameters_from_context(video.stream->codecpar, c);
        video.stream->time_base = c->time_base;
        picture = av_frame_alloc();
        picture->format = c->pix_fmt;
        picture->width = c->width;
        picture->height = c->height;
        if (av_frame_get_buffer(picture, 0) < 0) return -1;
        sws = sws_getContext(w, h, AV_PIX_FMT_BGR24, c->width, c->height, c->pix_fmt, SWS_BILINEAR, nullptr, nullptr,
                             nullptr);
        if (!sws) return -1;
    }
    if (ch > 0) {
        const AVCodec* codec = audioId == AV_CODEC_ID_MP3 ? avcodec_find_encoder_by_name("libmp3lame")
                                                          : avcodec_find_encoder(audioId);
        if (!codec) {
            Log(2, kModule, "no encoder for sound codec %d", static_cast<int>(audioId));
            Fail(LIBREC_ERR_ENCODER, 0);
            return -1;
        }
        audio.stream = avformat_new_stream(out, nullptr);
        audio.ctx = avcodec_alloc_context3(codec);
        AVCodecContext* c = audio.ctx;
        c->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
        c->sample_rate = rate;
        av_channel_layout_default(&c->ch_layout, ch);
        c->bit_rate = abr;
        c->time_base = AVRational{1, rate};
        if (globalHeader) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        rc = avcodec_open2(c, codec, nullptr);
        if (rc < 0) {
            Log(2, kModule, "cannot start %s at %d Hz, %d channels, %d b/s: %s", codec->name, rate, ch, abr,
                ErrText(rc).c_str());
            Fail(LIBREC_ERR_ENCODER, 0);
            return -1;
        }
        avcodec_parameters_from_context(audio.stream->codecpar, c);
        audio.stream->time_base = c->time_base;
        frameSamples = c->frame_size > 0 ? c->frame_size : 1152;
        sound = av_frame_alloc();
        sound->format = c->sample_fmt;
        sound->sample_rate = rate;
        av_channel_layout_copy(&sound->ch_layout, &c->ch_layout);
        sound->nb_samples = frameSamples;
        if (av_frame_get_buffer(sound, 0) < 0) return -1;
        AVChannelLayout layout;
        av_channel_layout_default(&layout, ch);
        if (swr_alloc_set_opts2(&swr, &c->ch_layout, c->sample_fmt, rate, &layout, AV_SAMPLE_FMT_S16, rate, 0,
                                nullptr) < 0 ||
            swr_init(swr) < 0) {
            av_channel_layout_uninit(&layout);
            Log(2, kModule, "cannot convert sound for %s", codec->name);
            Fail(LIBREC_ERR_ENCODER, 0);
            return -1;
        }
        av_channel_layout_uninit(&layout);
    }
    frameRate = fps;
    channels = ch;
    sampleRate = rate;
    if (!OpenSink(file)) return -1;
    created = true;
    rc = avformat_write_header(out, nullptr);
    if (rc >= 0) {
        avio_flush(out->pb);
        rc = out->pb->error;
    }
    if (rc < 0) {
        Log(2, kModule, "cannot start %s: %s", file.c_str(), ErrText(rc).c_str());
        Fail(LIBREC_ERR_FILE, 0);
        return -1;
    }
    key = PathKey(file);
    std::lock_guard<std::mutex> lock(g_openMutex);
    elapsed = 0;
    g_open[key] = &elapsed;
    Log(0, kModule, "recording %s", file.c_str());
    return 0;
}

// The file is written with Windows calls rather than FFmpeg's own file
// protocol, so that a failed write keeps its Windows error (a full disk and a
// folder that went away are told apart).
bool LibRecorder::Impl::OpenSink(const std::string& name) {
    file = CreateFileW(Charset::String2WString(name).c_str(), GENERIC_WRITE | GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        Log(2, kModule, "cannot create %s (%lu)", name.c_str(), static_cast<unsigned long>(error));
        Fail(LIBREC_ERR_FILE, error);
        return false;
    }
    unsigned char* buffer = static_cast<unsigned char*>(av_malloc(kIoBuffer));
    out->pb = buffer ? avio_alloc_context(buffer, kIoBuffer, 1, this, nullptr, &Impl::WritePacket, &Impl::SeekPacket)
                     : nullptr;
    if (!out->pb) {
        av_free(buffer);
        CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
        DeleteFileW(Charset::String2WString(name).c_str());
        Fail(LIBREC_ERR_FILE, ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    return true;
}

void LibRecorder::Impl::CloseSink() {
    if (out && out->pb) {
        avio_flush(out->pb);
        av_freep(&out->pb->buffer);
        avio_context_free(&out->pb);
    }
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
}

int LibRecorder::Impl::WritePacket(void* opaque, uint8_t* buf, int size) {
    Impl& r = *static_cast<Impl*>(opaque);
    LARGE_INTEGER zero{}, at{};
    SetFilePointerEx(r.file, zero, &at, FILE_CURRENT);
    DWORD want = static_cast<DWORD>(size), error = 0;
    const long long limit = g_faultAfter.load();
    if (limit >= 0 && at.QuadPart + size > limit) {
        want = at.QuadPart >= limit ? 0 : static_cast<DWORD>(limit - at.QuadPart);
        error = g_faultError.load();
    }
    DWORD written = 0;
    if (want > 0 && !WriteFile(r.file, buf, want, &written, nullptr)) error = GetLastError();
    if (error == 0 && written == static_cast<DWORD>(size)) return size;
    if (error == 0) error = ERROR_WRITE_FAULT;
    Log(2, kModule, "writing %s failed after %lld bytes (%lu)", r.path.c_str(),
        static_cast<long long>(at.QuadPart + written), static_cast<unsigned long>(error));
    r.Fail(LIBREC_ERR_FILE, error);
    return AVERROR(EIO);
}

int64_t LibRecorder::Impl::SeekPacket(void* opaque, int64_t offset, int whence) {
    Impl& r = *static_cast<Impl*>(opaque);
    LARGE_INTEGER size{};
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) return GetFileSizeEx(r.file, &size) ? size.QuadPart : -1;
    const DWORD method = whence == SEEK_CUR ? FILE_CURRENT : whence == SEEK_END ? FILE_END : FILE_BEGIN;
    LARGE_INTEGER to, at{};
    to.QuadPart = offset;
    return SetFilePointerEx(r.file, to, &at, method) ? at.QuadPart : -1;
}

void LibRecorder::Impl::Close(bool finish) {
    if (!key.empty()) {
        std::lock_guard<std::mutex> lock(g_openMutex);
        g_open.erase(key);
        key.clear();
    }
    if (finish && out && out->pb && !failed) {
        if (audio.ctx) CodeSound(true);
        if (video.ctx && !failed) Write(video, nullptr);
        if (audio.ctx && !failed) Write(audio, nullptr);
        int rc = av_write_trailer(out);
        if (rc < 0) Log(2, kModule, "cannot finish %s: %s", path.c_str(), ErrText(rc).c_str());
        else Log(0, kModule, "finished %s, %.1f s", path.c_str(), ElapsedMs() / 1000.0);
    }
    CloseSink();
    if (out) {
        avformat_free_context(out);
        out = nullptr;
    }
    // A recording that could not start leaves no half-made file behind.
    if (!finish && created) DeleteFileW(Charset::String2WString(path).c_str());
    created = false;
    avcodec_free_context(&video.ctx);
    avcodec_free_context(&audio.ctx);
    video.stream = audio.stream = nullptr;
    sws_freeContext(sws);
    sws = nullptr;
    swr_free(&swr);
    av_frame_free(&picture);
    av_frame_free(&sound);
    pcm.clear();
    frames = samples = 0;
    failed = false;
    warnedShort = false;
}

LibRecorder::LibRecorder() : m_impl(new Impl) {}

LibRecorder::~LibRecorder() {
    FFUint();
    delete m_impl;
}

static bool HasFileName(const char* path) { return path && *path; }

int LibRecorder::FFVideoInit(const char* path, int width, int height, int frameRate, int videoBitRate, int channels,
                             int sampleRate, int audioBitRate, int audioCodec, int videoCodec, int threads,
                             bool lowDelay, int keySeconds) {
    FFUint();
    std::lock_guard<std::mutex> lock(m_impl->mu);
    m_impl->lastError = LIBREC_OK;
    m_impl->systemError = 0;
    const bool sound = channels != 0;
    if (!HasFileName(path) || width < 2 || height < 2 || width > 8192 || height > 8192 || frameRate <= 0 ||
        frameRate > 240 || videoBitRate <= 0 || channels < 0 || channels > 2 ||
        (sound && (sampleRate < 8000 || sampleRate > 192000 || audioBitRate <= 0))) {
        m_impl->Fail(LIBREC_ERR_ARGS, 0);
        Log(2, kModule, "FFVideoInit refused: %dx%d at %d, %d b/s, %d ch %d Hz %d b/s", width, height, frameRate,
            videoBitRate, channels, sampleRate, audioBitRate);
        return -1;
    }
    if ((sound && audioCodec != LIBSTREAM_CODEC_AAC) ||
        (videoCodec != LIBSTREAM_CODEC_H264 && videoCodec != AV_CODEC_ID_H264)) {
        m_impl->Fail(LIBREC_ERR_ARGS, 0);
        Log(2, kModule, "FFVideoInit: only H.264 (%d) with AAC (%d) is recorded, not %d with %d",
            LIBSTREAM_CODEC_H264, LIBSTREAM_CODEC_AAC, videoCodec, audioCodec);
        return -1;
    }
    if (m_impl->OpenFile(path, true, width, height, frameRate, videoBitRate, channels, sampleRate, audioBitRate,
                         AV_CODEC_ID_AAC, threads, lowDelay, keySeconds) != 0) {
        m_impl->Close(false);
        return -1;
    }
    return 0;
}

int LibRecorder::FFAudioInit(const char* path, int channels, int sampleRate, int bitRate, int codec) {
    FFUint();
    std::lock_guard<std::mutex> lock(m_impl->mu);
    m_impl->lastError = LIBREC_OK;
    m_impl->systemError = 0;
    if (!HasFileName(path) || channels < 1 || channels > 2 || sampleRate < 8000 || sampleRate > 48000 ||
        bitRate <= 0) {
        m_impl->Fail(LIBREC_ERR_ARGS, 0);
        Log(2, kModule, "FFAudioInit refused: %d ch %d Hz %d b/s", channels, sampleRate, bitRate);
        return -1;
    }
    if (codec != LIBSTREAM_CODEC_MP3) {
        m_impl->Fail(LIBREC_ERR_ARGS, 0);
        Log(2, kModule, "FFAudioInit: only MP3 (%d) is recorded, not %d", LIBSTREAM_CODEC_MP3, codec);
        return -1;
    }
    if (m_impl->OpenFile(path, false, 0, 0, 1, 0, channels, sampleRate, bitRate, AV_CODEC_ID_MP3, 0, false, 0) !=
        0) {
        m_impl->Close(false);
        return -1;
    }
    return 0;
}

int LibRecorder::FFGetAudioInputSize() {
    std::lock_guard<std::mutex> lock(m_impl->mu);
    if (!m_impl->audio.ctx) return 1024 * 2;  // one AAC frame of mono 16-bit sound
    return m_impl->frameSamples * m_impl->channels * 2;
}

int LibRecorder::FFAppendVideo(const unsigned char* frame, int length) {
    std::lock_guard<std::mutex> lock(m_impl->mu);
    Impl& r = *m_impl;
    if (!r.video.ctx || r.failed || !frame) return -1;
    const int stride = DibStride(r.width);
    if (length < stride * r.height) {
        if (!r.warnedShort) Log(2, kModule, "frame of %d bytes refused, %d expected", length, stride * r.height);
        r.warnedShort = true;
        return -1;
    }
    if (av_frame_make_writable(r.picture) < 0) return -1;
    // Bottom-up DIB rows: start at the last row and walk upwards.
    const uint8_t* src[4] = {frame + static_cast<size_t>(stride) * (r.height - 1), nullptr, nullptr, nullptr};
    int srcStride[4] = {-stride, 0, 0, 0};
    sws_scale(r.sws, src, srcStride, 0, r.height, r.picture->data, r.picture->linesize);
    r.picture->pts = r.frames++;
    bool ok = r.Write(r.video, r.picture);
    r.elapsed = r.ElapsedMs();
    return ok ? 0 : -1;
}

int LibRecorder::FFAppendAudio(const unsigned char* pcm, int length) {
    std::lock_guard<std::mutex> lock(m_impl->mu);
    Impl& r = *m_impl;
    if (!r.audio.ctx || r.failed || !pcm || length <= 0) return -1;
    r.pcm.insert(r.pcm.end(), pcm, pcm + length);
    bool ok = r.CodeSound(false);
    r.elapsed = r.ElapsedMs();
    return ok ? 0 : -1;
}

double LibRecorder::GetCurTm() {
    std::lock_guard<std::mutex> lock(m_impl->mu);
    return m_impl->ElapsedMs();
}

int LibRecorder::FFGetLastError(unsigned long* systemError) {
    std::lock_guard<std::mutex> lock(m_impl->mu);
    if (systemError) *systemError = m_impl->systemError;
    return m_impl->lastError;
}

void LibRecorder::FFInjectWriteFault(long long afterBytes, unsigned long systemError) {
    g_faultError = systemError;
    g_faultAfter = afterBytes < 0 ? -1 : afterBytes;
}

void LibRecorder::FFUint() {
    std::lock_guard<std::mutex> lock(m_impl->mu);
    m_impl->Close(true);
}

double LibRecorder::FFGetTotalTm(const char* path) {
    if (!HasFileName(path)) return 0;
    {
        std::lock_guard<std::mutex> lock(g_openMutex);
        auto it = g_open.find(PathKey(path));
        if (it != g_open.end()) {
            // Still being written: its header carries no duration yet.
            return it->second->load() / 1000.0;
        }
    }
    AVFormatContext* fmt = OpenInput(path, kModule);
    if (!fmt) return 0;
    // A file without a single packet lasts nothing, whatever its header says.
    double d = HasPacket(fmt) ? InputDuration(fmt) : 0;
    if (d <= 0) d = ScanDuration(fmt);
    avformat_close_input(&fmt);
    return d;
}
