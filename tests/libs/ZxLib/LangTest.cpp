#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <set>

#include "TestSupport.h"
#include "ZxLib/Lang.h"
#include "ZxLib/ZxLib.h"

namespace {

using Lang::Language;

TEST(Lang, AnyChineseDisplayLanguageIsChineseEveryOtherEnglish) {
    const struct {
        unsigned short id;
        Language expected;
    } cases[] = {
        {0x0804, Language::Chinese},  // Simplified, China
        {0x0404, Language::Chinese},  // Traditional, Taiwan
        {0x0C04, Language::Chinese},  // Hong Kong
        {0x1004, Language::Chinese},  // Singapore
        {0x1404, Language::Chinese},  // Macao
        {0x7C04, Language::Chinese},  // Traditional, neutral
        {0x0409, Language::English},  {0x0809, Language::English}, {0x0411, Language::English},  // Japanese
        {0x0412, Language::English},  // Korean
        {0x0407, Language::English},  {0x0000, Language::English},
    };
    for (const auto& c : cases) EXPECT_EQ(Lang::FromUiLanguage(c.id), c.expected) << std::hex << c.id;
    EXPECT_EQ(Lang::Resolve(Lang::Choice::AsWindows), Lang::FromUiLanguage(GetUserDefaultUILanguage()));
    EXPECT_EQ(Lang::Resolve(Lang::Choice::English), Language::English);
    EXPECT_EQ(Lang::Resolve(Lang::Choice::Chinese), Language::Chinese);

    for (Lang::Choice c : {Lang::Choice::AsWindows, Lang::Choice::Chinese, Lang::Choice::English}) {
        Lang::Choice back = Lang::Choice::AsWindows;
        EXPECT_TRUE(Lang::ParseChoice(Lang::ChoiceName(c), back));
        EXPECT_EQ(back, c);
    }
    Lang::Choice untouched = Lang::Choice::English;
    for (const char* bad : {"", "EN", "zh-CN", "english", "1"}) EXPECT_FALSE(Lang::ParseChoice(bad, untouched)) << bad;
    EXPECT_EQ(untouched, Lang::Choice::English);
}

TEST(Lang, MissingEntriesFallBackToChineseThenToTheKeyAndPlacesAreFilledSafely) {
    int skipped = -1;
    const Lang::Table zh = Lang::Table::Parse("\xEF\xBB\xBF# comment\na.b = 甲\r\nboth = 两\nbad key = x\nnoequals\n\n"
                                              "multi = 一\\n二\\\\\n",
                                              &skipped);
    EXPECT_EQ(skipped, 2);
    const Lang::Table en = Lang::Table::Parse("both = Both\nboth = Both again\n");
    EXPECT_EQ(Lang::Text(en, zh, "both"), L"Both again") << "a later entry replaces an earlier one";
    EXPECT_EQ(Lang::Text(en, zh, "a.b"), L"甲") << "missing in English: the Chinese text";
    EXPECT_EQ(Lang::Text(en, zh, "nowhere.at_all"), L"nowhere.at_all");
    EXPECT_EQ(Lang::Text(zh, zh, "multi"), L"一\n二\\");

    EXPECT_EQ(Lang::FormatText(L"{2} of {1}", {L"ten", L"three"}), L"three of ten");
    EXPECT_EQ(Lang::FormatText(L"{1} {3} {0} {x} {", {L"a"}), L"a {3} {0} {x} {") << "places with no argument stay";
    EXPECT_EQ(Lang::FormatText(L"[{1}]", {L"{1}{2}", L"no"}), L"[{1}{2}]") << "an argument is never read as a place";
}

// The folder of the sources, as this Windows program sees it.
std::string SourceDir() {
    std::string dir = "Z:" ZX_SOURCE_DIR;
    for (char& c : dir)
        if (c == '/') c = '\\';
    return dir + "\\";
}

// Every key the code and the skins use: in a skin the values of textid and
// tooltipid, in code every string literal with a key's shape (file names
// have one too and are left out).
std::set<std::string> KeysInSources() {
    const char* files[] = {"VirtualCamera\\check\\CheckWindow.cpp", "app\\dumpreport\\DumpReportDlg.cpp",
                           "resources\\skin\\base\\DumpReport.xml", "app\\main\\ZxVCamDlg.cpp",
                           "app\\main\\ZxVCamMain.cpp", "app\\main\\SingleInstance.cpp", "app\\main\\Feedback.cpp",
                           "app\\main\\RecordListPanel.cpp", "app\\main\\VideoSrcLists.cpp",
                           "app\\main\\ThumbListPanel.cpp", "app\\main\\DealVideoEffect.cpp",
                           "app\\dialogs\\RecordPreview.cpp", "app\\videoshow\\WndVideoShow.cpp",
                           "VirtualCamera\\mf\\MFFrames.cpp", "VirtualCamera\\check\\ConsoleCheck.cpp",
                           // The main window, its pages and the dialogs.
                           "app\\dialogs\\ZxVSetupDlg.cpp", "app\\dialogs\\ZxVSkinMgrDlg.cpp",
                           "app\\dialogs\\ZxAudioEffectDlg.cpp", "resources\\skin\\base\\ZxVCam.xml",
                           "resources\\skin\\base\\PageCamera.xml", "resources\\skin\\base\\PageVideoEffect.xml",
                           "resources\\skin\\base\\PageVideoSrc.xml", "resources\\skin\\base\\ZxAudioEffect.xml",
                           "resources\\skin\\base\\ZxVMsgTip.xml", "resources\\skin\\base\\ZxVRecordPreview.xml",
                           "resources\\skin\\base\\ZxVSetup.xml", "resources\\skin\\base\\ZxVSkinMgr.xml"};
    std::set<std::string> keys;
    const std::regex code("\"([a-z][a-z0-9]*(\\.[a-z0-9_]+)+)\""), skin("(textid|tooltipid)=\"([^\"]*)\"");
    const std::regex file(".*\\.(dll|exe|xml|png|jpg|txt|dat|ini|bmp)");
    for (const char* name : files) {
        const std::string text = zxtest::ReadFile(SourceDir() + name);
        EXPECT_FALSE(text.empty()) << name;
        const bool isSkin = std::string(name).rfind(".xml") == std::strlen(name) - 4;
        for (std::sregex_iterator it(text.begin(), text.end(), isSkin ? skin : code), end; it != end; ++it) {
            const std::string key = (*it)[isSkin ? 2 : 1];
            if (!std::regex_match(key, file)) keys.insert(key);
        }
    }
    return keys;
}

std::set<std::wstring> Places(const std::wstring& text) {
    std::set<std::wstring> places;
    const std::wregex place(L"\\{[0-9]+\\}");
    for (std::wsregex_iterator it(text.begin(), text.end(), place), end; it != end; ++it) places.insert(it->str());
    return places;
}

TEST(Lang, BothTablesHoldEveryKeyTheSourcesUseAndNoOther) {
    const Lang::Table& zh = Lang::BuiltIn(Language::Chinese);
    const Lang::Table& en = Lang::BuiltIn(Language::English);
    ASSERT_GT(zh.Size(), 0u);
    EXPECT_EQ(zh.Keys(), en.Keys()) << "every key in both languages";
    for (const std::string& key : zh.Keys()) {
        EXPECT_FALSE(zh.Find(key)->empty()) << key;
        EXPECT_FALSE(en.Find(key)->empty()) << key;
        EXPECT_EQ(Places(*zh.Find(key)), Places(*en.Find(key))) << "the same places in both: " << key;
    }
    const std::set<std::string> used = KeysInSources();
    for (const std::string& key : used) EXPECT_TRUE(zh.Find(key) != nullptr) << "used but not in the tables: " << key;
    for (const std::string& key : zh.Keys()) EXPECT_TRUE(used.count(key)) << "in the tables but never used: " << key;

    Lang::SetCurrent(Language::English);
    EXPECT_EQ(Lang::Text("check.format"), L"Format");
    Lang::SetCurrent(Language::Chinese);
    EXPECT_EQ(Lang::Text("check.format"), L"格式");
}

}  // namespace
