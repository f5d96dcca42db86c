// LibReplay: plays one media file. A decoding thread reads the file, turns
// pictures into DIB frames of the asked size (a short queue) and writes the
// sound to a wave-out device; the frame due now is chosen by the playback
// clock, which follows the sound the device has played (or the system clock
// when there is no sound, no device, or the sound has ended).
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Common.h"
#include "LibStream/LibStream.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

using namespace libstream;

namespace {

const char* kModule = "LibReplay";
const size_t kVideoQueue = 8;       // decoded frames kept ahead of the clock
const size_t kVideoQueueMax = 48;   // hard bound while the sound waits for packets
const int kAudioBlocks = 8;         // wave-out buffers in flight
const int kAudioBlockFrames = 2048; // sample frames per buffer (~46 ms at 44100)
const int kOutRate = 44100;
const int kPrimePackets = 3000;     // packets read in Init to find the first frame
const double kSoundWait = 0.5;      // seconds the clock waits for the first sound

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct VideoFrame {
    double pts = 0;
    std::vector<unsigned char> rows;
};

}  // namespace

// One opened file and its decoding thread.
class Session {
public:
    ~Session() { Close(); }

    int Open(const std::string& path, unsigned width, unsigned height, int device, bool playSound, bool decodeVideo);
    void Start() { m_thread = std::thread([this] { Run(); }); }
    void Stop();  // ends the thread and releases the file and the device

    int QueryFrame(unsigned char* buffer, unsigned length);
    void GetCurTm(double& current, double& total);
    void Seek(double seconds);
    void Pause(bool pause);
    void SetVolume(double v) { m_volume = std::min(1.0, std::max(0.0, v)); }

private:
    // Under m_mu.
    double ClockLocked();
    void AdvanceLocked(double now);
    void RebaseSystemClockLocked(double at) {
        m_sysBase = at;
        m_sysStart = Clock::now();
    }

    void Run();
    void Close();
    bool ReadAndDecode(bool priming);  // false at the end of the file or on a fatal error
    bool DecodeVideo(AVPacket* pkt);
    bool DecodeAudio(AVPacket* pkt);
    void HandleVideoFrame();
    void HandleAudioFrame();
    void QueueSound(const unsigned char* pcm, size_t bytes, double pts);
    void ServiceAudioLocked();
    bool AudioFullLocked() const;
    void DoSeek(double target);
    double Pts(const AVFrame* f, const AVStream* s) const;

    static int Interrupt(void* self) { return static_cast<Session*>(self)->m_stop.load() ? 1 : 0; }

    std::string m_path;
    AVFormatContext* m_fmt = nullptr;
    AVCodecContext* m_vdec = nullptr;
    AVCodecContext* m_adec = nullptr;
    int m_vidx = -1, m_aidx = -1;
    double m_start = 0;  // the file's first time stamp, taken as position 0
    double m_total = 0;
    int m_width = 0, m_height = 0;
    size_t m_frameBytes = 0;
    DibConverter m_conv;
    SwrContext* m_swr = nullptr;
    int m_outChannels = 2;
    AVFrame* m_frame = nullptr;
    AVPacket* m_held = nullptr;  // a packet read but not yet decoded (its queue was full)
    bool m_hasHeld = false;
    std::atomic<double> m_volume{1.0};
    double m_skipVideoBefore = -1;  // after a seek: pictures before this are dropped
    double m_skipAudioBefore = -1;  // and sound
    std::thread m_thread;
    std::atomic<bool> m_stop{false};

    // Shared with the callers' threads.
    std::mutex m_mu;
    std::condition_variable m_cv;
    std::deque<VideoFrame> m_queue;
    VideoFrame m_current;
    bool m_hasCurrent = false;
    bool m_paused = false;
    double m_pausedAt = 0;
    bool m_seekPending = false;
    double m_seekTarget = 0;
    bool m_eof = false;
    bool m_showNext = false;  // a seek happened: the next decoded picture shows at once

