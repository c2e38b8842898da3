// Implementation details: GDI+ objects of an effect paint are locals of that
// paint, so each is freed before the paint returns; any GDI+ step that fails
// makes the label draw its plain text instead.
#include "LabelUI.h"

#include "AttributeTable.h"
#include "RenderKit.h"

// The library is built lean: GDI+ needs the OLE property types first.
#include <objidl.h>

#include <gdiplus.h>

namespace SkinUI {

namespace {

Gdiplus::Color colorWithAlpha(DWORD argb, int alpha)
{
    return Gdiplus::Color(
        static_cast<BYTE>(alpha), static_cast<BYTE>(argb >> 16), static_cast<BYTE>(argb >> 8), static_cast<BYTE>(argb));
}

}  // namespace

CLabelUI::CLabelUI() : CTextStyleUI(TTextStyleUI{}) {}

const wchar_t* CLabelUI::GetClassName() const
{
    return L"LabelUI";
}

LPVOID CLabelUI::GetInterfaceByName(const wchar_t* name)
{
    if (name && wcscmp(name, L"Label") == 0) return this;
    return CControlUI::GetInterfaceByName(name);
}

CUIString CLabelUI::GetText() const
{
    const CUIString& shown = m_bEnableEffect ? m_sEffectText : m_sText;
    CUIString text(shown);
    // A text that cannot be copied answers the failing operation's name instead.
    if (text.GetLength() != shown.GetLength()) return CUIString(L"CLabelUI::GetText");
    return text;
}

void CLabelUI::SetText(const wchar_t* text)
{
    // Measured first: the text may be part of the buffer it replaces.
    int wanted = text ? static_cast<int>(wcslen(text)) : 0;
    if (!m_bEnableEffect) {
        CControlUI::SetText(text);
    } else if (m_sEffectText != text) {
        m_sEffectText = text;
        Invalidate();
    }
    // A string that could not grow keeps its old, shorter text.
    CUIString& stored = m_bEnableEffect ? m_sEffectText : m_sText;
    if (stored.GetLength() == wanted) return;
    stored = L"CLabelUI::SetText";
    Invalidate();
}

void CLabelUI::OnEvent(TEventMsgUI& event)
{
    if (takeFocusEvent(event)) return;
    CControlUI::OnEvent(event);
}

void CLabelUI::setTextCursor()
{
    ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_IBEAM)));
}

void CLabelUI::SetDisabledTextColor(DWORD color)
{
    m_dwDisabledTextColor = color;
    Invalidate();
}

void CLabelUI::SetEffectsEnabled(bool enabled)
{
    m_bEnableEffect = enabled;
    if (enabled && !m_gdiplus) m_gdiplus = std::make_unique<CGdiplusSession>();
    // A text given before the effects were enabled is not lost.
    if (enabled && m_sEffectText.IsEmpty()) m_sEffectText = m_sText;
    Invalidate();
}

void CLabelUI::SetShadowOffset(int offset, int angle)
{
    if (angle > 180 || angle < -180) return;
    const RECT& rc = m_rcItem;
    // Measured from the position the label has now (the origin while the skin
    // is read); the value from the top moves the shadow sideways.
    long a = angle >= 0 ? rc.top - offset : angle > -180 ? rc.top + offset : rc.top;
    long b = (angle >= -89 && angle <= 90) ? rc.left - offset : angle == -90 ? rc.left : rc.left + offset;
    m_ptShadowOffset = POINT{a, b};
}

void CLabelUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value) return;
    using namespace AttributeValue;
    static const AttributeSetter<CLabelUI> kSetters[] = {
        {L"align",
            [](auto& l, auto v) {
                // Substring tests in this order: "vcenter" also counts as "center".
                UINT style = l.m_textStyle.uTextStyle;
                if (wcsstr(v, L"left")) style = (style & ~(DT_CENTER | DT_RIGHT)) | DT_LEFT;
                if (wcsstr(v, L"center")) style = (style & ~(DT_LEFT | DT_RIGHT)) | DT_CENTER;
                if (wcsstr(v, L"right"))
                    style = (style & ~(DT_LEFT | DT_CENTER | DT_VCENTER | DT_SINGLELINE)) | DT_RIGHT;
                if (wcsstr(v, L"top")) style = (style & ~(DT_VCENTER | DT_BOTTOM)) | DT_TOP;
                if (wcsstr(v, L"vcenter")) style = (style & ~(DT_TOP | DT_BOTTOM)) | DT_VCENTER;
                if (wcsstr(v, L"bottom")) style = (style & ~(DT_TOP | DT_VCENTER)) | DT_BOTTOM;
                l.SetTextStyle(style);
            }},
        {L"valign",
            [](auto& l, auto v) {
                UINT style = l.m_textStyle.uTextStyle;
                if (wcsstr(v, L"top")) style = (style & ~(DT_VCENTER | DT_BOTTOM)) | DT_TOP;
                if (wcsstr(v, L"center")) style = (style & ~(DT_TOP | DT_BOTTOM)) | DT_VCENTER;
                if (wcsstr(v, L"bottom")) style = (style & ~(DT_TOP | DT_VCENTER)) | DT_BOTTOM;
                l.SetTextStyle(style);
            }},
        {L"disabledtextcolor", [](auto& l, auto v) { l.SetDisabledTextColor(ParseColor(v)); }},
        {L"enabledeffect", [](auto& l, auto v) { l.SetEffectsEnabled(ParseBool(v)); }},
        {L"enabledstroke", [](auto& l, auto v) { l.m_bEnableStroke = ParseBool(v); }},
        {L"enabledshadow", [](auto& l, auto v) { l.m_bEnableShadow = ParseBool(v); }},
        {L"rhaa",
            [](auto& l, auto v) {
                int hint = ParseInt(v);
                l.m_iTextRenderingHint = hint >= 0 && hint <= 5 ? hint : 0;
            }},
        {L"transshadow", [](auto& l, auto v) { l.m_uTransShadow = ParseInt(v); }},
        {L"transshadow1", [](auto& l, auto v) { l.m_uTransShadow1 = ParseInt(v); }},
        {L"transtext", [](auto& l, auto v) { l.m_uTransText = ParseInt(v); }},
        {L"transtext1", [](auto& l, auto v) { l.m_uTransText1 = ParseInt(v); }},
        {L"transstroke", [](auto& l, auto v) { l.m_uTransStroke = ParseInt(v); }},
        {L"gradientangle", [](auto& l, auto v) { l.m_nGradientAngle = ParseInt(v); }},
        {L"gradientlength", [](auto& l, auto v) { l.m_nGradientLength = ParseInt(v); }},
        {L"shadowoffset",
            [](auto& l, auto v) {
                long offsetAndAngle[2];
                ParseIntList(v, offsetAndAngle, 2);
                l.SetShadowOffset(offsetAndAngle[0], offsetAndAngle[1]);
            }},
        {L"textcolor1", [](auto& l, auto v) { l.m_dwTextColor1 = ParseColor(v); }},
        {L"textshadowcolora", [](auto& l, auto v) { l.m_dwTextShadowColorA = ParseColor(v); }},
        {L"textshadowcolorb", [](auto& l, auto v) { l.m_dwTextShadowColorB = ParseColor(v); }},
        {L"strokecolor", [](auto& l, auto v) { l.m_dwStrokeColor = ParseColor(v); }},
    };
    if (applyTextStyleAttribute(name, value) || ApplyAttribute(kSetters, *this, name, value)) return;
    CControlUI::SetAttribute(name, value);
}

SIZE CLabelUI::MeasureSize(SIZE)
{
    if (m_cxyFixed.cy != 0 || !m_pManager) return m_cxyFixed;
    return SIZE{m_cxyFixed.cx, m_pManager->GetFontInfo(m_textStyle.iFont)->tm.tmHeight + 4};
}

void CLabelUI::resolveDefaultColors()
{
    if (!m_pManager) return;
    if (m_textStyle.dwTextColor == 0) m_textStyle.dwTextColor = m_pManager->GetDefaultFontColor();
    if (m_dwDisabledTextColor == 0) m_dwDisabledTextColor = m_pManager->GetDefaultDisabledColor();
}

RECT CLabelUI::textRect() const
{
    return m_textStyle.TextRect(m_rcItem);
}

