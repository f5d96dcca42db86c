// The recorder driven through the bus with the whole kernel loaded, the
// test camera as the picture and the test microphone as the sound.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <mutex>

#include "IDataAudioProcess.h"
#include "IDataCamera.h"
#include "IDataKernal.h"
#include "IDataRecordList.h"
#include "KernelTestSupport.h"
#include "MediaTestSupport.h"
#include "TestDeviceSupport.h"
#include "TestSupport.h"
#include "ZxLib/ZxLib.h"
#include "ZxModConfig/ZxModConfig.h"

namespace {

// What an FLV file's tags say of its codecs: the video codec id of the
// first video tag (7 is H.264) and the sound format of the first audio tag
// (10 is AAC); -1 when there is none.
void FlvCodecs(const std::string& bytes, int& video, int& audio) {
    video = audio = -1;
    if (bytes.size() < 13 || bytes.compare(0, 3, "FLV") != 0) return;
    auto u8 = [&](size_t at) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[at])); };
    size_t at = (u8(5) << 24 | u8(6) << 16 | u8(7) << 8 | u8(8)) + 4;
    while (at + 11 < bytes.size() && (video < 0 || audio < 0)) {
        const unsigned type = u8(at) & 0x1F;
        const size_t size = u8(at + 1) << 16 | u8(at + 2) << 8 | u8(at + 3);
        if (at + 11 + size > bytes.size()) break;
        if (size > 0 && type == 9 && video < 0) video = static_cast<int>(u8(at + 11) & 0x0F);
        if (size > 0 && type == 8 && audio < 0) audio = static_cast<int>(u8(at + 11) >> 4);
        at += 11 + size + 4;
    }
}

// Journal of "modRecordList_ob", kept on the test thread.
class Journal : public IDataRecordListObserver {
public:
    void OnRecord(eZXVRecordType type, int id, const std::string&, bool isNew) override {
        if (type == ZXV_RECORD_IMAGE && isNew) pictures.push_back(id);
    }
    void OnRecordState(eZXVRecordState state, eZXVRecordType) override { states.push_back(state); }
    void OnProgress(eZXVRecordType) override { ++progress; }
    std::vector<int> pictures, states;
    int progress = 0;
};

// Raised on the frame thread the moment the snapshot's record is announced,
// so the consumer behind the recorder keeps exactly that frame.
class SnapshotWatch : public IDataRecordListObserver {
public:
    void OnRecord(eZXVRecordType type, int, const std::string&, bool isNew) override {
        if (type == ZXV_RECORD_IMAGE && isNew) taken = true;
    }
    std::atomic<bool> taken{false};
};

class FrameAfterRecorder : public IVideoDeal {
public:
    explicit FrameAfterRecorder(SnapshotWatch& watch) : m_watch(watch) {}
    bool OnNotifyFrameSize(const VideoFrameFormat&) override { return true; }
    void DealVideo(BYTE* frame, const VideoFrameFormat* format, int) override {
        if (!m_watch.taken.exchange(false)) return;
        std::lock_guard<std::mutex> g(lock);
        kept.assign(frame, frame + format->bmiHeader.biSizeImage);
    }
    int GetDealType() override { return VIDEO_DEAL_OUTPUT; }
    std::mutex lock;
    std::vector<BYTE> kept;

private:
    SnapshotWatch& m_watch;
};

