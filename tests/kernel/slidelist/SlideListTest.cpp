#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "KernelTestSupport.h"
#include "ListFile.h"
#include "GifWriter.h"
#include "SlideList.h"
#include "TestSupport.h"
#include "VideoMgr.h"
#include "ZxLib/ZxLib.h"
#include "ZxModConfig/ZxModConfig.h"

namespace {

const int kW = 64, kH = 48;  // a small render size keeps every step cheap
const unsigned kRed = 0xFFE01010, kGreen = 0xFF10E010, kBlue = 0xFF1010E0;

// The engine's time, moved on by the test; the render loop's short wait ends as soon as the time moves.
class TestClock : public ISlideClock {
public:
    DWORD Now() override {
        std::lock_guard<std::mutex> g(m_lock);
        return m_now;
    }
    void Wait(DWORD ms) override {
        std::unique_lock<std::mutex> l(m_lock);
        m_moved.wait_for(l, std::chrono::milliseconds(ms));
    }
    void Advance(DWORD ms) {
        {
            std::lock_guard<std::mutex> g(m_lock);
            m_now += ms;
        }
        m_moved.notify_all();
    }

private:
    std::mutex m_lock;
    std::condition_variable m_moved;
    DWORD m_now = 100000;
};

struct Loaded {
    int id;
    bool loaded;
    std::string path, thumb;
    bool fromList;
};

class Recorder : public IDataSlideListObserver {
public:
    void OnItemLoaded(int id, bool loaded, const std::string& path, const std::string& thumb, bool fromList) override {
        std::lock_guard<std::mutex> g(lock);
        loadedItems.push_back(Loaded{id, loaded, path, thumb, fromList});
    }
    void OnItemRemoved(int id, const std::string& path) override {
        std::lock_guard<std::mutex> g(lock);
        removed.push_back(std::make_pair(id, path));
    }
    size_t LoadedCount() {
        std::lock_guard<std::mutex> g(lock);
        return loadedItems.size();
    }
    std::mutex lock;
    std::vector<Loaded> loadedItems;
    std::vector<std::pair<int, std::string>> removed;
};

class SlideListTest : public testing::Test {
protected:
    void SetUp() override {
        kt::EnsureGdiplus();
        const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        m_home = zxtest::RedirectUserFolders("slides_" + name);
        ZxConfigSetFile((m_home + "slides.ini").c_str());
        m_pics = zxtest::MakeTempDir("pics_" + name);
        AfxGetMessageManager()->AttachObserver(ZX_MOD_SLIDELIST_OB, &m_recorder, OBSERVER_MODE_DIRECT);
    }
    void TearDown() override { AfxGetMessageManager()->DetachObserver(ZX_MOD_SLIDELIST_OB, &m_recorder); }

