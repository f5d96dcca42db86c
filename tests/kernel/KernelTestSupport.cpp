#include "KernelTestSupport.h"

#include "GdiPlus.h"
#include "TestSupport.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"

#include <random>

namespace kt {

void EnsureGdiplus() {
    static ULONG_PTR token = [] {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR t = 0;
        Gdiplus::GdiplusStartup(&t, &input, nullptr);
        return t;
    }();
    (void)token;
}

static bool EncoderFor(const wchar_t* mime, CLSID& clsid) {
    UINT count = 0, bytes = 0;
    Gdiplus::GetImageEncodersSize(&count, &bytes);
    if (!bytes) return false;
    std::vector<BYTE> buf(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buf.data());
    Gdiplus::GetImageEncoders(count, bytes, codecs);
    for (UINT i = 0; i < count; ++i) {
        if (wcscmp(codecs[i].MimeType, mime) == 0) {
            clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

bool WritePicture(const std::string& path, int width, int height, unsigned argb, const wchar_t* mime) {
    EnsureGdiplus();
    CLSID clsid;
    if (!EncoderFor(mime, clsid)) return false;
    Gdiplus::Bitmap bitmap(width, height, PixelFormat32bppARGB);
    {
        Gdiplus::Graphics g(&bitmap);
        g.Clear(Gdiplus::Color(argb));
    }
    return bitmap.Save(Charset::String2WString(path).c_str(), &clsid, nullptr) == Gdiplus::Ok;
}

bool RecordingDeal::OnNotifyFrameSize(const VideoFrameFormat& format) {
    ++formats;
    lastWidth = format.bmiHeader.biWidth;
    if (m_journal) m_journal->push_back("format:" + m_name);
    return acceptFormat;
}

void RecordingDeal::DealVideo(BYTE* frame, const VideoFrameFormat* format, int streamType) {
    if (m_journal) m_journal->push_back("frame:" + m_name);
    lastStreamType = streamType;
    if (keepFrames) {
        std::lock_guard<std::mutex> g(lock);
        lastFrame.assign(frame, frame + format->bmiHeader.biSizeImage);
    }
    ++frames;
}

void FrameSink::OnVideoData(BYTE* frame, int bytes, int streamType) {
    std::lock_guard<std::mutex> g(lock);
    ++frames;
    types.push_back(streamType);
    last.assign(frame, frame + bytes);
    threads.push_back(GetCurrentThreadId());
}

void FrameSink::OnVideoFormat(const VideoFrameFormat& format) {
    std::lock_guard<std::mutex> g(lock);
    formatsBeforeFrames = frames == 0;
    width = format.bmiHeader.biWidth;
    ++formats;
}

int FrameSink::Frames() {
    std::lock_guard<std::mutex> g(lock);
    return frames;
}

unsigned FrameSink::NewestPixel(int x, int y, int streamType) {
    std::lock_guard<std::mutex> g(lock);
    return last.size() == 640u * 480 * 3 && types.back() == streamType ? PixelAt(last, 640, x, y) : 0xFFFFFFFFu;
}

TestKernal::TestKernal() { AfxGetDataManager()->AddData(ZX_MOD_KERNAL, this); }

TestKernal::~TestKernal() {
    chain.RemoveAllVideoDeal();
    if (AfxGetDataManager()->GetData(ZX_MOD_KERNAL) == this) AfxGetDataManager()->RemoveData(ZX_MOD_KERNAL);
}

void TestKernal::AnnounceFormat(int width, int height) {
    VideoFrameFormat format;
    VideoFrameFormatInit(format, width, height);
    chain.OnFrameFormat(format);
}

void TestKernal::RunFrame(std::vector<BYTE>& frame, int streamType) {
    chain.OnFrame(frame.data(), static_cast<int>(frame.size()), streamType);
}

bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
    return true;
}

unsigned PixelAt(const std::vector<BYTE>& frame, int width, int x, int yFromBottom) {
    size_t stride = static_cast<size_t>(VideoFrameStride(width, 24));
    const BYTE* p = &frame[stride * yFromBottom + 3 * static_cast<size_t>(x)];
    return (unsigned(p[2]) << 16) | (unsigned(p[1]) << 8) | p[0];
}

std::vector<std::string> DamagedListFiles(const std::vector<std::string>& paths, eListFileLayout layout) {
    std::mt19937 random(21);
    std::string noise(300, '\0');
    for (char& c : noise) c = static_cast<char>(random() & 0xFF);
    const std::string good = CListFile::Format(paths, layout);
    return {noise, good.substr(0, good.size() - 3)};
}

std::string NewestCopyOf(const std::string& file) {
    std::string newest = file + ".bad";
    for (int n = 1; File::IsExistFile(file + "." + std::to_string(n) + ".bad"); ++n)
        newest = file + "." + std::to_string(n) + ".bad";
    std::string bytes;
    File::ReadAll(newest, bytes);
    return bytes;
}

std::string StaleTempOf(const std::string& file) {
    // No process has this id: Windows gives out multiples of four.
    return file + ".tmp4294967285_1";
}

size_t LogLinesWith(const std::string& logName, const std::string& text) {
    LogFlush(5000);
    std::string log;
    File::ReadAll(Dir::GetLogPath() + logName, log);
    size_t n = 0, at = 0;
    while (at < log.size()) {
        size_t end = log.find('\n', at);
        if (end == std::string::npos) end = log.size();
        if (log.substr(at, end - at).find(text) != std::string::npos) ++n;
        at = end + 1;
    }
    return n;
}

}  // namespace kt
