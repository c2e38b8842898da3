// Tagged text benchmark: the render kit's tagged text beside the platform's
// DrawTextW, painting one long text (default 128 KB of words with a tag every
// few words) into a 600 x 400 memory bitmap.
//
//   Wrapped: DT_WORDBREAK, the text laid out over a rectangle 600 pixels wide
//   and as tall as it needs (measured first with DT_CALCRECT), once without
//   tags (one run of text) and once with a bold word every seven.
//   Single line: DT_SINGLELINE, the tagged text ending at the right edge.
//
// The platform draws the same words without tags. Each round (default
// 3) paints both; the figures are the medians of the rounds. A layout that
// measures the rest of the text for every line shows as a wrapped ratio that
// grows with the text's length. Needs no display. Usage:
// uilib_tagged_text_bench [KILOBYTES [ROUNDS]]
#include "BenchSupport.h"
#include "MemoryCanvas.h"
#include "RenderKit.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace SkinUI;

namespace {

using benchui::medianOf;
using benchui::secondsOf;
using benchui::StepFigures;

constexpr int kWidth = 600, kHeight = 400;

struct Round {
    double plainWrapped = 0, taggedWrapped = 0, platformWrapped = 0, taggedSingle = 0, platformSingle = 0;
};

// Words of four to nine letters; every seventh one bold in the tagged text.
void makeTexts(size_t chars, std::wstring& tagged, std::wstring& plain)
{
    unsigned seed = 12345;
    for (int word = 0; plain.size() < chars; ++word) {
        seed = seed * 1103515245 + 12345;
        std::wstring letters(4 + (seed >> 16) % 6, L'a' + (seed >> 8) % 26);
        plain += letters + L" ";
        tagged += word % 7 == 0 ? L"{b}" + letters + L"{/b} " : letters + L" ";
    }
}

double paintTagged(CWindowManagerUI& manager, HDC dc, const std::wstring& text, UINT style)
{
    return secondsOf([&] {
        RECT rc = {0, 0, kWidth, kHeight};
        int links = 0;
        if (style & DT_WORDBREAK) {
            CRenderKit::DrawHtmlText(
                dc, &manager, rc, text.c_str(), 0xFF000000, nullptr, nullptr, links, style | DT_CALCRECT);
            rc.right = kWidth;
        }
        CRenderKit::DrawHtmlText(dc, &manager, rc, text.c_str(), 0xFF000000, nullptr, nullptr, links, style);
    });
}

double paintPlatform(CWindowManagerUI& manager, HDC dc, const std::wstring& text, UINT style)
{
    return secondsOf([&] {
        RECT rc = {0, 0, kWidth, kHeight};
        HGDIOBJ old = SelectObject(dc, manager.GetFont(-1));
        if (style & DT_WORDBREAK) {
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, style | DT_CALCRECT);
            rc.right = kWidth;
        }
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, style);
        SelectObject(dc, old);
    });
}

int run(int argc, wchar_t** argv)
{
    const size_t kilobytes = argc > 1 ? wcstoul(argv[1], nullptr, 10) : 128;
    const int rounds = argc > 2 ? _wtoi(argv[2]) : 3;
    std::wstring tagged, plain;
    makeTexts(kilobytes * 1024, tagged, plain);
    wprintf(L"%zu characters (%zu with tags), %d rounds\n", plain.size(), tagged.size(), rounds);
    CWindowManagerUI manager;
    MemoryCanvas canvas(kWidth, kHeight);
    std::vector<Round> results;
    for (int i = 0; i < rounds; ++i) {
        Round round;
        round.plainWrapped = paintTagged(manager, canvas.context, plain, DT_WORDBREAK);
        round.taggedWrapped = paintTagged(manager, canvas.context, tagged, DT_WORDBREAK);
        round.platformWrapped = paintPlatform(manager, canvas.context, plain, DT_WORDBREAK);
        round.taggedSingle = paintTagged(manager, canvas.context, tagged, DT_SINGLELINE);
        round.platformSingle = paintPlatform(manager, canvas.context, plain, DT_SINGLELINE);
        results.push_back(round);
    }
    const StepFigures steps[] = {
        {L"wrapped paint, no tags", medianOf(results, &Round::plainWrapped), medianOf(results, &Round::platformWrapped),
            L"untagged-wrapped", L"untagged text wrapped", L"DrawTextW"},
        {L"wrapped paint, tagged", medianOf(results, &Round::taggedWrapped), medianOf(results, &Round::platformWrapped),
            L"tagged-wrapped", L"tagged text wrapped", L"DrawTextW"},
        {L"single-line paint", medianOf(results, &Round::taggedSingle), medianOf(results, &Round::platformSingle),
            L"tagged-single-line", L"tagged text on one line", L"DrawTextW"},
    };
    benchui::printSteps(steps);
    CWindowManagerUI::Term();
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    return benchui::guardedMain(run, argc, argv);
}