TEST(RecordKernel, RecordsTheTestCameraWithTheTestMicrophone) {
    const std::string home = zxtest::RedirectUserFolders("recordkernel");
    ZxConfigSetFile((home + "ZxVCam.ini").c_str());
    static const char* const keys[3] = {"VideoDir", "AudioDir", "ImageDir"};
    for (const char* key : keys) {
        std::string dir = home + "Records\\" + key + "\\";
        ASSERT_TRUE(Dir::MakeDir(dir));
        AfxGetConfigManager()->SetString("VSRecord", key, dir.c_str(), 0);
    }
    tdev::TestDevices devices;
    ASSERT_TRUE(devices.Ok());
    ASSERT_TRUE(devices.AddCamera(L"ZxTestCamera0", L"USB 测试摄像头"));
    ASSERT_TRUE(devices.AddMicrophone(L"ZxTestMicrophone0", L"测试麦克风", 1000, 8000));

    ASSERT_TRUE(AfxGetDataDllManager()->LoadDataLibraries(0));
    auto* kernel = static_cast<IDataKernal*>(AfxGetDataManager()->GetData("modKernal"));
    auto* camera = static_cast<IDataCamera*>(AfxGetDataManager()->GetData(ZX_MOD_CAMERA));
    auto* audio = static_cast<IDataAudioProcess*>(AfxGetDataManager()->GetData(ZX_MOD_AUDIOPROCESS));
    auto* records = static_cast<IDataRecordList*>(AfxGetDataManager()->GetData(ZX_MOD_RECORDLIST));
    ASSERT_TRUE(kernel && camera && audio && records);

    Journal journal;
    SnapshotWatch watch;
    AfxGetMessageManager()->AttachObserver(ZX_MOD_RECORDLIST_OB, &journal, OBSERVER_MODE_THREAD);
    AfxGetMessageManager()->AttachObserver(ZX_MOD_RECORDLIST_OB, &watch, OBSERVER_MODE_DIRECT);
    kt::RecordingDeal preview(VIDEO_DEAL_OUTPUT);
    ASSERT_TRUE(kernel->AddVideoDeal(&preview));

    ASSERT_TRUE(camera->SelectCameraByName("USB 测试摄像头"));
    ASSERT_TRUE(camera->StartCamera());
    ASSERT_TRUE(kt::PumpUntil([&] { return preview.lastStreamType == VIDEO_STREAM_CAMERA; }, zxtest::kHangGuardMs));
    const int mic = audio->FindInputDevByName("测试麦克风");
    ASSERT_GE(mic, 0);
    audio->SetInputDev(mic);

    // Five seconds of video with sound: 100 frames of the chain, which the
    // recorder times by their count (a busy machine takes longer for them).
    // Watched on the preview, not through GetRecordTime, which would count
    // as the observers asking and hold back the progress messages.
    ASSERT_EQ(records->StartRecord(ZXV_RECORD_VIDEO), 0);
    const int video = records->GetRecordingId(ZXV_RECORD_VIDEO);
    const int framesAtStart = preview.frames;
    EXPECT_TRUE(kt::PumpUntil([&] { return preview.frames >= framesAtStart + 101; }, 60000)) << "the frames stalled";
    EXPECT_GE(records->GetRecordTime(), 4);
    records->StopRecord();
    const std::string flv = records->GetRecordPath(ZXV_RECORD_VIDEO, video);
    const double seconds = LibRecorder::FFGetTotalTm(flv.c_str());
    std::printf("[ record  ] %s: %.2f s\n", flv.c_str(), seconds);
    EXPECT_GE(seconds, 4.9) << "the file holds what was recorded";
    EXPECT_LT(seconds, 30.0);
    EXPECT_GE(records->GetRecordDuration(ZXV_RECORD_VIDEO, video), 4);
    int videoCodec = -1, audioCodec = -1;
    FlvCodecs(zxtest::ReadFile(flv), videoCodec, audioCodec);
    EXPECT_EQ(videoCodec, 7) << "H.264";
    EXPECT_EQ(audioCodec, 10) << "AAC";
    kt::PumpUntil([&] { return journal.states.size() >= 2; }, zxtest::kHangGuardMs);
    EXPECT_EQ(journal.states, (std::vector<int>{ZXV_RECORD_RECORDING, ZXV_RECORD_STOPPED}));
    // How often is the record tests' business (on a clock of their own);
    // here: it is told while the kernel records.
    EXPECT_GE(journal.progress, 2) << "progress while recording";

    // It plays back as the test camera's picture, scaled: red lower left,
    // green lower right.
    {
        LibReplay player;
        ASSERT_EQ(player.Init(flv.c_str(), 160, 120, false, true), 0);
        std::vector<unsigned char> frame(mediatest::Stride(160) * 120);
        int copied = 0;
        zxtest::WaitUntil([&] {
            copied = player.QueryFrame(frame.data(), static_cast<unsigned>(frame.size()));
            return copied > 0;
        });
        ASSERT_GT(copied, 0);
        mediatest::Rgb left = mediatest::PixelAt(frame.data(), 160, 120, 60, 90);
        mediatest::Rgb right = mediatest::PixelAt(frame.data(), 160, 120, 120, 90);
        EXPECT_TRUE(left.r > 170 && left.g < 90 && left.b < 90) << left.r << "," << left.g << "," << left.b;
        EXPECT_TRUE(right.g > 170 && right.r < 90 && right.b < 90) << right.r << "," << right.g << "," << right.b;
    }

    // Two seconds of sound alone.
    ASSERT_EQ(records->StartRecord(ZXV_RECORD_AUDIO), 0);
    const int sound = records->GetRecordingId(ZXV_RECORD_AUDIO);
    EXPECT_TRUE(kt::PumpUntil([&] { return records->GetRecordTime() >= 2; }, 60000)) << "the sound stalled";
    records->StopRecord();
    const std::string mp3 = records->GetRecordPath(ZXV_RECORD_AUDIO, sound);
    EXPECT_EQ(mp3.substr(mp3.size() - 4), ".mp3");
    const double soundSeconds = LibRecorder::FFGetTotalTm(mp3.c_str());
    EXPECT_GE(soundSeconds, 1.9) << "the file holds what was recorded";
    EXPECT_LT(soundSeconds, 30.0);
    {
        LibReplay player;
        EXPECT_EQ(player.Init(mp3.c_str(), 160, 120, true, true), 0) << "the sound recording plays";
    }

    // A snapshot holds exactly the frame it was taken from.
    FrameAfterRecorder after(watch);
    records->TakeSnapshot();
    ASSERT_TRUE(kernel->AddVideoDeal(&after));  // behind the recorder
    ASSERT_TRUE(kt::PumpUntil([&] { return !journal.pictures.empty(); }, zxtest::kHangGuardMs));
    records->EndSnapshot();
    kernel->RemoveVideoDeal(&after);
    const std::string picture = records->GetRecordPath(ZXV_RECORD_IMAGE, journal.pictures[0]);
    mediatest::Bitmap bmp;
    ASSERT_TRUE(mediatest::ReadBmp(picture, bmp));
    {
        std::lock_guard<std::mutex> g(after.lock);
        ASSERT_FALSE(after.kept.empty());
        EXPECT_TRUE(bmp.rows == after.kept) << "the picture is the frame";
    }

    camera->StopCamera();
    kernel->RemoveVideoDeal(&preview);
    AfxGetMessageManager()->DetachObserver(ZX_MOD_RECORDLIST_OB, &journal);
    AfxGetMessageManager()->DetachObserver(ZX_MOD_RECORDLIST_OB, &watch);
    AfxGetDataDllManager()->UnloadDataLibraries();
}

}  // namespace