    std::string Picture(const std::string& name, unsigned argb, int w = kW, int h = kH) {
        std::string path = m_pics + name;
        EXPECT_TRUE(kt::WritePicture(path, w, h, argb, L"image/png"));
        return path;
    }
    std::string Gif(const std::string& name, const std::vector<uint32_t>& colours, const std::vector<int>& delays) {
        std::string path = m_pics + name;
        // One solid frame per colour, with its delay.
        std::vector<gif::Frame> frames;
        for (size_t i = 0; i < colours.size(); ++i)
            frames.push_back(gif::SolidFrame(kW, kH, static_cast<uint8_t>(i), i < delays.size() ? delays[i] : 0));
        EXPECT_TRUE(zxtest::WriteFile(path, gif::Encode(kW, kH, colours, -1, frames)));
        return path;
    }
    bool WaitLoaded(size_t n) {
        return zxtest::WaitUntil([&] { return m_recorder.LoadedCount() >= n; });
    }
    void Start(CSlideList& list, int width = kW, int height = kH) {
        list.Engine().SetClock(&m_clock);
        ASSERT_TRUE(list.Init(width, height));
    }
    static bool WaitStep(CSlideList& list, int before) {
        return zxtest::WaitUntil([&] { return list.Engine().StepCount() > before; });
    }
    // Plays and waits for the next step: at once when the show was not playing, one frame interval later when it was.
    void PlayNow(CSlideList& list, int id = -1) {
        int before = list.Engine().StepCount();
        bool playing = list.GetPlayState() == SLIDE_STATE_PLAYING;
        list.Play(id);
        if (playing) m_clock.Advance(50);
        ASSERT_TRUE(WaitStep(list, before));
    }
    // Moves the time on by ms in steps of one frame interval, each step waited for.
    void Run(CSlideList& list, int ms) {
        for (int t = 0; t < ms; t += 50) {
            int before = list.Engine().StepCount();
            m_clock.Advance(50);
            ASSERT_TRUE(WaitStep(list, before)) << "no step at +" << t;
        }
    }
    static std::vector<BYTE> Frame(CSlideList& list) {
        std::vector<BYTE> frame(static_cast<size_t>(VideoFrameStride(kW, 24)) * kH);
        list.GetFrame(frame.data(), static_cast<int>(frame.size()));
        return frame;
    }
    static unsigned Centre(CSlideList& list) { return kt::PixelAt(Frame(list), kW, kW / 2, kH / 2); }
    static int CountOf(const std::vector<BYTE>& frame, unsigned rgb) {
        int n = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) n += kt::PixelAt(frame, kW, x, y) == rgb;
        return n;
    }
    // The pictures as the saved list, loaded by the started list.
    void StartWithList(CSlideList& list, const std::vector<std::string>& paths) {
        WriteList(paths);
        Start(list);
        list.LoadList();
        ASSERT_TRUE(WaitLoaded(paths.size()));
    }
    void WriteList(const std::vector<std::string>& paths) {
        CListFile::Save(CSlideList::ListFilePath(), paths, LIST_FILE_NO_COUNT);
    }
    std::vector<std::string> ReadList() {
        std::vector<std::string> paths;
        CListFile::Load(CSlideList::ListFilePath(), paths, LIST_FILE_NO_COUNT);
        return paths;
    }

    std::string m_home, m_pics;
    TestClock m_clock;
    Recorder m_recorder;
};

TEST_F(SlideListTest, LaterAdditionsComeFirstAndDuplicatesAreSkipped) {
    std::string a = Picture("a.png", kRed), b = Picture("b.png", kGreen), c = Picture("c.png", kBlue);
    CSlideList list;
    Start(list);
    EXPECT_EQ(AfxGetDataManager()->GetData(ZX_MOD_SLIDELIST), static_cast<IData*>(&list));
    EXPECT_TRUE(list.AddFiles({a}));
    ASSERT_TRUE(WaitLoaded(1));
    EXPECT_TRUE(list.AddFiles({b}));
    ASSERT_TRUE(WaitLoaded(2));
    // a again is skipped without a report; c is taken.
    list.AddFiles({a, c});
    ASSERT_TRUE(WaitLoaded(3));
    // A report for the skipped copy would come right behind c's: nothing
    // announces that none comes, so the loader gets a moment first.
    Sleep(50);
    {
        std::lock_guard<std::mutex> g(m_recorder.lock);
        ASSERT_EQ(m_recorder.loadedItems.size(), 3u);
        const Loaded& first = m_recorder.loadedItems[0];
        EXPECT_EQ(first.id, CSlideEngine::kFirstUserId);
        EXPECT_TRUE(first.loaded);
        EXPECT_EQ(first.path, a);
        EXPECT_FALSE(first.fromList);
        EXPECT_TRUE(File::IsExistFile(first.thumb));
        EXPECT_EQ(m_recorder.loadedItems[1].id, CSlideEngine::kFirstUserId - 1);
        EXPECT_EQ(m_recorder.loadedItems[2].path, c);
    }
    std::vector<SlideEntry> items = list.GetItems();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].path, c);
    EXPECT_EQ(items[1].path, b);
    EXPECT_EQ(items[2].path, a);
    EXPECT_EQ(list.GetItemPath(CSlideEngine::kFirstUserId), a);
    EXPECT_EQ(list.GetItemPath(12345), "");

    // The show starts with the newest addition.
    PlayNow(list);
    EXPECT_EQ(list.Engine().CurrentId(), items[0].id);
    EXPECT_EQ(Centre(list), kBlue & 0xFFFFFFu);
    list.UnInit();
    EXPECT_EQ(AfxGetDataManager()->GetData(ZX_MOD_SLIDELIST), nullptr);
    EXPECT_EQ(ReadList(), (std::vector<std::string>{c, b, a}));
}

