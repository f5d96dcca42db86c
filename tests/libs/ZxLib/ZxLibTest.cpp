#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "ZxLib/ZxLib.h"

namespace {

const std::string kChinese = "\xE7\xBB\xB4\xE8\x8E\xAB\xE7\xBE\x8E\xE5\x8C\x96";  // 维莫美化
const std::string kEmoji = "\xF0\x9F\x98\x80";                                    // U+1F600, a surrogate pair

TEST(Charset, RoundTripsChineseAndSurrogatePairsAndReplacesBadBytes) {
    std::wstring w = Charset::String2WString(kChinese + "-" + kEmoji);
    ASSERT_EQ(w.size(), 4u + 1u + 2u);
    EXPECT_EQ(w[0], 0x7EF4);
    EXPECT_EQ(w[5], 0xD83D);
    EXPECT_EQ(Charset::WString2String(w), kChinese + "-" + kEmoji);
    EXPECT_TRUE(Charset::String2WString("").empty());
    EXPECT_TRUE(Charset::WString2String(L"").empty());
    // A byte that is not UTF-8 becomes the replacement character.
    EXPECT_EQ(Charset::String2WString(std::string("a\xFF" "b", 3)), std::wstring(L"a\xFFFD" L"b"));
}

TEST(Md5, KnownDigests) {
    EXPECT_EQ(Entrypt::GenerateMD5(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Entrypt::GenerateMD5("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(GenerateMD5("The quick brown fox jumps over the lazy dog"), "9e107d9d372bb6826bd81d3542a419d6");
    // The digest is of the UTF-8 bytes of a path.
    EXPECT_EQ(GenerateMD5(kChinese), "228189ec8605989fb6a7a45fccec3ea6");
}

TEST(Dir, PathsEndInBackslashAndHonourRedirection) {
    std::string exe = Dir::GetCurrentPath();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.back(), '\\');
    EXPECT_TRUE(File::IsExistFile(exe + "ZxLibTests.exe"));
    EXPECT_EQ(Dir::GetZxPath(100), exe);
    EXPECT_EQ(Dir::GetZxPath(12345), "");

    std::string root = zxtest::RedirectUserFolders("dirs" + kChinese);
    std::string data = Dir::GetZxPath(101);
    EXPECT_EQ(data, root + "AppData\\ZxVCam\\");
    EXPECT_TRUE(Dir::IsDirectory(data)) << "type 101 is created on demand";
    EXPECT_EQ(Dir::GetZxPath(109), root + "Local\\ZxVCam\\Cache\\");
    EXPECT_TRUE(Dir::IsDirectory(Dir::GetZxPath(109)));
    EXPECT_EQ(Dir::GetLogPath(), root + "Local\\ZxVCam\\Log\\");
    SetEnvironmentVariableW(L"ZXVCAM_DATA_DIR", nullptr);
    SetEnvironmentVariableW(L"ZXVCAM_CACHE_DIR", nullptr);
    SetEnvironmentVariableW(L"ZXVCAM_LOG_DIR", nullptr);
    // Without redirection the per-user folders sit under the profile.
    EXPECT_NE(Dir::GetZxPath(101).find("ZxVCam\\"), std::string::npos);
    EXPECT_NE(Dir::GetZxPath(109).find("ZxVCam\\Cache\\"), std::string::npos);
}

TEST(Dir, MakeDirCreatesNestedUnicodeFolders) {
    std::string base = zxtest::MakeTempDir("mk");
    std::string deep = base + kChinese + "\\a b\\" + kEmoji + "\\";
    EXPECT_FALSE(Dir::IsDirectory(deep));
    EXPECT_TRUE(Dir::MakeDir(deep));
    EXPECT_TRUE(Dir::IsDirectory(deep));
    EXPECT_TRUE(Dir::MakeDir(deep)) << "an existing folder is success";
    // A file in the way is failure, not success.
    ASSERT_TRUE(File::WriteAllAtomic(base + "file", "x"));
    EXPECT_FALSE(Dir::MakeDir(base + "file\\sub"));
    EXPECT_FALSE(Dir::MakeDir(base + "file"));
    EXPECT_FALSE(Dir::MakeDir(""));
}

TEST(Dir, IsWritableDirTriesARealFileAndLeavesNothing) {
    std::string base = zxtest::MakeTempDir("wr");
    std::string dir = base + kChinese + "\\";
    ASSERT_TRUE(Dir::MakeDir(dir));
    EXPECT_TRUE(Dir::IsWritableDir(dir));
    EXPECT_TRUE(Dir::IsWritableDir(base + kChinese)) << "without the trailing backslash";
    std::vector<std::string> left;
    ASSERT_TRUE(Dir::FindAllFiles(left, dir, "*", Dir::kFindFiles | Dir::kFindFolders));
    EXPECT_TRUE(left.empty()) << "the probe file is gone again";
    EXPECT_FALSE(Dir::IsWritableDir(base + "missing\\"));
    ASSERT_TRUE(File::WriteAllAtomic(base + "file", "x"));
    EXPECT_FALSE(Dir::IsWritableDir(base + "file")) << "a file is no folder";
    EXPECT_FALSE(Dir::IsWritableDir(""));
    // Under Wine the Unix folder /proc is reachable as Z:\proc and refuses
    // new files even to root; on Windows there is no such folder.
    if (Dir::IsDirectory("Z:\\proc\\")) {
        EXPECT_FALSE(Dir::IsWritableDir("Z:\\proc\\")) << "a folder that refuses new files";
    }
}

TEST(File, WriteReadAndNames) {
    std::string dir = zxtest::MakeTempDir("file");
    std::string path = dir + kChinese + ".bin";
    EXPECT_FALSE(File::IsExistFile(path));
    EXPECT_EQ(File::GetFileSize(path), -1);
    std::string data("a\0b\r\n", 5);
    ASSERT_TRUE(File::WriteAllAtomic(path, data));
    EXPECT_TRUE(File::IsExistFile(path));
    EXPECT_FALSE(File::IsExistFile(dir)) << "a folder is not a file";
    EXPECT_EQ(File::GetFileSize(path), 5);
    std::string back;
    ASSERT_TRUE(File::ReadAll(path, back));
    EXPECT_EQ(back, data);
    EXPECT_FALSE(File::ReadAll(path, back, 4)) << "larger than the limit";
    ASSERT_TRUE(File::WriteAllAtomic(path, "new"));
    ASSERT_TRUE(File::ReadAll(path, back));
    EXPECT_EQ(back, "new");
    std::vector<std::string> found;
    ASSERT_TRUE(Dir::FindAllFiles(found, dir, "*", Dir::kFindFiles));
    EXPECT_EQ(found, std::vector<std::string>{path}) << "no temporary file is left beside it";
    EXPECT_TRUE(File::RemoveFile(path));
    EXPECT_FALSE(File::IsExistFile(path));
    // Where it cannot write, a write creates nothing and leaves a folder in the way alone.
    EXPECT_FALSE(File::WriteAllAtomic(dir + "missing\\x.txt", "x"));
    EXPECT_FALSE(Dir::IsDirectory(dir + "missing"));
    ASSERT_TRUE(Dir::MakeDir(dir + "folder"));
    EXPECT_FALSE(File::WriteAllAtomic(dir + "folder", "x"));
    EXPECT_TRUE(Dir::IsDirectory(dir + "folder"));

    EXPECT_EQ(File::GetFileName("C:\\a\\b.txt"), "b.txt");
    EXPECT_EQ(File::GetFileNameWithoutExtension("C:\\a.d\\b.tar.gz"), "b.tar");
    EXPECT_EQ(File::GetFileNameWithoutExtension("C:\\a\\.hidden"), ".hidden");
    EXPECT_EQ(File::GetFileNameWithoutExtension("noext"), "noext");
    EXPECT_EQ(File::GetParentPath("C:\\a\\b.txt"), "C:\\a\\");
}

}  // namespace

TEST(Dir, LongPathUndoesShortNamesAndKeepsWhatDoesNotExist) {
    const std::string folder = zxtest::MakeTempDir("long") + "a rather long folder name\\";
    ASSERT_TRUE(Dir::MakeDir(folder));
    wchar_t shortPath[MAX_PATH * 2];
    DWORD n = GetShortPathNameW(Charset::String2WString(folder).c_str(), shortPath, MAX_PATH * 2);
    ASSERT_GT(n, 0u);
    const std::string spelled = Charset::WString2String(std::wstring(shortPath, n));
    if (spelled == folder) GTEST_SKIP() << "this file system has no short names";
    EXPECT_EQ(Dir::GetLongPath(spelled), folder);
    EXPECT_EQ(Dir::GetLongPath(folder + "missing"), folder + "missing");
}

TEST(SizeText, ReadsExactlyWidthXHeightWithinTheLimit) {
    EXPECT_EQ(SizeText::Format(1280, 720), "1280x720");
    int w = 0, h = 0;
    EXPECT_TRUE(SizeText::Parse("1280x720", w, h));
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 720);
    EXPECT_TRUE(SizeText::Parse("16384x1", w, h));
    for (const char* bad : {"", "x", "640x", "x480", "0x480", "640x0", "-640x480", " 640x480", "640x480 ", "1e3x720",
                            "640.5x480", "640x480x2", "16385x720", "99999999999x720", "640X480"}) {
        w = h = -1;
        EXPECT_FALSE(SizeText::Parse(bad, w, h)) << bad;
        EXPECT_EQ(w, -1) << bad;
    }
    std::vector<int> widths, heights;
    SizeText::ParseList("640x480|junk||1280x720|0x0|", widths, heights);
    EXPECT_EQ(widths, (std::vector<int>{640, 1280}));
    EXPECT_EQ(heights, (std::vector<int>{480, 720}));
}

TEST(Charset, ValidUtf8) {
    EXPECT_TRUE(Charset::IsValidUtf8("plain \xE4\xB8\xAD\xF0\x9F\x98\x80"));
    for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE4\xB8", "\x80", "\xFF"})
        EXPECT_FALSE(Charset::IsValidUtf8(bad)) << bad;
}
