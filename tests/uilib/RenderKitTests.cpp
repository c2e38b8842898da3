#include "ControlUI.h"
#include "MemoryCanvas.h"
#include "RenderKit.h"

#include <gtest/gtest.h>

using namespace SkinUI;

namespace {

constexpr uint32_t kWhite = 0xFFFFFF, kRed = 0xFF0000, kBlue = 0x0000FF;

class RenderKitTest : public ::testing::Test {
protected:
    void SetUp() override { CWindowManagerUI::SetResourcePath(L"fixtures"); }
    void TearDown() override { CWindowManagerUI::Term(); }
    bool draw(const wchar_t* image, const wchar_t* modify = nullptr)
    {
        RECT item = {0, 0, 100, 100};
        return CRenderKit::DrawImageString(canvas.context, &manager, item, item, image, modify);
    }
    MemoryCanvas canvas{100, 100};
    CWindowManagerUI manager;
};

bool about(int value, int expected)
{
    return value >= expected - 3 && value <= expected + 3;
}

}  // namespace

TEST_F(RenderKitTest, ColoursAndAlpha)
{
    RECT rc = {10, 10, 50, 50};
    CRenderKit::DrawColor(canvas.context, rc, 0xFFFF0000);
    EXPECT_EQ(kRed, canvas.pixel(10, 10));
    EXPECT_EQ(kRed, canvas.pixel(49, 49));
    EXPECT_EQ(kWhite, canvas.pixel(50, 50));
    CRenderKit::DrawColor(canvas.context, RECT{60, 60, 90, 90}, 0x00FF0000);
    EXPECT_EQ(kWhite, canvas.pixel(70, 70));
    CRenderKit::DrawColor(canvas.context, RECT{60, 60, 90, 90}, 0x800000FF);  // half blue over white
    EXPECT_TRUE(about(canvas.red(70, 70), 127)) << canvas.red(70, 70);
    EXPECT_EQ(255, canvas.blue(70, 70));
}

TEST_F(RenderKitTest, Gradients)
{
    CRenderKit::DrawGradient(canvas.context, RECT{0, 0, 100, 100}, 0xFFFF0000, 0xFF0000FF, true, 16);
    EXPECT_GT(canvas.red(50, 0), 230);
    EXPECT_LT(canvas.blue(50, 0), 25);
    EXPECT_GT(canvas.blue(50, 99), 230);
    EXPECT_LT(canvas.red(50, 99), 25);
    EXPECT_TRUE(about(canvas.red(50, 50), 127) || about(canvas.red(50, 49), 127));
    EXPECT_EQ(canvas.pixel(0, 30), canvas.pixel(99, 30));  // vertical: rows are uniform
    canvas.fill(kWhite);
    CRenderKit::DrawGradient(canvas.context, RECT{0, 0, 100, 100}, 0x00FF0000, 0x000000FF, false, 16);
    EXPECT_EQ(kWhite, canvas.pixel(50, 50));
}

TEST_F(RenderKitTest, RectanglesAndLines)
{
    CRenderKit::DrawRect(canvas.context, RECT{10, 10, 60, 60}, 2, 0xFF0000FF);
    EXPECT_EQ(kBlue, canvas.pixel(10, 30));
    EXPECT_EQ(kBlue, canvas.pixel(11, 30));
    EXPECT_EQ(kWhite, canvas.pixel(12, 30));
    EXPECT_EQ(kBlue, canvas.pixel(59, 30));
    EXPECT_EQ(kWhite, canvas.pixel(60, 30));
    EXPECT_EQ(kWhite, canvas.pixel(35, 35));
    CRenderKit::DrawLine(canvas.context, RECT{0, 80, 100, 80}, 1, 0xFFFF0000);
    EXPECT_EQ(kRed, canvas.pixel(50, 80));
    EXPECT_EQ(kWhite, canvas.pixel(50, 82));
}

