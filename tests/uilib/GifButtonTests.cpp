// The GIF button in a real window under Xvfb with GIFs the fixture script
// writes: the frames and delays read through GDI+, frames following the timer
// in order (with "play" always, else only while the mouse is over it), a
// one-frame GIF that arms no timer, missing and broken files that leave the
// button's own images, and a GIF read from a zipped skin.
#include "ButtonGifUI.h"
#include "InputDriver.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

using namespace SkinUI;
using namespace testui;

namespace {

const wchar_t kGifs[] =
    L"<Window size=\"400,200\">"
    L"<VerticalLayout name=\"root\" bkcolor=\"#FFFFFFFF\" inset=\"10,10,10,10\">"
    L"  <HorizontalLayout height=\"40\" childpadding=\"10\">"
    L"    <GifButton name=\"play\" width=\"40\" normalgiffile=\"three.gif\" play=\"true\"/>"
    L"    <GifButton name=\"hover\" width=\"40\" normalgiffile=\"three.gif\"/>"
    L"    <GifButton name=\"one\" width=\"40\" play=\"true\" normalgiffile=\"one.gif\"/>"
    L"    <GifButton name=\"missing\" width=\"40\" normalgiffile=\"nothere.gif\" normalimage=\"cyan.png\"/>"
    L"    <GifButton name=\"broken\" width=\"40\" normalgiffile=\"broken.gif\" normalimage=\"gray.png\"/>"
    L"    <GifButton name=\"zipped\" width=\"40\"/>"
    L"  </HorizontalLayout>"
    L"  <Control name=\"away\"/>"
    L"</VerticalLayout></Window>";

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;

// The frame index each control had when its animation timer fired.
std::map<CControlUI*, std::vector<UINT>> g_ticks;

bool recordTick(void* param)
{
    auto* event = static_cast<TEventMsgUI*>(param);
    if (event->Type == UIEVENT_TIMER && event->wParam == CButtonGifUI::kAnimationTimer)
        g_ticks[event->pSender].push_back(static_cast<CButtonGifUI*>(event->pSender)->GetFrameIndex());
    return true;
}

class GifButton : public WindowFixture {
protected:
    GifButton() : WindowFixture(kGifs) {}
    void SetUp() override
    {
        g_ticks.clear();
        WindowFixture::SetUp();
        for (const wchar_t* name : {L"play", L"hover", L"one"}) gif(name)->OnEventHook += recordTick;
        input.activate();
    }
    CButtonGifUI* gif(const wchar_t* name) { return static_cast<CButtonGifUI*>(frame.control(name)); }
    uint32_t colourOf(CControlUI* c)
    {
        POINT centre = centreOf(c);
        return printedPixel(frame, centre.x, centre.y);
    }
    InputDriver input{frame};
};

}  // namespace

TEST_F(GifButton, FramesAndDelaysComeFromTheFile)
{
    CButtonGifUI* play = gif(L"play");
    ASSERT_TRUE(play->HasGif());
    EXPECT_EQ(3u, play->GetFrameCount());
    EXPECT_EQ((std::vector<UINT>{0, 50, 200}), play->GetFrameDelays());
    EXPECT_EQ(100u, play->GetFrameDuration(0));  // no delay: 100 ms
    EXPECT_EQ(50u, play->GetFrameDuration(1));
    EXPECT_EQ(200u, play->GetFrameDuration(2));
    EXPECT_EQ(1u, gif(L"one")->GetFrameCount());
    EXPECT_EQ((std::vector<UINT>{0}), gif(L"one")->GetFrameDelays());
    EXPECT_STREQ(L"ButtonGifUI", play->GetClassName());
    EXPECT_EQ(play, play->GetInterfaceByName(L"ButtonGifUI"));
}

