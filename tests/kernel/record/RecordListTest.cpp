#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "GdiPlus.h"
#include "KernelTestSupport.h"
#include "ListFile.h"
#include "MediaTestSupport.h"
#include "RecordList.h"
#include "TestDeviceSupport.h"
#include "TestSupport.h"
#include "ZxLib/ZxLib.h"
#include "ZxModConfig/ZxModConfig.h"

namespace {

struct Said {
    int kind;
    int a, b;  // record: type, id; state: state, type; progress: type
    std::string text;
    bool isNew;
};

class Journal : public IDataRecordListObserver, public kt::Journal<Said> {
public:
    void OnRecord(eZXVRecordType type, int id, const std::string& thumb, bool isNew) override {
        Add(Said{RECORDLIST_MSG_RECORD, type, id, thumb, isNew});
    }
    void OnRecordState(eZXVRecordState state, eZXVRecordType type) override {
        Add(Said{RECORDLIST_MSG_STATE, state, type, "", false});
    }
    void OnProgress(eZXVRecordType type) override { Add(Said{RECORDLIST_MSG_PROGRESS, type, 0, "", false}); }
    // a: type, b: problem, text: detail, isNew: midway.
    void OnRecordProblem(eZXVRecordType type, eZXVRecordProblem problem, const std::string& detail,
                         bool midway) override {
        Add(Said{RECORDLIST_MSG_PROBLEM, type, problem, detail, midway});
    }
};

// The stream flags of an FLV file's header (1 video, 4 sound; -1 for no FLV file), and the
// codecs of its first video tag (7 is H.264) and audio tag (10 is AAC); -1 for none.
int FlvStreams(const std::string& path, int& video, int& audio) {
    const std::string bytes = zxtest::ReadFile(path);
    video = audio = -1;
    if (bytes.size() < 13 || bytes.compare(0, 3, "FLV") != 0) return -1;
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
    return static_cast<unsigned char>(bytes[4]);
}

// Wine's Unix /proc (Z:\proc) refuses new files even to root: a folder nobody can write to.
const char kUnwritable[] = "Z:\\proc\\";

class RecordListTest : public testing::Test {
protected:
    void SetUp() override {
        kt::EnsureGdiplus();
        const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        m_home = zxtest::RedirectUserFolders("record_" + name);
        ZxConfigSetFile((m_home + "ZxVCam.ini").c_str());
        // Recordings go to folders of the test, never to a drive's root.
        for (int type = 0; type < 3; ++type) {
            static const char* const keys[3] = {"VideoDir", "AudioDir", "ImageDir"};
            m_dirs[type] = m_home + "Records\\" + keys[type] + "\\";
            ASSERT_TRUE(Dir::MakeDir(m_dirs[type]));
            AfxGetConfigManager()->SetString("VSRecord", keys[type], m_dirs[type].c_str(), 0);
        }
        m_kernel.reset(new kt::TestKernal);
        m_kernel->AnnounceFormat();
        AfxGetMessageManager()->AttachObserver(ZX_MOD_RECORDLIST_OB, &m_journal, OBSERVER_MODE_DIRECT);
    }
    void TearDown() override {
        if (m_list) m_list->UnInit();
        m_list.reset();
        m_devices.reset();
        AfxGetMessageManager()->DetachObserver(ZX_MOD_RECORDLIST_OB, &m_journal);
        m_kernel.reset();
    }
    // The test microphone, chosen by the audio module of the next Start.
    void WithMicrophone() {
        m_devices.reset(new tdev::TestDevices);
        ASSERT_TRUE(m_devices->Ok());
        ASSERT_TRUE(m_devices->AddMicrophone(L"ZxTestMicrophone0", L"Test Microphone"));
        AfxGetConfigManager()->SetString("AudioSetup", "AudioInputDev", "Test Microphone", 0);
    }
    CRecordList& Start() {
        if (m_list) m_list->UnInit();
        m_list.reset(new CRecordList);
        EXPECT_TRUE(m_list->Init());
        return *m_list;
    }
    std::vector<std::string> Saved(int type) {
        std::vector<std::string> paths;
        CListFile::Load(CRecordList::ListFilePath(type), paths, LIST_FILE_WITH_COUNT);
        return paths;
    }
    // A 640 x 480 frame of the moving pattern.
    std::vector<BYTE> Frame(int index) { return mediatest::PatternFrame(640, 480, index); }
    // Hands the recorder frames of the pattern with 50 ms of tone each, as the frame thread and the microphone do.
    void Feed(CRecordList& list, int frames) {
        for (int i = 0; i < frames; ++i) {
            std::vector<BYTE> frame = Frame(i);
            m_kernel->RunFrame(frame, VIDEO_STREAM_CAMERA);
            std::vector<unsigned char> pcm = mediatest::Tone(static_cast<size_t>(i) * 2205, 2205);
            list.OnAudioProcess(0, pcm.data(), static_cast<int>(pcm.size()));
        }
    }
    // A sound file of the given length, as a recording of the module is.
    std::string Mp3(const std::string& name, int seconds) {
        std::string path = m_dirs[1] + name;
        LibRecorder rec;
        EXPECT_EQ(rec.FFAudioInit(path.c_str(), 1, 44100, 64000, LIBSTREAM_CODEC_MP3), 0);
        std::vector<unsigned char> pcm = mediatest::Tone(0, 44100 * seconds);
        rec.FFAppendAudio(pcm.data(), static_cast<int>(pcm.size()));
        rec.FFUint();
        return path;
    }

