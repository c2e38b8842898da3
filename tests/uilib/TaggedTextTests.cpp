// Tagged text drawn into memory canvases, each tag beside what DrawTextW
// draws for the same letters in the font, colour and place the tag stands
// for; images, line breaks, the right edge and word breaks beside the plain
// text they must come to. The last test leaves a picture of the tags in
// tagged-text.bmp to look at.
#include "ControlUI.h"
#include "MemoryCanvas.h"
#include "RenderKit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace SkinUI;

namespace {

constexpr DWORD kBlack = 0xFF000000, kRed = 0xFFFF0000;

class TaggedText : public ::testing::Test {
protected:
    void SetUp() override
    {
        CWindowManagerUI::SetResourcePath(L"fixtures");
        TFontInfo* base = manager.GetFontInfo(-1);
        face = base->sFontName;
        size = base->iSize;
        bold = add(face, size, true, false, false);
        underline = add(face, size, false, true, false);
        italic = add(face, size, false, false, true);
        arial40 = add(L"Arial", 40, false, false, false);
        arial12all = add(L"Arial", 12, true, true, true);
    }
    void TearDown() override { CWindowManagerUI::Term(); }

    int add(const wchar_t* name, int points, bool b, bool u, bool i)
    {
        manager.AddFont(name, points, b, u, i);
        return static_cast<int>(manager.GetCustomFontCount()) - 1;
    }
    int lineHeight(int font)
    {
        const TEXTMETRICW& tm = metrics(font);
        return tm.tmHeight + tm.tmExternalLeading;
    }
    const TEXTMETRICW& metrics(int font)
    {
        TFontInfo* info = manager.GetFontInfo(font);
        HGDIOBJ old = SelectObject(tagged.context, info->hFont);
        GetTextMetricsW(tagged.context, &info->tm);
        SelectObject(tagged.context, old);
        return info->tm;
    }
    int width(const wchar_t* text, int font = -1)
    {
        return CRenderKit::GetTextSize(tagged.context, &manager, text, font, 0).cx;
    }
    // Draws on the tagged canvas; answers the rectangle (measured with DT_CALCRECT).
    RECT html(const wchar_t* text, RECT box, UINT style = DT_SINGLELINE)
    {
        int links = 0;
        CRenderKit::DrawHtmlText(tagged.context, &manager, box, text, kBlack, nullptr, nullptr, links, style);
        return box;
    }
    RECT measure(const wchar_t* text, RECT box, UINT style = DT_SINGLELINE)
    {
        return html(text, box, style | DT_CALCRECT);
    }
    // Plain text on the expected canvas, as DrawTextW draws it at (x, y).
    void plain(const wchar_t* text, int x, int y, int font = -1, DWORD colour = kBlack, RECT clip = {0, 0, 400, 200})
    {
        HRGN region = CreateRectRgnIndirect(&clip);
        SelectClipRgn(expected.context, region);
        RECT rc = {x, y, 400, 200};
        CRenderKit::DrawText(expected.context, &manager, rc, text, colour, font, DT_SINGLELINE | DT_NOPREFIX);
        SelectClipRgn(expected.context, nullptr);
        DeleteObject(region);
    }
    int differences() const { return tagged.differingFrom(expected); }

    CWindowManagerUI manager;
    MemoryCanvas tagged{400, 200}, expected{400, 200};
    CUIString face;
    int size = 0, bold = 0, underline = 0, italic = 0, arial40 = 0, arial12all = 0;
};

}  // namespace

TEST_F(TaggedText, EachTagDrawsWhatDrawTextWDrawsInItsFontColourAndPlace)
{
    const int normal = lineHeight(-1);
    const std::wstring byIndex = L"{f " + std::to_wstring(arial40) + L"}Ab";
    struct Case {
        std::wstring tagged;
        const wchar_t* plain;
        int font;
        DWORD colour;
        int x, y;
    } cases[] = {
        {L"Ab", L"Ab", -1, kBlack, 0, 0},
        {L"{b}Ab{/b}", L"Ab", bold, kBlack, 0, 0},
        {L"<u>Ab</u>", L"Ab", underline, kBlack, 0, 0},
        {L"{i}Ab{/i}", L"Ab", italic, kBlack, 0, 0},
        {L"{b}{/b}Ab", L"Ab", -1, kBlack, 0, 0},
        {L"{f Arial 40}Ab{/f}", L"Ab", arial40, kBlack, 0, 0},
        {L"{f Arial 12 bold underline italic}Ab", L"Ab", arial12all, kBlack, 0, 0},
        {L"{f Arial 40}{f 2}{/f}Ab", L"Ab", arial40, kBlack, 0, 0},
        {byIndex, L"Ab", arial40, kBlack, 0, 0},
        {L"{c #FFFF0000}Ab{/c}", L"Ab", -1, kRed, 0, 0},
        {L"{c FF0000}Ab", L"Ab", -1, kRed, 0, 0},
        {L"{c #FFFF0000}{/c}Ab", L"Ab", -1, kBlack, 0, 0},
        {L"{a somewhere}Ab{/a}", L"Ab", -1, 0xFF0000FF, 0, 0},
        {L"{x 20}Ab", L"Ab", -1, kBlack, 20, 0},
        {L"{y 40}Ab", L"Ab", -1, kBlack, 0, 40 - normal},
        {L"{y 40}{/y}Ab", L"Ab", -1, kBlack, 0, 0},
        {L"{r}{b}A&b{/r}", L"{b}A&b", -1, kBlack, 0, 0},
        {L"<r><b>Ab</r>", L"<b>Ab", -1, kBlack, 0, 0},
        {L"{q}Ab", L"Ab", -1, kBlack, 0, 0},
    };
    for (const Case& c : cases) {
        tagged.fill(MemoryCanvas::kWhite);
        expected.fill(MemoryCanvas::kWhite);
        html(c.tagged.c_str(), RECT{0, 0, 400, 200});
        plain(c.plain, c.x, c.y, c.font, c.colour);
        EXPECT_EQ(0, differences()) << testing::PrintToString(c.tagged);
        EXPECT_GT(tagged.inked(0, 0, 400, 200), 10) << testing::PrintToString(c.tagged);
    }
}

