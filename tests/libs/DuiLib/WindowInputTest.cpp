// The gallery, continued: the rounded shape, a new background, menus by
// keyboard, capture and deferred notifications.
#include "DuiTestSupport.h"

using namespace DuiLib;
using duitest::GalleryWindow;

namespace {

bool InRegion(HWND h, int x, int y) {
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    const int type = GetWindowRgn(h, rgn);
    const bool in = type != ERROR && PtInRegion(rgn, x, y);
    DeleteObject(rgn);
    return in;
}

TEST(DuiGalleryInput, RoundedShapeFollowsTheSize) {
    GalleryWindow w;
    EXPECT_EQ(w.pm().GetRoundCorner().cx, 10);
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(w.hwnd(), rgn), ERROR) << "the skin's rounded corners shape the window";
    RECT box{};
    GetRgnBox(rgn, &box);
    DeleteObject(rgn);
    EXPECT_EQ(box.right, 900);
    EXPECT_EQ(box.bottom, 620);
    EXPECT_FALSE(InRegion(w.hwnd(), 0, 0));
    EXPECT_FALSE(InRegion(w.hwnd(), 899, 619));
    EXPECT_TRUE(InRegion(w.hwnd(), 5, 5));
    EXPECT_TRUE(InRegion(w.hwnd(), 450, 0));
    EXPECT_TRUE(InRegion(w.hwnd(), 899, 310));

    SetWindowPos(w.hwnd(), nullptr, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER);
    duitest::Pump();
    EXPECT_FALSE(InRegion(w.hwnd(), 699, 499)) << "the corner moved with the size";
    EXPECT_TRUE(InRegion(w.hwnd(), 699, 250));
    EXPECT_FALSE(InRegion(w.hwnd(), 700, 250));
    EXPECT_TRUE(InRegion(w.hwnd(), 350, 499));
    EXPECT_FALSE(InRegion(w.hwnd(), 350, 500));
    // The layout follows the size too.
    EXPECT_EQ(w.pm().GetRoot()->GetPos().right, 700);

    // Layered, the corners' pixels are transparent as well (a layered
    // window shows its pixels whatever its region), the rest opaque.
    w.pm().SetLayerAttribute(true);
    if (w.pm().IsLayered()) {
        w.pm().UpdateNow();
        EXPECT_EQ(w.pm().GetBackBufferPixel(0, 0) >> 24, 0u);
        EXPECT_EQ(w.pm().GetBackBufferPixel(699, 499) >> 24, 0u);
        EXPECT_EQ(w.pm().GetBackBufferPixel(699, 0) >> 24, 0u);
        EXPECT_EQ(w.pm().GetBackBufferPixel(0, 499) >> 24, 0u);
        EXPECT_EQ(w.pm().GetBackBufferPixel(5, 5) >> 24, 0xFFu);
        EXPECT_EQ(w.pm().GetBackBufferPixel(350, 0) >> 24, 0xFFu);
        EXPECT_EQ(w.pm().GetBackBufferPixel(699, 250) >> 24, 0xFFu);
    }
    w.pm().SetLayerAttribute(false);

    // Square corners asked for: the whole window again.
    w.pm().SetRoundCorner(0, 0);
    HRGN none = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(w.hwnd(), none), ERROR) << "no region: the window is its rectangle";
    DeleteObject(none);
}