    std::string m_home, m_dirs[3];
    Journal m_journal;
    std::unique_ptr<kt::TestKernal> m_kernel;
    std::unique_ptr<CRecordList> m_list;
    std::unique_ptr<tdev::TestDevices> m_devices;
};

TEST(RecordNames, ComeFromTheLocalTime) {
    SYSTEMTIME t{2026, 12, 0, 6, 10, 5, 7, 42};
    EXPECT_EQ(CRecordList::RecordFileName(t, ZXV_RECORD_VIDEO), "1206_1005070042.flv");
    EXPECT_EQ(CRecordList::RecordFileName(t, ZXV_RECORD_AUDIO), "1206_1005070042.mp3");
    t.wMonth = 1;
    t.wMilliseconds = 999;
    EXPECT_EQ(CRecordList::RecordFileName(t, ZXV_RECORD_IMAGE), "0106_1005070999.bmp");
}

TEST_F(RecordListTest, ASnapshotSavesTheFrameItWasTakenFrom) {
    CRecordList& list = Start();
    EXPECT_EQ(m_kernel->chain.Count(), 0u) << "out of the chain while nothing is due";
    list.TakeSnapshot();
    EXPECT_EQ(CRecordList::ChainReferences(), 1);
    EXPECT_EQ(m_kernel->chain.Count(), 1u);

    std::vector<BYTE> frame = Frame(25);
    m_kernel->RunFrame(frame, VIDEO_STREAM_CAMERA);
    std::vector<Said> records = m_journal.Of(RECORDLIST_MSG_RECORD);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].a, ZXV_RECORD_IMAGE);
    EXPECT_TRUE(records[0].isNew);
    const int id = records[0].b;
    const std::string path = list.GetRecordPath(ZXV_RECORD_IMAGE, id);
    EXPECT_EQ(path.rfind(m_dirs[2], 0), 0u) << path;
    EXPECT_EQ(path.substr(path.size() - 4), ".bmp");
    mediatest::Bitmap bmp;
    ASSERT_TRUE(mediatest::ReadBmp(path, bmp));
    EXPECT_EQ(bmp.width, 640);
    EXPECT_EQ(bmp.height, 480);
    EXPECT_TRUE(bmp.rows == frame) << "the picture holds exactly the frame";
    const std::string thumb = list.GetRecordThumbnail(ZXV_RECORD_IMAGE, id);
    EXPECT_EQ(thumb, records[0].text);
    EXPECT_EQ(thumb.substr(thumb.size() - 4), ".jpg");
    mediatest::Bitmap small;
    ASSERT_TRUE(mediatest::ReadBmp(thumb, small)) << "a BMP under the .jpg name";
    EXPECT_EQ(small.width, 80);
    EXPECT_EQ(small.height, 80);
    EXPECT_EQ(Saved(ZXV_RECORD_IMAGE), (std::vector<std::string>{path}));

    // One picture per request; the chain keeps the recorder until the end.
    m_kernel->RunFrame(frame, VIDEO_STREAM_CAMERA);
    EXPECT_EQ(m_journal.Of(RECORDLIST_MSG_RECORD).size(), 1u);
    EXPECT_EQ(m_kernel->chain.Count(), 1u);
    list.EndSnapshot();
    EXPECT_EQ(CRecordList::ChainReferences(), 0);
    EXPECT_EQ(m_kernel->chain.Count(), 0u);
    list.EndSnapshot();  // one too many changes nothing
    EXPECT_EQ(CRecordList::ChainReferences(), 0);

    // Saved elsewhere as another picture format: written in that format, and the list names the real file.
    struct Format {
        const char* name;
        GUID format;
    };
    const Format formats[] = {{"照片.png", Gdiplus::ImageFormatPNG},
                              {"照片.jpg", Gdiplus::ImageFormatJPEG},
                              {"照片.bmp", Gdiplus::ImageFormatBMP}};
    std::string was = path;
    for (const Format& f : formats) {
        SCOPED_TRACE(f.name);
        const std::string to = m_home + f.name;
        ASSERT_EQ(list.MoveRecord(ZXV_RECORD_IMAGE, id, to), ZXV_RECORD_OK);
        EXPECT_EQ(list.GetRecordPath(ZXV_RECORD_IMAGE, id), to);
        EXPECT_FALSE(File::IsExistFile(was));
        Gdiplus::Bitmap written(Charset::String2WString(to).c_str());
        ASSERT_EQ(written.GetLastStatus(), Gdiplus::Ok);
        GUID raw{};
        written.GetRawFormat(&raw);
        EXPECT_TRUE(IsEqualGUID(raw, f.format));
        EXPECT_EQ(written.GetWidth(), 640u);
        EXPECT_EQ(Saved(ZXV_RECORD_IMAGE), (std::vector<std::string>{to}));
        was = to;
    }
}

