#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"
#include "ZxModConfig/ZxModConfig.h"

namespace {

const std::string kChinese = "\xE8\xA7\x86\xE9\xA2\x91\xE7\xAB\xA0\xE8\x8A\x82";  // 视频章节
const std::string kEmoji = "\xF0\x9F\x98\x80";                                    // U+1F600

// Before any test touches the manager, the per-user folders point into the
// build tree, so the default file is never the real profile's.
class RedirectedFolders : public testing::Environment {
public:
    void SetUp() override { zxtest::RedirectUserFolders("cfg-env"); }
};
testing::Environment* const g_env = testing::AddGlobalTestEnvironment(new RedirectedFolders);

class Config : public testing::Test {
protected:
    void SetUp() override {
        m_dir = zxtest::MakeTempDir("cfg");
        m_path = m_dir + "ZxVCam.ini";
        ZxConfigSetFile(m_path.c_str());
        m_cfg = AfxGetConfigManager();
        ASSERT_NE(m_cfg, nullptr);
    }
    void TearDown() override { ZxConfigSetFile(nullptr); }

    // Drops the in-memory state and reads the file again.
    void Reload() { ZxConfigSetFile(m_path.c_str()); }
    std::string FileBytes() const { return zxtest::ReadFile(m_path); }
    void UseFile(const std::string& bytes) {
        ASSERT_TRUE(zxtest::WriteFile(m_path, bytes));
        Reload();
    }

    // Stores each value under its own key, then reads every one back, from
    // memory and again from the file.
    template <typename T>
    void RoundTrip(bool (IConfigManager::*set)(const char*, const char*, T),
                   bool (IConfigManager::*get)(const char*, const char*, T&), const std::vector<T>& values) {
        auto key = [](size_t k) { return std::string(TypeName(T())) + std::to_string(k); };
        for (size_t k = 0; k < values.size(); ++k) ASSERT_TRUE((m_cfg->*set)("N", key(k).c_str(), values[k]));
        for (int pass = 0; pass < 2; ++pass) {
            for (size_t k = 0; k < values.size(); ++k) {
                T v = T();
                EXPECT_TRUE((m_cfg->*get)("N", key(k).c_str(), v)) << key(k);
                EXPECT_TRUE(Same(v, values[k])) << key(k) << (pass ? " after reload" : " in memory");
            }
            Reload();
        }
    }
    static const char* TypeName(int) { return "int"; }
    static const char* TypeName(int64_t) { return "long"; }
    static const char* TypeName(uint32_t) { return "uint"; }
    static const char* TypeName(double) { return "double"; }
    static const char* TypeName(bool) { return "bool"; }
    template <typename T>
    static bool Same(T a, T b) { return a == b; }
    static bool Same(double a, double b) {
        return (std::isnan(a) && std::isnan(b)) || (a == b && std::signbit(a) == std::signbit(b));
    }

    std::string m_dir, m_path;
    IConfigManager* m_cfg = nullptr;
};

TEST_F(Config, StringsOfAnyTextRoundTripThroughTheFile) {
    const std::vector<std::string> values = {
        kChinese, kEmoji + kChinese + kEmoji, "a\r\nb", "only\nlf", "only\rcr", "\"starts quoted\"",
        "say \"hi\"", "  leading blanks", "trailing blanks \t", "\ttab", "C:\\Program Files\\ZxVCam\\",
        "\\\\server\\share\\" + kChinese + ".jpg", "", "a=b;c#d", "[not a section]", "\"", "back\\slash\\n"};
    for (size_t i = 0; i < values.size(); ++i)
        ASSERT_TRUE(m_cfg->SetString("Strings", ("k" + std::to_string(i)).c_str(), values[i].c_str(), 0));
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i < values.size(); ++i) {
            std::string out = "unset";
            EXPECT_TRUE(m_cfg->GetString("Strings", ("k" + std::to_string(i)).c_str(), out)) << i;
            EXPECT_EQ(out, values[i]) << "value " << i << (pass ? " after reload" : " in memory");
        }
        Reload();
    }
    // Paths stay as a person types them; only values that would not survive
    // raw are quoted.
    std::string file = FileBytes();
    EXPECT_NE(file.find("\r\nk10=C:\\Program Files\\ZxVCam\\\r\n"), std::string::npos) << file;
    EXPECT_NE(file.find("\r\nk0=" + kChinese + "\r\n"), std::string::npos);
    EXPECT_NE(file.find("\r\nk2=\"a\\r\\nb\"\r\n"), std::string::npos);
    EXPECT_NE(file.find("\r\nk7=\"  leading blanks\"\r\n"), std::string::npos);
    EXPECT_NE(file.find("\r\nk6=say \"hi\"\r\n"), std::string::npos);
}

