// The skin reader and the builder: well-formed and damaged skins, unknown
// classes and attributes, window settings, defaults and fonts.
#include "DuiTestSupport.h"

#include <map>

#include "TestSupport.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"

using namespace DuiLib;

namespace {

TEST(DuiMarkup, ReadsElementsAttributesEntitiesAndLines) {
    CMarkup xml;
    const std::string text =
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<!-- a comment -->\n"
        "<Window size=\"10,20\">\n"
        "  <Label text='a &lt;b&gt; &amp; &quot;c&quot; &#x4E2D;&#25991;' name=\"l\"/>\n"
        "  <VerticalLayout>\n"
        "    <!-- inside -->\n"
        "    <Button name=\"b\" />\n"
        "  </VerticalLayout>\n"
        "</Window>\n";
    ASSERT_TRUE(xml.Load(text)) << xml.GetLastError();
    const CMarkupNode& root = xml.Root();
    EXPECT_EQ(root.name, "Window");
    EXPECT_EQ(root.line, 3);
    EXPECT_EQ(root.GetAttribute("size"), "10,20");
    ASSERT_EQ(root.children.size(), 2u);
    EXPECT_EQ(root.children[0].GetAttribute("text"), "a <b> & \"c\" \xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_EQ(root.children[0].line, 4);
    ASSERT_EQ(root.children[1].children.size(), 1u);
    EXPECT_EQ(root.children[1].children[0].GetAttribute("name"), "b");
    EXPECT_EQ(root.children[1].children[0].line, 7);
    EXPECT_EQ(root.children[1].children[0].GetAttribute("missing", "dflt"), "dflt");
}

TEST(DuiMarkup, RefusesDamagedDocumentsWithTheLine) {
    struct Case {
        const char* xml;
        int line;
        const char* what;
    } cases[] = {
        {"<A>\n<B>\n</A>", 3, "does not match"},
        {"<A>\n<B/>\n", 3, "not closed"},
        {"<A x=1/>", 1, "quoted value"},
        {"<A x='1' x='2'/>", 1, "twice"},
        {"<A\n x='&bogus;'/>", 2, "unknown entity"},
        {"<A/><B/>", 1, "second root"},
        {"", 1, "no root"},
        {"<A x='<'/>", 1, "'<'"},
        {"<A x='1'", 1, "unterminated"},
        {"<A>\n<!-- open\n</A>", 2, "comment"},
        // A surrogate has no UTF-8 form; a sign or a blank is no digit.
        {"<A x='&#xD800;'/>", 1, "character reference"},
        {"<A x='&#+65;'/>", 1, "character reference"},
        {"<A x='&# 65;'/>", 1, "character reference"},
        {"<A x='&#x110000;'/>", 1, "character reference"},
    };
    for (const Case& c : cases) {
        CMarkup xml;
        EXPECT_FALSE(xml.Load(c.xml)) << c.xml;
        EXPECT_EQ(xml.GetErrorLine(), c.line) << c.xml << ": " << xml.GetLastError();
        EXPECT_NE(xml.GetLastError().find(c.what), std::string::npos) << c.xml << ": " << xml.GetLastError();
        EXPECT_TRUE(xml.Root().name.empty());
    }
}

TEST(DuiBuilder, BuildsTheTreeAndAppliesWindowSettings) {
    CPaintManagerUI pm;
    CDialogBuilder b;
    CControlUI* root = b.CreateFromText(
        "<Window size=\"320,200\" caption=\"0,0,0,30\" mininfo=\"100,80\">\n"
        "  <Font name=\"big\" face=\"Tahoma\" size=\"20\" bold=\"true\"/>\n"
        "  <Default name=\"Button\" value=\"textcolor=&quot;#FF112233&quot; width=&quot;40&quot;\"/>\n"
        "  <VerticalLayout name=\"root\" inset=\"1,2,3,4\">\n"
        "    <Button name=\"b1\" text=\"one\"/>\n"
        "    <Button name=\"b2\" width=\"70\" tag=\"42\" userdata=\"u\"/>\n"
        "    <Combo name=\"c\"><ListLabelElement text=\"x\"/><ListLabelElement text=\"y\"/></Combo>\n"
        "  </VerticalLayout>\n"
        "</Window>",
        "inline.xml", nullptr, &pm);
    ASSERT_NE(root, nullptr);
    EXPECT_TRUE(b.GetWarnings().empty()) << b.GetWarnings()[0];
    pm.AttachDialog(root);
    EXPECT_EQ(pm.GetInitSize().cx, 320);
    EXPECT_EQ(pm.GetInitSize().cy, 200);
    EXPECT_EQ(pm.GetCaptionRect().bottom, 30);
    EXPECT_EQ(pm.GetMinInfo().cx, 100);
    auto* b1 = static_cast<CButtonUI*>(pm.FindControl("b1")->GetInterface("Button"));
    auto* b2 = static_cast<CButtonUI*>(pm.FindControl("b2")->GetInterface("Button"));
    EXPECT_EQ(b1->GetTextColor(), 0xFF112233u);
    EXPECT_EQ(b1->GetFixedWidth(), 40);
    EXPECT_EQ(b2->GetFixedWidth(), 70) << "the skin's own value wins over the default";
    EXPECT_EQ(b2->GetTag(), 42u);
    EXPECT_EQ(b2->GetUserData(), "u");
    EXPECT_EQ(b1->GetParent(), root);
    EXPECT_EQ(static_cast<CContainerUI*>(pm.FindControl("c")->GetInterface("Combo"))->GetCount(), 2);
    TFontInfo* f = pm.GetFontInfo("big");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->size, 20);
    EXPECT_TRUE(f->bold);
    ASSERT_NE(f->font, nullptr);
}

// The program's texts by key: the lookup's text in the current language,
// the skin's own where it has none, and again after the language changed.
std::map<std::string, std::string>* g_texts = nullptr;
bool LookUp(const std::string& key, std::string& text) {
    auto it = g_texts->find(key);
    if (it == g_texts->end()) return false;
    text = it->second;
    return true;
}

TEST(DuiBuilder, TextsByKeyComeFromTheLookupAndFollowAChangeOfLanguage) {
    std::map<std::string, std::string> english = {{"rec", "Record"}, {"rec.tip", "Start recording"}};
    g_texts = &english;
    CPaintManagerUI::SetTextLookup(&LookUp);
    CPaintManagerUI pm;
    CDialogBuilder b;
    CControlUI* root = b.CreateFromText(
        "<Window size=\"200,100\"><VerticalLayout>\n"
        "  <Button name=\"a\" textid=\"rec\" text=\"\xE5\xBD\x95\xE5\x83\x8F\" tooltipid=\"rec.tip\" tooltip=\"t\"/>\n"
        "  <Button name=\"b\" text=\"\xE6\x8B\x8D\xE7\x85\xA7\" textid=\"photo\"/>\n"
        "  <Combo name=\"c\"><ListLabelElement name=\"i\" textid=\"rec\" text=\"x\"/></Combo>\n"
        "</VerticalLayout></Window>",
        "inline.xml", nullptr, &pm);
    ASSERT_NE(root, nullptr);
    pm.AttachDialog(root);
    EXPECT_EQ(pm.FindControl("a")->GetText(), "Record") << "the key wins, whichever attribute comes first";
    EXPECT_EQ(pm.FindControl("a")->GetToolTip(), "Start recording");
    EXPECT_EQ(pm.FindControl("b")->GetText(), "\xE6\x8B\x8D\xE7\x85\xA7") << "a key the lookup lacks: the skin's text";
    EXPECT_EQ(pm.FindControl("i")->GetText(), "Record") << "inside a container's items too";

    std::map<std::string, std::string> other = {{"photo", "Photo"}};
    g_texts = &other;
    pm.ApplyTextIds();
    EXPECT_EQ(pm.FindControl("a")->GetText(), "\xE5\xBD\x95\xE5\x83\x8F") << "back to the skin's text";
    EXPECT_EQ(pm.FindControl("a")->GetToolTip(), "t");
    EXPECT_EQ(pm.FindControl("b")->GetText(), "Photo");
    CPaintManagerUI::SetTextLookup(nullptr);
    g_texts = nullptr;
}

TEST(DuiBuilder, UnknownClassesAndAttributesAreReportedWithTheirLine) {
    CPaintManagerUI pm;
    CDialogBuilder b;
    CControlUI* root = b.CreateFromText(
        "<Window>\n"
        "  <VerticalLayout name=\"root\">\n"
        "    <Button name=\"ok\" colour=\"red\"/>\n"
        "    <Gadget name=\"g\"><Button name=\"inner\"/></Gadget>\n"
        "    <Label name=\"l\" width=\"wide\"><Button name=\"child\"/></Label>\n"
        "  </VerticalLayout>\n"
        "</Window>",
        "odd.xml", nullptr, &pm);
    ASSERT_NE(root, nullptr);
    pm.AttachDialog(root);
    EXPECT_NE(pm.FindControl("ok"), nullptr) << "a control keeps its known attributes";
    EXPECT_EQ(pm.FindControl("g"), nullptr);
    EXPECT_EQ(pm.FindControl("inner"), nullptr) << "an unknown class is skipped with its contents";
    EXPECT_EQ(pm.FindControl("child"), nullptr);
    ASSERT_EQ(b.GetWarnings().size(), 4u);
    EXPECT_NE(b.GetWarnings()[0].find("'colour'"), std::string::npos);
    EXPECT_NE(b.GetWarnings()[1].find("<Gadget>"), std::string::npos);
    EXPECT_NE(b.GetWarnings()[2].find("'wide'"), std::string::npos);
    EXPECT_NE(b.GetWarnings()[3].find("<Button>"), std::string::npos);
}

// A builder callback creates the program's own classes; others fall back
// to the library's.
struct Callback : IDialogBuilderCallback {
    int asked = 0;
    CControlUI* CreateControl(const std::string& cls) override {
        ++asked;
        if (cls == "Special") {
            auto* p = new CLabelUI;
            p->SetUserData("special");
            return p;
        }
        return nullptr;
    }
};

TEST(DuiBuilder, CallbackCreatesTheProgramsOwnClasses) {
    Callback cb;
    CPaintManagerUI pm;
    CDialogBuilder b;
    CControlUI* root =
        b.CreateFromText("<HorizontalLayout><Special name=\"s\"/><Label name=\"l\"/></HorizontalLayout>", "cb.xml",
                         &cb, &pm);
    ASSERT_NE(root, nullptr);
    pm.AttachDialog(root);
    EXPECT_EQ(pm.FindControl("s")->GetUserData(), "special");
    EXPECT_NE(pm.FindControl("l")->GetInterface("Label"), nullptr);
    EXPECT_EQ(cb.asked, 3);
}

TEST(DuiBuilder, DamagedSkinFileLogsFileAndLineAndDoesNotCrash) {
    std::string root = zxtest::RedirectUserFolders("dui_damaged");
    std::string dir = zxtest::MakeTempDir("dui_damaged_skin");
    ASSERT_TRUE(zxtest::WriteFile(dir + "bad.xml", "<Window>\n  <VerticalLayout>\n    <Button name=\"x\">\n  </VerticalLayout>\n</Window>\n"));
    CDialogBuilder b;
    EXPECT_EQ(b.Create(dir + "bad.xml"), nullptr);
    EXPECT_EQ(b.Create(dir + "missing.xml"), nullptr);

    // A window whose skin is damaged opens empty instead of failing.
    {
        DuiLib::CZxBaseDialog dlg;
        dlg.SetWindowClassName("DuiDamagedTest");
        dlg.SetXMLPath(dir + "bad.xml");
        HWND h = dlg.Create(nullptr, "damaged", WS_POPUP, 0, 0, 0, 200, 100);
        ASSERT_NE(h, nullptr);
        ASSERT_NE(dlg.GetPaintManager().GetRoot(), nullptr);
        EXPECT_EQ(dlg.FindControl("x"), nullptr);
        dlg.ShowWindow(true, false);
        dlg.GetPaintManager().UpdateNow();
        DestroyWindow(h);
    }
    ASSERT_TRUE(LogFlush(zxtest::kHangGuardMs));
    std::string log = zxtest::ReadFile(root + "Local\\ZxVCam\\Log\\DuiLib.txt");
    EXPECT_NE(log.find("bad.xml:4: skin not loaded: end tag </VerticalLayout> does not match <Button>"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("missing.xml:0: skin not loaded: cannot open the file"), std::string::npos) << log;
    EXPECT_NE(log.find("DuiDamagedTest"), std::string::npos) << log;
}

TEST(DuiBuilder, MissingPictureIsLoggedOnceAndDrawsNothing) {
    std::string root = zxtest::RedirectUserFolders("dui_picture");
    CPaintManagerUI pm;
    EXPECT_EQ(pm.GetImage("no_such_picture_here.png"), nullptr);
    EXPECT_EQ(pm.GetImage("no_such_picture_here.png"), nullptr);
    TImageInfo* img = pm.GetImage(duitest::GallerySkinDir() + "btn_normal.png");
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->nX, 80);
    EXPECT_EQ(img->nY, 28);
    ASSERT_TRUE(LogFlush(zxtest::kHangGuardMs));
    std::string log = zxtest::ReadFile(root + "Local\\ZxVCam\\Log\\DuiLib.txt");
    size_t first = log.find("no_such_picture_here.png");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(log.find("no_such_picture_here.png", first + 1), std::string::npos);
}

}  // namespace