TEST(DuiGalleryInput, NewBackgroundReachesEveryOpenWindowAndLaterOnes) {
    GalleryWindow main;
    CGalleryDlg second;
    ASSERT_NE(second.ShowUnModalDlg(main.hwnd()), nullptr);
    duitest::Pump();
    const std::string bk2 = duitest::GallerySkinDir() + "bk_2.png";
    CSkinMgr::ChangeSubject(bk2, static_cast<DWORD>(-1), false);
    for (CPaintManagerUI* pm : {&main.pm(), &second.GetPaintManager()}) {
        EXPECT_NE(pm->GetRoot()->GetBkImage().find("bk_2.png"), std::string::npos);
        pm->UpdateNow();
        const DWORD px = pm->GetBackBufferPixel(600, 610);
        EXPECT_GT((px >> 16) & 0xFF, (px & 0xFF) + 0x18) << std::hex << px;
    }
    // A window opened afterwards starts with it.
    CGalleryDlg third;
    ASSERT_NE(third.ShowUnModalDlg(main.hwnd()), nullptr);
    EXPECT_NE(third.GetPaintManager().GetRoot()->GetBkImage().find("bk_2.png"), std::string::npos);
    // A closed window is left out of later changes; the open ones follow,
    // back to the skin's own picture.
    DestroyWindow(second.GetHWND());
    duitest::Pump();
    CSkinMgr::ChangeSubject("", static_cast<DWORD>(-1), false);
    EXPECT_EQ(main.pm().GetRoot()->GetBkImage(), "bk.png");
    EXPECT_EQ(third.GetPaintManager().GetRoot()->GetBkImage(), "bk.png");
    const DWORD px = main.Pixel(600, 610);
    EXPECT_LT((px >> 16) & 0xFF, (px & 0xFF)) << std::hex << px;
    // A picture that cannot be read changes nothing.
    CSkinMgr::ChangeSubject(duitest::GallerySkinDir() + "nothing.png", static_cast<DWORD>(-1), false);
    EXPECT_EQ(main.pm().GetRoot()->GetBkImage(), "bk.png");
    DestroyWindow(third.GetHWND());
    duitest::Pump();
}

TEST(DuiGalleryInput, EditBoxOverALayeredWindowIsAWindowOfItsOwn) {
    GalleryWindow w;
    w.pm().SetLayerAttribute(true);
    if (!w.pm().IsLayered()) GTEST_SKIP() << "no layered windows here";
    duitest::Pump();
    auto* edit = w.FindAs<CEditUI>("editName", "Edit");
    ASSERT_NE(edit, nullptr);
    w.Click("editName");
    HWND native = edit->GetNativeEditWindow();
    ASSERT_NE(native, nullptr);
    // A layered window shows no child windows: the box is an owned popup
    // laid over the control's text area, with the keyboard focus.
    const LONG style = GetWindowLongW(native, GWL_STYLE);
    EXPECT_FALSE(style & WS_CHILD);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_EQ(GetWindow(native, GW_OWNER), w.hwnd());
    EXPECT_TRUE(IsWindowVisible(native));
    EXPECT_EQ(GetFocus(), native);
    RECT onScreen;
    GetWindowRect(native, &onScreen);
    POINT tl{edit->GetPos().left + edit->GetTextPadding().left, 0};
    ClientToScreen(w.hwnd(), &tl);
    EXPECT_EQ(onScreen.left, tl.x);
    const int top = onScreen.top;

    // Typing works as in a child box, notifications included.
    for (wchar_t ch : std::wstring(L"一二")) SendMessageW(native, WM_IME_CHAR, ch, 1);
    EXPECT_EQ(edit->GetText(), "你好，DuiLib一二");
    EXPECT_EQ(w.rec.Count("TextChange", "editName"), 2);

    // It follows the window when that moves.
    RECT wr;
    GetWindowRect(w.hwnd(), &wr);
    SetWindowPos(w.hwnd(), nullptr, wr.left + 30, wr.top + 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    duitest::Pump();
    GetWindowRect(native, &onScreen);
    EXPECT_EQ(onScreen.left, tl.x + 30);
    EXPECT_EQ(onScreen.top, top + 20);

    // Hiding the window ends the editing and keeps the text.
    ShowWindow(w.hwnd(), SW_HIDE);
    duitest::Pump();
    EXPECT_EQ(w.rec.Count("killfocus", "editName"), 1);
    EXPECT_EQ(edit->GetNativeEditWindow(), nullptr);
    EXPECT_FALSE(IsWindow(native));
    EXPECT_EQ(edit->GetText(), "你好，DuiLib一二");
}

int RunMenu(GalleryWindow& w, const std::vector<duitest::MenuStep>& steps) {
    int result = 0;
    EXPECT_TRUE(duitest::RunMenu([&] { result = w.dlg.ShowMenu(POINT{20, 20}); }, steps));
    return result;
}

TEST(DuiGalleryInput, MenuByKeyboardAndDismissedByLosingTheActivation) {
    GalleryWindow w;
    // Down, Down passes over the separator to "退出"; Enter chooses it.
    EXPECT_EQ(RunMenu(w, {{WM_KEYDOWN, VK_DOWN}, {WM_KEYDOWN, VK_DOWN}, {WM_KEYDOWN, VK_RETURN}}), 3);
    EXPECT_EQ(RunMenu(w, {{WM_KEYDOWN, VK_DOWN}, {WM_KEYDOWN, VK_RETURN}}), 1);
    // Up from nothing wraps to the last entry.
    EXPECT_EQ(RunMenu(w, {{WM_KEYDOWN, VK_UP}, {WM_KEYDOWN, VK_RETURN}}), 3);
    // Another window taking the activation or the focus dismisses it.
    EXPECT_EQ(RunMenu(w, {{WM_ACTIVATE, WA_INACTIVE}}), -1);
    EXPECT_EQ(RunMenu(w, {{WM_KILLFOCUS, 0}}), -1);
    EXPECT_EQ(CMenuUI::GetActiveMenuWindow(), nullptr);
    EXPECT_EQ(w.Find("lblStatus")->GetText(), "状态：菜单已取消");
}

// A WM_QUIT posted while a dialog runs modally.
TEST(DuiGalleryInput, QuitDuringAModalLoopReachesTheOuterLoop) {
    GalleryWindow owner;
    CGalleryDlg dlg;
    duitest::ShowModalAndRun(dlg, owner.hwnd(), [] { PostQuitMessage(5); });
    // The modal loop ended and gave the owner its input back; the quit is
    // still there for the program's own loop.
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd()));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 5u);
    if (dlg.GetHWND()) DestroyWindow(dlg.GetHWND());
}