TEST_F(Config, GettersReportFoundAndLeaveOutAloneOrGiveTheDefault) {
    std::string s = "preset";
    EXPECT_FALSE(m_cfg->GetString("VEText", "Text", s));
    EXPECT_EQ(s, "preset");
    // The number getters share one lookup; the int stands for all of them.
    int i = 7;
    EXPECT_FALSE(m_cfg->GetInt("VEText", "Size", i));
    EXPECT_EQ(i, 7);

    ASSERT_TRUE(m_cfg->SetString("VEText", "Text", "", 0));
    EXPECT_TRUE(m_cfg->GetString("VEText", "Text", s)) << "an empty value is still found";
    EXPECT_EQ(s, "");

    // With a default, a missing value gives the default.
    const std::string stored = FileBytes();
    EXPECT_FALSE(m_cfg->GetString("Camera", "Device", s, "none"));
    EXPECT_EQ(s, "none");
    EXPECT_FALSE(m_cfg->GetString("Camera", "Device", s, nullptr));
    EXPECT_EQ(s, "");
    EXPECT_FALSE(m_cfg->GetInt("Camera", "Width", i, 640));
    EXPECT_EQ(i, 640);
    EXPECT_EQ(FileBytes(), stored) << "reading writes nothing";

    ASSERT_TRUE(m_cfg->SetString("Camera", "Device", "USB", 0));
    ASSERT_TRUE(m_cfg->SetInt("Camera", "Width", 320));
    EXPECT_TRUE(m_cfg->GetString("Camera", "Device", s, "none"));
    EXPECT_EQ(s, "USB");
    EXPECT_TRUE(m_cfg->GetInt("Camera", "Width", i, 640));
    EXPECT_EQ(i, 320);
}

TEST_F(Config, NumbersAndBoolsRoundTrip) {
    const double inf = std::numeric_limits<double>::infinity();
    RoundTrip<int>(&IConfigManager::SetInt, &IConfigManager::GetInt,
                   {std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), -1, 0, 42});
    RoundTrip<int64_t>(&IConfigManager::SetInt64, &IConfigManager::GetInt64,
                       {std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(), -5});
    RoundTrip<uint32_t>(&IConfigManager::SetUInt, &IConfigManager::GetUInt, {0u, 0xFFFFFFFFu, 0x00FF8040u});
    RoundTrip<double>(&IConfigManager::SetDouble, &IConfigManager::GetDouble,
                      {0.1, -1e300, 5e-324, 123.456, -0.0, inf, -inf, std::numeric_limits<double>::quiet_NaN()});
    RoundTrip<bool>(&IConfigManager::SetBool, &IConfigManager::GetBool, {true, false});

    std::string file = FileBytes();
    EXPECT_NE(file.find("\r\nint0=-2147483648\r\n"), std::string::npos) << file;
    EXPECT_NE(file.find("\r\nuint1=4294967295\r\n"), std::string::npos);
    EXPECT_NE(file.find("\r\ndouble0=0.1\r\n"), std::string::npos);
    EXPECT_NE(file.find("\r\nbool0=1\r\nbool1=0\r\n"), std::string::npos);
}