    // Sound output.
    HWAVEOUT m_wave = nullptr;
    WAVEHDR m_hdr[kAudioBlocks] = {};
    std::vector<unsigned char> m_blocks[kAudioBlocks];
    bool m_inFlight[kAudioBlocks] = {};
    std::vector<unsigned char> m_pending;  // converted sound not yet given to the device
    bool m_audioStarted = false;           // samples given since the last start/seek
    double m_audioAnchor = 0;              // position of the first of them
    uint64_t m_audioWritten = 0;           // sample frames given since then
    bool m_audioEnded = false;             // the device has played everything there is
    double m_lastAudio = 0;
    // System clock: position m_sysBase at m_sysStart.
    double m_sysBase = 0;
    Clock::time_point m_sysStart;
    Clock::time_point m_waitSince;  // start or seek, when no sound has come yet
    double m_lastPts = 0;           // the latest time decoded (picture or sound)
};

double Session::Pts(const AVFrame* f, const AVStream* s) const {
    int64_t ts = f->best_effort_timestamp;
    if (ts == AV_NOPTS_VALUE) ts = f->pts;
    if (ts == AV_NOPTS_VALUE) return -1;
    return ts * av_q2d(s->time_base) - m_start;
}

int Session::Open(const std::string& path, unsigned width, unsigned height, int device, bool playSound,
                  bool decodeVideo) {
    m_path = path;
    RebaseSystemClockLocked(0);
    m_waitSince = m_sysStart;
    if (width == 0 || height == 0 || width > 8192 || height > 8192) {
        Log(2, kModule, "Init %s refused: size %ux%u", path.c_str(), width, height);
        return -1;
    }
    m_width = static_cast<int>(width);
    m_height = static_cast<int>(height);
    m_frameBytes = static_cast<size_t>(DibStride(m_width)) * m_height;
    AVIOInterruptCB cb = {&Session::Interrupt, this};
    m_fmt = OpenInput(path, kModule, &cb);
    if (!m_fmt) return -1;
    m_start = m_fmt->start_time != AV_NOPTS_VALUE ? m_fmt->start_time / double(AV_TIME_BASE) : 0;
    m_total = InputDuration(m_fmt);

    auto openDecoder = [&](AVMediaType type, int& index) -> AVCodecContext* {
        const AVCodec* codec = nullptr;
        index = av_find_best_stream(m_fmt, type, -1, -1, &codec, 0);
        if (index < 0 || !codec) {
            index = -1;
            return nullptr;
        }
        AVCodecContext* c = avcodec_alloc_context3(codec);
        c->thread_count = 0;
        if (avcodec_parameters_to_context(c, m_fmt->streams[index]->codecpar) < 0 || avcodec_open2(c, codec, nullptr) < 0) {
            Log(2, kModule, "%s: cannot start the %s decoder", path.c_str(), codec->name);
            avcodec_free_context(&c);
            index = -1;
        }
        return c;
    };
    if (decodeVideo) m_vdec = openDecoder(AVMEDIA_TYPE_VIDEO, m_vidx);
    m_adec = openDecoder(AVMEDIA_TYPE_AUDIO, m_aidx);
    if (!m_vdec && !m_adec) {
        Log(2, kModule, "%s: nothing to decode", path.c_str());
        return -1;
    }
    for (unsigned i = 0; i < m_fmt->nb_streams; ++i)
        if (static_cast<int>(i) != m_vidx && static_cast<int>(i) != m_aidx) m_fmt->streams[i]->discard = AVDISCARD_ALL;
    m_frame = av_frame_alloc();
    m_held = av_packet_alloc();

    if (m_adec) {
        m_outChannels = m_adec->ch_layout.nb_channels >= 2 ? 2 : 1;
        AVChannelLayout outLayout;
        av_channel_layout_default(&outLayout, m_outChannels);
        int rc = swr_alloc_set_opts2(&m_swr, &outLayout, AV_SAMPLE_FMT_S16, kOutRate, &m_adec->ch_layout,
                                     m_adec->sample_fmt, m_adec->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&outLayout);
        if (rc < 0 || swr_init(m_swr) < 0) {
            Log(2, kModule, "%s: cannot convert its sound; playing without", path.c_str());
            swr_free(&m_swr);
            avcodec_free_context(&m_adec);
            m_aidx = -1;
        }
    }
    if (m_adec && playSound) {
        WAVEFORMATEX wf = {};
        wf.wFormatTag = WAVE_FORMAT_PCM;
        wf.nChannels = static_cast<WORD>(m_outChannels);
        wf.nSamplesPerSec = kOutRate;
        wf.wBitsPerSample = 16;
        wf.nBlockAlign = static_cast<WORD>(wf.nChannels * 2);
        wf.nAvgBytesPerSec = wf.nSamplesPerSec * wf.nBlockAlign;
        UINT id = device < 0 ? WAVE_MAPPER : static_cast<UINT>(device);
        MMRESULT mr = waveOutOpen(&m_wave, id, &wf, 0, 0, CALLBACK_NULL);
        if (mr != MMSYSERR_NOERROR) {
            Log(2, kModule, "%s: wave-out device %d cannot open (%u); playing without sound", path.c_str(), device,
                static_cast<unsigned>(mr));
            m_wave = nullptr;
        } else {
            for (int i = 0; i < kAudioBlocks; ++i) m_blocks[i].resize(static_cast<size_t>(kAudioBlockFrames) * wf.nBlockAlign);
        }
    }
    if (!m_wave) {
        // Without a device the sound is not decoded at all.
        if (m_adec) avcodec_free_context(&m_adec);
        swr_free(&m_swr);
        m_aidx = -1;
        if (!m_vdec) {
            Log(2, kModule, "%s: only sound, and no device to play it", path.c_str());
            return -1;
        }
    }

    // Decode up to the first picture (or the first sound) now, so that a file
    // that holds nothing playable fails here and a frame is ready at once.
    for (int n = 0; n < kPrimePackets; ++n) {
        {
            std::lock_guard<std::mutex> lock(m_mu);
            if (m_vdec ? (m_hasCurrent || !m_queue.empty()) : !m_pending.empty()) break;
        }
        if (!ReadAndDecode(true)) break;
    }
    std::lock_guard<std::mutex> lock(m_mu);
    if (!m_queue.empty() && !m_hasCurrent) {
        m_current = std::move(m_queue.front());
        m_queue.pop_front();
        m_hasCurrent = true;
    }
    if (m_vdec ? !m_hasCurrent : m_pending.empty()) {
        Log(2, kModule, "%s: no frame decodes", path.c_str());
        return -1;
    }
    RebaseSystemClockLocked(0);
    m_waitSince = m_sysStart;
    ServiceAudioLocked();
    Log(0, kModule, "playing %s (%.1f s, %s%s) at %ux%u", path.c_str(), m_total, m_vdec ? "picture" : "",
        m_wave ? " sound" : "", width, height);
    return 0;
}

