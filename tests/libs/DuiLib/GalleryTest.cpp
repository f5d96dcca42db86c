// The gallery driven with real window messages: states, pictures, clicks,
// groups, pages, sliders, combo boxes, the edit box and the input method,
// tiles, menus, timers.
#include "DuiTestSupport.h"

#include <imm.h>

#include "TestSupport.h"
#include "ZxLib/ZxLib.h"

using namespace DuiLib;
using duitest::GalleryWindow;
using duitest::Rgb;

namespace {

TEST(DuiGallery, ButtonStatesPicturesAndClick) {
    GalleryWindow w;
    CControlUI* btn = w.Find("btnNormal");
    ASSERT_NE(btn, nullptr);
    const RECT rc = btn->GetPos();
    const POINT probe{rc.left + 6, rc.top + 14};  // left of the text, inside the picture
    const POINT mid = w.Center("btnNormal");
    const POINT away{rc.left + 2, rc.bottom + 40};
    EXPECT_EQ(Rgb(w.Pixel(probe.x, probe.y)), 0x3C78D8u) << "normal picture";

    w.Move(mid);
    EXPECT_TRUE(btn->GetState() & UISTATE_HOT);
    EXPECT_EQ(Rgb(w.Pixel(probe.x, probe.y)), 0x5A96F0u) << "hot picture";

    w.Down(mid);
    EXPECT_TRUE(btn->GetState() & UISTATE_PUSHED);
    EXPECT_EQ(Rgb(w.Pixel(probe.x, probe.y)), 0x1E50A0u) << "pushed picture";
    EXPECT_EQ(w.rec.Count("click"), 0) << "a click comes with the release";
    w.Up(mid);
    EXPECT_EQ(w.rec.Count("click", "btnNormal"), 1);
    EXPECT_FALSE(btn->GetState() & UISTATE_PUSHED);
    EXPECT_EQ(w.pm().GetFocus(), btn);

    // Pressed, moved off and released outside: no click.
    w.Down(mid);
    w.Move(away, MK_LBUTTON);
    EXPECT_FALSE(btn->GetState() & UISTATE_PUSHED);
    w.Up(away);
    EXPECT_EQ(w.rec.Count("click", "btnNormal"), 1);
    w.Move(away);
    EXPECT_FALSE(btn->GetState() & UISTATE_HOT);
    EXPECT_EQ(Rgb(w.Pixel(probe.x, probe.y)), 0x3C78D8u);

    // Keyboard: Enter on the focused button clicks it.
    w.Key(VK_RETURN);
    EXPECT_EQ(w.rec.Count("click", "btnNormal"), 2);

    // A disabled button shows its picture and never clicks.
    CControlUI* off = w.Find("btnDisabled");
    const RECT rcOff = off->GetPos();
    EXPECT_EQ(Rgb(w.Pixel(rcOff.left + 6, rcOff.top + 14)), 0xB4B4B4u);
    w.Click("btnDisabled");
    EXPECT_EQ(w.rec.Count("click", "btnDisabled"), 0);
    off->SetEnabled(true);
    w.Click("btnDisabled");
    EXPECT_EQ(w.rec.Count("click", "btnDisabled"), 1);
}

TEST(DuiGallery, OptionGroupsCheckBoxesAndPages) {
    GalleryWindow w;
    auto* a = w.FindAs<COptionUI>("radioA", "Option");
    auto* b = w.FindAs<COptionUI>("radioB", "Option");
    auto* c = w.FindAs<COptionUI>("radioC", "Option");
    ASSERT_TRUE(a && b && c);
    EXPECT_TRUE(a->IsSelected());
    w.Click("radioB");
    EXPECT_TRUE(b->IsSelected());
    EXPECT_FALSE(a->IsSelected());
    EXPECT_FALSE(c->IsSelected());
    EXPECT_EQ(w.rec.Count("click", "radioB"), 1);
    EXPECT_EQ(w.rec.Count("selectchanged", "radioA"), 1);
    EXPECT_EQ(w.rec.Count("selectchanged", "radioB"), 1);
    w.Click("radioB");
    EXPECT_TRUE(b->IsSelected()) << "a group keeps one option selected";
    EXPECT_EQ(w.rec.Count("selectchanged", "radioB"), 1);

    auto* chk = w.FindAs<COptionUI>("chkA", "Option");
    EXPECT_FALSE(chk->IsSelected());
    w.Click("chkA");
    EXPECT_TRUE(chk->IsSelected());
    w.Click("chkA");
    EXPECT_FALSE(chk->IsSelected());
    EXPECT_EQ(w.rec.Count("click", "chkA"), 2);
    // The check picture follows the state.
    RECT rcChk = chk->GetPos();
    w.Click("chkA");
    EXPECT_EQ(Rgb(w.Pixel(rcChk.left + 3, rcChk.top + 6 + 12)), 0x2E9E4Fu);

    auto* tab = w.FindAs<CTabLayoutUI>("tabDemo", "TabLayout");
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->GetCurSel(), 0);
    w.Click("optPage2");
    EXPECT_EQ(tab->GetCurSel(), 2);
    EXPECT_TRUE(w.Find("page2")->IsVisible());
    EXPECT_FALSE(w.Find("page0")->IsVisible());
    w.pm().UpdateNow();
    RECT page = w.Find("page2")->GetPos();
    EXPECT_EQ(Rgb(w.Pixel(page.right - 5, page.top + 5)), 0xFDF1E4u);
    EXPECT_TRUE(w.FindAs<COptionUI>("optPage2", "Option")->IsSelected());
    EXPECT_FALSE(w.FindAs<COptionUI>("optPage0", "Option")->IsSelected());
    EXPECT_TRUE(b->IsSelected()) << "groups are separate";
}