TEST_F(SlideListTest, ListFileKeepsItsOrderBehindNewAdditions) {
    std::string a = Picture("a.png", kRed), b = Picture("b.png", kGreen), c = Picture("c.png", kBlue);
    std::string d = Picture("d.png", 0xFF808080);
    CSlideList list;
    StartWithList(list, {a, b, c});
    list.AddFiles({d});
    ASSERT_TRUE(WaitLoaded(4));
    std::vector<SlideEntry> items = list.GetItems();
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].path, d);
    EXPECT_EQ(items[1].id, CSlideEngine::kFirstListId);
    EXPECT_EQ(items[1].path, a);
    EXPECT_EQ(items[2].id, CSlideEngine::kFirstListId + 1);
    EXPECT_EQ(items[3].path, c);
    {
        std::lock_guard<std::mutex> g(m_recorder.lock);
        EXPECT_TRUE(m_recorder.loadedItems[0].fromList);
        EXPECT_FALSE(m_recorder.loadedItems[3].fromList);
    }
    list.UnInit();
    EXPECT_EQ(ReadList(), (std::vector<std::string>{d, a, b, c}));
    // Shutting down empties the list and its thumbnails; they are made again at the next load.
    for (const SlideEntry& e : items) EXPECT_FALSE(File::IsExistFile(e.thumbPath)) << e.thumbPath;
}

TEST_F(SlideListTest, SavedListSurvivesWritesBeforeItIsLoaded) {
    std::string a = Picture("a.png", kRed), b = Picture("b.png", kGreen), c = Picture("c.png", kBlue);
    WriteList({a, b});
    {
        CSlideList list;
        Start(list);
        list.UnInit();
    }
    EXPECT_EQ(ReadList(), (std::vector<std::string>{a, b})) << "never loaded, never emptied";
    CSlideList list;
    Start(list);
    list.AddFiles({c});
    ASSERT_TRUE(WaitLoaded(1));
    EXPECT_EQ(ReadList(), (std::vector<std::string>{c, a, b}));
    list.RemoveFiles({CSlideEngine::kFirstUserId});
    EXPECT_EQ(ReadList(), (std::vector<std::string>{a, b})) << "a removed addition stays removed";
    // Loading afterwards brings the saved pictures in behind nothing else.
    list.LoadList();
    ASSERT_TRUE(WaitLoaded(3));
    list.UnInit();
    EXPECT_EQ(ReadList(), (std::vector<std::string>{a, b}));
}

TEST_F(SlideListTest, ADamagedListIsSetAsideAndTheListStartsEmpty) {
    // How a damaged list is set aside is the list file's own (ListFileTest); here the slide list takes that
    // way both when its page loads it and when a write comes before the list was ever loaded. Cut short
    // inside its last entry, the list still names a whole first picture.
    std::string a = Picture("a.png", kRed), b = Picture("b.png", kGreen), c = Picture("c.png", kBlue);
    const std::string file = CSlideList::ListFilePath();
    const std::string bytes = kt::DamagedListFiles({a, b}, LIST_FILE_NO_COUNT)[1];
    for (bool loadFirst : {true, false}) {
        ASSERT_TRUE(zxtest::WriteFile(file, bytes));
        const size_t reports = m_recorder.LoadedCount();
        {
            CSlideList list;
            Start(list);
            if (loadFirst) list.LoadList();
            list.AddFiles({c});
            if (!loadFirst) list.LoadList();
            ASSERT_TRUE(WaitLoaded(reports + 1));
            std::vector<SlideEntry> items = list.GetItems();
            ASSERT_EQ(items.size(), 1u);
            EXPECT_EQ(items[0].path, c);
            list.UnInit();
        }
        EXPECT_EQ(kt::NewestCopyOf(file), bytes) << "the damaged file is kept as it was";
        EXPECT_EQ(ReadList(), std::vector<std::string>{c});
    }
}