double Session::ClockLocked() {
    if (m_paused) return m_pausedAt;
    if (m_seekPending) return m_seekTarget;
    double t;
    if (m_wave && m_audioStarted && !m_audioEnded) {
        MMTIME mt = {};
        mt.wType = TIME_SAMPLES;
        waveOutGetPosition(m_wave, &mt, sizeof(mt));
        double played = mt.wType == TIME_SAMPLES ? double(mt.u.sample)
                                                  : double(mt.u.cb) / (2.0 * m_outChannels);
        t = m_audioAnchor + played / kOutRate;
        // Follow the sound, but never faster than real time: a device that
        // reports more played than time has passed (Wine's null ALSA device
        // consumes about four times faster) would otherwise rush the picture.
        t = std::min(t, m_sysBase + Seconds(Clock::now() - m_sysStart));
        m_lastAudio = t;
        RebaseSystemClockLocked(t);  // the system clock goes on from here when the sound ends
    } else if (m_wave && !m_audioStarted && !m_eof && Seconds(Clock::now() - m_waitSince) < kSoundWait) {
        t = m_sysBase;  // waiting a little for the first sound after a start or a seek
        m_sysStart = Clock::now();
    } else {
        t = m_sysBase + Seconds(Clock::now() - m_sysStart);
    }
    // At the end the position stays at the end.
    if (m_eof && (!m_wave || m_audioEnded || !m_audioStarted)) t = std::min(t, std::max(m_total, m_lastPts));
    return std::max(0.0, t);
}