TEST(DuiGallery, SliderDragClickKeysAndWheel) {
    GalleryWindow w;
    auto* s = w.FindAs<CSliderUI>("sliderA", "Slider");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->GetValue(), 40);
    RECT thumb = s->GetThumbRect();
    POINT p{(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2};
    w.Down(p);
    for (int i = 0; i < 6; ++i) {
        p.x += 10;
        w.Move(p, MK_LBUTTON);
    }
    const int dragging = w.rec.Count("valuechanging", "sliderA");
    EXPECT_GE(dragging, 5);
    EXPECT_EQ(w.rec.Count("valuechanged", "sliderA"), 0) << "nothing final while the button is down";
    const int during = s->GetValue();
    EXPECT_EQ(during, 40 + static_cast<int>(60.0 * 100 / (s->GetWidth() - s->GetThumbSize().cx) + 0.5));
    EXPECT_EQ(w.Find("lblSlider")->GetText(), std::to_string(during));
    w.Up(p);
    EXPECT_EQ(w.rec.Count("valuechanged", "sliderA"), 1);
    EXPECT_EQ(s->GetValue(), during);

    // A click at the far end jumps there.
    const RECT rc = s->GetPos();
    w.Click(POINT{rc.right - 1, (rc.top + rc.bottom) / 2});
    EXPECT_EQ(s->GetValue(), 100);
    EXPECT_EQ(w.rec.Count("valuechanged", "sliderA"), 2);
    EXPECT_EQ(w.Find("lblSlider")->GetText(), "100");

    // Keys and wheel step by one and say so.
    w.Key(VK_LEFT);
    EXPECT_EQ(s->GetValue(), 99);
    w.Key(VK_HOME);
    EXPECT_EQ(s->GetValue(), 0);
    w.Wheel(w.Center("sliderA"), 1);
    EXPECT_EQ(s->GetValue(), 1);
    EXPECT_EQ(w.rec.Count("valuechanged", "sliderA"), 5);
    w.Key(VK_LEFT);
    w.Key(VK_LEFT);
    EXPECT_EQ(s->GetValue(), 0);
    EXPECT_EQ(w.rec.Count("valuechanged", "sliderA"), 6) << "no notification without a change";
}