TEST_F(RecordListTest, ADamagedListIsSetAsideAndTheListStartsEmpty) {
    // How a damaged list is set aside is the list file's own (ListFileTest); here each of the three lists
    // takes that way. Cut short inside its last entry, a list still names a whole first file, so a list that
    // read what it could would show a record.
    const std::string video = m_dirs[0] + "0101_0000000001.flv";
    ASSERT_TRUE(mediatest::RecordPattern(video, 160, 120, 20));
    const std::string picture = m_dirs[2] + "p.bmp";
    ASSERT_TRUE(kt::WritePicture(picture, 320, 240, 0xFF2040E0, L"image/bmp"));
    const std::string kept[3] = {video, Mp3("a.mp3", 1), picture};
    std::string bytes[3];
    for (int type = 0; type < 3; ++type) {
        bytes[type] = kt::DamagedListFiles({kept[type], kept[type]}, LIST_FILE_WITH_COUNT)[1];
        ASSERT_TRUE(zxtest::WriteFile(CRecordList::ListFilePath(type), bytes[type]));
    }
    CRecordList& list = Start();
    for (int type = 0; type < 3; ++type) {
        EXPECT_TRUE(list.GetRecords(type).empty()) << type;
        EXPECT_EQ(kt::NewestCopyOf(CRecordList::ListFilePath(type)), bytes[type]) << "the damaged file is kept";
    }
}