TEST_F(Config, HandWrittenValuesAndParseFailures) {
    UseFile("[V]\r\n"
            "hex=0xFF00FF\r\nHEX=0XabcDEF\r\nuneg=-1\r\nubig=4294967296\r\nuhex0=0x\r\nuhexbig=0x100000000\r\n"
            "abc=abc\r\nnum12abc=12abc\r\nintover=2147483648\r\nintunder=-2147483649\r\nempty=\r\n"
            "plus=+17\r\nspaced =  -3  \r\nl_over=9223372036854775808\r\n"
            "dcomma=1,5\r\ndover=1e999\r\ndplus=+2.5\r\n"
            "b1=TRUE\r\nb2=Yes\r\nb3=no\r\nb4=False\r\nb5=2\r\nb6=maybe\r\n"
            "padded=\"  padded  \"\r\nunterminated=\"open\r\npath=\"C:\\foo\\bar\"\r\n");
    uint32_t u = 0;
    EXPECT_TRUE(m_cfg->GetUInt("V", "hex", u));
    EXPECT_EQ(u, 0xFF00FFu);
    for (const char* key : {"uneg", "ubig", "uhex0", "uhexbig", "abc"}) {
        u = 5;
        EXPECT_FALSE(m_cfg->GetUInt("V", key, u)) << key;
        EXPECT_EQ(u, 5u);
    }
    for (const char* key : {"abc", "num12abc", "intover", "intunder", "empty", "missing"}) {
        int i = 5;
        EXPECT_FALSE(m_cfg->GetInt("V", key, i)) << key;
        EXPECT_EQ(i, 5) << key;
        EXPECT_FALSE(m_cfg->GetInt("V", key, i, 77)) << key;
        EXPECT_EQ(i, 77) << "a value that does not parse counts as missing: " << key;
    }
    int i = 0;
    EXPECT_TRUE(m_cfg->GetInt("V", "plus", i));
    EXPECT_EQ(i, 17);
    EXPECT_TRUE(m_cfg->GetInt("V", "spaced", i));
    EXPECT_EQ(i, -3);
    int64_t l = 1;
    EXPECT_FALSE(m_cfg->GetInt64("V", "l_over", l));
    EXPECT_EQ(l, 1);
    double d = 1;
    EXPECT_FALSE(m_cfg->GetDouble("V", "dcomma", d));
    EXPECT_FALSE(m_cfg->GetDouble("V", "dover", d));
    EXPECT_EQ(d, 1);
    EXPECT_TRUE(m_cfg->GetDouble("V", "dplus", d));
    EXPECT_EQ(d, 2.5);
    const bool expected[] = {true, true, false, false};
    for (int k = 0; k < 4; ++k) {
        bool b = !expected[k];
        EXPECT_TRUE(m_cfg->GetBool("V", ("b" + std::to_string(k + 1)).c_str(), b));
        EXPECT_EQ(b, expected[k]);
    }
    bool b = true;
    EXPECT_FALSE(m_cfg->GetBool("V", "b5", b));
    EXPECT_FALSE(m_cfg->GetBool("V", "b6", b));
    EXPECT_TRUE(b);
    std::string s;
    EXPECT_TRUE(m_cfg->GetString("V", "padded", s));
    EXPECT_EQ(s, "  padded  ");
    EXPECT_TRUE(m_cfg->GetString("V", "unterminated", s));
    EXPECT_EQ(s, "\"open") << "a broken quote is taken as it is";
    EXPECT_TRUE(m_cfg->GetString("V", "path", s));
    EXPECT_EQ(s, "C:\\foo\\bar") << "unknown escapes keep their backslash";
}

TEST_F(Config, NamesMatchCaseInsensitivelyAndKeepTheirFirstSpelling) {
    ASSERT_TRUE(m_cfg->SetInt("SetupBasic", "CloseToTray", 1));
    int v = 0;
    EXPECT_TRUE(m_cfg->GetInt("SETUPBASIC", "closetotray", v));
    EXPECT_EQ(v, 1);
    ASSERT_TRUE(m_cfg->SetInt("setupbasic", "CLOSETOTRAY", 0));
    EXPECT_EQ(FileBytes(), "[SetupBasic]\r\nCloseToTray=0\r\n");
}

TEST_F(Config, EverySetterWritesTheFileAtOnce) {
    ASSERT_TRUE(m_cfg->SetInt("Camera", "Width", 640));
    EXPECT_EQ(FileBytes(), "[Camera]\r\nWidth=640\r\n");
    ASSERT_TRUE(m_cfg->SetString("VEText", "Text", kChinese.c_str(), 0));
    EXPECT_EQ(FileBytes(), "[Camera]\r\nWidth=640\r\n\r\n[VEText]\r\nText=" + kChinese + "\r\n");
    ASSERT_TRUE(m_cfg->SetBool("Camera", "Mirror", true));
    EXPECT_EQ(FileBytes(), "[Camera]\r\nWidth=640\r\nMirror=1\r\n\r\n[VEText]\r\nText=" + kChinese + "\r\n");
    EXPECT_TRUE(m_cfg->SetInt("Camera", "Width", 640)) << "setting the same value succeeds";
    // What a file holds reads back after a reload: the round-trip cases.
}