TEST(DuiGallery, ComboSelectionByTextAndFromTheList) {
    GalleryWindow w;
    auto* combo = w.FindAs<CComboUI>("comboFruit", "Combo");
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->GetCurSel(), 0);
    EXPECT_EQ(combo->GetText(), "苹果 Apple");
    EXPECT_TRUE(combo->SelectItemByText("橙子 Orange"));
    EXPECT_EQ(combo->GetCurSel(), 2);
    ASSERT_EQ(w.rec.Count("itemselect", "comboFruit"), 1);
    EXPECT_EQ(w.rec.msgs.back().wParam, 2u);
    EXPECT_EQ(w.rec.msgs.back().lParam, 0);
    EXPECT_EQ(combo->GetSelectedItem()->GetUserData(), "orange");
    EXPECT_EQ(combo->GetSelectedItem()->GetTag(), 13u);
    EXPECT_FALSE(combo->SelectItemByText("梨 Pear"));
    EXPECT_EQ(combo->GetCurSel(), 2);
    EXPECT_EQ(w.Find("lblStatus")->GetText(), "状态：已选 橙子 Orange");

    // Opened with a click; an item of the list chosen with the mouse.
    w.Click("comboFruit");
    HWND drop = combo->GetDropWindow();
    ASSERT_NE(drop, nullptr);
    EXPECT_TRUE(IsWindowVisible(drop));
    duitest::ClickListItem(combo, 3);
    EXPECT_EQ(combo->GetCurSel(), 3);
    EXPECT_EQ(combo->GetText(), "葡萄 Grape");
    EXPECT_EQ(w.rec.Count("itemselect", "comboFruit"), 2);
    EXPECT_EQ(combo->GetDropWindow(), nullptr);
    EXPECT_FALSE(IsWindow(drop));

    // Escape closes the list and changes nothing.
    w.Click("comboFruit");
    drop = combo->GetDropWindow();
    ASSERT_NE(drop, nullptr);
    SendMessageW(drop, WM_KEYDOWN, VK_ESCAPE, 0);
    duitest::Pump();
    EXPECT_FALSE(IsWindow(drop));
    EXPECT_EQ(combo->GetCurSel(), 3);

    // Refilled as the program does: emptied, items added, one selected by text.
    combo->RemoveAll();
    EXPECT_EQ(combo->GetCurSel(), -1);
    EXPECT_EQ(combo->GetText(), "");
    for (const char* t : {"640x480", "1280x720"}) {
        auto* item = new CListLabelElementUI;
        item->SetText(t);
        item->SetUserData(t);
        EXPECT_TRUE(combo->Add(item));
    }
    EXPECT_TRUE(combo->SelectItemByText("1280x720"));
    EXPECT_EQ(combo->GetCurSel(), 1);
    EXPECT_FALSE(combo->Add(new CButtonUI)) << "only list items";
}

TEST(DuiGallery, EditTypingTheInputMethodTextChangeAndFocusLoss) {
    GalleryWindow w;
    auto* edit = w.FindAs<CEditUI>("editName", "Edit");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->GetText(), "你好，DuiLib");
    w.Click("editName");
    HWND native = edit->GetNativeEditWindow();
    ASSERT_NE(native, nullptr);
    EXPECT_EQ(GetFocus(), native);
    EXPECT_EQ(GetParent(native), w.hwnd());
    for (wchar_t ch : std::wstring(L"!中")) SendMessageW(native, WM_CHAR, ch, 1);
    EXPECT_EQ(w.rec.Count("TextChange", "editName"), 2);
    EXPECT_EQ(edit->GetText(), "你好，DuiLib!中");
    EXPECT_EQ(w.rec.Count("killfocus", "editName"), 0);

    // Characters the input method produces arrive as WM_IME_CHAR.
    for (wchar_t ch : std::wstring(L"摄像头")) SendMessageW(native, WM_IME_CHAR, ch, 1);
    EXPECT_EQ(edit->GetText(), "你好，DuiLib!中摄像头");
    EXPECT_GE(w.rec.Count("TextChange", "editName"), 3);
    EXPECT_EQ(w.Find("lblStatus")->GetText(), "状态：输入 你好，DuiLib!中摄像头");

    // The composition window opens at the caret: at the end of the text,
    // then, with the caret moved to the start, further left.
    HIMC imc = ImmGetContext(native);
    ASSERT_NE(imc, nullptr) << "the edit window has an input context";
    SendMessageW(native, WM_IME_STARTCOMPOSITION, 0, 0);
    COMPOSITIONFORM cf{};
    ASSERT_TRUE(ImmGetCompositionWindow(imc, &cf));
    POINT caret{};
    GetCaretPos(&caret);
    EXPECT_EQ(cf.dwStyle, static_cast<DWORD>(CFS_POINT));
    EXPECT_EQ(cf.ptCurrentPos.x, caret.x);
    EXPECT_EQ(cf.ptCurrentPos.y, caret.y);
    EXPECT_GT(cf.ptCurrentPos.x, 60) << "behind fourteen characters";
    SendMessageW(native, WM_IME_ENDCOMPOSITION, 0, 0);
    const LONG atEnd = cf.ptCurrentPos.x;
    SendMessageW(native, EM_SETSEL, 0, 0);
    SendMessageW(native, WM_IME_STARTCOMPOSITION, 0, 0);
    ASSERT_TRUE(ImmGetCompositionWindow(imc, &cf));
    EXPECT_LT(cf.ptCurrentPos.x, atEnd);
    SendMessageW(native, WM_IME_ENDCOMPOSITION, 0, 0);
    ImmReleaseContext(native, imc);
    // Typed at the start, the text goes there.
    SendMessageW(native, WM_IME_CHAR, L'新', 1);
    EXPECT_EQ(edit->GetText(), "新你好，DuiLib!中摄像头");

    // Clicking another control ends the editing; the text stays.
    w.Click("btnNormal");
    duitest::Pump();
    EXPECT_EQ(w.rec.Count("killfocus", "editName"), 1);
    EXPECT_EQ(edit->GetNativeEditWindow(), nullptr);
    EXPECT_FALSE(IsWindow(native));
    EXPECT_EQ(edit->GetText(), "新你好，DuiLib!中摄像头");
    // Text set by the program shows without a TextChange.
    const int changes = w.rec.Count("TextChange", "editName");
    edit->SetText("abc");
    EXPECT_EQ(w.rec.Count("TextChange", "editName"), changes);
    RECT rc = edit->GetPos();
    EXPECT_GT(w.DarkPixels(RECT{rc.left + 2, rc.top + 2, rc.left + 40, rc.bottom - 2}, 300), 10);

    // Tab moves the focus through the controls that take it, in skin order.
    EXPECT_EQ(w.pm().GetFocus(), w.Find("btnNormal"));
    w.Key(VK_TAB);
    EXPECT_EQ(w.pm().GetFocus(), w.Find("btnFore"));
    w.Key(VK_TAB);
    EXPECT_EQ(w.pm().GetFocus(), w.Find("btnMenu")) << "the disabled button is passed over";
}

