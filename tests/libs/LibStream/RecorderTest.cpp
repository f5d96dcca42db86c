// LibRecorder: recordings, their durations and pictures.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "MediaTestSupport.h"

using namespace mediatest;

TEST(LibRecorder, VideoRecordingLastsWhatWasRecordedAndItsThumbnailShowsTheFirstPicture) {
    const std::string& path = PatternRecording();
    ASSERT_FALSE(path.empty());
    EXPECT_NEAR(LibRecorder::FFGetTotalTm(path.c_str()), 3.0, 0.25);
    EXPECT_EQ(zxtest::ReadFile(path).substr(0, 3), "FLV");
    std::string bmp = zxtest::MakeTempDir("缩略图") + "图.bmp";
    ASSERT_TRUE(LibRecorder::FFThumbnails(path.c_str(), bmp.c_str(), 80, 60));
    Bitmap b;
    ASSERT_TRUE(ReadBmp(bmp, b));
    EXPECT_EQ(b.width, 80);
    EXPECT_EQ(b.height, 60);
    // The first second has the red quadrant at the top left.
    EXPECT_EQ(RedQuadrant(b.rows.data(), 80, 60), 0);
    Rgb other = PixelAt(b.rows.data(), 80, 60, 60, 45);
    EXPECT_GT(other.b, 150);
    EXPECT_LT(other.r, 90);
}

TEST(LibRecorder, TimeAdvancesAndAnOpenFileReportsIt) {
    std::string path = zxtest::MakeTempDir("rec") + "open.flv";
    LibRecorder rec;
    ASSERT_EQ(OpenRecording(rec, path), 0);
    EXPECT_EQ(rec.FFGetAudioInputSize(), 2048);  // one AAC frame of mono 16-bit sound
    EXPECT_EQ(rec.GetCurTm(), 0.0);
    for (int i = 0; i < 30; ++i) {
        auto f = PatternFrame(320, 240, i);
        ASSERT_EQ(rec.FFAppendVideo(f.data(), static_cast<int>(f.size())), 0);
    }
    EXPECT_NEAR(rec.GetCurTm(), 1500.0, 1.0);
    // While the file is written its duration is the time recorded so far.
    EXPECT_NEAR(LibRecorder::FFGetTotalTm(path.c_str()), 1.5, 0.01);
    rec.FFUint();
    EXPECT_NEAR(LibRecorder::FFGetTotalTm(path.c_str()), 1.5, 0.2);
    EXPECT_EQ(rec.GetCurTm(), 0.0);
    rec.FFUint();  // again: nothing happens
}

TEST(LibRecorder, Mp3RecordingPlaysAndLasts) {
    std::string path = zxtest::MakeTempDir("mp3") + "声音.mp3";
    {
        LibRecorder rec;
        ASSERT_EQ(rec.FFAudioInit(path.c_str(), 1, 44100, 64000, LIBSTREAM_CODEC_MP3), 0);
        int chunk = rec.FFGetAudioInputSize();
        EXPECT_EQ(chunk, 1152 * 2);
        size_t samples = 0;
        while (samples < 2 * 44100) {
            auto pcm = Tone(samples, static_cast<size_t>(chunk) / 2);
            ASSERT_EQ(rec.FFAppendAudio(pcm.data(), chunk), 0);
            samples += static_cast<size_t>(chunk) / 2;
        }
        EXPECT_NEAR(rec.GetCurTm(), 2000.0, 30.0);
        rec.FFUint();
    }
    EXPECT_NEAR(LibRecorder::FFGetTotalTm(path.c_str()), 2.0, 0.15);
    LibReplay player;
    ASSERT_EQ(player.Init(path.c_str(), 320, 240, true, true), 0);
    double cur = 0, total = 0;
    player.GetCurTm(cur, total);
    EXPECT_NEAR(total, 2.0, 0.15);
    std::vector<unsigned char> buf(static_cast<size_t>(Stride(320)) * 240);
    EXPECT_EQ(player.QueryFrame(buf.data(), static_cast<unsigned>(buf.size())), 0);  // sound only
    EXPECT_TRUE(PlaysPast(player, 0.2)) << "the sound does not play";
    player.Uint();
}