TEST_F(Config, RewritesKeepCommentsOrderAndUnknownLines) {
    const std::string original =
        "; settings of ZxVCam\r\n"
        "# edited by hand\r\n"
        "\r\n"
        "[Camera]\r\n"
        "Width = 320\r\n"
        "  Height=240  \r\n"
        "this line means nothing\r\n"
        "; comment between sections\r\n"
        "[VEText]\r\n"
        "Text=hello\r\n"
        "\r\n"
        "[Camera]\r\n"
        "Extra=1\r\n";
    UseFile(original);
    int v = 0;
    EXPECT_TRUE(m_cfg->GetInt("Camera", "Height", v));
    EXPECT_EQ(v, 240);
    EXPECT_TRUE(m_cfg->GetInt("Camera", "Extra", v)) << "a section given twice is one section";
    EXPECT_EQ(v, 1);

    ASSERT_TRUE(m_cfg->SetInt("Camera", "Height", 480));
    ASSERT_TRUE(m_cfg->SetInt("Camera", "Fps", 20));
    ASSERT_TRUE(m_cfg->SetInt("Camera", "Extra", 2));
    ASSERT_TRUE(m_cfg->SetString("New", "Key", "v", 0));
    EXPECT_EQ(FileBytes(),
              "; settings of ZxVCam\r\n"
              "# edited by hand\r\n"
              "\r\n"
              "[Camera]\r\n"
              "Width = 320\r\n"
              "Height=480\r\n"
              "Fps=20\r\n"
              "this line means nothing\r\n"
              "; comment between sections\r\n"
              "[VEText]\r\n"
              "Text=hello\r\n"
              "\r\n"
              "[Camera]\r\n"
              "Extra=2\r\n"
              "\r\n"
              "[New]\r\n"
              "Key=v\r\n");
}

TEST_F(Config, OddlyWrittenFilesAreReadSafely) {
    // LF-only and CR-only line ends, keys before any section, a header
    // without "]" (its keys are not taken for the section above), text that
    // is not UTF-8.
    const std::string original = std::string("orphan=1\n[A]\nx=1\r[Broken\nx=2\n[B]\nlatin=caf\xE9\n");
    UseFile(original);
    int x = 0;
    EXPECT_TRUE(m_cfg->GetInt("A", "x", x));
    EXPECT_EQ(x, 1);
    EXPECT_FALSE(m_cfg->GetInt("", "orphan", x));
    std::string s;
    EXPECT_TRUE(m_cfg->GetString("B", "latin", s));
    EXPECT_EQ(s, std::string("caf\xE9")) << "bytes that are not UTF-8 are kept as they are";
    ASSERT_TRUE(m_cfg->SetInt("A", "y", 3));
    EXPECT_EQ(FileBytes(), std::string("orphan=1\r\n[A]\r\nx=1\r\ny=3\r\n[Broken\r\nx=2\r\n[B]\r\nlatin=caf\xE9\r\n"));
}

TEST_F(Config, RemoveKeyTakesEveryCopyAway) {
    UseFile("[A]\r\nk=1\r\nother=2\r\nK=3\r\n[B]\r\nk=4\r\n[a]\r\nk=5\r\n");
    EXPECT_TRUE(m_cfg->RemoveKey("A", "k"));
    int v = 0;
    EXPECT_FALSE(m_cfg->GetInt("A", "k", v));
    EXPECT_EQ(FileBytes(), "[A]\r\nother=2\r\n[B]\r\nk=4\r\n[a]\r\n");
    EXPECT_TRUE(m_cfg->RemoveKey("A", "k")) << "removing a missing key is no failure";
    EXPECT_FALSE(m_cfg->RemoveKey(nullptr, "k"));
    Reload();
    EXPECT_FALSE(m_cfg->GetInt("A", "k", v));
    EXPECT_TRUE(m_cfg->GetInt("B", "k", v));
    EXPECT_EQ(v, 4);
}