TEST(DuiGallery, TilesScrollMenuAndDoubleClick) {
    GalleryWindow w;
    auto* tiles = w.FindAs<CTileLayoutUI>("tileList", "TileLayout");
    ASSERT_NE(tiles, nullptr);
    ASSERT_GT(tiles->GetScrollRange(), 0);

    // The scroll bar's thumb dragged to the bottom (the wheel on the
    // program's tile lists is their own: TileListTest).
    CScrollBarUI* bar = tiles->GetVerticalScrollBar();
    RECT th = bar->GetThumbRect();
    POINT p{(th.left + th.right) / 2, (th.top + th.bottom) / 2};
    w.Down(p);
    w.Move(POINT{p.x, p.y + 400}, MK_LBUTTON);
    w.Up(POINT{p.x, p.y + 400});
    EXPECT_EQ(tiles->GetScrollPos(), tiles->GetScrollRange());
    tiles->HomeUp();

    // Right button: "menu" with the point; double click: "dbbuttondown".
    POINT c2 = w.Center("tile_2");
    w.RightClick(c2);
    ASSERT_EQ(w.rec.Count("menu", "tile_2"), 1);
    EXPECT_EQ(w.rec.msgs.back().ptMouse.x, c2.x);
    EXPECT_EQ(w.rec.msgs.back().ptMouse.y, c2.y);
    w.RightClick(w.Center("btnNormal"));
    EXPECT_EQ(w.rec.Count("menu"), 1) << "only controls with the context menu on";
    w.DoubleClick(w.Center("tile_3"));
    EXPECT_EQ(w.rec.Count("dbbuttondown", "tile_3"), 1);
    EXPECT_EQ(w.rec.Count("click", "tile_3"), 2);
}

