#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <future>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "DShowBase/MediaType.h"
#include "VCamLog.h"
#include "VCamTestSupport.h"
#include "ZxLib/ZxLib.h"

namespace {

SYSTEMTIME At(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s) { return SYSTEMTIME{y, mo, 0, d, h, mi, s, 0}; }

TEST(FilterLog, LineIsTimeWithoutLeadingZerosThenTextThenCrLf) {
    EXPECT_EQ("2021-3-3-9-5-7: GetMediaType\r\n", VCamLogLine(At(2021, 3, 3, 9, 5, 7), "GetMediaType"));
    EXPECT_EQ("1999-12-31-23-59-58: x\r\n", VCamLogLine(At(1999, 12, 31, 23, 59, 58), "x"));
    EXPECT_EQ("2024-1-1-0-0-0: \r\n", VCamLogLine(At(2024, 1, 1, 0, 0, 0), ""));
    EXPECT_EQ("2024-1-1-0-0-0: \r\n", VCamLogLine(At(2024, 1, 1, 0, 0, 0), nullptr));
}

TEST(FilterLog, LongTextIsCutToTheLineBufferAndStillEndsTheLine) {
    const SYSTEMTIME t = At(2021, 11, 22, 13, 44, 55);
    const std::string prefix = "2021-11-22-13-44-55: ";
    // Exactly fitting text stays whole.
    const std::string fits(kVCamLogLineMax - prefix.size() - 2, 'a');
    EXPECT_EQ(prefix + fits + "\r\n", VCamLogLine(t, fits.c_str()));

    const std::string longText = "C:\\" + std::string(600, 'p') + "\\ZXVCam.exe";
    const std::string line = VCamLogLine(t, longText.c_str());
    EXPECT_EQ(kVCamLogLineMax, line.size());
    EXPECT_EQ(0u, line.find(prefix + "C:\\ppp"));
    EXPECT_EQ("\r\n", line.substr(line.size() - 2));

    // A cut never splits a UTF-8 character: 3-byte characters, one short
    // of fitting, lose the whole last character.
    std::string chinese;
    while (chinese.size() < 400) chinese += "摄像头";
    const std::string cut = VCamLogLine(t, chinese.c_str());
    ASSERT_LE(cut.size(), kVCamLogLineMax);
    const std::string body = cut.substr(prefix.size(), cut.size() - prefix.size() - 2);
    EXPECT_EQ(0u, body.size() % 3) << "only whole characters are kept";
    EXPECT_EQ(Charset::WString2String(Charset::String2WString(body)), body) << "the kept text is valid UTF-8";
}

TEST(FilterLog, AppendsToTheFileTheEnvironmentNames) {
    const std::string path = vct::RedirectFilterLog("log-env");
    EXPECT_EQ(Charset::String2WString(path), VCamLogPath());
    VCamLog("first");
    VCamLogF("SetMediaType-lSampleSize:%d,size:%d", 921600, 3);
    const std::string text = vct::ReadFilterLog(path);
    const size_t first = text.find(": first\r\n");
    const size_t second = text.find(": SetMediaType-lSampleSize:921600,size:3\r\n");
    ASSERT_NE(std::string::npos, first) << text;
    ASSERT_NE(std::string::npos, second) << text;
    EXPECT_LT(first, second) << "lines are appended in order";
    EXPECT_EQ(std::string::npos, text.find("\r\r\n")) << "binary write: exactly CR LF";

    // Without the variable the log is ZxCamSrc.log in the per-user log
    // folder.
    const std::wstring perUser = Charset::String2WString(Dir::GetLogPath() + "ZxCamSrc.log");
    SetEnvironmentVariableW(L"ZXVCAM_FILTER_LOG", nullptr);
    EXPECT_EQ(perUser, VCamLogPath());
    SetEnvironmentVariableW(L"ZXVCAM_FILTER_LOG", L"");
    EXPECT_EQ(perUser, VCamLogPath());
    vct::RedirectFilterLog("log-env-after");
}

TEST(FilterLog, ManyWritersNeverMixTheirLines) {
    const std::string path = vct::RedirectFilterLog("log-threads");
    std::vector<std::thread> writers;
    for (int w = 0; w < 4; ++w) {
        writers.emplace_back([w] {
            const std::string text = "writer" + std::to_string(w) + "-" + std::string(150, static_cast<char>('a' + w));
            for (int i = 0; i < 50; ++i) VCamLog(text.c_str());
        });
    }
    for (auto& t : writers) t.join();
    const std::string text = vct::ReadFilterLog(path);
    size_t lines = 0, at = 0;
    while (at < text.size()) {
        const size_t end = text.find("\r\n", at);
        ASSERT_NE(std::string::npos, end);
        const std::string line = text.substr(at, end - at);
        const size_t colon = line.find(": writer");
        ASSERT_NE(std::string::npos, colon) << line;
        const char w = line[colon + 8];
        EXPECT_EQ(line.substr(colon + 10), std::string(150, static_cast<char>('a' + (w - '0')))) << line;
        ++lines;
        at = end + 2;
    }
    EXPECT_EQ(200u, lines);
}

TEST(FilterLog, UnwritableLogLosesTheLineQuietly) {
    SetEnvironmentVariableW(L"ZXVCAM_FILTER_LOG", L"Z:\\no-such-folder-zxvcam\\sub\\VCam.log");
    SetLastError(1234);
    VCamLog("lost");
    EXPECT_EQ(1234u, GetLastError()) << "the caller's error code is kept";
    EXPECT_TRUE(VCamLogFlush(zxtest::kHangGuardMs)) << "a line that cannot be written is done with all the same";
    vct::RedirectFilterLog("log-after");
}

// Holds the log's session-wide mutex, as another process writing its line
// would, on a thread of its own until released.
class LogMutexHolder {
public:
    LogMutexHolder() : m_thread([this] {
        HANDLE mutex = CreateMutexW(nullptr, TRUE, L"ZxVCam-FilterLog");
        m_held.set_value();
        m_release.get_future().wait();
        if (mutex) {
            ReleaseMutex(mutex);
            CloseHandle(mutex);
        }
    }) {
        m_held.get_future().wait();
    }
    ~LogMutexHolder() {
        m_release.set_value();
        m_thread.join();
    }

private:
    std::promise<void> m_held, m_release;
    std::thread m_thread;
};

// A host's threads never wait for the log, however long another process
// holds it; the calls hosts make by the thousand write nothing; and the log
// never grows past its cap, the older lines moving to one rotated file.
TEST(FilterLog, HostCallsNeverWaitAreSilentAndTheFileStaysUnderItsCap) {
    const std::string path = vct::RedirectFilterLog("log-cap");
    vct::ComScope com;
    vct::Ptr<IBaseFilter> camera;
    ASSERT_EQ(S_OK, vct::MakeFilterDirectly(&camera));
    vct::Ptr<IPin> pin;
    ASSERT_EQ(S_OK, vct::FirstPin(camera.get(), &pin));
    {
        // Were a call to wait for the mutex (up to a second each), these
        // would not end within the test's time.
        LogMutexHolder held;
        for (int i = 0; i < 10000; ++i) {
            vct::Ptr<IAMStreamConfig> config;
            ASSERT_EQ(S_OK, pin->QueryInterface(IID_IAMStreamConfig, config.out()));
            AM_MEDIA_TYPE* mt = nullptr;
            ASSERT_EQ(S_OK, config->GetFormat(&mt));
            EXPECT_EQ(S_OK, pin->QueryAccept(mt));
            DeleteMediaType(mt);
            VCamLogF("line %d %s", i, std::string(150, 'x').c_str());
        }
    }
    // Enough lines to pass the cap more than once, the writer keeping up.
    for (int i = 0; i < 4000; ++i) {
        VCamLogF("after %d %s", i, std::string(150, 'y').c_str());
        if (i % 500 == 499) {
            ASSERT_TRUE(VCamLogFlush(zxtest::kHangGuardMs));
        }
    }
    const std::string text = vct::ReadFilterLog(path);
    const std::string rotated = zxtest::ReadFile(path + ".1");
    EXPECT_LE(text.size(), kVCamLogCap);
    EXPECT_LE(rotated.size(), kVCamLogCap);
    EXPECT_GT(rotated.size(), kVCamLogCap / 2) << "the older lines moved to the rotated file";
    EXPECT_NE(std::string::npos, text.find(": after 3999 ")) << "the newest line is in the log";
    for (const std::string* t : {&text, &rotated}) {
        EXPECT_EQ(std::string::npos, t->find("QueryInterface"));
        EXPECT_EQ(std::string::npos, t->find("GetFormat"));
        EXPECT_EQ(std::string::npos, t->find("CheckMediaType"));
    }
}

}  // namespace