TEST_F(GifButton, PlayShowsTheFramesInOrderAtEveryTick)
{
    CButtonGifUI* play = gif(L"play");
    EXPECT_TRUE(play->IsAnimating());
    std::vector<uint32_t> seen;
    pumpUntil(
        [&] {
            uint32_t c = colourOf(play);
            if (seen.empty() || seen.back() != c) seen.push_back(c);
            return g_ticks[play].size() >= 7;
        },
        2000);
    // Each tick leaves the frame it fired on for the next one, round and round.
    const std::vector<UINT>& ticks = g_ticks[play];
    ASSERT_GE(ticks.size(), 7u);
    for (size_t i = 0; i < ticks.size(); ++i) EXPECT_EQ(i % 3, ticks[i]) << i;
    // What was painted runs through the frames' own colours in the same order.
    const uint32_t order[] = {kRed, kGreen, kBlue};
    ASSERT_FALSE(seen.empty());
    for (size_t i = 1; i < seen.size(); ++i) {
        size_t before = std::find(std::begin(order), std::end(order), seen[i - 1]) - order;
        ASSERT_LT(before, 3u);
        EXPECT_TRUE(seen[i] == order[(before + 1) % 3] || seen[i] == order[(before + 2) % 3]) << i;
    }
}

TEST_F(GifButton, WithoutPlayTheFramesRunOnlyWhileTheMouseIsOver)
{
    CButtonGifUI* hover = gif(L"hover");
    pump(40);
    EXPECT_FALSE(hover->IsAnimating());
    EXPECT_TRUE(g_ticks[hover].empty());
    EXPECT_EQ(kRed, colourOf(hover));

    input.moveTo(centreOf(hover));
    EXPECT_TRUE(hover->IsAnimating());
    ASSERT_TRUE(pumpUntil([&] { return g_ticks[hover].size() >= 2; }, 1000));
    pumpUntil([&] { return hover->GetFrameIndex() == 2; }, 1000);
    EXPECT_EQ(kBlue, colourOf(hover));

    input.moveTo(centreOf(frame.control(L"away")));
    EXPECT_FALSE(hover->IsAnimating());
    EXPECT_EQ(0u, hover->GetFrameIndex());
    EXPECT_EQ(kRed, colourOf(hover));
    size_t ticks = g_ticks[hover].size();
    pump(60);
    EXPECT_EQ(ticks, g_ticks[hover].size());
    EXPECT_EQ(kRed, colourOf(hover));
}

TEST_F(GifButton, AOneFrameGifDrawsOnceAndArmsNoTimer)
{
    CButtonGifUI* one = gif(L"one");
    EXPECT_EQ(0xFFFF00u, colourOf(one));
    pump(60);
    EXPECT_TRUE(g_ticks[one].empty());
    EXPECT_EQ(0u, one->GetFrameIndex());
}

TEST_F(GifButton, MissingOrBrokenGifsLeaveTheButtonsImages)
{
    EXPECT_FALSE(gif(L"missing")->HasGif());
    EXPECT_FALSE(gif(L"broken")->HasGif());
    EXPECT_EQ(0x00FFFFu, colourOf(gif(L"missing")));
    EXPECT_EQ(0x808080u, colourOf(gif(L"broken")));
    // A later good GIF replaces nothing but the picture; a bad one then drops it.
    CButtonGifUI* zipped = gif(L"zipped");
    EXPECT_TRUE(zipped->LoadGif(L"one.gif"));
    EXPECT_FALSE(zipped->LoadGif(L"broken.gif"));
    EXPECT_FALSE(zipped->HasGif());
    EXPECT_EQ(0u, zipped->GetFrameCount());
}

TEST_F(GifButton, AGifInsideAZippedSkinPlays)
{
    CWindowManagerUI::SetResourceZip(L"gifskin.zip");
    CButtonGifUI* zipped = gif(L"zipped");
    bool loaded = zipped->LoadGif(L"anim/zipped.gif");
    CWindowManagerUI::SetResourceZip(L"");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(3u, zipped->GetFrameCount());
    EXPECT_EQ(kRed, colourOf(zipped));
    zipped->SetAttribute(L"play", L"true");
    zipped->OnEventHook += recordTick;
    ASSERT_TRUE(pumpUntil([&] { return zipped->GetFrameIndex() == 1; }, 1000));
    EXPECT_EQ(kGreen, colourOf(zipped));
}

TEST_F(GifButton, HidingStopsTheTimerAndShowingResumesIt)
{
    CButtonGifUI* play = gif(L"play");
    play->SetVisible(false);
    pump(2);
    size_t ticks = g_ticks[play].size();
    pump(60);
    EXPECT_EQ(ticks, g_ticks[play].size());
    play->SetVisible(true);
    EXPECT_TRUE(pumpUntil([&] { return g_ticks[play].size() > ticks; }, 1000));
}