TEST(DuiGalleryInput, HoverRepaintsOnlyWhatChangedAndShowsTheToolTip) {
    GalleryWindow w;
    // Over a tile: the tile alone is painted again, and its tool tip shows
    // after the hover delay.
    CControlUI* tile = w.Find("tile_5");
    const RECT rc = tile->GetPos();
    w.Move(POINT{5, 600});
    w.pm().UpdateNow();
    w.pm().ResetPaintStats();
    const POINT c = w.Center("tile_5");
    w.Move(c);
    w.pm().UpdateNow();
    ASSERT_EQ(w.pm().GetPaintStats().paints, 1u);
    const RECT painted = w.pm().GetPaintStats().lastRect;
    EXPECT_TRUE(EqualRect(&painted, &rc)) << "the tile alone is painted again";
    // Moving inside the same control paints nothing.
    w.Move(POINT{c.x + 3, c.y + 2});
    w.pm().UpdateNow();
    EXPECT_EQ(w.pm().GetPaintStats().paints, 1u);
    // The hover comes from the system's mouse tracking.
    SendMessageW(w.hwnd(), WM_MOUSEHOVER, 0, MAKELPARAM(c.x, c.y));
    HWND tip = w.pm().GetToolTipWindow();
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(w.pm().GetToolTipText(), "第 5 张图片");
    EXPECT_TRUE(IsWindowVisible(tip));
    w.Move(w.Center("hdrTiles"));
    EXPECT_FALSE(IsWindowVisible(tip)) << "gone when the mouse leaves the control";
}