TEST_F(RecordListTest, ListsLoadWhatStillExistsAndRewriteTheRest) {
    // Videos: one recorded file and one that was removed outside.
    const std::string video = m_dirs[0] + "0101_0000000001.flv";
    ASSERT_TRUE(mediatest::RecordPattern(video, 160, 120, 40));
    CListFile::Save(CRecordList::ListFilePath(ZXV_RECORD_VIDEO), {m_dirs[0] + "gone.flv", video},
                    LIST_FILE_WITH_COUNT);
    // Pictures: one real picture and one that is not a picture.
    const std::string picture = m_dirs[2] + "p.bmp";
    ASSERT_TRUE(kt::WritePicture(picture, 320, 240, 0xFF2040E0, L"image/bmp"));
    const std::string fake = m_dirs[2] + "fake.bmp";
    zxtest::WriteFile(fake, "not a picture");
    CListFile::Save(CRecordList::ListFilePath(ZXV_RECORD_IMAGE), {picture, fake}, LIST_FILE_WITH_COUNT);

    CRecordList& list = Start();
    std::vector<RecordItem> videos = list.GetRecords(ZXV_RECORD_VIDEO);
    ASSERT_EQ(videos.size(), 1u);
    EXPECT_EQ(videos[0].path, video);
    EXPECT_EQ(videos[0].name, "0101_0000000001");
    EXPECT_EQ(list.GetRecordDuration(ZXV_RECORD_VIDEO, videos[0].id), 2);
    EXPECT_TRUE(File::IsExistFile(videos[0].thumbnail));
    EXPECT_EQ(Saved(ZXV_RECORD_VIDEO), (std::vector<std::string>{video})) << "rewritten without the lost file";

    std::vector<RecordItem> pictures = list.GetRecords(ZXV_RECORD_IMAGE);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].path, picture);
    EXPECT_TRUE(File::IsExistFile(pictures[0].thumbnail));
    EXPECT_EQ(Saved(ZXV_RECORD_IMAGE), (std::vector<std::string>{picture}));

    // Announced again on request, as old records.
    EXPECT_FALSE(list.EnumRecords(ZXV_RECORD_IMAGE));
    std::vector<Said> said = m_journal.Of(RECORDLIST_MSG_RECORD);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].b, pictures[0].id);
    EXPECT_EQ(said[0].text, pictures[0].thumbnail);
    EXPECT_FALSE(said[0].isNew);
    EXPECT_TRUE(list.EnumRecords(7));
    EXPECT_EQ(m_journal.Of(RECORDLIST_MSG_RECORD).size(), 1u);
}

TEST_F(RecordListTest, RenameMoveAndDelete) {
    const std::string first = Mp3("first.mp3", 1), second = Mp3("second.mp3", 1), taken = Mp3("taken.mp3", 2);
    CListFile::Save(CRecordList::ListFilePath(ZXV_RECORD_AUDIO), {first, second}, LIST_FILE_WITH_COUNT);
    CRecordList& list = Start();
    std::vector<RecordItem> sounds = list.GetRecords(ZXV_RECORD_AUDIO);
    ASSERT_EQ(sounds.size(), 2u);
    const int a = sounds[0].id, b = sounds[1].id;
    EXPECT_EQ(list.GetRecordName(ZXV_RECORD_AUDIO, a), "first");
    EXPECT_EQ(list.GetRecordThumbnail(ZXV_RECORD_AUDIO, a), "") << "sound has no picture";

    // A new name keeps the sound's extension and moves the file along; the list names the new file at once.
    EXPECT_EQ(list.RenameRecord(ZXV_RECORD_AUDIO, a, "会议 纪要"), ZXV_RECORD_OK);
    const std::string renamed = m_dirs[1] + "会议 纪要.mp3";
    EXPECT_EQ(list.GetRecordName(ZXV_RECORD_AUDIO, a), "会议 纪要");
    EXPECT_EQ(list.GetRecordPath(ZXV_RECORD_AUDIO, a), renamed);
    EXPECT_TRUE(File::IsExistFile(renamed));
    EXPECT_FALSE(File::IsExistFile(first));
    EXPECT_EQ(Saved(ZXV_RECORD_AUDIO), (std::vector<std::string>{renamed, second}));

    // Refused renames and moves leave the file and the record as they were and say why.
    struct Refused {
        bool rename;
        std::string to;
        int problem;
    };
    std::vector<Refused> refused = {{true, "taken", ZXV_RECORD_ERR_EXISTS},
                                    {true, "a:b", ZXV_RECORD_ERR_BAD_NAME},
                                    {true, "CON", ZXV_RECORD_ERR_BAD_NAME},
                                    {false, m_home + "no\\such\\folder\\x.mp3", ZXV_RECORD_ERR_FOLDER_MISSING},
                                    {false, m_home + "a|b.mp3", ZXV_RECORD_ERR_BAD_NAME}};
    if (Dir::IsDirectory(kUnwritable)) refused.push_back({false, std::string(kUnwritable) + "x.mp3",
                                                          ZXV_RECORD_ERR_FOLDER_READONLY});
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.to);
        EXPECT_EQ(r.rename ? list.RenameRecord(ZXV_RECORD_AUDIO, a, r.to) : list.MoveRecord(ZXV_RECORD_AUDIO, a, r.to),
                  r.problem);
        EXPECT_EQ(list.GetRecordPath(ZXV_RECORD_AUDIO, a), renamed);
        EXPECT_EQ(list.GetRecordName(ZXV_RECORD_AUDIO, a), "会议 纪要");
        EXPECT_TRUE(File::IsExistFile(renamed));
        EXPECT_GE(LibRecorder::FFGetTotalTm(taken.c_str()), 1.9) << "the other file is untouched";
    }
    // A rename into a record folder that cannot be written.
    if (Dir::IsDirectory(kUnwritable)) {
        AfxGetConfigManager()->SetString("VSRecord", "AudioDir", kUnwritable, 0);
        EXPECT_EQ(list.RenameRecord(ZXV_RECORD_AUDIO, a, "新名字"), ZXV_RECORD_ERR_FOLDER_READONLY);
        EXPECT_EQ(list.GetRecordPath(ZXV_RECORD_AUDIO, a), renamed);
        EXPECT_EQ(list.GetRecordName(ZXV_RECORD_AUDIO, a), "会议 纪要");
        AfxGetConfigManager()->SetString("VSRecord", "AudioDir", m_dirs[1].c_str(), 0);
    }

    // Moving elsewhere renames it after the new file.
    const std::string moved = m_home + "elsewhere.mp3";
    EXPECT_EQ(list.MoveRecord(ZXV_RECORD_AUDIO, b, moved), ZXV_RECORD_OK);
    EXPECT_EQ(list.GetRecordPath(ZXV_RECORD_AUDIO, b), moved);
    EXPECT_EQ(list.GetRecordName(ZXV_RECORD_AUDIO, b), "elsewhere");
    EXPECT_TRUE(File::IsExistFile(moved));
    // A move onto a file the user agreed to replace replaces it.
    EXPECT_EQ(list.MoveRecord(ZXV_RECORD_AUDIO, b, taken), ZXV_RECORD_OK);
    EXPECT_EQ(list.GetRecordPath(ZXV_RECORD_AUDIO, b), taken);
    EXPECT_FALSE(File::IsExistFile(moved));
    EXPECT_LT(LibRecorder::FFGetTotalTm(taken.c_str()), 1.5) << "the one-second recording is there now";

    // Deleting moves the file to the recycle bin.
    list.DeleteRecords(ZXV_RECORD_AUDIO, {b, 999}, true);
    EXPECT_FALSE(File::IsExistFile(taken));
    EXPECT_TRUE(mediatest::InRecycleBin("taken.mp3"));
    list.DeleteRecords(ZXV_RECORD_AUDIO, {a}, false);
    EXPECT_TRUE(File::IsExistFile(renamed)) << "kept when not asked";
    EXPECT_TRUE(list.GetRecords(ZXV_RECORD_AUDIO).empty());
    EXPECT_TRUE(Saved(ZXV_RECORD_AUDIO).empty());
}

