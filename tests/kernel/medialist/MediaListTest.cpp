#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "KernelTestSupport.h"
#include "ListFile.h"
#include "MediaFileList.h"
#include "MediaListTestSupport.h"
#include "TestSupport.h"
#include "VideoMgr.h"
#include "ZxLib/ZxLib.h"
#include "ZxModConfig/ZxModConfig.h"

namespace {

const int kW = 160, kH = 120;

// The monitor's clock, moved on by the tests.
DWORD g_fakeNow = 500000;
DWORD FakeNow() { return g_fakeNow; }

class NullCallBack : public IVideoMgrCallBack {
public:
    void OnVideoData(BYTE*, int, int) override {}
    void OnVideoFormat(const VideoFrameFormat&) override {}
};

class MediaListTest : public testing::Test {
protected:
    void SetUp() override {
        const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        m_home = zxtest::RedirectUserFolders("media_" + name);
        ZxConfigSetFile((m_home + "ZxVCam.ini").c_str());
        m_dir = zxtest::MakeTempDir("files_" + name);
        m_a = mlt::CopyMedia(mlt::SharedMedia("two", 2), m_dir, "A.flv");
        m_b = mlt::CopyMedia(mlt::SharedMedia("one", 1), m_dir, "B.flv");
        m_c = mlt::CopyMedia(mlt::SharedMedia("one", 1), m_dir, "C.flv");
        AfxGetMessageManager()->AttachObserver(ZX_MOD_MEDIALIST_OB, &m_journal, OBSERVER_MODE_DIRECT);
    }
    void TearDown() override {
        Stop();
        AfxGetMessageManager()->DetachObserver(ZX_MOD_MEDIALIST_OB, &m_journal);
    }

    // A video manager with the list as its media source, as the kernel has.
    CMediaFileList& Start() {
        Stop();
        m_mgr.reset(new CVideoMgr);
        EXPECT_TRUE(m_mgr->Init(kW, kH, &m_callback));
        auto* list = static_cast<CMediaFileList*>(
            static_cast<IDataMediaList*>(AfxGetDataManager()->GetData(ZX_MOD_MEDIALIST)));
        EXPECT_NE(list, nullptr);
        list->SetClock(&FakeNow);
        return *list;
    }
    void Stop() {
        if (m_mgr) m_mgr->UnInit();
        m_mgr.reset();
    }
    std::vector<std::string> Paths(CMediaFileList& list) {
        std::vector<std::string> paths;
        for (const MediaItem& item : list.GetItems()) paths.push_back(item.path);
        return paths;
    }
    std::vector<std::string> SavedPaths() {
        std::vector<std::string> paths;
        CListFile::Load(CMediaFileList::ListFilePath(), paths, LIST_FILE_NO_COUNT);
        return paths;
    }
    int IdOf(CMediaFileList& list, const std::string& path) {
        for (const MediaItem& item : list.GetItems())
            if (item.path == path) return item.id;
        return -1;
    }
    // Runs the monitor every 100 ms of real and monitor time until the
    // position has reached the end of the file and stood there a while.
    // Returns the monitor time of the last position message.
    DWORD PlayToTheEnd(CMediaFileList& list) {
        DWORD lastChange = g_fakeNow;
        size_t messages = 0;
        int atEnd = 0;
        // The bound only guards against a hang; a busy machine plays slower.
        for (const ULONGLONG start = GetTickCount64(); atEnd < 8 && GetTickCount64() - start < 60000;) {
            // The monitor's time goes with real time, as the kernel's worker drives it: the file plays in real time.
            Sleep(100);
            g_fakeNow += 100;
            list.CheckPlayState();
            if (m_journal.Count(MEDIALIST_MSG_POSITION) != messages) {
                messages = m_journal.Count(MEDIALIST_MSG_POSITION);
                lastChange = g_fakeNow;
            }
            double current = 0, total = 0;
            list.Player().GetCurTm(current, total);
            if (total > 0 && current >= total - 0.1) ++atEnd;
        }
        return lastChange;
    }