void Session::AdvanceLocked(double now) {
    // The first picture after a seek shows at once, also while paused.
    if (m_showNext && !m_queue.empty()) {
        m_current = std::move(m_queue.front());
        m_queue.pop_front();
        m_hasCurrent = true;
        m_showNext = false;
    }
    while (!m_queue.empty() && m_queue.front().pts <= now) {
        m_current = std::move(m_queue.front());
        m_queue.pop_front();
        m_hasCurrent = true;
    }
}

int Session::QueryFrame(unsigned char* buffer, unsigned length) {
    std::lock_guard<std::mutex> lock(m_mu);
    AdvanceLocked(ClockLocked());
    if (!m_hasCurrent || !buffer || length < m_frameBytes) return 0;
    std::memcpy(buffer, m_current.rows.data(), m_frameBytes);
    m_cv.notify_all();  // room in the queue for the decoder
    return static_cast<int>(m_frameBytes);
}

void Session::GetCurTm(double& current, double& total) {
    std::lock_guard<std::mutex> lock(m_mu);
    current = ClockLocked();
    total = m_total;
}

void Session::Seek(double seconds) {
    std::lock_guard<std::mutex> lock(m_mu);
    if (m_total > 0) seconds = std::min(seconds, m_total);
    seconds = std::max(0.0, seconds);
    if (m_paused) m_pausedAt = seconds;
    m_seekTarget = seconds;
    m_seekPending = true;
    m_cv.notify_all();
}

void Session::Pause(bool pause) {
    std::lock_guard<std::mutex> lock(m_mu);
    if (pause == m_paused) return;
    if (pause) {
        m_pausedAt = ClockLocked();
        m_paused = true;
        if (m_wave) waveOutPause(m_wave);
    } else {
        m_paused = false;
        RebaseSystemClockLocked(m_pausedAt);
        if (m_wave) waveOutRestart(m_wave);
    }
    m_cv.notify_all();
}

bool Session::AudioFullLocked() const {
    size_t frameBytes = static_cast<size_t>(m_outChannels) * 2;
    size_t limit = static_cast<size_t>(kAudioBlockFrames) * frameBytes * 2;
    for (int i = 0; i < kAudioBlocks; ++i)
        if (!m_inFlight[i]) return false;
    return m_pending.size() >= limit;
}

void Session::ServiceAudioLocked() {
    if (!m_wave) return;
    const size_t blockBytes = m_blocks[0].size();
    bool anyInFlight = false;
    for (int i = 0; i < kAudioBlocks; ++i) {
        if (m_inFlight[i] && (m_hdr[i].dwFlags & WHDR_DONE)) {
            waveOutUnprepareHeader(m_wave, &m_hdr[i], sizeof(WAVEHDR));
            m_inFlight[i] = false;
        }
    }
    for (int i = 0; i < kAudioBlocks && !m_pending.empty(); ++i) {
        if (m_inFlight[i]) continue;
        // Whole blocks while playing; the last piece once the file has ended.
        if (m_pending.size() < blockBytes && !m_eof) break;
        size_t n = std::min(blockBytes, m_pending.size());
        std::memcpy(m_blocks[i].data(), m_pending.data(), n);
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(n));
        m_hdr[i] = WAVEHDR{};
        m_hdr[i].lpData = reinterpret_cast<LPSTR>(m_blocks[i].data());
        m_hdr[i].dwBufferLength = static_cast<DWORD>(n);
        if (waveOutPrepareHeader(m_wave, &m_hdr[i], sizeof(WAVEHDR)) == MMSYSERR_NOERROR &&
            waveOutWrite(m_wave, &m_hdr[i], sizeof(WAVEHDR)) == MMSYSERR_NOERROR) {
            m_inFlight[i] = true;
        }
    }
    for (int i = 0; i < kAudioBlocks; ++i) anyInFlight = anyInFlight || m_inFlight[i];
    if (m_eof && m_pending.empty() && !anyInFlight && !m_audioEnded) {
        // The sound has ended: the system clock goes on from where it stopped.
        double at = ClockLocked();
        m_audioEnded = true;
        RebaseSystemClockLocked(at);
    }
}