TEST_F(RenderKitTest, NineGridKeepsCornersUnscaled)
{
    ASSERT_TRUE(draw(L"file='frame.png' source='0,0,20,20' corner='4,4,4,4'"));
    struct Case {
        int x, y;
        uint32_t rgb;
    } cases[] = {{1, 1, kBlue}, {3, 50, kBlue}, {50, 3, kBlue}, {96, 50, kBlue}, {50, 97, kBlue}, {5, 50, kRed},
        {50, 50, kRed}, {94, 94, kRed}};
    for (const Case& c : cases) EXPECT_EQ(c.rgb, canvas.pixel(c.x, c.y)) << c.x << "," << c.y;
}

TEST_F(RenderKitTest, ImageStringKeys)
{
    struct Case {
        const wchar_t* image;
        const wchar_t* modify;
        int x, y;
        uint32_t rgb;
    } cases[] = {
        {L"halves.png", nullptr, 10, 50, kRed},  // a bare name stretches over the control
        {L"halves.png", nullptr, 90, 50, kBlue},
        {L"file='halves.png' source='5,0,10,10'", nullptr, 10, 50, kBlue},
        {L"file='halves.png'", L"source='0,0,5,10'", 90, 50, kRed},  // the modifier overrides
        {L"file='halves.png' dest='50,50,70,70'", nullptr, 40, 40, kWhite},
        {L"file='halves.png' dest='50,50,70,70'", nullptr, 52, 60, kRed},
        {L"file='halves.png' dest='50,50,200,200'", nullptr, 99, 99, kBlue},  // limited to the control
        {L"file='halves.png' fade='0'", nullptr, 10, 50, kWhite},
        {L"file='magenta.png' mask='#FFFF00FF'", nullptr, 10, 50, kWhite},
        {L"file='magenta.png' mask='#FFFF00FF'", nullptr, 90, 50, kBlue},
        {L"file='magenta.png'", nullptr, 10, 50, 0xFF00FF},
        {L"file='frame.png' corner='4,4,4,4' hole='true'", nullptr, 50, 50, kWhite},
        {L"file='frame.png' corner='4,4,4,4' hole='true'", nullptr, 1, 1, kBlue},
    };
    for (const Case& c : cases) {
        canvas.fill(kWhite);
        CWindowManagerUI fresh;  // the mask is part of the image's first load
        RECT item = {0, 0, 100, 100};
        EXPECT_TRUE(CRenderKit::DrawImageString(canvas.context, &fresh, item, item, c.image, c.modify));
        EXPECT_EQ(c.rgb, canvas.pixel(c.x, c.y)) << c.image << " @" << c.x << "," << c.y;
    }
}

TEST_F(RenderKitTest, PremultipliedImagesBlend)
{
    ASSERT_TRUE(draw(L"halfgreen.png"));
    EXPECT_TRUE(about(canvas.red(50, 50), 127)) << canvas.red(50, 50);
    EXPECT_EQ(255, canvas.green(50, 50));
    const TImageInfo* image = manager.GetImage(L"halfgreen.png");
    ASSERT_NE(nullptr, image);
    EXPECT_TRUE(image->alphaChannel);
    EXPECT_EQ(4, image->nX);
    const TImageInfo* opaque = manager.GetImageEx(L"red.png");
    ASSERT_NE(nullptr, opaque);
    EXPECT_FALSE(opaque->alphaChannel);
    // Tiling repeats the centre.
    canvas.fill(kWhite);
    ASSERT_TRUE(draw(L"file='halves.png' xtiled='true'"));
    EXPECT_EQ(kRed, canvas.pixel(2, 5));
    EXPECT_EQ(kBlue, canvas.pixel(7, 5));
    EXPECT_EQ(kRed, canvas.pixel(12, 5));
}

TEST_F(RenderKitTest, UnloadableImagesFailAndMalformedStringsStop)
{
    EXPECT_FALSE(draw(L"missing.png"));
    EXPECT_FALSE(draw(L"file='missing.png'"));
    EXPECT_FALSE(draw(L"file='notazip.zip'"));  // not an image
    EXPECT_TRUE(draw(L"file='halves.png"));     // no closing quote: nothing drawn
    EXPECT_EQ(kWhite, canvas.pixel(50, 50));
    EXPECT_TRUE(draw(L"file='halves.png' source='1"));
    EXPECT_FALSE(CRenderKit::DrawImageString(nullptr, &manager, RECT{0, 0, 1, 1}, RECT{0, 0, 1, 1}, L"red.png"));
    EXPECT_FALSE(CRenderKit::DrawImageString(canvas.context, nullptr, RECT{0, 0, 1, 1}, RECT{0, 0, 1, 1}, L"red.png"));
    EXPECT_EQ(nullptr, CRenderKit::LoadImageBytes(reinterpret_cast<const uint8_t*>("\x89PNG\r\n"), 6));
}