TEST_F(RecordListTest, WithoutAMicrophoneVideoRecordsSilentlyAndSoundIsRefused) {
    CRecordList& list = Start();
    EXPECT_EQ(list.StartRecord(9), 1);
    // A microphone that cannot start: a device that does not exist.
    list.AudioProcess().SetInputDev(99);
    EXPECT_EQ(list.StartRecord(ZXV_RECORD_AUDIO), 1);
    std::vector<Said> problems = m_journal.Of(RECORDLIST_MSG_PROBLEM);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].a, ZXV_RECORD_AUDIO);
    EXPECT_EQ(problems[0].b, ZXV_RECORD_ERR_MICROPHONE);
    EXPECT_TRUE(list.GetRecords(ZXV_RECORD_AUDIO).empty());
    std::vector<std::string> files;
    Dir::FindAllFiles(files, m_dirs[1], "*", Dir::kFindFiles);
    EXPECT_TRUE(files.empty()) << "no half-made file is left";

    // A video records the picture alone, and says so once.
    ASSERT_EQ(list.StartRecord(ZXV_RECORD_VIDEO), 0);
    const int id = list.GetRecordingId(ZXV_RECORD_VIDEO);
    ASSERT_GE(id, 0);
    problems = m_journal.Of(RECORDLIST_MSG_PROBLEM);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[1].a, ZXV_RECORD_VIDEO);
    EXPECT_EQ(problems[1].b, ZXV_RECORD_NOTE_NO_SOUND);
    EXPECT_FALSE(problems[1].isNew);
    Feed(list, 20);
    list.StopRecord();
    const std::string path = list.GetRecordPath(ZXV_RECORD_VIDEO, id);
    int videoCodec = -1, audioCodec = -1;
    EXPECT_EQ(FlvStreams(path, videoCodec, audioCodec), 1) << "a video stream and no sound stream";
    EXPECT_EQ(audioCodec, -1);
    EXPECT_GE(LibRecorder::FFGetTotalTm(path.c_str()), 0.9);
    EXPECT_EQ(m_journal.Of(RECORDLIST_MSG_PROBLEM).size(), 2u);
    EXPECT_EQ(CRecordList::ChainReferences(), 0);
    EXPECT_EQ(Saved(ZXV_RECORD_VIDEO), (std::vector<std::string>{path}));
}