TEST(DuiGallery, MenuResultsAndDismissal) {
    GalleryWindow w;
    // Entries: 4 px inset, "打开主界面" 30 high, a 9-pixel separator, "退出".
    const LPARAM exit = MAKELPARAM(40, 4 + 30 + 9 + 15);
    const struct {
        std::vector<duitest::MenuStep> steps;
        int result;
    } runs[] = {
        {{{WM_MOUSEMOVE, 0, exit}, {WM_LBUTTONDOWN, MK_LBUTTON, exit}, {WM_LBUTTONUP, 0, exit}}, 3},
        {{{WM_KEYDOWN, VK_ESCAPE}}, -1},
        {{{WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 600), w.hwnd()}}, -1},   // a click outside
    };
    for (const auto& run : runs) {
        EXPECT_TRUE(duitest::RunMenu([&] { w.Click("btnMenu"); }, run.steps));
        EXPECT_EQ(CMenuUI::GetActiveMenuWindow(), nullptr);
        EXPECT_EQ(w.dlg.GetLastMenuResult(), run.result);
    }
    EXPECT_EQ(w.Find("lblStatus")->GetText(), "状态：菜单已取消");
    EXPECT_EQ(w.rec.Count("click", "root"), 0) << "the dismissing click is used up";
    // A menu with no entries shows nothing.
    CMenuUI empty;
    EXPECT_EQ(empty.TrackPopupMenu(w.hwnd(), POINT{10, 10}), -1);
}

TEST(DuiGallery, TimersAndNotifiers) {
    GalleryWindow w;
    CControlUI* lbl = w.Find("lblStatus");
    ASSERT_TRUE(w.pm().SetTimer(lbl, 7, 20));
    EXPECT_TRUE(w.pm().HasTimer(lbl, 7));
    EXPECT_TRUE(zxtest::WaitUntil([&] {
        duitest::Pump();
        return w.rec.Count("timer", "lblStatus") >= 2;
    })) << "the timer runs";
    ASSERT_FALSE(w.rec.msgs.empty());
    EXPECT_EQ(w.rec.msgs.back().wParam, 7u);
    EXPECT_TRUE(w.pm().KillTimer(lbl, 7));
    duitest::Pump();
    int n = w.rec.Count("timer");
    // Nothing announces that a killed timer stays quiet: the messages run
    // for five of its periods before the count.
    duitest::Pump(100);
    EXPECT_EQ(w.rec.Count("timer"), n);

    // A notifier on a container hears its own controls only.
    duitest::Recorder left;
    w.Find("leftColumn")->AddNotifier(&left);
    w.Click("btnNormal");
    w.Click("tile_1");
    EXPECT_EQ(left.Count("click", "btnNormal"), 1);
    EXPECT_EQ(left.Count("click", "tile_1"), 0);
    EXPECT_EQ(w.rec.Count("click", "tile_1"), 1);
    w.Find("leftColumn")->RemoveNotifier(&left);
    w.Click("btnNormal");
    EXPECT_EQ(left.Count("click", "btnNormal"), 1);
}

LRESULT HitTest(HWND h, POINT client) {
    ClientToScreen(h, &client);
    return SendMessageW(h, WM_NCHITTEST, 0, MAKELPARAM(client.x, client.y));
}

TEST(DuiDialog, ModalLoopCaptionAndSizeEdges) {
    GalleryWindow owner;
    CGalleryDlg dlg;
    // Seen from inside the modal loop.
    bool ran = false, ownerDisabled = false;
    LRESULT onTitle = 0, onClose = 0, onLeftEdge = 0;
    const UINT result = duitest::ShowModalAndRun(dlg, owner.hwnd(), [&] {
        const HWND h = dlg.GetHWND();
        ran = true;
        ownerDisabled = !IsWindowEnabled(owner.hwnd());
        onTitle = HitTest(h, POINT{300, 12});
        onClose = HitTest(h, duitest::WindowDriver::Center(dlg.FindControl("BtnClose")));
        onLeftEdge = HitTest(h, POINT{1, 300});
        dlg.Close(7);
    });
    ASSERT_TRUE(ran);
    EXPECT_EQ(result, 7u) << "the value given to Close";
    EXPECT_TRUE(ownerDisabled) << "the owner takes no input while the dialog runs";
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd()));
    EXPECT_EQ(dlg.GetHWND(), nullptr);
    EXPECT_EQ(onTitle, HTCAPTION);
    EXPECT_EQ(onClose, HTCLIENT) << "a button in the caption band is clickable";
    EXPECT_EQ(onLeftEdge, HTLEFT);

    // The window is built from its skin again when shown a second time.
    HWND again = dlg.ShowUnModalDlg(owner.hwnd());
    ASSERT_NE(again, nullptr);
    EXPECT_NE(dlg.FindControl("btnNormal"), nullptr);
    SendMessageW(again, WM_SYSCOMMAND, SC_CLOSE, 0);
    duitest::Pump();
    EXPECT_FALSE(IsWindow(again));
}

}  // namespace