TEST_F(SlideListTest, WritingWhileTheListLoadsLosesNothing) {
    std::vector<std::string> saved;
    for (int i = 0; i < 24; ++i) saved.push_back(Picture("p" + std::to_string(i) + ".png", 0xFF000000u + i));
    std::string added = Picture("added.png", kRed);
    WriteList(saved);
    std::vector<std::string> expected(1, added);
    expected.insert(expected.end(), saved.begin(), saved.end());
    {
        CSlideList list;
        Start(list);
        list.LoadList();
        // Written at once, while the loader is still on its way.
        list.AddFiles({added});
        EXPECT_EQ(ReadList(), expected);
        // Shut down before the loaders are done: what they had not reached is written too.
        list.UnInit();
    }
    EXPECT_EQ(ReadList(), expected);
}

TEST_F(SlideListTest, ThePlayModeIsStoredForTheNextStartAndAnUnknownOneIsIgnored) {
    {
        CSlideList list;
        Start(list);
        list.SetPlayMode(SLIDE_MODE_RANDOM);
        list.SetPlayMode(7);  // not a mode: ignored
        EXPECT_EQ(list.GetPlayMode(), SLIDE_MODE_RANDOM);
    }
    int stored = -1;
    EXPECT_TRUE(AfxGetConfigManager()->GetInt("VSSlide", "PlayMode", stored));
    EXPECT_EQ(stored, SLIDE_MODE_RANDOM);
    CSlideList list;
    Start(list);
    EXPECT_EQ(list.GetPlayMode(), SLIDE_MODE_RANDOM);
    EXPECT_EQ(list.Engine().GetPlayMode(), SLIDE_MODE_RANDOM);
}

TEST_F(SlideListTest, ThumbnailIsNamedByTheMd5OfThePathAndUnreadablePicturesGetIdMinusOne) {
    std::string broken = m_pics + "broken.png", missing = m_pics + "missing.png";
    ASSERT_TRUE(zxtest::WriteFile(broken, "this is not a picture"));
    std::string a = Picture(u8"图片 一.png", kRed, 320, 240);
    CSlideList list;
    Start(list);
    list.AddFiles({broken, missing, a});
    ASSERT_TRUE(WaitLoaded(3));
    std::string thumb;
    {
        std::lock_guard<std::mutex> g(m_recorder.lock);
        const std::vector<Loaded>& seen = m_recorder.loadedItems;
        EXPECT_TRUE(seen[0].id == -1 && !seen[0].loaded && seen[0].path == broken);
        EXPECT_TRUE(seen[1].id == -1 && !seen[1].loaded && seen[1].path == missing);
        EXPECT_TRUE(seen[2].id == CSlideEngine::kFirstUserId && seen[2].loaded);
        thumb = seen[2].thumb;
    }
    ASSERT_EQ(list.GetItems().size(), 1u);
    EXPECT_EQ(thumb, Dir::GetZxPath(Dir::kPathThumbCache) + "ZxVCamSlideThumbnail\\" + Entrypt::GenerateMD5(a) + ".jpg");
    {
        Gdiplus::Bitmap bitmap(Charset::String2WString(thumb).c_str());
        ASSERT_EQ(bitmap.GetLastStatus(), Gdiplus::Ok);
        EXPECT_EQ(bitmap.GetWidth(), 80u);
        EXPECT_EQ(bitmap.GetHeight(), 60u);
        GUID format;
        bitmap.GetRawFormat(&format);
        EXPECT_TRUE(format == Gdiplus::ImageFormatJPEG);
    }
    // Removing the picture deletes its thumbnail and rewrites the list.
    list.RemoveFiles({CSlideEngine::kFirstUserId});
    EXPECT_FALSE(File::IsExistFile(thumb));
    EXPECT_EQ(list.GetItemPath(CSlideEngine::kFirstUserId), "");
    EXPECT_TRUE(ReadList().empty());
}