TEST_F(RenderKitTest, OnlyTheSkinImageFormatsAreDecoded)
{
    struct Case {
        const wchar_t* name;
        bool loads;
    } cases[] = {
        {L"redblue.bmp", true},
        {L"three.gif", true},
        {L"gray8.pgm", false},
        {L"gray16.pgm", false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.loads, manager.GetImageEx(c.name) != nullptr) << c.name;
    ASSERT_TRUE(draw(L"redblue.bmp"));  // stretched with halftone: nearly red, nearly blue
    EXPECT_TRUE(canvas.red(1, 50) > 200 && canvas.blue(1, 50) < 60) << canvas.pixel(1, 50);
    EXPECT_TRUE(canvas.red(98, 50) < 60 && canvas.blue(98, 50) > 200) << canvas.pixel(98, 50);
}

TEST_F(RenderKitTest, ImagesFromTheSkinZip)
{
    CWindowManagerUI::SetResourceZip(L"skin.zip", true);
    EXPECT_TRUE(draw(L"file='IMAGES/halves.png'"));
    EXPECT_EQ(kRed, canvas.pixel(10, 50));
    CWindowManagerUI::SetResourceZip(L"");
}

TEST_F(RenderKitTest, TextStaysInsideItsBox)
{
    RECT box = {10, 10, 90, 40};
    CRenderKit::DrawText(canvas.context, &manager, box, L"Hello", 0xFF000000, -1, DT_SINGLELINE | DT_VCENTER);
    EXPECT_GT(canvas.inked(RECT{10, 10, 90, 40}), 10);
    EXPECT_EQ(0, canvas.inked(RECT{0, 45, 100, 100}));

    canvas.fill(kWhite);
    RECT html = {0, 0, 100, 30};
    int links = 0;
    CRenderKit::DrawHtmlText(canvas.context, &manager, html, L"{c #FFFF0000}RRR{/c} bbb", 0xFF000000, nullptr, nullptr,
        links, DT_SINGLELINE);
    auto reddish = [](uint32_t c) { return ((c >> 16) & 0xFF) > 160 && ((c >> 8) & 0xFF) < 100 && (c & 0xFF) < 100; };
    auto dark = [](uint32_t c) { return ((c >> 16) & 0xFF) < 90 && ((c >> 8) & 0xFF) < 90 && (c & 0xFF) < 90; };
    int redPixels = canvas.countWhere(RECT{0, 0, 100, 30}, reddish);
    int darkPixels = canvas.countWhere(RECT{0, 0, 100, 30}, dark);
    EXPECT_GT(redPixels, 5);
    EXPECT_GT(darkPixels, 5);
    EXPECT_EQ(0, canvas.inked(RECT{0, 30, 100, 100}));

    RECT linkRects[4];
    CUIString linkTexts[4];
    links = 4;
    RECT measured = {0, 0, 100, 30};
    CRenderKit::DrawHtmlText(canvas.context, &manager, measured, L"go <a http://x>here</a> now", 0xFF000000, linkRects,
        linkTexts, links, DT_SINGLELINE);
    EXPECT_EQ(1, links);
    EXPECT_STREQ(L"http://x", linkTexts[0]);
    EXPECT_GT(linkRects[0].right, linkRects[0].left);
}

TEST_F(RenderKitTest, PlainTextIsDrawTextWWithTheCallersFlags)
{
    MemoryCanvas expected{100, 100};
    const UINT styles[] = {
        DT_SINGLELINE, DT_SINGLELINE | DT_NOPREFIX, DT_WORDBREAK | DT_CENTER, DT_SINGLELINE | DT_RIGHT};
    for (UINT style : styles) {
        canvas.fill(kWhite);
        expected.fill(kWhite);
        RECT box = {5, 5, 60, 40};
        CRenderKit::DrawText(canvas.context, &manager, box, L"&Ab", 0xFF000000, -1, style);
        RECT plain = {5, 5, 60, 40};
        HGDIOBJ old = SelectObject(expected.context, manager.GetFont(-1));
        SetBkMode(expected.context, TRANSPARENT);
        DrawTextW(expected.context, L"&Ab", -1, &plain, style);
        SelectObject(expected.context, old);
        EXPECT_EQ(0, canvas.differingFrom(expected)) << style;
    }
    // The prefix is taken: "&Ab" is not drawn as its three characters.
    canvas.fill(kWhite);
    expected.fill(kWhite);
    RECT box = {5, 5, 60, 40};
    CRenderKit::DrawText(canvas.context, &manager, box, L"&Ab", 0xFF000000, -1, DT_SINGLELINE);
    box = {5, 5, 60, 40};
    CRenderKit::DrawText(expected.context, &manager, box, L"&Ab", 0xFF000000, -1, DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_NE(canvas.inked(RECT{0, 0, 100, 100}), expected.inked(RECT{0, 0, 100, 100}));
}

TEST_F(RenderKitTest, ClipsKeepPaintingInsideUntilReleased)
{
    {
        CRenderClip clip;
        CRenderKit::GenerateClip(canvas.context, RECT{10, 10, 50, 50}, clip);
        CRenderKit::DrawColor(canvas.context, RECT{0, 0, 100, 100}, 0xFFFF0000);
        EXPECT_EQ(kRed, canvas.pixel(10, 10));
        EXPECT_EQ(kRed, canvas.pixel(49, 49));
        EXPECT_EQ(kWhite, canvas.pixel(50, 50));
        EXPECT_EQ(kWhite, canvas.pixel(5, 5));
    }
    CRenderKit::DrawColor(canvas.context, RECT{0, 0, 100, 100}, 0xFF0000FF);
    EXPECT_EQ(kBlue, canvas.pixel(5, 5));  // the clip went with its record
    {
        CRenderClip clip;
        CRenderKit::GenerateRoundClip(canvas.context, RECT{0, 0, 100, 100}, RECT{0, 0, 99, 99}, 40, 40, clip);
        CRenderKit::DrawColor(canvas.context, RECT{0, 0, 100, 100}, 0xFFFF0000);
        EXPECT_EQ(kBlue, canvas.pixel(1, 1));  // outside the rounded corner
        EXPECT_EQ(kRed, canvas.pixel(50, 50));
        EXPECT_EQ(kRed, canvas.pixel(50, 1));
    }
}

TEST_F(RenderKitTest, AWordThatDoesNotFitAfterOthersMovesWholeToTheNextLine)
{
    // A link word wider than what is left of its line starts the next line
    // whole, rather than leaving its first letters behind.
    SIZE word = CRenderKit::GetTextSize(canvas.context, &manager, L"linkword", -1, 0);
    RECT box = {0, 0, word.cx + 4, 100};
    RECT linkRects[2];
    CUIString linkTexts[2];
    int links = 2;
    CRenderKit::DrawHtmlText(
        canvas.context, &manager, box, L"aa {a x}linkword{/a}", 0xFF000000, linkRects, linkTexts, links, DT_WORDBREAK);
    ASSERT_GE(links, 1);
    EXPECT_EQ(0, linkRects[0].left);
    EXPECT_GT(linkRects[0].top, 0);
    EXPECT_GE(linkRects[0].right - linkRects[0].left, word.cx);
}

TEST(RenderKit, AdjustColorAndHimetric)
{
    EXPECT_EQ(0xFF123456u, CRenderKit::AdjustColor(0xFF123456, 180, 100, 100));
    EXPECT_EQ(0xFF00FF00u, CRenderKit::AdjustColor(0xFFFF0000, 300, 100, 100));  // hue + 120 degrees
    EXPECT_EQ(0x80000000u, CRenderKit::AdjustColor(0x80FF0000, 180, 100, 0) & 0xFFFFFFFF);
    EXPECT_EQ(2540, CRenderKit::PixelsToHimetric(96, 96));
    EXPECT_EQ(0, CRenderKit::PixelsToHimetric(10, 0));
}