void CLabelUI::paintPlainText(HDC dc, DWORD color, UINT style)
{
    CUIString text = GetText();
    if (text.IsEmpty()) return;
    m_textStyle.Draw(dc, m_pManager, m_rcItem, text, color, style);
}

void CLabelUI::PaintContentText(HDC dc)
{
    resolveDefaultColors();
    paintLabelText(dc, enabledTextColor());
}

void CLabelUI::paintLabelText(HDC dc, DWORD color)
{
    if (m_bEnableEffect && paintEffects(dc)) return;
    paintPlainText(dc, color, m_textStyle.uTextStyle | DT_SINGLELINE);
}

bool CLabelUI::paintEffects(HDC dc)
{
    using namespace Gdiplus;
    if (!m_gdiplus || !m_gdiplus->IsReady() || !m_pManager) return false;
    if (m_sEffectText.IsEmpty()) return true;
    LOGFONTW logfont{};
    if (!::GetObjectW(m_pManager->GetFont(m_textStyle.iFont), sizeof(logfont), &logfont)) return false;
    Graphics graphics(dc);
    if (graphics.GetLastStatus() != Ok) return false;
    graphics.SetTextRenderingHint(static_cast<TextRenderingHint>(m_iTextRenderingHint));
    Font font(dc, &logfont);
    if (font.GetLastStatus() != Ok || !font.IsAvailable()) return false;
    StringFormat format;
    format.SetAlignment(StringAlignmentNear);
    format.SetLineAlignment(StringAlignmentCenter);

    RECT rc = textRect();
    RectF layout(static_cast<REAL>(rc.left), static_cast<REAL>(rc.top), static_cast<REAL>(rc.right - rc.left),
        static_cast<REAL>(rc.bottom - rc.top));
    REAL length = m_nGradientLength != 0 ? static_cast<REAL>(m_nGradientLength) : layout.Height;
    PointF from(static_cast<REAL>(m_nGradientAngle), 0);
    DWORD textColor1 = m_dwTextColor1 == static_cast<DWORD>(-1) ? m_textStyle.dwTextColor : m_dwTextColor1;
    LinearGradientBrush textBrush(from, PointF(0, length), colorWithAlpha(m_textStyle.dwTextColor, m_uTransText),
        colorWithAlpha(textColor1, m_uTransText1));
    if (textBrush.GetLastStatus() != Ok) return false;
    const wchar_t* text = m_sEffectText.GetData();

    if (m_bEnableStroke && m_dwStrokeColor != 0) {
        REAL textHeight = static_cast<REAL>(m_pManager->GetFontInfo(m_textStyle.iFont)->tm.tmHeight);
        LinearGradientBrush strokeBrush(from, PointF(0, textHeight + 2),
            colorWithAlpha(m_dwStrokeColor, m_uTransStroke), colorWithAlpha(m_dwStrokeColor, m_uTransStroke));
        if (strokeBrush.GetLastStatus() != Ok) return false;
        const PointF shifts[] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
        for (const PointF& shift : shifts) {
            RectF moved(layout.X + shift.X, layout.Y + shift.Y, layout.Width, layout.Height);
            graphics.DrawString(text, -1, &font, moved, &format, &strokeBrush);
        }
    }
    if (m_bEnableShadow && (m_dwTextShadowColorA != 0 || m_dwTextShadowColorB != 0)) {
        DWORD shadowB = m_dwTextShadowColorB == static_cast<DWORD>(-1) ? m_dwTextShadowColorA : m_dwTextShadowColorB;
        LinearGradientBrush shadowBrush(from, PointF(0, length), colorWithAlpha(m_dwTextShadowColorA, m_uTransShadow),
            colorWithAlpha(shadowB, m_uTransShadow1));
        if (shadowBrush.GetLastStatus() != Ok) return false;
        RectF moved(layout.X + m_ptShadowOffset.x, layout.Y + m_ptShadowOffset.y, layout.Width, layout.Height);
        graphics.DrawString(text, -1, &font, moved, &format, &shadowBrush);
    }
    return graphics.DrawString(text, -1, &font, layout, &format, &textBrush) == Ok;
}

}  // namespace SkinUI