void Session::QueueSound(const unsigned char* pcm, size_t bytes, double pts) {
    std::lock_guard<std::mutex> lock(m_mu);
    const size_t frameBytes = static_cast<size_t>(m_outChannels) * 2;
    if (!m_audioStarted) {
        m_audioStarted = true;
        m_audioAnchor = pts >= 0 ? pts : 0;
        m_audioWritten = 0;
        m_lastAudio = m_audioAnchor;
    } else if (pts >= 0) {
        // A gap in the sound is filled with silence so the clock keeps time.
        double expected = m_audioAnchor + double(m_audioWritten) / kOutRate;
        double gap = pts - expected;
        if (gap > 0.05 && gap < 10.0) {
            size_t silence = static_cast<size_t>(gap * kOutRate) * frameBytes;
            m_pending.insert(m_pending.end(), silence, 0);
            m_audioWritten += silence / frameBytes;
        }
    }
    size_t start = m_pending.size();
    m_pending.insert(m_pending.end(), pcm, pcm + bytes);
    m_audioWritten += bytes / frameBytes;
    m_lastPts = std::max(m_lastPts, m_audioAnchor + double(m_audioWritten) / kOutRate);
    double v = m_volume.load();
    if (v < 0.999) {
        for (size_t i = start; i + 1 < m_pending.size(); i += 2) {
            int16_t s;
            std::memcpy(&s, &m_pending[i], 2);
            s = static_cast<int16_t>(s * v);
            std::memcpy(&m_pending[i], &s, 2);
        }
    }
    ServiceAudioLocked();
}

void Session::HandleVideoFrame() {
    double pts = Pts(m_frame, m_fmt->streams[m_vidx]);
    if (m_skipVideoBefore >= 0 && pts >= 0 && pts < m_skipVideoBefore - 0.001) return;  // before the seek target
    m_skipVideoBefore = -1;
    VideoFrame vf;
    vf.rows.resize(m_frameBytes);
    if (!m_conv.Convert(m_frame, m_width, m_height, vf.rows.data())) return;
    std::lock_guard<std::mutex> lock(m_mu);
    if (pts < 0) pts = m_queue.empty() ? (m_hasCurrent ? m_current.pts : 0) : m_queue.back().pts;
    vf.pts = pts;
    m_lastPts = std::max(m_lastPts, pts);
    m_queue.push_back(std::move(vf));
    while (m_queue.size() > kVideoQueueMax) m_queue.pop_front();
}

void Session::HandleAudioFrame() {
    double pts = Pts(m_frame, m_fmt->streams[m_aidx]);
    int maxOut = swr_get_out_samples(m_swr, m_frame->nb_samples);
    if (maxOut <= 0) return;
    std::vector<unsigned char> out(static_cast<size_t>(maxOut) * m_outChannels * 2);
    uint8_t* dst[1] = {out.data()};
    int n = swr_convert(m_swr, dst, maxOut, const_cast<const uint8_t**>(m_frame->extended_data), m_frame->nb_samples);
    if (n <= 0) return;
    size_t bytes = static_cast<size_t>(n) * m_outChannels * 2;
    size_t skip = 0;
    if (m_skipAudioBefore >= 0 && pts >= 0 && pts < m_skipAudioBefore) {
        double dur = double(n) / kOutRate;
        if (pts + dur <= m_skipAudioBefore) return;
        skip = static_cast<size_t>((m_skipAudioBefore - pts) * kOutRate) * m_outChannels * 2;
        pts = m_skipAudioBefore;
    }
    m_skipAudioBefore = -1;
    if (skip < bytes) QueueSound(out.data() + skip, bytes - skip, pts);
}