TEST(DuiGalleryInput, PicturesAndFontsAreLoadedOnceAndShared) {
    GalleryWindow a;
    const size_t pictures = CImageMgr::GetCount();
    TImageInfo* bk = a.pm().GetImage("bk.png");
    ASSERT_NE(bk, nullptr);
    GalleryWindow b;
    EXPECT_EQ(CImageMgr::GetCount(), pictures) << "a second window loads no picture again";
    EXPECT_EQ(b.pm().GetImage("bk.png"), bk);
    EXPECT_EQ(CImageMgr::GetImage(duitest::GallerySkinDir() + "bk.png"), bk) << "also under its full path";
    // A font named in a skin is found by a window whose skin has none.
    CPaintManagerUI plain;
    TFontInfo* f = plain.GetFontInfo("tileItem.Font");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->face, a.pm().GetFontInfo("tileItem.Font")->face);
    EXPECT_EQ(f->face, "宋体");
    EXPECT_EQ(f->size, 12);
    EXPECT_NE(f, plain.GetFontInfo("")) << "not the default font";
    ASSERT_NE(f->font, nullptr);
    ASSERT_NE(f->hFont, nullptr);

    // A picture file loaded by path belongs to the caller until handed to
    // the image manager; a damaged file gives nothing.
    TImageInfo* img = CRenderEngine::LoadFullPathImageFile(duitest::GallerySkinDir() + "icon_star.png");
    ASSERT_NE(img, nullptr);
    EXPECT_GT(img->nX, 0);
    EXPECT_EQ(img->bits.size(), static_cast<size_t>(img->nX) * img->nY * 4);
    EXPECT_TRUE(CImageMgr::AddImage("shared star", img));
    EXPECT_EQ(a.pm().GetImage("shared star"), img);
    EXPECT_EQ(CRenderEngine::LoadFullPathImageFile(duitest::GallerySkinDir() + "gallery.xml"), nullptr);
    CImageMgr::RemoveImage("shared star");
}

TEST(DuiGalleryInput, LostCaptureReleasesWithoutAClick) {
    GalleryWindow w;
    // A slider being dragged keeps the value reached and says it is final.
    auto* s = w.FindAs<CSliderUI>("sliderA", "Slider");
    ASSERT_NE(s, nullptr);
    RECT thumb = s->GetThumbRect();
    POINT p{(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2};
    w.Down(p);
    EXPECT_TRUE(w.pm().IsCaptured());
    EXPECT_EQ(GetCapture(), w.hwnd());
    w.Move(POINT{p.x + 30, p.y}, MK_LBUTTON);
    const int reached = s->GetValue();
    EXPECT_GT(reached, 40);
    EXPECT_EQ(w.rec.Count("valuechanged", "sliderA"), 0);
    // Another window takes the mouse (a system dialog, a drag elsewhere).
    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(other, nullptr);
    SetCapture(other);
    duitest::Pump();
    EXPECT_FALSE(w.pm().IsCaptured());
    EXPECT_EQ(w.pm().GetCapture(), nullptr);
    EXPECT_EQ(w.rec.Count("valuechanged", "sliderA"), 1);
    EXPECT_EQ(s->GetValue(), reached);
    EXPECT_FALSE(s->GetState() & UISTATE_PUSHED);
    ReleaseCapture();

    // A pressed button loses its pressed look and sends no click.
    const POINT b = w.Center("btnNormal");
    w.Down(b);
    EXPECT_TRUE(w.Find("btnNormal")->GetState() & UISTATE_PUSHED);
    SetCapture(other);
    duitest::Pump();
    EXPECT_FALSE(w.Find("btnNormal")->GetState() & UISTATE_PUSHED);
    ReleaseCapture();
    w.Up(b);
    EXPECT_EQ(w.rec.Count("click", "btnNormal"), 0);
    DestroyWindow(other);
}

// Notifications sent for later arrive after the current message, in order,
// and never for a control that left the tree meanwhile.
TEST(DuiGalleryInput, DeferredNotificationsArriveInOrderAndSkipRemovedControls) {
    GalleryWindow w;
    CControlUI* a = w.Find("strip_1");
    CControlUI* b = w.Find("strip_2");
    w.pm().SendNotify(a, "first", 1, 0, true);
    w.pm().SendNotify(b, "second", 2, 0, true);
    w.pm().SendNotify(b, "third", 3, 0, true);
    EXPECT_EQ(w.rec.Count("first") + w.rec.Count("second"), 0) << "not yet";
    auto* strip = w.FindAs<CContainerUI>("stripWide", "Container");
    ASSERT_TRUE(strip->Remove(b));
    duitest::Pump();
    ASSERT_EQ(w.rec.Count("first", "strip_1"), 1);
    EXPECT_EQ(w.rec.Count("second"), 0);
    EXPECT_EQ(w.rec.Count("third"), 0);
    EXPECT_EQ(w.Find("strip_2"), nullptr);
}

}  // namespace