    std::string m_home, m_dir, m_a, m_b, m_c;
    mlt::Journal m_journal;
    NullCallBack m_callback;
    std::unique_ptr<CVideoMgr> m_mgr;
};

TEST_F(MediaListTest, AddsEachFileOnceWithThumbnailTitleAndDuration) {
    CMediaFileList& list = Start();
    const std::string junk = m_dir + "notes.flv";
    zxtest::WriteFile(junk, "this is no media file");
    list.AddFiles({m_a, m_a, m_dir + "missing.flv", junk, m_b});

    ASSERT_EQ(Paths(list), (std::vector<std::string>{m_a, m_b}));
    std::vector<mlt::Event> added = m_journal.Of(MEDIALIST_MSG_ITEM);
    ASSERT_EQ(added.size(), 2u) << "one notification per new item";
    EXPECT_EQ(added[0].path, m_a);
    EXPECT_TRUE(added[0].added);
    EXPECT_NE(added[0].id, added[1].id);

    const int a = added[0].id;
    std::string title, thumb;
    ASSERT_TRUE(list.GetItemTitle(a, title));
    EXPECT_EQ(title, "A");
    ASSERT_TRUE(list.GetItemThumbnail(a, thumb));
    EXPECT_EQ(thumb, added[0].thumb);
    EXPECT_EQ(thumb, CMediaFileList::ThumbnailPath(m_a));
    mediatest::Bitmap bmp;
    ASSERT_TRUE(mediatest::ReadBmp(thumb, bmp));
    EXPECT_EQ(bmp.width, 80);
    EXPECT_EQ(bmp.height, 60);
    EXPECT_EQ(list.GetItemDuration(a), 2);
    EXPECT_EQ(list.GetItemDuration(added[1].id), 1);
    EXPECT_EQ(list.GetItemPath(a), m_a);
    EXPECT_EQ(SavedPaths(), (std::vector<std::string>{m_a, m_b}));

    // Unknown ids.
    EXPECT_FALSE(list.GetItemTitle(999, title));
    EXPECT_FALSE(list.GetItemThumbnail(999, thumb));
    EXPECT_EQ(list.GetItemDuration(999), 0);
    EXPECT_EQ(list.GetItemPath(999), "");

    // Adding a listed file again changes nothing and says nothing.
    m_journal.Clear();
    list.AddFiles({m_b});
    EXPECT_EQ(list.GetItems().size(), 2u);
    EXPECT_EQ(m_journal.Count(MEDIALIST_MSG_ITEM), 0u);

    // The report names every item, in order, as not newly added.
    EXPECT_FALSE(list.ReportAllItems());
    std::vector<mlt::Event> report = m_journal.Of(MEDIALIST_MSG_ITEM);
    ASSERT_EQ(report.size(), 2u);
    EXPECT_EQ(report[0].path, m_a);
    EXPECT_EQ(report[1].path, m_b);
    EXPECT_FALSE(report[0].added);
}

TEST_F(MediaListTest, FilesGoneFromDiskLeaveTheListWhichIsRewritten) {
    CListFile::Save(CMediaFileList::ListFilePath(), {m_a, m_b, m_c}, LIST_FILE_NO_COUNT);
    ASSERT_TRUE(DeleteFileW(Charset::String2WString(m_b).c_str()));
    CMediaFileList& list = Start();
    EXPECT_EQ(Paths(list), (std::vector<std::string>{m_a, m_c}));
    EXPECT_EQ(SavedPaths(), (std::vector<std::string>{m_a, m_c}));

    // Removing with the file itself; playback of a removed item goes on.
    ASSERT_TRUE(list.Play(IdOf(list, m_a)));
    list.RemoveFiles({IdOf(list, m_c), IdOf(list, m_a), 12345}, false);
    EXPECT_TRUE(list.GetItems().empty());
    EXPECT_TRUE(File::IsExistFile(m_c)) << "kept on disk when not asked";
    EXPECT_EQ(list.GetPlayState(), MEDIALIST_STATE_PLAYING);
    EXPECT_TRUE(SavedPaths().empty());
    list.AddFiles({m_c});
    list.RemoveFiles({IdOf(list, m_c)}, true);
    EXPECT_FALSE(File::IsExistFile(m_c));
}

TEST_F(MediaListTest, PlayModesTakeTheirNextStep) {
    CMediaFileList& list = Start();
    list.AddFiles({m_a, m_b, m_c});
    const int a = IdOf(list, m_a), b = IdOf(list, m_b), c = IdOf(list, m_c);

    struct Case {
        int mode;
        std::vector<int> expected;  // -1: nothing plays
    } cases[] = {{MEDIALIST_MODE_ONCE, {-1}}, {MEDIALIST_MODE_LOOP, {a}}, {MEDIALIST_MODE_REPEAT, {c}},
                 {MEDIALIST_MODE_RANDOM, {a, b}}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.mode);
        list.SetPlayMode(k.mode);
        ASSERT_TRUE(list.Play(c));
        EXPECT_EQ(m_mgr->GetStreamType(), VIDEO_STREAM_MEDIAFILE);
        m_journal.Clear();
        list.PlayNextInterval();
        const int now = list.GetCurrentItem();
        EXPECT_NE(std::find(k.expected.begin(), k.expected.end(), now), k.expected.end()) << now;
        if (now < 0) {
            EXPECT_EQ(list.GetPlayState(), MEDIALIST_STATE_STOPPED);
            EXPECT_EQ(m_mgr->GetStreamType(), VIDEO_STREAM_NONE);
            EXPECT_EQ(m_journal.Count(MEDIALIST_MSG_PLAYING), 0u);
        } else {
            EXPECT_EQ(list.GetPlayState(), MEDIALIST_STATE_PLAYING);
            EXPECT_EQ(m_mgr->GetStreamType(), VIDEO_STREAM_MEDIAFILE);
            std::vector<mlt::Event> playing = m_journal.Of(MEDIALIST_MSG_PLAYING);
            ASSERT_EQ(playing.size(), 1u);
            EXPECT_EQ(playing[0].id, now);
        }
    }
    EXPECT_EQ(list.GetPlayMode(), MEDIALIST_MODE_RANDOM);
    int saved = -1;
    EXPECT_TRUE(AfxGetConfigManager()->GetInt("VSMediaFile", "PlayMode", saved));
    EXPECT_EQ(saved, MEDIALIST_MODE_RANDOM);
}