TEST_F(Config, NamesThatCannotBeStoredAreRefused) {
    EXPECT_FALSE(m_cfg->SetInt(nullptr, "k", 1));
    EXPECT_FALSE(m_cfg->SetInt("A", nullptr, 1));
    EXPECT_FALSE(m_cfg->SetInt("", "k", 1));
    EXPECT_FALSE(m_cfg->SetInt("A", "", 1));
    EXPECT_FALSE(m_cfg->SetInt("A]", "k", 1));
    EXPECT_FALSE(m_cfg->SetInt("A", "a=b", 1));
    EXPECT_FALSE(m_cfg->SetInt("A", "line\nbreak", 1));
    EXPECT_FALSE(m_cfg->SetInt("A", " padded", 1));
    EXPECT_FALSE(m_cfg->SetInt("A", ";comment", 1));
    EXPECT_EQ(FileBytes(), "");
    int v = 3;
    EXPECT_FALSE(m_cfg->GetInt(nullptr, nullptr, v));
    EXPECT_FALSE(m_cfg->GetInt(nullptr, "k", v, 9));
    EXPECT_EQ(v, 9);
    EXPECT_TRUE(m_cfg->SetString("A", "k", nullptr, 0)) << "a null value is an empty string";
    std::string s = "x";
    EXPECT_TRUE(m_cfg->GetString("A", "k", s));
    EXPECT_EQ(s, "");
}

TEST_F(Config, ByteOrderMarkAndUtf16FilesAreRead) {
    UseFile("\xEF\xBB\xBF[VEText]\r\nText=" + kChinese + "\r\n");
    std::string s;
    EXPECT_TRUE(m_cfg->GetString("VEText", "Text", s));
    EXPECT_EQ(s, kChinese);

    std::wstring wide =
        Charset::String2WString("[VEText]\r\nText=" + kChinese + kEmoji + "\r\n[Camera]\r\nWidth=320\r\n");
    std::string utf16 = "\xFF\xFE";
    for (wchar_t c : wide) {
        utf16 += static_cast<char>(c & 0xFF);
        utf16 += static_cast<char>((c >> 8) & 0xFF);
    }
    UseFile(utf16);
    EXPECT_TRUE(m_cfg->GetString("VEText", "Text", s));
    EXPECT_EQ(s, kChinese + kEmoji);
    ASSERT_TRUE(m_cfg->SetInt("Camera", "Height", 240));
    EXPECT_EQ(FileBytes(), "[VEText]\r\nText=" + kChinese + kEmoji + "\r\n[Camera]\r\nWidth=320\r\nHeight=240\r\n")
        << "written back as UTF-8";
}

TEST_F(Config, DamagedOrHugeFileIsMovedAsideBeforeTheFirstWrite) {
    const std::string damaged = std::string("[Camera]\r\nWidth=320\r\n") + std::string(64, '\0');
    ASSERT_TRUE(zxtest::WriteFile(m_path + ".bad", "an older one"));
    UseFile(damaged);
    int v = 5;
    EXPECT_FALSE(m_cfg->GetInt("Camera", "Width", v)) << "a damaged file is not parsed";
    EXPECT_EQ(v, 5);
    EXPECT_EQ(FileBytes(), damaged) << "reading alone leaves the file alone";

    std::string file, copy;
    EXPECT_FALSE(m_cfg->TakeSetAsideFile(file, copy)) << "nothing set aside yet";
    ASSERT_TRUE(m_cfg->SetInt("Camera", "Height", 240));
    EXPECT_EQ(zxtest::ReadFile(m_path + ".bad"), "an older one") << "an earlier copy is kept";
    EXPECT_EQ(zxtest::ReadFile(m_path + ".1.bad"), damaged) << "the user's file is kept beside it";
    EXPECT_EQ(FileBytes(), "[Camera]\r\nHeight=240\r\n");
    ASSERT_TRUE(m_cfg->TakeSetAsideFile(file, copy));
    EXPECT_EQ(file, m_path);
    EXPECT_EQ(copy, m_path + ".1.bad");
    EXPECT_FALSE(m_cfg->TakeSetAsideFile(file, copy)) << "told once";
    ASSERT_TRUE(m_cfg->SetInt("Camera", "Height", 480));
    EXPECT_EQ(zxtest::ReadFile(m_path + ".1.bad"), damaged) << "moved aside once, not again";
    EXPECT_FALSE(File::IsExistFile(m_path + ".2.bad"));

    // A huge file is not parsed either, and kept the same way.
    std::string huge = "[Camera]\r\nWidth=320\r\n;" + std::string((8u << 20), 'x') + "\r\n";
    UseFile(huge);
    EXPECT_FALSE(m_cfg->GetInt("Camera", "Width", v));
    ASSERT_TRUE(m_cfg->SetInt("Camera", "Width", 640));
    EXPECT_EQ(File::GetFileSize(m_path + ".2.bad"), static_cast<int64_t>(huge.size()));
    EXPECT_EQ(FileBytes(), "[Camera]\r\nWidth=640\r\n");
}