TEST_F(SlideListTest, ModeZeroStopsOnTheLastStillAndKeepsIt) {
    std::string a = Picture("a.png", kRed), b = Picture("b.png", kGreen), c = Picture("c.png", kBlue);
    CSlideList list;
    StartWithList(list, {a, b, c});
    list.SetPlayMode(SLIDE_MODE_ONCE);
    PlayNow(list);
    EXPECT_EQ(list.GetPlayState(), SLIDE_STATE_PLAYING);
    EXPECT_EQ(Centre(list), kRed & 0xFFFFFFu);
    Run(list, 1950);
    EXPECT_EQ(list.Engine().StepState(), CSlideEngine::kStepStill);
    Run(list, 50);  // 2000 ms: the transition to b begins
    EXPECT_EQ(list.Engine().StepState(), CSlideEngine::kStepTransition);
    Run(list, 1450);  // the 30th transition frame: b is shown
    EXPECT_EQ(list.Engine().StepState(), CSlideEngine::kStepStill);
    EXPECT_EQ(list.Engine().CurrentId(), CSlideEngine::kFirstListId + 1);
    EXPECT_EQ(CountOf(Frame(list), kGreen & 0xFFFFFFu), kW * kH);
    Run(list, 3450);  // b for 2000 ms, then 1450 ms of transition to c
    EXPECT_EQ(list.Engine().CurrentId(), CSlideEngine::kFirstListId + 2);
    Run(list, 5000);
    EXPECT_EQ(list.Engine().CurrentId(), CSlideEngine::kFirstListId + 2);
    EXPECT_EQ(list.Engine().StepState(), CSlideEngine::kStepStill);
    EXPECT_EQ(CountOf(Frame(list), kBlue & 0xFFFFFFu), kW * kH);
    EXPECT_EQ(list.Engine().TransitionsStarted(), 2);
}

TEST_F(SlideListTest, ModeOneReturnsToTheFirstWithATransition) {
    std::string a = Picture("a.png", kRed), b = Picture("b.png", kGreen);
    CSlideList list;
    StartWithList(list, {a, b});
    EXPECT_EQ(list.GetPlayMode(), SLIDE_MODE_LOOP);
    PlayNow(list);
    Run(list, 3450);
    EXPECT_EQ(list.Engine().CurrentId(), CSlideEngine::kFirstListId + 1);
    Run(list, 2000);
    EXPECT_EQ(list.Engine().StepState(), CSlideEngine::kStepTransition);
    Run(list, 1450);
    EXPECT_EQ(list.Engine().CurrentId(), CSlideEngine::kFirstListId);
    EXPECT_EQ(CountOf(Frame(list), kRed & 0xFFFFFFu), kW * kH);
    EXPECT_EQ(list.Engine().TransitionsStarted(), 2);
}

TEST_F(SlideListTest, TransitionIsAbandonedWhenAPictureLeavesTheList) {
    std::string a = Picture("a.png", kRed), b = Picture("b.png", kGreen);
    CSlideList list;
    StartWithList(list, {a, b});
    PlayNow(list);
    Run(list, 2100);
    ASSERT_EQ(list.Engine().StepState(), CSlideEngine::kStepTransition);
    list.RemoveFiles({CSlideEngine::kFirstListId + 1});
    Run(list, 50);
    // The remaining picture is shown whole at once.
    EXPECT_EQ(list.Engine().StepState(), CSlideEngine::kStepStill);
    EXPECT_EQ(list.Engine().CurrentId(), CSlideEngine::kFirstListId);
    EXPECT_EQ(CountOf(Frame(list), kRed & 0xFFFFFFu), kW * kH);
    {
        std::lock_guard<std::mutex> g(m_recorder.lock);
        EXPECT_TRUE(m_recorder.removed.empty()) << "a removal by the user is not reported";
    }
}