TEST_F(MediaListTest, ManualStepsStopAtTheEnds) {
    CMediaFileList& list = Start();
    list.PlayNext();  // nothing plays: nothing happens
    EXPECT_EQ(m_journal.Count(MEDIALIST_MSG_STATE), 0u);
    list.AddFiles({m_a, m_b, m_c});
    const int a = IdOf(list, m_a), b = IdOf(list, m_b), c = IdOf(list, m_c);
    ASSERT_TRUE(list.Play(b));
    list.PlayNext();
    EXPECT_EQ(list.GetCurrentItem(), c);
    list.PlayPrev();
    EXPECT_EQ(list.GetCurrentItem(), b);
    list.PlayNext();
    list.PlayNext();  // after the last one
    EXPECT_EQ(list.GetCurrentItem(), -1);
    EXPECT_EQ(list.GetPlayState(), MEDIALIST_STATE_STOPPED);
    EXPECT_EQ(m_mgr->GetStreamType(), VIDEO_STREAM_NONE);

    ASSERT_TRUE(list.Play(a));
    list.PlayPrev();  // before the first one
    EXPECT_EQ(list.GetPlayState(), MEDIALIST_STATE_STOPPED);
    EXPECT_EQ(m_mgr->GetStreamType(), VIDEO_STREAM_NONE);

    // A file that no longer exists is refused.
    ASSERT_TRUE(DeleteFileW(Charset::String2WString(m_c).c_str()));
    EXPECT_FALSE(list.Play(c));
    EXPECT_FALSE(list.Play(999));
    EXPECT_EQ(m_mgr->GetStreamType(), VIDEO_STREAM_NONE);

    // A single item: steps stop, the loop plays it again, random has no other item to pick.
    list.RemoveFiles({a, c}, false);
    for (bool next : {true, false}) {
        ASSERT_TRUE(list.Play(b));
        next ? list.PlayNext() : list.PlayPrev();
        EXPECT_EQ(list.GetPlayState(), MEDIALIST_STATE_STOPPED);
    }
    list.SetPlayMode(MEDIALIST_MODE_LOOP);
    ASSERT_TRUE(list.Play(b));
    list.PlayNextInterval();
    EXPECT_EQ(list.GetCurrentItem(), b);
    EXPECT_EQ(list.GetPlayState(), MEDIALIST_STATE_PLAYING);
    list.SetPlayMode(MEDIALIST_MODE_RANDOM);
    list.PlayNextInterval();
    EXPECT_EQ(list.GetCurrentItem(), -1);
    EXPECT_EQ(m_mgr->GetStreamType(), VIDEO_STREAM_NONE);
}

TEST_F(MediaListTest, MonitorReportsEachNewSecondAndTheEndOfTheFile) {
    CMediaFileList& list = Start();
    list.AddFiles({m_a});
    const int a = IdOf(list, m_a);
    ASSERT_TRUE(list.Play(a));
    const DWORD stalledFrom = PlayToTheEnd(list);

    std::vector<mlt::Event> seconds = m_journal.Of(MEDIALIST_MSG_POSITION);
    ASSERT_FALSE(seconds.empty());
    int last = 0;
    for (const mlt::Event& e : seconds) {
        EXPECT_EQ(e.id, a);
        EXPECT_GT(static_cast<int>(e.seconds), last) << "one message per new whole second";
        last = static_cast<int>(e.seconds);
    }
    EXPECT_GE(last, 1);
    EXPECT_EQ(m_journal.Count(MEDIALIST_MSG_END), 0u);

    // The position now stands still: the end is reported once it has stood
    // for over 3 s, and again at every later look.
    while (g_fakeNow - stalledFrom < 2900) {
        g_fakeNow += 100;
        list.CheckPlayState();
    }
    EXPECT_EQ(m_journal.Count(MEDIALIST_MSG_END), 0u);
    while (g_fakeNow - stalledFrom < 3700) {
        g_fakeNow += 100;
        list.CheckPlayState();
    }
    EXPECT_EQ(m_journal.Count(MEDIALIST_MSG_END), 1u);
    g_fakeNow += 500;
    list.CheckPlayState();
    EXPECT_EQ(m_journal.Count(MEDIALIST_MSG_END), 2u);
    // Looks closer together than 500 ms are skipped.
    g_fakeNow += 100;
    list.CheckPlayState();
    EXPECT_EQ(m_journal.Count(MEDIALIST_MSG_END), 2u);
}

