// Tagged text: tags between "<" and ">" or "{" and "}" set the link (a),
// font (b, f, i, u), colour (c), inline image (i with a name), line breaks
// (n, p), a move right (x), the line height (y), raw text (r) and selection
// (s); "/" before the letter closes a tag and restores the state before it.
//
// The text is cut once into items of one style, then laid out into lines and
// drawn. Each run of text is measured with one call that answers every
// character's extent, so finding where a line ends is a search in that table
// and the layout stays linear in the text's length. A run ends at a tag, a
// line feed or the right edge; there the character that crosses the edge is
// taken back (unless that would leave the line empty), DT_WORDBREAK cuts after
// the last character that is not an ASCII letter, and with DT_SINGLELINE the
// text stops there (DT_END_ELLIPSIS: two more characters go and "..." follows).
// Every scan stops at the terminator; an unclosed tag ends the text.
#include "RenderKit.h"

#include "ControlUI.h"

#include <algorithm>
#include <string>
#include <vector>

namespace SkinUI {

namespace {

COLORREF rgbOf(DWORD argb)
{
    return RGB(GetBValue(argb), GetGValue(argb), GetRValue(argb));
}

bool isBlank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

bool isAsciiLetter(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

// What a tag state gives the items it covers.
struct Style {
    HFONT font = nullptr;
    int fontHeight = 0;  // tmHeight + tmExternalLeading
    DWORD color = 0;
    int link = -1;  // index of the link it belongs to
    bool selected = false;
    int lineHeight = 0;  // from a y tag; 0 = the font's (or image's) own

    int height(int own) const { return lineHeight > 0 ? lineHeight : own; }
};

struct Item {
    enum Kind { Text, Image, Break, Move } kind = Text;
    Style style;
    std::wstring text;
    std::vector<int> extents;  // cumulative, filled when laid out
    const TImageInfo* image = nullptr;
    RECT source{};   // the image's part
    int amount = 0;  // Break: extra space above the new line; Move: pixels
};

struct FontState {
    CUIString face;
    int size = 0;
    bool bold = false, underline = false, italic = false;
    HFONT font = nullptr;
};

// Cuts the text into items; keeps the tag stacks while doing so.
class TagReader {
public:
    TagReader(HDC dc, CWindowManagerUI* manager, DWORD color, bool singleLine, std::vector<CUIString>& linkTexts)
        : m_dc(dc), m_manager(manager), m_singleLine(singleLine), m_linkTexts(linkTexts)
    {
        m_colors.push_back(color);
        m_fonts.push_back(fromIndex(-1));
        m_selected.push_back(false);
    }

    // The height of an empty first line: the starting font's.
    int startHeight() const { return style().fontHeight; }

    std::vector<Item> read(const wchar_t* text)
    {
        const wchar_t* p = text;
        while (*p) {
            if (*p == L'<' || *p == L'{') {
                const wchar_t close = *p == L'<' ? L'>' : L'}';
                const wchar_t* end = wcschr(p + 1, close);
                if (!end) break;
                std::wstring tag(p + 1, end);
                p = end + 1;
                tagFound(tag, close, p);
                continue;
            }
            if (*p == L'\n') {
                ++p;
                lineBreak(0);
                continue;
            }
            if (*p != L'\r') textItem().text += *p;
            ++p;
        }
        return std::move(m_items);
    }

private:
    Style style() const
    {
        Style s;
        s.font = m_fonts.back().font;
        s.fontHeight = fontHeight(s.font);
        s.color = m_link >= 0 ? m_manager->GetDefaultLinkFontColor() : m_colors.back();
        s.link = m_link;
        s.selected = m_selected.back();
        s.lineHeight = m_lineHeights.empty() ? 0 : m_lineHeights.back();
        return s;
    }

    Item& push(Item::Kind kind)
    {
        Item item;
        item.kind = kind;
        item.style = style();
        m_items.push_back(std::move(item));
        m_open = kind == Item::Text;
        return m_items.back();
    }

    Item& textItem() { return m_open ? m_items.back() : push(Item::Text); }

    void lineBreak(int space)
    {
        if (m_singleLine) return;
        push(Item::Break).amount = space;
    }

    int fontHeight(HFONT font) const
    {
        for (const auto& known : m_heights)
            if (known.first == font) return known.second;
        HGDIOBJ old = SelectObject(m_dc, font);
        TEXTMETRICW tm{};
        GetTextMetricsW(m_dc, &tm);
        SelectObject(m_dc, old);
        m_heights.emplace_back(font, tm.tmHeight + tm.tmExternalLeading);
        return m_heights.back().second;
    }

    FontState fromIndex(int index) const
    {
        TFontInfo* info = m_manager->GetFontInfo(index);
        return {info->sFontName, info->iSize, info->bBold, info->bUnderline, info->bItalic, info->hFont};
    }

    HFONT resolve(const FontState& state) const
    {
        HFONT found = m_manager->FindFont(state.face, state.size, state.bold, state.underline, state.italic);
        return found ? found : m_manager->AddFont(state.face, state.size, state.bold, state.underline, state.italic);
    }

    // "name size [bold] [underline] [italic]"; the name may hold blanks and
    // ends before the first number.
    FontState fromDescription(const std::wstring& text) const
    {
        FontState state = m_fonts.back();
        std::vector<std::wstring> words;
        for (size_t at = 0; at < text.size();) {
            while (at < text.size() && isBlank(text[at])) ++at;
            size_t start = at;
            while (at < text.size() && !isBlank(text[at])) ++at;
            if (at > start) words.emplace_back(text, start, at - start);
        }
        size_t i = 0;
        std::wstring face;
        for (; i < words.size() && !iswdigit(words[i][0]); ++i) face += (face.empty() ? L"" : L" ") + words[i];
        state.face = face.c_str();
        if (i < words.size()) state.size = _wtoi(words[i++].c_str());
        state.bold = state.underline = state.italic = false;
        for (; i < words.size(); ++i) {
            if (words[i] == L"bold") state.bold = true;
            if (words[i] == L"underline") state.underline = true;
            if (words[i] == L"italic") state.italic = true;
        }
        if (state.size <= 0) state.size = m_fonts.back().size;
        state.font = resolve(state);
        return state;
    }

    void pushFont(FontState state)
    {
        if (!state.font) state.font = resolve(state);
        if (!state.font) state = m_fonts.back();
        m_fonts.push_back(state);
    }

    template <class T>
    static void pop(std::vector<T>& stack, size_t keep = 1)
    {
        if (stack.size() > keep) stack.pop_back();
    }

    // "name [count [index]]", or file='...'/res='...' with restype='...'
    // (then count and index may follow the last value).
    void image(const std::wstring& arg)
    {
        std::wstring name, type, numbers;
        if (arg.find(L'=') == std::wstring::npos) {
            size_t end = 0;
            while (end < arg.size() && !isBlank(arg[end])) ++end;
            name = arg.substr(0, end);
            numbers = arg.substr(end);
        } else {
            size_t at = 0;
            for (;;) {
                size_t equals = arg.find(L'=', at);
                size_t open = arg.find(L'\'', at);
                if (equals == std::wstring::npos || open == std::wstring::npos || open < equals) break;
                size_t shut = arg.find(L'\'', open + 1);
                if (shut == std::wstring::npos) break;
                std::wstring key = arg.substr(at, equals - at);
                key.erase(std::remove_if(key.begin(), key.end(), isBlank), key.end());
                std::wstring value = arg.substr(open + 1, shut - open - 1);
                if (key == L"file" || key == L"res") name = value;
                if (key == L"restype") type = value;
                at = shut + 1;
            }
            numbers = arg.substr(at);
        }
        const wchar_t* n = numbers.c_str();
        wchar_t* next = nullptr;
        long count = wcstol(n, &next, 10);
        long index = next != n ? wcstol(next, nullptr, 10) : 0;
        const TImageInfo* info = m_manager->GetImageEx(name.c_str(), type.empty() ? nullptr : type.c_str());
        if (!info || info->nX <= 0) return;
        count = std::clamp(count, 1L, static_cast<long>(info->nX));
        index = std::clamp(index, 0L, count - 1);
        int part = info->nX / count;
        Item& item = push(Item::Image);
        item.image = info;
        item.source = {static_cast<LONG>(part * index), 0, static_cast<LONG>(part * (index + 1)), info->nY};
    }

    void tagFound(std::wstring tag, wchar_t close, const wchar_t*& p)
    {
        m_open = false;
        const bool closing = !tag.empty() && tag[0] == L'/';
        if (closing) tag.erase(0, 1);
        const wchar_t kind = tag.empty() ? 0 : tag[0];
        size_t argStart = 1;
        while (argStart < tag.size() && isBlank(tag[argStart])) ++argStart;
        const std::wstring arg = argStart < tag.size() ? tag.substr(argStart) : std::wstring();
        if (closing)
            closeTag(kind);
        else
            openTag(kind, arg, close, p);
    }

    void openTag(wchar_t kind, const std::wstring& arg, wchar_t close, const wchar_t*& p)
    {
        switch (kind) {
        case L'a':
            m_link = static_cast<int>(m_linkTexts.size());
            m_linkTexts.push_back(CUIString(arg.c_str()));
            break;
        case L'b':
        case L'u':
        case L'i':
            if (kind == L'i' && !arg.empty())
                image(arg);
            else
                pushStyle(kind);
            break;
        case L'c': m_colors.push_back(AttributeValue::ParseColor(arg.c_str()) | 0xFF000000); break;
        case L'f':
            pushFont(!arg.empty() && iswdigit(arg[0]) ? fromIndex(_wtoi(arg.c_str())) : fromDescription(arg));
            break;
        case L'n': lineBreak(0); break;
        case L'p': lineBreak(std::max(0, _wtoi(arg.c_str()))); break;
        case L'r': takeRaw(close, p); break;
        case L's': m_selected.push_back(!m_selected.back()); break;
        case L'x': push(Item::Move).amount = _wtoi(arg.c_str()); break;
        case L'y': m_lineHeights.push_back(std::max(0, _wtoi(arg.c_str()))); break;
        default: break;
        }
    }

    void closeTag(wchar_t kind)
    {
        switch (kind) {
        case L'a': m_link = -1; break;
        case L'b':
        case L'u':
        case L'i':
        case L'f': pop(m_fonts); break;
        case L'c': pop(m_colors); break;
        case L's': pop(m_selected); break;
        case L'y': pop(m_lineHeights, 0); break;
        default: break;
        }
    }

    // Bold, underline or italic added to the current font.
    void pushStyle(wchar_t kind)
    {
        FontState state = m_fonts.back();
        bool& flag = kind == L'b' ? state.bold : kind == L'u' ? state.underline : state.italic;
        if (!flag) state.font = nullptr;
        flag = true;
        pushFont(state);
    }

    // Raw text up to the closing tag (line feeds dropped).
    void takeRaw(wchar_t close, const wchar_t*& p)
    {
        const wchar_t* rawEnd = wcsstr(p, close == L'>' ? L"</r>" : L"{/r}");
        const wchar_t* stop = rawEnd ? rawEnd : p + wcslen(p);
        for (; p < stop; ++p)
            if (*p != L'\r' && *p != L'\n') textItem().text += *p;
        p = rawEnd ? rawEnd + 4 : stop;
        m_open = false;
    }

    HDC m_dc;
    CWindowManagerUI* m_manager;
    bool m_singleLine;
    std::vector<CUIString>& m_linkTexts;
    std::vector<Item> m_items;
    bool m_open = false;  // the last item takes more text
    std::vector<DWORD> m_colors;
    std::vector<FontState> m_fonts;
    std::vector<bool> m_selected;
    std::vector<int> m_lineHeights;
    int m_link = -1;
    mutable std::vector<std::pair<HFONT, int>> m_heights;
};

struct Piece {
    const Item* item;
    const wchar_t* text;  // for text: into the item's text, or the ellipsis
    int length;
    int x, width;
    int height;  // what it asks of the line
    int drawn;   // its own height, placed on the line's bottom
};

struct Line {
    std::vector<Piece> pieces;
    int width = 0;
    int height = 0;
    int spaceAbove = 0;
};

const wchar_t kEllipsis[] = L"...";

class LineBreaker {
public:
    LineBreaker(HDC dc, int maxWidth, UINT style, int firstLineHeight)
        : m_dc(dc),
          m_maxWidth(maxWidth),
          m_singleLine(style & DT_SINGLELINE),
          m_wordBreak(style & DT_WORDBREAK),
          m_ellipsis(style & DT_END_ELLIPSIS)
    {
        m_lines.emplace_back();
        m_lines.back().height = firstLineHeight;
    }

    std::vector<Line> lay(std::vector<Item>& items)
    {
        for (Item& item : items) {
            if (m_stopped) break;
            switch (item.kind) {
            case Item::Text: text(item); break;
            case Item::Image: image(item); break;
            case Item::Break:
                newLine(item.amount, item.style.height(item.style.fontHeight));
                m_wrapped = false;
                break;
            case Item::Move: m_x += item.amount; break;
            }
        }
        for (Line& line : m_lines) {
            for (const Piece& piece : line.pieces) line.width = std::max(line.width, piece.x + piece.width);
            if (!line.pieces.empty()) line.width -= trailingBlanks(line.pieces.back());
        }
        return std::move(m_lines);
    }

private:
    bool bounded() const { return m_maxWidth > 0; }

    // The width of the blanks a line ends with: they take no part in aligning it.
    static int trailingBlanks(const Piece& piece)
    {
        const Item& item = *piece.item;
        if (item.kind != Item::Text || piece.text == kEllipsis) return 0;
        const int end = static_cast<int>(piece.text - item.text.c_str()) + piece.length;
        int start = end;
        while (start > end - piece.length && isBlank(item.text[start - 1])) --start;
        if (start == end) return 0;
        return item.extents[end - 1] - (start > 0 ? item.extents[start - 1] : 0);
    }
    Line& line() { return m_lines.back(); }

    void newLine(int space, int height)
    {
        m_lines.emplace_back();
        line().spaceAbove = space;
        line().height = height;
        m_x = 0;
    }

    void add(const Item& item, const wchar_t* text, int length, int width, int drawn)
    {
        Line& current = line();
        if (current.pieces.empty()) current.height = 0;
        const int height = item.style.height(drawn);
        current.pieces.push_back({&item, text, length, m_x, width, height, drawn});
        current.height = std::max(current.height, height);
        m_x += width;
    }

    int textWidth(HFONT font, const wchar_t* text, int length)
    {
        HGDIOBJ old = SelectObject(m_dc, font);
        SIZE size{};
        GetTextExtentPoint32W(m_dc, text, length, &size);
        SelectObject(m_dc, old);
        return size.cx;
    }

    void image(const Item& item)
    {
        int width = item.source.right - item.source.left;
        if (bounded() && !line().pieces.empty() && m_x + width > m_maxWidth) {
            if (m_singleLine) {
                m_stopped = true;
                return;
            }
            newLine(0, 0);
            m_wrapped = true;
        }
        add(item, nullptr, 0, width, item.source.bottom);
    }

    void text(Item& item)
    {
        const int n = static_cast<int>(item.text.size());
        if (n == 0) return;
        const wchar_t* chars = item.text.c_str();
        item.extents.resize(n);
        HGDIOBJ old = SelectObject(m_dc, item.style.font);
        SIZE whole{};
        GetTextExtentExPointW(m_dc, chars, n, 0, nullptr, item.extents.data(), &whole);
        SelectObject(m_dc, old);
        const int* ext = item.extents.data();
        const int height = item.style.fontHeight;
        int at = 0;
        while (at < n) {
            if (m_wrapped && line().pieces.empty())
                while (at < n && isBlank(chars[at])) ++at;  // a wrapped line starts at its word
            if (at == n) break;
            const int base = at > 0 ? ext[at - 1] : 0;
            if (!bounded() || m_x + ext[n - 1] - base <= m_maxWidth) {
                add(item, chars + at, n - at, ext[n - 1] - base, height);
                return;
            }
            // Characters that end within the edge.
            const int fit = static_cast<int>(std::upper_bound(ext + at, ext + n, base + m_maxWidth - m_x) - (ext + at));
            const bool lineEmpty = line().pieces.empty();
            int cut = fit;
            if (m_wordBreak && !isBlank(chars[at + fit])) {
                cut = fit;
                while (cut > 0 && isAsciiLetter(chars[at + cut - 1])) --cut;
                if (cut == 0 && lineEmpty) cut = fit;
            }
            if (cut == 0 && lineEmpty) cut = 1;
            if (m_singleLine) {
                if (m_ellipsis) cut -= std::min(2, cut);
                if (cut > 0) add(item, chars + at, cut, ext[at + cut - 1] - base, height);
                if (m_ellipsis) add(item, kEllipsis, 3, textWidth(item.style.font, kEllipsis, 3), height);
                m_stopped = true;
                return;
            }
            if (cut > 0) add(item, chars + at, cut, ext[at + cut - 1] - base, height);
            at += cut;
            newLine(0, item.style.height(height));
            m_wrapped = true;
        }
    }

    HDC m_dc;
    int m_maxWidth;
    bool m_singleLine, m_wordBreak, m_ellipsis;
    std::vector<Line> m_lines;
    int m_x = 0;
    bool m_stopped = false;
    bool m_wrapped = false;  // the current line continues a run cut at the edge
};

RECT pieceArea(const Piece& piece, int left, int lineTop, int lineHeight)
{
    return RECT{left + piece.x, lineTop, left + piece.x + piece.width, lineTop + lineHeight};
}

}  // namespace

void CRenderKit::DrawHtmlText(HDC dc, CWindowManagerUI* manager, RECT& rc, const wchar_t* text, DWORD color,
    RECT* links, CUIString* linkTexts, int& linkCount, UINT style)
{
    int maxLinks = links ? linkCount : 0;
    linkCount = 0;
    if (!dc || !manager || !text) return;
    std::vector<CUIString> foundLinks;
    TagReader reader(dc, manager, color, (style & DT_SINGLELINE) != 0, foundLinks);
    const int firstHeight = reader.startHeight();
    std::vector<Item> items = reader.read(text);
    const int maxWidth = rc.right - rc.left;
    std::vector<Line> lines = LineBreaker(dc, maxWidth, style, firstHeight).lay(items);
    int totalHeight = 0, totalWidth = 0;
    for (const Line& line : lines) {
        totalHeight += line.spaceAbove + line.height;
        totalWidth = std::max(totalWidth, line.width);
    }
    if (style & DT_CALCRECT) {
        rc.right = rc.left + totalWidth;
        rc.bottom = rc.top + totalHeight;
        return;
    }
    int top = rc.top;
    if (style & DT_VCENTER)
        top = rc.top + (rc.bottom - rc.top - totalHeight) / 2;
    else if (style & DT_BOTTOM)
        top = rc.bottom - totalHeight;

    // Where every line starts, and which link holds the mouse.
    std::vector<int> lefts, tops;
    int hotLink = -1;
    const POINT mouse = manager->GetMousePos();
    for (const Line& line : lines) {
        top += line.spaceAbove;
        int offset = 0;
        if (style & DT_CENTER)
            offset = (maxWidth - line.width) / 2;
        else if (style & DT_RIGHT)
            offset = maxWidth - line.width;
        lefts.push_back(rc.left + std::max(0, offset));
        tops.push_back(top);
        for (const Piece& piece : line.pieces) {
            RECT area = pieceArea(piece, lefts.back(), top, line.height);
            if (piece.item->style.link >= 0 && PtInRect(&area, mouse)) hotLink = piece.item->style.link;
        }
        top += line.height;
    }

    CRenderClip clip;
    CRenderKit::GenerateClip(dc, rc, clip);
    SetBkMode(dc, TRANSPARENT);
    for (size_t l = 0; l < lines.size(); ++l) {
        const Line& line = lines[l];
        for (const Piece& piece : line.pieces) {
            const Style& s = piece.item->style;
            RECT area = pieceArea(piece, lefts[l], tops[l], line.height);
            const int y = tops[l] + line.height - piece.drawn;
            if (s.selected) {
                SetBkColor(dc, rgbOf(manager->GetDefaultSelectedBkColor()));
                ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &area, nullptr, 0, nullptr);
            }
            if (piece.item->kind == Item::Image) {
                const TImageInfo* image = piece.item->image;
                const RECT& source = piece.item->source;
                RECT dest = {area.left, tops[l] + line.height - source.bottom, area.right, tops[l] + line.height};
                CRenderKit::DrawImage(dc, image->hBitmap, dest, rc, source, RECT{}, image->alphaChannel);
            } else {
                HGDIOBJ old = SelectObject(dc, s.font);
                DWORD argb = s.link >= 0 && s.link == hotLink ? manager->GetDefaultLinkHoverFontColor() : s.color;
                SetTextColor(dc, rgbOf(argb));
                TextOutW(dc, area.left, y, piece.text, piece.length);
                SelectObject(dc, old);
            }
            if (s.link >= 0 && linkCount < maxLinks) {
                links[linkCount] = area;
                if (linkTexts && s.link < static_cast<int>(foundLinks.size()))
                    linkTexts[linkCount] = foundLinks[s.link];
                ++linkCount;
            }
        }
    }
}

}  // namespace SkinUI