TEST_F(RecordListTest, ARecordFolderThatIsMissingOrCannotBeWrittenIsNamedAndNothingIsLeft) {
    WithMicrophone();
    CRecordList& list = Start();
    // A folder that cannot be made: below a file.
    ASSERT_TRUE(File::WriteAllAtomic(m_home + "a-file", "x"));
    std::vector<std::pair<std::string, int>> folders = {{m_home + "a-file\\Video\\", ZXV_RECORD_ERR_FOLDER_MISSING}};
    if (Dir::IsDirectory(kUnwritable)) folders.push_back({kUnwritable, ZXV_RECORD_ERR_FOLDER_READONLY});
    for (const auto& f : folders) {
        SCOPED_TRACE(f.first);
        m_journal.Clear();
        AfxGetConfigManager()->SetString("VSRecord", "VideoDir", f.first.c_str(), 0);
        EXPECT_EQ(list.StartRecord(ZXV_RECORD_VIDEO), 1);
        std::vector<Said> problems = m_journal.Of(RECORDLIST_MSG_PROBLEM);
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_EQ(problems[0].b, f.second);
        EXPECT_EQ(Dir::WithSlash(problems[0].text), f.first) << "the folder is named";
        EXPECT_FALSE(problems[0].isNew);
        EXPECT_TRUE(m_journal.Of(RECORDLIST_MSG_RECORD).empty());
        std::string kept;
        AfxGetConfigManager()->GetString("VSRecord", "VideoDir", kept);
        EXPECT_EQ(kept, f.first) << "the user's choice stays";
    }
    EXPECT_TRUE(list.GetRecords(ZXV_RECORD_VIDEO).empty());
    EXPECT_EQ(CRecordList::ChainReferences(), 0);
    EXPECT_FALSE(list.AudioProcess().IsCapturing());
}