TEST(LibRecorder, AppendsFromTwoThreadsAtOnce) {
    std::string path = zxtest::MakeTempDir("two") + "two.flv";
    LibRecorder rec;
    ASSERT_EQ(OpenRecording(rec, path), 0);
    std::atomic<int> failures{0};
    std::thread video([&] {
        for (int i = 0; i < 40; ++i) {
            auto f = PatternFrame(320, 240, i);
            if (rec.FFAppendVideo(f.data(), static_cast<int>(f.size())) != 0) ++failures;
        }
    });
    std::thread sound([&] {
        // Capture blocks of an odd size, so the recorder has to gather frames.
        for (size_t s = 0; s < 2 * 44100; s += 1000) {
            auto pcm = Tone(s, 1000);
            if (rec.FFAppendAudio(pcm.data(), static_cast<int>(pcm.size())) != 0) ++failures;
        }
    });
    video.join();
    sound.join();
    EXPECT_EQ(failures.load(), 0);
    rec.FFUint();
    EXPECT_NEAR(LibRecorder::FFGetTotalTm(path.c_str()), 2.0, 0.2);
    LibReplay player;
    EXPECT_EQ(player.Init(path.c_str(), 160, 120, true, true), 0);
}

TEST(LibRecorder, ClosingWithoutFramesLeavesAnEmptyButValidFile) {
    std::string path = zxtest::MakeTempDir("empty") + "empty.flv";
    LibRecorder rec;
    ASSERT_EQ(OpenRecording(rec, path, 640, 480), 0);
    rec.FFUint();
    ASSERT_TRUE(File::IsExistFile(path));
    EXPECT_EQ(zxtest::ReadFile(path).substr(0, 3), "FLV");
    EXPECT_EQ(LibRecorder::FFGetTotalTm(path.c_str()), 0.0);
    // Nothing in it plays: the player says so plainly.
    LibReplay player;
    EXPECT_EQ(player.Init(path.c_str(), 640, 480, true, true), -1);
    std::string thumb = zxtest::MakeTempDir("empty") + "t.bmp";
    EXPECT_FALSE(LibRecorder::FFThumbnails(path.c_str(), thumb.c_str(), 80, 60));
    EXPECT_FALSE(File::IsExistFile(thumb));
}

TEST(LibRecorder, RefusesWhatItCannotRecord) {
    std::string dir = zxtest::MakeTempDir("refuse");
    LibRecorder rec;
    auto f = PatternFrame(320, 240, 0);
    auto pcm = Tone(0, 1024);
    // Nothing open: appends fail.
    EXPECT_EQ(rec.FFAppendVideo(f.data(), static_cast<int>(f.size())), -1);
    EXPECT_EQ(rec.FFAppendAudio(pcm.data(), static_cast<int>(pcm.size())), -1);
    // Other codecs, bad sizes, bad rates, no path.
    std::string p = dir + "a.flv";
    EXPECT_EQ(OpenRecording(rec, p, 320, 240, 20, LIBSTREAM_CODEC_MP3), -1);
    EXPECT_EQ(OpenRecording(rec, p, 320, 240, 20, LIBSTREAM_CODEC_AAC, 13), -1);
    EXPECT_EQ(OpenRecording(rec, p, 0), -1);
    EXPECT_EQ(OpenRecording(rec, p, 320, 240, 0), -1);
    EXPECT_EQ(OpenRecording(rec, ""), -1);
    EXPECT_EQ(rec.FFAudioInit(p.c_str(), 1, 44100, 64000, LIBSTREAM_CODEC_AAC), -1);
    EXPECT_FALSE(File::IsExistFile(p));
    // A refused recording leaves a file already there alone.
    std::string existing = dir + "已有.flv";
    ASSERT_TRUE(zxtest::WriteFile(existing, "keep me"));
    EXPECT_EQ(OpenRecording(rec, existing, 320, 240, 20, LIBSTREAM_CODEC_MP3), -1);
    EXPECT_EQ(zxtest::ReadFile(existing), "keep me");
    // A folder that does not exist: refused, nothing left behind.
    std::string missing = dir + "无此目录\\x.flv";
    EXPECT_EQ(OpenRecording(rec, missing), -1);
    unsigned long system = 0;
    EXPECT_EQ(rec.FFGetLastError(&system), LIBREC_ERR_FILE) << "the cause is kept";
    EXPECT_EQ(system, static_cast<unsigned long>(ERROR_PATH_NOT_FOUND));
    // A frame shorter than the format is refused; a whole one is taken.
    ASSERT_EQ(OpenRecording(rec, p), 0);
    EXPECT_EQ(rec.FFAppendVideo(f.data(), static_cast<int>(f.size()) - 1), -1);
    EXPECT_EQ(rec.FFAppendVideo(nullptr, static_cast<int>(f.size())), -1);
    EXPECT_EQ(rec.FFAppendVideo(f.data(), static_cast<int>(f.size())), 0);
    EXPECT_EQ(rec.FFGetLastError(), LIBREC_OK) << "a short frame is no failure of the file";
    rec.FFUint();
    EXPECT_NEAR(LibRecorder::FFGetTotalTm(p.c_str()), 0.05, 0.06);
}

