// Tagged text: tags between "<" and ">" or "{" and "}" change colour (c),
// font (f, b, i, u), mark links (a) and selection (s), break lines (n, p), move
// right (x) and pass raw text (r). The text is first cut into runs of one style,
// then laid out into lines (word breaks at non-letters with DT_WORDBREAK) and
// drawn; with DT_CALCRECT only the needed rectangle is answered. Every scan
// stops at the terminator; an unclosed tag ends the text.
#include "RenderKit.h"

#include "ControlUI.h"

#include <algorithm>
#include <string>
#include <vector>

namespace SkinUI {

namespace {

struct Run {
    std::wstring text;
    HFONT font = nullptr;
    DWORD color = 0;
    int link = -1;  // index of the link it belongs to
    bool selected = false;
    bool lineBreak = false;  // a break before this run
    int paragraphSpace = 0;
    int moveRight = 0;
};

struct FontState {
    int index;
    bool bold, italic, underline;
};

COLORREF rgbOf(DWORD argb)
{
    return RGB(GetBValue(argb), GetGValue(argb), GetRValue(argb));
}

HFONT styledFont(CWindowManagerUI* manager, const FontState& state)
{
    TFontInfo* base = manager->GetFontInfo(state.index);
    bool bold = base->bBold || state.bold, italic = base->bItalic || state.italic;
    bool underline = base->bUnderline || state.underline;
    if (bold == base->bBold && italic == base->bItalic && underline == base->bUnderline) return base->hFont;
    HFONT found = manager->FindFont(base->sFontName, base->iSize, bold, underline, italic);
    return found ? found : manager->AddFont(base->sFontName, base->iSize, bold, underline, italic);
}

// Cuts tagged text into runs of one style; the open colours and fonts are
// stacks, the outermost never popped.
class RunCutter {
public:
    RunCutter(CWindowManagerUI* manager, DWORD color, std::vector<CUIString>& linkTexts, bool singleLine)
        : manager(manager), linkTexts(linkTexts), singleLine(singleLine), colors{color}
    {
    }

    std::vector<Run> cut(const wchar_t* text)
    {
        startRun();
        p = text;
        while (*p) {
            if (*p == L'<' || *p == L'{') {
                if (!readTag()) break;
                startRun();
                continue;
            }
            if (*p == L'\n') {
                ++p;
                if (!singleLine) breakLine(0);
                continue;
            }
            if (*p != L'\r') current.text += *p;
            ++p;
        }
        startRun();
        return std::move(runs);
    }

private:
    void startRun()
    {
        if (!current.text.empty() || current.lineBreak || current.moveRight) runs.push_back(current);
        current = Run{};
        current.font = styledFont(manager, fonts.back());
        current.color = link >= 0 ? manager->GetDefaultLinkFontColor() : colors.back();
        current.link = link;
        current.selected = selected;
    }

    void breakLine(int paragraphSpace)
    {
        startRun();
        current.lineBreak = true;
        current.paragraphSpace = paragraphSpace;
    }

    // Reads the tag at p and applies it; false when the tag is never closed.
    bool readTag()
    {
        wchar_t close = *p == L'<' ? L'>' : L'}';
        const wchar_t* end = wcschr(p + 1, close);
        if (!end) return false;
        std::wstring tag(p + 1, end);
        p = end + 1;
        bool closing = !tag.empty() && tag[0] == L'/';
        if (closing) tag.erase(0, 1);
        wchar_t kind = tag.empty() ? 0 : tag[0];
        std::wstring arg = tag.size() > 1 ? tag.substr(tag[1] == L' ' ? 2 : 1) : std::wstring();
        if (closing)
            closeTag(kind);
        else
            openTag(kind, arg.c_str(), close);
        return true;
    }

    void openTag(wchar_t kind, const wchar_t* arg, wchar_t close)
    {
        switch (kind) {
        case L'a':
            link = links++;
            linkTexts.push_back(CUIString(arg));
            break;
        case L'b':
        case L'i':
        case L'u': pushStyle(kind); break;
        case L'c': colors.push_back(AttributeValue::ParseColor(arg) | 0xFF000000); break;
        case L'f': fonts.push_back({AttributeValue::ParseInt(arg), false, false, false}); break;
        case L'n':
            if (!singleLine) breakLine(0);
            break;
        case L'p':
            if (!singleLine) breakLine(AttributeValue::ParseInt(arg));
            break;
        case L's': selected = !selected; break;
        case L'x':
            startRun();
            current.moveRight = AttributeValue::ParseInt(arg);
            break;
        case L'r': takeRaw(close); break;
        default: break;
        }
    }

    void closeTag(wchar_t kind)
    {
        switch (kind) {
        case L'a': link = -1; break;
        case L'b':
        case L'i':
        case L'u':
        case L'f':
            if (fonts.size() > 1) fonts.pop_back();
            break;
        case L'c':
            if (colors.size() > 1) colors.pop_back();
            break;
        default: break;
        }
    }

    void pushStyle(wchar_t kind)
    {
        FontState state = fonts.back();
        if (kind == L'b') state.bold = true;
        if (kind == L'i') state.italic = true;
        if (kind == L'u') state.underline = true;
        fonts.push_back(state);
    }

    // Raw text up to the closing tag.
    void takeRaw(wchar_t close)
    {
        const wchar_t* rawEnd = wcsstr(p, close == L'>' ? L"</r>" : L"{/r}");
        const wchar_t* stop = rawEnd ? rawEnd : p + wcslen(p);
        startRun();
        current.text.assign(p, stop);
        p = rawEnd ? rawEnd + 4 : stop;
    }