TEST_F(RecordListTest, WritesThatFailMidwayStopTheRecordingAndKeepWhatWasWritten) {
    WithMicrophone();
    CRecordList& list = Start();
    struct Fault {
        long long after;
        unsigned long error;
        int problem;
        bool midway;
    };
    // The disk fills up, the folder goes away while recording; a disk that is full from the start.
    const Fault faults[] = {{96 * 1024, ERROR_DISK_FULL, ZXV_RECORD_ERR_DISK_FULL, true},
                            {96 * 1024, ERROR_PATH_NOT_FOUND, ZXV_RECORD_ERR_FOLDER_MISSING, true},
                            {0, ERROR_DISK_FULL, ZXV_RECORD_ERR_DISK_FULL, false}};
    DWORD now = 0;
    for (const Fault& f : faults) {
        SCOPED_TRACE(f.error);
        m_journal.Clear();
        LibRecorder::FFInjectWriteFault(f.after, f.error);
        const int started = list.StartRecord(ZXV_RECORD_VIDEO);
        const int id = list.GetRecordingId(ZXV_RECORD_VIDEO);
        // Frames until the worker's step finds the failure and stops.
        for (int i = 0; i < 400 && list.GetRecordingId(ZXV_RECORD_VIDEO) != -1; ++i) {
            Feed(list, 1);
            list.ProgressTick(now += 1000);
        }
        LibRecorder::FFInjectWriteFault(-1, 0);
        std::vector<Said> problems = m_journal.Of(RECORDLIST_MSG_PROBLEM);
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_EQ(problems[0].b, f.problem);
        EXPECT_EQ(Dir::WithSlash(problems[0].text), m_dirs[0]);
        EXPECT_EQ(problems[0].isNew, f.midway);
        if (!f.midway) {
            EXPECT_EQ(started, 1);
            continue;
        }
        ASSERT_EQ(started, 0);
        EXPECT_EQ(list.GetRecordingId(ZXV_RECORD_VIDEO), -1) << "stopped by itself";
        EXPECT_EQ(CRecordList::ChainReferences(), 0);
        EXPECT_FALSE(list.AudioProcess().IsCapturing());
        // What was written is a file that plays, and stays in the list.
        const std::string path = list.GetRecordPath(ZXV_RECORD_VIDEO, id);
        ASSERT_FALSE(path.empty());
        EXPECT_LE(File::GetFileSize(path), f.after);
        EXPECT_GT(list.GetRecordDuration(ZXV_RECORD_VIDEO, id) + LibRecorder::FFGetTotalTm(path.c_str()), 0.0);
        LibReplay player;
        ASSERT_EQ(player.Init(path.c_str(), 160, 120, false, true), 0);
        std::vector<unsigned char> picture(mediatest::Stride(160) * 120);
        EXPECT_TRUE(zxtest::WaitUntil(
            [&] { return player.QueryFrame(picture.data(), static_cast<unsigned>(picture.size())) > 0; }));
        player.Uint();
        EXPECT_EQ(Saved(ZXV_RECORD_VIDEO).front(), path);
    }
    // Nothing empty is left, in the list or in the folder.
    std::vector<std::string> files;
    Dir::FindAllFiles(files, m_dirs[0], "*", Dir::kFindFiles);
    EXPECT_EQ(files.size(), list.GetRecords(ZXV_RECORD_VIDEO).size());
    for (const RecordItem& r : list.GetRecords(ZXV_RECORD_VIDEO)) EXPECT_GT(File::GetFileSize(r.path), 0) << r.path;
}