TEST_F(SlideListTest, AnimatedGifAdvancesByItsDelaysAndLoopsAsTheLast) {
    std::string gif = Gif("anim.gif", {0xE01010, 0x10E010, 0x1010E0}, {10, 10, 10});
    CSlideList list;
    Start(list);
    list.SetPlayMode(SLIDE_MODE_ONCE);
    list.AddFiles({gif});
    ASSERT_TRUE(WaitLoaded(1));
    PlayNow(list);
    EXPECT_EQ(list.Engine().StepState(), CSlideEngine::kStepAnimation);
    const unsigned expected[] = {0xE01010, 0xE01010, 0x10E010, 0x10E010, 0x1010E0, 0x1010E0, 0xE01010, 0xE01010, 0x10E010};
    for (size_t i = 0; i < sizeof(expected) / sizeof(expected[0]); ++i) {
        if (i > 0) Run(list, 50);
        EXPECT_EQ(Centre(list), expected[i]) << "at " << i * 50 << " ms";
    }
    EXPECT_EQ(list.Engine().TransitionsStarted(), 0);
}

TEST_F(SlideListTest, DeletedFileIsDroppedWithARemovedNotification) {
    std::string a = Picture("a.png", kRed), b = Picture("b.png", kGreen);
    CSlideList list;
    StartWithList(list, {a, b});
    std::string thumbB = list.GetItems()[1].thumbPath;
    PlayNow(list);
    ASSERT_TRUE(DeleteFileW(Charset::String2WString(b).c_str()));
    Run(list, 5000);
    {
        std::lock_guard<std::mutex> g(m_recorder.lock);
        ASSERT_EQ(m_recorder.removed.size(), 1u);
        EXPECT_EQ(m_recorder.removed[0].first, CSlideEngine::kFirstListId + 1);
        EXPECT_EQ(m_recorder.removed[0].second, b);
    }
    EXPECT_EQ(list.GetItemPath(CSlideEngine::kFirstListId + 1), "");
    EXPECT_FALSE(File::IsExistFile(thumbB));
    // a is the only picture left: it stays whole, without a transition.
    EXPECT_EQ(list.Engine().CurrentId(), CSlideEngine::kFirstListId);
    EXPECT_EQ(list.Engine().TransitionsStarted(), 0);
    EXPECT_EQ(list.Engine().StepState(), CSlideEngine::kStepStill);
    EXPECT_EQ(CountOf(Frame(list), kRed & 0xFFFFFFu), kW * kH);
    list.UnInit();
    EXPECT_EQ(ReadList(), (std::vector<std::string>{a}));
}

TEST_F(SlideListTest, PlayShowsTheRequestedPictureAndPauseHoldsIt) {
    std::string a = Picture("a.png", kRed), b = Picture("b.png", kGreen), c = Picture("c.png", kBlue);
    CSlideList list;
    StartWithList(list, {a, b, c});
    PlayNow(list, CSlideEngine::kFirstListId + 2);
    EXPECT_EQ(list.Engine().CurrentId(), CSlideEngine::kFirstListId + 2);
    EXPECT_EQ(Centre(list), kBlue & 0xFFFFFFu);
    EXPECT_TRUE(list.Pause());
    EXPECT_EQ(list.GetPlayState(), SLIDE_STATE_PAUSED);
    int steps = list.Engine().StepCount();
    for (int i = 0; i < 50; ++i) m_clock.Advance(50);
    // Paused, the render loop waits on its events in real time and never
    // reads the clock, so nothing announces that it stays idle: real time
    // passes (twenty of its waits) before the count.
    Sleep(100);
    EXPECT_EQ(list.Engine().StepCount(), steps) << "nothing is drawn while paused";
    // Back to playing: the show goes on from where it was, without a burst of catch-up steps.
    PlayNow(list);
    EXPECT_EQ(list.Engine().StepCount(), steps + 1);
    EXPECT_EQ(list.Engine().CurrentId(), CSlideEngine::kFirstListId + 2);
}