    CWindowManagerUI* manager;
    std::vector<CUIString>& linkTexts;
    bool singleLine;
    std::vector<DWORD> colors;
    std::vector<FontState> fonts{{-1, false, false, false}};
    int link = -1, links = 0;
    bool selected = false;
    Run current;
    std::vector<Run> runs;
    const wchar_t* p = nullptr;
};

struct Piece {
    const Run* run;
    std::wstring text;
    int x, width;
};

struct Line {
    std::vector<Piece> pieces;
    int width = 0;
    int height = 0;
    int spaceBefore = 0;
};

int textWidth(HDC dc, HFONT font, const std::wstring& text)
{
    if (text.empty()) return 0;
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    return size.cx;
}

int fontHeight(HDC dc, HFONT font)
{
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    return tm.tmHeight + tm.tmExternalLeading;
}

bool isAsciiLetter(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9');
}

std::vector<Line> layout(HDC dc, const std::vector<Run>& runs, int maxWidth, UINT style)
{
    std::vector<Line> lines(1);
    int x = 0;
    bool wrap = !(style & DT_SINGLELINE) && (style & DT_WORDBREAK);
    for (const Run& run : runs) {
        if (run.lineBreak) {
            lines.emplace_back();
            lines.back().spaceBefore = run.paragraphSpace;
            x = 0;
        }
        x += run.moveRight;
        lines.back().height = std::max(lines.back().height, fontHeight(dc, run.font));
        std::wstring rest = run.text;
        while (!rest.empty()) {
            int width = textWidth(dc, run.font, rest);
            if (!wrap || x + width <= maxWidth) {
                lines.back().pieces.push_back({&run, rest, x, width});
                x += width;
                break;
            }
            // Longest prefix that fits, cut after the last non-letter when one exists.
            size_t fit = 0;
            while (fit < rest.size() && x + textWidth(dc, run.font, rest.substr(0, fit + 1)) <= maxWidth) ++fit;
            size_t cut = fit;
            while (cut > 0 && isAsciiLetter(rest[cut - 1])) --cut;
            // A word that does not fit after what the line holds starts the
            // next line; only a word wider than a whole line is cut.
            if (cut == 0 && x == 0) cut = fit;
            if (cut == 0 && x == 0) cut = 1;  // at least one character per line
            if (cut > 0) {
                std::wstring head = rest.substr(0, cut);
                int headWidth = textWidth(dc, run.font, head);
                lines.back().pieces.push_back({&run, head, x, headWidth});
                rest.erase(0, cut);
            }
            lines.emplace_back();
            lines.back().height = fontHeight(dc, run.font);
            x = 0;
            while (!rest.empty() && rest[0] == L' ') rest.erase(0, 1);
        }
        lines.back().width = x;
    }
    for (Line& line : lines) {
        int width = 0;
        for (const Piece& piece : line.pieces) width = std::max(width, piece.x + piece.width);
        line.width = width;
    }
    return lines;
}

}  // namespace

void CRenderKit::DrawHtmlText(HDC dc, CWindowManagerUI* manager, RECT& rc, const wchar_t* text, DWORD color,
    RECT* links, CUIString* linkTexts, int& linkCount, UINT style)
{
    int maxLinks = linkCount;
    linkCount = 0;
    if (!dc || !manager || !text) return;
    std::vector<CUIString> foundLinks;
    std::vector<Run> runs = RunCutter(manager, color, foundLinks, (style & DT_SINGLELINE) != 0).cut(text);
    int maxWidth = rc.right - rc.left;
    std::vector<Line> lines = layout(dc, runs, maxWidth, style);
    int totalHeight = 0, totalWidth = 0;
    for (const Line& line : lines) {
        totalHeight += line.spaceBefore + line.height;
        totalWidth = std::max(totalWidth, line.width);
    }
    if (style & DT_CALCRECT) {
        rc.right = rc.left + std::min(totalWidth, maxWidth > 0 ? std::max(totalWidth, 0) : totalWidth);
        rc.bottom = rc.top + totalHeight;
        return;
    }
    int y = rc.top;
    if (style & DT_VCENTER)
        y = rc.top + (rc.bottom - rc.top - totalHeight) / 2;
    else if (style & DT_BOTTOM)
        y = rc.bottom - totalHeight;
    CRenderClip clip;
    CRenderClip::GenerateClip(dc, rc, clip);
    SetBkMode(dc, TRANSPARENT);
    for (const Line& line : lines) {
        y += line.spaceBefore;
        int offset = 0;
        if (style & DT_CENTER)
            offset = (maxWidth - line.width) / 2;
        else if (style & DT_RIGHT)
            offset = maxWidth - line.width;
        for (const Piece& piece : line.pieces) {
            int left = rc.left + offset + piece.x;
            RECT area = {left, y, left + piece.width, y + line.height};
            if (piece.run->selected) {
                SetBkColor(dc, rgbOf(manager->GetDefaultSelectedBkColor()));
                ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &area, nullptr, 0, nullptr);
            }
            HGDIOBJ old = SelectObject(dc, piece.run->font);
            SetTextColor(dc, rgbOf(piece.run->color));
            TextOutW(dc, left, y, piece.text.c_str(), static_cast<int>(piece.text.size()));
            SelectObject(dc, old);
            int link = piece.run->link;
            if (link >= 0 && linkCount < maxLinks && links) {
                links[linkCount] = area;
                if (linkTexts && link < static_cast<int>(foundLinks.size())) linkTexts[linkCount] = foundLinks[link];
                ++linkCount;
            }
        }
        y += line.height;
    }
}

}  // namespace SkinUI