TEST_F(MediaListTest, APauseIsNoEndOfFileAndStopHandsThePictureBack) {
    CMediaFileList& list = Start();
    EXPECT_TRUE(list.Pause());  // stopped: nothing to pause
    EXPECT_EQ(list.GetPlayState(), MEDIALIST_STATE_STOPPED);
    list.AddFiles({m_a});
    ASSERT_TRUE(list.Play(IdOf(list, m_a)));
    std::vector<mlt::Event> states = m_journal.Of(MEDIALIST_MSG_STATE);
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.back().state, MEDIALIST_STATE_PLAYING);
    ASSERT_TRUE(mediatest::PlaysPast(list.Player(), 0.1));
    ASSERT_TRUE(list.Pause());
    EXPECT_EQ(list.GetPlayState(), MEDIALIST_STATE_PAUSED);
    m_journal.Clear();
    for (int i = 0; i < 20; ++i) {  // ten seconds of monitor time
        g_fakeNow += 500;
        list.CheckPlayState();
    }
    EXPECT_EQ(m_journal.Count(MEDIALIST_MSG_END), 0u);
    EXPECT_EQ(m_journal.Count(MEDIALIST_MSG_POSITION), 0u);

    list.Resume();
    EXPECT_EQ(list.GetPlayState(), MEDIALIST_STATE_PLAYING);
    states = m_journal.Of(MEDIALIST_MSG_STATE);
    ASSERT_EQ(states.size(), 1u);
    EXPECT_EQ(states[0].state, MEDIALIST_STATE_PLAYING);
    g_fakeNow += 500;
    list.CheckPlayState();
    EXPECT_EQ(m_journal.Count(MEDIALIST_MSG_END), 0u) << "the pause did not count as standing still";

    m_journal.Clear();
    list.Stop();
    states = m_journal.Of(MEDIALIST_MSG_STATE);
    ASSERT_GE(states.size(), 2u);
    for (const mlt::Event& e : states) EXPECT_EQ(e.state, MEDIALIST_STATE_STOPPED);
    EXPECT_EQ(m_mgr->GetStreamType(), VIDEO_STREAM_NONE);
    m_journal.Clear();
    list.Stop();  // already stopped
    EXPECT_EQ(m_journal.Count(MEDIALIST_MSG_STATE), 0u);
}

TEST_F(MediaListTest, VolumeModeAndDeviceAreKeptInTheSettings) {
    CMediaFileList& list = Start();
    EXPECT_EQ(list.GetVolume(), 100);
    list.SetVolume(50);
    EXPECT_DOUBLE_EQ(list.Player().GetVolume(), 0.5);
    list.SetPlayMode(MEDIALIST_MODE_REPEAT);

    std::string name;
    ASSERT_TRUE(list.GetOutputDeviceName(0, name)) << "the null sound device gives one wave-out device";
    EXPECT_FALSE(name.empty());
    EXPECT_EQ(list.FindOutputDevice(name), 0);
    EXPECT_EQ(list.FindOutputDevice(name + "x"), -1);
    EXPECT_FALSE(list.GetOutputDeviceName(99, name));
    EXPECT_EQ(list.GetOutputDevice(), -1) << "the default device until one is chosen";
    list.SetOutputDevice(0);
    list.AddFiles({m_a});
    ASSERT_TRUE(list.Play(IdOf(list, m_a)));
    EXPECT_EQ(list.Player().GetOutputDev(), 0) << "the chosen device reaches the player";

    CMediaFileList& again = Start();
    EXPECT_EQ(again.GetVolume(), 50);
    EXPECT_DOUBLE_EQ(again.Player().GetVolume(), 0.5);
    EXPECT_EQ(again.GetPlayMode(), MEDIALIST_MODE_REPEAT);
    EXPECT_EQ(again.GetOutputDevice(), 0) << "found again by its saved name";
}

}  // namespace