TEST_F(Config, FailedWritesReturnFalseLogAndKeepTheValue) {
    // A folder that does not exist is not created.
    std::string missing = m_dir + "no such folder\\ZxVCam.ini";
    ZxConfigSetFile(missing.c_str());
    EXPECT_FALSE(m_cfg->SetInt("Camera", "Width", 320));
    int v = 0;
    EXPECT_TRUE(m_cfg->GetInt("Camera", "Width", v)) << "the value stays in memory";
    EXPECT_EQ(v, 320);

    // A read-only file is not replaced; once writable again, the next setter
    // writes everything, also an unchanged value.
    UseFile("[Camera]\r\nWidth=320\r\n");
    std::wstring wpath = Charset::String2WString(m_path);
    ASSERT_TRUE(SetFileAttributesW(wpath.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(m_cfg->SetInt("Camera", "Height", 240));
    EXPECT_FALSE(m_cfg->SetInt("Camera", "Width", 640));
    EXPECT_EQ(FileBytes(), "[Camera]\r\nWidth=320\r\n");
    EXPECT_TRUE(m_cfg->GetInt("Camera", "Width", v));
    EXPECT_EQ(v, 640);
    ASSERT_TRUE(SetFileAttributesW(wpath.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(m_cfg->SetInt("Camera", "Width", 640));
    EXPECT_EQ(FileBytes(), "[Camera]\r\nWidth=640\r\nHeight=240\r\n");

    // A folder where the file should be: nothing is renamed or written.
    std::string folder = m_dir + "folder.ini";
    ASSERT_TRUE(Dir::MakeDir(folder));
    ZxConfigSetFile(folder.c_str());
    EXPECT_FALSE(m_cfg->SetInt("Camera", "Width", 1));
    EXPECT_TRUE(Dir::IsDirectory(folder));
    EXPECT_FALSE(Dir::IsDirectory(folder + ".bad"));

    ASSERT_TRUE(LogFlush(zxtest::kHangGuardMs));
    std::string log = zxtest::ReadFile(Dir::GetLogPath() + "ZxModConfig.txt");
    EXPECT_NE(log.find(missing), std::string::npos) << "the log names the file" << log;
}

TEST_F(Config, ConcurrentSettersAllReachTheFile) {
    const int kThreads = 6, kKeys = 15;
    std::vector<std::thread> threads;
    std::vector<int> failures(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t, &failures] {
            std::string section = t % 2 ? "Shared" : "Own" + std::to_string(t);
            for (int k = 0; k < kKeys; ++k) {
                std::string key = "t" + std::to_string(t) + "k" + std::to_string(k);
                if (!m_cfg->SetInt(section.c_str(), key.c_str(), t * 100 + k)) ++failures[t];
                int back = -1;
                if (!m_cfg->GetInt(section.c_str(), key.c_str(), back) || back != t * 100 + k) ++failures[t];
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;

    Reload();
    for (int t = 0; t < kThreads; ++t) {
        std::string section = t % 2 ? "Shared" : "Own" + std::to_string(t);
        for (int k = 0; k < kKeys; ++k) {
            int v = -1;
            EXPECT_TRUE(m_cfg->GetInt(section.c_str(), ("t" + std::to_string(t) + "k" + std::to_string(k)).c_str(), v));
            EXPECT_EQ(v, t * 100 + k);
        }
    }
}

TEST(ConfigDefaultFile, LivesInTheUserDataFolder) {
    // Only the data folder moves; the log stays where the other tests look.
    std::string data = zxtest::MakeTempDir("cfg-default") + "AppData\\ZxVCam\\";
    SetEnvironmentVariableW(L"ZXVCAM_DATA_DIR", Charset::String2WString(data).c_str());
    ZxConfigSetFile(nullptr);  // located again, in the redirected folder
    IConfigManager* cfg = AfxGetConfigManager();
    ASSERT_TRUE(cfg->SetString("SkinMgr", "Skin", kChinese.c_str(), 0));
    ASSERT_EQ(Dir::GetZxPath(101), data);
    EXPECT_EQ(zxtest::ReadFile(data + "ZxVCam.ini"), "[SkinMgr]\r\nSkin=" + kChinese + "\r\n");
}

}  // namespace