TEST_F(TaggedText, LineHeightsFollowFontsImagesAndTheYTag)
{
    const int normal = lineHeight(-1);
    struct Case {
        const wchar_t* text;
        int width, height;
    } cases[] = {
        {L"{y 40}x", width(L"x"), 40},
        {L"{y 40}{/y}x", width(L"x"), normal},
        {L"{f Arial 40}x", width(L"x", arial40), lineHeight(arial40)},
        {L"{i halves.png}", 10, 10},
        {L"{i halves.png 2 1}", 5, 10},
        {L"{i file='halves.png' 5 0}", 2, 10},
        {L"x{i halves.png}", width(L"x") + 10, std::max(10, normal)},
        {L"{i missing.png}x", width(L"x"), normal},
        {L"{x 7}x", width(L"x") + 7, normal},
    };
    for (const auto& c : cases) {
        RECT rc = measure(c.text, RECT{0, 0, 400, 200});
        EXPECT_EQ(c.width, rc.right) << testing::PrintToString(std::wstring(c.text));
        EXPECT_EQ(c.height, rc.bottom) << testing::PrintToString(std::wstring(c.text));
    }
}

TEST_F(TaggedText, ImagesDrawTheChosenPartAtTheTextsPlace)
{
    // halves.png: 10 x 10, red on the left half, blue on the right.
    html(L"x{i halves.png 2 1}{i file='halves.png' 2 0}", RECT{0, 0, 400, 200});
    const int x = width(L"x"), bottom = std::max(10, lineHeight(-1));
    EXPECT_EQ(0x0000FFu, tagged.pixel(x + 2, bottom - 5));
    EXPECT_EQ(0xFF0000u, tagged.pixel(x + 7, bottom - 5));
    EXPECT_EQ(MemoryCanvas::kWhite, tagged.pixel(x + 12, bottom - 5));
}

TEST_F(TaggedText, LinesBreakAtTagsAndLineFeedsUnlessSingleLine)
{
    const int h = lineHeight(-1);
    struct Case {
        const wchar_t* text;
        UINT style;
        const wchar_t *first, *second;
        int secondX, secondY;
    } cases[] = {
        {L"Ab{n}Cd", 0, L"Ab", L"Cd", 0, h},
        {L"Ab\nCd", 0, L"Ab", L"Cd", 0, h},
        {L"Ab{p 7}Cd", 0, L"Ab", L"Cd", 0, h + 7},
        {L"Ab{n}Cd", DT_SINGLELINE, L"Ab", L"Cd", width(L"Ab"), 0},
        {L"Ab{p 7}Cd", DT_SINGLELINE, L"Ab", L"Cd", width(L"Ab"), 0},
    };
    for (const auto& c : cases) {
        tagged.fill(MemoryCanvas::kWhite);
        expected.fill(MemoryCanvas::kWhite);
        html(c.text, RECT{0, 0, 400, 200}, c.style);
        plain(c.first, 0, 0);
        plain(c.second, c.secondX, c.secondY);
        EXPECT_EQ(0, differences()) << testing::PrintToString(std::wstring(c.text)) << " " << c.style;
    }
}

TEST_F(TaggedText, SelectionIsAnOpaqueBackgroundUntilItsClosingTag)
{
    html(L"{s}Ab{/s}Cd", RECT{0, 0, 400, 200});
    const int ab = width(L"Ab");
    CRenderKit::DrawColor(expected.context, RECT{0, 0, ab, lineHeight(-1)}, manager.GetDefaultSelectedBkColor());
    plain(L"Ab", 0, 0);
    plain(L"Cd", ab, 0);
    EXPECT_EQ(0, differences());
}