bool Session::DecodeVideo(AVPacket* pkt) {
    if (avcodec_send_packet(m_vdec, pkt) < 0 && pkt) return true;  // a damaged packet: skip it
    while (avcodec_receive_frame(m_vdec, m_frame) == 0) {
        HandleVideoFrame();
        av_frame_unref(m_frame);
    }
    return true;
}

bool Session::DecodeAudio(AVPacket* pkt) {
    if (avcodec_send_packet(m_adec, pkt) < 0 && pkt) return true;
    while (avcodec_receive_frame(m_adec, m_frame) == 0) {
        HandleAudioFrame();
        av_frame_unref(m_frame);
    }
    return true;
}

// Reads one packet (or decodes the held one) and decodes it. During playback
// a packet whose queue is full is held and tried again later.
bool Session::ReadAndDecode(bool priming) {
    if (!m_hasHeld) {
        int rc = av_read_frame(m_fmt, m_held);
        if (rc < 0) {
            if (rc != AVERROR_EOF && !m_stop) Log(0, kModule, "%s: reading ended: %s", m_path.c_str(), ErrText(rc).c_str());
            if (m_vdec) DecodeVideo(nullptr);
            if (m_adec) DecodeAudio(nullptr);
            std::lock_guard<std::mutex> lock(m_mu);
            m_eof = true;
            return false;
        }
        m_hasHeld = true;
    }
    const int index = m_held->stream_index;
    if (!priming) {
        std::lock_guard<std::mutex> lock(m_mu);
        if (index == m_vidx) {
            AdvanceLocked(ClockLocked());
            bool audioStarving = m_wave && m_adec;
            for (int i = 0; i < kAudioBlocks && audioStarving; ++i) audioStarving = !m_inFlight[i];
            if (m_queue.size() >= (audioStarving ? kVideoQueueMax : kVideoQueue)) return true;  // try later
        } else if (index == m_aidx) {
            if (AudioFullLocked()) return true;
        }
    }
    if (index == m_vidx) DecodeVideo(m_held);
    else if (index == m_aidx) DecodeAudio(m_held);
    av_packet_unref(m_held);
    m_hasHeld = false;
    return true;
}

void Session::DoSeek(double target) {
    if (m_hasHeld) {
        av_packet_unref(m_held);
        m_hasHeld = false;
    }
    int64_t ts = static_cast<int64_t>((target + m_start) * AV_TIME_BASE);
    int rc = av_seek_frame(m_fmt, -1, ts, AVSEEK_FLAG_BACKWARD);
    if (rc < 0) rc = av_seek_frame(m_fmt, -1, ts, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY);
    if (rc < 0) Log(2, kModule, "%s: cannot seek to %.2f s: %s", m_path.c_str(), target, ErrText(rc).c_str());
    if (m_vdec) avcodec_flush_buffers(m_vdec);
    if (m_adec) avcodec_flush_buffers(m_adec);
    if (m_swr) swr_init(m_swr);
    m_skipVideoBefore = m_skipAudioBefore = target;
    std::lock_guard<std::mutex> lock(m_mu);
    m_queue.clear();
    m_pending.clear();
    m_showNext = m_vdec != nullptr;
    if (m_wave) {
        waveOutReset(m_wave);
        for (int i = 0; i < kAudioBlocks; ++i) {
            if (m_inFlight[i]) waveOutUnprepareHeader(m_wave, &m_hdr[i], sizeof(WAVEHDR));
            m_inFlight[i] = false;
        }
        if (m_paused) waveOutPause(m_wave);
    }
    m_audioStarted = false;
    m_audioEnded = false;
    m_eof = false;
    m_lastAudio = target;
    RebaseSystemClockLocked(target);
    m_waitSince = m_sysStart;
    // The seek is over only if no newer one came meanwhile.
    if (m_seekTarget == target) m_seekPending = false;
}

