// Colours and pictures with modifiers, drawn both through GDI+ (any
// Graphics) and straight into a window's back buffer: the two give the same
// pixels.
#include "DuiTestSupport.h"

using namespace DuiLib;
using duitest::Rgb;

namespace {

// A 4 x 4 picture: red, green / blue, white quadrants of 2 x 2.
void AddQuadPicture() {
    if (CImageMgr::GetImage("test_quad")) return;
    DWORD px[16];
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            px[y * 4 + x] = y < 2 ? (x < 2 ? 0xFFFF0000 : 0xFF00FF00) : (x < 2 ? 0xFF0000FF : 0xFFFFFFFF);
    ASSERT_TRUE(CImageMgr::AddImage("test_quad", CRenderEngine::CreateImage(4, 4, px)));
}

TEST(DuiRender, ColourValues) {
    EXPECT_EQ(CRenderEngine::GetColorValue("#FF112233"), 0xFF112233u);
    EXPECT_EQ(CRenderEngine::GetColorValue("#112233"), 0xFF112233u) << "no alpha means opaque";
    EXPECT_EQ(CRenderEngine::GetColorValue("0x80FFFFFF"), 0x80FFFFFFu);
    EXPECT_EQ(CRenderEngine::GetColorValue("255"), 255u);
    EXPECT_EQ(CRenderEngine::GetColorValue(""), 0u);
}

TEST(DuiRender, NumberValuesAreWholeTextsOf32BitNumbers) {
    RECT rc{};
    EXPECT_TRUE(ParseRect(" 1, -2 ,3 ,4", rc));
    EXPECT_EQ(rc.left, 1);
    EXPECT_EQ(rc.top, -2);
    EXPECT_EQ(rc.bottom, 4);
    SIZE sz{};
    EXPECT_TRUE(ParseSize("-2147483648,2147483647", sz));
    EXPECT_EQ(sz.cx, -2147483647 - 1);
    EXPECT_EQ(sz.cy, 2147483647);
    int n = 7;
    EXPECT_FALSE(ParseInt("2147483648", n)) << "beyond 32 bits";
    EXPECT_FALSE(ParseInt("-2147483649", n));
    EXPECT_FALSE(ParseInt(std::string("5\0 9", 4), n)) << "a zero byte does not end the text";
    EXPECT_FALSE(ParseRect("1,2,3", rc));
    EXPECT_FALSE(ParseSize("1,2,", sz));
    EXPECT_EQ(n, 7);
}

struct Canvas {
    Gdiplus::Bitmap bmp{40, 40, PixelFormat32bppPARGB};
    Gdiplus::Graphics g{&bmp};
    DWORD At(int x, int y) {
        Gdiplus::Color c;
        bmp.GetPixel(x, y, &c);
        return c.GetValue();
    }
};

// The same picture descriptions, for both ways of drawing.
const char* const kSourceDest = "file='test_quad' source='2,2,4,4' dest='10,10,20,20'";
const char* const kFade = "file='test_quad' source='0,0,2,2' dest='0,0,10,10' fade='128'";

TEST(DuiRender, PictureModifiersThroughGdiplus) {
    AddQuadPicture();
    Canvas c;
    c.g.Clear(Gdiplus::Color(0xFF000000));
    const RECT item{0, 0, 40, 40};
    EXPECT_TRUE(CRenderEngine::DrawImageString(c.g, nullptr, item, item, kSourceDest));
    EXPECT_EQ(c.At(15, 15), 0xFFFFFFFFu) << "the white quadrant, stretched into dest";
    EXPECT_EQ(c.At(5, 5), 0xFF000000u) << "nothing outside dest";
    EXPECT_EQ(c.At(25, 25), 0xFF000000u);
    EXPECT_FALSE(CRenderEngine::DrawImageString(c.g, nullptr, item, item, "file='no_such_picture'"));
    EXPECT_TRUE(CRenderEngine::DrawImageString(c.g, nullptr, item, item, kFade));
    DWORD f = c.At(5, 5);
    EXPECT_NEAR(static_cast<int>((f >> 16) & 0xFF), 128, 3) << std::hex << f;
    EXPECT_EQ(f & 0xFFFF, 0u);
}

TEST(DuiRender, PictureModifiersInTheBackBufferMatch) {
    AddQuadPicture();
    duitest::GalleryWindow w;
    CControlUI* spot = w.Find("spacer");
    ASSERT_NE(spot, nullptr);
    spot->SetBkColor(0xFF000000);
    spot->SetBkImage(kSourceDest);
    w.pm().UpdateNow();
    const RECT rc = spot->GetPos();
    ASSERT_GE(RectWidth(rc), 40);
    ASSERT_GE(RectHeight(rc), 30);
    EXPECT_EQ(w.Pixel(rc.left + 15, rc.top + 15), 0xFFFFFFFFu);
    EXPECT_EQ(w.Pixel(rc.left + 5, rc.top + 5), 0xFF000000u);
    EXPECT_EQ(w.Pixel(rc.left + 25, rc.top + 25), 0xFF000000u);
    spot->SetBkImage(kFade);
    DWORD f = w.Pixel(rc.left + 5, rc.top + 5);
    EXPECT_NEAR(static_cast<int>((f >> 16) & 0xFF), 128, 3) << std::hex << f;
    EXPECT_EQ(f & 0xFFFF, 0u);
    EXPECT_EQ(f >> 24, 0xFFu);
    // Nine-grid: a 1-pixel corner stays one source pixel wide.
    spot->SetBkImage("file='test_quad' corner='1,1,1,1' dest='0,0,30,30'");
    EXPECT_EQ(Rgb(w.Pixel(rc.left, rc.top)), 0xFF0000u);
    EXPECT_EQ(Rgb(w.Pixel(rc.left + 29, rc.top)), 0x00FF00u);
    EXPECT_EQ(Rgb(w.Pixel(rc.left, rc.top + 29)), 0x0000FFu);
    EXPECT_EQ(Rgb(w.Pixel(rc.left + 29, rc.top + 29)), 0xFFFFFFu);
    // A colour with alpha is blended over what is below.
    spot->SetBkImage("");
    spot->SetBkColor(0x80FFFFFF);
    DWORD half = w.Pixel(rc.left + 5, rc.top + 5);
    EXPECT_EQ(half >> 24, 0xFFu);
    EXPECT_LT((half >> 16) & 0xFF, 0xFFu);
    EXPECT_GT((half >> 16) & 0xFF, 0x80u);
}

}  // namespace