TEST_F(SlideListTest, PicturesAreFittedOverTheBackgroundOrStretchedAndRecomposedAtANewSize) {
    std::string narrow = Picture("narrow.png", kRed, 32, 48), wide = Picture("wide.png", kGreen, 64, 24);
    CSlideList list;
    Start(list);
    list.SetBackgroundColor(0xFF0000FF);
    list.AddFiles({narrow});
    ASSERT_TRUE(WaitLoaded(1));
    PlayNow(list);
    std::vector<BYTE> frame = Frame(list);
    EXPECT_EQ(kt::PixelAt(frame, kW, 2, 24), 0x0000FFu);
    EXPECT_EQ(kt::PixelAt(frame, kW, 32, 24), kRed & 0xFFFFFFu);
    EXPECT_EQ(kt::PixelAt(frame, kW, 61, 24), 0x0000FFu);
    EXPECT_EQ(CountOf(frame, kRed & 0xFFFFFFu), 32 * 48);
    list.SetStretch(true);
    PlayNow(list, CSlideEngine::kFirstUserId);
    EXPECT_EQ(CountOf(Frame(list), kRed & 0xFFFFFFu), kW * kH);

    list.SetStretch(false);
    list.AddFiles({wide});
    ASSERT_TRUE(WaitLoaded(2));
    PlayNow(list, CSlideEngine::kFirstUserId - 1);
    frame = Frame(list);
    EXPECT_EQ(kt::PixelAt(frame, kW, 32, 2), 0x0000FFu);
    EXPECT_EQ(kt::PixelAt(frame, kW, 32, 24), kGreen & 0xFFFFFFu);
    EXPECT_EQ(CountOf(frame, kGreen & 0xFFFFFFu), 64 * 24);

    // A new render size recomposes the picture shown: at 32 x 48 the wide
    // picture is 32 x 12 between bars. A step already under way draws at the
    // old size; the one after it comes after the resize.
    list.SetRenderSize(32, 48);
    Run(list, 100);
    frame = Frame(list);  // the engine's 32 x 48 frame comes first
    EXPECT_EQ(kt::PixelAt(frame, 32, 16, 24), kGreen & 0xFFFFFFu);
    EXPECT_EQ(kt::PixelAt(frame, 32, 16, 40), 0x0000FFu);
}

TEST_F(SlideListTest, PlayMakesTheSlideShowTheVideoSource) {
    std::string a = Picture("a.png", kRed, 640, 480);
    CSlideList list;
    CVideoMgr mgr;
    mgr.SetSource(VIDEO_STREAM_SLIDE, &list);
    kt::FrameSink sink;
    ASSERT_TRUE(mgr.Init(640, 480, &sink));
    EXPECT_EQ(AfxGetDataManager()->GetData(ZX_MOD_SLIDELIST), static_cast<IData*>(&list));
    list.AddFiles({a});
    ASSERT_TRUE(WaitLoaded(1));
    EXPECT_TRUE(list.Play(-1));
    EXPECT_EQ(mgr.GetStreamType(), VIDEO_STREAM_SLIDE);
    EXPECT_TRUE(zxtest::WaitUntil([&] { return sink.NewestPixel(320, 240, VIDEO_STREAM_SLIDE) == (kRed & 0xFFFFFFu); }));
    list.Stop();
    EXPECT_EQ(mgr.GetStreamType(), VIDEO_STREAM_NONE);
    EXPECT_EQ(list.GetPlayState(), SLIDE_STATE_STOPPED);
    mgr.UnInit();
    EXPECT_EQ(AfxGetDataManager()->GetData(ZX_MOD_SLIDELIST), nullptr);
}

}  // namespace