void Session::Run() {
    while (!m_stop) {
        {
            std::unique_lock<std::mutex> lock(m_mu);
            if (m_seekPending) {
                double target = m_seekTarget;
                lock.unlock();
                DoSeek(target);
                continue;
            }
            ServiceAudioLocked();
        }
        bool progressed = false;
        if (!m_eof) {
            ReadAndDecode(false);
            progressed = !m_hasHeld && !m_eof;
        }
        if (!progressed) {
            std::unique_lock<std::mutex> lock(m_mu);
            m_cv.wait_for(lock, std::chrono::milliseconds(10), [this] { return m_stop.load() || m_seekPending; });
        }
    }
}

void Session::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mu);
        m_stop = true;
        m_cv.notify_all();
    }
    if (m_thread.joinable()) m_thread.join();
    Close();
}

void Session::Close() {
    std::lock_guard<std::mutex> lock(m_mu);
    if (m_wave) {
        waveOutReset(m_wave);
        for (int i = 0; i < kAudioBlocks; ++i)
            if (m_inFlight[i]) waveOutUnprepareHeader(m_wave, &m_hdr[i], sizeof(WAVEHDR));
        waveOutClose(m_wave);
        m_wave = nullptr;
    }
    if (m_held) av_packet_free(&m_held);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_vdec);
    avcodec_free_context(&m_adec);
    swr_free(&m_swr);
    if (m_fmt) avformat_close_input(&m_fmt);
    m_queue.clear();
    m_pending.clear();
}

struct LibReplay::Impl {
    std::mutex life;  // Init and Uint one at a time
    std::mutex mu;    // the current session pointer
    std::shared_ptr<Session> session;
    int device = -1;
    double volume = 1.0;

    std::shared_ptr<Session> Current() {
        std::lock_guard<std::mutex> lock(mu);
        return session;
    }
};

LibReplay::LibReplay() : m_impl(new Impl) {}

LibReplay::~LibReplay() {
    Uint();
    delete m_impl;
}

void LibReplay::SetOutputDev(int device) {
    std::lock_guard<std::mutex> lock(m_impl->mu);
    m_impl->device = device;
}

int LibReplay::Init(const char* path, unsigned width, unsigned height, bool playSound, bool decodeVideo) {
    std::lock_guard<std::mutex> life(m_impl->life);
    Uint();
    if (!path || !*path) {
        Log(2, kModule, "Init without a path");
        return -1;
    }
    int device;
    double volume;
    {
        std::lock_guard<std::mutex> lock(m_impl->mu);
        device = m_impl->device;
        volume = m_impl->volume;
    }
    auto s = std::make_shared<Session>();
    s->SetVolume(volume);
    if (s->Open(path, width, height, device, playSound, decodeVideo) != 0) return -1;
    s->Start();
    std::lock_guard<std::mutex> lock(m_impl->mu);
    m_impl->session = std::move(s);
    return 0;
}

int LibReplay::QueryFrame(unsigned char* buffer, unsigned length) {
    auto s = m_impl->Current();
    return s ? s->QueryFrame(buffer, length) : 0;
}

void LibReplay::GetCurTm(double& current, double& total) {
    current = total = 0;
    if (auto s = m_impl->Current()) s->GetCurTm(current, total);
}

void LibReplay::Seek(double seconds) {
    if (auto s = m_impl->Current()) s->Seek(seconds);
}

void LibReplay::PasueSwitch(bool pause) {
    if (auto s = m_impl->Current()) s->Pause(pause);
}

void LibReplay::SetVolume(double factor) {
    factor = std::min(1.0, std::max(0.0, factor));
    std::shared_ptr<Session> s;
    {
        std::lock_guard<std::mutex> lock(m_impl->mu);
        m_impl->volume = factor;
        s = m_impl->session;
    }
    if (s) s->SetVolume(factor);
}

double LibReplay::GetVolume() {
    std::lock_guard<std::mutex> lock(m_impl->mu);
    return m_impl->volume;
}

int LibReplay::GetOutputDev() {
    std::lock_guard<std::mutex> lock(m_impl->mu);
    return m_impl->device;
}

void LibReplay::Uint() {
    std::shared_ptr<Session> s;
    {
        std::lock_guard<std::mutex> lock(m_impl->mu);
        s.swap(m_impl->session);
    }
    if (s) s->Stop();
}