TEST_F(RecordListTest, RecordsVideoWithSoundAndKeepsTheOneBeingRecorded) {
    WithMicrophone();
    CRecordList& list = Start();
    ASSERT_EQ(list.StartRecord(ZXV_RECORD_VIDEO), 0) << "the microphone of the test machine starts";
    const int first = list.GetRecordingId(ZXV_RECORD_VIDEO);
    ASSERT_GE(first, 0);
    EXPECT_EQ(list.GetRecordingId(ZXV_RECORD_AUDIO), -1);
    EXPECT_EQ(m_kernel->chain.Count(), 1u);
    std::vector<Said> states = m_journal.Of(RECORDLIST_MSG_STATE);
    ASSERT_EQ(states.size(), 1u);
    EXPECT_EQ(states[0].a, ZXV_RECORD_RECORDING);
    std::vector<Said> records = m_journal.Of(RECORDLIST_MSG_RECORD);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].text, "") << "a recording just started has no picture yet";
    Feed(list, 20);
    EXPECT_GE(list.GetRecordTime(), 0);
    const std::string firstPath = list.GetRecordPath(ZXV_RECORD_VIDEO, first);
    mediatest::Bitmap thumb;
    ASSERT_TRUE(mediatest::ReadBmp(list.GetRecordThumbnail(ZXV_RECORD_VIDEO, first), thumb));
    EXPECT_EQ(thumb.width, 80);

    // A second start saves the first recording before it begins; its own
    // record stays through a delete of everything. Names go by the
    // millisecond of the start: once the first one's has passed, the second
    // start gets another name.
    const std::string firstName = File::GetFileName(firstPath);
    zxtest::WaitUntil([&] {
        SYSTEMTIME t;
        GetLocalTime(&t);
        return CRecordList::RecordFileName(t, ZXV_RECORD_VIDEO) != firstName;
    });
    ASSERT_EQ(list.StartRecord(ZXV_RECORD_VIDEO), 0);
    const int second = list.GetRecordingId(ZXV_RECORD_VIDEO);
    EXPECT_NE(second, first);
    EXPECT_EQ(CRecordList::ChainReferences(), 1) << "one reference for the one recording";
    EXPECT_GE(list.GetRecordDuration(ZXV_RECORD_VIDEO, first), 1);
    EXPECT_EQ(Saved(ZXV_RECORD_VIDEO), (std::vector<std::string>{firstPath}));
    int videoCodec = -1, audioCodec = -1;
    EXPECT_EQ(FlvStreams(firstPath, videoCodec, audioCodec), 5) << "a video and a sound stream";
    EXPECT_EQ(videoCodec, 7) << "H.264";
    EXPECT_EQ(audioCodec, 10) << "AAC";
    Feed(list, 10);
    list.DeleteRecords(ZXV_RECORD_VIDEO, {first, second}, true);
    std::vector<RecordItem> left = list.GetRecords(ZXV_RECORD_VIDEO);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].id, second);
    EXPECT_FALSE(File::IsExistFile(firstPath));

    // A picture request stops the recording and records nothing.
    EXPECT_EQ(list.StartRecord(ZXV_RECORD_IMAGE), 1);
    EXPECT_EQ(list.GetRecordingId(ZXV_RECORD_VIDEO), -1);
    EXPECT_EQ(m_kernel->chain.Count(), 0u);
    states = m_journal.Of(RECORDLIST_MSG_STATE);
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.back().a, ZXV_RECORD_STOPPED);
    EXPECT_EQ(states.back().b, ZXV_RECORD_VIDEO);
    EXPECT_GE(LibRecorder::FFGetTotalTm(left[0].path.c_str()), 0.45) << "what was handed over is kept";

    // Sound alone.
    ASSERT_EQ(list.StartRecord(ZXV_RECORD_AUDIO), 0);
    EXPECT_EQ(m_kernel->chain.Count(), 0u) << "sound needs no frames";
    const int id = list.GetRecordingId(ZXV_RECORD_AUDIO);
    ASSERT_GE(id, 0);
    // Sound delivered by the microphone's thread.
    std::vector<unsigned char> pcm = mediatest::Tone(0, 44100);
    list.OnAudioProcess(0, pcm.data(), static_cast<int>(pcm.size()));
    list.StopRecord();
    const std::string path = list.GetRecordPath(ZXV_RECORD_AUDIO, id);
    EXPECT_EQ(path.substr(path.size() - 4), ".mp3");
    EXPECT_GE(LibRecorder::FFGetTotalTm(path.c_str()), 0.9);
    EXPECT_EQ(list.GetRecordThumbnail(ZXV_RECORD_AUDIO, id), "");
    list.OnAudioProcess(0, pcm.data(), static_cast<int>(pcm.size()));  // after the stop: ignored
    EXPECT_EQ(Saved(ZXV_RECORD_AUDIO), (std::vector<std::string>{path}));
}


// Notified directly, inside the step: keeps the step's clock reading.
class ProgressTimes : public IDataRecordListObserver {
public:
    void OnProgress(eZXVRecordType type) override {
        times.push_back(now);
        types.push_back(type);
    }
    DWORD now = 0;
    std::vector<DWORD> times;
    std::vector<int> types;
};

TEST_F(RecordListTest, ProgressIsToldAtMostTwiceASecondWhileRecording) {
    ProgressTimes progress;
    AfxGetMessageManager()->AttachObserver(ZX_MOD_RECORDLIST_OB, &progress, OBSERVER_MODE_DIRECT);
    CRecordList& list = Start();
    // The steps run on a clock of the test's own, 10 ms apart; the clock starts just below the tick count's wrap.
    DWORD& now = progress.now;
    now = 0xFFFFFF00u;
    // Stopped: the worker's steps say nothing.
    for (int i = 0; i < 60; ++i, now += 10) list.ProgressTick(now);
    EXPECT_TRUE(progress.times.empty());

    WithMicrophone();
    CRecordList& recording = Start();
    ASSERT_EQ(recording.StartRecord(ZXV_RECORD_VIDEO), 0);
    Feed(recording, 30);  // a second and a half recorded
    // 1.3 s of steps: told at the first and then every 500 ms.
    const DWORD from = now;
    for (int i = 0; i < 130; ++i, now += 10) recording.ProgressTick(now);
    recording.StopRecord();
    AfxGetMessageManager()->DetachObserver(ZX_MOD_RECORDLIST_OB, &progress);
    EXPECT_EQ(progress.times, (std::vector<DWORD>{from, from + 500, from + 1000}));
    for (int type : progress.types) EXPECT_EQ(type, ZXV_RECORD_VIDEO);
}

}  // namespace