TEST(LibRecorder, SavesFramesAsScaledBitmaps) {
    std::string dir = zxtest::MakeTempDir("位图");
    // 64 x 48 with the red quadrant at the bottom left (second 3 of the pattern).
    auto frame = PatternFrame(64, 48, 60);
    ASSERT_EQ(RedQuadrant(frame.data(), 64, 48), 3);

    std::string same = dir + "原样.bmp";
    ASSERT_TRUE(LibRecorder::FFSaveAsBitmap(frame.data(), 64, 48, 64, 48, same.c_str()));
    Bitmap b;
    ASSERT_TRUE(ReadBmp(same, b));
    EXPECT_EQ(b.width, 64);
    EXPECT_EQ(b.height, 48);
    EXPECT_EQ(b.rows, frame);  // the same rows, the same order

    std::string small = dir + "小.bmp";
    ASSERT_TRUE(LibRecorder::FFSaveAsBitmap(frame.data(), 64, 48, 30, 20, small.c_str()));
    ASSERT_TRUE(ReadBmp(small, b));
    EXPECT_EQ(b.width, 30);
    EXPECT_EQ(b.height, 20);
    EXPECT_EQ(RedQuadrant(b.rows.data(), 30, 20), 3);
    for (int y : {1, 5, 14, 18}) {
        for (int x : {1, 7, 22, 28}) {
            Rgb want = PixelAt(frame.data(), 64, 48, x * 64 / 30, y * 48 / 20);
            Rgb got = PixelAt(b.rows.data(), 30, 20, x, y);
            EXPECT_NEAR(got.r, want.r, 12) << x << "," << y;
            EXPECT_NEAR(got.g, want.g, 12) << x << "," << y;
            EXPECT_NEAR(got.b, want.b, 12) << x << "," << y;
        }
    }
    std::string big = dir + "大.bmp";
    ASSERT_TRUE(LibRecorder::FFSaveAsBitmap(frame.data(), 64, 48, 101, 77, big.c_str()));  // padded rows
    ASSERT_TRUE(ReadBmp(big, b));
    EXPECT_EQ(RedQuadrant(b.rows.data(), 101, 77), 3);

    EXPECT_FALSE(LibRecorder::FFSaveAsBitmap(nullptr, 64, 48, 30, 20, small.c_str()));
    EXPECT_FALSE(LibRecorder::FFSaveAsBitmap(frame.data(), 64, 48, 0, 20, small.c_str()));
    EXPECT_FALSE(LibRecorder::FFSaveAsBitmap(frame.data(), 64, 48, 30, 20, (dir + "无\\x.bmp").c_str()));
}

TEST(LibRecorder, DamagedOrMissingFilesGiveNoDurationOrThumbnail) {
    std::string dir = zxtest::MakeTempDir("damaged");
    std::string junk = dir + "junk.mp4";
    std::string bytes(64 * 1024, '\0');
    unsigned v = 12345;
    for (char& c : bytes) c = static_cast<char>((v = v * 1103515245u + 12345u) >> 16);
    ASSERT_TRUE(zxtest::WriteFile(junk, bytes));
    EXPECT_EQ(LibRecorder::FFGetTotalTm(junk.c_str()), 0.0);
    EXPECT_FALSE(LibRecorder::FFThumbnails(junk.c_str(), (dir + "j.bmp").c_str(), 80, 60));
    EXPECT_EQ(LibRecorder::FFGetTotalTm((dir + "none.flv").c_str()), 0.0);
    EXPECT_EQ(LibRecorder::FFGetTotalTm(nullptr), 0.0);
    EXPECT_FALSE(LibRecorder::FFThumbnails((dir + "none.flv").c_str(), (dir + "n.bmp").c_str(), 80, 60));
    EXPECT_FALSE(LibRecorder::FFThumbnails(PatternRecording().c_str(), (dir + "z.bmp").c_str(), 0, 60));
}