TEST_F(TaggedText, ARunEndsAtTheRightEdge)
{
    const wchar_t* text = L"AAAAAAAAAA";
    const int h = lineHeight(-1);
    // Room for four letters and half of the fifth.
    const int edge = (width(L"AAAA") + width(L"AAAAA")) / 2;
    const RECT box = {0, 0, edge, 100};
    struct Case {
        UINT style;
        std::vector<const wchar_t*> lines;
    } cases[] = {
        {DT_SINGLELINE, {L"AAAA"}},
        {DT_SINGLELINE | DT_END_ELLIPSIS, {L"AA..."}},
        {0, {L"AAAA", L"AAAA", L"AA"}},
        {DT_WORDBREAK, {L"AAAA", L"AAAA", L"AA"}},
    };
    for (const auto& c : cases) {
        tagged.fill(MemoryCanvas::kWhite);
        expected.fill(MemoryCanvas::kWhite);
        html(text, box, c.style);
        for (size_t i = 0; i < c.lines.size(); ++i) plain(c.lines[i], 0, static_cast<int>(i) * h, -1, kBlack, box);
        EXPECT_EQ(0, differences()) << c.style;
    }
    EXPECT_EQ(3 * h, measure(text, box, 0).bottom);
}

TEST_F(TaggedText, WordsBreakAfterAnythingButAnAsciiLetter)
{
    const int h = lineHeight(-1);
    struct Case {
        const wchar_t* text;
        const wchar_t* fits;  // what the box holds (and a little more)
        const wchar_t *first, *second;
    } cases[] = {
        {L"ab1cdef", L"ab1cd", L"ab1", L"cdef"},  // a digit is a break
        {L"ab cdef", L"ab cd", L"ab ", L"cdef"},  // a blank is one
        {L"ab-cdef", L"ab-cd", L"ab-", L"cdef"},
        {L"abcdefgh", L"abcde", L"abcde", L"fgh"},  // a word wider than the line is cut
    };
    for (const auto& c : cases) {
        tagged.fill(MemoryCanvas::kWhite);
        expected.fill(MemoryCanvas::kWhite);
        RECT box = {0, 0, width(c.fits) + 1, 100};
        html(c.text, box, DT_WORDBREAK);
        plain(c.first, 0, 0, -1, kBlack, box);
        plain(c.second, 0, h, -1, kBlack, box);
        EXPECT_EQ(0, differences()) << testing::PrintToString(std::wstring(c.text));
    }
}

TEST_F(TaggedText, AlignmentPlacesEachLine)
{
    const int h = lineHeight(-1), ab = width(L"Ab"), abcd = width(L"Abcd");
    struct Case {
        const wchar_t* text;
        UINT style;
        int firstX, secondX, top;
    } cases[] = {
        {L"Ab{n}Abcd", DT_CENTER, (200 - ab) / 2, (200 - abcd) / 2, 0},
        {L"Ab{n}Abcd", DT_RIGHT, 200 - ab, 200 - abcd, 0},
        {L"Ab{n}Abcd", DT_VCENTER, 0, 0, (100 - 2 * h) / 2},
        {L"Ab{n}Abcd", DT_BOTTOM, 0, 0, 100 - 2 * h},
        {L"Ab   {n}Abcd", DT_CENTER, (200 - ab) / 2, (200 - abcd) / 2, 0},  // blanks at a line's end do not count
        {L"Ab   {n}Abcd", DT_RIGHT, 200 - ab, 200 - abcd, 0},
    };
    for (const auto& c : cases) {
        tagged.fill(MemoryCanvas::kWhite);
        expected.fill(MemoryCanvas::kWhite);
        html(c.text, RECT{0, 0, 200, 100}, c.style);
        plain(L"Ab", c.firstX, c.top);
        plain(L"Abcd", c.secondX, c.top + h);
        EXPECT_EQ(0, differences()) << testing::PrintToString(std::wstring(c.text)) << " " << c.style;
    }
}

TEST_F(TaggedText, PictureOfEveryTag)
{
    struct {
        const wchar_t* text;
        int width;
        UINT style;
    } lines[] = {
        {L"plain {b}bold{/b} {i}italic{/i} {u}underline{/u} {c #FFFF0000}red{/c} {a x}link{/a} {s}selected{/s}", 392,
            DT_WORDBREAK},
        {L"{f Arial 20 bold}Arial 20 bold{/f} {x 30}moved {i halves.png 2 1}{i halves.png} image parts", 392,
            DT_WORDBREAK},
        {L"{y 30}a line 30 high{/y}{n}next line{p 10}paragraph after 10 px", 392, DT_WORDBREAK},
        {L"wrapped words, centred: one two three four five six seven eight nine ten", 200, DT_WORDBREAK | DT_CENTER},
    };
    int top = 0;
    for (const auto& line : lines) {
        RECT box = {4, top, 4 + line.width, top + 100};
        RECT used = measure(line.text, box, line.style);
        html(line.text, box, line.style);
        top = used.bottom + 4;
    }
    RECT ellipsis = {4, top, 150, top + 20};
    html(L"a single line ending in an ellipsis", ellipsis, DT_SINGLELINE | DT_END_ELLIPSIS);
    EXPECT_TRUE(tagged.writeBmp("tagged-text.bmp"));
}
